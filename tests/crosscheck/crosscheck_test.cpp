// The Java helpers' command lines and environment blocks, launched for real:
// quill_child started through create with each one must receive exactly the
// arguments, or see exactly the variables, that the vector lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "crosscheck_files.h"
#include "escaped_text.h"
#include "test_support.h"

namespace crosscheck {

// Test names carry the case; a failure message needs nothing more of it.
void PrintTo(const CommandLineCase &c, std::ostream *out) {
    *out << c.name;
}
void PrintTo(const EnvironmentCase &c, std::ostream *out) {
    *out << c.name;
}

}  // namespace crosscheck

namespace {

using crosscheck::CommandLineCase;
using crosscheck::EnvironmentCase;
using testsupport::ChildGuard;
using testsupport::fromJava;
using testsupport::NO_HANDLE;
using testsupport::toJava;

constexpr DWORD WATCHDOG_MS = 30000;

// What a launched child left behind.
struct ChildRun {
    bool launched = false;
    std::string launchError;
    std::string out;
    std::string err;
    jint exitCode = -1;
};

// The child's output, one escaped line each, decoded.
std::vector<std::u16string> outputLines(const std::string &out) {
    std::vector<std::u16string> lines;
    size_t start = 0;
    for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        std::u16string units;
        std::string error;
        const std::string line = out.substr(start, end - start);
        EXPECT_TRUE(crosscheck::unescape(line, units, error)) << error << " in: " << line;
        lines.push_back(units);
    }
    EXPECT_EQ(start, out.size()) << "output does not end with a newline";
    return lines;
}

std::vector<std::string> escapeAll(const std::vector<std::u16string> &values) {
    std::vector<std::string> escaped;
    for (const std::u16string &value : values) {
        escaped.push_back(crosscheck::escape(value));
    }
    return escaped;
}

std::u16string toUnits(const std::wstring &text) {
    return std::u16string(text.begin(), text.end());
}

class CrossCheck : public testsupport::LibraryTest {
protected:
    // Launches through create with all three streams piped, reads the output
    // to end-of-file, waits and reads the exit code, closing every handle the
    // library handed out through closeHandle.
    ChildRun run(const std::u16string &commandLine, const std::u16string *block,
                 const std::u16string *directory) {
        ChildRun result;
        jlongArray slots = vm.newLongArray({NO_HANDLE, NO_HANDLE, NO_HANDLE});
        const jlong process = api().create(
            env(), nullptr, vm.newString(commandLine), block ? vm.newString(*block) : nullptr,
            directory ? vm.newString(*directory) : nullptr, slots, JNI_FALSE);
        if (process == 0) {
            result.launchError = vm.exceptionClass() + ": " + vm.exceptionMessage();
            vm.clearException();
            return result;
        }
        result.launched = true;
        ChildGuard child(fromJava(process));
        const std::vector<jlong> pipes = vm.longArrayElements(slots);
        // End-of-file on its input at once: nothing here writes to the child.
        api().closeHandle(env(), nullptr, pipes[0]);
        result.out = testsupport::readAll(fromJava(pipes[1]), WATCHDOG_MS);
        api().closeHandle(env(), nullptr, pipes[1]);
        result.err = testsupport::readAll(fromJava(pipes[2]), WATCHDOG_MS);
        api().closeHandle(env(), nullptr, pipes[2]);
        {
            testsupport::Watchdog watchdog("waiting for the child", WATCHDOG_MS);
            api().waitForInterruptibly(env(), nullptr, process);
        }
        result.exitCode = api().getExitCodeProcess(env(), nullptr, process);
        api().closeHandle(env(), nullptr, toJava(child.release()));
        EXPECT_FALSE(vm.exceptionPending()) << vm.exceptionMessage();
        return result;
    }
};

// ---- the files themselves ----

// The tables below are built from whatever the files hold, so an empty,
// truncated or malformed file would leave them with little or nothing to run
// and still pass: these checks fail instead.
template <typename Case>
void expectSoundFile(const crosscheck::CaseFile<Case> &file, size_t minimumLaunches) {
    EXPECT_EQ(file.errors, std::vector<std::string>{}) << "in " << file.path;
    size_t rejected = 0;
    for (const Case &c : file.cases) {
        if (c.rejected) {
            ++rejected;
            EXPECT_FALSE(c.rejection.empty()) << c.name << ": refused without a message";
        }
    }
    EXPECT_GE(file.cases.size() - rejected, minimumLaunches) << "launch cases in " << file.path;
    EXPECT_GE(rejected, 1u) << "refused cases in " << file.path;
}

bool isBatchFile(const std::u16string &program) {
    std::string extension =
        crosscheck::escape(program.substr(program.size() < 4 ? 0 : program.size() - 4));
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension == ".bat" || extension == ".cmd";
}

TEST(CrossCheckFiles, CommandLinesAreSoundAndEnough) {
    const auto &file = crosscheck::commandLineFile();
    expectSoundFile(file, 10);
    // Batch files go through cmd.exe, a path of its own that must be covered.
    const auto launches = crosscheck::commandLinesToLaunch();
    EXPECT_TRUE(std::any_of(launches.begin(), launches.end(), [](const CommandLineCase &c) {
        return isBatchFile(c.program);
    })) << "no batch-file case to launch";
}

