// Each group of provided JNI operations fills its own slots of the table.
#ifndef QUILL_HOST_VM_JNI_OPS_H
#define QUILL_HOST_VM_JNI_OPS_H

#include <jni.h>

namespace host::detail {

void installReferenceOps(JNINativeInterface_ &table);
void installExceptionOps(JNINativeInterface_ &table);
void installStringOps(JNINativeInterface_ &table);
void installArrayOps(JNINativeInterface_ &table);

}  // namespace host::detail

#endif
