// What the native tests share: the child program, a guard that kills a child
// a failed test left running, and a watchdog for anything that may block.
#ifndef QUILLSTEAD_TEST_SUPPORT_H
#define QUILLSTEAD_TEST_SUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host_vm.h"
#include "import_hooks.h"
#include "quillstead_library.h"
#include "watchdog.h"

namespace testsupport {

// NO_HANDLE as Java passes it: all 64 bits set.
constexpr jlong NO_HANDLE = -1;

inline jlong toJava(HANDLE handle) {
    return static_cast<jlong>(reinterpret_cast<uintptr_t>(handle));
}

inline HANDLE fromJava(jlong value) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

// Quillstead.dll loaded as a VM loads it, a fresh strict VM, and the jvm.dll
// stand-in back at its defaults. TearDown checks that the library kept the
// JNI rules.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const host::QuillsteadApi &api() const { return library.api(); }
    JNIEnv *env() { return vm.env(); }

    host::QuillsteadLibrary library;
    host::HostVm vm;
};

// create's arguments as Java would pass them; an empty optional is a null
// String.
struct CreateArguments {
    std::u16string commandLine;
    std::optional<std::u16string> envBlock;
    std::optional<std::u16string> directory;
    std::vector<jlong> slots = {NO_HANDLE, NO_HANDLE, NO_HANDLE};
    bool mergeStderr = false;
};

// One call of create: the Java objects it was given (to match them against
// the VM's records), its result and the slot array as Java sees it after.
struct CreateCall {
    jstring commandLine = nullptr;
    jstring envBlock = nullptr;
    jstring directory = nullptr;
    jlongArray slotArray = nullptr;
    jlong process = 0;
    std::vector<jlong> slots;
};

// Calls the exported create with the arguments made into Java objects of vm.
CreateCall callCreate(const host::QuillsteadApi &api, host::HostVm &vm,
                      const CreateArguments &arguments);

// Closes, through the library's closeHandle as Java does, the process handle
// and every one of the three slots that is not NO_HANDLE: what a successful
// create handed out.
void closeHandedOut(const host::QuillsteadApi &api, JNIEnv *env, const CreateCall &call);

// The pipe ends of one create call by stream (0 input, 1 output, 2 error),
// from the hooks' CreatePipe captures: the streams whose slot asked for a pipe
// (slot 2 not when merged) got them in wiring order. INVALID_HANDLE_VALUE
// where no pipe was made, or where its CreatePipe failed.
struct PipeEnds {
    HANDLE read[3];
    HANDLE write[3];
};
PipeEnds pipeEndsOf(const std::vector<jlong> &slotsIn, bool mergeStderr);

// A LibraryTest with the import hooks installed on the library for the whole
// test; they are removed before the library is unloaded.
class HookedLibraryTest : public LibraryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    CreateCall create(const CreateArguments &arguments) { return callCreate(api(), vm, arguments); }

private:
    std::unique_ptr<host::hooks::Scope> hooks_;
};

// UTF-16 units of a wide string (both are UTF-16 on Windows).
inline std::u16string units(const std::wstring &text) {
    return std::u16string(text.begin(), text.end());
}

// The full path of quill_child.exe, quoted, ready to start a command line.
std::wstring childCommand(const std::wstring &commands);

// Starts quill_child.exe directly with CreateProcessW (no library involved),
// with the given standard handles (NULL: none) inherited. Returns the process
// handle, or NULL after a failed test assertion.
HANDLE startChild(const std::wstring &commands, HANDLE input = NULL, HANDLE output = NULL,
                  HANDLE error = NULL);

// Owns a child's process handle; kills the child if it still runs when the
// guard goes, so a failed test never leaves one behind.
class ChildGuard {
public:
    explicit ChildGuard(HANDLE process = NULL) : process_(process) {}
    ~ChildGuard();
    ChildGuard(const ChildGuard &) = delete;
    ChildGuard &operator=(const ChildGuard &) = delete;

    void reset(HANDLE process);
    HANDLE get() const { return process_; }
    // Gives up ownership (the handle was closed elsewhere, e.g. by the library).
    HANDLE release();

private:
    HANDLE process_;
};

// Three open handles of the caller's own, to put into slots as
// caller-supplied handles: unsignalled events, not inheritable, as a Java
// caller's file or pipe handles are until create wires them. Closed when
// the holder goes.
class CallerHandles {
public:
    CallerHandles();
    ~CallerHandles();
    CallerHandles(const CallerHandles &) = delete;
    CallerHandles &operator=(const CallerHandles &) = delete;

    HANDLE operator[](size_t index) const { return handles_[index]; }
    const HANDLE *begin() const { return handles_; }
    const HANDLE *end() const { return handles_ + 3; }

private:
    HANDLE handles_[3];
};

// Ends the whole test program if a blocking step outlives its time.
using host::Watchdog;

// Puts this test program into a job that ends every process in it when the
// program ends, however it ends. A child started afterwards joins the job, so
// a watchdog that ends the program ends the children too: left running, a
// child that inherited the program's output would keep CTest waiting until
// the test's timeout. Idempotent; false if the job could not be set up.
bool endChildrenWithThisProgram();

// Reads a pipe to end-of-file (under a watchdog) and returns what came.
std::string readAll(HANDLE pipe, DWORD watchdogMilliseconds = 20000);

// Writes all of text to a pipe or file.
bool writeAll(HANDLE handle, const std::string &text);

// True if the handle is still open in this process.
bool isOpenHandle(HANDLE handle);

// The HANDLE_FLAG_INHERIT bit of an open handle.
bool isInheritable(HANDLE handle);

}  // namespace testsupport

#endif
