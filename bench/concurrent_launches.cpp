// Benchmark 4: launches per second from 1, 2, 4 and 8 threads at once, each
// launch with three pipes whose output is read to end-of-file. The Java
// declaration of create is static synchronized, so here too one lock admits
// one create at a time, while the threads wait, read and close in parallel.
// Afterwards the process must hold exactly the handles it held before.
#include <memory>
#include <vector>

#include "bench.h"
#include "clock.h"
#include "handle_count.h"
#include "host_vm.h"
#include "jvm_control.h"
#include "watchdog.h"

namespace bench {

namespace {

constexpr int LEVELS[] = {1, 2, 4, 8};
constexpr int ROUNDS = 3;
constexpr int LAUNCHES_PER_ROUND = 24;  // divisible by every level
constexpr int WARM_UP_THREADS = 8;
constexpr DWORD PHASE_LIMIT_MS = 120000;
// What the child writes to each of its two output streams.
const char EXPECTED_OUTPUT[] = "quill\n";

struct Shared {
    const host::QuillsteadApi *api;
    std::u16string commandLine;
    CRITICAL_SECTION createLock;  // the monitor of the Java class
    HANDLE start;                 // set when every worker is ready
    HANDLE ready;                 // released once by each worker
};

struct Tally {
    int children = 0;
    int endsOfFile = 0;
    int failures = 0;
    std::string firstFailure;

    void fail(const std::string &what) {
        if (failures++ == 0) {
            firstFailure = what;
        }
    }

    void add(const Tally &other) {
        children += other.children;
        endsOfFile += other.endsOfFile;
        if (other.failures != 0) {
            fail(other.firstFailure);
            failures += other.failures - 1;
        }
    }
};

struct Worker {
    Shared *shared;
    int launches;
    Tally tally;
};

// End-of-file on an anonymous pipe is a read that fails with a broken pipe
// (every write end closed) or one that returns nothing.
bool readToEnd(HANDLE pipe, std::string *text) {
    char buffer[256];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer, &got, NULL)) {
            return GetLastError() == ERROR_BROKEN_PIPE;
        }
        if (got == 0) {
            return true;
        }
        text->append(buffer, got);
    }
}

jlong createSerialised(Shared &shared, host::HostVm &vm, jclass processClass, jstring line,
                       jlongArray slots) {
    EnterCriticalSection(&shared.createLock);
    const jlong process =
        shared.api->create(vm.env(), processClass, line, nullptr, nullptr, slots, JNI_FALSE);
    LeaveCriticalSection(&shared.createLock);
    return process;
}

void launchOne(Worker &worker, host::HostVm &vm, jclass processClass, jstring line) {
    const host::QuillsteadApi &api = *worker.shared->api;
    JNIEnv *env = vm.env();
    jlongArray slots = vm.newLongArray({NO_HANDLE, NO_HANDLE, NO_HANDLE});
    const jlong process = createSerialised(*worker.shared, vm, processClass, line, slots);
    if (process == 0 || vm.exceptionPending()) {
        worker.tally.fail("create: " + vm.exceptionMessage());
        vm.clearException();
        return;
    }
    ++worker.tally.children;
    const std::vector<jlong> ends = vm.longArrayElements(slots);
    // Nothing to send: the child's input ends at once.
    api.closeHandle(env, processClass, ends[0]);
    std::string output, error;
    worker.tally.endsOfFile += readToEnd(handleFromJava(ends[1]), &output) ? 1 : 0;
    worker.tally.endsOfFile += readToEnd(handleFromJava(ends[2]), &error) ? 1 : 0;
    api.waitForInterruptibly(env, processClass, process);
    const jint exitCode = api.getExitCodeProcess(env, processClass, process);
    api.closeHandle(env, processClass, process);
    api.closeHandle(env, processClass, ends[1]);
    api.closeHandle(env, processClass, ends[2]);
    if (output != EXPECTED_OUTPUT || error != EXPECTED_OUTPUT || exitCode != 0) {
        worker.tally.fail("child wrote [" + output + "] and [" + error + "], exit code " +
                          std::to_string(exitCode));
    }
}

