// Which import each hook replaces. The static_asserts hold every wrapper to
// the exact type of the function it replaces.
#include <stdlib.h>

#include <type_traits>

#include "hook_state.h"
#include "wrappers.h"

namespace host::hooks::detail {

namespace {

#define QUILL_SAME_TYPE(wrapper, real) \
    static_assert(std::is_same_v<decltype(&wrapper), decltype(&::real)>, #real)

QUILL_SAME_TYPE(hookGetEnvironmentStringsW, GetEnvironmentStringsW);
QUILL_SAME_TYPE(hookFreeEnvironmentStringsW, FreeEnvironmentStringsW);
QUILL_SAME_TYPE(hookWaitForMultipleObjects, WaitForMultipleObjects);
QUILL_SAME_TYPE(hookGetExitCodeProcess, GetExitCodeProcess);
QUILL_SAME_TYPE(hookTerminateProcess, TerminateProcess);
QUILL_SAME_TYPE(hookCloseHandle, CloseHandle);
QUILL_SAME_TYPE(hookCreatePipe, CreatePipe);
QUILL_SAME_TYPE(hookSetHandleInformation, SetHandleInformation);
QUILL_SAME_TYPE(hookCreateProcessW, CreateProcessW);
QUILL_SAME_TYPE(hookGetStringTypeW, GetStringTypeW);
QUILL_SAME_TYPE(hookGetLastError, GetLastError);
// decltype(&::malloc) would carry malloc's function attributes along.
static_assert(std::is_same_v<decltype(&hookMalloc), void *(__cdecl *)(size_t)>, "malloc");
static_assert(std::is_same_v<decltype(&hookFree), void(__cdecl *)(void *)>, "free");

#undef QUILL_SAME_TYPE

template <class F>
void *address(F function) {
    return reinterpret_cast<void *>(function);
}

constexpr const char *KERNEL32 = "KERNEL32.dll";
constexpr const char *MSVCRT = "msvcrt.dll";

const HookInfo HOOKS[API_COUNT] = {
    {KERNEL32, "GetEnvironmentStringsW", address(&hookGetEnvironmentStringsW)},
    {KERNEL32, "FreeEnvironmentStringsW", address(&hookFreeEnvironmentStringsW)},
    {KERNEL32, "WaitForMultipleObjects", address(&hookWaitForMultipleObjects)},
    {KERNEL32, "GetExitCodeProcess", address(&hookGetExitCodeProcess)},
    {KERNEL32, "TerminateProcess", address(&hookTerminateProcess)},
    {KERNEL32, "CloseHandle", address(&hookCloseHandle)},
    {KERNEL32, "CreatePipe", address(&hookCreatePipe)},
    {KERNEL32, "SetHandleInformation", address(&hookSetHandleInformation)},
    {KERNEL32, "CreateProcessW", address(&hookCreateProcessW)},
    {KERNEL32, "GetStringTypeW", address(&hookGetStringTypeW)},
    {KERNEL32, "GetLastError", address(&hookGetLastError)},
    {MSVCRT, "malloc", address(&hookMalloc)},
    {MSVCRT, "free", address(&hookFree)},
};

}  // namespace

const HookInfo &hookInfo(Api api) {
    return HOOKS[indexOf(api)];
}

}  // namespace host::hooks::detail

namespace host::hooks {

const char *apiName(Api api) {
    return api == Api::COUNT ? "?" : detail::hookInfo(api).name;
}

}  // namespace host::hooks
