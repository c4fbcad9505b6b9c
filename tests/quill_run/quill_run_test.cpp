// quill-run end to end under Wine: the tool is started as a user starts it,
// and what it passes to the child, and back, is read from its output.
#include <gtest/gtest.h>

#include <string>

#include "quillstead_library.h"
#include "test_support.h"

namespace {

using testsupport::ChildGuard;
using testsupport::readAll;

struct Outcome {
    std::string out;
    std::string err;
    DWORD exitCode;
};

HANDLE inheritable(HANDLE handle) {
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

// Runs quill-run.exe with the given command-line tail (quoted as a Windows
// command line) and collects both output streams and the exit code.
Outcome runQuillRun(const std::wstring &tail, HANDLE input = NULL) {
    // quill-run and its child end with this program, even when a watchdog ends it.
    EXPECT_TRUE(testsupport::endChildrenWithThisProgram()) << "error " << GetLastError();
    std::wstring commandLine = L"\"" + host::programDirectory() + L"quill-run.exe\" " + tail;
    HANDLE outRead, outWrite, errRead, errWrite;
    Outcome outcome = {"", "", 0xFFFFFFFF};
    if (!CreatePipe(&outRead, &outWrite, NULL, 0) || !CreatePipe(&errRead, &errWrite, NULL, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return outcome;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = inheritable(outWrite);
    startup.hStdError = inheritable(errWrite);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(NULL, &commandLine[0], NULL, NULL, TRUE, CREATE_NO_WINDOW,
                                        NULL, NULL, &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) {
        ADD_FAILURE() << "cannot start quill-run.exe, error " << GetLastError();
    } else {
        ChildGuard guard(process.hProcess);
        CloseHandle(process.hThread);
        // Small outputs: neither pipe fills while the other is read.
        outcome.out = readAll(outRead);
        outcome.err = readAll(errRead);
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return outcome;
}

std::string lines(std::initializer_list<const char *> items) {
    std::string text;
    for (const char *item : items) {
        text += std::string(item) + "\n";
    }
    return text;
}

struct RunCase {
    const char *name;
    const wchar_t *tail;
    std::string out;
    std::string err;  // the start of what quill-run writes to stderr
    DWORD exitCode;
};

class QuillRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(QuillRun, PassesThrough) {
    const RunCase &c = GetParam();
    const Outcome outcome = runQuillRun(c.tail);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err.substr(0, c.err.size()), c.err) << outcome.err;
    EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuillRun,
    ::testing::Values(
        // The child prints argv one a line, backslashes doubled.
        RunCase{
            "arguments_with_spaces_and_quotes",
            LR"(-- quill_child.exe args "two words" "a \"quoted\" one" "C:\dir with space\\" "")",
            lines({"quill_child.exe", "args", "two words", "a \"quoted\" one",
                   "C:\\\\dir with space\\\\", ""}),
            "", 0},
        RunCase{"directory_and_environment",
                LR"(--dir C:/windows//system32/ --env QUILL_E2E=yes --env "QUILL_SPACE=a b" -- )"
                LR"(quill_child.exe pwd getenv QUILL_E2E getenv QUILL_SPACE)",
                lines({"C:\\windows\\system32", "QUILL_E2E=yes", "QUILL_SPACE=a b"}), "", 0},
        RunCase{"environment_kept_without_clear",
                L"--env QUILL_E2E=1 -- quill_child.exe getenv QUILL_INHERITED",
                lines({"QUILL_INHERITED=from the test"}), "", 0},
        RunCase{"clear_environment",
                L"--clear-env --env QUILL_ONLY=1 -- quill_child.exe getenv QUILL_INHERITED "
                L"getenv QUILL_ONLY",
                lines({"QUILL_INHERITED is not set", "QUILL_ONLY=1"}), "", 0},
        RunCase{"exit_code_passes_through", L"-- quill_child.exe exit 42", "", "", 42},
        RunCase{"large_exit_code", L"quill_child.exe exit 0xC0000005", "", "", 0xC0000005},
        RunCase{"separate_streams", L"-- quill_child.exe out one err two", "one\n", "two\n", 0},
        RunCase{"merged_streams", L"--merge-stderr -- quill_child.exe out one err two",
                "one\ntwo\n", "", 0},
        RunCase{"missing_program", L"-- no-such-program.exe", "",
                "quill-run: CreateProcess error=2, ", 127},
        RunCase{"batch_argument_refused", L"-- run.bat 50%", "",
                "quill-run: arguments[0] \"50%\" contains", 125},
        RunCase{"unknown_option", L"--frobnicate -- quill_child.exe", "",
                "quill-run: unknown option --frobnicate", 125},
        RunCase{"no_program", L"--merge-stderr", "", "quill-run: no PROGRAM given", 125}),
    [](const ::testing::TestParamInfo<RunCase> &info) { return std::string(info.param.name); });

class QuillRunEnvironment : public ::testing::Environment {
public:
    // quill-run inherits this program's environment.
    void SetUp() override { SetEnvironmentVariableW(L"QUILL_INHERITED", L"from the test"); }
};

const auto *const ENVIRONMENT = ::testing::AddGlobalTestEnvironment(new QuillRunEnvironment);

TEST(QuillRunInput, FileFeedsTheChild) {
    const std::wstring path = host::programDirectory() + L"quill_run_input.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(testsupport::writeAll(file, "first line\nsecond line\n"));
    CloseHandle(file);

    const Outcome outcome = runQuillRun(L"--stdin \"" + path + L"\" -- quill_child.exe echo");

    EXPECT_EQ(outcome.out, "first line\nsecond line\n");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.err;
    DeleteFileW(path.c_str());
}

TEST(QuillRunInput, NoStdinMeansEndOfFile) {
    // Without --stdin the child must not wait for input that never comes.
    const Outcome outcome = runQuillRun(L"-- quill_child.exe echo out done");
    EXPECT_EQ(outcome.out, "done\n");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.err;
}

TEST(QuillRunPrintEnv, ListsTheSnapshotOneEntryALine) {
    const Outcome outcome = runQuillRun(L"--print-env");
    EXPECT_NE(outcome.out.find("\nQUILL_INHERITED=from the test\n"), std::string::npos)
        << outcome.out;
    EXPECT_EQ(outcome.exitCode, 0u);
}

TEST(QuillRunHelp, ExplainsEveryOption) {
    const Outcome outcome = runQuillRun(L"--help");
    for (const char *option : {"--dir", "--env", "--clear-env", "--merge-stderr", "--stdin",
                               "--print-env", "127", "125", "130"}) {
        EXPECT_NE(outcome.out.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(outcome.exitCode, 0u);
}

}  // namespace
