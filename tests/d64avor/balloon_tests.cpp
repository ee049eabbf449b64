// CBalloonHelp::LaunchBalloon: a real balloon window of the thread that shows the title,
// the content and the icon at the anchor, and closes itself on the events its options
// name, on its time-out, with its owner, and when a newer balloon comes.
#include "ui_helpers.h"

#include <gtest/gtest.h>
#include <test_host.h>
#include <test_names.h>
#include <ui_driver.h>

#include <vector>

namespace {

using d64avor_tests::balloonContent;
using d64avor_tests::destroyBalloons;
using d64avor_tests::findBalloon;
using d64avor_tests::pumpFor;
using d64avor_tests::pumpUntil;
using d64avor_tests::windowTextOf;

// How long a balloon that must stay is watched.
constexpr DWORD kStayMilliseconds = 200;

const RECT kAnchor{300, 200, 340, 220};

// The callbacks each test sees.
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

    static HWND launch(unsigned options, unsigned timeout = 0, const char* icon = IDI_ASTERISK,
                       unsigned __int64 data = 0) {
        CBalloonHelp::LaunchBalloon("Posting", "The journal was posted.", &kAnchor, icon, options,
                                    mainWindow(), nullptr, timeout, &recordCallback, data, 0);
        return findBalloon();
    }
};

TEST_F(BalloonTest, ShowsTheTitleAndTheContentAndReturnsAtOnce) {
    struct Case {
        const char* label;
        const char* title;
        const char* content;
        CWnd* owner;
        const wchar_t* expectedTitle;
        const wchar_t* expectedContent;
    };
    const Case cases[] = {
        {"texts", "Ledger closed", "No more entries can be made.", mainWindow(), L"Ledger closed",
         L"No more entries can be made."},
        {"null texts, no owner", nullptr, nullptr, nullptr, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CBalloonHelp::LaunchBalloon(c.title, c.content, &kAnchor, IDI_EXCLAMATION, 0, c.owner,
                                    nullptr, 0, nullptr, 0, 0);
        HWND balloon = findBalloon();
        ASSERT_NE(balloon, nullptr);
        EXPECT_TRUE(IsWindowVisible(balloon));
        EXPECT_EQ(windowTextOf(balloon), c.expectedTitle);
        EXPECT_EQ(balloonContent(balloon), c.expectedContent);
        EXPECT_EQ(GetWindow(balloon, GW_OWNER), c.owner != nullptr ? c.owner->m_hWnd : nullptr);
        destroyBalloons();
    }
}

TEST_F(BalloonTest, TakesNeitherTheActivationNorTheFocus) {
    HWND active = GetActiveWindow();
    HWND balloon = launch(0);
    ASSERT_NE(balloon, nullptr);
    pumpFor(50);
    EXPECT_EQ(GetActiveWindow(), active);
    EXPECT_EQ(SendMessageW(balloon, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(balloon),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE);
}

TEST_F(BalloonTest, ShowsTheStandardIcon) {
    const struct {
        const char* label;
        const char* icon;
    } cases[] = {{"hand", IDI_HAND},
                 {"question", IDI_QUESTION},
                 {"exclamation", IDI_EXCLAMATION},
                 {"asterisk", IDI_ASTERISK},
                 {"none", nullptr}};
    for (const auto& row : cases) {
        HWND balloon = launch(0, 0, row.icon);
        ASSERT_NE(balloon, nullptr) << row.label;
        const auto shown =
            reinterpret_cast<HICON>(SendMessageW(balloon, WM_GETICON, ICON_SMALL, 0));
        EXPECT_EQ(shown, row.icon ? LoadIconA(nullptr, row.icon) : nullptr) << row.label;
        destroyBalloons();
    }
}

// ---------------------------------------------------------------------------------------
// Closing on input
// ---------------------------------------------------------------------------------------

enum class Target { mainWindow, balloon };

struct InputCase {
    const char* label;
    unsigned options;
    UINT message;
    WPARAM wParam;
    Target target;
    bool closes;
};

class BalloonInputTest : public BalloonTest, public testing::WithParamInterface<InputCase> {};

TEST_P(BalloonInputTest, ClosesOnlyOnTheInputItsOptionsName) {
    const InputCase& row = GetParam();
    HWND balloon = launch(row.options, 0, IDI_ASTERISK, 77);
    ASSERT_NE(balloon, nullptr);
    HWND target = row.target == Target::balloon ? balloon : mainWindow()->GetSafeHwnd();
    // A click in the balloon's body, clear of its close button.
    PostMessageW(target, row.message, row.wParam, MAKELPARAM(20, 40));
    if (row.closes) {
        EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); })) << row.label;
        EXPECT_EQ(g_callbacks, std::vector<unsigned __int64>{77}) << row.label;
    } else {
        pumpFor(kStayMilliseconds);
        EXPECT_TRUE(IsWindow(balloon)) << row.label;
        EXPECT_TRUE(g_callbacks.empty()) << row.label;
    }
}

