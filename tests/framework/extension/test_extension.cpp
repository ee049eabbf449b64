// A framework extension library as the product's DLL is one: the raw entry of afxdllx.h,
// AfxInitExtensionModule and one CDynLinkLibrary at attach, AfxTermExtensionModule at
// detach.
#include "test_extension.h"

#include <afxdllx.h>

namespace {

AFX_EXTENSION_MODULE g_extensionModule = {};
volatile LONG* g_destroyCounter = nullptr;
LONG g_statesCreated = 0;

struct ExtensionThreadState : public CNoTrackObject {
    ExtensionThreadState() : serial(static_cast<int>(InterlockedIncrement(&g_statesCreated))) {}
    ~ExtensionThreadState() override {
        if (g_destroyCounter != nullptr)
            InterlockedIncrement(g_destroyCounter);
    }
    int serial;
};

CThreadLocal<ExtensionThreadState> g_threadState;

} // namespace

// A serialisable class of the library: registered by its static object while the raw
// entry has the application's class list set aside.
class CExtensionRecord : public CObject {
    DECLARE_SERIAL(CExtensionRecord)
public:
    CExtensionRecord() = default;
    int m_nValue = 0;
};

IMPLEMENT_SERIAL(CExtensionRecord, CObject, 1)

extern "C" void WINAPI ExtensionSetDestroyCounter(volatile LONG* counter) {
    g_destroyCounter = counter;
}

extern "C" int WINAPI ExtensionTouchThreadState() {
    return g_threadState->serial;
}

extern "C" HMODULE WINAPI ExtensionModuleHandle() {
    return g_extensionModule.hModule;
}

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
