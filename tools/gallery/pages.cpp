// The customer card: a host dialog whose pages switch from a list box, each page a dialog
// template loaded into a section, with micro-scroll controls beside its first edit field.
#include "gallery.h"
#include "gallery_resources.h"

#include <z64eveze.h>

#include <initializer_list>

namespace gallery {
namespace {

void fillPage(HWND card, int page) {
    if (page == 0) {
        SetDlgItemTextA(card, IDC_NAME, "Harbour Supplies Ltd");
        SetDlgItemTextA(card, IDC_CODE, "HARB01");
        SetDlgItemTextA(card, IDC_CITY, "Bristol");
        return;
    }
    SetDlgItemTextA(card, IDC_NAME, "30");
    HWND group = GetDlgItem(card, IDC_GROUP);
    for (const char* name : {"Wholesale", "Retail", "Export"})
        SendMessageA(group, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageA(group, CB_SETCURSEL, 0, 0);
}

// A vertical control with a text range, then a horizontal one, right of the edit field.
void addScrolls(HWND card, ScrollLook look) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    RECT rect{};
    GetWindowRect(GetDlgItem(card, IDC_NAME), &rect);
    MapWindowPoints(nullptr, card, reinterpret_cast<POINT*>(&rect), 2);
    const int height = rect.bottom - rect.top;
    HWND vertical = CreateWindowExA(
        0, "MicroScroll", "0,100,50", WS_CHILD | WS_VISIBLE | MSCS_VERTICAL | MSCS_TEXTRANGE,
        rect.right + 2, rect.top, 14, height, card, nullptr, module, nullptr);
    HWND horizontal =
        CreateWindowExA(0, "MicroScroll", "", WS_CHILD | WS_VISIBLE | MSCS_HORIZONTAL,
                        rect.right + 18, rect.top, 28, height, card, nullptr, module, nullptr);
    if (look == ScrollLook::Pressed) {
        // The pointer stays on the pressed arrow, or the control draws it raised again.
        POINT onArrow{5, 2};
        ClientToScreen(vertical, &onArrow);
        SetCursorPos(onArrow.x, onArrow.y);
        SendMessageA(vertical, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
    }
    if (look == ScrollLook::Disabled) {
        EnableWindow(vertical, FALSE);
        EnableWindow(horizontal, FALSE);
    }
}

} // namespace

void showCustomerCard(int page, ScrollLook look) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    FRegisterControl(module);
    HWND card =
        CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_CUSTOMER_CARD), nullptr, quietProcedure, 0);
    HWND list = GetDlgItem(card, IDC_PAGE_LIST);
    for (const char* name : {"Address", "Terms"})
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    DLGSECTION section{};
    InitDlgSection(&section, 0, card, IDC_PAGE_ANCHOR, 0);
    AddDlgSectionCategory(&section, module, MAKEINTRESOURCEA(IDD_PAGE_ADDRESS), 0, 0, 0, module);
    AddDlgSectionCategory(&section, module, MAKEINTRESOURCEA(IDD_PAGE_TERMS), 1, 0, 0, module);
    SendMessageA(list, LB_SETCURSEL, page, 0);
    SelectDlgSectionCategory(&section, page, module);
    fillPage(card, page);
    ShowWindow(card, SW_SHOW);
    SetForegroundWindow(card);
    addScrolls(card, look);
    pumpFor(closeAfter());
    DeleteDlgSection(&section);
    DestroyWindow(card);
}

} // namespace gallery
