// The hand-written launch. Every call here matches one that create makes:
// the pipe size, the attributes, the inheritance flags set on both ends
// (including the redundant one on the child's end, which create also sets),
// the creation flags and the order of the closes.
#include "hand_launch.h"

namespace bench {

namespace {

constexpr DWORD PIPE_BUFFER_BYTES = 4096 + 24;
constexpr DWORD CREATION_FLAGS = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;

struct Pipe {
    HANDLE childEnd;
    HANDLE parentEnd;
};

bool makePipe(bool childReads, Pipe *pipe) {
    SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), NULL, TRUE};
    HANDLE readEnd = INVALID_HANDLE_VALUE;
    HANDLE writeEnd = INVALID_HANDLE_VALUE;
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, PIPE_BUFFER_BYTES)) {
        return false;
    }
    pipe->childEnd = childReads ? readEnd : writeEnd;
    pipe->parentEnd = childReads ? writeEnd : readEnd;
    SetHandleInformation(pipe->parentEnd, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(pipe->childEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return true;
}

void closePipes(const Pipe *pipes, int count, bool parentEndsToo) {
    for (int i = 0; i < count; ++i) {
        CloseHandle(pipes[i].childEnd);
        if (parentEndsToo) {
            CloseHandle(pipes[i].parentEnd);
        }
    }
}

}  // namespace

bool startByHand(wchar_t *commandLine, const wchar_t *directory, HandLaunch *launch) {
    Pipe pipes[3];
    const bool childReads[3] = {true, false, false};
    for (int i = 0; i < 3; ++i) {
        if (!makePipe(childReads[i], &pipes[i])) {
            closePipes(pipes, i, true);
            return false;
        }
    }
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = pipes[0].childEnd;
    startup.hStdOutput = pipes[1].childEnd;
    startup.hStdError = pipes[2].childEnd;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, commandLine, NULL, NULL, TRUE, CREATION_FLAGS, NULL, directory,
                        &startup, &process)) {
        closePipes(pipes, 3, true);
        return false;
    }
    CloseHandle(process.hThread);
    closePipes(pipes, 3, false);
    launch->process = process.hProcess;
    launch->input = pipes[0].parentEnd;
    launch->output = pipes[1].parentEnd;
    launch->error = pipes[2].parentEnd;
    return true;
}

bool reapByHand(const HandLaunch &launch, DWORD *exitCode) {
    WaitForSingleObject(launch.process, INFINITE);
    const bool known = GetExitCodeProcess(launch.process, exitCode) != FALSE;
    closeByHand(launch);
    return known;
}

void closeByHand(const HandLaunch &launch) {
    CloseHandle(launch.process);
    CloseHandle(launch.input);
    CloseHandle(launch.output);
    CloseHandle(launch.error);
}

}  // namespace bench
