// Loading Quillstead.dll and resolving its native methods.
#include "quillstead_library.h"

namespace host {

namespace {

template <class F>
bool resolve(HMODULE module, const char *name, F *target, std::string *missing) {
    FARPROC found = GetProcAddress(module, name);
    if (found == nullptr) {
        *missing += std::string(missing->empty() ? "" : ", ") + name;
        return false;
    }
    *target = reinterpret_cast<F>(reinterpret_cast<void *>(found));
    return true;
}

std::string narrow(const std::wstring &text) {
    std::string result;
    for (wchar_t unit : text) {
        result += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return result;
}

}  // namespace

std::wstring programDirectory() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

QuillsteadLibrary::~QuillsteadLibrary() {
    unload();
}

bool QuillsteadLibrary::load(const wchar_t *fileName) {
    unload();
    std::wstring path = programDirectory() + fileName;
    module_ = LoadLibraryW(path.c_str());
    if (module_ == nullptr) {
        error_ = "cannot load " + narrow(path) + ": error " + std::to_string(GetLastError());
        return false;
    }
    std::string missing;
    // Every name is tried, so the report lists all that are missing.
    bool complete = true;
    complete &= resolve(module_, "_Java_com_brennock_process_WindowsProcessImpl_create@28",
                        &api_.create, &missing);
    complete &=
        resolve(module_, "_Java_com_brennock_process_WindowsProcessImpl_getExitCodeProcess@16",
                &api_.getExitCodeProcess, &missing);
    complete &= resolve(module_, "_Java_com_brennock_process_WindowsProcessImpl_getStillActive@8",
                        &api_.getStillActive, &missing);
    complete &=
        resolve(module_, "_Java_com_brennock_process_WindowsProcessImpl_waitForInterruptibly@16",
                &api_.waitForInterruptibly, &missing);
    complete &=
        resolve(module_, "_Java_com_brennock_process_WindowsProcessImpl_terminateProcess@16",
                &api_.terminateProcess, &missing);
    complete &= resolve(module_, "_Java_com_brennock_process_WindowsProcessImpl_closeHandle@16",
                        &api_.closeHandle, &missing);
    complete &=
        resolve(module_, "_Java_com_brennock_process_WindowsProcessEnvironment_environmentBlock@8",
                &api_.environmentBlock, &missing);
    if (!complete) {
        error_ = narrow(path) + " does not export " + missing;
        unload();
        return false;
    }
    error_.clear();
    return true;
}

void QuillsteadLibrary::unload() {
    if (module_ != nullptr) {
        FreeLibrary(module_);
        module_ = nullptr;
    }
    api_ = QuillsteadApi{};
}

}  // namespace host
