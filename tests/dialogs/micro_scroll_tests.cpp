// The micro-scroll control in a real host dialog: its class, the range text, messages,
// clicks and auto-repeat as sequences of rows, and pixels of what it paints.
#include "dialogs_test_support.h"

#include <support/gdi_resources.h>

#include <gtest/gtest.h>

#include <tuple>

namespace dialogs_tests {
namespace {

constexpr int kId = 77;
constexpr UINT kDown = WM_LBUTTONDOWN, kUp = WM_LBUTTONUP, kTimer = WM_TIMER;
constexpr LPARAM kTop = MAKELPARAM(10, 5), kBottom = MAKELPARAM(10, 25);
constexpr LRESULT kAny = 0x7FFFFFFF; // a result the row does not check

// Registration is process-wide: this runs in a process of its own (a ctest entry of its own).
TEST(MicroScrollClass, RegistersOnceAndTriesAgainAfterAFailure) {
    WNDCLASSA squatter{};
    squatter.style = CS_GLOBALCLASS;
    squatter.lpfnWndProc = DefWindowProcA;
    squatter.hInstance = testModule();
    squatter.lpszClassName = "MicroScroll";
    if (GetClassInfoA(testModule(), "MicroScroll", &squatter))
        GTEST_SKIP() << "needs a process of its own: --gtest_filter=MicroScrollClass.*";
    ASSERT_NE(RegisterClassA(&squatter), 0);
    EXPECT_EQ(FRegisterControl(testModule()), 0);
    ASSERT_TRUE(UnregisterClassA("MicroScroll", testModule()));
    const int atom = FRegisterControl(testModule());
    EXPECT_NE(atom, 0);
    EXPECT_EQ(FRegisterControl(testModule()), atom);
    WNDCLASSA info{};
    ASSERT_TRUE(GetClassInfoA(testModule(), "MicroScroll", &info));
    EXPECT_EQ(std::tuple(info.style, info.cbWndExtra, reinterpret_cast<INT_PTR>(info.hbrBackground),
                         info.hCursor),
              std::tuple(UINT{CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW}, 8,
                         INT_PTR{19}, LoadCursorA(nullptr, IDC_ARROW)));
}

class MicroScroll : public ::testing::Test {
protected:
    explicit MicroScroll(bool shown = false) : host(shown) {}
    void SetUp() override { ASSERT_NE(FRegisterControl(testModule()), 0); }
    void create(DWORD style, const char* text = "", int width = 20, int height = 30) {
        control.reset(CreateWindowExA(0, "MicroScroll", text, WS_CHILD | WS_VISIBLE | style, 0, 0,
                                      width, height, host.get(), reinterpret_cast<HMENU>(kId),
                                      testModule(), nullptr));
        host.log.clear();
    }
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(control.get(), message, wParam, lParam);
    }
    // Sends each row's message and checks its result and what the host was sent.
    // clang-format off
    struct Step { const char* label; UINT message; WPARAM wParam; LPARAM lParam; LRESULT result; const char* log; };
    // clang-format on
    void run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            host.log.clear();
            const LRESULT result = send(step.message, step.wParam, step.lParam);
            if (step.result != kAny) {
                EXPECT_EQ(result, step.result) << step.label;
            }
            EXPECT_EQ(host.log, step.log) << step.label;
        }
    }
    HostDialog host;
    support::UniqueWindow control;
};

