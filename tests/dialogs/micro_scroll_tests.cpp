// The micro-scroll control in a real host dialog: its class, the range text, every message,
// clicks and auto-repeat, and what it paints.
#include "dialogs_test_support.h"

#include <test_host.h>

#include <gtest/gtest.h>

#include <functional>

namespace dialogs_tests {
namespace {

constexpr int kControlId = 77;
constexpr UINT_PTR kDelayTimer = 500, kRepeatTimer = 501;

// The class is registered once per process, so this runs in a process of its own (its own
// ctest entry); in a process where another test registered it already, it is skipped.
TEST(MicroScrollClass, RegistersOnceAndTriesAgainAfterAFailure) {
    WNDCLASSA existing{};
    if (GetClassInfoA(testModule(), "MicroScroll", &existing))
        GTEST_SKIP() << "needs a process of its own: --gtest_filter=MicroScrollClass.*";
    WNDCLASSA squatter{};
    squatter.style = CS_GLOBALCLASS;
    squatter.lpfnWndProc = DefWindowProcA;
    squatter.hInstance = testModule();
    squatter.lpszClassName = "MicroScroll";
    ASSERT_NE(RegisterClassA(&squatter), 0);
    EXPECT_EQ(FRegisterControl(testModule()), 0);
    ASSERT_TRUE(UnregisterClassA("MicroScroll", testModule()));
    const int atom = FRegisterControl(testModule());
    ASSERT_NE(atom, 0);
    EXPECT_EQ(FRegisterControl(testModule()), atom);

    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(testModule(), "MicroScroll", &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(info.cbWndExtra, 8);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hbrBackground), 19);
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW));
}

class MicroScroll : public ::testing::Test {
protected:
    explicit MicroScroll(bool visible = false) : host(visible) {}
    void SetUp() override { ASSERT_NE(FRegisterControl(testModule()), 0); }

    HWND create(DWORD style, const char* text = "", int width = 20, int height = 30) {
        control.reset(CreateWindowExA(0, "MicroScroll", text, WS_CHILD | WS_VISIBLE | style, 0, 0,
                                      width, height, host.get(),
                                      reinterpret_cast<HMENU>(kControlId), testModule(), nullptr));
        host.messages().clear();
        return control.get();
    }
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(control.get(), message, wParam, lParam);
    }
    [[nodiscard]] WORD position() { return static_cast<WORD>(send(MSCM_GETPOS)); }
    void setPosition(WORD pos) {
        send(MSCM_SETPOS, pos);
        host.messages().clear();
    }
    // The scroll codes and positions the host received, as (code, pos) pairs.
    [[nodiscard]] std::vector<std::pair<int, int>> scrolls(UINT message = WM_VSCROLL) {
        std::vector<std::pair<int, int>> found;
        for (const HostMessage& each : host.received(message))
            found.emplace_back(LOWORD(each.wParam), HIWORD(each.wParam));
        return found;
    }
    void press(int x, int y, UINT message = WM_LBUTTONDOWN) {
        send(message, MK_LBUTTON, MAKELPARAM(x, y));
    }

    HostDialog host;
    support::UniqueWindow control;
};

TEST_F(MicroScroll, ReadsTheRangeText) {
    struct Row {
        const char* text;
        DWORD style;
        WORD min, max, pos;
    };
    const Row rows[] = {
        {"0,100,50", MSCS_TEXTRANGE, 0, 100, 50},
        {"10,20,30", MSCS_TEXTRANGE, 10, 20, 15},
        {"10,20,10", MSCS_TEXTRANGE, 10, 20, 10},
        {"10,20", MSCS_TEXTRANGE, 0, 9, 5},
        {"10,20,", MSCS_TEXTRANGE, 0, 9, 5},
        {"", MSCS_TEXTRANGE, 0, 9, 5},
        {",5,0", MSCS_TEXTRANGE, 0, 5, 0},
        {"1,x,3", MSCS_TEXTRANGE, 1, 65535, 65535},
        {"40000,60000,1", MSCS_TEXTRANGE, 40000, 60000, 50000},
        {"2,9999999999,3", MSCS_TEXTRANGE, 2, 58367, 3},
        {"0,100,50", 0, 0, 9, 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << '"' << row.text << "\" style " << row.style);
        create(MSCS_VERTICAL | row.style, row.text);
        EXPECT_EQ(send(MSCM_GETRANGE),
                  static_cast<LRESULT>(static_cast<LONG>(MAKELONG(row.min, row.max))));
        EXPECT_EQ(position(), row.pos);
        EXPECT_EQ(textOf(control.get()), "");
    }
}

