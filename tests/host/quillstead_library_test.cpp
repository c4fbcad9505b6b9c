// The loader: Quillstead.dll is reached as a VM reaches it, by decorated
// export names, and it binds to this jvm.dll stand-in.
#include <gtest/gtest.h>

#include <stdint.h>

#include <thread>

#include "host_vm.h"
#include "jvm_control.h"
#include "quillstead_library.h"

namespace {

// A hang guard, not a timing assertion.
constexpr DWORD WATCHDOG_MS = 60000;

TEST(QuillsteadLibrary, LoadsAndResolvesEveryNativeMethod) {
    host::QuillsteadLibrary library;
    ASSERT_TRUE(library.load()) << library.error();
    EXPECT_TRUE(library.loaded());
    const host::QuillsteadApi &api = library.api();
    EXPECT_NE(api.create, nullptr);
    EXPECT_NE(api.getExitCodeProcess, nullptr);
    EXPECT_NE(api.waitForInterruptibly, nullptr);
    EXPECT_NE(api.terminateProcess, nullptr);
    EXPECT_NE(api.closeHandle, nullptr);
    EXPECT_NE(api.environmentBlock, nullptr);
    ASSERT_NE(api.getStillActive, nullptr);
    host::HostVm vm;
    // A wrongly typed pointer would unbalance the stack across this call.
    EXPECT_EQ(api.getStillActive(vm.env(), nullptr), 259);
    EXPECT_EQ(api.getStillActive(vm.env(), vm.classObject("x")), 259);
}

TEST(QuillsteadLibrary, MissingExportsAreNamed) {
    host::QuillsteadLibrary library;
    // The stand-in loads fine but exports none of the native methods.
    EXPECT_FALSE(library.load(L"jvm.dll"));
    EXPECT_FALSE(library.loaded());
    EXPECT_NE(library.error().find("_Java_com_brennock_process_WindowsProcessImpl_create@28"),
              std::string::npos)
        << library.error();
    EXPECT_NE(library.error().find(
                  "_Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock@8"),
              std::string::npos)
        << library.error();
}

TEST(QuillsteadLibrary, AMissingFileIsReported) {
    host::QuillsteadLibrary library;
    EXPECT_FALSE(library.load(L"NoSuchLibrary.dll"));
    EXPECT_NE(library.error().find("cannot load"), std::string::npos) << library.error();
    EXPECT_NE(library.error().find("NoSuchLibrary.dll"), std::string::npos) << library.error();
}

TEST(QuillsteadLibrary, UnloadReleasesTheModule) {
    {
        host::QuillsteadLibrary library;
        ASSERT_TRUE(library.load()) << library.error();
        EXPECT_EQ(GetModuleHandleW(L"Quillstead.dll"), library.module());
        library.unload();
        EXPECT_FALSE(library.loaded());
    }
    EXPECT_EQ(GetModuleHandleW(L"Quillstead.dll"), nullptr);
}

// The library's import of the VM's interrupt event reaches the stand-in
// this program controls: with the thread's interrupt already signalled, a
// wait on a process that never ends returns at once.
TEST(QuillsteadLibrary, TheLibraryBindsToThisJvmStandIn) {
    jvmStubReset();
    host::QuillsteadLibrary library;
    ASSERT_TRUE(library.load()) << library.error();
    HANDLE neverEnds = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD waiterId = 0;
    bool violationsFree = false;
    std::thread waiter([&] {
        host::HostVm vm;
        waiterId = GetCurrentThreadId();
        jvmStubInterrupt(waiterId);
        library.api().waitForInterruptibly(
            vm.env(), nullptr, static_cast<jlong>(reinterpret_cast<uintptr_t>(neverEnds)));
        violationsFree = vm.violations().empty() && !vm.exceptionPending();
        SetEvent(done);
    });
    bool returned = WaitForSingleObject(done, WATCHDOG_MS) == WAIT_OBJECT_0;
    if (!returned) {
        SetEvent(neverEnds);  // frees the waiter so the test can end
    }
    waiter.join();
    EXPECT_TRUE(returned) << "the interrupt event did not end the wait";
    EXPECT_TRUE(violationsFree);
    EXPECT_EQ(jvmStubInterruptEventCalls(), 1);
    EXPECT_EQ(jvmStubInterruptEventState(waiterId), JVM_EVENT_SIGNALLED);
    CloseHandle(neverEnds);
    CloseHandle(done);
    jvmStubReset();
}

}  // namespace
