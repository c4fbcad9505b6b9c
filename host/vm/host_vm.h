// A strict stand-in for the Java VM's side of JNI.
//
// HostVm owns a JNIEnv whose function table is the real JNINativeInterface_
// from jni.h. The operations the library uses (and the few a test needs to
// make and read objects) are provided; every other slot ends the process
// with a message naming the slot. The provided operations check the rules a
// checking VM checks and record each broken rule as a violation instead of
// crashing, so a test can assert that the list is empty.
//
//     host::HostVm vm;
//     jstring line = vm.newString(u"cmd /c exit 3");
//     ... call the library with vm.env() ...
//     EXPECT_TRUE(vm.violations().empty());
//     EXPECT_EQ(vm.outstandingBorrows(), 0);
//     EXPECT_EQ(vm.exceptionClass(), "java/io/IOException");
//
// One HostVm per thread, like one JNIEnv per thread: its pending exception
// and counters belong to whoever uses its env.
#ifndef QUILL_HOST_VM_HOST_VM_H
#define QUILL_HOST_VM_HOST_VM_H

#include <jni.h>

#include <memory>
#include <string>
#include <vector>

namespace host {

// The exit code of a process that called an unprovided table slot.
constexpr int JNI_TRAP_EXIT_CODE = 86;

// The JNI operations that can fail in a VM (returning NULL with an error
// pending), and so can be made to fail here.
enum class JniOp { FIND_CLASS, GET_STRING_CHARS, GET_LONG_ARRAY_ELEMENTS, NEW_STRING, COUNT };

const char *jniOpName(JniOp op);

// One GetStringChars or GetLongArrayElements result, as it was used.
struct Borrow {
    enum class Kind { STRING_CHARS, LONG_ARRAY_ELEMENTS };
    Kind kind;
    jobject object;
    const void *pointer;
    bool isCopyWasNull;    // the caller passed no isCopy pointer
    bool released;         // the buffer was given back for good
    int releaseCalls;      // Release* calls that named this buffer
    jint lastReleaseMode;  // -1 before the first release; strings count as mode 0
};

namespace detail {
class VmState;
}

class HostVm {
public:
    HostVm();
    ~HostVm();
    HostVm(const HostVm &) = delete;
    HostVm &operator=(const HostVm &) = delete;

    JNIEnv *env();

    // Making and reading objects from the test's side: these bypass the
    // JNI rules, count no calls and never fail.
    jstring newString(const std::u16string &units);
    std::u16string stringUnits(jstring string) const;
    jlongArray newLongArray(const std::vector<jlong> &elements);
    std::vector<jlong> longArrayElements(jlongArray array) const;
    // A class object of any name, such as the one a native method receives.
    jclass classObject(const char *name);

    // The pending exception: class name and message bytes exactly as given
    // to ThrowNew (or the VM's own error).
    bool exceptionPending() const;
    std::string exceptionClass() const;  // empty when none is pending
    std::string exceptionMessage() const;
    bool exceptionHasMessage() const;  // false also for a NULL ThrowNew message
    void clearException();

    // Broken JNI rules, each a line naming the operation and the fault.
    const std::vector<std::string> &violations() const;
    std::vector<Borrow> borrows() const;
    int outstandingBorrows() const;

    // Fault switches. failNth makes the k-th call of op from now on fail
    // (k counted from 1; 0 disarms). failNthFallible does the same for the
    // k-th call of any JniOp. A failed call returns NULL with
    // java/lang/OutOfMemoryError pending, as a VM out of memory does.
    void failNth(JniOp op, int k);
    void failNthFallible(int k);
    int calls(JniOp op) const;
    int fallibleCalls() const;  // calls of every JniOp together
    int faultsInjected() const;

private:
    std::unique_ptr<detail::VmState> state_;
};

}  // namespace host

#endif