TEST_F(MicroScroll, SetsRangeAndPositionWithTheirNotifications) {
    create(MSCS_VERTICAL);
    EXPECT_EQ(send(MSCM_SETRANGE, 0, MAKELPARAM(4, 4)), -1);
    EXPECT_EQ(send(MSCM_SETRANGE, 0, MAKELPARAM(5, 2)), -1);
    EXPECT_TRUE(host.messages().empty());

    // Position 5 lies strictly inside 0..10: only the range-changing command.
    EXPECT_EQ(send(MSCM_SETRANGE, 0, MAKELPARAM(0, 10)), MAKELONG(0, 9));
    ASSERT_EQ(host.messages().size(), 1u);
    EXPECT_EQ(host.messages()[0].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(host.messages()[0].wParam, MAKEWPARAM(kControlId, MSCN_RANGECHANGING));

    setPosition(0);
    EXPECT_EQ(send(MSCM_SETRANGE, 0, MAKELPARAM(0, 10)), MAKELONG(0, 10));
    ASSERT_EQ(host.messages().size(), 2u);
    EXPECT_EQ(host.messages()[0].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(scrolls(), (std::vector<std::pair<int, int>>{{SB_THUMBTRACK, 5}}));

    host.messages().clear();
    EXPECT_EQ(send(MSCM_SETPOS, 5), 5);
    EXPECT_EQ(scrolls(), (std::vector<std::pair<int, int>>{{SB_THUMBTRACK, 5}}));
    EXPECT_EQ(send(MSCM_SETPOS, 0x10005), -1);
    EXPECT_EQ(send(MSCM_SETPOS, 11), -1);
    EXPECT_EQ(position(), 5);

    // Results with the top bit set come back sign-extended.
    EXPECT_EQ(send(MSCM_SETRANGE, 0, MAKELPARAM(1, 0x8000)), MAKELONG(0, 10));
    EXPECT_EQ(send(MSCM_GETRANGE), static_cast<LRESULT>(static_cast<LONG>(0x80000001)));
    EXPECT_LT(send(MSCM_GETRANGE), 0);
    EXPECT_EQ(send(MSCM_SETPOS, 0x8000), 5);
    EXPECT_EQ(send(MSCM_GETPOS), 0x8000);
    EXPECT_EQ(send(WM_USER + 50), 0);
}

TEST_F(MicroScroll, KeepsItsFlagsColoursAndNotifyWindow) {
    create(MSCS_VERTICAL | MSCS_STOPATLIMIT);
    EXPECT_EQ(send(MSCM_GETSTOPATLIMIT), 4);
    EXPECT_EQ(send(MSCM_SETSTOPATLIMIT, static_cast<WPARAM>(0x100000000)), 1);
    EXPECT_EQ(send(MSCM_GETSTOPATLIMIT), 0);
    EXPECT_EQ(send(MSCM_SETSTOPATLIMIT, 1), 0);
    EXPECT_EQ(send(MSCM_GETREVERSED), 0);
    EXPECT_EQ(send(MSCM_SETREVERSED, 2), 0);
    EXPECT_EQ(send(MSCM_GETREVERSED), 16);
    EXPECT_EQ(send(MSCM_SETREVERSED, 0), 1);

    EXPECT_EQ(send(MSCM_GETCOLOR, MSCC_HIGHLIGHT), -1);
    EXPECT_EQ(send(MSCM_SETCOLOR, MSCC_FACE, RGB(1, 2, 3)), -1);
    EXPECT_EQ(send(MSCM_GETCOLOR, MSCC_FACE), static_cast<LRESULT>(RGB(1, 2, 3)));
    EXPECT_EQ(send(MSCM_SETCOLOR, 5, RGB(4, 5, 6)), 0);
    EXPECT_EQ(send(MSCM_GETCOLOR, 5), 0);

    EXPECT_EQ(send(MSCM_GETNOTIFYWND), reinterpret_cast<LRESULT>(host.get()));
    EXPECT_EQ(send(MSCM_SETNOTIFYWND, reinterpret_cast<WPARAM>(HWND(nullptr))), -1);
    HostDialog other;
    EXPECT_EQ(send(MSCM_SETNOTIFYWND, reinterpret_cast<WPARAM>(other.get())),
              reinterpret_cast<LRESULT>(host.get()));
    EXPECT_EQ(send(MSCM_GETNOTIFYWND), reinterpret_cast<LRESULT>(other.get()));
    ASSERT_EQ(host.received(WM_COMMAND).size(), 1u);
    EXPECT_EQ(host.received(WM_COMMAND)[0].wParam, MAKEWPARAM(kControlId, MSCN_NOTIFYLOST));
    ASSERT_EQ(other.received(WM_COMMAND).size(), 1u);
    EXPECT_EQ(other.received(WM_COMMAND)[0].wParam, MAKEWPARAM(kControlId, MSCN_NOTIFYGAINED));
}

TEST_F(MicroScroll, StepsOnClicks) {
    struct Row {
        const char* label;
        DWORD style;
        WORD start;
        POINT at;
        UINT press;
        UINT scroll; // 0: nothing sent
        int code;
        WORD after;
    };
    const POINT top{10, 5}, bottom{10, 25}, left{5, 10}, right{25, 10};
    const Row rows[] = {
        {"first arrow goes down", MSCS_VERTICAL, 5, top, WM_LBUTTONDOWN, WM_VSCROLL, 0, 4},
        {"second arrow goes up", MSCS_VERTICAL, 5, bottom, WM_LBUTTONDOWN, WM_VSCROLL, 1, 6},
        {"double click presses again", MSCS_VERTICAL, 5, bottom, WM_LBUTTONDBLCLK, WM_VSCROLL, 1,
         6},
        {"horizontal", MSCS_HORIZONTAL, 5, right, WM_LBUTTONDOWN, WM_HSCROLL, 1, 6},
        {"no orientation is horizontal", 0, 5, left, WM_LBUTTONDOWN, WM_HSCROLL, 0, 4},
        {"both orientations are vertical", MSCS_VERTICAL | MSCS_HORIZONTAL, 5, top, WM_LBUTTONDOWN,
         WM_VSCROLL, 0, 4},
        {"reversed first arrow", MSCS_VERTICAL | MSCS_REVERSED, 5, top, WM_LBUTTONDOWN, WM_VSCROLL,
         0, 6},
        {"reversed second arrow", MSCS_VERTICAL | MSCS_REVERSED, 5, bottom, WM_LBUTTONDOWN,
         WM_VSCROLL, 1, 4},
        {"upper bound", MSCS_VERTICAL, 9, bottom, WM_LBUTTONDOWN, WM_VSCROLL, 1, 9},
        {"upper bound, stop", MSCS_VERTICAL | MSCS_STOPATLIMIT, 9, bottom, WM_LBUTTONDOWN, 0, 0, 9},
        {"lower bound", MSCS_VERTICAL, 0, top, WM_LBUTTONDOWN, WM_VSCROLL, 0, 0},
        {"lower bound, stop", MSCS_VERTICAL | MSCS_STOPATLIMIT, 0, top, WM_LBUTTONDOWN, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const bool vertical = (row.style & MSCS_VERTICAL) != 0;
        create(row.style, "", vertical ? 20 : 30, vertical ? 30 : 20);
        setPosition(row.start);
        press(row.at.x, row.at.y, row.press);
        EXPECT_EQ(GetCapture(), control.get());
        EXPECT_EQ(position(), row.after);
        const UINT other = row.scroll == WM_VSCROLL ? WM_HSCROLL : WM_VSCROLL;
        EXPECT_TRUE(scrolls(other).empty());
        if (row.scroll == 0) {
            EXPECT_TRUE(host.messages().empty());
        } else {
            EXPECT_EQ(scrolls(row.scroll),
                      (std::vector<std::pair<int, int>>{{row.code, row.after}}));
        }
        send(WM_LBUTTONUP);
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(MicroScroll, RepeatsWhileHeldAndStopsWhenTheHoldEnds) {
    create(MSCS_VERTICAL | MSCS_TEXTRANGE, "0,100,50");
    press(10, 25);
    send(WM_TIMER, kDelayTimer);
    send(WM_TIMER, kRepeatTimer);
    send(WM_TIMER, 77);
    EXPECT_EQ(position(), 53);
    send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 3)); // onto the other arrow: paused
    send(WM_TIMER, kRepeatTimer);
    EXPECT_EQ(position(), 53);
    send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 20));
    send(WM_TIMER, kRepeatTimer);
    EXPECT_EQ(position(), 54);
    send(WM_LBUTTONUP);
    send(WM_TIMER, kRepeatTimer);
    EXPECT_EQ(position(), 54);

    struct Ending {
        const char* label;
        std::function<void()> end;
    };
    HostDialog thief;
    const Ending endings[] = {
        {"cancel mode",
         [&] {
             send(WM_CANCELMODE);
         }},
        {"capture taken",
         [&] {
             SetCapture(thief.get());
         }},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.label);
        press(10, 25);
        const WORD held = position();
        ending.end();
        EXPECT_NE(GetCapture(), control.get());
        send(WM_TIMER, kRepeatTimer);
        EXPECT_EQ(position(), held);
        ReleaseCapture();
    }
}

