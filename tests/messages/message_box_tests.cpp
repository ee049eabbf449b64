// QVMessageBox on the host's application thread: what each text shows (a system box, a
// yes/no-to-all dialog or a balloon) and answers, the dialog templates, the silent log,
// worker threads that never create a window, and the owner GetActiveVisibleWnd picks.
#include "test_support.h"
#include "unique_window.h"

#include <d64avor_windows.h>
#include <support/unique_resource.h>
#include <test_host.h>
#include <ui_driver.h>
#include <x64Quorpb32.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <tuple>

namespace {

using test_support::UniqueWindow;

// What one call showed: a box read while it was open, or a balloon read after the call.
struct Shown {
    bool box = false, balloon = false, yesNoAll = false, topmost = false;
    std::string caption, text;
    std::set<int> buttons;
    int focusId = 0, defPushId = 0;
    unsigned options = 0;
    int answer = 0;
    HICON icon = nullptr;
    HWND owner = nullptr;
};

void readBox(HWND box, Shown& shown) {
    shown.box = true;
    shown.caption = test_host::windowText(box);
    shown.owner = GetWindow(box, GW_OWNER);
    shown.topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    shown.yesNoAll = GetDlgItem(box, 1003) != nullptr;
    shown.focusId = GetDlgCtrlID(GetFocus());
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string cls = test_host::className(child);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (!IsWindowVisible(child))
            continue;
        if (_stricmp(cls.c_str(), "Button") == 0) {
            shown.buttons.insert(GetDlgCtrlID(child));
            if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                shown.defPushId = GetDlgCtrlID(child);
        } else if ((style & SS_TYPEMASK) == SS_ICON) {
            shown.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        } else if (_stricmp(cls.c_str(), "Static") == 0) {
            shown.text = test_host::windowText(child);
        }
    }
}

// This thread's balloon: other processes (a gallery running beside the tests) may show theirs.
HWND threadBalloon() {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, D64AVOR_BALLOON_CLASS, nullptr)) != nullptr)
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
            return window;
    return nullptr;
}

// Reads the thread's balloon through its window contract, and closes it.
void readBalloon(Shown& shown) {
    HWND window = threadBalloon();
    if (window == nullptr)
        return;
    wchar_t content[600] = {};
    SendMessageW(window, D64AVOR_BALLOON_GETCONTENT, 600, reinterpret_cast<LPARAM>(content));
    shown.balloon = true;
    shown.caption = test_host::windowText(window);
    shown.text = test_support::narrow(content);
    shown.options = static_cast<unsigned>(SendMessageW(window, D64AVOR_BALLOON_GETOPTIONS, 0, 0));
    shown.icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    shown.owner = GetWindow(window, GW_OWNER);
    DestroyWindow(window);
}

// What a script does to the box: press a button (its id), or close it another way.
constexpr int kClose = -1, kEnter = -2, kEscape = -3;
void actOn(HWND box, int act) {
    if (act == kClose)
        PostMessageA(box, WM_CLOSE, 0, 0);
    else if (act < 0)
        test_host::pressKey(GetFocus(), act == kEnter ? VK_RETURN : VK_ESCAPE);
    else
        test_host::clickButton(box, act);
}

// Runs QVMessageBox while a script reads the first box shown and then acts on it.
Shown show(int act, const char* text, const char* caption = "Messages", UINT uType = MB_YESNO,
           HWND owner = nullptr) {
    Shown shown;
    test_host::UiScript script;
    script.then([&] {
        HWND box = test_host::findDialog();
        if (box != nullptr) {
            readBox(box, shown);
            actOn(box, act);
        }
        return box != nullptr;
    });
    shown.answer = QVMessageBox(owner, text, caption, uType);
    readBalloon(shown);
    return shown;
}

HICON standardIcon(int id) {
    return id ? LoadIconA(nullptr, MAKEINTRESOURCEA(id)) : nullptr;
}
HWND mainWindow() {
    return test_host::application().mainWindow().m_hWnd;
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        QVClearErrorList(0);
        QVClearBalloonMessage();
        SetActiveWindow(mainWindow());
    }
    const RECT anchor_{40, 50, 120, 70};
};

