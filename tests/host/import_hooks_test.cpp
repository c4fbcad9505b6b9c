// Import-table hooks, installed on this test program's own imports (every
// function is called here, so every one is imported) and on the library's.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <string>

#include "host_vm.h"
#include "import_hooks.h"
#include "jvm_control.h"
#include "quillstead_library.h"

namespace {

namespace hooks = host::hooks;
using hooks::Api;

// A hang guard for children, not a timing assertion.
constexpr DWORD WATCHDOG_MS = 60000;

HMODULE self() {
    return GetModuleHandleW(nullptr);
}

bool contains(const std::vector<Api> &apis, Api api) {
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

bool isOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(ImportHooks, InstallReportsWhatWasHooked) {
    hooks::Scope scope(self(), {Api::CREATE_PIPE, Api::CLOSE_HANDLE});
    std::vector<Api> hooked = scope.hooked();
    std::sort(hooked.begin(), hooked.end());
    EXPECT_EQ(hooked, (std::vector<Api>{Api::CLOSE_HANDLE, Api::CREATE_PIPE}));
}

TEST(ImportHooks, EveryFunctionIsFoundInAProgramThatImportsIt) {
    hooks::Scope scope(self());
    for (size_t i = 0; i < static_cast<size_t>(Api::COUNT); ++i) {
        Api api = static_cast<Api>(i);
        EXPECT_TRUE(contains(scope.hooked(), api)) << hooks::apiName(api);
    }
}

// Its own function, so that every call loads the import entry afresh: within
// one function the compiler may keep an import's address in a register.
__attribute__((noinline)) void pipeRoundTrip(HANDLE *readEnd, HANDLE *writeEnd) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    ASSERT_TRUE(CreatePipe(readEnd, writeEnd, &inherit, 4120));
    SetHandleInformation(*writeEnd, HANDLE_FLAG_INHERIT, 0);
    CloseHandle(*readEnd);
    CloseHandle(*writeEnd);
}

TEST(ImportHooks, CallsAreLoggedInOrderUntilUninstalled) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    {
        hooks::Scope scope(self(),
                           {Api::CREATE_PIPE, Api::SET_HANDLE_INFORMATION, Api::CLOSE_HANDLE});
        pipeRoundTrip(&readEnd, &writeEnd);

        std::vector<hooks::Call> log = hooks::log();
        ASSERT_EQ(log.size(), 4u);
        EXPECT_EQ(log[0].api, Api::CREATE_PIPE);
        EXPECT_EQ(log[0].values, (std::vector<uintptr_t>{reinterpret_cast<uintptr_t>(readEnd),
                                                         reinterpret_cast<uintptr_t>(writeEnd)}));
        EXPECT_EQ(log[1].api, Api::SET_HANDLE_INFORMATION);
        EXPECT_EQ(log[1].args, (std::vector<uintptr_t>{reinterpret_cast<uintptr_t>(writeEnd),
                                                       HANDLE_FLAG_INHERIT, 0}));
        EXPECT_EQ(log[2].args[0], reinterpret_cast<uintptr_t>(readEnd));
        EXPECT_EQ(log[3].args[0], reinterpret_cast<uintptr_t>(writeEnd));
        EXPECT_EQ(log[3].result, 1u);
        for (const hooks::Call &call : log) {
            EXPECT_FALSE(call.faulted);
            EXPECT_EQ(call.threadId, GetCurrentThreadId());
        }

        std::vector<hooks::CreatePipeCapture> pipes = hooks::createPipeCaptures();
        ASSERT_EQ(pipes.size(), 1u);
        EXPECT_FALSE(pipes[0].attributesNull);
        EXPECT_EQ(pipes[0].attributes.nLength, sizeof(SECURITY_ATTRIBUTES));
        EXPECT_EQ(pipes[0].attributes.lpSecurityDescriptor, nullptr);
        EXPECT_TRUE(pipes[0].attributes.bInheritHandle);
        EXPECT_EQ(pipes[0].size, 4120u);
        EXPECT_EQ(pipes[0].readEnd, readEnd);
        EXPECT_EQ(pipes[0].writeEnd, writeEnd);
        EXPECT_EQ(hooks::createdHandles().size(), 2u);
        EXPECT_TRUE(hooks::unclosedHandles().empty());
    }
    pipeRoundTrip(&readEnd, &writeEnd);
    std::string logged;
    for (const hooks::Call &call : hooks::log()) {
        logged += std::string(hooks::apiName(call.api)) + " ";
    }
    EXPECT_EQ(logged, "") << "calls after uninstall go straight to Windows";
}

