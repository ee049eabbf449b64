// The library's entry point. At process attach it joins the calling application's chain
// of framework libraries, binds the base library and loads the storage provider; at detach
// it undoes each step.
#include "integration/base_library.h"
#include "storage/storage.h"

#include <afxdllx.h>

namespace {

AFX_EXTENSION_MODULE g_extensionModule = {};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        if (!AfxInitExtensionModule(g_extensionModule, instance))
            return FALSE;
        // Owned by the framework's chain, which deletes it at AfxTermExtensionModule.
        new CDynLinkLibrary(g_extensionModule);
        z64::integration::bindBaseLibrary();
        z64::storage::loadStorageProvider();
        break;
    case DLL_PROCESS_DETACH:
        z64::storage::releaseStorageProvider();
        z64::integration::releaseBaseLibrary();
        AfxTermExtensionModule(g_extensionModule);
        break;
    default:
        break;
    }
    return TRUE;
}