TEST_F(MicroScroll, RepeatsOnRealTimers) {
    create(MSCS_VERTICAL | MSCS_TEXTRANGE, "0,1000,0");
    // The system reports the pointer's real place while the control holds the capture.
    POINT onSecondArrow{10, 25};
    ClientToScreen(control.get(), &onSecondArrow);
    SetCursorPos(onSecondArrow.x, onSecondArrow.y);
    press(10, 25);
    pumpFor(250);
    EXPECT_EQ(position(), 1) << "the first repeat waits 400 ms";
    pumpFor(850);
    EXPECT_GE(position(), 4);
    EXPECT_LE(position(), 30);
    send(WM_LBUTTONUP);
    const WORD released = position();
    pumpFor(150);
    EXPECT_EQ(position(), released);
}

TEST(MicroScrollWindow, WorksWithoutParentBeforeItsRecord) {
    ASSERT_NE(FRegisterControl(testModule()), 0);
    support::UniqueWindow popup(CreateWindowExA(0, "MicroScroll", "", WS_POPUP, 0, 0, 20, 30,
                                                nullptr, nullptr, testModule(), nullptr));
    ASSERT_NE(popup.get(), nullptr);
    EXPECT_EQ(SendMessageA(popup.get(), MSCM_GETNOTIFYWND, 0, 0), 0);
    EXPECT_EQ(SendMessageA(popup.get(), MSCM_SETPOS, 3, 0), 5);
}