TEST(ImportHooks, HandlesTheCallerCreatedAndClosedAreTracked) {
    hooks::Scope scope(self(), {Api::CREATE_PIPE, Api::CLOSE_HANDLE});
    HANDLE first[2];
    HANDLE second[2];
    ASSERT_TRUE(CreatePipe(&first[0], &first[1], nullptr, 0));
    CloseHandle(first[0]);
    CloseHandle(first[1]);
    // Closed values come back from Windows; the record of a new one must
    // not be taken for the old closed one.
    ASSERT_TRUE(CreatePipe(&second[0], &second[1], nullptr, 0));
    CloseHandle(second[1]);

    std::vector<hooks::CreatedHandle> created = hooks::createdHandles();
    ASSERT_EQ(created.size(), 4u);
    EXPECT_STREQ(created[0].role, "read end");
    EXPECT_STREQ(created[1].role, "write end");
    EXPECT_EQ(created[2].source, Api::CREATE_PIPE);
    std::vector<hooks::CreatedHandle> open = hooks::unclosedHandles();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].handle, second[0]);
    CloseHandle(second[0]);
    EXPECT_TRUE(hooks::unclosedHandles().empty());
}

TEST(ImportHooks, AnArmedFaultAnswersTheKthCallWithTheChosenError) {
    struct Case {
        Api api;
        std::function<uintptr_t()> call;
        uintptr_t failureValue;
    };
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    const Case cases[] = {
        {Api::CREATE_PIPE,
         [] {
             HANDLE r = nullptr;
             HANDLE w = nullptr;
             BOOL ok = CreatePipe(&r, &w, nullptr, 0);
             if (ok) {
                 CloseHandle(r);
                 CloseHandle(w);
             }
             return static_cast<uintptr_t>(ok);
         },
         FALSE},
        {Api::CLOSE_HANDLE,
         [] {
             HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
             BOOL ok = CloseHandle(h);
             if (!ok) {
                 EXPECT_TRUE(isOpen(h)) << "a failed close leaves the handle open";
             }
             return static_cast<uintptr_t>(ok);
         },
         FALSE},
        {Api::WAIT_FOR_MULTIPLE_OBJECTS,
         [event] { return static_cast<uintptr_t>(WaitForMultipleObjects(1, &event, FALSE, 0)); },
         WAIT_FAILED},
        {Api::GET_EXIT_CODE_PROCESS,
         [] {
             DWORD code = 0;
             return static_cast<uintptr_t>(GetExitCodeProcess(GetCurrentProcess(), &code));
         },
         FALSE},
        {Api::SET_HANDLE_INFORMATION,
         [event] {
             return static_cast<uintptr_t>(SetHandleInformation(event, HANDLE_FLAG_INHERIT, 0));
         },
         FALSE},
        {Api::GET_STRING_TYPE,
         [] {
             WORD type = 0;
             return static_cast<uintptr_t>(GetStringTypeW(CT_CTYPE1, L"a", 1, &type));
         },
         FALSE},
        {Api::GET_ENVIRONMENT_STRINGS,
         [] {
             LPWCH block = GetEnvironmentStringsW();
             if (block != nullptr) {
                 FreeEnvironmentStringsW(block);
             }
             return reinterpret_cast<uintptr_t>(block);
         },
         0},
    };
    const DWORD CHOSEN = 0x2468ACE;
    for (const Case &c : cases) {
        SCOPED_TRACE(hooks::apiName(c.api));
        hooks::Scope scope(self(), {c.api});
        ASSERT_EQ(scope.hooked(), std::vector<Api>{c.api});
        hooks::failNth(c.api, 2, CHOSEN);

        EXPECT_NE(c.call(), c.failureValue);
        SetLastError(0);
        EXPECT_EQ(c.call(), c.failureValue);
        EXPECT_EQ(GetLastError(), CHOSEN);
        EXPECT_NE(c.call(), c.failureValue);

        std::vector<hooks::Call> calls = hooks::calls(c.api);
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_FALSE(calls[0].faulted);
        EXPECT_TRUE(calls[1].faulted);
        EXPECT_EQ(calls[1].lastError, CHOSEN);
        EXPECT_FALSE(calls[2].faulted);
    }
    CloseHandle(event);
}

TEST(ImportHooks, TheRealFunctionsErrorReachesTheCaller) {
    hooks::Scope scope(self(), {Api::CLOSE_HANDLE, Api::GET_LAST_ERROR});
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(12345);
    EXPECT_EQ(GetLastError(), 12345u);

    std::vector<hooks::Call> closes = hooks::calls(Api::CLOSE_HANDLE);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].lastError, static_cast<DWORD>(ERROR_INVALID_HANDLE));
    std::vector<hooks::Call> reads = hooks::calls(Api::GET_LAST_ERROR);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].result, static_cast<uintptr_t>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(reads[1].result, 12345u);
}

