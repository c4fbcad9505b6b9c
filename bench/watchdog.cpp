// The watchdog thread: it sleeps on an event that the phase sets when it
// ends, and ends the whole program when the phase takes too long.
#include "watchdog.h"

#include <stdio.h>

namespace bench {

// The exit code of a run that a watchdog stopped.
constexpr UINT HUNG_EXIT_CODE = 3;

PhaseWatchdog::PhaseWatchdog(const char *phase, DWORD milliseconds)
    : phase_(phase),
      milliseconds_(milliseconds),
      done_(CreateEventW(NULL, TRUE, FALSE, NULL)),
      thread_(CreateThread(NULL, 0, &PhaseWatchdog::run, this, 0, NULL)) {}

PhaseWatchdog::~PhaseWatchdog() {
    SetEvent(done_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(done_);
}

DWORD WINAPI PhaseWatchdog::run(void *self) {
    auto *watchdog = static_cast<PhaseWatchdog *>(self);
    if (WaitForSingleObject(watchdog->done_, watchdog->milliseconds_) == WAIT_TIMEOUT) {
        fprintf(stderr, "quill_bench: %s did not finish within %lu ms; stopping\n",
                watchdog->phase_, static_cast<unsigned long>(watchdog->milliseconds_));
        fflush(stderr);
        // Children still running are not ours to wait for any more; the
        // process ends without unwinding the threads stuck in a wait.
        ExitProcess(HUNG_EXIT_CODE);
    }
    return 0;
}

}  // namespace bench