// Every example of the prefix, shown and answered. Icons are IDI_ ids: 32513 hand, 32514
// question, 32515 exclamation, 32516 asterisk; all marks a yes/no-to-all dialog.
TEST_F(MessageBoxTest, ShowsWhatThePrefixChoseAndMapsTheAnswer) {
    using S = std::set<int>;
    const S yn{6, 7}, ync{6, 7, 2}, ari{3, 4, 5}, ya{8, 6, 7}, yac{8, 6, 7, 2}, na{6, 9, 7},
        nac{6, 9, 7, 2};
    // clang-format off
    const struct { const char* text; UINT uType; bool all; S buttons; int defaultId, iconId, act, answer; const char* shownText; } rows[] = {
        {"Proceed?", MB_YESNO, false, yn, 6, 0, 7, 7, "Proceed?"},
        {"Done", MB_OK | MB_ICONSTOP, false, {1}, 1, 32513, 1, 1, "Done"},
        {" {Y}Go", MB_OK, false, {1}, 1, 0, 1, 1, " {Y}Go"},
        {"{Y}Go", MB_YESNO, false, yn, 6, 32514, 6, 6, "Go"},
        {"{-Y}Go", MB_YESNO, false, yn, 6, 32514, 6, 7, "Go"},
        {"{-}Go", MB_YESNO, false, yn, 6, 32514, 7, 6, "Go"},
        {"{N}Go", MB_YESNO, false, yn, 7, 32514, 7, 7, "Go"},
        {"{O}Go", MB_YESNO, false, {1}, 1, 32514, 1, 6, "Go"},
        {"{-O}Go", MB_YESNO, false, {1}, 1, 32514, 1, 7, "Go"},
        {"{E}Go", MB_OK, false, yn, 6, 32515, 6, 6, "Go"},
        {"{YC}Go", MB_YESNO, false, ync, 2, 32514, 2, 2, "Go"},
        {"{OIc}Go", MB_YESNO, false, {1, 2}, 1, 32515, 2, 2, "Go"},
        {"{OcI}Go", MB_YESNO, false, {1, 2}, 1, 32516, 1, 6, "Go"},
        {"{AI}Go", MB_YESNO, false, ari, 5, 32514, 5, 7, "Go"},
        {"{AR}Go", MB_YESNO, false, ari, 4, 32514, 4, 6, "Go"},
        {"{Ai}Go", MB_YESNO, false, ari, 3, 32514, 3, 3, "Go"},
        {"{R}Go", MB_YESNO, false, {4, 2}, 4, 32514, 2, 7, "Go"},
        {"{R}Go", MB_OK, false, {4, 2}, 4, 32514, 2, 2, "Go"},
        {"{*o}Go", MB_YESNO, false, {1}, 1, 32514, 1, 6, "Go"},
        {"{}", MB_YESNO, false, yn, 6, 32514, 6, 6, ""},
        {"{Y", MB_YESNO, false, yn, 6, 32514, 6, 6, ""},
        {"{Y}a}b", MB_YESNO, false, yn, 6, 32514, 6, 6, "a}b"},
        {"{Y*}Go", MB_YESNO, true, ya, 6, 32514, 8, 8, "Go"},
        {"{Y*}Go", MB_YESNO, true, ya, 6, 32514, kClose, 2, "Go"},
        {"{Y*S}Go", MB_YESNO, true, ya, 6, 32513, 7, 7, "Go"},
        {"{-Y*}Go", MB_YESNO, true, ya, 6, 32514, 6, 7, "Go"},
        {"{YN*}Go", MB_YESNO, true, na, 7, 32514, 9, 9, "Go"},
        {"{YN*}Go", MB_YESNO, true, na, 7, 32514, kEnter, 7, "Go"},
        {"{N*}Go", MB_YESNO, true, ya, 7, 32514, kEscape, 2, "Go"},
        {"{n*}Go", MB_YESNO, true, ya, 6, 32514, 6, 6, "Go"},
        {"{Ny*}Go", MB_YESNO, true, ya, 7, 32514, 6, 6, "Go"},
        {"{*y}Go", MB_YESNO, true, ya, 6, 32514, 6, 6, "Go"},
        {"{YC*}Go", MB_YESNO, true, yac, 2, 32514, kEnter, 2, "Go"},
        {"{Y*C}Go", MB_YESNO, true, yac, 7, 32514, 8, 8, "Go"},
        {"{YN*C}Go", MB_YESNO | MB_ICONINFORMATION, true, nac, 7, 32516, 9, 9, "Go"},
        {"{YNC*}Go", MB_YESNO, true, nac, 2, 32514, 7, 7, "Go"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " (row " + std::to_string(&row - rows) + ")");
        const Shown shown = show(row.act, row.text, "Messages", row.uType, mainWindow());
        ASSERT_TRUE(shown.box);
        // answer, kind, buttons, focus, default push button, icon, caption, text, owner
        EXPECT_EQ(std::tuple(shown.answer, shown.yesNoAll, shown.buttons, shown.focusId,
                             shown.defPushId, shown.icon, shown.caption, shown.text, shown.owner),
                  std::tuple(row.answer, row.all, row.buttons, row.defaultId, row.defaultId,
                             standardIcon(row.iconId), "Messages", row.shownText, mainWindow()));
    }
}

