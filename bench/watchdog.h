// A benchmark that waits on child processes must not hang the command that
// runs it: past its time limit a phase ends the program with a message.
#ifndef QUILL_BENCH_WATCHDOG_H
#define QUILL_BENCH_WATCHDOG_H

#include <windows.h>

namespace bench {

class PhaseWatchdog {
public:
    PhaseWatchdog(const char *phase, DWORD milliseconds);
    ~PhaseWatchdog();
    PhaseWatchdog(const PhaseWatchdog &) = delete;
    PhaseWatchdog &operator=(const PhaseWatchdog &) = delete;

private:
    static DWORD WINAPI run(void *self);
    const char *phase_;
    DWORD milliseconds_;
    HANDLE done_;
    HANDLE thread_;
};

}  // namespace bench

#endif
