// Child program of the trap tests: calls one function-table slot that the
// host VM does not provide, with that slot's own signature. The host must
// end the process; returning from the call is itself the failure.
#include <stdio.h>
#include <string.h>

#include "host_vm.h"

namespace {

constexpr int RETURNED_FROM_TRAP = 3;
constexpr int USAGE = 2;

bool callSlot(JNIEnv *env, const char *name) {
    if (strcmp(name, "GetVersion") == 0) {
        env->GetVersion();
    } else if (strcmp(name, "NewStringUTF") == 0) {
        env->NewStringUTF("x");
    } else if (strcmp(name, "GetStringUTFChars") == 0) {
        env->GetStringUTFChars(nullptr, nullptr);
    } else if (strcmp(name, "ExceptionDescribe") == 0) {
        env->ExceptionDescribe();
    } else if (strcmp(name, "CallStaticVoidMethodA") == 0) {
        env->CallStaticVoidMethodA(nullptr, nullptr, nullptr);
    } else if (strcmp(name, "GetModule") == 0) {
        env->GetModule(nullptr);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    host::HostVm vm;
    // With no slot named, the probe is a child that simply succeeds.
    if (argc < 2) {
        return 0;
    }
    if (!callSlot(vm.env(), argv[1])) {
        fprintf(stderr, "unknown slot name %s\n", argv[1]);
        return USAGE;
    }
    return RETURNED_FROM_TRAP;
}
