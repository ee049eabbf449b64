// The test extension library: a framework extension library that carries a dialog and a
// string only it has, a serialisable class, and per-thread state whose destruction the
// tests can count.
#pragma once

#include <afxwin.h>

extern "C" {
// Counts the per-thread states of the library that have been destroyed.
AFX_EXT_API void WINAPI ExtensionSetDestroyCounter(volatile LONG* counter);
// Creates the calling thread's state of the library (if it has none) and answers its
// serial number (1 for the first state created in the process, and so on).
AFX_EXT_API int WINAPI ExtensionTouchThreadState();
// The library's module as its extension record holds it.
AFX_EXT_API HMODULE WINAPI ExtensionModuleHandle();
}

using ExtensionSetDestroyCounterFunction = void(WINAPI*)(volatile LONG*);
using ExtensionTouchThreadStateFunction = int(WINAPI*)();
using ExtensionModuleHandleFunction = HMODULE(WINAPI*)();

// The name under which the library's serialisable class registers itself.
inline constexpr char kExtensionRecordClassName[] = "CExtensionRecord";
inline constexpr char kExtensionLibraryName[] = "framework_test_extension.dll";