TEST(CrossCheckFiles, EnvironmentsAreSoundAndEnough) {
    expectSoundFile(crosscheck::environmentFile(), 5);
}

// ---- command lines ----

class CommandLines : public CrossCheck, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLines, ChildReceivesTheArguments) {
    const CommandLineCase &c = GetParam();
    SCOPED_TRACE("command line: " + crosscheck::escape(c.commandLine));

    // CreateProcessW finds a relative program in the launching program's
    // directory (CTest runs this test elsewhere, so that search is what finds
    // it). For a batch file, though, it then starts cmd.exe with the command
    // line as it stands, and cmd.exe looks for the batch file again, only in
    // its current directory and PATH: so a batch file runs in its own directory.
    const std::u16string directory = toUnits(host::programDirectory());
    const ChildRun child =
        run(c.commandLine, nullptr, isBatchFile(c.program) ? &directory : nullptr);

    ASSERT_TRUE(child.launched) << child.launchError;
    EXPECT_EQ(child.exitCode, 0) << "stderr: " << child.err;
    std::vector<std::u16string> lines = outputLines(child.out);
    ASSERT_FALSE(lines.empty()) << "no argv[0] line; stderr: " << child.err;
    lines.erase(lines.begin());
    EXPECT_EQ(escapeAll(lines), escapeAll(c.args)) << "stderr: " << child.err;
}

INSTANTIATE_TEST_SUITE_P(Vectors, CommandLines,
                         ::testing::ValuesIn(crosscheck::commandLinesToLaunch()),
                         [](const ::testing::TestParamInfo<CommandLineCase> &info) {
                             return info.param.id;
                         });

// ---- environment blocks ----

std::u16string variableName(const std::u16string &entry) {
    // A leading '=' is part of the name (the per-drive directory entries).
    return entry.substr(0, entry.find(u'=', 1));
}

// Wine's ntdll (Wine 8) writes its own variables into every new process's
// environment, an explicit block or not. Launched with an empty block the
// child sees SystemDrive, SystemRoot, WINECONFIGDIR, WINEDATADIR, WINEDLLDIR0,
// WINEHOMEDIR, WINELOADER, WINEUSERLOCALE and WINEUSERNAME, and
// WINEDLLOVERRIDES when it is set, as CTest sets it. WINEBUILDDIR and
// WINEUNIXCP join them when Wine runs from its build tree or the variable is
// set, and WINEDLLDIR counts up, one per DLL directory. Nothing else is let by.
bool isWineAddition(const std::u16string &name) {
    static const std::set<std::u16string> NAMES = {
        u"SystemDrive", u"SystemRoot",       u"WINEBUILDDIR", u"WINECONFIGDIR",
        u"WINEDATADIR", u"WINEDLLOVERRIDES", u"WINEHOMEDIR",  u"WINELOADER",
        u"WINEUNIXCP",  u"WINEUSERLOCALE",   u"WINEUSERNAME"};
    const std::u16string DLL_DIR = u"WINEDLLDIR";
    if (name.size() > DLL_DIR.size() && name.compare(0, DLL_DIR.size(), DLL_DIR) == 0) {
        return std::all_of(name.begin() + DLL_DIR.size(), name.end(),
                           [](char16_t c) { return c >= u'0' && c <= u'9'; });
    }
    return NAMES.count(name) != 0;
}

class Environments : public CrossCheck, public ::testing::WithParamInterface<EnvironmentCase> {};

TEST_P(Environments, ChildSeesTheVariables) {
    const EnvironmentCase &c = GetParam();
    SCOPED_TRACE("block: " + crosscheck::escape(c.block));
    // create adds no terminator: the block must carry its own.
    ASSERT_TRUE(c.block.size() >= 2 &&
                c.block.substr(c.block.size() - 2) == std::u16string(2, u'\0'))
        << "the block does not end with two NULs";

    const ChildRun child = run(toUnits(testsupport::childCommand(L"env")), &c.block, nullptr);

    ASSERT_TRUE(child.launched) << child.launchError;
    EXPECT_EQ(child.exitCode, 0) << "stderr: " << child.err;
    std::set<std::u16string> vectorNames;
    for (const std::u16string &entry : c.entries) {
        vectorNames.insert(variableName(entry));
    }
    std::vector<std::u16string> fromVector;
    std::vector<std::u16string> unexpected;
    for (const std::u16string &line : outputLines(child.out)) {
        const std::u16string name = variableName(line);
        if (vectorNames.count(name) != 0) {
            fromVector.push_back(line);
        } else if (!isWineAddition(name)) {
            unexpected.push_back(line);
        }
    }
    std::vector<std::string> seen = escapeAll(fromVector);
    std::vector<std::string> expected = escapeAll(c.entries);
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(escapeAll(unexpected), std::vector<std::string>{})
        << "neither in the block nor Wine's";
}

INSTANTIATE_TEST_SUITE_P(Vectors, Environments,
                         ::testing::ValuesIn(crosscheck::environmentsToLaunch()),
                         [](const ::testing::TestParamInfo<EnvironmentCase> &info) {
                             return info.param.id;
                         });

}  // namespace
