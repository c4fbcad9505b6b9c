// Shared between the jvm.dll stand-in's source files only.
#ifndef QUILL_HOST_JVM_STUB_INTERNAL_H
#define QUILL_HOST_JVM_STUB_INTERNAL_H

void resetErrorText();
void resetInterruptEvents();

#endif
