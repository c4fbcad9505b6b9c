// HostVm: the test's side of the host VM.
#include "host_vm.h"

#include "vm_state.h"

namespace host {

using detail::ClassObject;
using detail::LongArrayObject;
using detail::ObjectKind;
using detail::StringObject;

const char *jniOpName(JniOp op) {
    switch (op) {
        case JniOp::FIND_CLASS:
            return "FindClass";
        case JniOp::GET_STRING_CHARS:
            return "GetStringChars";
        case JniOp::GET_LONG_ARRAY_ELEMENTS:
            return "GetLongArrayElements";
        case JniOp::NEW_STRING:
            return "NewString";
        case JniOp::COUNT:
            break;
    }
    return "?";
}

HostVm::HostVm() : state_(std::make_unique<detail::VmState>()) {}

HostVm::~HostVm() = default;

JNIEnv *HostVm::env() {
    return state_->env();
}

jstring HostVm::newString(const std::u16string &units) {
    return reinterpret_cast<jstring>(detail::refOf(state_->make<StringObject>(units)));
}

std::u16string HostVm::stringUnits(jstring string) const {
    detail::Object *object = state_->lookUp(string);
    if (object == nullptr || object->kind != ObjectKind::STRING) {
        return u"<not a string of this VM>";
    }
    return static_cast<StringObject *>(object)->units;
}

jlongArray HostVm::newLongArray(const std::vector<jlong> &elements) {
    return reinterpret_cast<jlongArray>(detail::refOf(state_->make<LongArrayObject>(elements)));
}

std::vector<jlong> HostVm::longArrayElements(jlongArray array) const {
    detail::Object *object = state_->lookUp(array);
    if (object == nullptr || object->kind != ObjectKind::LONG_ARRAY) {
        return {};
    }
    return static_cast<LongArrayObject *>(object)->elements;
}

jclass HostVm::classObject(const char *name) {
    bool throwable = false;
    detail::knownClass(name, &throwable);
    return reinterpret_cast<jclass>(detail::refOf(state_->make<ClassObject>(name, throwable)));
}

bool HostVm::exceptionPending() const {
    return state_->pending();
}

std::string HostVm::exceptionClass() const {
    return state_->pending() ? state_->pendingException().className : std::string();
}

std::string HostVm::exceptionMessage() const {
    return state_->pending() ? state_->pendingException().message : std::string();
}

bool HostVm::exceptionHasMessage() const {
    return state_->pending() && state_->pendingException().hasMessage;
}

void HostVm::clearException() {
    state_->clearPending();
}

const std::vector<std::string> &HostVm::violations() const {
    return state_->violations();
}

std::vector<Borrow> HostVm::borrows() const {
    std::vector<Borrow> result;
    for (const auto &record : state_->borrowRecords()) {
        result.push_back(record->info);
    }
    return result;
}

int HostVm::outstandingBorrows() const {
    int count = 0;
    for (const auto &record : state_->borrowRecords()) {
        count += record->info.released ? 0 : 1;
    }
    return count;
}

void HostVm::failNth(JniOp op, int k) {
    state_->failNth(op, k);
}

void HostVm::failNthFallible(int k) {
    state_->failNthFallible(k);
}

int HostVm::calls(JniOp op) const {
    return state_->calls(op);
}

int HostVm::fallibleCalls() const {
    return state_->fallibleCalls();
}

int HostVm::faultsInjected() const {
    return state_->faultsInjected();
}

}  // namespace host