const unsigned kLeft = CBalloonHelp::unCLOSE_ON_LBUTTON_DOWN;
const unsigned kMiddle = CBalloonHelp::unCLOSE_ON_MBUTTON_DOWN;
const unsigned kRight = CBalloonHelp::unCLOSE_ON_RBUTTON_DOWN;
const unsigned kKey = CBalloonHelp::unCLOSE_ON_KEYPRESS;
const unsigned kAllInput = kLeft | kMiddle | kRight | kKey;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Input, BalloonInputTest, testing::Values(
    InputCase{"left click elsewhere", kLeft, WM_LBUTTONDOWN, MK_LBUTTON, Target::mainWindow, true},
    InputCase{"left click on the balloon", kLeft, WM_LBUTTONDOWN, MK_LBUTTON, Target::balloon, true},
    InputCase{"left click outside a client area", kLeft, WM_NCLBUTTONDOWN, HTNOWHERE, Target::mainWindow, true},
    InputCase{"middle click", kMiddle, WM_MBUTTONDOWN, MK_MBUTTON, Target::mainWindow, true},
    InputCase{"right click", kRight, WM_RBUTTONDOWN, MK_RBUTTON, Target::mainWindow, true},
    InputCase{"key press", kKey, WM_KEYDOWN, VK_SPACE, Target::mainWindow, true},
    InputCase{"system key press", kKey, WM_SYSKEYDOWN, 'X', Target::mainWindow, true},
    InputCase{"every option, right click", kAllInput, WM_RBUTTONDOWN, MK_RBUTTON, Target::mainWindow, true},
    InputCase{"left click without the option", kAllInput & ~kLeft, WM_LBUTTONDOWN, MK_LBUTTON, Target::mainWindow, false},
    InputCase{"left click on the balloon without the option", kKey, WM_LBUTTONDOWN, MK_LBUTTON, Target::balloon, false},
    InputCase{"middle click without the option", kLeft | kRight | kKey, WM_MBUTTONDOWN, MK_MBUTTON, Target::mainWindow, false},
    InputCase{"right click without the option", kLeft | kMiddle | kKey, WM_RBUTTONDOWN, MK_RBUTTON, Target::mainWindow, false},
    InputCase{"key press without the option", kLeft | kMiddle | kRight, WM_KEYDOWN, VK_SPACE, Target::mainWindow, false},
    InputCase{"key release", kKey, WM_KEYUP, VK_SPACE, Target::mainWindow, false},
    InputCase{"mouse move", kAllInput, WM_MOUSEMOVE, 0, Target::mainWindow, false},
    InputCase{"no options", 0, WM_LBUTTONDOWN, MK_LBUTTON, Target::mainWindow, false}),
    test_support::LabelName());
// clang-format on

