// Real launches under Wine through the exported create and the
// process-control methods, as a VM makes them: data through real pipes,
// end-of-file when the child exits, merged error output, the environment
// block and working directory the child sees, and caller-supplied files.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using namespace std::string_literals;
using testsupport::ChildGuard;
using testsupport::CreateArguments;
using testsupport::CreateCall;
using testsupport::fromJava;
using testsupport::NO_HANDLE;
using testsupport::readAll;
using testsupport::toJava;

constexpr DWORD WATCHDOG_MS = 30000;

class CreateLaunch : public testsupport::LibraryTest {
protected:
    // Starts quill_child.exe with the commands; the guard kills it should
    // the test fail before it ends.
    CreateCall launch(CreateArguments arguments, const std::wstring &commands, ChildGuard *guard) {
        arguments.commandLine = testsupport::units(testsupport::childCommand(commands));
        const CreateCall call = testsupport::callCreate(api(), vm, arguments);
        EXPECT_FALSE(vm.exceptionPending()) << vm.exceptionClass() << ": " << vm.exceptionMessage();
        EXPECT_NE(call.process, 0);
        guard->reset(fromJava(call.process));
        return call;
    }

    // Waits through the library (under a watchdog) and returns the exit code.
    jint waitForExit(const CreateCall &call) {
        {
            testsupport::Watchdog watchdog("waitForInterruptibly", WATCHDOG_MS);
            api().waitForInterruptibly(env(), nullptr, call.process);
        }
        return api().getExitCodeProcess(env(), nullptr, call.process);
    }

    // Closes through the library what create handed out; the guard no
    // longer owns the process handle.
    void closeAll(const CreateCall &call, ChildGuard *guard) {
        guard->release();
        testsupport::closeHandedOut(api(), env(), call);
    }

    void closeSlot(CreateCall *call, int slot) {
        api().closeHandle(env(), nullptr, call->slots[slot]);
        call->slots[slot] = NO_HANDLE;
    }
};

TEST_F(CreateLaunch, StdinEchoedBackThroughStdout) {
    ChildGuard child;
    CreateCall call = launch({}, L"echo", &child);
    ASSERT_NE(call.process, 0);
    ASSERT_NE(call.slots[0], NO_HANDLE);

    const std::string text = "first line\nsecond line, longer\n" + std::string(5000, 'x') + "\n";
    {
        // More than one pipe buffer: the write waits on the child's reading.
        testsupport::Watchdog watchdog("writing the child's input", WATCHDOG_MS);
        ASSERT_TRUE(testsupport::writeAll(fromJava(call.slots[0]), text));
    }
    closeSlot(&call, 0);  // the child's end-of-file

    EXPECT_EQ(readAll(fromJava(call.slots[1])), text);
    EXPECT_EQ(readAll(fromJava(call.slots[2])), "");
    EXPECT_EQ(waitForExit(call), 0);
    closeAll(call, &child);
}

// The parent holds no copy of the child's output ends, so end-of-file comes
// once the child has gone, even though its input pipe is still open here.
TEST_F(CreateLaunch, EndOfFileWhenTheChildExits) {
    ChildGuard child;
    CreateCall call = launch({}, L"out hello err oops exit 5", &child);
    ASSERT_NE(call.process, 0);

    EXPECT_EQ(readAll(fromJava(call.slots[1])), "hello\n");
    EXPECT_EQ(readAll(fromJava(call.slots[2])), "oops\n");
    EXPECT_EQ(waitForExit(call), 5);
    EXPECT_TRUE(testsupport::isOpenHandle(fromJava(call.slots[0])));
    closeAll(call, &child);
}

TEST_F(CreateLaunch, MergedErrorArrivesOnTheOutputPipe) {
    ChildGuard child;
    CreateArguments arguments;
    arguments.mergeStderr = true;
    CreateCall call = launch(arguments, L"out one err two out three", &child);
    ASSERT_NE(call.process, 0);
    EXPECT_EQ(call.slots[2], NO_HANDLE);

    EXPECT_EQ(readAll(fromJava(call.slots[1])), "one\ntwo\nthree\n");
    EXPECT_EQ(waitForExit(call), 0);
    closeAll(call, &child);
}

// The child's entries, one a line as quill_child prints them, less those
// Wine adds to every child's environment.
std::set<std::string> ownEntries(const std::string &printed) {
    std::set<std::string> entries;
    std::istringstream lines(printed);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string name = line.substr(0, line.find('='));
        if (name.rfind("WINE", 0) == 0 || name == "SystemRoot" || name == "SystemDrive") {
            continue;
        }
        entries.insert(line);
    }
    return entries;
}

