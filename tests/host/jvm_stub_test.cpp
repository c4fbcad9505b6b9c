// The jvm.dll stand-in: its exports are found by the decorated names the
// library imports, and each answer mode does exactly what tests expect of it.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <thread>

#include "jvm_control.h"

namespace {

using GetLastErrorString = int(__stdcall *)(char *buf, int len);
using GetThreadInterruptEvent = HANDLE(__stdcall *)();

constexpr int BUFFER_BYTES = 256;

std::string systemText(DWORD error) {
    char text[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, text, sizeof text, nullptr);
    std::string result(text, n);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n')) {
        result.pop_back();
    }
    return result;
}

class JvmStubTest : public ::testing::Test {
protected:
    void SetUp() override {
        jvmStubReset();
        HMODULE jvm = GetModuleHandleW(L"jvm.dll");
        ASSERT_NE(jvm, nullptr);
        errorString_ = reinterpret_cast<GetLastErrorString>(
            reinterpret_cast<void *>(GetProcAddress(jvm, "_JVM_GetLastErrorString@8")));
        interruptEvent_ = reinterpret_cast<GetThreadInterruptEvent>(
            reinterpret_cast<void *>(GetProcAddress(jvm, "_JVM_GetThreadInterruptEvent@0")));
        ASSERT_NE(errorString_, nullptr);
        ASSERT_NE(interruptEvent_, nullptr);
        memset(buffer_, '#', sizeof buffer_);
    }

    void TearDown() override { jvmStubReset(); }

    bool bufferUntouched() const {
        for (char c : buffer_) {
            if (c != '#') {
                return false;
            }
        }
        return true;
    }

    GetLastErrorString errorString_ = nullptr;
    GetThreadInterruptEvent interruptEvent_ = nullptr;
    char buffer_[BUFFER_BYTES];
};

TEST_F(JvmStubTest, SystemTextIsTheTrimmedMessageOfTheThreadsLastError) {
    std::string expected = systemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(expected.empty());

    SetLastError(ERROR_FILE_NOT_FOUND);
    int result = errorString_(buffer_, BUFFER_BYTES);

    EXPECT_EQ(std::string(buffer_), expected);
    EXPECT_EQ(result, static_cast<int>(expected.size()));
    EXPECT_EQ(jvmStubErrorTextCalls(), 1);
    EXPECT_EQ(jvmStubLastErrorTextLength(), BUFFER_BYTES);
    EXPECT_EQ(jvmStubLastErrorOnEntry(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(JvmStubTest, SystemTextIsNothingWithoutAnError) {
    SetLastError(0);
    EXPECT_EQ(errorString_(buffer_, BUFFER_BYTES), 0);
    EXPECT_TRUE(bufferUntouched());
}

TEST_F(JvmStubTest, GivenTextIsCopiedAndCutToTheCallersLength) {
    struct Case {
        std::string text;
        bool withResult;
        int result;
        int len;
        int expectedResult;
        std::string expectedText;
    };
    const std::string longText(300, 'a');
    const Case cases[] = {
        {"The system cannot find the file specified", false, 0, BUFFER_BYTES, 41,
         "The system cannot find the file specified"},
        {longText, false, 0, BUFFER_BYTES, 255, std::string(255, 'a')},
        {"fixed", true, 7, BUFFER_BYTES, 7, "fixed"},
        {"", true, 5, BUFFER_BYTES, 5, ""},
        {"abcdef", false, 0, 4, 3, "abc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 20) + " len " + std::to_string(c.len));
        if (c.withResult) {
            jvmStubAnswerTextWithResult(c.text.c_str(), c.result);
        } else {
            jvmStubAnswerText(c.text.c_str());
        }
        memset(buffer_, '#', sizeof buffer_);
        EXPECT_EQ(errorString_(buffer_, c.len), c.expectedResult);
        EXPECT_EQ(std::string(buffer_), c.expectedText);
    }
}

TEST_F(JvmStubTest, ZeroAndMinusOneLeaveTheBufferAlone) {
    jvmStubAnswerZero();
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(errorString_(buffer_, BUFFER_BYTES), 0);
    EXPECT_TRUE(bufferUntouched());

    jvmStubAnswerMinusOne();
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(errorString_(buffer_, BUFFER_BYTES), -1);
    EXPECT_TRUE(bufferUntouched());
    EXPECT_EQ(jvmStubErrorTextCalls(), 2);
}

TEST_F(JvmStubTest, ClobberReplacesTheLastErrorOnlyAfterReadingIt) {
    jvmStubClobberLastError(TRUE, 0);
    SetLastError(ERROR_ACCESS_DENIED);

    int result = errorString_(buffer_, BUFFER_BYTES);

    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(jvmStubLastErrorOnEntry(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(std::string(buffer_), systemText(ERROR_ACCESS_DENIED));
    EXPECT_GT(result, 0);
}

TEST_F(JvmStubTest, EachThreadHasItsOwnManualResetEvent) {
    DWORD self = GetCurrentThreadId();
    EXPECT_EQ(jvmStubInterruptEventState(self), JVM_EVENT_NONE);

    HANDLE mine = interruptEvent_();
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(interruptEvent_(), mine);
    EXPECT_EQ(jvmStubInterruptEvent(self), mine);

    HANDLE theirs = nullptr;
    DWORD theirId = 0;
    std::thread other([&] {
        theirs = interruptEvent_();
        theirId = GetCurrentThreadId();
    });
    other.join();
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(jvmStubInterruptEvent(theirId), theirs);
    EXPECT_EQ(jvmStubInterruptEventCalls(), 3);

    EXPECT_EQ(jvmStubInterruptEventState(self), JVM_EVENT_CLEAR);
    EXPECT_TRUE(jvmStubInterrupt(self));
    // Manual reset: a satisfied wait leaves it signalled.
    EXPECT_EQ(WaitForSingleObject(mine, 0), WAIT_OBJECT_0);
    EXPECT_EQ(jvmStubInterruptEventState(self), JVM_EVENT_SIGNALLED);
    EXPECT_EQ(jvmStubInterruptEventState(theirId), JVM_EVENT_CLEAR);
    EXPECT_TRUE(jvmStubClearInterrupt(self));
    EXPECT_EQ(jvmStubInterruptEventState(self), JVM_EVENT_CLEAR);
}

TEST_F(JvmStubTest, AClosedEventIsSeenEvenWhenItsValueIsReused) {
    DWORD self = GetCurrentThreadId();
    HANDLE event = interruptEvent_();
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_EQ(jvmStubInterruptEventState(self), JVM_EVENT_CLOSED);

    // Windows hands the freed value out again; it must still count as closed,
    // and the stand-in must not close the newcomer when it resets.
    HANDLE reuse = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(reuse, nullptr);
    EXPECT_EQ(jvmStubInterruptEventState(self), JVM_EVENT_CLOSED);
    EXPECT_FALSE(jvmStubInterrupt(self));
    jvmStubReset();
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(reuse, &flags));
    CloseHandle(reuse);
}

TEST_F(JvmStubTest, ResetForgetsEveryEvent) {
    DWORD self = GetCurrentThreadId();
    ASSERT_NE(interruptEvent_(), nullptr);
    ASSERT_TRUE(jvmStubInterrupt(self));
    jvmStubReset();
    EXPECT_EQ(jvmStubInterruptEventState(self), JVM_EVENT_NONE);
    EXPECT_EQ(jvmStubInterruptEventCalls(), 0);
    HANDLE fresh = interruptEvent_();
    EXPECT_EQ(WaitForSingleObject(fresh, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
