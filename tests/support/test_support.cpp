#include "test_support.h"

#include <gtest/gtest.h>

#include "jvm_control.h"
#include "quillstead_library.h"

#include <algorithm>

#include <stdio.h>
#include <stdlib.h>

namespace testsupport {

void LibraryTest::SetUp() {
    // Children these tests start end with the program, even when a watchdog ends it.
    ASSERT_TRUE(endChildrenWithThisProgram()) << "error " << GetLastError();
    ASSERT_TRUE(library.load()) << library.error();
    jvmStubReset();
}

void LibraryTest::TearDown() {
    for (const std::string &violation : vm.violations()) {
        ADD_FAILURE() << "JNI rule broken: " << violation;
    }
    EXPECT_EQ(vm.outstandingBorrows(), 0) << "JNI buffers not given back";
    jvmStubReset();
}

CreateCall callCreate(const host::QuillsteadApi &api, host::HostVm &vm,
                      const CreateArguments &arguments) {
    CreateCall call;
    call.commandLine = vm.newString(arguments.commandLine);
    if (arguments.envBlock) {
        call.envBlock = vm.newString(*arguments.envBlock);
    }
    if (arguments.directory) {
        call.directory = vm.newString(*arguments.directory);
    }
    call.slotArray = vm.newLongArray(arguments.slots);
    call.process = api.create(vm.env(), nullptr, call.commandLine, call.envBlock, call.directory,
                              call.slotArray, arguments.mergeStderr ? JNI_TRUE : JNI_FALSE);
    call.slots = vm.longArrayElements(call.slotArray);
    return call;
}

void closeHandedOut(const host::QuillsteadApi &api, JNIEnv *env, const CreateCall &call) {
    if (call.process != 0) {
        api.closeHandle(env, nullptr, call.process);
    }
    // Elements past the third are not slots: create leaves them alone.
    for (size_t i = 0; i < call.slots.size() && i < 3; ++i) {
        if (call.slots[i] != NO_HANDLE) {
            api.closeHandle(env, nullptr, call.slots[i]);
        }
    }
}

PipeEnds pipeEndsOf(const std::vector<jlong> &slotsIn, bool mergeStderr) {
    PipeEnds ends;
    std::fill(ends.read, ends.read + 3, INVALID_HANDLE_VALUE);
    std::fill(ends.write, ends.write + 3, INVALID_HANDLE_VALUE);
    const std::vector<host::hooks::CreatePipeCapture> pipes = host::hooks::createPipeCaptures();
    size_t next = 0;
    for (int stream = 0; stream < 3 && next < pipes.size(); ++stream) {
        if (slotsIn[stream] != NO_HANDLE || (stream == 2 && mergeStderr)) {
            continue;
        }
        const host::hooks::CreatePipeCapture &pipe = pipes[next++];
        if (pipe.result) {
            ends.read[stream] = pipe.readEnd;
            ends.write[stream] = pipe.writeEnd;
        }
    }
    return ends;
}

void HookedLibraryTest::SetUp() {
    LibraryTest::SetUp();
    if (!HasFatalFailure()) {
        hooks_ = std::make_unique<host::hooks::Scope>(library.module());
    }
}

void HookedLibraryTest::TearDown() {
    hooks_.reset();
    LibraryTest::TearDown();
}

std::wstring childCommand(const std::wstring &commands) {
    std::wstring command = L"\"" + host::programDirectory() + L"quill_child.exe\"";
    if (!commands.empty()) {
        command += L" " + commands;
    }
    return command;
}

HANDLE startChild(const std::wstring &commands, HANDLE input, HANDLE output, HANDLE error) {
    EXPECT_TRUE(endChildrenWithThisProgram()) << "error " << GetLastError();
    std::wstring commandLine = childCommand(commands);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, &commandLine[0], NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL,
                        &startup, &process)) {
        ADD_FAILURE() << "CreateProcessW of quill_child.exe failed, error " << GetLastError();
        return NULL;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

ChildGuard::~ChildGuard() {
    reset(NULL);
}

void ChildGuard::reset(HANDLE process) {
    if (process_ != NULL) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 10000);
        }
        CloseHandle(process_);
    }
    process_ = process;
}

HANDLE ChildGuard::release() {
    HANDLE process = process_;
    process_ = NULL;
    return process;
}

bool endChildrenWithThisProgram() {
    // The job handle is never closed: its closing, when the program ends, is
    // what ends the children.
    static const bool joined = [] {
        HANDLE job = CreateJobObjectW(NULL, NULL);
        if (job == NULL) {
            return false;
        }
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                       sizeof limits) &&
               AssignProcessToJobObject(job, GetCurrentProcess());
    }();
    return joined;
}

CallerHandles::CallerHandles() {
    for (HANDLE &handle : handles_) {
        handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (handle == nullptr) {
            ADD_FAILURE() << "CreateEventW failed, error " << GetLastError();
        }
    }
}

CallerHandles::~CallerHandles() {
    for (HANDLE handle : handles_) {
        CloseHandle(handle);
    }
}

std::string readAll(HANDLE pipe, DWORD watchdogMilliseconds) {
    Watchdog watchdog("reading a pipe to end-of-file", watchdogMilliseconds);
    std::string data;
    char buffer[4096];
    DWORD got = 0;
    // ERROR_BROKEN_PIPE is how an anonymous pipe says end-of-file.
    while (ReadFile(pipe, buffer, sizeof buffer, &got, NULL) && got > 0) {
        data.append(buffer, got);
    }
    return data;
}

bool writeAll(HANDLE handle, const std::string &text) {
    size_t offset = 0;
    while (offset < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + offset, static_cast<DWORD>(text.size() - offset),
                       &written, NULL)) {
            return false;
        }
        offset += written;
    }
    return true;
}

bool isOpenHandle(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

bool isInheritable(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) && (flags & HANDLE_FLAG_INHERIT) != 0;
}

}  // namespace testsupport
