// The library's entry point: binding the base library at process attach and releasing it
// at detach.
#include "integration/base_library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        integration::bindBaseLibrary();
        break;
    case DLL_PROCESS_DETACH:
        integration::releaseBaseLibrary();
        break;
    default:
        break;
    }
    return TRUE;
}
