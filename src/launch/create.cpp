// create: starts a child process with its command line, environment, working
// directory and standard streams, and hands its handle to Java.
#include "internal.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char OUT_OF_MEMORY_ERROR[] = "java/lang/OutOfMemoryError";
const char NULL_POINTER_EXCEPTION[] = "java/lang/NullPointerException";
const char ILLEGAL_ARGUMENT_EXCEPTION[] = "java/lang/IllegalArgumentException";

// No console window for the child, and the environment block is UTF-16
// whether one is given or not.
constexpr DWORD CREATION_FLAGS = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;

// A copy of a Java string's units followed by nulCount NUL units, on the C
// heap; the caller frees it. NULL with an exception pending on failure: the
// VM's own when it could not give the characters, an OutOfMemoryError when
// the heap refused.
jchar *copyJavaChars(JNIEnv *env, jstring string, size_t nulCount) {
    const size_t length = static_cast<size_t>(env->GetStringLength(string));
    // On a 32-bit heap the byte count itself can overflow.
    if (length > SIZE_MAX / sizeof(jchar) - nulCount) {
        throwJavaException(env, OUT_OF_MEMORY_ERROR, "string too long to copy");
        return NULL;
    }
    jchar *copy = static_cast<jchar *>(malloc((length + nulCount) * sizeof(jchar)));
    if (copy == NULL) {
        throwJavaException(env, OUT_OF_MEMORY_ERROR, "native heap exhausted copying a string");
        return NULL;
    }
    const jchar *chars = env->GetStringChars(string, NULL);
    if (chars == NULL) {
        free(copy);
        return NULL;
    }
    // The VM's units are not NUL-terminated, and Windows may write into the
    // command line it is given: it always gets the library's own copy.
    memcpy(copy, chars, length * sizeof(jchar));
    env->ReleaseStringChars(string, chars);
    memset(copy + length, 0, nulCount * sizeof(jchar));
    return copy;
}

jchar *copyJavaString(JNIEnv *env, jstring string) {
    return copyJavaChars(env, string, 1);
}

// An environment block ends in two NUL units. The caller's string should hold
// them already; two more make sure Windows stops inside the copy even when
// it does not.
jchar *copyEnvironmentBlock(JNIEnv *env, jstring block) {
    return copyJavaChars(env, block, 2);
}

// A caller that breaks the contract gets an exception, not a crash; checked
// before anything is acquired.
bool argumentsAccepted(JNIEnv *env, jstring commandLine, jlongArray stdHandleSlots) {
    if (commandLine == NULL) {
        throwJavaException(env, NULL_POINTER_EXCEPTION, "commandLine must not be null");
        return false;
    }
    if (stdHandleSlots == NULL) {
        throwJavaException(env, NULL_POINTER_EXCEPTION, "stdHandleSlots must not be null");
        return false;
    }
    if (env->GetArrayLength(stdHandleSlots) < STD_SLOT_COUNT) {
        throwJavaException(env, ILLEGAL_ARGUMENT_EXCEPTION,
                           "stdHandleSlots must have at least 3 elements");
        return false;
    }
    return true;
}

void closeIfOpen(HANDLE handle) {
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
}

}  // namespace

JNIEXPORT jlong JNICALL Java_com_brennock_process_WindowsProcessImpl_create(
    JNIEnv *env, jclass, jstring commandLine, jstring envBlock, jstring directory,
    jlongArray stdHandleSlots, jboolean mergeStderr) {
    jchar *commandLineCopy = NULL;
    jchar *directoryCopy = NULL;
    jchar *environmentCopy = NULL;
    jlong *slots = NULL;
    StdPipes pipes = NO_PIPES;
    jlong result = 0;
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;

    if (!argumentsAccepted(env, commandLine, stdHandleSlots)) {
        return 0;
    }

    commandLineCopy = copyJavaString(env, commandLine);
    if (commandLineCopy == NULL) {
        goto release;
    }
    if (directory != NULL) {
        directoryCopy = copyJavaString(env, directory);
        if (directoryCopy == NULL) {
            goto release;
        }
        normalizeWorkingDirectory(directoryCopy);
    }
    if (envBlock != NULL) {
        environmentCopy = copyEnvironmentBlock(env, envBlock);
        if (environmentCopy == NULL) {
            goto release;
        }
    }
    slots = env->GetLongArrayElements(stdHandleSlots, NULL);
    if (slots == NULL) {
        goto release;
    }

    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    if (!wireStandardStreams(env, slots, mergeStderr, &pipes, &startup)) {
        goto release;
    }

    if (!CreateProcessW(NULL, reinterpret_cast<LPWSTR>(commandLineCopy), NULL, NULL, TRUE,
                        CREATION_FLAGS, environmentCopy, reinterpret_cast<LPCWSTR>(directoryCopy),
                        &startup, &process)) {
        throwLastError(env, "CreateProcess");
        goto release;
    }
    CloseHandle(process.hThread);
    // Ownership moves to Java: the process handle as the result, the parent's
    // pipe ends through the slots. Forget them here so the release below
    // leaves them open.
    result = handleToJava(process.hProcess);
    pipes.inputWrite = INVALID_HANDLE_VALUE;
    pipes.outputRead = INVALID_HANDLE_VALUE;
    pipes.errorRead = INVALID_HANDLE_VALUE;

release:
    // Still set only when the launch failed. Their values stay in the slots,
    // as handles already closed.
    closeIfOpen(pipes.inputWrite);
    closeIfOpen(pipes.outputRead);
    closeIfOpen(pipes.errorRead);
    // The child has its own copies now (or never will): the parent's copies
    // of the child's ends must go, or the parent never sees end-of-file.
    closeIfOpen(pipes.inputRead);
    closeIfOpen(pipes.outputWrite);
    closeIfOpen(pipes.errorWrite);
    if (commandLineCopy != NULL) {
        free(commandLineCopy);
    }
    if (directoryCopy != NULL) {
        free(directoryCopy);
    }
    if (environmentCopy != NULL) {
        free(environmentCopy);
    }
    if (slots != NULL) {
        // Mode 0: the slots' new values are written back, on failure too.
        env->ReleaseLongArrayElements(stdHandleSlots, slots, 0);
    }
    return result;
}
