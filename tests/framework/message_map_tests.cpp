// Message maps: routing of messages, commands and control notifications to handlers,
// chaining to the base class's map, the current message and the default procedure.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "ui_driver.h"
#include "window_test_support.h"

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using framework_tests::createPopup;

constexpr UINT kBaseCommand = 3001;
constexpr UINT kSharedCommand = 3002;
constexpr UINT kRangeFirst = 3010;
constexpr UINT kRangeLast = 3019;
constexpr UINT kButtonId = 3020;
constexpr UINT kUnmappedCommand = 3099;
constexpr UINT kPingMessage = WM_APP + 1;
constexpr UINT kDefaultingMessage = WM_APP + 2;
constexpr UINT_PTR kTimerId = 7;

class BaseWindow : public CWnd {
public:
    std::vector<std::string> calls;
    MSG seenMessage{};

protected:
    afx_msg void OnBaseCommand() { calls.push_back("base:command"); }
    afx_msg void OnShared() { calls.push_back("base:shared"); }
    afx_msg void OnRange(UINT id) { calls.push_back("base:range " + std::to_string(id)); }
    afx_msg LRESULT OnPing(WPARAM wParam, LPARAM lParam) {
        calls.push_back("base:ping");
        seenMessage = *GetCurrentMessage();
        return static_cast<LRESULT>(wParam) + lParam;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWindow, CWnd)
ON_COMMAND(kBaseCommand, &BaseWindow::OnBaseCommand)
ON_COMMAND(kSharedCommand, &BaseWindow::OnShared)
ON_COMMAND_RANGE(kRangeFirst, kRangeLast, &BaseWindow::OnRange)
ON_MESSAGE(kPingMessage, &BaseWindow::OnPing)
END_MESSAGE_MAP()

class DerivedWindow : public BaseWindow {
public:
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    bool passSetTextOn = true;
    int paints = 0;

protected:
    afx_msg void OnShared() { calls.push_back("derived:shared"); }
    afx_msg void OnClicked() { calls.push_back("derived:clicked"); }
    afx_msg void OnSize(UINT type, int cx, int cy) {
        calls.push_back("derived:size " + std::to_string(type) + " " + std::to_string(cx) + "x" +
                        std::to_string(cy));
        CWnd::OnSize(type, cx, cy);
    }
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
        calls.push_back("derived:ctlcolor " + std::to_string(nCtlColor) +
                        (pDC != nullptr && pWnd != nullptr ? "" : " (missing objects)"));
        return brush;
    }
    afx_msg void OnTimer(UINT_PTR id) { calls.push_back("derived:timer " + std::to_string(id)); }
    afx_msg void OnPaint() {
        CPaintDC dc(this);
        ++paints;
    }
    afx_msg LRESULT OnSetText(WPARAM, LPARAM) {
        calls.push_back("derived:settext");
        return passSetTextOn ? Default() : TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWindow, BaseWindow)
ON_COMMAND(kSharedCommand, &DerivedWindow::OnShared)
ON_BN_CLICKED(kButtonId, &DerivedWindow::OnClicked)
ON_WM_SIZE()
ON_WM_CTLCOLOR()
ON_WM_TIMER()
ON_WM_PAINT()
ON_MESSAGE(WM_SETTEXT, &DerivedWindow::OnSetText)
END_MESSAGE_MAP()

// A class that handles nothing itself: its empty map only chains to its base's.
class QuietWindow : public DerivedWindow {
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(QuietWindow, DerivedWindow)
END_MESSAGE_MAP()

class MessageMapTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(createPopup(window)); }
    void TearDown() override { window.DestroyWindow(); }
    DerivedWindow window;
};

