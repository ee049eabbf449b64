// Windows the framework tests create: framework objects on plain popup windows, and raw
// windows made without the framework.
#pragma once

#include <afxwin.h>

#include "unique_window.h"

namespace framework_tests {

// A window made without the framework, destroyed with its owner object.
using test_support::UniqueWindow;

// A visible popup window of the framework's default class, for `window`.
inline BOOL createPopup(CWnd& window, const char* title = "framework test") {
    return window.CreateEx(0, AfxRegisterWndClass(0), title, WS_POPUP | WS_VISIBLE, 10, 10, 200,
                           150, nullptr, nullptr);
}

// A raw window of a system class.
inline UniqueWindow createRawWindow(const char* className = "STATIC", HWND parent = nullptr,
                                    int id = 0) {
    const DWORD style = parent != nullptr ? WS_CHILD | WS_VISIBLE : WS_POPUP;
    return UniqueWindow(CreateWindowExA(0, className, "raw", style, 0, 0, 50, 20, parent,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                        GetModuleHandleA(nullptr), nullptr));
}

} // namespace framework_tests
