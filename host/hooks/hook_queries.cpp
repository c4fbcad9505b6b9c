// The test's side of the hooks: switches, overrides and what was recorded.
#include "hook_state.h"

namespace host::hooks {

using detail::Locked;
using detail::state;

void reset() {
    Locked locked;
    detail::State &s = state();
    s.log.clear();
    s.calls.fill(0);
    s.failAt.fill(0);
    s.failError.fill(0);
    s.fakeProcesses = false;
    s.processCaptures.clear();
    s.pipeCaptures.clear();
    s.supplyEnvironment = false;
    s.environment.clear();
    s.handles.clear();
    s.liveBlocks.clear();
    s.unknownFrees.clear();
    s.charTypes.clear();
    // Copies still handed out stay alive: their holder may free them later.
}

std::vector<Call> log() {
    Locked locked;
    return state().log;
}

std::vector<Call> calls(Api api) {
    Locked locked;
    std::vector<Call> result;
    for (const Call &call : state().log) {
        if (call.api == api) {
            result.push_back(call);
        }
    }
    return result;
}

void failNth(Api api, int k, DWORD error) {
    Locked locked;
    size_t index = detail::indexOf(api);
    state().failAt[index] = k > 0 ? state().calls[index] + k : 0;
    state().failError[index] = error;
}

void fakeCreateProcess(bool fake) {
    Locked locked;
    state().fakeProcesses = fake;
}

std::vector<CreateProcessCapture> createProcessCaptures() {
    Locked locked;
    return state().processCaptures;
}

std::vector<CreatePipeCapture> createPipeCaptures() {
    Locked locked;
    return state().pipeCaptures;
}

void supplyEnvironment(const std::u16string &block) {
    Locked locked;
    state().supplyEnvironment = true;
    state().environment = block;
}

std::vector<CreatedHandle> createdHandles() {
    Locked locked;
    return state().handles;
}

std::vector<CreatedHandle> unclosedHandles() {
    Locked locked;
    std::vector<CreatedHandle> result;
    for (const CreatedHandle &handle : state().handles) {
        if (!handle.closed) {
            result.push_back(handle);
        }
    }
    return result;
}

std::map<void *, size_t> liveBlocks() {
    Locked locked;
    return state().liveBlocks;
}

std::vector<void *> unknownFrees() {
    Locked locked;
    return state().unknownFrees;
}

void overrideCharType(wchar_t unit, WORD type) {
    Locked locked;
    state().charTypes[unit] = type;
}

Scope::Scope(HMODULE module, const std::vector<Api> &only) : hooked_(install(module, only)) {
    reset();
}

Scope::~Scope() {
    uninstall();
    reset();
}

}  // namespace host::hooks