TEST_F(MessageBoxTest, CaptionsAndModality) {
    EXPECT_EQ(show(IDOK, "plain", nullptr, MB_OK).caption, "");
    QVSetDefaultMessageCaption(std::string(300, 'c').c_str());
    EXPECT_EQ(show(IDOK, "plain", nullptr, MB_OK).caption, std::string(255, 'c'));
    QVSetDefaultMessageCaption("Accounts");
    EXPECT_EQ(show(IDYES, "{Y*}plain", nullptr).caption, "Accounts");
    QVSetDefaultMessageCaption(nullptr);
    const Shown nullText = show(IDOK, nullptr, nullptr, MB_OK);
    EXPECT_EQ(nullText.caption + nullText.text, "");
    EXPECT_TRUE(show(IDOK, "plain", "Modal", MB_OK | MB_SYSTEMMODAL).topmost);
    EXPECT_FALSE(show(IDOK, "{O}prefixed", "Modal", MB_OK | MB_SYSTEMMODAL).topmost);
}

// The yes/no-to-all templates as stored in the library, field by field: a control is its
// template, id, position, size, class, style and title.
TEST(YesNoAllTemplates, AreStoredAsDocumented) {
    // Push buttons: child, visible, tab stop. The icon: SS_ICON. The text: SS_LEFT, group.
    const std::string kButton = " button 50010000 ", kIcon = " static 50000003 ",
                      kText = " static 50020000 ";
    const std::vector<std::string> expected = {
        "1537 8 35,37 50x14" + kButton + "Yes to &All",
        "1537 6 95,37 50x14" + kButton + "&Yes",
        "1537 7 209,37 50x14" + kButton + "&No",
        "1537 1400 7,8 18x20" + kIcon + "",
        "1537 1003 36,7 223x24" + kText + "",
        "1338 8 35,37 50x14" + kButton + "Yes to &All",
        "1338 6 96,37 50x14" + kButton + "&Yes",
        "1338 7 175,37 50x14" + kButton + "&No",
        "1338 2 236,37 50x14" + kButton + "Cancel",
        "1338 1400 7,8 21x20" + kIcon + "",
        "1338 1003 35,7 252x24" + kText + "",
        "1539 6 33,37 50x14" + kButton + "&Yes",
        "1539 9 150,37 50x14" + kButton + "No to &All",
        "1539 7 209,37 50x14" + kButton + "&No",
        "1539 1400 7,8 18x20" + kIcon + "",
        "1539 1003 33,7 226x24" + kText + "",
        "1540 6 33,37 50x14" + kButton + "&Yes",
        "1540 9 105,37 50x14" + kButton + "No to &All",
        "1540 7 164,37 50x14" + kButton + "&No",
        "1540 2 236,37 50x14" + kButton + "Cancel",
        "1540 1400 7,8 21x20" + kIcon + "",
        "1540 1003 35,6 252x24" + kText + "",
    };
    constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    std::vector<std::string> found;
    HMODULE library = GetModuleHandleA("z64EVEZE.dll");
    for (const int dialog : {1537, 1338, 1539, 1540}) {
        SCOPED_TRACE(dialog);
        HRSRC resource = FindResourceA(library, MAKEINTRESOURCEA(dialog), MAKEINTRESOURCEA(5));
        ASSERT_NE(resource, nullptr);
        const auto* words = static_cast<const WORD*>(LockResource(LoadResource(library, resource)));
        // DLGTEMPLATEEX: version, signature, style, cx and cy; then menu, class and title.
        const DWORD style = *reinterpret_cast<const DWORD*>(words + 6);
        EXPECT_EQ((std::vector<DWORD>{words[0], words[1], style, words[11], words[12]}),
                  (std::vector<DWORD>{1, 0xFFFF, kDialogStyle, dialog % 2 ? 266u : 294u, 58}));
        const auto* cursor = reinterpret_cast<const wchar_t*>(words + 15);
        EXPECT_STREQ(cursor, L"Dialog");
        cursor += wcslen(cursor) + 1;
        EXPECT_EQ(cursor[0], 9); // point size, weight, italic and charset, then the face
        EXPECT_STREQ(cursor + 3, L"Segoe UI");
        cursor += 3 + wcslen(cursor + 3) + 1;
        for (int item = 0; item < words[8]; ++item) { // DWORD aligned: help id, styles, ...
            const auto* fields = reinterpret_cast<const DWORD*>((UINT_PTR(cursor) + 3) & ~3ull);
            const auto* pos = reinterpret_cast<const short*>(fields + 3);
            const auto* cls = reinterpret_cast<const wchar_t*>(fields + 6);
            const bool ordinal = cls[0] == 0xFFFF; // 0x80 button, 0x82 static, or a name
            std::string name = ordinal ? (cls[1] == 0x80   ? "button"
                                          : cls[1] == 0x82 ? "static"
                                                           : "?")
                                       : test_support::narrow(cls);
            CharLowerA(name.data());
            const wchar_t* title = ordinal ? cls + 2 : cls + wcslen(cls) + 1;
            char line[160];
            std::snprintf(line, sizeof line, "%d %lu %d,%d %dx%d %s %08lX %s", dialog, fields[5],
                          pos[0], pos[1], pos[2], pos[3], name.c_str(), fields[2],
                          test_support::narrow(title).c_str());
            found.push_back(line);
            cursor = title + wcslen(title) + 1;
            cursor += 1 + *cursor / sizeof(wchar_t); // creation data
        }
    }
    EXPECT_EQ(found, expected);
}

