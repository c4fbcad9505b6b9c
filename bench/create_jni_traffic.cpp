// The same JNI calls, in the same order and with the same arguments, that
// create makes for a launch with a command line, a directory, no environment
// block and three pipes: the slot array's length, each string's length and
// characters borrowed and given back, the slot elements borrowed and written
// back.
#include "create_jni_traffic.h"

#include <vector>

#include "bench.h"
#include "clock.h"
#include "host_vm.h"

namespace bench {

namespace {

constexpr int ROUNDS = 21;
constexpr int LAUNCHES_PER_ROUND = 200;

void borrowString(JNIEnv *env, jstring string) {
    env->GetStringLength(string);
    const jchar *chars = env->GetStringChars(string, NULL);
    env->ReleaseStringChars(string, chars);
}

void oneLaunchOfTraffic(JNIEnv *env, jstring commandLine, jstring directory, jlongArray slots) {
    env->GetArrayLength(slots);
    borrowString(env, commandLine);
    borrowString(env, directory);
    jlong *elements = env->GetLongArrayElements(slots, NULL);
    env->ReleaseLongArrayElements(slots, elements, 0);
}

}  // namespace

Summary timeCreateJniTraffic(const std::u16string &commandLine, const std::u16string &directory) {
    std::vector<double> perLaunch;
    for (int round = 0; round < ROUNDS; ++round) {
        // A VM per round, as in the launch benchmark.
        host::HostVm vm;
        jstring line = vm.newString(commandLine);
        jstring where = vm.newString(directory);
        std::vector<jlongArray> slots;
        for (int launch = 0; launch < LAUNCHES_PER_ROUND; ++launch) {
            slots.push_back(vm.newLongArray({NO_HANDLE, NO_HANDLE, NO_HANDLE}));
        }
        const int64_t start = ticks();
        for (jlongArray array : slots) {
            oneLaunchOfTraffic(vm.env(), line, where, array);
        }
        perLaunch.push_back(ticksToMicroseconds(ticks() - start) / LAUNCHES_PER_ROUND);
    }
    return summarise(perLaunch);
}

}  // namespace bench
