// The hooks' shared state and the frame every wrapper runs its call in.
#ifndef QUILL_HOST_HOOKS_HOOK_STATE_H
#define QUILL_HOST_HOOKS_HOOK_STATE_H

#include <array>
#include <memory>
#include <type_traits>

#include "import_hooks.h"

namespace host::hooks::detail {

constexpr size_t API_COUNT = static_cast<size_t>(Api::COUNT);

inline size_t indexOf(Api api) {
    return static_cast<size_t>(api);
}

// An import-table entry that was replaced, with what it held.
struct Patch {
    HMODULE module;
    void **slot;
    void *original;
};

struct State {
    std::array<void *, API_COUNT> real{};  // the original entries
    std::vector<Patch> patches;
    std::vector<Call> log;
    std::array<int, API_COUNT> calls{};
    std::array<int, API_COUNT> failAt{};  // call number that fails; 0: none
    std::array<DWORD, API_COUNT> failError{};
    bool fakeProcesses = false;
    std::vector<CreateProcessCapture> processCaptures;
    std::vector<CreatePipeCapture> pipeCaptures;
    bool supplyEnvironment = false;
    std::u16string environment;
    // Copies handed out by GetEnvironmentStringsW, until freed.
    std::vector<std::unique_ptr<std::u16string>> environmentCopies;
    std::vector<CreatedHandle> handles;
    std::map<void *, size_t> liveBlocks;
    std::vector<void *> unknownFrees;
    std::map<wchar_t, WORD> charTypes;
};

// The state, for whoever holds a Locked.
State &state();

class Locked {
public:
    Locked();
    ~Locked();
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    bool wasInside_;
};

// The thread's last error without going through any import table this code
// may have patched (the test program's own included).
DWORD lastError();
void setLastError(DWORD error);

// One hooked call. It keeps the caller's last error for the real function,
// counts the call and decides an armed fault. A call made while the thread
// is already inside a wrapper (the hook code's own allocations, when the
// test program's imports are hooked) is nested: it only passes through.
class Frame {
public:
    explicit Frame(Api api);
    ~Frame();
    Frame(const Frame &) = delete;
    Frame &operator=(const Frame &) = delete;

    bool nested() const { return nested_; }
    bool faulted() const { return faulted_; }

    template <class Function, class... Args>
    auto call(Args... args) {
        // Looked up first: taking the lock disturbs the last error.
        auto real = reinterpret_cast<Function>(realFunction());
        setLastError(entryError_);
        auto result = real(args...);
        resultError_ = lastError();
        return result;
    }

    template <class Function, class... Args>
    void callVoid(Args... args) {
        auto real = reinterpret_cast<Function>(realFunction());
        setLastError(entryError_);
        real(args...);
        resultError_ = lastError();
    }

    template <class T>
    T fail(T failureValue) {
        resultError_ = faultError_;
        return failureValue;
    }

    // Logs the call; values as documented on Call.
    void record(std::vector<uintptr_t> args, uintptr_t result, std::vector<uintptr_t> values = {});
    DWORD resultError() const { return resultError_; }

    template <class T>
    T finish(T result) {
        setLastError(resultError_);
        return result;
    }

private:
    void *realFunction() const;

    Api api_;
    DWORD entryError_;
    DWORD resultError_;
    bool nested_;
    bool faulted_ = false;
    DWORD faultError_ = 0;
};

template <class T>
uintptr_t word(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<uintptr_t>(value);
    } else {
        return static_cast<uintptr_t>(value);
    }
}

// Which import each Api is, and its wrapper.
struct HookInfo {
    const char *dll;
    const char *name;
    void *wrapper;
};
const HookInfo &hookInfo(Api api);

}  // namespace host::hooks::detail

#endif
