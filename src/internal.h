// Quillstead's one internal header: where the Windows and JNI interfaces meet
// the library's own code. Everything declared here is internal to the DLL;
// only the JNI entry points of include/quillstead.h are exported.
#ifndef QUILLSTEAD_INTERNAL_H
#define QUILLSTEAD_INTERNAL_H

#include <windows.h>

#include <stdint.h>

#include "quillstead.h"

// A handle slot, or a pipe end, that holds no handle: all 64 bits set, the
// widening of INVALID_HANDLE_VALUE.
constexpr jlong NO_HANDLE = -1;

// Handles cross the JNI boundary as jlong. Incoming values are used by their
// pointer-sized low part; outgoing ones are zero-extended, so a handle never
// widens into NO_HANDLE.
inline HANDLE handleFromJava(jlong value) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

inline jlong handleToJava(HANDLE handle) {
    return static_cast<jlong>(reinterpret_cast<uintptr_t>(handle));
}

// The two services the library imports from the VM's own library, jvm.dll.
extern "C" {
// Writes the text of the calling thread's last OS error into buffer (at most
// length bytes, NUL-terminated); returns a value > 0 when it gave a text.
__declspec(dllimport) int JNICALL JVM_GetLastErrorString(char *buffer, int length);
// The calling Java thread's interrupt event. It belongs to the VM: the
// library only waits on it, never resets or closes it.
__declspec(dllimport) HANDLE JNICALL JVM_GetThreadInterruptEvent(void);
}

// src/jni: failure reporting.

// Raises java/io/IOException for the Windows call that just failed. Must be
// the first thing called after that call, since it starts by reading the
// thread's last-error value.
void throwLastError(JNIEnv *env, const char *callName);

// The same report for a failure that Java must see as another class of
// exception, such as an OutOfMemoryError.
void throwLastErrorAs(JNIEnv *env, const char *className, const char *callName);

// Raises an exception of the named class with the message. If the class
// cannot be found, the VM's own error is left pending instead.
void throwJavaException(JNIEnv *env, const char *className, const char *message);

// src/launch: working-directory normalisation.

// Rewrites a NUL-terminated directory string in place into its canonical
// form and returns it. Never allocates, never fails, never reads past the
// first NUL.
jchar *normalizeWorkingDirectory(jchar *path);

// src/launch: standard stream wiring.

// The handle slots of create's long[] argument.
constexpr int STDIN_SLOT = 0;
constexpr int STDOUT_SLOT = 1;
constexpr int STDERR_SLOT = 2;
constexpr int STD_SLOT_COUNT = 3;

// The six pipe ends one launch may make, named by owner. Each is
// INVALID_HANDLE_VALUE until its pipe exists. The child's ends are always
// closed in the parent before create returns; the parent's ends go to Java
// through the slots, and are closed here only when the launch fails.
struct StdPipes {
    HANDLE inputRead;    // the child's standard input
    HANDLE inputWrite;   // the parent's end, into slot 0
    HANDLE outputWrite;  // the child's standard output
    HANDLE outputRead;   // the parent's end, into slot 1
    HANDLE errorWrite;   // the child's standard error
    HANDLE errorRead;    // the parent's end, into slot 2
};

const StdPipes NO_PIPES = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE,
                           INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};

// Decides stdin, stdout and stderr, in that order, from the slots: a caller's
// handle, or a new pipe whose parent's end is written back into the slot.
// Fills the three standard handles of startup. On a failed pipe it raises
// "CreatePipe" and returns false; the pipes made so far are left in pipes
// for the caller to close.
bool wireStandardStreams(JNIEnv *env, jlong *slots, jboolean mergeStderr, StdPipes *pipes,
                         STARTUPINFOW *startup);

#endif
