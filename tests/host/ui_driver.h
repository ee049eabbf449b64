// Driving user interfaces from a test: steps run on a thread timer while the code under
// test runs its own message loop (a modal dialog, a message box), and a watchdog ends
// whatever the steps did not.
//
//     test_host::UiScript script;                       // arms the watchdog
//     script.then([&] { HWND box = test_host::findDialog("Title"); ... return box != nullptr; });
//     dialog.DoModal();
//     EXPECT_TRUE(script.completed());
//
// A step answers true when it is done; it is retried on every tick until then. When the
// watchdog fires, the test fails and every visible window of the thread except the main
// window is sent IDCANCEL, so that a missed dialog never hangs the suite.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

namespace test_host {

class UiScript {
public:
    static constexpr UINT kTickMilliseconds = 20;
    static constexpr DWORD kDefaultTimeoutMilliseconds = 10000;

    explicit UiScript(DWORD timeoutMilliseconds = kDefaultTimeoutMilliseconds);
    ~UiScript();
    UiScript(const UiScript&) = delete;
    UiScript& operator=(const UiScript&) = delete;

    UiScript& then(std::function<bool()> step);
    // Every step has run to its end.
    [[nodiscard]] bool completed() const { return steps_.empty(); }
    // The watchdog fired before the steps were done.
    [[nodiscard]] bool timedOut() const { return timedOut_; }

    // Runs the thread's messages until the steps are done or the watchdog fired.
    void runUntilCompleted();

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR timerId, DWORD);
    void tick();

    std::deque<std::function<bool()>> steps_;
    UINT_PTR timer_ = 0;
    DWORD deadline_;
    bool timedOut_ = false;
    bool running_ = false;
};

// The host's safety net for windows no script expects: while no UiScript runs, a visible
// window of this thread (other than the main window) that stays open for
// kStrayWindowMilliseconds fails the running test and is sent IDCANCEL.
inline constexpr DWORD kStrayWindowMilliseconds = 15000;
void armStrayWindowGuard();
// Changes how long a stray window may stay open; answers the previous limit.
DWORD setStrayWindowLimit(DWORD milliseconds);

// A visible top-level window of this thread (not the main window) with that caption; any
// such window when the caption is null.
HWND findDialog(const char* caption = nullptr);
// Every visible top-level window of this thread except the main window.
void closeStrayWindows();

std::string windowText(HWND hWnd);
std::string className(HWND hWnd);
// The face name of the font a window was given (WM_GETFONT).
std::string fontFace(HWND hWnd);
// A child's window rectangle in its dialog's client coordinates.
RECT placeIn(HWND dialog, HWND child);
// A rectangle of dialog units given as x, y, width and height, in the dialog's pixels,
// position and size mapped apart as the dialog manager maps them.
RECT unitsToPixels(HWND dialog, RECT xywh);
// Posts each character as WM_CHAR to the control, as typing does.
void typeText(HWND control, const std::string& text);
// Posts a key press (down and up) to the window.
void pressKey(HWND target, UINT virtualKey);
// Posts the BN_CLICKED command of a dialog's button.
void clickButton(HWND dialog, int buttonId);
// Runs the thread's pending messages.
void pumpMessages();

} // namespace test_host

// Rectangles compare by their four coordinates.
inline bool operator==(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}