TEST_F(BalloonTest, HasACloseButtonOnlyWhenAskedAndClosesWhenItIsClicked) {
    HWND plain = launch(0);
    ASSERT_NE(plain, nullptr);
    RECT none{1, 1, 2, 2};
    EXPECT_FALSE(
        SendMessageW(plain, D64AVOR_BALLOON_GETCLOSEBUTTON, 0, reinterpret_cast<LPARAM>(&none)));
    EXPECT_TRUE(IsRectEmpty(&none));
    destroyBalloons();

    HWND balloon = launch(CBalloonHelp::unSHOW_CLOSE_BUTTON);
    ASSERT_NE(balloon, nullptr);
    RECT button{};
    ASSERT_TRUE(SendMessageW(balloon, D64AVOR_BALLOON_GETCLOSEBUTTON, 0,
                             reinterpret_cast<LPARAM>(&button)));
    ASSERT_FALSE(IsRectEmpty(&button));
    RECT client{};
    GetClientRect(balloon, &client);
    RECT inside{};
    EXPECT_TRUE(IntersectRect(&inside, &button, &client) && EqualRect(&inside, &button));
    const POINT centre{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    PostMessageW(balloon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); }));
}

// ---------------------------------------------------------------------------------------
// Time-out, owner and replacement
// ---------------------------------------------------------------------------------------

TEST_F(BalloonTest, ClosesAfterItsTimeOutAndStaysWithoutOne) {
    HWND lasting = launch(0, 0);
    ASSERT_NE(lasting, nullptr);
    pumpFor(2 * kStayMilliseconds);
    EXPECT_TRUE(IsWindow(lasting));
    destroyBalloons();
    g_callbacks.clear();

    constexpr unsigned kTimeout = 150;
    const DWORD start = GetTickCount();
    HWND balloon = launch(0, kTimeout, IDI_ASTERISK, 5);
    ASSERT_NE(balloon, nullptr);
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); }));
    EXPECT_GE(GetTickCount() - start, kTimeout - 20); // the tick count is coarse
    EXPECT_EQ(g_callbacks, std::vector<unsigned __int64>{5});
}

TEST_F(BalloonTest, ClosesOnCancelSoThatStrayWindowsCanBeClosed) {
    HWND balloon = launch(0);
    ASSERT_NE(balloon, nullptr);
    test_host::closeStrayWindows();
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(balloon); }));
}

TEST_F(BalloonTest, GoesWithItsOwner) {
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), "owner", WS_POPUP | WS_VISIBLE, 10, 10,
                               100, 80, nullptr, nullptr));
    CBalloonHelp::LaunchBalloon("Owned", "text", &kAnchor, nullptr, 0, &owner, nullptr, 0,
                                &recordCallback, 9, 0);
    HWND balloon = findBalloon();
    ASSERT_NE(balloon, nullptr);
    EXPECT_EQ(GetWindow(balloon, GW_OWNER), owner.GetSafeHwnd());
    owner.DestroyWindow();
    EXPECT_FALSE(IsWindow(balloon));
    EXPECT_EQ(g_callbacks, std::vector<unsigned __int64>{9});
}

TEST_F(BalloonTest, IsReplacedByTheNextBalloonOfTheThread) {
    HWND first = launch(0, 0, IDI_ASTERISK, 1);
    ASSERT_NE(first, nullptr);
    CBalloonHelp::LaunchBalloon("Second", "text", &kAnchor, nullptr, 0, mainWindow(), nullptr, 0,
                                &recordCallback, 2, 0);
    EXPECT_FALSE(IsWindow(first));
    HWND second = findBalloon();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(windowTextOf(second), L"Second");
    EXPECT_EQ(g_callbacks, std::vector<unsigned __int64>{1});
}

// ---------------------------------------------------------------------------------------
// Placement
// ---------------------------------------------------------------------------------------

struct QuadrantCase {
    const char* label;
    unsigned option;
    bool above; // the balloon lies above the anchor
    bool left;  // the balloon extends to the left of the anchor's middle
};

class BalloonQuadrantTest : public BalloonTest, public testing::WithParamInterface<QuadrantCase> {};

