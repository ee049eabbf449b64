// The library's entry: it joins the application's chain of framework extension libraries
// while it is loaded.
#include <afxdllx.h>

namespace {
AFX_EXTENSION_MODULE g_extensionModule = {};
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        if (!AfxInitExtensionModule(g_extensionModule, instance))
            return FALSE;
        new CDynLinkLibrary(g_extensionModule);
    } else if (reason == DLL_PROCESS_DETACH) {
        AfxTermExtensionModule(g_extensionModule);
    }
    return TRUE;
}