class MicroScrollPainting : public MicroScroll {
protected:
    MicroScrollPainting() : MicroScroll(true) {}

    static constexpr COLORREF kFace = RGB(200, 200, 200), kArrow = RGB(0, 0, 255),
                              kShadow = RGB(0, 128, 0), kHighlight = RGB(255, 255, 0),
                              kFrame = RGB(255, 0, 255);
    void colour() {
        const COLORREF colours[] = {kFace, kArrow, kShadow, kHighlight, kFrame};
        for (int slot = 0; slot < 5; ++slot)
            send(MSCM_SETCOLOR, slot, colours[slot]);
    }
    COLORREF pixel(int x, int y) {
        UpdateWindow(control.get());
        HDC dc = GetDC(control.get());
        const COLORREF found = GetPixel(dc, x, y);
        ReleaseDC(control.get(), dc);
        return found;
    }
};

TEST_F(MicroScrollPainting, DrawsRaisedPressedAndDisabledArrows) {
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    struct Row {
        const char* label;
        DWORD style;
        SIZE size;
        POINT press; // {-1, -1}: none
        bool disabled;
        std::vector<Probe> probes;
    };
    const Row rows[] = {
        {"vertical raised",
         MSCS_VERTICAL,
         {20, 30},
         {-1, -1},
         false,
         {{0, 0, kFrame},
          {5, 15, kFrame},
          {4, 10, kFace},
          {1, 5, kHighlight},
          {18, 5, kShadow},
          {17, 5, kShadow},
          {10, 7, kArrow},
          {10, 21, kArrow}}},
        {"vertical first pressed",
         MSCS_VERTICAL,
         {20, 30},
         {10, 5},
         false,
         {{1, 5, kShadow}, {18, 5, kFace}, {11, 8, kArrow}, {1, 20, kHighlight}}},
        {"vertical disabled",
         MSCS_VERTICAL,
         {20, 30},
         {-1, -1},
         true,
         {{10, 23, kHighlight}, {10, 7, kFace}, {8, 7, kArrow}, {10, 20, kArrow}}},
        {"horizontal raised",
         MSCS_HORIZONTAL,
         {30, 20},
         {-1, -1},
         false,
         {{15, 5, kFrame},
          {1, 5, kHighlight},
          {14, 5, kShadow},
          {7, 10, kArrow},
          {22, 10, kArrow}}},
        {"horizontal second pressed",
         MSCS_HORIZONTAL,
         {30, 20},
         {25, 10},
         false,
         {{16, 5, kShadow}, {28, 5, kFace}, {1, 5, kHighlight}}},
        {"horizontal disabled",
         MSCS_HORIZONTAL,
         {30, 20},
         {-1, -1},
         true,
         {{8, 10, kHighlight}, {7, 10, kFace}, {20, 10, kArrow}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        create(row.style, "", row.size.cx, row.size.cy);
        colour();
        if (row.disabled)
            EnableWindow(control.get(), FALSE);
        if (row.press.x >= 0)
            press(row.press.x, row.press.y);
        for (const Probe& probe : row.probes)
            EXPECT_EQ(pixel(probe.x, probe.y), probe.colour) << probe.x << ", " << probe.y;
        if (row.press.x >= 0) {
            // The release repaints the arrow raised, although its own ReleaseCapture has
            // already ended the hold.
            send(WM_LBUTTONUP);
            EXPECT_EQ(pixel(row.style == MSCS_VERTICAL ? 1 : 16, 5), kHighlight);
            EXPECT_EQ(pixel(row.style == MSCS_VERTICAL ? 18 : 28, 5), kShadow);
        }
    }
}

TEST_F(MicroScrollPainting, DrawsTheLightEdgesInTheButtonHighlightByDefault) {
    create(MSCS_VERTICAL);
    EXPECT_EQ(pixel(1, 5), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(pixel(18, 5), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(send(MSCM_GETCOLOR, MSCC_HIGHLIGHT), -1);
}

TEST_F(MicroScrollPainting, PaintsTinySizes) {
    for (int size = 0; size <= 7; ++size) {
        SCOPED_TRACE(size);
        create(MSCS_VERTICAL, "", size, size);
        colour();
        UpdateWindow(control.get());
        RECT pending{};
        EXPECT_FALSE(GetUpdateRect(control.get(), &pending, FALSE)) << "painted";
    }
}

TEST_F(MicroScrollPainting, LeaksNoGdiObjects) {
    create(MSCS_VERTICAL);
    colour();
    std::vector<HPEN> filler;
    for (HPEN pen; filler.size() < 200000 && (pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));)
        filler.push_back(pen);
    constexpr size_t kFreed = 40;
    ASSERT_GT(filler.size(), kFreed);
    for (size_t index = 0; index < kFreed; ++index) {
        DeleteObject(filler.back());
        filler.pop_back();
    }
    for (int repaint = 0; repaint < 60; ++repaint) {
        InvalidateRect(control.get(), nullptr, TRUE);
        UpdateWindow(control.get());
    }
    size_t creatable = 0;
    for (; creatable < kFreed; ++creatable) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
        if (pen == nullptr)
            break;
        filler.push_back(pen);
    }
    for (HPEN pen : filler)
        DeleteObject(pen);
    EXPECT_EQ(creatable, kFreed);
}

} // namespace
} // namespace dialogs_tests
