// install and uninstall: walking a loaded module's import descriptors and
// swapping its import-address-table entries.
#include <string.h>

#include "hook_state.h"

namespace host::hooks::detail {

namespace {

template <class T>
T *at(HMODULE module, DWORD rva) {
    return reinterpret_cast<T *>(reinterpret_cast<BYTE *>(module) + rva);
}

const IMAGE_DATA_DIRECTORY *importDirectory(HMODULE module) {
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(module);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
        return nullptr;
    }
    auto *nt = at<IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) {
        return nullptr;
    }
    const IMAGE_DATA_DIRECTORY *directory =
        &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    return directory->VirtualAddress == 0 ? nullptr : directory;
}

bool wanted(Api api, const std::vector<Api> &only) {
    if (only.empty()) {
        return true;
    }
    for (Api listed : only) {
        if (listed == api) {
            return true;
        }
    }
    return false;
}

// The hook for this import of this DLL, or COUNT.
Api hookFor(const char *dll, const char *name, const std::vector<Api> &only) {
    for (size_t i = 0; i < API_COUNT; ++i) {
        Api api = static_cast<Api>(i);
        const HookInfo &info = hookInfo(api);
        if (_stricmp(dll, info.dll) == 0 && strcmp(name, info.name) == 0 && wanted(api, only)) {
            return api;
        }
    }
    return Api::COUNT;
}

void writeSlot(void **slot, void *value) {
    DWORD oldProtection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, oldProtection, &oldProtection);
}

// An entry that already holds the wrapper (installed twice) is left alone,
// so that uninstall never puts a wrapper back as the original.
void patch(HMODULE module, void **slot, Api api) {
    void *wrapper = hookInfo(api).wrapper;
    State &s = state();
    if (*slot != wrapper) {
        if (s.real[indexOf(api)] == nullptr) {
            s.real[indexOf(api)] = *slot;
        }
        s.patches.push_back(Patch{module, slot, *slot});
        writeSlot(slot, wrapper);
    }
}

void patchDescriptor(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR &descriptor,
                     const std::vector<Api> &only, std::vector<Api> *hooked) {
    // Without the lookup table the names are gone once the loader has
    // filled the address table.
    if (descriptor.OriginalFirstThunk == 0) {
        return;
    }
    const char *dll = at<const char>(module, descriptor.Name);
    auto *names = at<IMAGE_THUNK_DATA>(module, descriptor.OriginalFirstThunk);
    auto *slots = at<IMAGE_THUNK_DATA>(module, descriptor.FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
            continue;
        }
        auto *byName = at<IMAGE_IMPORT_BY_NAME>(module, names->u1.AddressOfData);
        Api api = hookFor(dll, reinterpret_cast<const char *>(byName->Name), only);
        if (api != Api::COUNT) {
            patch(module, reinterpret_cast<void **>(&slots->u1.Function), api);
            hooked->push_back(api);
        }
    }
}

bool stillLoaded(const Patch &patch) {
    HMODULE owner = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(patch.slot), &owner) &&
           owner == patch.module;
}

}  // namespace

}  // namespace host::hooks::detail

namespace host::hooks {

std::vector<Api> install(HMODULE module, const std::vector<Api> &only) {
    using namespace detail;
    std::vector<Api> hooked;
    const IMAGE_DATA_DIRECTORY *directory = module == nullptr ? nullptr : importDirectory(module);
    if (directory == nullptr) {
        return hooked;
    }
    Locked locked;
    for (auto *descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(module, directory->VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        patchDescriptor(module, *descriptor, only, &hooked);
    }
    return hooked;
}

void uninstall() {
    using namespace detail;
    Locked locked;
    auto &patches = state().patches;
    for (auto it = patches.rbegin(); it != patches.rend(); ++it) {
        if (stillLoaded(*it)) {
            writeSlot(it->slot, it->original);
        }
    }
    patches.clear();
}

}  // namespace host::hooks
