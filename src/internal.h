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

// src/environment: the environment block snapshot.

// The number of units of a Windows environment block before its closing NUL:
// every entry with the NUL that ends it. A block that starts with NUL holds
// no entries and measures 0.
jsize measureEnvironmentBlock(const jchar *block);

#endif