TEST_F(MessageBoxTest, SilentModeLogsEveryPresentationAndShowsNothing) {
    test_support::TemporaryDirectory folder;
    const auto log = [&] {
        return test_support::readFile(folder.file(L"base.log"));
    };
    SetEnvironmentVariableW(L"QV_BASE_LOG", folder.file(L"base.log").c_str());
    QVSetSilentMode(TRUE);
    // clang-format off
    const struct { const char *text, *logged; UINT uType; int answer; } rows[] = {
        {"{-}Box text", " 2 Suppressed: Box text", MB_YESNO, IDNO},
        {"{Y*}All text", " 2 Suppressed: All text", MB_YESNO, IDYES},
        {"Balloon text", " 2 Suppressed: Balloon text", MB_OK, IDRETRY},
    };
    // clang-format on
    QVSetBalloonMessagePosition(mainWindow(), &anchor_, 0); // MB_OK notices take balloons
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const Shown shown = show(IDOK, row.text, "Silent", row.uType);
        EXPECT_EQ(shown.answer, row.answer);
        EXPECT_FALSE(shown.box || shown.balloon);
        EXPECT_NE(log().find(row.logged), std::string::npos) << log();
    }
    QVClearErrorList(1); // suppressed messages are collected, not logged
    EXPECT_EQ(QVMessageBox(nullptr, "collected", nullptr, MB_YESNO), IDYES);
    EXPECT_STREQ(QVErrorList(), "collected");
    EXPECT_EQ(test_support::splitLines(log()).size(), 3u);
    QVSetSilentMode(FALSE);
    SetEnvironmentVariableW(L"QV_BASE_LOG", nullptr);
}

int g_createdWindows = 0;
LRESULT CALLBACK countCreatedWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND)
        ++g_createdWindows;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Another thread collects notices, answers questions by default and has no owner window.
TEST_F(MessageBoxTest, WorkerThreadsNeverCreateAWindow) {
    std::thread([this] {
        const support::UniqueHook hook(
            SetWindowsHookExA(WH_CBT, countCreatedWindows, nullptr, GetCurrentThreadId()));
        ASSERT_TRUE(hook);
        EXPECT_EQ(QVMessageBox(mainWindow(), "plain", "W", MB_YESNO), IDYES);
        EXPECT_EQ(QVMessageBox(mainWindow(), "{-Y*}all", "W", MB_YESNO), IDNO);
        EXPECT_EQ(QVMessageBox(mainWindow(), "{O}ok", "W", MB_YESNO), IDYES);
        QVSetBalloonMessagePosition(mainWindow(), &anchor_, 1);
        EXPECT_EQ(QVMessageBox(mainWindow(), "balloon", nullptr, MB_OK), IDRETRY);
        EXPECT_STREQ(QVErrorList(), "plain\nok\nballoon");
        EXPECT_EQ(GetActiveVisibleWnd(nullptr), nullptr);
        QVClearErrorList(0);
    }).join();
    EXPECT_EQ(g_createdWindows, 0);
}