TEST(ImportHooks, FakeCreateProcessCapturesEverythingPassed) {
    hooks::Scope scope(self(), {Api::CREATE_PROCESS, Api::CLOSE_HANDLE});
    hooks::fakeCreateProcess(true);
    wchar_t commandLine[] = L"prog.exe \"a b\"";
    // The block ends at its first pair of NULs; what follows is not part of it.
    const wchar_t environment[] = L"A=1\0=C:=C:\\x\0\0B=2\0\0";
    wchar_t directory[] = L"C:\\work";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = reinterpret_cast<HANDLE>(0x10);
    startup.hStdOutput = reinterpret_cast<HANDLE>(0x14);
    startup.hStdError = reinterpret_cast<HANDLE>(0x18);
    PROCESS_INFORMATION info{};

    ASSERT_TRUE(CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0x08000400,
                               const_cast<wchar_t *>(environment), directory, &startup, &info));

    std::vector<hooks::CreateProcessCapture> captures = hooks::createProcessCaptures();
    ASSERT_EQ(captures.size(), 1u);
    const hooks::CreateProcessCapture &c = captures[0];
    EXPECT_TRUE(c.faked);
    EXPECT_TRUE(c.applicationNameNull);
    EXPECT_EQ(c.commandLinePointer, commandLine);
    EXPECT_EQ(c.commandLine, u"prog.exe \"a b\"");
    EXPECT_TRUE(c.commandLineWritable);
    EXPECT_EQ(c.processAttributes, nullptr);
    EXPECT_EQ(c.threadAttributes, nullptr);
    EXPECT_TRUE(c.inheritHandles);
    EXPECT_EQ(c.creationFlags, 0x08000400u);
    EXPECT_EQ(c.environmentPointer, environment);
    EXPECT_EQ(c.environment, std::u16string(u"A=1\0=C:=C:\\x\0\0", 14));
    EXPECT_FALSE(c.directoryNull);
    EXPECT_EQ(c.directory, u"C:\\work");
    EXPECT_FALSE(c.startupInfoNull);
    EXPECT_EQ(memcmp(&c.startupInfo, &startup, sizeof startup), 0);
    EXPECT_TRUE(c.result);
    EXPECT_EQ(c.processInformation.hProcess, info.hProcess);
    EXPECT_EQ(c.processInformation.hThread, info.hThread);

    // The fake handles are real objects: closing them works and is tracked.
    ASSERT_EQ(hooks::unclosedHandles().size(), 2u);
    EXPECT_STREQ(hooks::unclosedHandles()[0].role, "process");
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(hooks::unclosedHandles().empty());
}

TEST(ImportHooks, CaptureTellsNullArgumentsAndReadOnlyCommandLines) {
    hooks::Scope scope(self(), {Api::CREATE_PROCESS, Api::CLOSE_HANDLE});
    hooks::fakeCreateProcess(true);
    static const wchar_t readOnly[] = L"prog.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const wchar_t emptyBlock[] = L"\0\0";
    ASSERT_TRUE(CreateProcessW(L"C:\\prog.exe", const_cast<wchar_t *>(readOnly), nullptr, nullptr,
                               FALSE, 0, const_cast<wchar_t *>(emptyBlock), nullptr, &startup,
                               &info));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    hooks::CreateProcessCapture c = hooks::createProcessCaptures().at(0);
    EXPECT_FALSE(c.commandLineWritable);
    EXPECT_FALSE(c.applicationNameNull);
    EXPECT_EQ(c.applicationName, u"C:\\prog.exe");
    EXPECT_TRUE(c.directoryNull);
    EXPECT_EQ(c.environment, std::u16string(u"\0\0", 2));
}

TEST(ImportHooks, RealCreateProcessStartsTheChild) {
    hooks::Scope scope(self(), {Api::CREATE_PROCESS, Api::CLOSE_HANDLE});
    std::wstring commandLine = L"\"" + host::programDirectory() + L"host_jni_trap_probe.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
    ASSERT_EQ(WaitForSingleObject(info.hProcess, WATCHDOG_MS), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, 0u);
    hooks::CreateProcessCapture c = hooks::createProcessCaptures().at(0);
    EXPECT_FALSE(c.faked);
    EXPECT_TRUE(c.environmentPointer == nullptr && c.environment.empty());
    EXPECT_EQ(hooks::unclosedHandles().size(), 2u);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_TRUE(hooks::unclosedHandles().empty());
}