DWORD WINAPI workerMain(void *parameter) {
    Worker &worker = *static_cast<Worker *>(parameter);
    // One VM per thread, as one JNIEnv per Java thread.
    host::HostVm vm;
    jclass processClass = vm.classObject(PROCESS_CLASS);
    jstring line = vm.newString(worker.shared->commandLine);
    ReleaseSemaphore(worker.shared->ready, 1, NULL);
    WaitForSingleObject(worker.shared->start, INFINITE);
    for (int launch = 0; launch < worker.launches; ++launch) {
        launchOne(worker, vm, processClass, line);
    }
    return 0;
}

// One round: threads started and ready first, then the clock runs from the
// start signal until the last thread has finished. Returns launches/s.
double runRound(Shared &shared, int threads, int launches, Tally *tally) {
    std::vector<Worker> workers(threads, Worker{&shared, launches / threads, Tally()});
    std::vector<HANDLE> handles;
    ResetEvent(shared.start);
    for (Worker &worker : workers) {
        handles.push_back(CreateThread(NULL, 0, &workerMain, &worker, 0, NULL));
    }
    for (int i = 0; i < threads; ++i) {
        WaitForSingleObject(shared.ready, INFINITE);
    }
    const int64_t start = ticks();
    SetEvent(shared.start);
    WaitForMultipleObjects(static_cast<DWORD>(threads), handles.data(), TRUE, INFINITE);
    const int64_t elapsed = ticks() - start;
    for (size_t i = 0; i < workers.size(); ++i) {
        CloseHandle(handles[i]);
        tally->add(workers[i].tally);
    }
    return launches / ticksToSeconds(elapsed);
}

// The stand-in VM's per-thread interrupt events are handles too; a VM
// keeps them for its threads' lifetimes, so they are dropped before
// counting.
HandleCount settledHandleCount() {
    jvmStubReset();
    return processHandleCount();
}

std::string levelName(int threads) {
    return "concurrent launches, " + std::to_string(threads) +
           (threads == 1 ? " thread" : " threads");
}

}  // namespace

void runConcurrentLaunches(Context &context, Report &report) {
    say("\n[4] Concurrent launches (create serialised, three pipes each)\n");
    host::Watchdog watchdog("the concurrent launch benchmark", PHASE_LIMIT_MS);
    Shared shared;
    shared.api = &context.library.api();
    shared.commandLine = toUtf16(childCommandLine(context, L"out quill err quill"));
    InitializeCriticalSection(&shared.createLock);
    shared.start = CreateEventW(NULL, TRUE, FALSE, NULL);
    shared.ready = CreateSemaphoreW(NULL, 0, WARM_UP_THREADS, NULL);

    Tally warmUp;
    runRound(shared, WARM_UP_THREADS, WARM_UP_THREADS, &warmUp);
    const HandleCount before = settledHandleCount();
    Tally tally;
    double oneThread = 0.0;
    for (int threads : LEVELS) {
        std::vector<double> rates;
        for (int round = 0; round < ROUNDS; ++round) {
            rates.push_back(runRound(shared, threads, LAUNCHES_PER_ROUND, &tally));
        }
        const Summary summary = summarise(rates);
        oneThread = threads == 1 ? summary.median : oneThread;
        report.add({levelName(threads), "launch/s", summary, NO_GOAL, 1});
        say("    %.2f x the rate of one thread; handles now %ld\n", summary.median / oneThread,
            settledHandleCount().count);
    }
    const HandleCount after = settledHandleCount();

    CloseHandle(shared.ready);
    CloseHandle(shared.start);
    DeleteCriticalSection(&shared.createLock);

    const int expected =
        static_cast<int>(sizeof LEVELS / sizeof LEVELS[0]) * ROUNDS * LAUNCHES_PER_ROUND;
    report.check("no handle left open", before.count >= 0 && before.count == after.count,
                 "before " + std::to_string(before.count) + ", after " +
                     std::to_string(after.count) + ", from " + after.source);
    report.check("every child's end-of-file arrived",
                 tally.children == expected && tally.endsOfFile == 2 * expected,
                 std::to_string(tally.endsOfFile) + " of " + std::to_string(2 * expected) +
                     " (stdout and stderr of " + std::to_string(expected) + " children)");
    report.check("every child's output and exit code", tally.failures == 0 && warmUp.failures == 0,
                 tally.failures == 0 ? "as expected" : tally.firstFailure);
}

}  // namespace bench
