// Wrappers of GetEnvironmentStringsW and FreeEnvironmentStringsW, which can
// hand out a block the test made instead of the process's own.
#include "hook_state.h"
#include "wrappers.h"

namespace host::hooks::detail {

namespace {

// Non-NUL units after a supplied block: a reader that overshoots the
// block's closing NULs reads these rather than a lucky zero.
constexpr size_t GUARD_UNITS = 8;
constexpr char16_t GUARD_UNIT = 0xFFFE;

LPWCH suppliedCopy() {
    Locked locked;
    State &s = state();
    if (!s.supplyEnvironment) {
        return nullptr;
    }
    auto copy = std::make_unique<std::u16string>(s.environment);
    copy->append(GUARD_UNITS, GUARD_UNIT);
    auto *units = reinterpret_cast<LPWCH>(copy->data());
    s.environmentCopies.push_back(std::move(copy));
    return units;
}

// True when block is a supplied copy, which is then forgotten.
bool takeBackCopy(LPWCH block) {
    Locked locked;
    auto &copies = state().environmentCopies;
    for (auto it = copies.begin(); it != copies.end(); ++it) {
        if (reinterpret_cast<LPWCH>((*it)->data()) == block) {
            copies.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace

LPWCH WINAPI hookGetEnvironmentStringsW() {
    Frame frame(Api::GET_ENVIRONMENT_STRINGS);
    using Real = decltype(&hookGetEnvironmentStringsW);
    if (frame.nested()) {
        return frame.call<Real>();
    }
    LPWCH result = nullptr;
    if (frame.faulted()) {
        result = frame.fail(result);
    } else {
        result = suppliedCopy();
        if (result == nullptr) {
            result = frame.call<Real>();
        }
    }
    frame.record({}, word(result));
    return frame.finish(result);
}

BOOL WINAPI hookFreeEnvironmentStringsW(LPWCH block) {
    Frame frame(Api::FREE_ENVIRONMENT_STRINGS);
    using Real = decltype(&hookFreeEnvironmentStringsW);
    if (frame.nested()) {
        return frame.call<Real>(block);
    }
    BOOL result;
    if (frame.faulted()) {
        result = frame.fail(FALSE);
    } else {
        result = takeBackCopy(block) ? TRUE : frame.call<Real>(block);
    }
    frame.record({word(block)}, word(result));
    return frame.finish(result);
}

}  // namespace host::hooks::detail
