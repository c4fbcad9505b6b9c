// Wrappers of malloc and free, which keep the blocks the caller holds.
#include <stdlib.h>

#include "hook_state.h"
#include "wrappers.h"

namespace host::hooks::detail {

void *__cdecl hookMalloc(size_t size) {
    Frame frame(Api::MALLOC);
    using Real = decltype(&hookMalloc);
    if (frame.nested()) {
        return frame.call<Real>(size);
    }
    void *result = nullptr;
    result = frame.faulted() ? frame.fail(result) : frame.call<Real>(size);
    if (result != nullptr) {
        Locked locked;
        state().liveBlocks[result] = size;
    }
    frame.record({word(size)}, word(result));
    return frame.finish(result);
}

void __cdecl hookFree(void *block) {
    Frame frame(Api::FREE);
    using Real = decltype(&hookFree);
    if (!frame.nested() && block != nullptr) {
        Locked locked;
        State &s = state();
        if (s.liveBlocks.erase(block) == 0) {
            s.unknownFrees.push_back(block);
        }
    }
    frame.callVoid<Real>(block);
    if (!frame.nested()) {
        frame.record({word(block)}, 0);
    }
    frame.finish(0);
}

}  // namespace host::hooks::detail
