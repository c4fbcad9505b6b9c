// The current process's environment, handed to Java as one string.
#include "internal.h"

namespace {

// The number of units of a Windows environment block before its closing NUL:
// every entry with the NUL that ends it. A block that starts with NUL holds
// no entries and measures 0.
jsize measureEnvironmentBlock(const jchar *block) {
    // The block ends at the first NUL that follows another NUL, that is
    // where an entry would start; every NUL before it ends an entry and
    // belongs to the string. One comparison a unit: skip each entry to its
    // NUL, then look at what follows.
    const jchar *unit = block;
    while (*unit != 0) {
        while (*++unit != 0) {
        }
        ++unit;
    }
    return static_cast<jsize>(unit - block);
}

}  // namespace

JNIEXPORT jstring JNICALL
Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock(JNIEnv *env, jclass) {
    WCHAR *block = GetEnvironmentStringsW();
    if (block == NULL) {
        // Windows gives no block only when it cannot allocate one.
        throwLastErrorAs(env, "java/lang/OutOfMemoryError", "GetEnvironmentStrings");
        return NULL;
    }

    const jchar *units = reinterpret_cast<const jchar *>(block);
    // NULL when the VM could not make the string; its error is then pending.
    jstring snapshot = env->NewString(units, measureEnvironmentBlock(units));

    FreeEnvironmentStringsW(block);
    return snapshot;
}
