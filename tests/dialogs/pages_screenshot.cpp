// For people, not a test: shows a host dialog whose pages switch from a list box, with
// micro-scroll controls beside edit fields (vertical and horizontal; raised, pressed and
// disabled), selects each page in turn and waits `seconds` on each so that a screenshot
// can be taken from outside.
//
//   pages_screenshot [SECONDS]
#include "dialogs_test_resources.h"

#include <z64eveze.h>

#include <cstdlib>
#include <utility>

namespace {

constexpr int kListId = 90;
constexpr int kPages = 3;

INT_PTR CALLBACK quietProcedure(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

void pumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (LONG left = static_cast<LONG>(milliseconds); left > 0;
         left = static_cast<LONG>(end - GetTickCount())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Beside every edit field of the page: a vertical control, then a horizontal one; the
// second page's first is pressed, the third page's disabled.
void addScrolls(HWND host, int page) {
    static HWND previous[2] = {};
    for (HWND& window : previous)
        if (window != nullptr)
            DestroyWindow(std::exchange(window, nullptr));
    HINSTANCE module = GetModuleHandleA(nullptr);
    HWND edit = GetDlgItem(host, IDC_NAME);
    RECT rect{};
    GetWindowRect(edit, &rect);
    MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&rect), 2);
    const int height = rect.bottom - rect.top;
    HWND vertical = CreateWindowExA(
        0, "MicroScroll", "0,100,50", WS_CHILD | WS_VISIBLE | MSCS_VERTICAL | MSCS_TEXTRANGE,
        rect.right + 2, rect.top, 14, height, host, nullptr, module, nullptr);
    HWND horizontal =
        CreateWindowExA(0, "MicroScroll", "", WS_CHILD | WS_VISIBLE | MSCS_HORIZONTAL,
                        rect.right + 18, rect.top, 28, height, host, nullptr, module, nullptr);
    previous[0] = vertical;
    previous[1] = horizontal;
    if (page == 1) {
        // The pointer stays on the pressed arrow, or the control draws it raised.
        POINT onArrow{5, 2};
        ClientToScreen(vertical, &onArrow);
        SetCursorPos(onArrow.x, onArrow.y);
        SendMessageA(vertical, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
    }
    if (page == 2) {
        EnableWindow(vertical, FALSE);
        EnableWindow(horizontal, FALSE);
    }
}

} // namespace

int main(int argc, char** argv) {
    const DWORD seconds = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 3;
    HINSTANCE module = GetModuleHandleA(nullptr);
    FRegisterControl(module);
    HWND host = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_HOST), nullptr, quietProcedure, 0);
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD | WS_VISIBLE, 100, 6, 90,
                                40, host, reinterpret_cast<HMENU>(kListId), module, nullptr);
    SendMessageA(list, WM_SETFONT, SendMessageA(host, WM_GETFONT, 0, 0), FALSE);
    for (const char* name : {"Classic page", "Extended page", "Disabled"})
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    DLGSECTION section{};
    InitDlgSection(&section, 0, host, IDC_ANCHOR, 0);
    AddDlgSectionCategory(&section, module, MAKEINTRESOURCEA(IDD_PAGE_CLASSIC), 0, 0, 0, module);
    AddDlgSectionCategory(&section, module, MAKEINTRESOURCEA(IDD_PAGE_EXTENDED), 1, 0, 0, module);
    AddDlgSectionCategory(&section, module, MAKEINTRESOURCEA(IDD_PAGE_CLASSIC), 2, 0, 0, module);
    ShowWindow(host, SW_SHOW);
    SetForegroundWindow(host);
    for (int page = 0; page < kPages; ++page) {
        SendMessageA(list, LB_SETCURSEL, page, 0);
        SelectDlgSectionCategory(&section, page, module);
        addScrolls(host, page);
        pumpFor(seconds * 1000);
    }
    DeleteDlgSection(&section);
    DestroyWindow(host);
    return 0;
}
