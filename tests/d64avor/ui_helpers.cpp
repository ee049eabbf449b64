#include "ui_helpers.h"

#include <gtest/gtest.h>
#include <ui_driver.h>

namespace d64avor_tests {

namespace {

bool isBalloon(HWND window) {
    wchar_t className[64] = L"";
    GetClassNameW(window, className, ARRAYSIZE(className));
    return lstrcmpW(className, D64AVOR_BALLOON_CLASS) == 0;
}

} // namespace

std::vector<HWND> threadBalloons() {
    std::vector<HWND> balloons;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            if (isBalloon(window))
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&balloons));
    return balloons;
}

HWND findBalloon() {
    const std::vector<HWND> balloons = threadBalloons();
    EXPECT_LE(balloons.size(), 1u) << "more than one balloon is up";
    return balloons.empty() ? nullptr : balloons.front();
}

void destroyBalloons() {
    for (HWND balloon : threadBalloons())
        DestroyWindow(balloon);
}

std::wstring windowTextOf(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

std::wstring balloonContent(HWND balloon) {
    const auto length =
        static_cast<size_t>(SendMessageW(balloon, D64AVOR_BALLOON_GETCONTENT, 0, 0));
    std::wstring content(length + 1, L'\0');
    const auto copied =
        static_cast<size_t>(SendMessageW(balloon, D64AVOR_BALLOON_GETCONTENT, content.size(),
                                         reinterpret_cast<LPARAM>(content.data())));
    content.resize(copied);
    return content;
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMilliseconds)
            return false;
        test_host::pumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    pumpUntil([&] { return GetTickCount() - start >= milliseconds; }, milliseconds + 1000);
}

} // namespace d64avor_tests
