// The wrappers that patched import entries point to: each has exactly the
// signature and calling convention of the function it stands for.
#ifndef QUILL_HOST_HOOKS_WRAPPERS_H
#define QUILL_HOST_HOOKS_WRAPPERS_H

#include <windows.h>

#include <stddef.h>

namespace host::hooks::detail {

BOOL WINAPI hookCloseHandle(HANDLE handle);
DWORD WINAPI hookWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                                        DWORD milliseconds);
BOOL WINAPI hookGetExitCodeProcess(HANDLE process, LPDWORD exitCode);
BOOL WINAPI hookTerminateProcess(HANDLE process, UINT exitCode);
BOOL WINAPI hookSetHandleInformation(HANDLE handle, DWORD mask, DWORD flags);
DWORD WINAPI hookGetLastError();
BOOL WINAPI hookGetStringTypeW(DWORD infoType, LPCWCH source, int length, LPWORD types);

BOOL WINAPI hookCreatePipe(PHANDLE readEnd, PHANDLE writeEnd, LPSECURITY_ATTRIBUTES attributes,
                           DWORD size);
BOOL WINAPI hookCreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                               LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                               DWORD creationFlags, LPVOID environment, LPCWSTR directory,
                               LPSTARTUPINFOW startupInfo,
                               LPPROCESS_INFORMATION processInformation);

LPWCH WINAPI hookGetEnvironmentStringsW();
BOOL WINAPI hookFreeEnvironmentStringsW(LPWCH block);

void *__cdecl hookMalloc(size_t size);
void __cdecl hookFree(void *block);

}  // namespace host::hooks::detail

#endif