TEST_F(MessageBoxTest, BalloonSettingsAreKeptPerThread) {
    HWND window = reinterpret_cast<HWND>(1);
    RECT rect{1, 2, 3, 4};
    const auto expectSettings = [&](int mode, HWND expectedWindow, const RECT& expectedRect) {
        EXPECT_EQ(QVBalloonMessageMode(), mode);
        EXPECT_EQ(QVGetBalloonMessagePosition(&window, &rect), mode);
        EXPECT_EQ(window, expectedWindow);
        EXPECT_TRUE(EqualRect(&rect, &expectedRect));
    };
    expectSettings(0, nullptr, RECT{});
    QVSetBalloonMessagePosition(mainWindow(), nullptr, 1); // a null rectangle changes nothing
    expectSettings(0, nullptr, RECT{});
    QVSetBalloonMessagePosition(mainWindow(), &anchor_, 7);
    expectSettings(1, mainWindow(), anchor_);
    EXPECT_EQ(QVGetBalloonMessagePosition(nullptr, nullptr), 1);
    std::thread([] { EXPECT_EQ(QVGetBalloonMessagePosition(nullptr, nullptr), 0); }).join();
    QVClearBalloonMessage();
    expectSettings(0, nullptr, RECT{});
    QVSetBalloonMessagePosition(nullptr, &anchor_, 0); // a null window is kept as it is
    expectSettings(1, nullptr, anchor_);
}

// Notices become balloons while the mode is on; questions stay modal boxes. Options are
// the quadrant's bit (0x100 << quadrant, 0x800 for any other) and the five closing bits.
TEST_F(MessageBoxTest, NoticesBecomeBalloons) {
    const std::string a254(254, 'a'), a255(255, 'a');
    const std::string at254 = a254 + ".Rest", at255 = a255 + ".Rest";
    // Options 0: a modal box, closed.
    // clang-format off
    const struct { const char *text, *caption; UINT uType; int quadrant; unsigned options; int iconId, answer; std::string title, content; } rows[] = {
        {"Saved. All is well.", nullptr, MB_OK, 0, 0x11F, 32514, IDRETRY, "Saved", "All is well."},
        {"Saved\nAll is well", nullptr, MB_OK, 1, 0x21F, 32514, IDRETRY, "Saved", "All is well"},
        {"Saved", nullptr, MB_OK, 2, 0x41F, 32514, IDRETRY, "Saved", ""},
        {".Saved", nullptr, MB_OK, 3, 0x81F, 32514, IDRETRY, "", "Saved"},
        {at254.c_str(), nullptr, MB_OK, 7, 0x81F, 32514, IDRETRY, a254, "Rest"},
        {at255.c_str(), nullptr, MB_OK, -1, 0x81F, 32514, IDRETRY, at255, ""},
        {"A.  B", nullptr, MB_OK, 0, 0x11F, 32514, IDRETRY, "A", " B"},
        {"A. B", "Title", MB_OK, 0, 0x11F, 32514, IDRETRY, "Title", "A. B"},
        {"Note", nullptr, MB_OK | MB_ICONINFORMATION, 0, 0x11F, 32516, IDRETRY, "Note", ""},
        {"{S}Stop", nullptr, MB_OK, 0, 0x11F, 32513, IDRETRY, "Stop", ""},
        {"{A}Retry?", nullptr, MB_YESNO, 0, 0x11F, 32514, IDYES, "Retry?", ""},
        {"{-YC}Save?", nullptr, MB_YESNO, 0, 0x11F, 32514, IDNO, "Save?", ""},
        {"{R}Again?", nullptr, MB_YESNO, 0, 0x11F, 32514, IDYES, "Again?", ""},
        {"{O}Fine", nullptr, MB_YESNO, 0, 0x11F, 32514, IDYES, "Fine", ""},
        {"Sure?", "Modal", MB_YESNO, 0, 0, 0, IDCANCEL, "Modal", "Sure?"},
        {"Sure?", "Modal", MB_OKCANCEL, 0, 0, 0, IDCANCEL, "Modal", "Sure?"},
        {"{Y}Sure?", "Modal", MB_OK, 0, 0, 32514, IDCANCEL, "Modal", "Sure?"},
        {"{Oc}Sure?", "Modal", MB_OK, 0, 0, 32514, IDCANCEL, "Modal", "Sure?"},
        {"{E}Sure?", "Modal", MB_YESNO, 0, 0, 32515, IDCANCEL, "Modal", "Sure?"},
        {"{Y*}Sure?", "Modal", MB_YESNO, 0, 0, 32514, IDCANCEL, "Modal", "Sure?"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.text).substr(0, 20) + " (row " + std::to_string(&row - rows) +
                     ")");
        QVSetBalloonMessagePosition(mainWindow(), &anchor_, row.quadrant);
        const Shown shown = show(kClose, row.text, row.caption, row.uType);
        // answer, balloon, box, caption, text, options, icon, owner
        EXPECT_EQ(std::tuple(shown.answer, shown.balloon, shown.box, shown.caption, shown.text,
                             shown.options, shown.icon, shown.owner),
                  std::tuple(row.answer, row.options != 0, row.options == 0, row.title, row.content,
                             row.options, standardIcon(row.iconId), mainWindow()));
    }
    QVSetBalloonMessagePosition(mainWindow(), &anchor_, 0);
    QVClearBalloonMessage(); // a cleared mode shows the system's box again
    Shown shown = show(kClose, "Note", "Modal", MB_OK);
    EXPECT_TRUE(shown.box && !shown.balloon);
    QVSetBalloonMessagePosition(mainWindow(), &anchor_, 0);
    QVClearErrorList(1); // a suppressed notice is collected, not shown
    shown = show(kClose, "Saved. Fine.", nullptr, MB_OK);
    EXPECT_EQ(shown.answer, IDRETRY);
    EXPECT_FALSE(shown.box || shown.balloon);
    EXPECT_STREQ(QVErrorList(), "Saved. Fine.");
}