// Without exactly one forcing bit the balloon takes the bottom-right quadrant when it fits.
TEST_P(BalloonQuadrantTest, LiesInItsQuadrantWithTheTailAtTheAnchor) {
    const QuadrantCase& row = GetParam();
    HWND balloon = launch(row.option);
    ASSERT_NE(balloon, nullptr);
    RECT placed{};
    GetWindowRect(balloon, &placed);
    const int middle = (kAnchor.left + kAnchor.right) / 2;
    if (row.above)
        EXPECT_EQ(placed.bottom, kAnchor.top) << row.label;
    else
        EXPECT_EQ(placed.top, kAnchor.bottom) << row.label;
    ASSERT_LT(placed.left, middle) << row.label;
    ASSERT_GT(placed.right, middle) << row.label;
    const int leftPart = middle - placed.left;
    const int rightPart = placed.right - middle;
    EXPECT_EQ(leftPart > rightPart, row.left)
        << row.label << ": " << leftPart << " left, " << rightPart << " right of the anchor";
    // The tail is part of the window's shape next to the anchor's middle; the corner of the
    // window beside the tail is not.
    const int height = placed.bottom - placed.top;
    const int tailRow = row.above ? height - 6 : 6;
    const POINT inTail{middle - placed.left + (row.left ? -2 : 2), tailRow};
    d64avor_tests::UniqueRegion shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(balloon, shape.get()), ERROR) << row.label;
    EXPECT_TRUE(PtInRegion(shape.get(), inTail.x, inTail.y)) << row.label;
    const int outerColumn = row.left ? placed.right - placed.left - 2 : 1;
    EXPECT_FALSE(PtInRegion(shape.get(), outerColumn, tailRow)) << row.label;
}

const unsigned kTopLeft = CBalloonHelp::unFORCE_QUADRANT_TOPLEFT;
const unsigned kTopRight = CBalloonHelp::unFORCE_QUADRANT_TOPRIGHT;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Quadrants, BalloonQuadrantTest, testing::Values(
    QuadrantCase{"top_left", kTopLeft, true, true},
    QuadrantCase{"top_right", kTopRight, true, false},
    QuadrantCase{"bottom_left", CBalloonHelp::unFORCE_QUADRANT_BOTTOMLEFT, false, true},
    QuadrantCase{"bottom_right", CBalloonHelp::unFORCE_QUADRANT_BOTTOMRIGHT, false, false},
    QuadrantCase{"unforced_no_bits", 0, false, false},
    QuadrantCase{"unforced_two_quadrants", kTopLeft | kTopRight, false, false},
    QuadrantCase{"unforced_every_bit", 0xFFFFFFFFu, false, false}),
    test_support::LabelName());
// clang-format on

TEST_F(BalloonTest, GoesAboveAnAnchorAtTheBottomOfTheScreen) {
    const int screenBottom = GetSystemMetrics(SM_CYSCREEN);
    const RECT low{300, screenBottom - 10, 340, screenBottom};
    CBalloonHelp::LaunchBalloon("Low", "anchored at the bottom", &low, nullptr, 0, mainWindow(),
                                nullptr, 0, nullptr, 0, 0);
    HWND balloon = findBalloon();
    ASSERT_NE(balloon, nullptr);
    RECT placed{};
    GetWindowRect(balloon, &placed);
    EXPECT_EQ(placed.bottom, low.top);
}

TEST_F(BalloonTest, PointsAtTheParentsCentreWithoutAnAnchor) {
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0), "parent", WS_POPUP | WS_VISIBLE, 100,
                                100, 200, 100, nullptr, nullptr));
    CBalloonHelp::LaunchBalloon("Centred", "text", nullptr, nullptr,
                                CBalloonHelp::unFORCE_QUADRANT_BOTTOMRIGHT, &parent, nullptr, 0,
                                nullptr, 0, 0);
    HWND balloon = findBalloon();
    ASSERT_NE(balloon, nullptr);
    RECT placed{};
    GetWindowRect(balloon, &placed);
    EXPECT_EQ(placed.top, 150); // the parent's vertical middle
    EXPECT_LT(placed.left, 200);
    EXPECT_GT(placed.right, 200);
}

} // namespace
