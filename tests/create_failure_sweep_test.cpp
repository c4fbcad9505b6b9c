// Every point at which create can fail, failed in turn: each fallible JNI
// operation, each malloc, each CreatePipe and CreateProcessW. Whatever fails,
// Java must see an exception and result 0, and the library must give back
// everything it took: every borrowed buffer once, every handle it made, every
// heap block. The points are counted in a clean run first, so a new one is
// swept as soon as the library gains it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import_hooks.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using host::hooks::Api;
using testsupport::CreateArguments;
using testsupport::CreateCall;

// The kinds of failure point, and the exception each must leave pending.
enum class Kind { JNI, MALLOC, CREATE_PIPE, CREATE_PROCESS };

const char *kindName(Kind kind) {
    switch (kind) {
        case Kind::JNI:
            return "JNI operation";
        case Kind::MALLOC:
            return "malloc";
        case Kind::CREATE_PIPE:
            return "CreatePipe";
        case Kind::CREATE_PROCESS:
            return "CreateProcessW";
    }
    return "?";
}

struct Point {
    Kind kind;
    int nth;  // which call of that kind fails, from 1
};

struct SweepConfig {
    const char *name;
    bool callerHandles;  // all three slots hold the test's handles
    bool merge;
    size_t points;  // expected count: a change here is a change in create
};

class FailureSweep : public testsupport::HookedLibraryTest,
                     public ::testing::WithParamInterface<SweepConfig> {
protected:
    // Every argument given, so that every copy and borrow is made.
    CreateArguments arguments() const {
        CreateArguments arguments;
        arguments.commandLine = u"child.exe out x";
        arguments.envBlock = u"A=1\0B=2\0\0"s;
        arguments.directory = u"C:/work/"s;
        if (GetParam().callerHandles) {
            arguments.slots = {testsupport::toJava(callers_[0]), testsupport::toJava(callers_[1]),
                               testsupport::toJava(callers_[2])};
        }
        arguments.mergeStderr = GetParam().merge;
        return arguments;
    }

    // A fresh start for one run: hooks forget everything, and the process
    // stays fake so that no child is ever started.
    static void freshHooks() {
        host::hooks::reset();
        host::hooks::fakeCreateProcess(true);
    }

    // Runs create without faults and lists every point it passed.
    std::vector<Point> countPoints() {
        freshHooks();
        host::HostVm cleanVm;
        const CreateCall call = testsupport::callCreate(api(), cleanVm, arguments());
        EXPECT_NE(call.process, 0) << "the clean run failed: " << cleanVm.exceptionMessage();
        std::vector<Point> points;
        for (int k = 1; k <= cleanVm.fallibleCalls(); ++k) {
            points.push_back({Kind::JNI, k});
        }
        const std::pair<Api, Kind> hooked[] = {{Api::MALLOC, Kind::MALLOC},
                                               {Api::CREATE_PIPE, Kind::CREATE_PIPE},
                                               {Api::CREATE_PROCESS, Kind::CREATE_PROCESS}};
        for (const auto &[api, kind] : hooked) {
            const int count = static_cast<int>(host::hooks::calls(api).size());
            for (int k = 1; k <= count; ++k) {
                points.push_back({kind, k});
            }
        }
        testsupport::closeHandedOut(this->api(), cleanVm.env(), call);
        return points;
    }

    void arm(host::HostVm &runVm, const Point &point) {
        switch (point.kind) {
            case Kind::JNI:
                runVm.failNthFallible(point.nth);
                break;
            case Kind::MALLOC:
                host::hooks::failNth(Api::MALLOC, point.nth, ERROR_NOT_ENOUGH_MEMORY);
                break;
            case Kind::CREATE_PIPE:
                host::hooks::failNth(Api::CREATE_PIPE, point.nth, ERROR_NO_SYSTEM_RESOURCES);
                break;
            case Kind::CREATE_PROCESS:
                host::hooks::failNth(Api::CREATE_PROCESS, point.nth, ERROR_FILE_NOT_FOUND);
                break;
        }
    }

    static bool hookFaulted() {
        for (const host::hooks::Call &call : host::hooks::log()) {
            if (call.faulted) {
                return true;
            }
        }
        return false;
    }

    static void expectException(const host::HostVm &runVm, Kind kind) {
        const std::string message = runVm.exceptionMessage();
        switch (kind) {
            case Kind::JNI:
                EXPECT_EQ(runVm.exceptionClass(), "java/lang/OutOfMemoryError");
                EXPECT_EQ(message.rfind("host VM fault injected", 0), 0u)
                    << "the VM's own error must stay the report: " << message;
                break;
            case Kind::MALLOC:
                EXPECT_EQ(runVm.exceptionClass(), "java/lang/OutOfMemoryError");
                break;
            case Kind::CREATE_PIPE:
                EXPECT_EQ(runVm.exceptionClass(), "java/io/IOException");
                EXPECT_EQ(message.rfind("CreatePipe error=1450", 0), 0u) << message;
                break;
            case Kind::CREATE_PROCESS:
                EXPECT_EQ(runVm.exceptionClass(), "java/io/IOException");
                EXPECT_EQ(message.rfind("CreateProcess error=2", 0), 0u) << message;
                break;
        }
    }

    testsupport::CallerHandles callers_;
};

TEST_P(FailureSweep, EveryPointUnwindsCompletely) {
    const std::vector<Point> points = countPoints();
    ASSERT_EQ(points.size(), GetParam().points) << "failure points of a clean run";

    for (const Point &point : points) {
        SCOPED_TRACE(std::string(kindName(point.kind)) + " call " + std::to_string(point.nth) +
                     " fails");
        freshHooks();
        host::HostVm runVm;
        arm(runVm, point);

        const CreateCall call = testsupport::callCreate(api(), runVm, arguments());

        ASSERT_TRUE(point.kind == Kind::JNI ? runVm.faultsInjected() == 1 : hookFaulted())
            << "the fault never fired";
        EXPECT_EQ(call.process, 0);
        ASSERT_TRUE(runVm.exceptionPending());
        expectException(runVm, point.kind);
        for (const host::Borrow &borrow : runVm.borrows()) {
            EXPECT_TRUE(borrow.released);
            EXPECT_EQ(borrow.releaseCalls, 1);
        }
        for (const std::string &violation : runVm.violations()) {
            ADD_FAILURE() << "JNI rule broken: " << violation;
        }
        for (const host::hooks::CreatedHandle &handle : host::hooks::unclosedHandles()) {
            ADD_FAILURE() << "left open: " << handle.role << " " << handle.handle;
        }
        EXPECT_TRUE(host::hooks::liveBlocks().empty()) << "heap blocks not freed";
        EXPECT_TRUE(host::hooks::unknownFrees().empty());
        for (HANDLE caller : callers_) {
            EXPECT_TRUE(testsupport::isOpenHandle(caller)) << "a caller's handle was closed";
        }
    }
}

// Points: four JNI borrows (command line, directory, environment block,
// slots), three heap copies, the pipes, and the process itself.
INSTANTIATE_TEST_SUITE_P(
    Configurations, FailureSweep,
    ::testing::Values(SweepConfig{"three_pipes", false, false, 4 + 3 + 3 + 1},
                      SweepConfig{"merged_two_pipes", false, true, 4 + 3 + 2 + 1},
                      SweepConfig{"caller_handles", true, false, 4 + 3 + 0 + 1}),
    [](const ::testing::TestParamInfo<SweepConfig> &info) { return std::string(info.param.name); });

}  // namespace
