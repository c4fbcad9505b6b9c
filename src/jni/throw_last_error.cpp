// How failures leave the library: every Windows failure that Java must hear
// of becomes one exception, raised here.
#include "internal.h"

#include <stdio.h>

namespace {

// Capacity, terminator included, of the VM's text for the last OS error.
constexpr int ERROR_TEXT_BYTES = 256;
// Capacity of the formatted message. The longest possible one (a 22-byte call
// name, an 11-byte error number and 255 bytes of text, with separators and
// terminator) takes 298 bytes.
constexpr int MESSAGE_BYTES = 356;

const char IO_EXCEPTION[] = "java/io/IOException";

}  // namespace

void throwJavaException(JNIEnv *env, const char *className, const char *message) {
    // A failed lookup has left the VM's own error pending; that error is then
    // the report, and the caller unwinds as usual.
    jclass exceptionClass = env->FindClass(className);
    if (exceptionClass != NULL) {
        env->ThrowNew(exceptionClass, message);
    }
}

void throwLastErrorAs(JNIEnv *env, const char *className, const char *callName) {
    // First, before any other call: the VM's text lookup, the formatting and
    // the class lookup may all overwrite the thread's last-error value.
    const DWORD error = GetLastError();

    char text[ERROR_TEXT_BYTES];
    char message[MESSAGE_BYTES];
    // The error number is printed as a signed int, so NTSTATUS-style codes
    // such as 0xC0000005 come out negative, as Java callers expect.
    if (JVM_GetLastErrorString(text, ERROR_TEXT_BYTES) > 0) {
        // The VM promises a terminator; a VM that broke that promise must not
        // make the formatting read past the buffer.
        text[ERROR_TEXT_BYTES - 1] = '\0';
        snprintf(message, MESSAGE_BYTES, "%s error=%d, %s", callName, static_cast<int>(error),
                 text);
    } else {
        snprintf(message, MESSAGE_BYTES, "%s failed, error=%d", callName, static_cast<int>(error));
    }
    throwJavaException(env, className, message);
}

void throwLastError(JNIEnv *env, const char *callName) {
    throwLastErrorAs(env, IO_EXCEPTION, callName);
}
