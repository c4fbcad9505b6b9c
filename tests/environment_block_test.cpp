// environmentBlock: the process's environment block handed to Java as one
// string, every entry with its NUL, without the block's closing NUL.
#include <gtest/gtest.h>

#include <string>

#include "import_hooks.h"
#include "jvm_control.h"
#include "test_support.h"

namespace {

using namespace std::string_literals;
using host::hooks::Api;

class EnvironmentBlock : public testsupport::LibraryTest {
protected:
    jstring snapshot() { return api().environmentBlock(env(), nullptr); }
};

struct BlockCase {
    const char *name;
    std::u16string block;     // as Windows holds it, the closing NUL included
    std::u16string expected;  // the string Java receives
};

class CraftedBlocks : public EnvironmentBlock, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(CraftedBlocks, MeasuredUpToTheClosingNul) {
    host::hooks::Scope hooks(library.module());
    host::hooks::supplyEnvironment(GetParam().block);

    jstring result = snapshot();

    ASSERT_NE(result, nullptr);
    EXPECT_EQ(vm.stringUnits(result), GetParam().expected);
    EXPECT_FALSE(vm.exceptionPending());
    // The block handed out is the block given back, exactly once.
    const auto got = host::hooks::calls(Api::GET_ENVIRONMENT_STRINGS);
    const auto freed = host::hooks::calls(Api::FREE_ENVIRONMENT_STRINGS);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(freed.size(), 1u);
    EXPECT_EQ(freed[0].args[0], got[0].result);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, CraftedBlocks,
    ::testing::Values(BlockCase{"two_entries", u"A=1\0B=2\0\0"s, u"A=1\0B=2\0"s},
                      BlockCase{"one_entry", u"X=y\0\0"s, u"X=y\0"s},
                      BlockCase{"no_entries", u"\0\0"s, u""s},
                      // Only the first unit is looked at when the block is empty.
                      BlockCase{"single_nul", u"\0"s, u""s},
                      // Per-drive directories come first in a real block and pass unchanged.
                      BlockCase{"equals_entries_in_order", u"=C:=C:\\x\0=D:=D:\\\0PATH=C:\\w\0\0"s,
                                u"=C:=C:\\x\0=D:=D:\\\0PATH=C:\\w\0"s},
                      // A single-unit entry: its NUL follows a non-NUL, not a NUL.
                      BlockCase{"one_unit_entries", u"a\0b\0\0"s, u"a\0b\0"s},
                      BlockCase{"surrogate_pair", u"E=\xD83D\xDE00!\0\0"s, u"E=\xD83D\xDE00!\0"s},
                      BlockCase{"empty_value", u"EMPTY=\0Z=\xFFFF\0\0"s, u"EMPTY=\0Z=\xFFFF\0"s}),
    [](const ::testing::TestParamInfo<BlockCase> &info) { return std::string(info.param.name); });

TEST_F(EnvironmentBlock, RealBlockOfThisProcess) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"QUILL_SNAPSHOT", L"\x00E9t\x00E9 \x0416"));

    jstring result = snapshot();

    ASSERT_NE(result, nullptr);
    const std::u16string units = vm.stringUnits(result);
    wchar_t *block = GetEnvironmentStringsW();
    const wchar_t *end = block;
    while (*end != 0) {
        end += wcslen(end) + 1;
    }
    const std::u16string expected(reinterpret_cast<const char16_t *>(block), end - block);
    FreeEnvironmentStringsW(block);
    EXPECT_EQ(units, expected);
    EXPECT_NE(units.find(u"\0QUILL_SNAPSHOT=\x00E9t\x00E9 \x0416\0"s), std::u16string::npos);
    SetEnvironmentVariableW(L"QUILL_SNAPSHOT", nullptr);
}

TEST_F(EnvironmentBlock, BlockIsFreedWhenTheStringCannotBeMade) {
    host::hooks::Scope hooks(library.module());
    host::hooks::supplyEnvironment(u"A=1\0\0"s);
    vm.failNth(host::JniOp::NEW_STRING, 1);

    EXPECT_EQ(snapshot(), nullptr);

    EXPECT_EQ(vm.exceptionClass(), "java/lang/OutOfMemoryError");
    EXPECT_EQ(host::hooks::calls(Api::FREE_ENVIRONMENT_STRINGS).size(), 1u);
}

TEST_F(EnvironmentBlock, NoBlockFromWindowsRaisesOutOfMemory) {
    host::hooks::Scope hooks(library.module());
    host::hooks::failNth(Api::GET_ENVIRONMENT_STRINGS, 1, ERROR_NOT_ENOUGH_MEMORY);
    jvmStubAnswerZero();

    EXPECT_EQ(snapshot(), nullptr);

    EXPECT_EQ(vm.exceptionClass(), "java/lang/OutOfMemoryError");
    EXPECT_EQ(vm.exceptionMessage(), "GetEnvironmentStrings failed, error=8");
    EXPECT_EQ(vm.calls(host::JniOp::NEW_STRING), 0);
    EXPECT_TRUE(host::hooks::calls(Api::FREE_ENVIRONMENT_STRINGS).empty()) << "nothing to free";
}

}  // namespace
