// What create hands to Windows and to the VM: the exact arguments of
// CreateProcessW, CreatePipe and SetHandleInformation, seen through the import
// hooks with a fake CreateProcessW, and how the JNI buffers are borrowed.
#include <gtest/gtest.h>

#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "import_hooks.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using host::hooks::Api;
using testsupport::CreateArguments;
using testsupport::CreateCall;

// CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, whatever the other arguments.
constexpr DWORD CREATION_FLAGS = 0x08000400;
constexpr DWORD STARTUP_RECORD_BYTES = 68;
constexpr DWORD SECURITY_ATTRIBUTES_BYTES = 12;
constexpr DWORD PIPE_BUFFER_BYTES = 4120;

static_assert(sizeof(STARTUPINFOW) == STARTUP_RECORD_BYTES, "the 32-bit record");

// Units outside ASCII and a quoted argument: the line must reach Windows as
// UTF-16, unchanged.
const std::u16string COMMAND_LINE = u"C:\\tools\\prog.exe \"two words\" \x00E9\x4E2D"s;

class CreateArgumentsTest : public testsupport::HookedLibraryTest {
protected:
    void SetUp() override {
        HookedLibraryTest::SetUp();
        host::hooks::fakeCreateProcess(true);
    }

    // The pointer a string's characters were lent at, or nullptr if never.
    const void *borrowedChars(jstring string) const {
        for (const host::Borrow &borrow : vm.borrows()) {
            if (borrow.kind == host::Borrow::Kind::STRING_CHARS && borrow.object == string) {
                return borrow.pointer;
            }
        }
        return nullptr;
    }
};

// The size the hooked malloc was asked for when it handed out block; 0 if it
// never did.
size_t mallocSizeOf(const void *block) {
    for (const host::hooks::Call &call : host::hooks::calls(Api::MALLOC)) {
        if (call.result == reinterpret_cast<uintptr_t>(block)) {
            return call.args[0];
        }
    }
    return 0;
}

// The whole record is zero but for its size, the one flag and the three
// standard handles.
void expectStartupRecord(const STARTUPINFOW &startup) {
    STARTUPINFOW expected;
    memset(&expected, 0, sizeof expected);
    expected.cb = STARTUP_RECORD_BYTES;
    expected.dwFlags = STARTF_USESTDHANDLES;
    expected.hStdInput = startup.hStdInput;
    expected.hStdOutput = startup.hStdOutput;
    expected.hStdError = startup.hStdError;
    EXPECT_EQ(startup.cb, STARTUP_RECORD_BYTES);
    EXPECT_EQ(startup.dwFlags, static_cast<DWORD>(0x100));
    EXPECT_EQ(memcmp(&startup, &expected, sizeof expected), 0) << "a field beyond cb, dwFlags "
                                                                  "and the std handles is set";
}

struct LaunchCase {
    const char *name;
    std::optional<std::u16string> envBlock;
    std::optional<std::u16string> directory;
    // As Windows reads them; empty optional: NULL expected.
    std::optional<std::u16string> environmentSeen;
    std::optional<std::u16string> directorySeen;
};

