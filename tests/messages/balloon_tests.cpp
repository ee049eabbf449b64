// Balloon settings of a thread and the balloons QVMessageBox launches in their place of
// notices, read through the balloon window's contract.
#include "test_support.h"

#include <d64avor_windows.h>
#include <test_host.h>
#include <ui_driver.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

bool operator==(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

struct Balloon {
    bool seen = false;
    std::string title, content;
    unsigned options = 0;
    HICON icon = nullptr;
    HWND owner = nullptr;
};

// Reads the thread's balloon and closes it.
Balloon takeBalloon() {
    Balloon balloon;
    HWND window = FindWindowW(D64AVOR_BALLOON_CLASS, nullptr);
    if (window == nullptr)
        return balloon;
    balloon.seen = true;
    balloon.title = test_host::windowText(window);
    wchar_t content[600] = {};
    SendMessageW(window, D64AVOR_BALLOON_GETCONTENT, 600, reinterpret_cast<LPARAM>(content));
    balloon.content = test_support::narrow(content);
    balloon.options = static_cast<unsigned>(SendMessageW(window, D64AVOR_BALLOON_GETOPTIONS, 0, 0));
    balloon.icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    balloon.owner = GetWindow(window, GW_OWNER);
    DestroyWindow(window);
    return balloon;
}

class BalloonTest : public ::testing::Test {
protected:
    void SetUp() override { QVClearErrorList(0); }
    void TearDown() override {
        QVClearBalloonMessage();
        QVClearErrorList(0);
    }
    HWND mainWindow() { return test_host::application().mainWindow().m_hWnd; }
    const RECT anchor_{40, 50, 120, 70};
};

TEST_F(BalloonTest, SettingsAreKeptPerThread) {
    HWND window = reinterpret_cast<HWND>(1);
    RECT rect{1, 2, 3, 4};
    EXPECT_EQ(QVGetBalloonMessagePosition(&window, &rect), 0);
    EXPECT_EQ(window, nullptr);
    EXPECT_TRUE(rect == RECT{});
    QVSetBalloonMessagePosition(mainWindow(), nullptr, 1); // a null rectangle changes nothing
    EXPECT_EQ(QVBalloonMessageMode(), 0);
    QVSetBalloonMessagePosition(mainWindow(), &anchor_, 7);
    EXPECT_EQ(QVBalloonMessageMode(), 1);
    EXPECT_EQ(QVGetBalloonMessagePosition(&window, &rect), 1);
    EXPECT_EQ(window, mainWindow());
    EXPECT_TRUE(rect == anchor_);
    EXPECT_EQ(QVGetBalloonMessagePosition(nullptr, nullptr), 1);
    std::thread([] {
        EXPECT_EQ(QVBalloonMessageMode(), 0);
        EXPECT_EQ(QVGetBalloonMessagePosition(nullptr, nullptr), 0);
    }).join();
    QVClearBalloonMessage();
    EXPECT_EQ(QVBalloonMessageMode(), 0);
    EXPECT_EQ(QVGetBalloonMessagePosition(&window, &rect), 0);
    EXPECT_EQ(window, nullptr);
    EXPECT_TRUE(rect == RECT{});
    QVSetBalloonMessagePosition(nullptr, &anchor_, 0);
    EXPECT_EQ(QVGetBalloonMessagePosition(&window, &rect), 1);
}

TEST_F(BalloonTest, NoticesBecomeBalloons) {
    const std::string a254(254, 'a'), a255(255, 'a');
    const std::string at254 = a254 + ".Rest", at255 = a255 + ".Rest";
    constexpr unsigned kClosing = 0x1F; // the five closing bits
    const struct {
        const char* label;
        const char* text;
        const char* caption;
        UINT uType;
        int quadrant;
        std::string title;
        std::string content;
        int iconId;
        unsigned quadrantBit;
        int answer;
    } rows[] = {
        {"two sentences", "Saved. All is well.", nullptr, MB_OK, 0, "Saved", "All is well.", 32514,
         0x100, IDRETRY},
        {"line feed", "Saved\nAll is well", nullptr, MB_OK, 1, "Saved", "All is well", 32514, 0x200,
         IDRETRY},
        {"no separator", "Saved", nullptr, MB_OK, 2, "Saved", "", 32514, 0x400, IDRETRY},
        {"leading full stop", ".Saved", nullptr, MB_OK, 3, "", "Saved", 32514, 0x800, IDRETRY},
        {"254 bytes", at254.c_str(), nullptr, MB_OK, 7, a254, "Rest", 32514, 0x800, IDRETRY},
        {"255 bytes", at255.c_str(), nullptr, MB_OK, -1, at255, "", 32514, 0x800, IDRETRY},
        {"one white space", "A.  B", nullptr, MB_OK, 0, "A", " B", 32514, 0x100, IDRETRY},
        {"caption as title", "A. B", "Title", MB_OK, 0, "Title", "A. B", 32514, 0x100, IDRETRY},
        {"icon of uType", "Note", nullptr, MB_OK | MB_ICONINFORMATION, 0, "Note", "", 32516, 0x100,
         IDRETRY},
        {"{S}", "{S}Stop", nullptr, MB_OK, 0, "Stop", "", 32513, 0x100, IDRETRY},
        {"{A} answered by default", "{A}Retry?", nullptr, MB_YESNO, 0, "Retry?", "", 32514, 0x100,
         IDYES},
        {"{-YC} answered by default", "{-YC}Save?", nullptr, MB_YESNO, 0, "Save?", "", 32514, 0x100,
         IDNO},
        {"{R}", "{R}Again?", nullptr, MB_YESNO, 0, "Again?", "", 32514, 0x100, IDYES},
        {"{O}", "{O}Fine", nullptr, MB_YESNO, 0, "Fine", "", 32514, 0x100, IDYES},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QVSetBalloonMessagePosition(mainWindow(), &anchor_, row.quadrant);
        EXPECT_EQ(QVMessageBox(nullptr, row.text, row.caption, row.uType), row.answer);
        const Balloon balloon = takeBalloon();
        ASSERT_TRUE(balloon.seen);
        EXPECT_EQ(balloon.title, row.title);
        EXPECT_EQ(balloon.content, row.content);
        EXPECT_EQ(balloon.options, row.quadrantBit | kClosing);
        EXPECT_EQ(balloon.icon, LoadIconA(nullptr, MAKEINTRESOURCEA(row.iconId)));
        EXPECT_EQ(balloon.owner, mainWindow());
    }
}

TEST_F(BalloonTest, QuestionsStayModal) {
    const struct {
        const char* label;
        const char* text;
        UINT uType;
        bool cleared;
    } rows[] = {
        {"plain MB_YESNO", "Sure?", MB_YESNO, false},
        {"plain MB_OKCANCEL", "Sure?", MB_OKCANCEL, false},
        {"{Y}", "{Y}Sure?", MB_OK, false},
        {"{Oc}", "{Oc}Sure?", MB_OK, false},
        {"{E} on MB_YESNO", "{E}Sure?", MB_YESNO, false},
        {"{Y*}", "{Y*}Sure?", MB_YESNO, false},
        {"cleared mode", "Note", MB_OK, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QVSetBalloonMessagePosition(mainWindow(), &anchor_, 0);
        if (row.cleared)
            QVClearBalloonMessage();
        bool modal = false;
        test_host::UiScript script;
        script.then([&] {
            HWND box = test_host::findDialog("Modal");
            if (box == nullptr)
                return false;
            modal = true;
            PostMessageA(box, WM_CLOSE, 0, 0);
            return true;
        });
        QVMessageBox(mainWindow(), row.text, "Modal", row.uType);
        EXPECT_TRUE(modal);
        EXPECT_FALSE(takeBalloon().seen);
    }
}

TEST_F(BalloonTest, SuppressedNoticesAreCollected) {
    QVSetBalloonMessagePosition(mainWindow(), &anchor_, 0);
    QVClearErrorList(1);
    EXPECT_EQ(QVMessageBox(nullptr, "Saved. Fine.", nullptr, MB_OK), IDRETRY);
    EXPECT_FALSE(takeBalloon().seen);
    EXPECT_STREQ(QVErrorList(), "Saved. Fine.");
}

} // namespace
