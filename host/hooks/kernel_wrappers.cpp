// Wrappers of the handle, wait and classification functions.
#include <wchar.h>

#include "hook_state.h"
#include "wrappers.h"

namespace host::hooks::detail {

namespace {

// The latest still-open record of a handle value: values are reused once
// closed, so an older closed record must not absorb a new close.
void markClosed(HANDLE handle) {
    Locked locked;
    auto &handles = state().handles;
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        if (it->handle == handle && !it->closed) {
            it->closed = true;
            return;
        }
    }
}

void applyCharTypes(LPCWCH source, int length, LPWORD types, std::vector<uintptr_t> *values) {
    size_t count = length < 0 ? wcslen(source) : static_cast<size_t>(length);
    Locked locked;
    for (size_t i = 0; i < count; ++i) {
        auto found = state().charTypes.find(source[i]);
        if (found != state().charTypes.end()) {
            types[i] = found->second;
        }
        values->push_back(types[i]);
    }
}

}  // namespace

BOOL WINAPI hookCloseHandle(HANDLE handle) {
    Frame frame(Api::CLOSE_HANDLE);
    using Real = decltype(&hookCloseHandle);
    if (frame.nested()) {
        return frame.call<Real>(handle);
    }
    BOOL result = frame.faulted() ? frame.fail(FALSE) : frame.call<Real>(handle);
    if (result) {
        markClosed(handle);
    }
    frame.record({word(handle)}, word(result));
    return frame.finish(result);
}

DWORD WINAPI hookWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                                        DWORD milliseconds) {
    Frame frame(Api::WAIT_FOR_MULTIPLE_OBJECTS);
    using Real = decltype(&hookWaitForMultipleObjects);
    if (frame.nested()) {
        return frame.call<Real>(count, handles, waitAll, milliseconds);
    }
    std::vector<uintptr_t> waited;
    for (DWORD i = 0; handles != nullptr && i < count && i < MAXIMUM_WAIT_OBJECTS; ++i) {
        waited.push_back(word(handles[i]));
    }
    DWORD result = frame.faulted() ? frame.fail(WAIT_FAILED)
                                   : frame.call<Real>(count, handles, waitAll, milliseconds);
    frame.record({word(count), word(handles), word(waitAll), word(milliseconds)}, result, waited);
    return frame.finish(result);
}

BOOL WINAPI hookGetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    Frame frame(Api::GET_EXIT_CODE_PROCESS);
    using Real = decltype(&hookGetExitCodeProcess);
    if (frame.nested()) {
        return frame.call<Real>(process, exitCode);
    }
    BOOL result = frame.faulted() ? frame.fail(FALSE) : frame.call<Real>(process, exitCode);
    std::vector<uintptr_t> values;
    if (result && exitCode != nullptr) {
        values.push_back(*exitCode);
    }
    frame.record({word(process), word(exitCode)}, word(result), values);
    return frame.finish(result);
}

BOOL WINAPI hookTerminateProcess(HANDLE process, UINT exitCode) {
    Frame frame(Api::TERMINATE_PROCESS);
    using Real = decltype(&hookTerminateProcess);
    if (frame.nested()) {
        return frame.call<Real>(process, exitCode);
    }
    BOOL result = frame.faulted() ? frame.fail(FALSE) : frame.call<Real>(process, exitCode);
    frame.record({word(process), word(exitCode)}, word(result));
    return frame.finish(result);
}

BOOL WINAPI hookSetHandleInformation(HANDLE handle, DWORD mask, DWORD flags) {
    Frame frame(Api::SET_HANDLE_INFORMATION);
    using Real = decltype(&hookSetHandleInformation);
    if (frame.nested()) {
        return frame.call<Real>(handle, mask, flags);
    }
    BOOL result = frame.faulted() ? frame.fail(FALSE) : frame.call<Real>(handle, mask, flags);
    frame.record({word(handle), word(mask), word(flags)}, word(result));
    return frame.finish(result);
}

// It cannot fail; what is worth seeing is when it is called and what it said.
DWORD WINAPI hookGetLastError() {
    Frame frame(Api::GET_LAST_ERROR);
    using Real = decltype(&hookGetLastError);
    DWORD result = frame.call<Real>();
    if (!frame.nested()) {
        frame.record({}, result);
    }
    return frame.finish(result);
}

BOOL WINAPI hookGetStringTypeW(DWORD infoType, LPCWCH source, int length, LPWORD types) {
    Frame frame(Api::GET_STRING_TYPE);
    using Real = decltype(&hookGetStringTypeW);
    if (frame.nested()) {
        return frame.call<Real>(infoType, source, length, types);
    }
    BOOL result =
        frame.faulted() ? frame.fail(FALSE) : frame.call<Real>(infoType, source, length, types);
    std::vector<uintptr_t> values;
    if (result && infoType == CT_CTYPE1 && source != nullptr && types != nullptr) {
        applyCharTypes(source, length, types, &values);
    }
    frame.record({word(infoType), word(source), word(length), word(types)}, word(result), values);
    return frame.finish(result);
}

}  // namespace host::hooks::detail
