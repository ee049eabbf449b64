// Included by exactly one source file of an extension library (one built with _AFXEXT
// and linked through z64_framework_extension_library, which makes the function below the
// library's entry point).
//
// The entry runs before the library's static objects are initialised: it keeps the module
// state's class and factory lists aside and clears them, so that the classes the library's
// static objects register are collected for AfxInitExtensionModule, which hands them to
// the library's CDynLinkLibrary and restores the application's lists. Then the C run
// time's own entry runs (static objects, DllMain).
#pragma once

#include "afxwin.h"

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE hInstance, DWORD dwReason, LPVOID lpReserved);

extern "C" BOOL WINAPI Z64ExtensionDllEntry(HANDLE hInstance, DWORD dwReason, LPVOID lpReserved) {
    if (dwReason == DLL_PROCESS_ATTACH)
        AfxCoreInitExtensionLists();
    const BOOL result = DllMainCRTStartup(hInstance, dwReason, lpReserved);
    if (dwReason == DLL_PROCESS_ATTACH)
        AfxCoreEndExtensionLists(); // the lists are restored even when DllMain failed
    return result;
}