// Each row also gives the result the sender sees: the handler's, 1 for a handled command.
// A class with an empty map answers every row as its base does.
TEST_F(MessageMapTest, MessagesReachTheHandlerOfTheMostDerivedMapThatHasOne) {
    HWND child = GetDlgItem(window.m_hWnd, 0);
    const auto dc = reinterpret_cast<WPARAM>(GetDC(window.m_hWnd));
    const auto self = reinterpret_cast<LPARAM>(window.m_hWnd);
    const auto brush = reinterpret_cast<LRESULT>(window.brush);
    // clang-format off
    struct Case { const char* label; UINT message; WPARAM wParam; LPARAM lParam; std::vector<std::string> calls; LRESULT result; };
    const Case cases[] = {
        {"command of the base map", WM_COMMAND, kBaseCommand, 0, {"base:command"}, 1},
        {"accelerator of the base map", WM_COMMAND, MAKEWPARAM(kBaseCommand, 1), 0, {"base:command"}, 1},
        {"command in both maps", WM_COMMAND, kSharedCommand, 0, {"derived:shared"}, 1},
        {"first id of a range", WM_COMMAND, kRangeFirst, 0, {"base:range 3010"}, 1},
        {"last id of a range", WM_COMMAND, kRangeLast, 0, {"base:range 3019"}, 1},
        {"button click", WM_COMMAND, MAKEWPARAM(kButtonId, BN_CLICKED), reinterpret_cast<LPARAM>(child), {"derived:clicked"}, 1},
        {"other notification of the button", WM_COMMAND, MAKEWPARAM(kButtonId, BN_DOUBLECLICKED), self, {}, 0},
        {"unmapped command", WM_COMMAND, kUnmappedCommand, 0, {}, 0},
        {"window message of the base map", kPingMessage, 20, 22, {"base:ping"}, 42},
        {"size", WM_SIZE, SIZE_RESTORED, MAKELPARAM(30, 40), {"derived:size 0 30x40"}, 0},
        {"colour of a static", WM_CTLCOLORSTATIC, dc, self, {"derived:ctlcolor 6"}, brush},
        {"colour of an edit", WM_CTLCOLOREDIT, dc, self, {"derived:ctlcolor 1"}, brush},
        {"colour of a button", WM_CTLCOLORBTN, dc, self, {"derived:ctlcolor 3"}, brush},
    };
    // clang-format on
    QuietWindow quiet;
    ASSERT_TRUE(createPopup(quiet));
    for (DerivedWindow* target : std::initializer_list<DerivedWindow*>{&window, &quiet}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.label << (target == &quiet ? ", empty map" : ""));
            target->calls.clear();
            EXPECT_EQ(SendMessageA(target->m_hWnd, c.message, c.wParam, c.lParam), c.result);
            EXPECT_EQ(target->calls, c.calls);
        }
        const MSG& seen = target->seenMessage; // the ping handler's current message
        EXPECT_EQ(std::tuple(seen.hwnd, seen.message, seen.wParam, seen.lParam),
                  std::tuple(target->m_hWnd, kPingMessage, WPARAM{20}, LPARAM{22}));
    }
    quiet.DestroyWindow();
    ReleaseDC(window.m_hWnd, reinterpret_cast<HDC>(dc));
}

TEST_F(MessageMapTest, DefaultHandsTheMessageToTheWindowsProcedure) {
    // clang-format off
    struct Case { const char* label; bool passOn; const char* expectedText; };
    const Case cases[] = {{"handler calls Default", true, "changed"},
                          {"handler swallows the message", false, "framework test"}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        window.SetWindowText("framework test");
        window.passSetTextOn = c.passOn;
        window.calls.clear();
        window.SetWindowText("changed");
        EXPECT_EQ(window.calls, std::vector<std::string>{"derived:settext"});
        CString text;
        window.passSetTextOn = true;
        window.GetWindowText(text);
        EXPECT_STREQ(text, c.expectedText);
    }
}

TEST_F(MessageMapTest, TimersAndPaintingGoThroughTheMap) {
    window.calls.clear();
    ASSERT_NE(window.SetTimer(kTimerId, 10), 0u);
    test_host::UiScript script;
    script.then([&] { return !window.calls.empty(); });
    script.runUntilCompleted();
    window.KillTimer(kTimerId);
    ASSERT_FALSE(window.calls.empty());
    EXPECT_EQ(window.calls.front(), "derived:timer 7");

    const int paintsBefore = window.paints;
    window.Invalidate();
    window.UpdateWindow();
    EXPECT_EQ(window.paints, paintsBefore + 1);
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(window.m_hWnd, &update, FALSE)) << "CPaintDC validates the window";
}

