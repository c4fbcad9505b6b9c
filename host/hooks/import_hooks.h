// Import-table hooks: replace a loaded module's own import-address-table
// entries for the Windows and C library functions the library calls, so a
// test sees every call in order, can make the k-th call of a function fail
// with a chosen error, and can read deep copies of what reached
// CreateProcessW and CreatePipe.
//
//     host::QuillsteadLibrary lib;   // see host/library
//     ASSERT_TRUE(lib.load()) << lib.error();
//     host::hooks::Scope hooks(lib.module());
//     host::hooks::failNth(host::hooks::Api::CREATE_PIPE, 2, ERROR_NO_SYSTEM_RESOURCES);
//     ... call the library ...
//     EXPECT_TRUE(host::hooks::unclosedHandles().empty());
//     EXPECT_TRUE(host::hooks::liveBlocks().empty());
//
// The hooks are process-global: one set of wrappers and one log, whichever
// modules are patched. A module that does not import a function simply
// does not get that hook; install() says which ones it got. A unit test that
// links the library's code into itself hooks its own imports with
// install(GetModuleHandleW(nullptr), {Api::GET_STRING_TYPE}).
#ifndef QUILL_HOST_HOOKS_IMPORT_HOOKS_H
#define QUILL_HOST_HOOKS_IMPORT_HOOKS_H

#include <windows.h>

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace host::hooks {

// KERNEL32 functions, then the msvcrt ones.
enum class Api {
    GET_ENVIRONMENT_STRINGS,   // GetEnvironmentStringsW
    FREE_ENVIRONMENT_STRINGS,  // FreeEnvironmentStringsW
    WAIT_FOR_MULTIPLE_OBJECTS,
    GET_EXIT_CODE_PROCESS,
    TERMINATE_PROCESS,
    CLOSE_HANDLE,
    CREATE_PIPE,
    SET_HANDLE_INFORMATION,
    CREATE_PROCESS,   // CreateProcessW
    GET_STRING_TYPE,  // GetStringTypeW
    GET_LAST_ERROR,
    MALLOC,
    FREE,
    COUNT
};

const char *apiName(Api api);  // the imported name, e.g. "CreateProcessW"

// One call that went through a hook.
struct Call {
    Api api;
    std::vector<uintptr_t> args;  // every argument as passed, widened
    uintptr_t result;             // BOOL, DWORD, HANDLE or pointer, widened
    DWORD lastError;              // the thread's last error as the wrapper returned
    bool faulted;                 // an armed fault answered, the real function was not called
    DWORD threadId;
    // What the call read or wrote through its pointers:
    //   CreatePipe (success): read end, write end
    //   CreateProcessW (success): hProcess, hThread, process id, thread id
    //   GetExitCodeProcess (success): the exit code
    //   WaitForMultipleObjects: the handles of the array, in order
    //   GetStringTypeW (success): the types written
    std::vector<uintptr_t> values;
};

struct CreateProcessCapture {
    bool applicationNameNull;
    std::u16string applicationName;
    const wchar_t *commandLinePointer;
    std::u16string commandLine;  // up to its NUL
    bool commandLineWritable;    // committed memory that the caller may write
    const void *processAttributes;
    const void *threadAttributes;
    BOOL inheritHandles;
    DWORD creationFlags;
    const void *environmentPointer;
    // Read as Windows reads a Unicode block: up to and including the first
    // pair of NUL units.
    std::u16string environment;
    bool directoryNull;
    std::u16string directory;
    bool startupInfoNull;
    STARTUPINFOW startupInfo;  // a copy of the whole record
    BOOL result;
    DWORD lastError;
    PROCESS_INFORMATION processInformation;  // as handed back
    bool faked;                              // see fakeCreateProcess
};

struct CreatePipeCapture {
    bool attributesNull;
    SECURITY_ATTRIBUTES attributes;
    DWORD size;
    BOOL result;
    DWORD lastError;
    HANDLE readEnd;
    HANDLE writeEnd;
};

// A handle that a hooked call produced for its caller.
struct CreatedHandle {
    HANDLE handle;
    Api source;        // CREATE_PIPE or CREATE_PROCESS
    const char *role;  // "read end", "write end", "process" or "thread"
    bool closed;       // a later hooked CloseHandle closed it
};

// Patches the module's import-address table (all of these functions, or
// only those listed) and returns the ones it imports and that are now hooked.
std::vector<Api> install(HMODULE module, const std::vector<Api> &only = {});
// Puts back every original entry of every patched module still loaded.
// Call it before unloading a patched module.
void uninstall();
// Forgets the log, captures, faults, overrides and heap records; the
// patches stay.
void reset();

std::vector<Call> log();
std::vector<Call> calls(Api api);

// The k-th call of api from now on (k counted from 1; 0 disarms) fails: it
// returns that function's failure value (FALSE, NULL or WAIT_FAILED) with
// the thread's last error set to error, without calling the real function.
void failNth(Api api, int k, DWORD error);

// Fake: CreateProcessW starts nothing and succeeds, handing out two new
// unsignalled event handles as process and thread (CloseHandle works on
// them; SetEvent on the "process" plays its exit). Off: the real call.
void fakeCreateProcess(bool fake);
std::vector<CreateProcessCapture> createProcessCaptures();
std::vector<CreatePipeCapture> createPipeCaptures();

// GetEnvironmentStringsW hands out a fresh copy of block (give every unit,
// the final pair of NULs included) instead of the process's own block;
// FreeEnvironmentStringsW takes such copies back. To make it return NULL,
// use failNth.
void supplyEnvironment(const std::u16string &block);

// Handles produced through the hooks, in order, and those of them not closed.
std::vector<CreatedHandle> createdHandles();
std::vector<CreatedHandle> unclosedHandles();

// Blocks from hooked malloc not yet given to hooked free, and free calls for
// pointers hooked malloc never handed out.
std::map<void *, size_t> liveBlocks();
std::vector<void *> unknownFrees();

// GetStringTypeW reports type for unit under CT_CTYPE1, whatever the system
// says (the real function still runs first).
void overrideCharType(wchar_t unit, WORD type);

// Installs on construction; resets and uninstalls when it ends.
class Scope {
public:
    explicit Scope(HMODULE module, const std::vector<Api> &only = {});
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;
    const std::vector<Api> &hooked() const { return hooked_; }

private:
    std::vector<Api> hooked_;
};

}  // namespace host::hooks

#endif
