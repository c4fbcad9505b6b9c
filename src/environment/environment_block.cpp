// The current process's environment, handed to Java as one string.
#include "internal.h"

jsize measureEnvironmentBlock(const jchar *block) {
    if (block[0] == 0) {
        return 0;
    }
    // The block ends at the first NUL that follows another NUL; every NUL
    // before it ends an entry and belongs to the string.
    jsize length = 1;
    while (block[length] != 0 || block[length - 1] != 0) {
        ++length;
    }
    return length;
}

JNIEXPORT jstring JNICALL
Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock(JNIEnv *env, jclass) {
    const WCHAR *block = GetEnvironmentStringsW();
    if (block == NULL) {
        // Windows gives no block only when it cannot allocate one.
        throwLastErrorAs(env, "java/lang/OutOfMemoryError", "GetEnvironmentStrings");
        return NULL;
    }

    const jchar *units = reinterpret_cast<const jchar *>(block);
    // NULL when the VM could not make the string; its error is then pending.
    jstring snapshot = env->NewString(units, measureEnvironmentBlock(units));

    FreeEnvironmentStringsW(const_cast<WCHAR *>(block));
    return snapshot;
}
