// How a Windows failure reaches Java: the IOException message forms, the
// order in which the error number and the VM's text are taken, and what
// happens when the exception class itself cannot be found.
#include <gtest/gtest.h>

#include <string>

#include "host_vm.h"
#include "internal.h"
#include "jvm_control.h"

namespace {

enum class VmText { TEXT, TEXT_WITH_RESULT_1, ZERO, MINUS_ONE };

struct MessageCase {
    const char *name;
    const char *callName;
    DWORD error;
    VmText answer;
    const char *text;
    const char *expected;
};

const MessageCase MESSAGE_CASES[] = {
    {"with_text", "CreateProcess", 2, VmText::TEXT, "The system cannot find the file specified.",
     "CreateProcess error=2, The system cannot find the file specified."},
    {"vm_result_not_the_length", "CreatePipe", 8, VmText::TEXT_WITH_RESULT_1, "Not enough memory",
     "CreatePipe error=8, Not enough memory"},
    {"no_text", "CreateProcess", 2, VmText::ZERO, nullptr, "CreateProcess failed, error=2"},
    {"minus_one_like_zero", "GetExitCodeProcess", 6, VmText::MINUS_ONE, nullptr,
     "GetExitCodeProcess failed, error=6"},
    {"error_zero", "WaitForMultipleObjects", 0, VmText::ZERO, nullptr,
     "WaitForMultipleObjects failed, error=0"},
    {"error_zero_with_text", "CreatePipe", 0, VmText::TEXT, "The operation completed successfully.",
     "CreatePipe error=0, The operation completed successfully."},
    {"top_bit_printed_negative", "GetExitCodeProcess", 0xC0000005, VmText::ZERO, nullptr,
     "GetExitCodeProcess failed, error=-1073741819"},
    {"most_negative", "CreateProcess", 0x80000000, VmText::TEXT, "x",
     "CreateProcess error=-2147483648, x"},
    // Bytes pass through unconverted and untrimmed: code-page text, CR/LF.
    {"text_byte_for_byte", "CreateProcess", 5, VmText::TEXT, "Acc\xE8s refus\xE9.  \r\n",
     "CreateProcess error=5, Acc\xE8s refus\xE9.  \r\n"},
};

class FailureReport : public ::testing::TestWithParam<MessageCase> {
protected:
    void SetUp() override { jvmStubReset(); }
    void TearDown() override { jvmStubReset(); }

    host::HostVm vm;
};

void answerWith(VmText answer, const char *text) {
    switch (answer) {
        case VmText::TEXT:
            jvmStubAnswerText(text);
            break;
        case VmText::TEXT_WITH_RESULT_1:
            jvmStubAnswerTextWithResult(text, 1);
            break;
        case VmText::ZERO:
            jvmStubAnswerZero();
            break;
        case VmText::MINUS_ONE:
            jvmStubAnswerMinusOne();
            break;
    }
}

TEST_P(FailureReport, FormatsTheMessage) {
    const MessageCase &c = GetParam();
    answerWith(c.answer, c.text);

    SetLastError(c.error);
    throwLastError(vm.env(), c.callName);

    EXPECT_EQ(vm.exceptionClass(), "java/io/IOException");
    EXPECT_EQ(vm.exceptionMessage(), c.expected);
    EXPECT_EQ(jvmStubErrorTextCalls(), 1);
    EXPECT_EQ(jvmStubLastErrorTextLength(), 256);
    EXPECT_TRUE(vm.violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Forms, FailureReport, ::testing::ValuesIn(MESSAGE_CASES),
                         [](const ::testing::TestParamInfo<MessageCase> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(FailureReport, LongestMessageIsNotCut) {
    // The longest call name, the longest number and 255 bytes of text: 298
    // bytes with the terminator.
    const std::string text(255, 't');
    jvmStubAnswerText(text.c_str());

    SetLastError(0x80000000);
    throwLastError(vm.env(), "WaitForMultipleObjects");

    const std::string expected = "WaitForMultipleObjects error=-2147483648, " + text;
    EXPECT_EQ(expected.size(), 297u);
    EXPECT_EQ(vm.exceptionMessage(), expected);
}

TEST_F(FailureReport, ReadsTheErrorBeforeAskingTheVm) {
    // The stand-in resets the thread's last error as it answers, as a VM's
    // own system calls may: only an error read beforehand survives.
    jvmStubAnswerZero();
    jvmStubClobberLastError(TRUE, 0);

    SetLastError(ERROR_ACCESS_DENIED);
    throwLastError(vm.env(), "CreateProcess");

    EXPECT_EQ(vm.exceptionMessage(), "CreateProcess failed, error=5");
}

TEST_F(FailureReport, MissingExceptionClassLeavesTheVmErrorPending) {
    jvmStubAnswerZero();
    vm.failNth(host::JniOp::FIND_CLASS, 1);

    SetLastError(ERROR_FILE_NOT_FOUND);
    throwLastError(vm.env(), "CreateProcess");

    EXPECT_EQ(vm.calls(host::JniOp::FIND_CLASS), 1);
    EXPECT_EQ(vm.exceptionClass(), "java/lang/OutOfMemoryError");
    EXPECT_EQ(vm.exceptionMessage().find("CreateProcess"), std::string::npos);
    EXPECT_TRUE(vm.violations().empty()) << "nothing may be raised over the VM's error";
}

}  // namespace
