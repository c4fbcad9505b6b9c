// quill_bench: the library's cost beside the operating system's, measured in
// one run. With no arguments it runs every benchmark; arguments pick some of
// them by name (launch, concurrent, directory, environment). The exit code
// is 0 when every correctness check passed, whether or not the speed goals
// were met: goals are reported, never enforced.
#include <stdio.h>
#include <string.h>

#include <string>

#include "bench.h"
#include "clock.h"
#include "machine.h"
#include "report.h"

namespace bench {

std::wstring childCommandLine(const Context &context, const std::wstring &commands) {
    return L"\"" + context.programDirectory + L"quill_child.exe\" " + commands;
}

}  // namespace bench

namespace {

constexpr int CHECK_FAILED_EXIT_CODE = 1;
constexpr int SETUP_FAILED_EXIT_CODE = 2;

bool selected(int argc, char **argv, const char *name) {
    if (argc < 2) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], name) == 0) {
            return true;
        }
    }
    return false;
}

bool childPresent(const bench::Context &context) {
    const std::wstring path = context.programDirectory + L"quill_child.exe";
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main(int argc, char **argv) {
    using namespace bench;
    const int64_t start = ticks();
    say("Quillstead benchmarks\nmachine: %s\n", describeMachine().c_str());
    say("JNI: the host's strict stand-in VM (host::HostVm), not a real Java VM\n");

    Context context;
    if (!context.library.load()) {
        fprintf(stderr, "quill_bench: %s\n", context.library.error().c_str());
        return SETUP_FAILED_EXIT_CODE;
    }
    context.programDirectory = host::programDirectory();
    if (!childPresent(context)) {
        fprintf(stderr, "quill_bench: quill_child.exe is not beside the program\n");
        return SETUP_FAILED_EXIT_CODE;
    }

    Report report;
    if (selected(argc, argv, "launch")) {
        runLaunchOverhead(context, report);
    }
    if (selected(argc, argv, "directory")) {
        runDirectoryNormalisation(report);
    }
    if (selected(argc, argv, "environment")) {
        runEnvironmentSnapshot(context, report);
    }
    if (selected(argc, argv, "concurrent")) {
        runConcurrentLaunches(context, report);
    }
    report.printSummary();
    say("\nwhole run: %.1f s\n", ticksToSeconds(ticks() - start));
    return report.checksPassed() ? 0 : CHECK_FAILED_EXIT_CODE;
}