// A window that deletes itself when its window is gone, as modeless windows do.
class SelfDeletingWindow : public CWnd {
public:
    explicit SelfDeletingWindow(std::vector<std::string>* log) : log_(log) {}
    ~SelfDeletingWindow() override { log_->push_back("deleted"); }

protected:
    afx_msg void OnDestroy() {
        log_->push_back(m_hWnd != nullptr ? "destroy with window" : "destroy without window");
        CWnd::OnDestroy();
    }
    void PostNcDestroy() override {
        log_->push_back(m_hWnd == nullptr ? "post-nc-destroy detached"
                                          : "post-nc-destroy attached");
        delete this;
    }
    DECLARE_MESSAGE_MAP()

private:
    std::vector<std::string>* log_;
};

BEGIN_MESSAGE_MAP(SelfDeletingWindow, CWnd)
ON_WM_DESTROY()
END_MESSAGE_MAP()

TEST(WindowLifetime, DestroyingDetachesThenCallsPostNcDestroyAndDeletingDestroys) {
    std::vector<std::string> log;
    auto* window = new SelfDeletingWindow(&log);
    ASSERT_TRUE(createPopup(*window));
    HWND destroyed = window->m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(destroyed), window);
    EXPECT_TRUE(window->DestroyWindow());
    EXPECT_EQ(log, (std::vector<std::string>{"destroy with window", "post-nc-destroy detached",
                                             "deleted"}));
    HWND deleted = nullptr;
    {
        CWnd plain;
        ASSERT_TRUE(createPopup(plain));
        deleted = plain.m_hWnd;
    }
    for (HWND gone : {destroyed, deleted})
        EXPECT_EQ(std::pair(IsWindow(gone), CWnd::FromHandlePermanent(gone)),
                  std::pair(FALSE, static_cast<CWnd*>(nullptr)));
}

// Decides at WM_CREATE whether it may be created, and at WM_CLOSE whether it closes.
class GuardedWindow : public CWnd {
public:
    bool allowCreation = true;
    bool allowClosing = true;
    std::vector<std::string> calls;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT createStruct) {
        calls.push_back(std::string("create ") + createStruct->lpszName);
        return allowCreation ? CWnd::OnCreate(createStruct) : -1;
    }
    afx_msg void OnClose() {
        calls.push_back("close");
        if (allowClosing)
            CWnd::OnClose();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(GuardedWindow, CWnd)
ON_WM_CREATE()
ON_WM_CLOSE()
END_MESSAGE_MAP()

TEST(WindowCreation, CreationMessagesAlreadyReachTheObjectsMap) {
    // clang-format off
    struct Case { const char* label; bool allowCreation; bool allowClosing; bool created; bool aliveAfterClose; };
    const Case cases[] = {
        {"refused at WM_CREATE", false, true, false, false},
        {"created, closes", true, true, true, false},
        {"created, refuses to close", true, false, true, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        GuardedWindow window;
        window.allowCreation = c.allowCreation;
        window.allowClosing = c.allowClosing;
        EXPECT_EQ(createPopup(window, "guarded") != FALSE, c.created);
        ASSERT_FALSE(window.calls.empty());
        EXPECT_EQ(window.calls.front(), "create guarded");
        if (!c.created) {
            EXPECT_EQ(window.m_hWnd, nullptr) << "the failed window let go of its object";
            continue;
        }
        HWND hWnd = window.m_hWnd;
        SendMessageA(hWnd, WM_CLOSE, 0, 0);
        EXPECT_EQ(window.calls.back(), "close");
        EXPECT_EQ(IsWindow(hWnd) != FALSE, c.aliveAfterClose);
    }
}

// Keyboard messages for a window or its children reach PreTranslateMessage of the window
// before they are dispatched.
class FilteringWindow : public CWnd {
public:
    int filtered = 0;
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message != WM_KEYDOWN)
            return FALSE;
        ++filtered;
        return TRUE;
    }
};

TEST(PreTranslation, TheThreadsPumpOffersMessagesToTheWindowAndItsParents) {
    FilteringWindow window;
    ASSERT_TRUE(createPopup(window));
    framework_tests::UniqueWindow edit =
        framework_tests::createRawWindow("EDIT", window.m_hWnd, 1000);
    test_host::pumpMessages();
    PostMessageA(edit.get(), WM_KEYDOWN, 'A', 1);
    PostMessageA(edit.get(), WM_CHAR, 'b', 1);
    test_host::pumpMessages();
    EXPECT_EQ(window.filtered, 1);
    EXPECT_EQ(test_host::windowText(edit.get()), "braw") << "only the key-down was filtered";
    window.DestroyWindow();
}

} // namespace
