// Benchmark 1: what a launch through create costs against the same Windows
// calls written by hand, child and all; then the same sequence with process
// creation faked on both sides, which leaves the library's own work visible
// beside the pipe calls instead of buried under a process start.
#include <algorithm>
#include <vector>

#include "bench.h"
#include "clock.h"
#include "create_jni_traffic.h"
#include "hand_launch.h"
#include "import_hooks.h"
#include "library_launch.h"
#include "watchdog.h"

namespace bench {

namespace {

constexpr int WARM_UP_PAIRS = 5;
constexpr int PAIRS = 250;
constexpr int FAKE_PAIRS = 1000;
// A fresh stand-in VM (and hook log) every so many pairs, outside the clock.
constexpr int PAIRS_PER_ROUND = 50;
constexpr double LAUNCH_GOAL = 1.02;
constexpr DWORD PHASE_LIMIT_MS = 150000;

// What both sides launch: the same child, in the same directory. The
// library gets the directory as a Java caller might write it, with forward
// slashes and a trailing one; the hand-written side gets the canonical form
// the library turns it into.
struct LaunchInputs {
    std::wstring commandLine;
    std::wstring givenDirectory;
    std::wstring canonicalDirectory;
};

LaunchInputs launchInputs(const Context &context) {
    LaunchInputs inputs;
    inputs.commandLine = childCommandLine(context, L"exit 0");
    inputs.canonicalDirectory = context.programDirectory;
    inputs.canonicalDirectory.pop_back();
    inputs.givenDirectory = context.programDirectory;
    std::replace(inputs.givenDirectory.begin(), inputs.givenDirectory.end(), L'\\', L'/');
    return inputs;
}

struct Samples {
    std::vector<double> library;  // microseconds
    std::vector<double> hand;
    std::vector<double> ratios;       // library / hand, per pair
    std::vector<double> differences;  // library - hand, per pair, microseconds
    int failures = 0;
    std::string firstFailure;

    void add(int64_t libraryTicks, int64_t handTicks) {
        library.push_back(ticksToMicroseconds(libraryTicks));
        hand.push_back(ticksToMicroseconds(handTicks));
        ratios.push_back(static_cast<double>(libraryTicks) / static_cast<double>(handTicks));
        differences.push_back(library.back() - hand.back());
    }

