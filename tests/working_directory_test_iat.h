// Replaces one entry of a module's import address table for the lifetime of
// an object, so that a test can give the library's calls into KERNEL32 the
// answers it needs (Wine's own answers cannot be changed otherwise).
#ifndef QUILLSTEAD_TESTS_WORKING_DIRECTORY_TEST_IAT_H
#define QUILLSTEAD_TESTS_WORKING_DIRECTORY_TEST_IAT_H

#include <windows.h>

#include <string.h>

namespace iat {

// The slot through which `module` calls `functionName` of `dllName`, or
// nullptr. Imports by ordinal are skipped: the toolchain imports by name.
inline void **findImportSlot(HMODULE module, const char *dllName, const char *functionName) {
    BYTE *base = reinterpret_cast<BYTE *>(module);
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return nullptr;
    }
    auto *dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
    for (; dll->Name != 0; ++dll) {
        if (_stricmp(reinterpret_cast<const char *>(base + dll->Name), dllName) != 0) {
            continue;
        }
        auto *name = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + dll->OriginalFirstThunk);
        auto *slot = reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                continue;
            }
            const auto *byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + name->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(byName->Name), functionName) == 0) {
                return reinterpret_cast<void **>(&slot->u1.Function);
            }
        }
    }
    return nullptr;
}

// The import table may lie in a read-only section once the loader is done.
inline void writeSlot(void **slot, void *value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
}

class ImportHook {
public:
    ImportHook(const char *dllName, const char *functionName, void *replacement)
        : slot_(findImportSlot(GetModuleHandleW(nullptr), dllName, functionName)) {
        if (slot_ != nullptr) {
            original_ = *slot_;
            writeSlot(slot_, replacement);
        }
    }
    ~ImportHook() {
        if (slot_ != nullptr) {
            writeSlot(slot_, original_);
        }
    }
    ImportHook(const ImportHook &) = delete;
    ImportHook &operator=(const ImportHook &) = delete;

    bool installed() const { return slot_ != nullptr; }

private:
    void **slot_;
    void *original_ = nullptr;
};

}  // namespace iat

#endif
