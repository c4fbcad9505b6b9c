// The library's entry point. Quillstead keeps no global state, so there is
// nothing to set up or tear down for any notification.
#include "internal.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
