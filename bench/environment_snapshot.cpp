// Benchmark 3: environmentBlock against the same work written by hand
// (GetEnvironmentStringsW, measure the block, NewString, free the block), on
// the process's real block, on a 32 KiB block supplied through the import
// hooks, and on a real block grown to 32 KiB. Both sides make their string
// through the same stand-in VM, so its NewString cost is in both.
#include <wchar.h>

#include <memory>
#include <vector>

#include "bench.h"
#include "clock.h"
#include "host_vm.h"
#include "import_hooks.h"
#include "watchdog.h"

namespace bench {

namespace {

constexpr int ROUNDS = 31;
constexpr int BATCHES_PER_ROUND = 10;
constexpr double SNAPSHOT_GOAL = 1.2;
constexpr size_t LARGE_BLOCK_UNITS = 32 * 1024 / sizeof(char16_t);
constexpr DWORD PHASE_LIMIT_MS = 60000;
const wchar_t PAD_PREFIX[] = L"QUILL_BENCH_PAD_";

using host::hooks::Api;

// The snapshot as a caller without the library writes it. Not inlined: the
// import hooks patch the program's import table, and a call inlined into a
// function that ran before the patch could reuse the old address.
__attribute__((noinline)) jstring snapshotByHand(JNIEnv *env) {
    WCHAR *block = GetEnvironmentStringsW();
    const WCHAR *end = block;
    while (*end != 0) {
        end += wcslen(end) + 1;
    }
    jstring snapshot =
        env->NewString(reinterpret_cast<const jchar *>(block), static_cast<jsize>(end - block));
    FreeEnvironmentStringsW(block);
    return snapshot;
}

struct Case {
    const char *name;
    int callsPerBatch;
    std::u16string suppliedBlock;  // empty: the process's own block
};

// The snapshot through the library's export, as Java calls it.
jstring snapshotByLibrary(const host::QuillsteadApi &api, host::HostVm &vm, jclass owner) {
    return api.environmentBlock(vm.env(), owner);
}

// One batch of calls of one side, timed, on a VM of its own. The stand-in
// VM keeps every string it ever made until it ends, so a long-lived VM would
// make each call touch fresh memory and the later of two batches pay for a
// larger heap; a VM per batch hands both sides the same recycled memory.
int64_t timeBatch(const host::QuillsteadApi &api, int calls, bool library) {
    host::HostVm vm;
    jclass owner = vm.classObject(ENVIRONMENT_CLASS);
    const int64_t start = ticks();
    for (int call = 0; call < calls; ++call) {
        if (library) {
            snapshotByLibrary(api, vm, owner);
        } else {
            snapshotByHand(vm.env());
        }
    }
    return ticks() - start;
}

// Before anything is timed, both sides must hand back the same text, or
// the comparison would be between different work.
bool sidesAgree(const host::QuillsteadApi &api, size_t *units) {
    host::HostVm vm;
    jclass owner = vm.classObject(ENVIRONMENT_CLASS);
    const std::u16string library = vm.stringUnits(snapshotByLibrary(api, vm, owner));
    *units = library.size();
    return library == vm.stringUnits(snapshotByHand(vm.env())) && vm.violations().empty();
}

void measureCase(Context &context, const Case &test, Report &report) {
    const host::QuillsteadApi &api = context.library.api();
    if (!test.suppliedBlock.empty()) {
        host::hooks::supplyEnvironment(test.suppliedBlock);
    }
    size_t units = 0;
    const bool agree = sidesAgree(api, &units);
    report.check(std::string(test.name) + ": both sides agree", agree,
                 std::to_string(units) + " units");
    std::vector<double> ratios, library, hand;
    const double callsPerRound = static_cast<double>(test.callsPerBatch) * BATCHES_PER_ROUND;
    for (int round = 0; round < ROUNDS; ++round) {
        int64_t libraryTicks = 0;
        int64_t handTicks = 0;
        for (int batch = 0; batch < BATCHES_PER_ROUND; ++batch) {
            // Alternate which side goes first.
            const bool libraryFirst = (round + batch) % 2 == 0;
            const int64_t first = timeBatch(api, test.callsPerBatch, libraryFirst);
            const int64_t second = timeBatch(api, test.callsPerBatch, !libraryFirst);
            libraryTicks += libraryFirst ? first : second;
            handTicks += libraryFirst ? second : first;
        }
        ratios.push_back(static_cast<double>(libraryTicks) / static_cast<double>(handTicks));
        library.push_back(ticksToMicroseconds(libraryTicks) / callsPerRound);
        hand.push_back(ticksToMicroseconds(handTicks) / callsPerRound);
        if (!test.suppliedBlock.empty()) {
            // The hooks' call log grows with every call; start it afresh.
            host::hooks::reset();
            host::hooks::supplyEnvironment(test.suppliedBlock);
        }
    }
    report.add({std::string("environment snapshot A/B, ") + test.name, "x", summarise(ratios),
                atMost(SNAPSHOT_GOAL), 3});
    report.add({"  A: environmentBlock per call", "us", summarise(library), NO_GOAL, 2});
    report.add({"  B: the same by hand per call", "us", summarise(hand), NO_GOAL, 2});
}

// A block of exactly totalUnits units, closing NUL included, of entries
// shaped like a long tool environment's.
std::u16string largeBlock(size_t totalUnits) {
    std::u16string block = u"=C:=C:\\ci\\workspace";
    block += u'\0';
    for (int entry = 0;; ++entry) {
        const size_t room = totalUnits - 1 - block.size();
        if (room == 0) {
            break;
        }
        std::u16string name = toUtf16(PAD_PREFIX + std::to_wstring(1000 + entry)) + u"=";
        const size_t left = room - name.size() - 1;
        const size_t value = left <= 300 ? left : 150;
        block += name + std::u16string(value, u'v');
        block += u'\0';
    }
    block += u'\0';
    return block;
}

size_t ownBlockUnits() {
    WCHAR *block = GetEnvironmentStringsW();
    const WCHAR *end = block;
    while (*end != 0) {
        end += wcslen(end) + 1;
    }
    FreeEnvironmentStringsW(block);
    return static_cast<size_t>(end - block) + 1;
}

// Grows the process's real environment to at least totalUnits with padding
// variables; returns their names so they can be taken out again.
std::vector<std::wstring> growEnvironment(size_t totalUnits) {
    std::vector<std::wstring> names;
    const std::wstring value(150, L'v');
    while (ownBlockUnits() < totalUnits) {
        names.push_back(PAD_PREFIX + std::to_wstring(1000 + names.size()));
        SetEnvironmentVariableW(names.back().c_str(), value.c_str());
    }
    return names;
}

void runSuppliedCase(Context &context, Report &report) {
    const std::vector<Api> only = {Api::GET_ENVIRONMENT_STRINGS, Api::FREE_ENVIRONMENT_STRINGS};
    const bool library = host::hooks::install(context.library.module(), only).size() == 2;
    const bool program = host::hooks::install(GetModuleHandleW(NULL), only).size() == 2;
    if (library && program) {
        measureCase(context, {"32 KiB hooked", 10, largeBlock(LARGE_BLOCK_UNITS)}, report);
    } else {
        report.check("environment calls hooked on both sides", false, "an import was not found");
    }
    host::hooks::uninstall();
}

void runGrownCase(Context &context, Report &report) {
    const std::vector<std::wstring> names = growEnvironment(LARGE_BLOCK_UNITS);
    measureCase(context, {"real grown to 32 KiB", 10, {}}, report);
    for (const std::wstring &name : names) {
        SetEnvironmentVariableW(name.c_str(), NULL);
    }
}

}  // namespace

void runEnvironmentSnapshot(Context &context, Report &report) {
    say("\n[3] Environment snapshot\n");
    host::Watchdog watchdog("the environment benchmark", PHASE_LIMIT_MS);
    measureCase(context, {"real block", 30, {}}, report);
    runSuppliedCase(context, report);
    runGrownCase(context, report);
}

}  // namespace bench
