// FindClass and DeleteLocalRef, and the classes this VM knows.
#include <string.h>

#include "jni_ops.h"
#include "vm_state.h"

namespace host::detail {

namespace {

struct KnownClass {
    const char *name;
    bool throwable;
};

constexpr KnownClass KNOWN_CLASSES[] = {
    {"java/lang/Object", false},
    {"java/lang/Class", false},
    {"java/lang/String", false},
    {"java/lang/Throwable", true},
    {"java/lang/Exception", true},
    {"java/lang/RuntimeException", true},
    {"java/lang/Error", true},
    {"java/io/IOException", true},
    {"java/lang/OutOfMemoryError", true},
    {"java/lang/InternalError", true},
    {"java/lang/NoClassDefFoundError", true},
    {"java/lang/NullPointerException", true},
    {"java/lang/IllegalArgumentException", true},
    {"java/lang/IllegalStateException", true},
    {"java/lang/UnsupportedOperationException", true},
    {"java/lang/InterruptedException", true},
    {"java/lang/ArrayIndexOutOfBoundsException", true},
    {"java/lang/StringIndexOutOfBoundsException", true},
    {"java/lang/NegativeArraySizeException", true},
    {"com/brennock/process/WindowsProcessImpl", false},
    {"com/brennock/process/WindowsProcessEnvironment", false},
};

jclass JNICALL findClass(JNIEnv *env, const char *name) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("FindClass");
    if (name == nullptr) {
        vm->violation("FindClass: NULL class name");
        return nullptr;
    }
    if (!vm->admit(JniOp::FIND_CLASS)) {
        return nullptr;
    }
    bool throwable = false;
    if (!knownClass(name, &throwable)) {
        // A VM that cannot find the class says so with its own error.
        vm->raise("java/lang/NoClassDefFoundError", name);
        return nullptr;
    }
    return reinterpret_cast<jclass>(refOf(vm->make<ClassObject>(name, throwable)));
}

void JNICALL deleteLocalRef(JNIEnv *env, jobject ref) {
    VmState *vm = stateOf(env);
    if (ref == nullptr) {
        return;
    }
    Object *object = vm->lookUp(ref);
    if (object == nullptr) {
        vm->violation("DeleteLocalRef: argument is not a reference this VM handed out");
    } else if (object->deleted) {
        vm->violation("DeleteLocalRef: reference deleted twice");
    } else {
        object->deleted = true;
    }
}

}  // namespace

bool knownClass(const std::string &name, bool *throwable) {
    for (const KnownClass &known : KNOWN_CLASSES) {
        if (name == known.name) {
            *throwable = known.throwable;
            return true;
        }
    }
    return false;
}

void installReferenceOps(JNINativeInterface_ &table) {
    table.FindClass = &findClass;
    table.DeleteLocalRef = &deleteLocalRef;
}

}  // namespace host::detail
