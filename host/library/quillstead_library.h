// Loads Quillstead.dll the way a Java VM does: LoadLibraryW from the
// program's own directory, then each native method by its decorated
// 32-bit export name. Integration tests reach the library only this way.
//
//     host::QuillsteadLibrary lib;
//     ASSERT_TRUE(lib.load()) << lib.error();
//     host::HostVm vm;
//     EXPECT_EQ(lib.api().getStillActive(vm.env(), nullptr), 259);
#ifndef QUILL_HOST_LIBRARY_QUILLSTEAD_LIBRARY_H
#define QUILL_HOST_LIBRARY_QUILLSTEAD_LIBRARY_H

#include <windows.h>

#include <string>

#include "quillstead.h"

namespace host {

// The seven native methods, typed from the library's own declarations.
struct QuillsteadApi {
    decltype(&Java_com_brennock_process_WindowsProcessImpl_create) create;
    decltype(&Java_com_brennock_process_WindowsProcessImpl_getExitCodeProcess) getExitCodeProcess;
    decltype(&Java_com_brennock_process_WindowsProcessImpl_getStillActive) getStillActive;
    decltype(&Java_com_brennock_process_WindowsProcessImpl_waitForInterruptibly)
        waitForInterruptibly;
    decltype(&Java_com_brennock_process_WindowsProcessImpl_terminateProcess) terminateProcess;
    decltype(&Java_com_brennock_process_WindowsProcessImpl_closeHandle) closeHandle;
    decltype(&Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock)
        environmentBlock;
};

class QuillsteadLibrary {
public:
    QuillsteadLibrary() = default;
    ~QuillsteadLibrary();
    QuillsteadLibrary(const QuillsteadLibrary &) = delete;
    QuillsteadLibrary &operator=(const QuillsteadLibrary &) = delete;

    // Loads the named DLL from the program's directory and resolves every
    // native method. False, with error() saying what is missing, when the
    // DLL does not load or lacks any export (then nothing stays loaded).
    bool load(const wchar_t *fileName = L"Quillstead.dll");
    void unload();

    bool loaded() const { return module_ != nullptr; }
    HMODULE module() const { return module_; }
    const QuillsteadApi &api() const { return api_; }
    const std::string &error() const { return error_; }

private:
    HMODULE module_ = nullptr;
    QuillsteadApi api_{};
    std::string error_;
};

// The directory the running program was started from, ending in '\'.
std::wstring programDirectory();

}  // namespace host

#endif