TEST_F(MicroScroll, ReadsTheRangeText) {
    // clang-format off
    const struct { const char* text; DWORD style; WORD min, max, pos; } rows[] = {
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
    // clang-format on
    for (const auto& row : rows) {
        create(MSCS_VERTICAL | row.style, row.text);
        const LRESULT range = static_cast<LONG>(MAKELONG(row.min, row.max)); // sign-extended
        EXPECT_EQ(std::tuple(send(MSCM_GETRANGE), send(MSCM_GETPOS), windowText(control.get())),
                  std::tuple(range, LRESULT{row.pos}, ""))
            << row.text;
    }
}

TEST_F(MicroScroll, AnswersEveryMessage) {
    create(MSCS_VERTICAL | MSCS_STOPATLIMIT);
    const auto hostHandle = reinterpret_cast<LRESULT>(host.get());
    run({{"min equal to max", MSCM_SETRANGE, 0, MAKELPARAM(4, 4), -1, ""},
         {"pos 5 inside 0..10", MSCM_SETRANGE, 0, MAKELPARAM(0, 10), MAKELONG(0, 9), "C3 "},
         {"set pos", MSCM_SETPOS, 0, 0, 5, "V5:0 "},
         {"pos 0 on the bound", MSCM_SETRANGE, 0, MAKELPARAM(0, 10), MAKELONG(0, 10), "C3 V5:5 "},
         {"same pos", MSCM_SETPOS, 5, 0, 5, "V5:5 "},
         {"whole wParam", MSCM_SETPOS, 0x10005, 0, -1, ""},
         {"above max", MSCM_SETPOS, 11, 0, -1, ""},
         {"top bit", MSCM_SETRANGE, 0, MAKELPARAM(1, 0x8000), MAKELONG(0, 10), "C3 "},
         {"sign-extended", MSCM_GETRANGE, 0, 0, static_cast<LONG>(0x80000001), ""},
         {"high pos", MSCM_SETPOS, 0x8000, 0, 5, "V5:32768 "},
         {"get pos", MSCM_GETPOS, 0, 0, 0x8000, ""},
         {"stop flag", MSCM_GETSTOPATLIMIT, 0, 0, 4, ""},
         {"low 32 bits only", MSCM_SETSTOPATLIMIT, WPARAM(0x100000000), 0, 1, ""},
         {"stop cleared", MSCM_GETSTOPATLIMIT, 0, 0, 0, ""},
         {"reversed", MSCM_SETREVERSED, 2, 0, 0, ""},
         {"reversed set", MSCM_GETREVERSED, 0, 0, 16, ""},
         {"default colour", MSCM_GETCOLOR, MSCC_HIGHLIGHT, 0, -1, ""},
         {"set colour", MSCM_SETCOLOR, MSCC_FACE, RGB(1, 2, 3), -1, ""},
         {"get colour", MSCM_GETCOLOR, MSCC_FACE, 0, RGB(1, 2, 3), ""},
         {"slot 5", MSCM_SETCOLOR, 5, RGB(1, 2, 3), 0, ""},
         {"get slot 5", MSCM_GETCOLOR, 5, 0, 0, ""},
         {"notify window", MSCM_GETNOTIFYWND, 0, 0, hostHandle, ""},
         {"not a window", MSCM_SETNOTIFYWND, 0, 0, -1, ""},
         {"past the messages", WM_USER + 50, 0, 0, 0, ""}});
    HostDialog other;
    run({{"new notify window", MSCM_SETNOTIFYWND, WPARAM(other.get()), 0, hostHandle, "C2 "}});
    EXPECT_EQ(other.log, "C1 ");
    EXPECT_EQ(send(MSCM_GETNOTIFYWND), reinterpret_cast<LRESULT>(other.get()));
}

TEST_F(MicroScroll, StepsOnClicksAndTimers) {
    // clang-format off
    const struct { const char* label; DWORD style; WORD start; std::vector<Step> steps; } rows[] = {
        {"first arrow", MSCS_VERTICAL, 5, {{"down", kDown, 0, kTop, kAny, "V0:4 "}}},
        {"second arrow", MSCS_VERTICAL, 5, {{"down", kDown, 0, kBottom, kAny, "V1:6 "}}},
        {"double click", MSCS_VERTICAL, 5, {{"down", kDown, 0, kBottom, kAny, "V1:6 "}, {"up", kUp, 0, 0, kAny, ""}, {"double", WM_LBUTTONDBLCLK, 0, kBottom, kAny, "V1:7 "}}},
        {"horizontal", MSCS_HORIZONTAL, 5, {{"down", kDown, 0, MAKELPARAM(25, 5), kAny, "H1:6 "}}},
        {"both orientations", MSCS_VERTICAL | MSCS_HORIZONTAL, 5, {{"down", kDown, 0, kTop, kAny, "V0:4 "}}},
        {"reversed", MSCS_VERTICAL | MSCS_REVERSED, 5, {{"first", kDown, 0, kTop, kAny, "V0:6 "}, {"up", kUp, 0, 0, kAny, ""}, {"second", kDown, 0, kBottom, kAny, "V1:5 "}}},
        {"limits", MSCS_VERTICAL, 9, {{"upper", kDown, 0, kBottom, kAny, "V1:9 "}, {"up", kUp, 0, 0, kAny, ""}, {"set", MSCM_SETPOS, 0, 0, 9, "V5:0 "}, {"lower", kDown, 0, kTop, kAny, "V0:0 "}}},
        {"limits, stop", MSCS_VERTICAL | MSCS_STOPATLIMIT, 9, {{"upper", kDown, 0, kBottom, kAny, ""}, {"up", kUp, 0, 0, kAny, ""}, {"set", MSCM_SETPOS, 0, 0, 9, "V5:0 "}, {"lower", kDown, 0, kTop, kAny, ""}}},
        {"repeat", MSCS_VERTICAL, 2, {
            {"down", kDown, 0, kBottom, kAny, "V1:3 "}, {"delay", kTimer, 500, 0, kAny, "V1:4 "}, {"repeat", kTimer, 501, 0, kAny, "V1:5 "},
            {"other timer", kTimer, 77, 0, kAny, ""}, {"off the arrow", WM_MOUSEMOVE, 0, kTop, kAny, ""}, {"paused", kTimer, 501, 0, kAny, ""},
            {"back", WM_MOUSEMOVE, 0, kBottom, kAny, ""}, {"again", kTimer, 501, 0, kAny, "V1:6 "}, {"release", kUp, 0, 0, kAny, ""},
            {"nothing held", kTimer, 501, 0, kAny, ""}}},
        {"cancel mode", MSCS_VERTICAL, 2, {{"down", kDown, 0, kBottom, kAny, "V1:3 "}, {"cancel", WM_CANCELMODE, 0, 0, kAny, ""}, {"nothing held", kTimer, 501, 0, kAny, ""}}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        create(row.style, "", row.style == MSCS_HORIZONTAL ? 30 : 20, 30);
        send(MSCM_SETPOS, row.start);
        run(row.steps);
        send(kUp);
        EXPECT_EQ(GetCapture(), nullptr);
    }
    HostDialog thief;
    create(MSCS_VERTICAL);
    run({{"down", kDown, 0, kBottom, kAny, "V1:6 "}});
    SetCapture(thief.get());
    run({{"capture lost", kTimer, 501, 0, kAny, ""}});
    ReleaseCapture();
}

TEST_F(MicroScroll, RepeatsOnRealTimers) {
    create(MSCS_VERTICAL | MSCS_TEXTRANGE, "0,1000,0");
    // The system reports the pointer's real place while the control holds the capture.
    POINT onArrow{10, 25};
    ClientToScreen(control.get(), &onArrow);
    SetCursorPos(onArrow.x, onArrow.y);
    send(kDown, 0, kBottom);
    pumpFor(250);
    EXPECT_EQ(send(MSCM_GETPOS), 1) << "the first repeat waits 400 ms";
    pumpFor(850);
    EXPECT_GE(send(MSCM_GETPOS), 4);
    EXPECT_LE(send(MSCM_GETPOS), 30);
    send(kUp);
    const LRESULT released = send(MSCM_GETPOS);
    pumpFor(150);
    EXPECT_EQ(send(MSCM_GETPOS), released);
}

TEST(MicroScrollWindow, WorksWithoutParent) {
    ASSERT_NE(FRegisterControl(testModule()), 0);
    support::UniqueWindow popup(CreateWindowExA(0, "MicroScroll", "", WS_POPUP, 0, 0, 20, 30,
                                                nullptr, nullptr, testModule(), nullptr));
    EXPECT_EQ(SendMessageA(popup.get(), MSCM_GETNOTIFYWND, 0, 0), 0);
    EXPECT_EQ(SendMessageA(popup.get(), MSCM_SETPOS, 3, 0), 5);
}

class MicroScrollPainting : public MicroScroll {
protected:
    MicroScrollPainting() : MicroScroll(true) {}
    static constexpr COLORREF kFace = RGB(200, 200, 200), kArrow = RGB(0, 0, 255),
                              kShadow = RGB(0, 128, 0), kLight = RGB(255, 255, 0),
                              kFrame = RGB(255, 0, 255);
    void colour() {
        for (COLORREF slot = 0, colours[] = {kFace, kArrow, kShadow, kLight, kFrame}; slot < 5;
             ++slot)
            send(MSCM_SETCOLOR, slot, colours[slot]);
    }
    COLORREF pixel(int x, int y) {
        UpdateWindow(control.get());
        const support::WindowDC dc(control.get());
        return GetPixel(dc.get(), x, y);
    }
};

TEST_F(MicroScrollPainting, DrawsRaisedPressedAndDisabledArrows) {
    const LPARAM right = MAKELPARAM(25, 10);
    // clang-format off
    struct Probe { int x, y; COLORREF colour; };
    const struct { const char* label; DWORD style; LPARAM press; /* 0: none */ bool disabled; std::vector<Probe> probes; } rows[] = {
        {"vertical", MSCS_VERTICAL, 0, false, {{0, 0, kFrame}, {5, 15, kFrame}, {4, 10, kFace}, {1, 5, kLight}, {18, 5, kShadow}, {17, 5, kShadow}, {10, 7, kArrow}, {10, 21, kArrow}}},
        {"vertical pressed", MSCS_VERTICAL, kTop, false, {{1, 5, kShadow}, {18, 5, kFace}, {11, 8, kArrow}, {1, 20, kLight}}},
        {"vertical disabled", MSCS_VERTICAL, 0, true, {{10, 23, kLight}, {10, 7, kFace}, {8, 7, kArrow}, {10, 20, kArrow}}},
        {"horizontal", MSCS_HORIZONTAL, 0, false, {{15, 5, kFrame}, {1, 5, kLight}, {14, 5, kShadow}, {7, 10, kArrow}, {22, 10, kArrow}}},
        {"horizontal pressed", MSCS_HORIZONTAL, right, false, {{16, 5, kShadow}, {28, 5, kFace}, {1, 5, kLight}}},
        {"horizontal disabled", MSCS_HORIZONTAL, 0, true, {{8, 10, kLight}, {7, 10, kFace}, {20, 10, kArrow}}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const bool vertical = row.style == MSCS_VERTICAL;
        create(row.style, "", vertical ? 20 : 30, vertical ? 30 : 20);
        colour();
        EnableWindow(control.get(), !row.disabled);
        if (row.press != 0)
            send(kDown, 0, row.press);
        for (const Probe& probe : row.probes)
            EXPECT_EQ(pixel(probe.x, probe.y), probe.colour) << probe.x << ", " << probe.y;
        // The release redraws the arrow raised, though its ReleaseCapture ended the hold.
        send(kUp);
        EXPECT_EQ(pixel(vertical ? 18 : 28, 5), kShadow);
    }
    create(MSCS_VERTICAL); // default colours: the light edges in the button highlight
    EXPECT_EQ(pixel(1, 5), GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST_F(MicroScrollPainting, PaintsEverySizeWithoutLeakingGdiObjects) {
    for (int size = 0; size <= 7; ++size) {
        create(MSCS_VERTICAL, "", size, size);
        UpdateWindow(control.get());
        RECT pending{};
        EXPECT_FALSE(GetUpdateRect(control.get(), &pending, FALSE)) << size;
    }
    create(MSCS_VERTICAL);
    colour();
    std::vector<HPEN> filler;
    for (HPEN pen; filler.size() < 200000 && (pen = CreatePen(PS_SOLID, 1, 0)) != nullptr;)
        filler.push_back(pen);
    for (int freed = 0; freed < 40; ++freed, filler.pop_back())
        DeleteObject(filler.back());
    for (int repaint = 0; repaint < 60; ++repaint)
        RedrawWindow(control.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    int creatable = 0;
    for (HPEN pen; creatable < 40 && (pen = CreatePen(PS_SOLID, 1, 0)) != nullptr; ++creatable)
        filler.push_back(pen);
    for (HPEN pen : filler)
        DeleteObject(pen);
    EXPECT_EQ(creatable, 40);
}

} // namespace
} // namespace dialogs_tests
