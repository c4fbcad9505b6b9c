// Compiled, never run: fails the build when the native methods that javac reads from the Java
// classes and the functions that include/quillstead.h declares differ in any name, argument or
// result.
//
// Each side's declarations go into a namespace of their own. A name missing from either side is
// then a lookup error, and a type that differs is a failed assertion; C linkage alone would not
// do, since g++ only warns when two namespaces declare one C function with different types.
#include <jni.h>

#include <type_traits>

namespace fromJava {
#include "com_brennock_process_WindowsProcessEnvironment.h"
#include "com_brennock_process_WindowsProcessImpl.h"
}  // namespace fromJava

namespace fromLibrary {
#include <quillstead.h>
}  // namespace fromLibrary

#define QUILL_SAME_ON_BOTH_SIDES(function)                                                       \
    static_assert(std::is_same_v<decltype(fromJava::function), decltype(fromLibrary::function)>, \
                  "the Java class and include/quillstead.h disagree on " #function)

QUILL_SAME_ON_BOTH_SIDES(Java_com_brennock_process_WindowsProcessImpl_create);
QUILL_SAME_ON_BOTH_SIDES(Java_com_brennock_process_WindowsProcessImpl_getExitCodeProcess);
QUILL_SAME_ON_BOTH_SIDES(Java_com_brennock_process_WindowsProcessImpl_getStillActive);
QUILL_SAME_ON_BOTH_SIDES(Java_com_brennock_process_WindowsProcessImpl_waitForInterruptibly);
QUILL_SAME_ON_BOTH_SIDES(Java_com_brennock_process_WindowsProcessImpl_terminateProcess);
QUILL_SAME_ON_BOTH_SIDES(Java_com_brennock_process_WindowsProcessImpl_closeHandle);
QUILL_SAME_ON_BOTH_SIDES(Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock);
