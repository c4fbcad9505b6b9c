// Object bookkeeping, rule checks, pending exception and fault switches of
// the host VM.
#include "vm_state.h"

namespace host::detail {

const char *objectKindName(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::STRING:
            return "java/lang/String";
        case ObjectKind::LONG_ARRAY:
            return "long[]";
        case ObjectKind::CLASS:
            return "java/lang/Class";
        case ObjectKind::THROWABLE:
            return "java/lang/Throwable";
    }
    return "?";
}

VmState::VmState() {
    block_.env.functions = hostFunctionTable();
    block_.state = this;
}

Object *VmState::lookUp(jobject ref) const {
    auto *object = reinterpret_cast<Object *>(ref);
    return known_.count(object) != 0 ? object : nullptr;
}

Object *VmState::resolve(jobject ref, ObjectKind kind, const char *function) {
    std::string expected = objectKindName(kind);
    if (ref == nullptr) {
        violation(std::string(function) + ": NULL where a " + expected + " is required");
        return nullptr;
    }
    Object *object = lookUp(ref);
    if (object == nullptr) {
        violation(std::string(function) + ": argument is not a reference this VM handed out");
        return nullptr;
    }
    if (object->deleted) {
        violation(std::string(function) + ": " + expected + " used after DeleteLocalRef");
        return nullptr;
    }
    if (object->kind != kind) {
        violation(std::string(function) + ": got a " + objectKindName(object->kind) + " where a " +
                  expected + " is required");
        return nullptr;
    }
    return object;
}

void VmState::violation(std::string text) {
    violations_.push_back(std::move(text));
}

void VmState::checkNoPending(const char *function) {
    if (hasPending_) {
        violation(std::string(function) + " called with " + pending_.className + " pending");
    }
}

bool VmState::admit(JniOp op) {
    size_t index = static_cast<size_t>(op);
    int call = ++calls_[index];
    int fallible = ++fallibleCalls_;
    if (call != failAt_[index] && fallible != fallibleFailAt_) {
        return true;
    }
    faultsInjected_++;
    if (!hasPending_) {
        raise("java/lang/OutOfMemoryError",
              std::string("host VM fault injected into ") + jniOpName(op));
    }
    return false;
}

void VmState::raise(const char *className, std::string message) {
    setPending(Exception{className, std::move(message), true});
}

void VmState::setPending(Exception e) {
    pending_ = std::move(e);
    hasPending_ = true;
}

BorrowRecord *VmState::addBorrow(Borrow::Kind kind, jobject object, bool isCopyWasNull) {
    borrows_.push_back(std::make_unique<BorrowRecord>());
    BorrowRecord *record = borrows_.back().get();
    record->info = Borrow{kind, object, nullptr, isCopyWasNull, false, 0, -1};
    return record;
}

BorrowRecord *VmState::findBorrow(const void *pointer) {
    for (auto &record : borrows_) {
        if (record->info.pointer == pointer) {
            return record.get();
        }
    }
    return nullptr;
}

void VmState::failNth(JniOp op, int k) {
    size_t index = static_cast<size_t>(op);
    failAt_[index] = k > 0 ? calls_[index] + k : 0;
}

void VmState::failNthFallible(int k) {
    fallibleFailAt_ = k > 0 ? fallibleCalls_ + k : 0;
}

}  // namespace host::detail
