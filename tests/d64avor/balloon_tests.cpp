// CBalloonHelp::LaunchBalloon of the stand-in: what the library's own tests rely on, a real
// balloon window of the thread with the window contract they read (title, content, icon,
// owner), that takes no activation and closes on its input options, its time-out, its
// owner, cancellation and the thread's next balloon.
#include "ui_helpers.h"

#include <gtest/gtest.h>
#include <test_host.h>
#include <ui_driver.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace d64avor_tests;

// How long a balloon that must stay is watched.
constexpr DWORD kStayMilliseconds = 200;
const RECT kAnchor{300, 200, 340, 220};

// The balloon's content through its window contract.
std::wstring balloonContent(HWND balloon) {
    std::wstring content(
        static_cast<size_t>(SendMessageW(balloon, D64AVOR_BALLOON_GETCONTENT, 0, 0)) + 1, L'\0');
    content.resize(
        static_cast<size_t>(SendMessageW(balloon, D64AVOR_BALLOON_GETCONTENT, content.size(),
                                         reinterpret_cast<LPARAM>(content.data()))));
    return content;
}

std::vector<unsigned __int64> g_callbacks;
void recordCallback(unsigned __int64 data) {
    g_callbacks.push_back(data);
}

class BalloonTest : public testing::Test {
protected:
    void SetUp() override {
        g_callbacks.clear();
        destroyBalloons();
    }
    void TearDown() override { destroyBalloons(); }

    static CWnd* mainWindow() { return &test_host::application().mainWindow(); }

    static HWND launch(unsigned options, unsigned timeout = 0, unsigned __int64 data = 0,
                       const char* title = "Posting", CWnd* owner = mainWindow()) {
        CBalloonHelp::LaunchBalloon(title, "The journal was posted.", &kAnchor, IDI_ASTERISK,
                                    options, owner, nullptr, timeout, &recordCallback, data, 0);
        return findBalloon();
    }
};

TEST_F(BalloonTest, ShowsItsTextsIconAndOwnerWithoutTakingTheActivation) {
    // clang-format off
    const struct { const char* label; const char* title; const char* content; const char* icon; CWnd* owner; const char* expectedTitle; const wchar_t* expectedContent; } cases[] = {
        {"texts", "Ledger closed", "No more entries.", IDI_EXCLAMATION, mainWindow(), "Ledger closed", L"No more entries."},
        {"question icon", "Q", "q", IDI_QUESTION, mainWindow(), "Q", L"q"},
        {"null texts, no icon, no owner", nullptr, nullptr, nullptr, nullptr, "", L""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        HWND active = GetActiveWindow();
        CBalloonHelp::LaunchBalloon(c.title, c.content, &kAnchor, c.icon, 0, c.owner, nullptr, 0,
                                    nullptr, 0, 0);
        HWND balloon = findBalloon();
        ASSERT_NE(balloon, nullptr);
        EXPECT_TRUE(IsWindowVisible(balloon));
        EXPECT_EQ(test_host::windowText(balloon), c.expectedTitle);
        EXPECT_EQ(balloonContent(balloon), c.expectedContent);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(balloon, WM_GETICON, ICON_SMALL, 0)),
                  c.icon ? LoadIconA(nullptr, c.icon) : nullptr);
        EXPECT_EQ(GetWindow(balloon, GW_OWNER), c.owner != nullptr ? c.owner->m_hWnd : nullptr);
        EXPECT_EQ(GetActiveWindow(), active);
        EXPECT_EQ(SendMessageW(balloon, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(balloon),
                               MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
                  MA_NOACTIVATE);
        destroyBalloons();
    }
}

// Each row launches a balloon with its options and time-out, acts, and sees whether the
// balloon closes (reporting its data once) or stays.
TEST_F(BalloonTest, ClosesOnItsInputOptionsTimeOutOwnerCancellationAndTheNextBalloon) {
    const unsigned kLeft = CBalloonHelp::unCLOSE_ON_LBUTTON_DOWN;
    const unsigned kKey = CBalloonHelp::unCLOSE_ON_KEYPRESS;
    const unsigned kAll = kLeft | kKey | CBalloonHelp::unCLOSE_ON_MBUTTON_DOWN |
                          CBalloonHelp::unCLOSE_ON_RBUTTON_DOWN;
    constexpr unsigned kTimeout = 150;
    CWnd owner;
    // Input goes to the balloon's body (clear of its close button) or to the main window.
    const auto post = [](bool onBalloon, UINT message, WPARAM wParam) {
        return [=](HWND balloon) {
            HWND target = onBalloon ? balloon : mainWindow()->GetSafeHwnd();
            PostMessageW(target, message, wParam, MAKELPARAM(20, 40));
        };
    };
    const auto nothing = [](HWND) {
    };
    // clang-format off
    const struct { const char* label; unsigned options; unsigned timeout; CWnd* owner; std::function<void(HWND)> act; bool closes; } cases[] = {
        {"left click elsewhere", kLeft, 0, mainWindow(), post(false, WM_LBUTTONDOWN, MK_LBUTTON), true},
        {"left click on the balloon", kLeft, 0, mainWindow(), post(true, WM_LBUTTONDOWN, MK_LBUTTON), true},
        {"every option, right click", kAll, 0, mainWindow(), post(false, WM_RBUTTONDOWN, MK_RBUTTON), true},
        {"key press", kKey, 0, mainWindow(), post(false, WM_KEYDOWN, VK_SPACE), true},
        {"left click without the option", kAll & ~kLeft, 0, mainWindow(), post(false, WM_LBUTTONDOWN, MK_LBUTTON), false},
        {"key release", kKey, 0, mainWindow(), post(false, WM_KEYUP, VK_SPACE), false},
        {"mouse move", kAll, 0, mainWindow(), post(false, WM_MOUSEMOVE, 0), false},
        {"no time-out", 0, 0, mainWindow(), nothing, false},
        {"time-out", 0, kTimeout, mainWindow(), nothing, true},
        {"cancelled", 0, 0, mainWindow(), [](HWND) { test_host::closeStrayWindows(); }, true},
        {"owner destroyed", 0, 0, &owner, [&](HWND) { owner.DestroyWindow(); }, true},
        {"the thread's next balloon", 0, 0, mainWindow(), [](HWND) { EXPECT_EQ(test_host::windowText(launch(0, 0, 2, "Second")), "Second"); }, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        g_callbacks.clear();
        if (c.owner == &owner) {
            ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), "owner", WS_POPUP | WS_VISIBLE,
                                       10, 10, 100, 80, nullptr, nullptr));
        }
        const DWORD start = GetTickCount();
        HWND balloon = launch(c.options, c.timeout, 77, "Posting", c.owner);
        ASSERT_NE(balloon, nullptr);
        c.act(balloon);
        if (c.closes) {
            EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); }));
        } else {
            pumpFor(kStayMilliseconds);
            EXPECT_TRUE(IsWindow(balloon));
        }
        EXPECT_GE(GetTickCount() - start + 20, c.timeout); // the tick count is coarse
        EXPECT_EQ(g_callbacks,
                  c.closes ? std::vector<unsigned __int64>{77} : std::vector<unsigned __int64>{});
        destroyBalloons();
    }
}

} // namespace
