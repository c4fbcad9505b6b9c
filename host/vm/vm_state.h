// The host VM's inner state, shared by its JNI operations and by HostVm.
#ifndef QUILL_HOST_VM_VM_STATE_H
#define QUILL_HOST_VM_VM_STATE_H

#include <jni.h>

#include <array>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "host_vm.h"

namespace host::detail {

enum class ObjectKind { STRING, LONG_ARRAY, CLASS, THROWABLE };

const char *objectKindName(ObjectKind kind);

struct Object {
    explicit Object(ObjectKind k) : kind(k) {}
    virtual ~Object() = default;
    ObjectKind kind;
    bool deleted = false;  // its local reference went to DeleteLocalRef
};

struct StringObject : Object {
    explicit StringObject(std::u16string u) : Object(ObjectKind::STRING), units(std::move(u)) {}
    std::u16string units;
};

struct LongArrayObject : Object {
    explicit LongArrayObject(std::vector<jlong> e)
        : Object(ObjectKind::LONG_ARRAY), elements(std::move(e)) {}
    std::vector<jlong> elements;
};

struct ClassObject : Object {
    ClassObject(std::string n, bool t)
        : Object(ObjectKind::CLASS), name(std::move(n)), throwable(t) {}
    std::string name;
    bool throwable;
};

struct Exception {
    std::string className;
    std::string message;
    bool hasMessage;
};

struct ThrowableObject : Object {
    explicit ThrowableObject(Exception e)
        : Object(ObjectKind::THROWABLE), exception(std::move(e)) {}
    Exception exception;
};

// A borrowed buffer lives here until the VM dies: after its release it is
// poisoned rather than freed, so late reads see garbage, not a crash.
struct BorrowRecord {
    Borrow info;
    std::vector<jchar> chars;  // string units, then GUARD_UNITS sentinels
    std::vector<jlong> longs;  // array elements, then GUARD_UNITS sentinels
};

constexpr size_t GUARD_UNITS = 8;
// Non-NUL, so code that looks for a terminator after the units runs on.
constexpr jchar CHAR_SENTINEL = 0xFFFE;
constexpr jlong LONG_SENTINEL = 0x5A5A5A5A5A5A5A5ALL;

// Where JNIEnv points: the env first, so the VM is found right after it.
struct EnvBlock {
    JNIEnv env;
    VmState *state;
};

class VmState {
public:
    VmState();
    VmState(const VmState &) = delete;
    VmState &operator=(const VmState &) = delete;

    JNIEnv *env() { return &block_.env; }

    template <class T, class... Args>
    T *make(Args &&...args) {
        objects_.push_back(std::make_unique<T>(std::forward<Args>(args)...));
        known_.insert(objects_.back().get());
        return static_cast<T *>(objects_.back().get());
    }

    // The object a reference names, or nullptr after recording why it is
    // not a usable object of that kind.
    Object *resolve(jobject ref, ObjectKind kind, const char *function);
    template <class T>
    T *resolveAs(jobject ref, ObjectKind kind, const char *function) {
        return static_cast<T *>(resolve(ref, kind, function));
    }
    Object *lookUp(jobject ref) const;  // nullptr when unknown

    void violation(std::string text);
    // Every operation but the exception-safe ones starts here.
    void checkNoPending(const char *function);
    // Counts a fallible call; false when it is the one that must fail, in
    // which case the VM's out-of-memory error is already pending.
    bool admit(JniOp op);

    void raise(const char *className, std::string message);
    bool pending() const { return hasPending_; }
    const Exception &pendingException() const { return pending_; }
    void clearPending() { hasPending_ = false; }
    void setPending(Exception e);

    BorrowRecord *addBorrow(Borrow::Kind kind, jobject object, bool isCopyWasNull);
    BorrowRecord *findBorrow(const void *pointer);
    const std::vector<std::unique_ptr<BorrowRecord>> &borrowRecords() const { return borrows_; }

    const std::vector<std::string> &violations() const { return violations_; }

    void failNth(JniOp op, int k);
    void failNthFallible(int k);
    int calls(JniOp op) const { return calls_[static_cast<size_t>(op)]; }
    int fallibleCalls() const { return fallibleCalls_; }
    int faultsInjected() const { return faultsInjected_; }

private:
    static constexpr size_t OP_COUNT = static_cast<size_t>(JniOp::COUNT);

    EnvBlock block_;
    std::vector<std::unique_ptr<Object>> objects_;
    std::unordered_set<const Object *> known_;
    bool hasPending_ = false;
    Exception pending_;
    std::vector<std::unique_ptr<BorrowRecord>> borrows_;
    std::vector<std::string> violations_;
    std::array<int, OP_COUNT> calls_{};
    std::array<int, OP_COUNT> failAt_{};  // call number that fails; 0: none
    int fallibleCalls_ = 0;
    int fallibleFailAt_ = 0;
    int faultsInjected_ = 0;
};

inline VmState *stateOf(JNIEnv *env) {
    return reinterpret_cast<EnvBlock *>(env)->state;
}

inline jobject refOf(Object *object) {
    return reinterpret_cast<jobject>(object);
}

// The one function table every host VM's env points to.
const JNINativeInterface_ *hostFunctionTable();

// Whether FindClass knows the name, and if so whether it is a Throwable.
bool knownClass(const std::string &name, bool *throwable);

}  // namespace host::detail

#endif
