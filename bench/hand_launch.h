// The baseline of the launch benchmark: the Windows calls create makes,
// written directly, in the same order and with the same arguments, so that
// the difference between the two is the library's own work (the JNI string
// and array traffic, the copies and the directory rewrite).
#ifndef QUILL_BENCH_HAND_LAUNCH_H
#define QUILL_BENCH_HAND_LAUNCH_H

#include <windows.h>

namespace bench {

struct HandLaunch {
    HANDLE process;
    HANDLE input;  // the parent's ends of the three pipes
    HANDLE output;
    HANDLE error;
};

// Three pipes, the child's ends inheritable and the parent's not, then
// CreateProcessW with the three handles; the thread handle and the child's
// ends are closed at once. commandLine must be writable. False on a failed
// call, with everything made so far closed again.
bool startByHand(wchar_t *commandLine, const wchar_t *directory, HandLaunch *launch);

// WaitForSingleObject, then GetExitCodeProcess into *exitCode (false if it
// failed), then the process handle and the three pipe ends closed.
bool reapByHand(const HandLaunch &launch, DWORD *exitCode);

// Closes the four handles without waiting (for a process that was never
// really started).
void closeByHand(const HandLaunch &launch);

}  // namespace bench

#endif
