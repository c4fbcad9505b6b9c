#include "watchdog.h"

#include <stdio.h>

namespace host {

Watchdog::Watchdog(const char *what, DWORD milliseconds)
    : what_(what),
      milliseconds_(milliseconds),
      disarmed_(CreateEventW(NULL, TRUE, FALSE, NULL)),
      thread_(CreateThread(NULL, 0, &Watchdog::run, this, 0, NULL)) {}

Watchdog::~Watchdog() {
    SetEvent(disarmed_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(disarmed_);
}

DWORD WINAPI Watchdog::run(void *self) {
    Watchdog *watchdog = static_cast<Watchdog *>(self);
    if (WaitForSingleObject(watchdog->disarmed_, watchdog->milliseconds_) == WAIT_TIMEOUT) {
        fprintf(stderr, "\nwatchdog: %s did not finish within %lu ms; ending the program\n",
                watchdog->what_, static_cast<unsigned long>(watchdog->milliseconds_));
        fflush(stderr);
        // Not ExitProcess: threads stuck in a wait would take part in the
        // orderly exit, and the exit could hang too.
        TerminateProcess(GetCurrentProcess(), WATCHDOG_EXIT_CODE);
    }
    return 0;
}

}  // namespace host
