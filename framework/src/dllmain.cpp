// The framework DLL's entry point: it records its module (for its own string table) and
// releases a thread's per-thread framework data when the thread ends.
#include "framework_internal.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        z64mfc::setFrameworkInstance(instance);
        break;
    case DLL_THREAD_DETACH:
        z64mfc::releaseThreadData();
        break;
    default:
        break;
    }
    return TRUE;
}
