#include "ui_driver.h"

#include <afxwin.h>
#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace test_host {

namespace {

thread_local std::map<UINT_PTR, UiScript*> t_scripts;

HWND mainWindow() {
    return AfxGetMainWnd()->GetSafeHwnd();
}

std::vector<HWND> threadWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hWnd, LPARAM parameter) -> BOOL {
            if (IsWindowVisible(hWnd) && hWnd != mainWindow())
                reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void dispatch(MSG& msg) {
    if (!AfxPreTranslateMessage(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

constexpr UINT kStrayGuardTickMilliseconds = 250;
DWORD g_strayWindowLimit = kStrayWindowMilliseconds;
thread_local std::map<HWND, DWORD> t_firstSeen;

void CALLBACK checkForStrayWindows(HWND, UINT, UINT_PTR, DWORD) {
    if (!t_scripts.empty()) {
        t_firstSeen.clear(); // a script's own watchdog is in charge
        return;
    }
    const DWORD now = GetTickCount();
    std::map<HWND, DWORD> seen;
    for (HWND hWnd : threadWindows()) {
        const auto known = t_firstSeen.find(hWnd);
        const DWORD first = known != t_firstSeen.end() ? known->second : now;
        seen[hWnd] = first;
        if (now - first >= g_strayWindowLimit) {
            ADD_FAILURE() << "a window nobody expected stayed open: \"" << windowText(hWnd) << "\"";
            PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        }
    }
    t_firstSeen = std::move(seen);
}

} // namespace

DWORD setStrayWindowLimit(DWORD milliseconds) {
    return std::exchange(g_strayWindowLimit, milliseconds);
}

void armStrayWindowGuard() {
    SetTimer(nullptr, 0, kStrayGuardTickMilliseconds, &checkForStrayWindows);
}

UiScript::UiScript(DWORD timeoutMilliseconds) : deadline_(GetTickCount() + timeoutMilliseconds) {
    timer_ = SetTimer(nullptr, 0, kTickMilliseconds, &UiScript::onTimer);
    t_scripts[timer_] = this;
}

UiScript::~UiScript() {
    KillTimer(nullptr, timer_);
    t_scripts.erase(timer_);
}

UiScript& UiScript::then(std::function<bool()> step) {
    steps_.push_back(std::move(step));
    return *this;
}

void CALLBACK UiScript::onTimer(HWND, UINT, UINT_PTR timerId, DWORD) {
    if (const auto found = t_scripts.find(timerId); found != t_scripts.end())
        found->second->tick();
}

void UiScript::tick() {
    if (running_)
        return; // a step runs a message loop of its own
    if (static_cast<LONG>(GetTickCount() - deadline_) >= 0) {
        if (!timedOut_) {
            timedOut_ = true;
            ADD_FAILURE() << "the user-interface script timed out with " << steps_.size()
                          << " step(s) left";
        }
        steps_.clear();
        closeStrayWindows();
        return;
    }
    if (steps_.empty())
        return;
    running_ = true;
    const bool done = steps_.front()();
    running_ = false;
    if (done && !steps_.empty())
        steps_.pop_front();
}

void UiScript::runUntilCompleted() {
    while (!completed() && !timedOut_) {
        MSG msg;
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
}

HWND findDialog(const char* caption) {
    for (HWND hWnd : threadWindows()) {
        if (caption == nullptr || windowText(hWnd) == caption)
            return hWnd;
    }
    return nullptr;
}

void closeStrayWindows() {
    for (HWND hWnd : threadWindows())
        PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
}

std::string windowText(HWND hWnd) {
    const int length = GetWindowTextLengthA(hWnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hWnd, text.data(), length + 1)));
    return text;
}

std::string className(HWND hWnd) {
    char name[64] = {};
    GetClassNameA(hWnd, name, sizeof name);
    return name;
}

std::string fontFace(HWND hWnd) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hWnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfFaceName;
}

RECT placeIn(HWND dialog, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT unitsToPixels(HWND dialog, RECT xywh) {
    MapDialogRect(dialog, &xywh);
    return {xywh.left, xywh.top, xywh.left + xywh.right, xywh.top + xywh.bottom};
}

void typeText(HWND control, const std::string& text) {
    for (const char ch : text)
        PostMessageA(control, WM_CHAR, static_cast<unsigned char>(ch), 1);
}

void pressKey(HWND target, UINT virtualKey) {
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(target, WM_KEYUP, virtualKey, 0xC0000001);
}

void clickButton(HWND dialog, int buttonId) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
}

} // namespace test_host
