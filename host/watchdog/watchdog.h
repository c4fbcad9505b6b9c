// A watchdog for anything that may block on a child process: a wait inside
// the library cannot be broken from outside, so a fault there must end the
// whole program with a message instead of hanging the command that runs it.
//
//     host::Watchdog watchdog("reading the child's output", 20000);
//     ... the blocking work; the watchdog is disarmed when it goes ...
#ifndef QUILL_HOST_WATCHDOG_WATCHDOG_H
#define QUILL_HOST_WATCHDOG_WATCHDOG_H

#include <windows.h>

namespace host {

// The exit code of a program that a watchdog ended.
constexpr UINT WATCHDOG_EXIT_CODE = 3;

class Watchdog {
public:
    Watchdog(const char *what, DWORD milliseconds);
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    static DWORD WINAPI run(void *self);
    const char *what_;
    DWORD milliseconds_;
    HANDLE disarmed_;
    HANDLE thread_;
};

}  // namespace host

#endif