// A popup owned by `owner` at (x, y), shown when asked, and activated.
UniqueWindow makePopup(HWND owner, int x, int y, bool visible) {
    UniqueWindow popup(CreateWindowExA(0, "Static", "popup", WS_POPUP | (visible ? WS_VISIBLE : 0),
                                       x, y, 50, 30, owner, nullptr, nullptr, nullptr));
    SetActiveWindow(popup.get());
    return popup;
}

// The active window wins over the given one; a popup parked at -32768 or hidden does not.
TEST_F(MessageBoxTest, OwnerIsTheVisibleActiveWindowOrTheFallback) {
    // clang-format off
    const struct { const char* label; int x, y; bool visible, popupWins; } rows[] = {
        {"visible popup", 100, 100, true, true},
        {"hidden popup", 100, 100, false, false},
        {"parked at -32768", -40000, -40000, true, false},
        {"only left parked", -40000, 100, true, true},
        {"at -32000", -32000, -32000, true, true},
    };
    // clang-format on
    const UniqueWindow given = makePopup(nullptr, 0, 0, false);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const UniqueWindow popup = makePopup(mainWindow(), row.x, row.y, row.visible);
        ASSERT_EQ(GetActiveWindow(), popup.get());
        EXPECT_EQ(GetActiveVisibleWnd(given.get()), row.popupWins ? popup.get() : given.get());
        // Without a given window or a modal loop: the application's main window.
        EXPECT_EQ(GetActiveVisibleWnd(nullptr), row.popupWins ? popup.get() : mainWindow());
    }
    const UniqueWindow modalOwner(CreateWindowExA(0, "Static", "", WS_VISIBLE, 0, 0, 100, 100,
                                                  nullptr, nullptr, nullptr, nullptr));
    HWND chosen = nullptr; // inside a modal loop: its parent
    test_host::UiScript script;
    script.then([&] {
        HWND box = test_host::findDialog("Modal parent");
        if (box != nullptr) {
            const UniqueWindow parked = makePopup(box, -40000, -40000, true);
            chosen = GetActiveVisibleWnd(nullptr);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        return box != nullptr;
    });
    MessageBoxA(modalOwner.get(), "text", "Modal parent", MB_OK);
    EXPECT_EQ(chosen, modalOwner.get());
}

} // namespace
