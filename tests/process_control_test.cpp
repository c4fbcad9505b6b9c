// The process-control methods against real child processes under Wine,
// reached through the DLL's exports as a VM reaches them.
#include <gtest/gtest.h>

#include <string>

#include "import_hooks.h"
#include "jvm_control.h"
#include "test_support.h"

namespace {

using testsupport::ChildGuard;
using testsupport::fromJava;
using testsupport::NO_HANDLE;
using testsupport::startChild;
using testsupport::toJava;
using testsupport::Watchdog;

constexpr jint STILL_ACTIVE_CODE = 259;
constexpr DWORD WATCHDOG_MS = 30000;

class ProcessControl : public testsupport::LibraryTest {
protected:
    // Waits through the library, under a watchdog, and expects no exception.
    void waitThroughLibrary(HANDLE process) {
        Watchdog watchdog("waitForInterruptibly", WATCHDOG_MS);
        api().waitForInterruptibly(env(), nullptr, toJava(process));
        EXPECT_FALSE(vm.exceptionPending()) << vm.exceptionMessage();
    }
};

TEST_F(ProcessControl, StillActiveIs259) {
    EXPECT_EQ(api().getStillActive(env(), nullptr), STILL_ACTIVE_CODE);
}

struct ExitCase {
    const char *code;
    jint expected;
};

class ExitCodes : public ProcessControl, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodes, ReadBackAfterTheWait) {
    ChildGuard child(
        startChild(std::wstring(L"exit ") +
                   std::wstring(GetParam().code, GetParam().code + strlen(GetParam().code))));
    ASSERT_NE(child.get(), nullptr);

    waitThroughLibrary(child.get());

    EXPECT_EQ(api().getExitCodeProcess(env(), nullptr, toJava(child.get())), GetParam().expected);
    EXPECT_FALSE(vm.exceptionPending());
}

// 259 comes back as 259: by its exit code alone such a process looks alive.
// Codes of 2^31 and above come back negative.
INSTANTIATE_TEST_SUITE_P(Values, ExitCodes,
                         ::testing::Values(ExitCase{"0", 0}, ExitCase{"7", 7},
                                           ExitCase{"259", STILL_ACTIVE_CODE},
                                           ExitCase{"0xC0000005", -1073741819},
                                           ExitCase{"0xFFFFFFFF", -1}));

TEST_F(ProcessControl, RunningThenKilled) {
    ChildGuard child(startChild(L"sleep 60000"));
    ASSERT_NE(child.get(), nullptr);

    EXPECT_EQ(api().getExitCodeProcess(env(), nullptr, toJava(child.get())), STILL_ACTIVE_CODE);

    api().terminateProcess(env(), nullptr, toJava(child.get()));
    waitThroughLibrary(child.get());

    EXPECT_EQ(api().getExitCodeProcess(env(), nullptr, toJava(child.get())), 1);
    EXPECT_FALSE(vm.exceptionPending());
}

TEST_F(ProcessControl, WaitOnEndedProcessReturns) {
    ChildGuard child(startChild(L"exit 3"));
    ASSERT_NE(child.get(), nullptr);
    ASSERT_EQ(WaitForSingleObject(child.get(), WATCHDOG_MS), WAIT_OBJECT_0);

    waitThroughLibrary(child.get());
    waitThroughLibrary(child.get());
}

TEST_F(ProcessControl, WaitsOnProcessThenInterruptEvent) {
    ChildGuard child(startChild(L"exit 0"));
    ASSERT_NE(child.get(), nullptr);
    host::hooks::Scope hooks(library.module());

    waitThroughLibrary(child.get());

    const auto waits = host::hooks::calls(host::hooks::Api::WAIT_FOR_MULTIPLE_OBJECTS);
    ASSERT_EQ(waits.size(), 1u);
    const auto &wait = waits[0];
    EXPECT_EQ(wait.args[0], 2u) << "two objects";
    EXPECT_EQ(wait.args[2], static_cast<uintptr_t>(FALSE)) << "any one of them, not all";
    EXPECT_EQ(wait.args[3], static_cast<uintptr_t>(INFINITE));
    ASSERT_EQ(wait.values.size(), 2u);
    EXPECT_EQ(wait.values[0], reinterpret_cast<uintptr_t>(child.get()));
    EXPECT_EQ(wait.values[1],
              reinterpret_cast<uintptr_t>(jvmStubInterruptEvent(GetCurrentThreadId())));
    EXPECT_EQ(jvmStubInterruptEventCalls(), 1);
}

struct InterruptedWait {
    const host::QuillsteadApi *api;
    JNIEnv *env;
    HANDLE process;
    bool exceptionPending;
};

DWORD WINAPI waitOnOtherThread(void *argument) {
    InterruptedWait *wait = static_cast<InterruptedWait *>(argument);
    wait->api->waitForInterruptibly(wait->env, nullptr, toJava(wait->process));
    return 0;
}

