// Unprovided function-table slots: a call ends the process with a message
// naming the slot. Each case runs the probe program as a child.
#include <gtest/gtest.h>

#include <windows.h>

#include <stddef.h>

#include <string>

#include "host_vm.h"
#include "quillstead_library.h"

namespace {

// A hang guard for the child, not a timing assertion.
constexpr DWORD WATCHDOG_MS = 60000;

struct ChildResult {
    bool finished;
    DWORD exitCode;
    std::string stderrText;
};

ChildResult runProbe(const std::string &slotName) {
    ChildResult result{false, 0, ""};
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return result;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    startup.hStdOutput = writeEnd;
    std::wstring commandLine = L"\"" + host::programDirectory() + L"host_jni_trap_probe.exe\" " +
                               std::wstring(slotName.begin(), slotName.end());
    PROCESS_INFORMATION info{};
    BOOL created = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &info);
    CloseHandle(writeEnd);
    if (created) {
        CloseHandle(info.hThread);
        result.finished = WaitForSingleObject(info.hProcess, WATCHDOG_MS) == WAIT_OBJECT_0;
        if (!result.finished) {
            TerminateProcess(info.hProcess, 1);
        }
        GetExitCodeProcess(info.hProcess, &result.exitCode);
        CloseHandle(info.hProcess);
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            result.stderrText.append(buffer, got);
        }
    }
    CloseHandle(readEnd);
    return result;
}

constexpr size_t slotOf(size_t offset) {
    return offset / sizeof(void *);
}

TEST(JniTrap, AnUnprovidedSlotEndsTheProcessNamingTheSlot) {
    struct Case {
        const char *name;
        size_t slot;
    };
    const Case cases[] = {
        {"GetVersion", slotOf(offsetof(JNINativeInterface_, GetVersion))},
        {"ExceptionDescribe", slotOf(offsetof(JNINativeInterface_, ExceptionDescribe))},
        {"CallStaticVoidMethodA", slotOf(offsetof(JNINativeInterface_, CallStaticVoidMethodA))},
        {"NewStringUTF", slotOf(offsetof(JNINativeInterface_, NewStringUTF))},
        {"GetStringUTFChars", slotOf(offsetof(JNINativeInterface_, GetStringUTFChars))},
        {"GetModule", slotOf(offsetof(JNINativeInterface_, GetModule))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ChildResult child = runProbe(c.name);
        ASSERT_TRUE(child.finished) << "the probe hung";
        EXPECT_EQ(child.exitCode, static_cast<DWORD>(host::JNI_TRAP_EXIT_CODE));
        EXPECT_NE(child.stderrText.find("JNI function table slot " + std::to_string(c.slot) +
                                        " is not provided by the host VM"),
                  std::string::npos)
            << child.stderrText;
    }
}

TEST(JniTrap, TheProbeItselfSucceedsWithoutASlot) {
    ChildResult child = runProbe("");
    ASSERT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, 0u);
}

}  // namespace
