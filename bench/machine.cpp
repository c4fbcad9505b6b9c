// Under Wine, ntdll exports wine_get_version and wine_get_host_version; on
// Windows they are absent and the description says so.
#include "machine.h"

#include <windows.h>

#include <stdio.h>

#include "clock.h"

namespace bench {

namespace {

using WineVersion = const char *(CDECL *)(void);
using WineHostVersion = void(CDECL *)(const char **, const char **);

FARPROC ntdllFunction(const char *name) {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name);
}

std::string wineDescription() {
    auto version =
        reinterpret_cast<WineVersion>(reinterpret_cast<void *>(ntdllFunction("wine_get_version")));
    auto host = reinterpret_cast<WineHostVersion>(
        reinterpret_cast<void *>(ntdllFunction("wine_get_host_version")));
    if (version == NULL) {
        return "Windows (not Wine)";
    }
    std::string text = std::string("Wine ") + version();
    if (host != NULL) {
        const char *system = "?";
        const char *release = "?";
        host(&system, &release);
        text += std::string(" on ") + system + " " + release;
    }
    return text;
}

std::string processorName() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
        return "unknown processor";
    }
    wchar_t name[128] = {};
    DWORD bytes = sizeof name - sizeof name[0];
    const LONG status = RegQueryValueExW(key, L"ProcessorNameString", NULL, NULL,
                                         reinterpret_cast<BYTE *>(name), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return "unknown processor";
    }
    std::string narrow;
    for (const wchar_t *unit = name; *unit != 0; ++unit) {
        narrow += *unit < 0x80 ? static_cast<char>(*unit) : '?';
    }
    return narrow;
}

std::string processors() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    char text[160];
    snprintf(text, sizeof text, "%lu logical processors (affinity mask 0x%lx)",
             static_cast<unsigned long>(info.dwNumberOfProcessors),
             static_cast<unsigned long>(processMask));
    return text;
}

}  // namespace

std::string describeMachine() {
    char clock[64];
    snprintf(clock, sizeof clock, "QueryPerformanceCounter tick %.0f ns", tickNanoseconds());
    return wineDescription() + "; " + processors() + ", " + processorName() + "; " + clock;
}

}  // namespace bench
