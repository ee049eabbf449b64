// CBalloonHelp::LaunchBalloon of the stand-in: what the library's own tests rely on, a real
// balloon window of the thread with the window contract they read (title, content, icon,
// owner), that takes no activation and closes on its input options, its time-out, its
// owner, cancellation and the thread's next balloon.
#include "ui_helpers.h"

#include <gtest/gtest.h>
#include <test_host.h>
#include <ui_driver.h>

#include <vector>

namespace {

using d64avor_tests::destroyBalloons;
using d64avor_tests::findBalloon;
using d64avor_tests::pumpFor;
using d64avor_tests::pumpUntil;

// How long a balloon that must stay is watched.
constexpr DWORD kStayMilliseconds = 200;
const RECT kAnchor{300, 200, 340, 220};

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
    const struct { const char* label; const char* title; const char* content; const char* icon; CWnd* owner; const wchar_t* expectedTitle; const wchar_t* expectedContent; } cases[] = {
        {"texts", "Ledger closed", "No more entries.", IDI_EXCLAMATION, mainWindow(), L"Ledger closed", L"No more entries."},
        {"question icon", "Q", "q", IDI_QUESTION, mainWindow(), L"Q", L"q"},
        {"null texts, no icon, no owner", nullptr, nullptr, nullptr, nullptr, L"", L""},
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
        EXPECT_EQ(d64avor_tests::windowTextOf(balloon), c.expectedTitle);
        EXPECT_EQ(d64avor_tests::balloonContent(balloon), c.expectedContent);
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

TEST_F(BalloonTest, ClosesOnlyOnTheInputItsOptionsName) {
    const unsigned kLeft = CBalloonHelp::unCLOSE_ON_LBUTTON_DOWN;
    const unsigned kKey = CBalloonHelp::unCLOSE_ON_KEYPRESS;
    const unsigned kAll = kLeft | kKey | CBalloonHelp::unCLOSE_ON_MBUTTON_DOWN |
                          CBalloonHelp::unCLOSE_ON_RBUTTON_DOWN;
    // clang-format off
    const struct { const char* label; unsigned options; UINT message; WPARAM wParam; bool onBalloon; bool closes; } cases[] = {
        {"left click elsewhere", kLeft, WM_LBUTTONDOWN, MK_LBUTTON, false, true},
        {"left click on the balloon", kLeft, WM_LBUTTONDOWN, MK_LBUTTON, true, true},
        {"every option, right click", kAll, WM_RBUTTONDOWN, MK_RBUTTON, false, true},
        {"key press", kKey, WM_KEYDOWN, VK_SPACE, false, true},
        {"left click without the option", kAll & ~kLeft, WM_LBUTTONDOWN, MK_LBUTTON, false, false},
        {"key release", kKey, WM_KEYUP, VK_SPACE, false, false},
        {"mouse move", kAll, WM_MOUSEMOVE, 0, false, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        g_callbacks.clear();
        HWND balloon = launch(c.options, 0, 77);
        ASSERT_NE(balloon, nullptr);
        // A click in the balloon's body, clear of its close button.
        PostMessageW(c.onBalloon ? balloon : mainWindow()->GetSafeHwnd(), c.message, c.wParam,
                     MAKELPARAM(20, 40));
        if (c.closes) {
            EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); }));
        } else {
            pumpFor(kStayMilliseconds);
            EXPECT_TRUE(IsWindow(balloon));
        }
        EXPECT_EQ(g_callbacks,
                  c.closes ? std::vector<unsigned __int64>{77} : std::vector<unsigned __int64>{});
        destroyBalloons();
    }
}

TEST_F(BalloonTest, ClosesAfterItsTimeOutAndStaysWithoutOne) {
    HWND lasting = launch(0, 0);
    ASSERT_NE(lasting, nullptr);
    pumpFor(2 * kStayMilliseconds);
    EXPECT_TRUE(IsWindow(lasting));
    destroyBalloons();
    g_callbacks.clear();
    constexpr unsigned kTimeout = 150;
    const DWORD start = GetTickCount();
    HWND balloon = launch(0, kTimeout, 5);
    ASSERT_NE(balloon, nullptr);
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); }));
    EXPECT_GE(GetTickCount() - start, kTimeout - 20); // the tick count is coarse
    EXPECT_EQ(g_callbacks, std::vector<unsigned __int64>{5});
}

TEST_F(BalloonTest, ClosesOnCancelWithItsOwnerAndForTheThreadsNextBalloon) {
    HWND balloon = launch(0);
    ASSERT_NE(balloon, nullptr);
    test_host::closeStrayWindows();
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); }));
    g_callbacks.clear();

    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), "owner", WS_POPUP | WS_VISIBLE, 10, 10,
                               100, 80, nullptr, nullptr));
    balloon = launch(0, 0, 9, "Owned", &owner);
    ASSERT_NE(balloon, nullptr);
    owner.DestroyWindow();
    EXPECT_FALSE(IsWindow(balloon));
    EXPECT_EQ(g_callbacks, std::vector<unsigned __int64>{9});

    HWND first = launch(0, 0, 1);
    ASSERT_NE(first, nullptr);
    HWND second = launch(0, 0, 2, "Second");
    EXPECT_FALSE(IsWindow(first));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(d64avor_tests::windowTextOf(second), L"Second");
    EXPECT_EQ(g_callbacks, (std::vector<unsigned __int64>{9, 1}));
}

} // namespace
