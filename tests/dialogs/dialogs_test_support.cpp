#include "dialogs_test_support.h"

#include <support/global_lock_guard.h>
#include <test_host.h>
#include <ui_driver.h>

#include <gtest/gtest.h>

namespace dialogs_tests {
namespace {

CreationRecorder* g_recorder = nullptr;

int forceVisualTheme(int forced) {
    using Force = int (*)(int);
    const auto force = reinterpret_cast<Force>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("z64EVEZE.dll"), MAKEINTRESOURCEA(1800))));
    EXPECT_NE(force, nullptr);
    return force != nullptr ? force(forced) : -1;
}

} // namespace

CreationRecorder::CreationRecorder(HWND parent)
    : parent_(parent),
      hook_(SetWindowsHookExA(WH_CBT, &CreationRecorder::hook, nullptr, GetCurrentThreadId())) {
    g_recorder = this;
}

CreationRecorder::~CreationRecorder() {
    g_recorder = nullptr;
}

LRESULT CALLBACK CreationRecorder::hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code != HCBT_CREATEWND || g_recorder == nullptr)
        return CallNextHookEx(nullptr, code, wParam, lParam);
    const CREATESTRUCTA& cs = *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    if (cs.hwndParent == g_recorder->parent_)
        g_recorder->controls.push_back(
            {HIWORD(reinterpret_cast<UINT_PTR>(cs.lpszClass)) != 0 ? cs.lpszClass : "",
             cs.lpszName != nullptr ? cs.lpszName : "", static_cast<DWORD>(cs.style), cs.dwExStyle,
             RECT{cs.x, cs.y, cs.cx, cs.cy}, reinterpret_cast<UINT_PTR>(cs.hMenu), cs.hInstance,
             cs.lpCreateParams});
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HostDialog::HostDialog(bool visible)
    : window_(CreateDialogParamA(testModule(), MAKEINTRESOURCEA(IDD_HOST),
                                 test_host::application().mainWindow().m_hWnd, &procedure,
                                 reinterpret_cast<LPARAM>(this))) {
    if (visible) {
        ShowWindow(get(), SW_SHOWNA);
        UpdateWindow(get());
    }
    log.clear();
}

INT_PTR CALLBACK HostDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    auto* host = reinterpret_cast<HostDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (host == nullptr)
        return FALSE;
    const std::string code = std::to_string(LOWORD(wParam)) + ":" + std::to_string(HIWORD(wParam));
    if (message == WM_COMMAND && HIWORD(wParam) >= MSCN_NOTIFYGAINED &&
        HIWORD(wParam) <= MSCN_RANGECHANGING)
        host->log += "C" + std::to_string(HIWORD(wParam)) + " ";
    else if (message == WM_VSCROLL || message == WM_HSCROLL)
        host->log += (message == WM_VSCROLL ? "V" : "H") + code + " ";
    else if (message == WM_SETREDRAW)
        host->log += "R" + std::to_string(wParam) + " ";
    else if (message == WM_DLGSECTIONCHANGED && host->section != nullptr)
        host->log += "S" + std::to_string(host->section->idCurrent) + " ";
    return FALSE;
}

ForcedTheme::ForcedTheme(bool active) : previous_(forceVisualTheme(active ? 1 : 0)) {}
ForcedTheme::~ForcedTheme() {
    forceVisualTheme(previous_);
}

std::vector<HWND> controlsOf(const DLGCATEGORY& category) {
    const support::GlobalLockGuard<const HWND> locked(category.hControls);
    if (!locked)
        return {};
    return std::vector<HWND>(locked.get(), locked.get() + category.cItems);
}

size_t childCount(HWND parent) {
    size_t count = 0;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        ++count;
    return count;
}

void pumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (LONG left = static_cast<LONG>(milliseconds); left > 0;
         left = static_cast<LONG>(end - GetTickCount())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        test_host::pumpMessages();
    }
}

} // namespace dialogs_tests
