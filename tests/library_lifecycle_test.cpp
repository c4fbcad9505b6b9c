// Loading and unloading Quillstead.dll: the entry point agrees to every
// notification and the library leaves nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "quillstead_library.h"

namespace {

using EntryPoint = BOOL(WINAPI *)(HINSTANCE, DWORD, LPVOID);

EntryPoint entryPointOf(HMODULE module) {
    const BYTE *base = reinterpret_cast<const BYTE *>(module);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const IMAGE_NT_HEADERS *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    return reinterpret_cast<EntryPoint>(
        const_cast<BYTE *>(base + nt->OptionalHeader.AddressOfEntryPoint));
}

std::wstring environmentBlock() {
    wchar_t *block = GetEnvironmentStringsW();
    const wchar_t *end = block;
    while (*end != 0) {
        end += wcslen(end) + 1;
    }
    std::wstring copy(block, static_cast<size_t>(end - block));
    FreeEnvironmentStringsW(block);
    return copy;
}

// The handles open in this process, found by asking about every value a
// handle can take: Wine's GetProcessHandleCount always answers 0.
int openHandles() {
    int count = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
        }
    }
    return count;
}

DWORD WINAPI doNothing(void *) {
    return 0;
}

TEST(LibraryLifecycle, EntryPointAgreesToThreadNotifications) {
    host::QuillsteadLibrary library;
    ASSERT_TRUE(library.load()) << library.error();
    const EntryPoint entry = entryPointOf(library.module());

    EXPECT_TRUE(entry(library.module(), DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(entry(library.module(), DLL_THREAD_DETACH, nullptr));

    // And through Windows itself: a thread starting and ending while the
    // library is loaded.
    HANDLE thread = CreateThread(nullptr, 0, doNothing, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
}

TEST(LibraryLifecycle, LoadAndUnloadLeaveNothingBehind) {
    // In a VM, jvm.dll is loaded before any JNI library and stays. Here the
    // stand-in would come and go with each load, and its own setup is not
    // the library's to account for.
    ASSERT_NE(LoadLibraryW((host::programDirectory() + L"jvm.dll").c_str()), nullptr);
    const std::wstring environmentBefore = environmentBlock();
    const int handlesBefore = openHandles();
    ASSERT_GT(handlesBefore, 0) << "no handle count to compare";

    for (int round = 0; round < 3; ++round) {
        host::QuillsteadLibrary library;
        ASSERT_TRUE(library.load()) << "round " << round << ": " << library.error();
        library.unload();
        EXPECT_EQ(GetModuleHandleW(L"Quillstead.dll"), nullptr) << "round " << round;
    }

    EXPECT_EQ(openHandles(), handlesBefore);
    EXPECT_TRUE(environmentBlock() == environmentBefore);
}

}  // namespace
