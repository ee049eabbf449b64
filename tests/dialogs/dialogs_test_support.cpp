#include "dialogs_test_support.h"

#include <test_host.h>
#include <ui_driver.h>

#include <gtest/gtest.h>

namespace dialogs_tests {
namespace {

constexpr WORD kForceVisualThemeOrdinal = 1800;
CreationRecorder* g_recorder = nullptr;

using ForceVisualThemeFunction = int (*)(int);
ForceVisualThemeFunction forceVisualTheme() {
    return reinterpret_cast<ForceVisualThemeFunction>(reinterpret_cast<void*>(GetProcAddress(
        GetModuleHandleA("z64EVEZE.dll"), MAKEINTRESOURCEA(kForceVisualThemeOrdinal))));
}

} // namespace

HINSTANCE testModule() {
    return GetModuleHandleA(nullptr);
}

CreationRecorder::CreationRecorder(HWND parent) : parent_(parent) {
    g_recorder = this;
    hook_.reset(SetWindowsHookExA(WH_CBT, &CreationRecorder::hook, nullptr, GetCurrentThreadId()));
}

CreationRecorder::~CreationRecorder() {
    hook_.reset();
    g_recorder = nullptr;
}

LRESULT CALLBACK CreationRecorder::hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && g_recorder != nullptr) {
        const CREATESTRUCTA& create = *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (create.hwndParent == g_recorder->parent_) {
            const bool namedClass = HIWORD(reinterpret_cast<UINT_PTR>(create.lpszClass)) != 0;
            g_recorder->controls_.push_back({reinterpret_cast<HWND>(wParam),
                                             namedClass ? create.lpszClass : "",
                                             create.lpszName != nullptr ? create.lpszName : "",
                                             static_cast<DWORD>(create.style), create.dwExStyle,
                                             RECT{create.x, create.y, create.cx, create.cy},
                                             reinterpret_cast<UINT_PTR>(create.hMenu),
                                             create.hInstance, create.lpCreateParams});
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HostDialog::HostDialog(bool visible) {
    window_.reset(CreateDialogParamA(testModule(), MAKEINTRESOURCEA(IDD_HOST),
                                     test_host::application().mainWindow().m_hWnd, &procedure,
                                     reinterpret_cast<LPARAM>(this)));
    if (visible) {
        ShowWindow(get(), SW_SHOWNA);
        UpdateWindow(get());
    }
    messages_.clear();
}

INT_PTR CALLBACK HostDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    auto* host = reinterpret_cast<HostDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (host == nullptr)
        return FALSE;
    if (message == WM_SETREDRAW || message == WM_DLGSECTIONCHANGED || message == WM_COMMAND ||
        message == WM_VSCROLL || message == WM_HSCROLL)
        host->messages_.push_back(
            {message, wParam, host->section_ != nullptr ? host->section_->idCurrent : 0});
    return FALSE;
}

std::vector<HostMessage> HostDialog::received(UINT message) const {
    std::vector<HostMessage> found;
    for (const HostMessage& each : messages_)
        if (each.message == message)
            found.push_back(each);
    return found;
}

ForcedTheme::ForcedTheme(bool active) {
    const auto force = forceVisualTheme();
    previous_ = force != nullptr ? force(active ? 1 : 0) : -1;
    EXPECT_NE(force, nullptr);
}

ForcedTheme::~ForcedTheme() {
    if (const auto force = forceVisualTheme())
        force(previous_);
}

POINT anchorOrigin(const HostDialog& host) {
    RECT rect{};
    GetWindowRect(host.anchor(), &rect);
    MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&rect), 2);
    return POINT{rect.left, rect.top};
}

std::vector<HWND> controlsOf(const DLGCATEGORY& category) {
    std::vector<HWND> handles;
    if (category.hControls == nullptr)
        return handles;
    const auto* locked = static_cast<const HWND*>(GlobalLock(category.hControls));
    if (locked == nullptr)
        return handles;
    handles.assign(locked, locked + category.cItems);
    GlobalUnlock(category.hControls);
    return handles;
}

std::string textOf(HWND window) {
    return test_host::windowText(window);
}

void pumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (LONG left = static_cast<LONG>(milliseconds); left > 0;
         left = static_cast<LONG>(end - GetTickCount())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        test_host::pumpMessages();
    }
}

std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

} // namespace dialogs_tests