struct BlockCase {
    const char *name;
    std::u16string block;
};

class EnvironmentBlocks : public CreateLaunch, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(EnvironmentBlocks, ChildSeesExactlyTheEntries) {
    ChildGuard child;
    CreateArguments arguments;
    arguments.envBlock = GetParam().block;
    CreateCall call = launch(arguments, L"env", &child);
    ASSERT_NE(call.process, 0);

    const std::string printed = readAll(fromJava(call.slots[1]));

    // quill_child escapes units outside ASCII as \uXXXX.
    EXPECT_EQ(ownEntries(printed),
              (std::set<std::string>{"QUILL_A=1", "QUILL_B=two words", "QUILL_C=\\u00E9\\u4E2D"}))
        << printed;
    EXPECT_EQ(waitForExit(call), 0);
    closeAll(call, &child);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, EnvironmentBlocks,
    ::testing::Values(
        BlockCase{"well_formed", u"QUILL_A=1\0QUILL_B=two words\0QUILL_C=\x00E9\x4E2D\0\0"s},
        // The copy closes a block its caller did not.
        BlockCase{"closing_nul_missing", u"QUILL_A=1\0QUILL_B=two words\0QUILL_C=\x00E9\x4E2D\0"s},
        BlockCase{"every_terminator_missing",
                  u"QUILL_A=1\0QUILL_B=two words\0QUILL_C=\x00E9\x4E2D"s}),
    [](const ::testing::TestParamInfo<BlockCase> &info) { return std::string(info.param.name); });

// How quill_child prints a directory: backslashes doubled.
std::string printedPath(const std::wstring &path) {
    std::string printed;
    for (wchar_t unit : path) {
        printed += unit == L'\\' ? "\\\\" : std::string(1, static_cast<char>(unit));
    }
    return printed;
}

TEST_F(CreateLaunch, ChildStartsInTheNormalisedDirectory) {
    // The program's own directory, ending in '\', written the other way.
    std::wstring directory = host::programDirectory();
    const std::wstring canonical = directory.substr(0, directory.size() - 1);
    for (wchar_t &unit : directory) {
        unit = unit == L'\\' ? L'/' : unit;
    }
    ChildGuard child;
    CreateArguments arguments;
    arguments.directory = testsupport::units(directory);
    CreateCall call = launch(arguments, L"cwd", &child);
    ASSERT_NE(call.process, 0);

    EXPECT_EQ(readAll(fromJava(call.slots[1])), printedPath(canonical) + "\n");
    EXPECT_EQ(waitForExit(call), 0);
    closeAll(call, &child);
}

// A file the test owns, deleted when it goes.
class TempFile {
public:
    explicit TempFile(const wchar_t *name) {
        wchar_t directory[MAX_PATH];
        GetTempPathW(MAX_PATH, directory);
        path_ = std::wstring(directory) + name;
        // Not inheritable: create must make it so, or the child cannot use it.
        handle_ = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~TempFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
        DeleteFileW(path_.c_str());
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    HANDLE handle() const { return handle_; }

    std::string contents() const {
        SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
        return testsupport::readAll(handle_);
    }

private:
    std::wstring path_;
    HANDLE handle_;
};

TEST_F(CreateLaunch, CallerFilesReceiveTheChildsOutput) {
    TempFile output(L"quill_create_launch_out.txt");
    TempFile error(L"quill_create_launch_err.txt");
    ASSERT_NE(output.handle(), INVALID_HANDLE_VALUE);
    ASSERT_NE(error.handle(), INVALID_HANDLE_VALUE);
    ChildGuard child;
    CreateArguments arguments;
    arguments.slots = {NO_HANDLE, toJava(output.handle()), toJava(error.handle())};
    CreateCall call = launch(arguments, L"out hello err oops out bye", &child);
    ASSERT_NE(call.process, 0);
    EXPECT_NE(call.slots[0], NO_HANDLE);
    EXPECT_EQ(call.slots[1], NO_HANDLE);
    EXPECT_EQ(call.slots[2], NO_HANDLE);

    EXPECT_EQ(waitForExit(call), 0);

    EXPECT_EQ(output.contents(), "hello\nbye\n");
    EXPECT_EQ(error.contents(), "oops\n");
    closeAll(call, &child);
}

}  // namespace