    void fail(const std::string &what) {
        if (failures++ == 0) {
            firstFailure = what;
        }
    }
};

// One full launch through the library: create to the last closeHandle.
int64_t timeLibraryLaunch(LibraryLauncher &launcher, Samples &samples) {
    jlongArray slots = launcher.newSlots();
    LibraryLaunch launch;
    jint exitCode = -1;
    const int64_t start = ticks();
    if (!launcher.start(slots, &launch)) {
        samples.fail(launcher.error());
        return -1;
    }
    const bool known = launcher.reap(launch, &exitCode);
    const int64_t elapsed = ticks() - start;
    if (!known || exitCode != 0) {
        samples.fail(known ? "library launch exited " + std::to_string(exitCode)
                           : launcher.error());
        return -1;
    }
    return elapsed;
}

int64_t timeHandLaunch(const LaunchInputs &inputs, Samples &samples) {
    // A hand-written caller has its writable command line ready beforehand.
    std::wstring commandLine = inputs.commandLine;
    HandLaunch launch;
    DWORD exitCode = 1;
    const int64_t start = ticks();
    if (!startByHand(&commandLine[0], inputs.canonicalDirectory.c_str(), &launch)) {
        samples.fail("hand launch failed, error " + std::to_string(GetLastError()));
        return -1;
    }
    const bool known = reapByHand(launch, &exitCode);
    const int64_t elapsed = ticks() - start;
    if (!known || exitCode != 0) {
        samples.fail("hand launch exited " + std::to_string(exitCode));
        return -1;
    }
    return elapsed;
}

// create and closeHandle only: with process creation faked there is no
// child to wait for.
int64_t timeLibraryStart(LibraryLauncher &launcher, Samples &samples) {
    jlongArray slots = launcher.newSlots();
    LibraryLaunch launch;
    const int64_t start = ticks();
    if (!launcher.start(slots, &launch)) {
        samples.fail(launcher.error());
        return -1;
    }
    launcher.close(launch);
    return ticks() - start;
}

int64_t timeHandStart(const LaunchInputs &inputs, Samples &samples) {
    std::wstring commandLine = inputs.commandLine;
    HandLaunch launch;
    const int64_t start = ticks();
    if (!startByHand(&commandLine[0], inputs.canonicalDirectory.c_str(), &launch)) {
        samples.fail("hand start failed, error " + std::to_string(GetLastError()));
        return -1;
    }
    closeByHand(launch);
    return ticks() - start;
}

// Pairs alternate which side goes first, so that neither always launches
// into a wineserver the other has just warmed or left busy.
template <class Library, class Hand, class NewRound>
Samples runPairs(int pairs, Library library, Hand hand, NewRound newRound) {
    Samples samples;
    for (int pair = 0; pair < pairs && samples.failures == 0; ++pair) {
        if (pair % PAIRS_PER_ROUND == 0) {
            newRound();
        }
        int64_t a = -1;
        int64_t b = -1;
        if (pair % 2 == 0) {
            a = library(samples);
            b = hand(samples);
        } else {
            b = hand(samples);
            a = library(samples);
        }
        if (a > 0 && b > 0) {
            samples.add(a, b);
        }
    }
    return samples;
}

std::vector<double> milliseconds(const std::vector<double> &microseconds) {
    std::vector<double> result;
    for (double value : microseconds) {
        result.push_back(value / 1000.0);
    }
    return result;
}

void reportLaunches(const Samples &samples, Report &report) {
    report.add({"launch overhead A/B (library / by hand)", "x", summarise(samples.ratios),
                atMost(LAUNCH_GOAL), 3});
    report.add({"  A: create+wait+exit code+4 closes", "ms",
                summarise(milliseconds(samples.library)), NO_GOAL, 2});
    report.add(
        {"  B: the same calls by hand", "ms", summarise(milliseconds(samples.hand)), NO_GOAL, 2});
    report.add(
        {"  A - B per pair", "ms", summarise(milliseconds(samples.differences)), NO_GOAL, 2});
    const double ofMedians = summarise(samples.library).median / summarise(samples.hand).median;
    say("  ratio of the two medians: %.3f\n", ofMedians);
}

void runWithChild(Context &context, const LaunchInputs &inputs, Report &report) {
    LibraryLauncher launcher(context.library.api(), toUtf16(inputs.commandLine),
                             toUtf16(inputs.givenDirectory));
    auto library = [&](Samples &s) { return timeLibraryLaunch(launcher, s); };
    auto hand = [&](Samples &s) { return timeHandLaunch(inputs, s); };
    auto newRound = [&] { launcher.renewVm(); };
    runPairs(WARM_UP_PAIRS, library, hand, newRound);
    say("  %d interleaved pairs of quill_child.exe exit 0 ...\n", PAIRS);
    const Samples samples = runPairs(PAIRS, library, hand, newRound);
    report.check(
        "every launch ran and exited 0", samples.failures == 0,
        samples.failures == 0 ? std::to_string(2 * PAIRS) + " launches" : samples.firstFailure);
    if (samples.failures == 0) {
        reportLaunches(samples, report);
    }
}

bool hookCreateProcess(const Context &context) {
    using host::hooks::Api;
    const std::vector<Api> only = {Api::CREATE_PROCESS};
    const bool library = !host::hooks::install(context.library.module(), only).empty();
    const bool program = !host::hooks::install(GetModuleHandleW(NULL), only).empty();
    return library && program;
}

void runWithoutChild(Context &context, const LaunchInputs &inputs, Report &report) {
    if (!hookCreateProcess(context)) {
        host::hooks::uninstall();
        report.check("CreateProcessW hooked on both sides", false, "an import was not found");
        return;
    }
    LibraryLauncher launcher(context.library.api(), toUtf16(inputs.commandLine),
                             toUtf16(inputs.givenDirectory));
    auto library = [&](Samples &s) { return timeLibraryStart(launcher, s); };
    auto hand = [&](Samples &s) { return timeHandStart(inputs, s); };
    auto newRound = [&] {
        host::hooks::reset();
        host::hooks::fakeCreateProcess(true);
        launcher.renewVm();
    };
    say("  %d interleaved pairs with CreateProcessW faked on both sides ...\n", FAKE_PAIRS);
    const Samples samples = runPairs(FAKE_PAIRS, library, hand, newRound);
    host::hooks::uninstall();
    if (samples.failures != 0) {
        report.check("launches without a child", false, samples.firstFailure);
        return;
    }
    report.add(
        {"launch without the child, A/B (diagnostic)", "x", summarise(samples.ratios), NO_GOAL, 3});
    report.add({"  A: create + 4 closes, CreateProcessW faked", "us", summarise(samples.library),
                NO_GOAL, 1});
    report.add({"  B: the same calls by hand", "us", summarise(samples.hand), NO_GOAL, 1});
    report.add({"  library's own cost per launch (A - B)", "us", summarise(samples.differences),
                NO_GOAL, 1});
    report.add({"  of which the stand-in VM's JNI calls", "us",
                timeCreateJniTraffic(toUtf16(inputs.commandLine), toUtf16(inputs.givenDirectory)),
                NO_GOAL, 1});
}

}  // namespace

void runLaunchOverhead(Context &context, Report &report) {
    say("\n[1] Launch overhead\n");
    host::Watchdog watchdog("the launch benchmark", PHASE_LIMIT_MS);
    const LaunchInputs inputs = launchInputs(context);
    runWithChild(context, inputs, report);
    runWithoutChild(context, inputs, report);
}

}  // namespace bench
