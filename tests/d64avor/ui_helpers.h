// Helpers of the user-interface tests of d64avor.dll: finding balloons, running the
// thread's messages for a while or until something happened, and owning test windows.
#pragma once

#include <windows.h>

#include <d64avor.h>
#include <gtest/gtest.h>
#include <ui_driver.h>
#include <unique_window.h>

#include <functional>
#include <string>
#include <vector>

namespace d64avor_tests {

using test_support::UniqueWindow;

// The balloons of the calling thread.
inline std::vector<HWND> threadBalloons() {
    std::vector<HWND> balloons;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t className[64] = L"";
            GetClassNameW(window, className, ARRAYSIZE(className));
            if (lstrcmpW(className, D64AVOR_BALLOON_CLASS) == 0)
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&balloons));
    return balloons;
}

// The thread's only balloon, or null (a failure is reported when there are several).
inline HWND findBalloon() {
    const std::vector<HWND> balloons = threadBalloons();
    EXPECT_LE(balloons.size(), 1u) << "more than one balloon is up";
    return balloons.empty() ? nullptr : balloons.front();
}

// Destroys every balloon of the thread (used at the end of each balloon test).
inline void destroyBalloons() {
    for (HWND balloon : threadBalloons())
        DestroyWindow(balloon);
}

// Runs the thread's messages until `done` answers true or the time is up; answers whether
// `done` became true. This is the watchdog of the tests that wait for a window to go.
inline bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMilliseconds)
            return false;
        test_host::pumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Runs the thread's messages for that long.
inline void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    pumpUntil([&] { return GetTickCount() - start >= milliseconds; }, milliseconds + 1000);
}

} // namespace d64avor_tests
