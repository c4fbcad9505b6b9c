// The handle slot protocol of create: for each combination of pipe requests,
// caller handles and the merge flag, which pipes are made, what the child
// gets as its three standard handles, what comes back in the slots, and
// which handles are inheritable afterwards. CreateProcessW is faked; the
// handles are real.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "import_hooks.h"
#include "test_support.h"

namespace {

using host::hooks::Api;
using testsupport::CreateArguments;
using testsupport::CreateCall;
using testsupport::isInheritable;
using testsupport::NO_HANDLE;
using testsupport::toJava;

// A slot or standard-handle value in a case, resolved against the handles of
// the run: a pipe end (by stream and end), a caller handle (by slot), or a
// plain number.
enum class V {
    NONE,       // NO_HANDLE
    IN_WRITE,   // the parent's end of the input pipe
    IN_READ,    // the child's end of the input pipe
    OUT_READ,   // the parent's end of the output pipe
    OUT_WRITE,  // the child's end of the output pipe
    ERR_READ,
    ERR_WRITE,
    CALLER0,  // the test's own handle offered in slot 0
    CALLER1,
    CALLER2,
    CALLER0_HIGH_BITS,  // CALLER0 with junk in the upper 32 bits of the jlong
    ZERO,               // the value 0
    LOW32,              // 0x00000000FFFFFFFF: only the low half set
};

struct SlotCase {
    const char *name;
    std::vector<V> slotsIn;  // a fourth element is not a slot and must survive
    bool merge;
    std::vector<V> slotsOut;
    V startup[3];  // hStdInput, hStdOutput, hStdError as CreateProcessW got them
};

class StdStreams : public testsupport::HookedLibraryTest,
                   public ::testing::WithParamInterface<SlotCase> {
protected:
    void SetUp() override {
        HookedLibraryTest::SetUp();
        host::hooks::fakeCreateProcess(true);
        for (HANDLE handle : callers_) {
            ASSERT_FALSE(isInheritable(handle));
        }
    }

    jlong resolve(V value) const {
        switch (value) {
            case V::NONE:
                return NO_HANDLE;
            case V::CALLER0:
            case V::CALLER1:
            case V::CALLER2:
                return toJava(callers_[static_cast<int>(value) - static_cast<int>(V::CALLER0)]);
            case V::CALLER0_HIGH_BITS:
                return toJava(callers_[0]) | static_cast<jlong>(0x0BAD000100000000LL);
            case V::ZERO:
                return 0;
            case V::LOW32:
                return 0xFFFFFFFFLL;
            default:
                return toJava(pipeEnd(value));
        }
    }

    HANDLE pipeEnd(V end) const {
        const int stream = (static_cast<int>(end) - static_cast<int>(V::IN_WRITE)) / 2;
        const bool readEnd = end == V::IN_READ || end == V::OUT_READ || end == V::ERR_READ;
        const testsupport::PipeEnds ends = testsupport::pipeEndsOf(slotsIn_, GetParam().merge);
        return readEnd ? ends.read[stream] : ends.write[stream];
    }

    std::vector<jlong> slotsIn_;
    testsupport::CallerHandles callers_;
};

// The handle a slot value stands for, as the library must use it: its low
// 32 bits.
HANDLE lowPart(jlong value) {
    return testsupport::fromJava(value);
}

TEST_P(StdStreams, SlotsAreWiredAndHandedBack) {
    const SlotCase &c = GetParam();
    CreateArguments arguments;
    arguments.commandLine = u"child.exe";
    for (V value : c.slotsIn) {
        slotsIn_.push_back(resolve(value));
    }
    arguments.slots = slotsIn_;
    arguments.mergeStderr = c.merge;

    const CreateCall call = create(arguments);

    ASSERT_NE(call.process, 0) << vm.exceptionClass() << ": " << vm.exceptionMessage();
    EXPECT_FALSE(vm.exceptionPending());
    const auto pipes = host::hooks::createPipeCaptures();
    size_t pipeRequests = 0;
    for (int stream = 0; stream < 3; ++stream) {
        pipeRequests += c.slotsIn[stream] == V::NONE && !(stream == 2 && c.merge);
    }
    ASSERT_EQ(pipes.size(), pipeRequests);

    std::vector<jlong> expectedSlots;
    for (V value : c.slotsOut) {
        expectedSlots.push_back(resolve(value));
    }
    EXPECT_EQ(call.slots, expectedSlots);

    const auto captures = host::hooks::createProcessCaptures();
    ASSERT_EQ(captures.size(), 1u);
    const STARTUPINFOW &startup = captures[0].startupInfo;
    const HANDLE childHandles[3] = {startup.hStdInput, startup.hStdOutput, startup.hStdError};
    for (int stream = 0; stream < 3; ++stream) {
        EXPECT_EQ(childHandles[stream], lowPart(resolve(c.startup[stream])))
            << "standard handle " << stream;
    }

    // Flagging touches only what the child gets (made inheritable) and the
    // parent's pipe ends (made non-inheritable); an ignored slot-2 handle is
    // not even looked at.
    for (const host::hooks::Call &flag : host::hooks::calls(Api::SET_HANDLE_INFORMATION)) {
        const HANDLE handle = reinterpret_cast<HANDLE>(flag.args[0]);
        const bool child = std::count(childHandles, childHandles + 3, handle) > 0;
        const bool parentEnd =
            std::count(call.slots.begin(), call.slots.begin() + 3, toJava(handle)) > 0;
        EXPECT_TRUE(child || parentEnd) << "flagged " << handle;
        EXPECT_EQ(flag.args[2], child ? static_cast<uintptr_t>(HANDLE_FLAG_INHERIT) : 0u);
    }
    for (HANDLE caller : callers_) {
        const bool wired = std::count(childHandles, childHandles + 3, caller) > 0;
        EXPECT_EQ(isInheritable(caller), wired) << "caller handle " << caller;
    }
    for (int stream = 0; stream < 3; ++stream) {
        if (call.slots[stream] != NO_HANDLE) {
            EXPECT_FALSE(isInheritable(testsupport::fromJava(call.slots[stream])))
                << "the parent's end in slot " << stream;
        }
    }

    // Left open: the process and the parent's ends, now Java's. The child's
    // ends and the thread are closed already.
    std::vector<HANDLE> open;
    for (const host::hooks::CreatedHandle &handle : host::hooks::unclosedHandles()) {
        open.push_back(handle.handle);
    }
    std::vector<HANDLE> handedOut = {testsupport::fromJava(call.process)};
    for (int stream = 0; stream < 3; ++stream) {
        if (call.slots[stream] != NO_HANDLE) {
            handedOut.push_back(testsupport::fromJava(call.slots[stream]));
        }
    }
    std::sort(open.begin(), open.end());
    std::sort(handedOut.begin(), handedOut.end());
    EXPECT_EQ(open, handedOut);

    testsupport::closeHandedOut(api(), env(), call);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StdStreams,
    ::testing::Values(SlotCase{"three_pipes",
                               {V::NONE, V::NONE, V::NONE},
                               false,
                               {V::IN_WRITE, V::OUT_READ, V::ERR_READ},
                               {V::IN_READ, V::OUT_WRITE, V::ERR_WRITE}},
                      SlotCase{"merged_two_pipes",
                               {V::NONE, V::NONE, V::NONE},
                               true,
                               {V::IN_WRITE, V::OUT_READ, V::NONE},
                               {V::IN_READ, V::OUT_WRITE, V::OUT_WRITE}},
                      SlotCase{"merged_ignores_a_handle_in_slot_2",
                               {V::NONE, V::NONE, V::CALLER2},
                               true,
                               {V::IN_WRITE, V::OUT_READ, V::NONE},
                               {V::IN_READ, V::OUT_WRITE, V::OUT_WRITE}},
                      SlotCase{"caller_handles_everywhere",
                               {V::CALLER0, V::CALLER1, V::CALLER2},
                               false,
                               {V::NONE, V::NONE, V::NONE},
                               {V::CALLER0, V::CALLER1, V::CALLER2}},
                      SlotCase{"caller_handles_merged",
                               {V::CALLER0, V::CALLER1, V::CALLER2},
                               true,
                               {V::NONE, V::NONE, V::NONE},
                               {V::CALLER0, V::CALLER1, V::CALLER1}},
                      SlotCase{"caller_handles_around_a_pipe",
                               {V::CALLER0, V::NONE, V::CALLER2},
                               false,
                               {V::NONE, V::OUT_READ, V::NONE},
                               {V::CALLER0, V::OUT_WRITE, V::CALLER2}},
                      SlotCase{"zero_is_a_caller_handle",
                               {V::ZERO, V::NONE, V::NONE},
                               false,
                               {V::NONE, V::OUT_READ, V::ERR_READ},
                               {V::ZERO, V::OUT_WRITE, V::ERR_WRITE}},
                      SlotCase{"low_half_set_is_a_caller_handle",
                               {V::NONE, V::LOW32, V::NONE},
                               false,
                               {V::IN_WRITE, V::NONE, V::ERR_READ},
                               {V::IN_READ, V::LOW32, V::ERR_WRITE}},
                      SlotCase{"high_bits_of_a_caller_handle_ignored",
                               {V::CALLER0_HIGH_BITS, V::NONE, V::NONE},
                               true,
                               {V::NONE, V::OUT_READ, V::NONE},
                               {V::CALLER0, V::OUT_WRITE, V::OUT_WRITE}},
                      SlotCase{"elements_past_the_third_untouched",
                               {V::NONE, V::NONE, V::NONE, V::CALLER1},
                               false,
                               {V::IN_WRITE, V::OUT_READ, V::ERR_READ, V::CALLER1},
                               {V::IN_READ, V::OUT_WRITE, V::ERR_WRITE}}),
    [](const ::testing::TestParamInfo<SlotCase> &info) { return std::string(info.param.name); });

}  // namespace
