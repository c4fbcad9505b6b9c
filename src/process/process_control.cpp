// Operations on the handle of a running or finished process, as handed to
// Java by create. None of them validates the handle: an invalid one makes the
// Windows call fail, and where Java must hear of that, it does.
#include "internal.h"

namespace {

// The exit code that terminateProcess gives the process it kills.
constexpr UINT KILL_EXIT_CODE = 1;

}  // namespace

JNIEXPORT jint JNICALL
Java_com_brennock_process_WindowsProcessImpl_getExitCodeProcess(JNIEnv *env, jclass, jlong handle) {
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(handleFromJava(handle), &exitCode)) {
        throwLastError(env, "GetExitCodeProcess");
        return 0;
    }
    // Reinterpreted, not converted: codes of 2^31 and above come out negative.
    return static_cast<jint>(exitCode);
}

JNIEXPORT jint JNICALL Java_com_brennock_process_WindowsProcessImpl_getStillActive(JNIEnv *,
                                                                                   jclass) {
    // What GetExitCodeProcess reports while the process runs. A process that
    // exits with this code looks running to anyone who asks only for the code.
    return static_cast<jint>(STILL_ACTIVE);
}

JNIEXPORT void JNICALL Java_com_brennock_process_WindowsProcessImpl_waitForInterruptibly(
    JNIEnv *env, jclass, jlong handle) {
    // The process comes first, so that when both are signalled the wait
    // reports the process. Either way the caller only learns that one of
    // them was: Java checks its interrupt status and the exit code itself.
    HANDLE objects[2] = {handleFromJava(handle), JVM_GetThreadInterruptEvent()};
    if (WaitForMultipleObjects(2, objects, FALSE, INFINITE) == WAIT_FAILED) {
        throwLastError(env, "WaitForMultipleObjects");
    }
}

JNIEXPORT void JNICALL Java_com_brennock_process_WindowsProcessImpl_terminateProcess(JNIEnv *,
                                                                                     jclass,
                                                                                     jlong handle) {
    HANDLE process = handleFromJava(handle);
    // NO_HANDLE's low part is also the pseudo-handle of the calling process:
    // a caller passing "no handle" must not kill its own VM.
    if (process == GetCurrentProcess()) {
        return;
    }
    // A failed kill is not reported: the process has usually ended already,
    // and Java learns its fate from the wait and the exit code.
    TerminateProcess(process, KILL_EXIT_CODE);
}

JNIEXPORT void JNICALL Java_com_brennock_process_WindowsProcessImpl_closeHandle(JNIEnv *, jclass,
                                                                                jlong handle) {
    CloseHandle(handleFromJava(handle));
}
