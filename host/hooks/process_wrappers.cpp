// Wrappers of CreatePipe and CreateProcessW, which capture deep copies of
// their arguments and register the handles they produce.
#include <wchar.h>

#include "hook_state.h"
#include "wrappers.h"

namespace host::hooks::detail {

namespace {

// Far beyond any real block: a block without its closing pair of NULs is
// cut here rather than read until the process faults.
constexpr size_t ENVIRONMENT_LIMIT = 1 << 20;

// Fake ids of a process that was never started.
constexpr DWORD FAKE_PROCESS_ID = 0xF00D;
constexpr DWORD FAKE_THREAD_ID = 0xF00E;

std::u16string textOf(const wchar_t *text) {
    return text == nullptr ? std::u16string()
                           : std::u16string(reinterpret_cast<const char16_t *>(text), wcslen(text));
}

std::u16string environmentOf(const void *block) {
    if (block == nullptr) {
        return {};
    }
    const auto *units = static_cast<const char16_t *>(block);
    size_t n = 0;
    while (n + 1 < ENVIRONMENT_LIMIT && !(units[n] == 0 && units[n + 1] == 0)) {
        ++n;
    }
    return std::u16string(units, n + 2);
}

bool writable(const void *address) {
    MEMORY_BASIC_INFORMATION info;
    if (address == nullptr || VirtualQuery(address, &info, sizeof info) == 0) {
        return false;
    }
    const DWORD WRITABLE =
        PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return info.State == MEM_COMMIT && (info.Protect & WRITABLE) != 0;
}

CreateProcessCapture captureCreateProcess(LPCWSTR applicationName, LPWSTR commandLine,
                                          LPSECURITY_ATTRIBUTES processAttributes,
                                          LPSECURITY_ATTRIBUTES threadAttributes,
                                          BOOL inheritHandles, DWORD creationFlags,
                                          LPVOID environment, LPCWSTR directory,
                                          LPSTARTUPINFOW startupInfo) {
    CreateProcessCapture capture{};
    capture.applicationNameNull = applicationName == nullptr;
    capture.applicationName = textOf(applicationName);
    capture.commandLinePointer = commandLine;
    capture.commandLine = textOf(commandLine);
    capture.commandLineWritable = writable(commandLine);
    capture.processAttributes = processAttributes;
    capture.threadAttributes = threadAttributes;
    capture.inheritHandles = inheritHandles;
    capture.creationFlags = creationFlags;
    capture.environmentPointer = environment;
    capture.environment = environmentOf(environment);
    capture.directoryNull = directory == nullptr;
    capture.directory = textOf(directory);
    capture.startupInfoNull = startupInfo == nullptr;
    if (startupInfo != nullptr) {
        capture.startupInfo = *startupInfo;
    }
    return capture;
}

// Real event handles, so that whatever the caller does with them later
// (close, wait) behaves.
BOOL fakeProcess(LPPROCESS_INFORMATION processInformation) {
    HANDLE process = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (process == nullptr || thread == nullptr || processInformation == nullptr) {
        return FALSE;
    }
    *processInformation = PROCESS_INFORMATION{process, thread, FAKE_PROCESS_ID, FAKE_THREAD_ID};
    return TRUE;
}

void addHandle(HANDLE handle, Api source, const char *role) {
    state().handles.push_back(CreatedHandle{handle, source, role, false});
}

}  // namespace

BOOL WINAPI hookCreatePipe(PHANDLE readEnd, PHANDLE writeEnd, LPSECURITY_ATTRIBUTES attributes,
                           DWORD size) {
    Frame frame(Api::CREATE_PIPE);
    using Real = decltype(&hookCreatePipe);
    if (frame.nested()) {
        return frame.call<Real>(readEnd, writeEnd, attributes, size);
    }
    CreatePipeCapture capture{};
    capture.attributesNull = attributes == nullptr;
    if (attributes != nullptr) {
        capture.attributes = *attributes;
    }
    capture.size = size;
    BOOL result =
        frame.faulted() ? frame.fail(FALSE) : frame.call<Real>(readEnd, writeEnd, attributes, size);
    capture.result = result;
    capture.lastError = frame.resultError();
    std::vector<uintptr_t> values;
    if (result) {
        capture.readEnd = *readEnd;
        capture.writeEnd = *writeEnd;
        values = {word(*readEnd), word(*writeEnd)};
    }
    {
        Locked locked;
        state().pipeCaptures.push_back(capture);
        if (result) {
            addHandle(capture.readEnd, Api::CREATE_PIPE, "read end");
            addHandle(capture.writeEnd, Api::CREATE_PIPE, "write end");
        }
    }
    frame.record({word(readEnd), word(writeEnd), word(attributes), word(size)}, word(result),
                 values);
    return frame.finish(result);
}

BOOL WINAPI hookCreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                               LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                               DWORD creationFlags, LPVOID environment, LPCWSTR directory,
                               LPSTARTUPINFOW startupInfo,
                               LPPROCESS_INFORMATION processInformation) {
    Frame frame(Api::CREATE_PROCESS);
    using Real = decltype(&hookCreateProcessW);
    if (frame.nested()) {
        return frame.call<Real>(applicationName, commandLine, processAttributes, threadAttributes,
                                inheritHandles, creationFlags, environment, directory, startupInfo,
                                processInformation);
    }
    // Copied before the call: Windows may touch the command-line buffer.
    CreateProcessCapture capture =
        captureCreateProcess(applicationName, commandLine, processAttributes, threadAttributes,
                             inheritHandles, creationFlags, environment, directory, startupInfo);
    bool fake;
    {
        Locked locked;
        fake = state().fakeProcesses;
    }
    BOOL result;
    if (frame.faulted()) {
        result = frame.fail(FALSE);
    } else if (fake) {
        result = fakeProcess(processInformation);
    } else {
        result = frame.call<Real>(applicationName, commandLine, processAttributes, threadAttributes,
                                  inheritHandles, creationFlags, environment, directory,
                                  startupInfo, processInformation);
    }
    capture.result = result;
    capture.lastError = frame.resultError();
    capture.faked = fake && !frame.faulted();
    std::vector<uintptr_t> values;
    if (result) {
        capture.processInformation = *processInformation;
        const PROCESS_INFORMATION &info = *processInformation;
        values = {word(info.hProcess), word(info.hThread), info.dwProcessId, info.dwThreadId};
    }
    {
        Locked locked;
        state().processCaptures.push_back(capture);
        if (result) {
            addHandle(capture.processInformation.hProcess, Api::CREATE_PROCESS, "process");
            addHandle(capture.processInformation.hThread, Api::CREATE_PROCESS, "thread");
        }
    }
    frame.record({word(applicationName), word(commandLine), word(processAttributes),
                  word(threadAttributes), word(inheritHandles), word(creationFlags),
                  word(environment), word(directory), word(startupInfo), word(processInformation)},
                 word(result), values);
    return frame.finish(result);
}

}  // namespace host::hooks::detail
