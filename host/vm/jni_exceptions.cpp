// ThrowNew and the exception queries. Only ThrowNew is barred while an
// exception is pending; the queries are what a caller uses to deal with one.
#include "jni_ops.h"
#include "vm_state.h"

namespace host::detail {

namespace {

jint JNICALL throwNew(JNIEnv *env, jclass clazz, const char *message) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("ThrowNew");
    auto *cls = vm->resolveAs<ClassObject>(clazz, ObjectKind::CLASS, "ThrowNew");
    if (cls == nullptr) {
        return JNI_ERR;
    }
    if (!cls->throwable) {
        vm->violation("ThrowNew: " + cls->name + " is not a Throwable");
        return JNI_ERR;
    }
    bool hasMessage = message != nullptr;
    vm->setPending(Exception{cls->name, hasMessage ? message : "", hasMessage});
    return JNI_OK;
}

jthrowable JNICALL exceptionOccurred(JNIEnv *env) {
    VmState *vm = stateOf(env);
    if (!vm->pending()) {
        return nullptr;
    }
    return reinterpret_cast<jthrowable>(refOf(vm->make<ThrowableObject>(vm->pendingException())));
}

void JNICALL exceptionClear(JNIEnv *env) {
    stateOf(env)->clearPending();
}

jboolean JNICALL exceptionCheck(JNIEnv *env) {
    return stateOf(env)->pending() ? JNI_TRUE : JNI_FALSE;
}

}  // namespace

void installExceptionOps(JNINativeInterface_ &table) {
    table.ThrowNew = &throwNew;
    table.ExceptionOccurred = &exceptionOccurred;
    table.ExceptionClear = &exceptionClear;
    table.ExceptionCheck = &exceptionCheck;
}

}  // namespace host::detail
