// GetProcessHandleCount is the documented way; Wine 8 answers it with 0 and
// success whatever is open, so a count of 0 (impossible in a running
// program) falls back to this process's entries in the system handle table,
// which Wine keeps exactly.
#include "handle_count.h"

#include <windows.h>

#include <vector>

namespace bench {

namespace {

constexpr ULONG SYSTEM_HANDLE_INFORMATION = 16;
constexpr LONG STATUS_INFO_LENGTH_MISMATCH = static_cast<LONG>(0xC0000004);

// One entry of the system handle table as 32-bit Windows lays it out.
struct SystemHandleEntry {
    ULONG ownerProcessId;
    UCHAR objectType;
    UCHAR flags;
    USHORT handleValue;
    void *object;
    ACCESS_MASK access;
};

struct SystemHandleTable {
    ULONG count;
    SystemHandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI *)(ULONG, void *, ULONG, ULONG *);

long countInSystemTable() {
    auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == NULL) {
        return -1;
    }
    std::vector<unsigned char> buffer(64 * 1024);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(SYSTEM_HANDLE_INFORMATION, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == STATUS_INFO_LENGTH_MISMATCH) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) {
            return -1;
        }
        break;
    }
    const auto *table = reinterpret_cast<const SystemHandleTable *>(buffer.data());
    const DWORD self = GetCurrentProcessId();
    long count = 0;
    for (ULONG i = 0; i < table->count; ++i) {
        count += table->entries[i].ownerProcessId == self ? 1 : 0;
    }
    return count;
}

}  // namespace

HandleCount processHandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) {
        return {static_cast<long>(count), "GetProcessHandleCount"};
    }
    return {countInSystemTable(), "the system handle table"};
}

}  // namespace bench
