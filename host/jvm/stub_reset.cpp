#include "jvm_control.h"
#include "stub_internal.h"

extern "C" void jvmStubReset(void) {
    resetErrorText();
    resetInterruptEvents();
}