class ProcessArguments : public CreateArgumentsTest,
                         public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(ProcessArguments, ReachCreateProcessW) {
    const LaunchCase &c = GetParam();
    CreateArguments arguments;
    arguments.commandLine = COMMAND_LINE;
    arguments.envBlock = c.envBlock;
    arguments.directory = c.directory;

    const CreateCall call = create(arguments);

    ASSERT_NE(call.process, 0) << vm.exceptionClass() << ": " << vm.exceptionMessage();
    EXPECT_FALSE(vm.exceptionPending());
    const auto captures = host::hooks::createProcessCaptures();
    ASSERT_EQ(captures.size(), 1u);
    const host::hooks::CreateProcessCapture &seen = captures[0];

    EXPECT_TRUE(seen.applicationNameNull);
    EXPECT_EQ(seen.commandLine, COMMAND_LINE);
    EXPECT_TRUE(seen.commandLineWritable);
    // The library's own heap copy with room for exactly one NUL after the
    // units, not the VM's unterminated characters.
    EXPECT_NE(static_cast<const void *>(seen.commandLinePointer), borrowedChars(call.commandLine));
    EXPECT_EQ(mallocSizeOf(seen.commandLinePointer), 2 * COMMAND_LINE.size() + 2);
    EXPECT_EQ(seen.processAttributes, nullptr);
    EXPECT_EQ(seen.threadAttributes, nullptr);
    EXPECT_EQ(seen.inheritHandles, TRUE);
    EXPECT_EQ(seen.creationFlags, CREATION_FLAGS);

    if (c.environmentSeen) {
        ASSERT_NE(seen.environmentPointer, nullptr);
        EXPECT_EQ(seen.environment, *c.environmentSeen);
        EXPECT_NE(seen.environmentPointer, borrowedChars(call.envBlock));
        EXPECT_EQ(mallocSizeOf(seen.environmentPointer), 2 * c.envBlock->size() + 4)
            << "the block's units and two NULs";
    } else {
        EXPECT_EQ(seen.environmentPointer, nullptr);
    }
    if (c.directorySeen) {
        EXPECT_FALSE(seen.directoryNull);
        EXPECT_EQ(seen.directory, *c.directorySeen);
    } else {
        EXPECT_TRUE(seen.directoryNull);
    }
    ASSERT_FALSE(seen.startupInfoNull);
    expectStartupRecord(seen.startupInfo);

    testsupport::closeHandedOut(api(), env(), call);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcessArguments,
    ::testing::Values(LaunchCase{"inherit_environment_and_directory", {}, {}, {}, {}},
                      LaunchCase{"block_and_forward_slash_directory", u"A=1\0B=two words\0\0"s,
                                 u"C:/work/"s, u"A=1\0B=two words\0\0"s, u"C:\\work"s},
                      LaunchCase{"empty_directory", {}, u""s, {}, u""s},
                      LaunchCase{"spaces_only_directory", {}, u"   "s, {}, u""s},
                      // Blocks that lack their terminators are closed inside the copy.
                      LaunchCase{
                          "block_without_closing_nul", u"A=1\0B=2\0"s, {}, u"A=1\0B=2\0\0"s, {}},
                      LaunchCase{"block_without_any_nul", u"A=1\0B=2"s, {}, u"A=1\0B=2\0\0"s, {}}),
    [](const ::testing::TestParamInfo<LaunchCase> &info) { return std::string(info.param.name); });

// One expected SetHandleInformation call.
struct Flagging {
    HANDLE handle;
    bool inheritable;
};