TEST(ImportHooks, SuppliedEnvironmentIsHandedOutAndTakenBack) {
    hooks::Scope scope(self(), {Api::GET_ENVIRONMENT_STRINGS, Api::FREE_ENVIRONMENT_STRINGS});
    const std::u16string block(u"X=y\0=D:=D:\\\0\0", 13);
    hooks::supplyEnvironment(block);

    LPWCH handedOut = GetEnvironmentStringsW();
    ASSERT_NE(handedOut, nullptr);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t *>(handedOut), block.size()), block);
    EXPECT_NE(handedOut[block.size()], 0) << "no lucky NUL after the block";
    EXPECT_TRUE(FreeEnvironmentStringsW(handedOut));

    std::vector<hooks::Call> frees = hooks::calls(Api::FREE_ENVIRONMENT_STRINGS);
    ASSERT_EQ(frees.size(), 1u);
    EXPECT_EQ(frees[0].args[0], reinterpret_cast<uintptr_t>(handedOut));
    EXPECT_EQ(hooks::calls(Api::GET_ENVIRONMENT_STRINGS).at(0).result,
              reinterpret_cast<uintptr_t>(handedOut));

    hooks::reset();
    LPWCH own = GetEnvironmentStringsW();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(FreeEnvironmentStringsW(own));
}

TEST(ImportHooks, HeapBlocksAreTrackedUntilFreed) {
    hooks::Scope scope(self(), {Api::MALLOC, Api::FREE});
    // Through a volatile pointer, so the compiler cannot drop the pair.
    void *(*volatile allocate)(size_t) = malloc;
    void (*volatile release)(void *) = free;
    void *block = allocate(40);
    ASSERT_NE(block, nullptr);
    std::map<void *, size_t> live = hooks::liveBlocks();
    ASSERT_EQ(live.count(block), 1u);
    EXPECT_EQ(live[block], 40u);
    release(block);
    EXPECT_EQ(hooks::liveBlocks().count(block), 0u);
    std::vector<void *> unknown = hooks::unknownFrees();
    EXPECT_EQ(std::count(unknown.begin(), unknown.end(), block), 0);

    hooks::failNth(Api::MALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(allocate(40), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(hooks::calls(Api::MALLOC).back().faulted);
}

TEST(ImportHooks, CharacterTypesCanBeOverridden) {
    hooks::Scope scope(self(), {Api::GET_STRING_TYPE});
    const wchar_t units[] = {0xFFFF, L'a'};
    WORD types[2] = {};
    ASSERT_TRUE(GetStringTypeW(CT_CTYPE1, units, 2, types));
    const WORD systemAnswer = types[0];

    hooks::overrideCharType(0xFFFF, C1_ALPHA | C1_UPPER);
    ASSERT_TRUE(GetStringTypeW(CT_CTYPE1, units, 2, types));
    EXPECT_EQ(types[0], C1_ALPHA | C1_UPPER);
    EXPECT_NE(types[1] & C1_LOWER, 0);
    EXPECT_EQ(hooks::calls(Api::GET_STRING_TYPE).back().values,
              (std::vector<uintptr_t>{C1_ALPHA | C1_UPPER, types[1]}));

    hooks::reset();
    ASSERT_TRUE(GetStringTypeW(CT_CTYPE1, units, 2, types));
    EXPECT_EQ(types[0], systemAnswer);
}

TEST(ImportHooks, TheLibrarysOwnImportsAreIntercepted) {
    host::QuillsteadLibrary library;
    ASSERT_TRUE(library.load()) << library.error();
    host::HostVm vm;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE other = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        hooks::Scope scope(library.module());
        EXPECT_TRUE(contains(scope.hooked(), Api::CLOSE_HANDLE));
        EXPECT_TRUE(contains(scope.hooked(), Api::CREATE_PROCESS));
        EXPECT_TRUE(contains(scope.hooked(), Api::GET_LAST_ERROR));
        library.api().closeHandle(vm.env(), nullptr, reinterpret_cast<uintptr_t>(event));
        std::vector<hooks::Call> closes = hooks::calls(Api::CLOSE_HANDLE);
        ASSERT_EQ(closes.size(), 1u);
        EXPECT_EQ(closes[0].args[0], reinterpret_cast<uintptr_t>(event));
        EXPECT_FALSE(isOpen(event));
    }
    library.api().closeHandle(vm.env(), nullptr, reinterpret_cast<uintptr_t>(other));
    EXPECT_TRUE(hooks::log().empty());
    EXPECT_FALSE(isOpen(other));
    EXPECT_TRUE(vm.violations().empty());
}

}  // namespace
