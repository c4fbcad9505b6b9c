// How create fails: arguments it refuses, a pipe that cannot be made, a
// program that does not exist, a heap that refuses. In each case what Java
// sees (the exception, result 0, the slots written back) and what the library
// gives back (every copy, borrowed buffer and pipe end, in the fixed order).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import_hooks.h"
#include "jvm_control.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using host::hooks::Api;
using testsupport::CreateArguments;
using testsupport::CreateCall;
using testsupport::NO_HANDLE;
using testsupport::toJava;

constexpr DWORD NO_RESOURCES = ERROR_NO_SYSTEM_RESOURCES;  // 1450

class CreateFailures : public testsupport::HookedLibraryTest {
protected:
    // Nothing the call took is left: no heap block, no handle it made, no
    // JNI buffer, and no process was started.
    void expectEverythingReleased() {
        EXPECT_TRUE(host::hooks::liveBlocks().empty()) << "heap copies not freed";
        EXPECT_TRUE(host::hooks::unknownFrees().empty());
        for (const host::hooks::CreatedHandle &handle : host::hooks::unclosedHandles()) {
            ADD_FAILURE() << "left open: " << handle.role << " " << handle.handle;
        }
        for (const host::Borrow &borrow : vm.borrows()) {
            EXPECT_TRUE(borrow.released && borrow.releaseCalls == 1);
        }
    }

    static std::vector<uintptr_t> closedHandles() {
        std::vector<uintptr_t> closed;
        for (const host::hooks::Call &call : host::hooks::calls(Api::CLOSE_HANDLE)) {
            closed.push_back(call.args[0]);
        }
        return closed;
    }
};

// --- Arguments outside the contract: refused before anything is taken ---

struct RefusedCase {
    const char *name;
    bool nullCommandLine;
    bool nullSlots;
    size_t slotCount;
    const char *exceptionClass;
    const char *message;  // nullptr: any
};

