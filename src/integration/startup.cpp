// The library's entry point: binding the base library and loading the storage provider at
// process attach, releasing both at detach.
#include "integration/base_library.h"
#include "storage/storage_provider.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        integration::bindBaseLibrary();
        storage::loadStorageProvider();
        break;
    case DLL_PROCESS_DETACH:
        storage::releaseStorageProvider();
        integration::releaseBaseLibrary();
        break;
    default:
        break;
    }
    return TRUE;
}
