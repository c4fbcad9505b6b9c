// long[] operations. GetLongArrayElements hands out a copy followed by
// sentinels; the release mode alone decides whether it is written back.
#include <algorithm>

#include "jni_ops.h"
#include "vm_state.h"

namespace host::detail {

namespace {

jsize JNICALL getArrayLength(JNIEnv *env, jarray arr) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("GetArrayLength");
    auto *array = vm->resolveAs<LongArrayObject>(arr, ObjectKind::LONG_ARRAY, "GetArrayLength");
    return array == nullptr ? 0 : static_cast<jsize>(array->elements.size());
}

jlongArray JNICALL newLongArray(JNIEnv *env, jsize len) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("NewLongArray");
    if (len < 0) {
        vm->raise("java/lang/NegativeArraySizeException", std::to_string(len));
        return nullptr;
    }
    auto *array = vm->make<LongArrayObject>(std::vector<jlong>(static_cast<size_t>(len), 0));
    return reinterpret_cast<jlongArray>(refOf(array));
}

// The region [start, start + len) of the array, or nullptr with the VM's
// index error pending.
LongArrayObject *region(VmState *vm, jlongArray arr, jsize start, jsize len, const void *buf,
                        const char *function) {
    vm->checkNoPending(function);
    auto *array = vm->resolveAs<LongArrayObject>(arr, ObjectKind::LONG_ARRAY, function);
    if (array == nullptr) {
        return nullptr;
    }
    jlong size = static_cast<jlong>(array->elements.size());
    if (start < 0 || len < 0 || static_cast<jlong>(start) + len > size) {
        vm->raise("java/lang/ArrayIndexOutOfBoundsException",
                  "region " + std::to_string(start) + "+" + std::to_string(len) + " of length " +
                      std::to_string(size));
        return nullptr;
    }
    if (buf == nullptr && len > 0) {
        vm->violation(std::string(function) + ": NULL buffer");
        return nullptr;
    }
    return array;
}

void JNICALL getLongArrayRegion(JNIEnv *env, jlongArray arr, jsize start, jsize len, jlong *buf) {
    VmState *vm = stateOf(env);
    LongArrayObject *array = region(vm, arr, start, len, buf, "GetLongArrayRegion");
    if (array != nullptr) {
        std::copy_n(array->elements.begin() + start, len, buf);
    }
}

void JNICALL setLongArrayRegion(JNIEnv *env, jlongArray arr, jsize start, jsize len,
                                const jlong *buf) {
    VmState *vm = stateOf(env);
    LongArrayObject *array = region(vm, arr, start, len, buf, "SetLongArrayRegion");
    if (array != nullptr) {
        std::copy_n(buf, len, array->elements.begin() + start);
    }
}

jlong *JNICALL getLongArrayElements(JNIEnv *env, jlongArray arr, jboolean *isCopy) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("GetLongArrayElements");
    auto *array =
        vm->resolveAs<LongArrayObject>(arr, ObjectKind::LONG_ARRAY, "GetLongArrayElements");
    if (array == nullptr || !vm->admit(JniOp::GET_LONG_ARRAY_ELEMENTS)) {
        return nullptr;
    }
    BorrowRecord *record = vm->addBorrow(Borrow::Kind::LONG_ARRAY_ELEMENTS, arr, isCopy == nullptr);
    record->longs = array->elements;
    record->longs.insert(record->longs.end(), GUARD_UNITS, LONG_SENTINEL);
    record->info.pointer = record->longs.data();
    if (isCopy != nullptr) {
        *isCopy = JNI_TRUE;
    }
    return record->longs.data();
}

void writeBack(VmState *vm, BorrowRecord *record) {
    auto *array = static_cast<LongArrayObject *>(vm->lookUp(record->info.object));
    if (array != nullptr) {
        std::copy_n(record->longs.begin(), array->elements.size(), array->elements.begin());
    }
}

void JNICALL releaseLongArrayElements(JNIEnv *env, jlongArray arr, jlong *elems, jint mode) {
    VmState *vm = stateOf(env);
    vm->resolve(arr, ObjectKind::LONG_ARRAY, "ReleaseLongArrayElements");
    BorrowRecord *record = elems == nullptr ? nullptr : vm->findBorrow(elems);
    if (record == nullptr || record->info.kind != Borrow::Kind::LONG_ARRAY_ELEMENTS) {
        vm->violation(
            "ReleaseLongArrayElements: pointer was not handed out by "
            "GetLongArrayElements");
        return;
    }
    record->info.releaseCalls++;
    if (record->info.released) {
        vm->violation("ReleaseLongArrayElements: elements released twice");
        return;
    }
    if (record->info.object != arr) {
        vm->violation("ReleaseLongArrayElements: released with another array than they came from");
    }
    if (mode != 0 && mode != JNI_COMMIT && mode != JNI_ABORT) {
        vm->violation("ReleaseLongArrayElements: unknown mode " + std::to_string(mode));
        return;
    }
    size_t length = record->longs.size() - GUARD_UNITS;
    if (std::any_of(record->longs.begin() + length, record->longs.end(),
                    [](jlong value) { return value != LONG_SENTINEL; })) {
        vm->violation("ReleaseLongArrayElements: something was written past the last element");
    }
    record->info.lastReleaseMode = mode;
    if (mode != JNI_ABORT) {
        writeBack(vm, record);
    }
    if (mode != JNI_COMMIT) {
        std::fill(record->longs.begin(), record->longs.end(), LONG_SENTINEL);
        record->info.released = true;
    }
}

}  // namespace

void installArrayOps(JNINativeInterface_ &table) {
    table.GetArrayLength = &getArrayLength;
    table.NewLongArray = &newLongArray;
    table.GetLongArrayRegion = &getLongArrayRegion;
    table.SetLongArrayRegion = &setLongArrayRegion;
    table.GetLongArrayElements = &getLongArrayElements;
    table.ReleaseLongArrayElements = &releaseLongArrayElements;
}

}  // namespace host::detail