class RefusedArguments : public CreateFailures,
                         public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedArguments, RaiseWithoutTakingAnything) {
    const RefusedCase &c = GetParam();
    const std::vector<jlong> slots(c.slotCount, NO_HANDLE);
    jstring commandLine = c.nullCommandLine ? nullptr : vm.newString(u"child.exe");
    jlongArray slotArray = c.nullSlots ? nullptr : vm.newLongArray(slots);

    const jlong process = api().create(env(), nullptr, commandLine, vm.newString(u"A=1\0\0"s),
                                       vm.newString(u"C:\\"), slotArray, JNI_FALSE);

    EXPECT_EQ(process, 0);
    EXPECT_EQ(vm.exceptionClass(), c.exceptionClass);
    if (c.message != nullptr) {
        EXPECT_EQ(vm.exceptionMessage(), c.message);
    }
    EXPECT_TRUE(host::hooks::log().empty()) << "a Windows or heap call was made";
    EXPECT_EQ(vm.calls(host::JniOp::GET_STRING_CHARS), 0);
    EXPECT_EQ(vm.calls(host::JniOp::GET_LONG_ARRAY_ELEMENTS), 0);
    if (slotArray != nullptr) {
        EXPECT_EQ(vm.longArrayElements(slotArray), slots);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedArguments,
    ::testing::Values(
        RefusedCase{"null_command_line", true, false, 3, "java/lang/NullPointerException",
                    "commandLine must not be null"},
        RefusedCase{"null_slots", false, true, 0, "java/lang/NullPointerException",
                    "stdHandleSlots must not be null"},
        RefusedCase{"two_slots", false, false, 2, "java/lang/IllegalArgumentException", nullptr},
        RefusedCase{"no_slots", false, false, 0, "java/lang/IllegalArgumentException", nullptr}),
    [](const ::testing::TestParamInfo<RefusedCase> &info) { return std::string(info.param.name); });

// --- A pipe that cannot be made ---

// Slot values and closed handles of a case, resolved against the run.
enum class V {
    NONE,
    IN_WRITE,
    IN_READ,
    OUT_READ,
    OUT_WRITE,
    ERR_READ,
    ERR_WRITE,
    CALLER0,
    CALLER1,
    CALLER2
};

struct PipeFailureCase {
    const char *name;
    std::vector<V> slotsIn;
    bool merge;
    int failingPipe;  // which CreatePipe call fails, from 1
    int failingStream;
    std::vector<V> slotsOut;
    std::vector<V> closes;  // CloseHandle calls, in order
};

class PipeFailures : public CreateFailures, public ::testing::WithParamInterface<PipeFailureCase> {
protected:
    void SetUp() override {
        CreateFailures::SetUp();
        host::hooks::fakeCreateProcess(true);
    }

    uintptr_t resolve(V value, const testsupport::PipeEnds &ends) const {
        switch (value) {
            case V::NONE:
                return static_cast<uintptr_t>(-1);
            case V::IN_WRITE:
                return reinterpret_cast<uintptr_t>(ends.write[0]);
            case V::IN_READ:
                return reinterpret_cast<uintptr_t>(ends.read[0]);
            case V::OUT_READ:
                return reinterpret_cast<uintptr_t>(ends.read[1]);
            case V::OUT_WRITE:
                return reinterpret_cast<uintptr_t>(ends.write[1]);
            case V::ERR_READ:
                return reinterpret_cast<uintptr_t>(ends.read[2]);
            case V::ERR_WRITE:
                return reinterpret_cast<uintptr_t>(ends.write[2]);
            default:
                return reinterpret_cast<uintptr_t>(
                    callers_[static_cast<int>(value) - static_cast<int>(V::CALLER0)]);
        }
    }

    jlong slotValue(V value, const testsupport::PipeEnds &ends) const {
        return value == V::NONE ? NO_HANDLE : static_cast<jlong>(resolve(value, ends));
    }

    testsupport::CallerHandles callers_;
};

TEST_P(PipeFailures, EndTheLaunchAndCloseEarlierPipes) {
    const PipeFailureCase &c = GetParam();
    const testsupport::PipeEnds none = {};
    CreateArguments arguments;
    arguments.commandLine = u"child.exe";
    arguments.slots.clear();
    for (V value : c.slotsIn) {
        arguments.slots.push_back(slotValue(value, none));
    }
    arguments.mergeStderr = c.merge;
    host::hooks::failNth(Api::CREATE_PIPE, c.failingPipe, NO_RESOURCES);
    jvmStubAnswerText("Insufficient system resources exist.");

    const CreateCall call = create(arguments);

    EXPECT_EQ(call.process, 0);
    EXPECT_EQ(vm.exceptionClass(), "java/io/IOException");
    EXPECT_EQ(vm.exceptionMessage(), "CreatePipe error=1450, Insufficient system resources exist.");
    EXPECT_EQ(host::hooks::calls(Api::CREATE_PIPE).size(), static_cast<size_t>(c.failingPipe))
        << "no pipe after the failed one";
    EXPECT_TRUE(host::hooks::calls(Api::CREATE_PROCESS).empty());

    const testsupport::PipeEnds ends = testsupport::pipeEndsOf(arguments.slots, c.merge);
    std::vector<jlong> expectedSlots;
    for (V value : c.slotsOut) {
        expectedSlots.push_back(slotValue(value, ends));
    }
    EXPECT_EQ(call.slots, expectedSlots);
    std::vector<uintptr_t> expectedCloses;
    for (V value : c.closes) {
        expectedCloses.push_back(resolve(value, ends));
    }
    EXPECT_EQ(closedHandles(), expectedCloses);
    expectEverythingReleased();

    // Caller handles are wired, and so made inheritable, only for the
    // streams before the failed one.
    for (int slot = 0; slot < 3; ++slot) {
        if (c.slotsIn[slot] != V::NONE) {
            const bool wired = slot < c.failingStream && !(slot == 2 && c.merge);
            EXPECT_EQ(testsupport::isInheritable(testsupport::fromJava(arguments.slots[slot])),
                      wired)
                << "caller handle in slot " << slot;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PipeFailures,
    ::testing::Values(PipeFailureCase{"input_pipe",
                                      {V::NONE, V::NONE, V::NONE},
                                      false,
                                      1,
                                      0,
                                      {V::NONE, V::NONE, V::NONE},
                                      {}},
                      PipeFailureCase{"output_pipe",
                                      {V::NONE, V::NONE, V::NONE},
                                      false,
                                      2,
                                      1,
                                      {V::IN_WRITE, V::NONE, V::NONE},
                                      {V::IN_WRITE, V::IN_READ}},
                      PipeFailureCase{"error_pipe",
                                      {V::NONE, V::NONE, V::NONE},
                                      false,
                                      3,
                                      2,
                                      {V::IN_WRITE, V::OUT_READ, V::NONE},
                                      {V::IN_WRITE, V::OUT_READ, V::IN_READ, V::OUT_WRITE}},
                      PipeFailureCase{"error_pipe_after_caller_input",
                                      {V::CALLER0, V::NONE, V::NONE},
                                      false,
                                      2,
                                      2,
                                      {V::NONE, V::OUT_READ, V::NONE},
                                      {V::OUT_READ, V::OUT_WRITE}},
                      // Slots of the failed stream and after it keep the caller's values.
                      PipeFailureCase{"input_pipe_before_caller_handles",
                                      {V::NONE, V::CALLER1, V::CALLER2},
                                      false,
                                      1,
                                      0,
                                      {V::NONE, V::CALLER1, V::CALLER2},
                                      {}},
                      PipeFailureCase{"output_pipe_before_a_caller_error_handle",
                                      {V::NONE, V::NONE, V::CALLER2},
                                      false,
                                      2,
                                      1,
                                      {V::IN_WRITE, V::NONE, V::CALLER2},
                                      {V::IN_WRITE, V::IN_READ}},
                      // Merging never got its turn: slot 2 is not cleared.
                      PipeFailureCase{"output_pipe_when_merged",
                                      {V::NONE, V::NONE, V::CALLER2},
                                      true,
                                      2,
                                      1,
                                      {V::IN_WRITE, V::NONE, V::CALLER2},
                                      {V::IN_WRITE, V::IN_READ}}),
    [](const ::testing::TestParamInfo<PipeFailureCase> &info) {
        return std::string(info.param.name);
    });

// --- A program that does not exist (the real CreateProcessW) ---

struct MissingProgramCase {
    const char *name;
    const char *vmText;  // nullptr: the VM has no text
    const char *message;
};

class MissingProgram : public CreateFailures,
                       public ::testing::WithParamInterface<MissingProgramCase> {};

TEST_P(MissingProgram, RaisesAndClosesEveryPipeEnd) {
    const MissingProgramCase &c = GetParam();
    if (c.vmText != nullptr) {
        jvmStubAnswerText(c.vmText);
    } else {
        jvmStubAnswerZero();
    }
    CreateArguments arguments;
    arguments.commandLine =
        u"\"" + testsupport::units(host::programDirectory()) + u"quill_no_such_program.exe\" out x";

    const CreateCall call = create(arguments);

    EXPECT_EQ(call.process, 0);
    EXPECT_EQ(vm.exceptionClass(), "java/io/IOException");
    EXPECT_EQ(vm.exceptionMessage(), c.message);
    const auto captures = host::hooks::createProcessCaptures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_FALSE(captures[0].result);

    // The slots still name the parent's ends, which are closed now: first
    // the parent's ends, then the child's.
    const testsupport::PipeEnds ends = testsupport::pipeEndsOf(arguments.slots, false);
    EXPECT_EQ(call.slots, (std::vector<jlong>{toJava(ends.write[0]), toJava(ends.read[1]),
                                              toJava(ends.read[2])}));
    const std::vector<HANDLE> order = {ends.write[0], ends.read[1],  ends.read[2],
                                       ends.read[0],  ends.write[1], ends.write[2]};
    std::vector<uintptr_t> expectedCloses;
    for (HANDLE handle : order) {
        expectedCloses.push_back(reinterpret_cast<uintptr_t>(handle));
    }
    EXPECT_EQ(closedHandles(), expectedCloses);
    expectEverythingReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingProgram,
    ::testing::Values(MissingProgramCase{"with_vm_text", "File not found.",
                                         "CreateProcess error=2, File not found."},
                      MissingProgramCase{"without_vm_text", nullptr,
                                         "CreateProcess failed, error=2"}),
    [](const ::testing::TestParamInfo<MissingProgramCase> &info) {
        return std::string(info.param.name);
    });

// --- The heap refuses the command-line copy ---

TEST_F(CreateFailures, HeapRefusalRaisesOutOfMemoryError) {
    host::hooks::failNth(Api::MALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    CreateArguments arguments;
    arguments.commandLine = u"child.exe";

    const CreateCall call = create(arguments);

    EXPECT_EQ(call.process, 0);
    EXPECT_EQ(vm.exceptionClass(), "java/lang/OutOfMemoryError");
    EXPECT_EQ(vm.faultsInjected(), 0) << "the library's own error, not the VM's";
    EXPECT_TRUE(host::hooks::calls(Api::CREATE_PIPE).empty());
    EXPECT_TRUE(host::hooks::calls(Api::CREATE_PROCESS).empty());
    EXPECT_EQ(call.slots, (std::vector<jlong>{NO_HANDLE, NO_HANDLE, NO_HANDLE}));
    expectEverythingReleased();
}

TEST_F(CreateFailures, HeapRefusalWithoutTheErrorClassLeavesTheVmsError) {
    host::hooks::failNth(Api::MALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    vm.failNth(host::JniOp::FIND_CLASS, 1);
    CreateArguments arguments;
    arguments.commandLine = u"child.exe";

    const CreateCall call = create(arguments);

    EXPECT_EQ(call.process, 0);
    EXPECT_EQ(vm.exceptionMessage(), "host VM fault injected into FindClass");
    EXPECT_EQ(vm.faultsInjected(), 1);
    expectEverythingReleased();
}

}  // namespace