TEST_F(CreateArgumentsTest, PipesAreMadeAndFlaggedStreamByStream) {
    CreateArguments arguments;
    arguments.commandLine = COMMAND_LINE;

    const CreateCall call = create(arguments);

    ASSERT_NE(call.process, 0) << vm.exceptionMessage();
    const auto pipes = host::hooks::createPipeCaptures();
    ASSERT_EQ(pipes.size(), 3u);
    for (const host::hooks::CreatePipeCapture &pipe : pipes) {
        ASSERT_FALSE(pipe.attributesNull);
        EXPECT_EQ(pipe.attributes.nLength, SECURITY_ATTRIBUTES_BYTES);
        EXPECT_EQ(pipe.attributes.lpSecurityDescriptor, nullptr);
        EXPECT_EQ(pipe.attributes.bInheritHandle, TRUE);
        EXPECT_EQ(pipe.size, PIPE_BUFFER_BYTES);
    }
    // Each pipe is followed by cutting the parent's end off from inheritance
    // and marking the child's end, before the next pipe is made.
    const HANDLE inRead = pipes[0].readEnd, inWrite = pipes[0].writeEnd;
    const HANDLE outRead = pipes[1].readEnd, outWrite = pipes[1].writeEnd;
    const HANDLE errRead = pipes[2].readEnd, errWrite = pipes[2].writeEnd;
    const std::vector<Flagging> expectedFlags = {{inWrite, false}, {inRead, true},
                                                 {outRead, false}, {outWrite, true},
                                                 {errRead, false}, {errWrite, true}};
    std::vector<Api> order;
    std::vector<host::hooks::Call> flagCalls;
    for (const host::hooks::Call &c : host::hooks::log()) {
        if (c.api == Api::CREATE_PIPE || c.api == Api::SET_HANDLE_INFORMATION ||
            c.api == Api::CREATE_PROCESS) {
            order.push_back(c.api);
        }
        if (c.api == Api::SET_HANDLE_INFORMATION) {
            flagCalls.push_back(c);
        }
    }
    const Api P = Api::CREATE_PIPE, F = Api::SET_HANDLE_INFORMATION;
    EXPECT_EQ(order, (std::vector<Api>{P, F, F, P, F, F, P, F, F, Api::CREATE_PROCESS}));
    ASSERT_EQ(flagCalls.size(), expectedFlags.size());
    for (size_t i = 0; i < flagCalls.size(); ++i) {
        SCOPED_TRACE("SetHandleInformation call " + std::to_string(i + 1));
        EXPECT_EQ(flagCalls[i].args[0], reinterpret_cast<uintptr_t>(expectedFlags[i].handle));
        EXPECT_EQ(flagCalls[i].args[1], static_cast<uintptr_t>(HANDLE_FLAG_INHERIT));
        EXPECT_EQ(flagCalls[i].args[2],
                  expectedFlags[i].inheritable ? static_cast<uintptr_t>(HANDLE_FLAG_INHERIT) : 0u);
    }

    const auto captures = host::hooks::createProcessCaptures();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].startupInfo.hStdInput, inRead);
    EXPECT_EQ(captures[0].startupInfo.hStdOutput, outWrite);
    EXPECT_EQ(captures[0].startupInfo.hStdError, errWrite);
    EXPECT_EQ(call.slots,
              (std::vector<jlong>{testsupport::toJava(inWrite), testsupport::toJava(outRead),
                                  testsupport::toJava(errRead)}));

    // On success only the thread handle and the child's ends are closed, in
    // this order; the parent's ends and the process now belong to Java.
    std::vector<uintptr_t> closed;
    for (const host::hooks::Call &c : host::hooks::calls(Api::CLOSE_HANDLE)) {
        closed.push_back(c.args[0]);
    }
    const HANDLE thread = captures[0].processInformation.hThread;
    EXPECT_EQ(closed,
              (std::vector<uintptr_t>{
                  reinterpret_cast<uintptr_t>(thread), reinterpret_cast<uintptr_t>(inRead),
                  reinterpret_cast<uintptr_t>(outWrite), reinterpret_cast<uintptr_t>(errWrite)}));
    EXPECT_EQ(call.process, testsupport::toJava(captures[0].processInformation.hProcess));

    testsupport::closeHandedOut(api(), env(), call);
    EXPECT_TRUE(host::hooks::unclosedHandles().empty());
}

TEST_F(CreateArgumentsTest, JniBuffersAreBorrowedWithoutCopyFlagAndGivenBack) {
    CreateArguments arguments;
    arguments.commandLine = COMMAND_LINE;
    arguments.envBlock = u"A=1\0\0"s;
    arguments.directory = u"C:\\work"s;

    const CreateCall call = create(arguments);

    ASSERT_NE(call.process, 0) << vm.exceptionMessage();
    const std::vector<host::Borrow> borrows = vm.borrows();
    std::vector<jobject> lenders;
    for (const host::Borrow &borrow : borrows) {
        lenders.push_back(borrow.object);
        EXPECT_TRUE(borrow.isCopyWasNull);
        EXPECT_TRUE(borrow.released);
        EXPECT_EQ(borrow.releaseCalls, 1);
        if (borrow.kind == host::Borrow::Kind::LONG_ARRAY_ELEMENTS) {
            // Mode 0: written back and released; JNI_COMMIT would leak the
            // buffer, JNI_ABORT would lose the slots.
            EXPECT_EQ(borrow.lastReleaseMode, 0);
        }
    }
    EXPECT_EQ(lenders, (std::vector<jobject>{call.commandLine, call.directory, call.envBlock,
                                             call.slotArray}));
    EXPECT_TRUE(host::hooks::liveBlocks().empty());
    EXPECT_TRUE(host::hooks::unknownFrees().empty());

    testsupport::closeHandedOut(api(), env(), call);
}

}  // namespace