TEST_F(ProcessControl, InterruptEndsTheWait) {
    ChildGuard child(startChild(L"sleep 60000"));
    ASSERT_NE(child.get(), nullptr);
    // The waiting thread has a VM of its own, as a Java thread has its JNIEnv.
    host::HostVm waiterVm;
    InterruptedWait wait = {&api(), waiterVm.env(), child.get(), false};
    DWORD waiterId = 0;
    HANDLE waiter = CreateThread(nullptr, 0, waitOnOtherThread, &wait, 0, &waiterId);
    ASSERT_NE(waiter, nullptr);
    HANDLE event = jvmStubInterruptEvent(waiterId);

    EXPECT_EQ(WaitForSingleObject(waiter, 300), WAIT_TIMEOUT) << "returned while the child runs";
    ASSERT_TRUE(jvmStubInterrupt(waiterId));
    EXPECT_EQ(WaitForSingleObject(waiter, WATCHDOG_MS), WAIT_OBJECT_0) << "interrupt ignored";
    CloseHandle(waiter);

    EXPECT_FALSE(waiterVm.exceptionPending()) << waiterVm.exceptionMessage();
    EXPECT_TRUE(waiterVm.violations().empty());
    // The event is the VM's: still open, still signalled, still the same.
    EXPECT_EQ(jvmStubInterruptEventState(waiterId), JVM_EVENT_SIGNALLED);
    EXPECT_EQ(jvmStubInterruptEvent(waiterId), event);
    EXPECT_EQ(api().getExitCodeProcess(env(), nullptr, toJava(child.get())), STILL_ACTIVE_CODE);
}

TEST_F(ProcessControl, HighBitsOfTheHandleAreIgnored) {
    ChildGuard child(startChild(L"sleep 60000"));
    ASSERT_NE(child.get(), nullptr);
    const jlong widened = toJava(child.get()) | static_cast<jlong>(0x5A5A000100000000LL);

    EXPECT_EQ(api().getExitCodeProcess(env(), nullptr, widened), STILL_ACTIVE_CODE);
    api().terminateProcess(env(), nullptr, widened);
    {
        Watchdog watchdog("waitForInterruptibly", WATCHDOG_MS);
        api().waitForInterruptibly(env(), nullptr, widened);
    }
    EXPECT_EQ(api().getExitCodeProcess(env(), nullptr, widened), 1);
    EXPECT_FALSE(vm.exceptionPending()) << vm.exceptionMessage();

    HANDLE process = child.release();
    api().closeHandle(env(), nullptr, widened);
    EXPECT_FALSE(testsupport::isOpenHandle(process));
}

// A handle that has been closed: its number names nothing any more. The
// thread's interrupt event is made first, or Windows could hand the freed
// number to it when the library asks for it.
HANDLE closedHandle() {
    jvmStubInterruptEvent(GetCurrentThreadId());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(event);
    return event;
}

TEST_F(ProcessControl, ExitCodeOfClosedHandleRaises) {
    jvmStubAnswerZero();
    api().getExitCodeProcess(env(), nullptr, toJava(closedHandle()));
    EXPECT_EQ(vm.exceptionClass(), "java/io/IOException");
    EXPECT_EQ(vm.exceptionMessage(), "GetExitCodeProcess failed, error=6");
}

TEST_F(ProcessControl, WaitOnClosedHandleRaises) {
    jvmStubAnswerZero();
    {
        Watchdog watchdog("waitForInterruptibly", WATCHDOG_MS);
        api().waitForInterruptibly(env(), nullptr, toJava(closedHandle()));
    }
    EXPECT_EQ(vm.exceptionClass(), "java/io/IOException");
    EXPECT_EQ(vm.exceptionMessage(), "WaitForMultipleObjects failed, error=6");
}

TEST_F(ProcessControl, FailureMessageCarriesTheVmText) {
    // The stand-in's default answer is the system's text for the error.
    api().getExitCodeProcess(env(), nullptr, toJava(closedHandle()));
    const std::string message = vm.exceptionMessage();
    EXPECT_EQ(message.rfind("GetExitCodeProcess error=6, ", 0), 0u) << message;
    EXPECT_GT(message.size(), strlen("GetExitCodeProcess error=6, ")) << message;
}

TEST_F(ProcessControl, KillAndCloseReportNothing) {
    const jlong invalid[] = {toJava(closedHandle()), 0, 0x12345678};
    for (jlong handle : invalid) {
        api().terminateProcess(env(), nullptr, handle);
        api().closeHandle(env(), nullptr, handle);
        EXPECT_FALSE(vm.exceptionPending()) << "handle " << handle;
    }
}

TEST_F(ProcessControl, KillingNoHandleLeavesTheCallerAlive) {
    // NO_HANDLE's low part is the calling process's own pseudo-handle; were
    // it passed on, this test program would end here with exit code 1.
    api().terminateProcess(env(), nullptr, NO_HANDLE);
    api().terminateProcess(env(), nullptr, 0xFFFFFFFFLL);
    EXPECT_FALSE(vm.exceptionPending());
}

}  // namespace
