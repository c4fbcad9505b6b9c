// String operations. GetStringChars hands out a copy with no terminator and
// a run of non-NUL sentinels after the last unit: code that expects a NUL
// there reads on into them, and code that writes there is caught at release.
#include <algorithm>

#include "jni_ops.h"
#include "vm_state.h"

namespace host::detail {

namespace {

jstring JNICALL newString(JNIEnv *env, const jchar *units, jsize len) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("NewString");
    if (len < 0) {
        vm->violation("NewString: negative length " + std::to_string(len));
        return nullptr;
    }
    if (units == nullptr && len > 0) {
        vm->violation("NewString: NULL characters with length " + std::to_string(len));
        return nullptr;
    }
    if (!vm->admit(JniOp::NEW_STRING)) {
        return nullptr;
    }
    std::u16string text;
    if (len > 0) {
        text.assign(reinterpret_cast<const char16_t *>(units), static_cast<size_t>(len));
    }
    return reinterpret_cast<jstring>(refOf(vm->make<StringObject>(std::move(text))));
}

jsize JNICALL getStringLength(JNIEnv *env, jstring str) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("GetStringLength");
    auto *string = vm->resolveAs<StringObject>(str, ObjectKind::STRING, "GetStringLength");
    return string == nullptr ? 0 : static_cast<jsize>(string->units.size());
}

const jchar *JNICALL getStringChars(JNIEnv *env, jstring str, jboolean *isCopy) {
    VmState *vm = stateOf(env);
    vm->checkNoPending("GetStringChars");
    auto *string = vm->resolveAs<StringObject>(str, ObjectKind::STRING, "GetStringChars");
    if (string == nullptr || !vm->admit(JniOp::GET_STRING_CHARS)) {
        return nullptr;
    }
    BorrowRecord *record = vm->addBorrow(Borrow::Kind::STRING_CHARS, str, isCopy == nullptr);
    record->chars.assign(string->units.begin(), string->units.end());
    record->chars.insert(record->chars.end(), GUARD_UNITS, CHAR_SENTINEL);
    record->info.pointer = record->chars.data();
    if (isCopy != nullptr) {
        *isCopy = JNI_TRUE;
    }
    return record->chars.data();
}

// Returns the characters to the VM: they must be unchanged, and so must the
// sentinels after them.
void checkReturnedChars(VmState *vm, BorrowRecord *record) {
    auto *string = static_cast<StringObject *>(vm->lookUp(record->info.object));
    size_t length = record->chars.size() - GUARD_UNITS;
    bool sameUnits =
        string != nullptr && std::equal(string->units.begin(), string->units.end(),
                                        record->chars.begin(), record->chars.begin() + length);
    if (!sameUnits) {
        vm->violation("ReleaseStringChars: the characters were modified");
    }
    if (std::any_of(record->chars.begin() + length, record->chars.end(),
                    [](jchar unit) { return unit != CHAR_SENTINEL; })) {
        vm->violation("ReleaseStringChars: something was written past the last character");
    }
}

void JNICALL releaseStringChars(JNIEnv *env, jstring str, const jchar *chars) {
    VmState *vm = stateOf(env);
    vm->resolve(str, ObjectKind::STRING, "ReleaseStringChars");
    BorrowRecord *record = chars == nullptr ? nullptr : vm->findBorrow(chars);
    if (record == nullptr || record->info.kind != Borrow::Kind::STRING_CHARS) {
        vm->violation("ReleaseStringChars: pointer was not handed out by GetStringChars");
        return;
    }
    record->info.releaseCalls++;
    if (record->info.released) {
        vm->violation("ReleaseStringChars: characters released twice");
        return;
    }
    if (record->info.object != str) {
        vm->violation("ReleaseStringChars: released with another string than they came from");
    }
    checkReturnedChars(vm, record);
    std::fill(record->chars.begin(), record->chars.end(), CHAR_SENTINEL);
    record->info.released = true;
    record->info.lastReleaseMode = 0;
}

}  // namespace

void installStringOps(JNINativeInterface_ &table) {
    table.NewString = &newString;
    table.GetStringLength = &getStringLength;
    table.GetStringChars = &getStringChars;
    table.ReleaseStringChars = &releaseStringChars;
}

}  // namespace host::detail
