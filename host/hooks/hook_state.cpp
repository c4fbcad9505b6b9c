// The hooks' state, lock and call frame.
#include "hook_state.h"

namespace host::hooks::detail {

namespace {

using GetLastErrorFn = DWORD(WINAPI *)();
using SetLastErrorFn = void(WINAPI *)(DWORD);

FARPROC kernel32Function(const char *name) {
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

// Resolved before main runs, so before anything can be patched.
const GetLastErrorFn realGetLastError =
    reinterpret_cast<GetLastErrorFn>(reinterpret_cast<void *>(kernel32Function("GetLastError")));
const SetLastErrorFn realSetLastError =
    reinterpret_cast<SetLastErrorFn>(reinterpret_cast<void *>(kernel32Function("SetLastError")));

// Plain Win32 TLS: compiler thread-locals may allocate on first use, which
// would re-enter a hooked malloc from inside the wrapper.
const DWORD insideHook = TlsAlloc();

struct LockHolder {
    LockHolder() { InitializeCriticalSection(&section); }
    CRITICAL_SECTION section;
};

LockHolder &lockHolder() {
    static LockHolder holder;
    return holder;
}

}  // namespace

State &state() {
    static State instance;
    return instance;
}

// Holding the lock counts as being inside the hooks: the containers it
// guards must not be touched by a hooked malloc they themselves call.
Locked::Locked() {
    EnterCriticalSection(&lockHolder().section);
    wasInside_ = TlsGetValue(insideHook) != nullptr;
    if (!wasInside_) {
        TlsSetValue(insideHook, reinterpret_cast<void *>(1));
    }
}

Locked::~Locked() {
    if (!wasInside_) {
        TlsSetValue(insideHook, nullptr);
    }
    LeaveCriticalSection(&lockHolder().section);
}

DWORD lastError() {
    return realGetLastError();
}

void setLastError(DWORD error) {
    realSetLastError(error);
}

Frame::Frame(Api api) : api_(api), entryError_(lastError()), resultError_(entryError_) {
    // TlsGetValue clears the last error; entryError_ already holds it.
    nested_ = TlsGetValue(insideHook) != nullptr;
    if (nested_) {
        return;
    }
    TlsSetValue(insideHook, reinterpret_cast<void *>(1));
    Locked locked;
    State &s = state();
    size_t index = indexOf(api);
    int call = ++s.calls[index];
    if (call == s.failAt[index]) {
        faulted_ = true;
        faultError_ = s.failError[index];
    }
}

Frame::~Frame() {
    DWORD error = lastError();
    if (!nested_) {
        TlsSetValue(insideHook, nullptr);
    }
    setLastError(error);
}

void *Frame::realFunction() const {
    Locked locked;
    return state().real[indexOf(api_)];
}

void Frame::record(std::vector<uintptr_t> args, uintptr_t result, std::vector<uintptr_t> values) {
    Locked locked;
    state().log.push_back(Call{api_, std::move(args), result, resultError_, faulted_,
                               GetCurrentThreadId(), std::move(values)});
}

}  // namespace host::hooks::detail
