// QVMessageBox on the host's application thread: what is shown (buttons, default button,
// icon, caption, text, owner), what each answer gives, the yes/no-to-all dialogs and their
// templates, the silent log, and worker threads that never create a window.
#include "test_support.h"

#include <support/unique_resource.h>
#include <test_host.h>
#include <ui_driver.h>
#include <x64Quorpb32.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <thread>

namespace {

using test_host::findDialog;

struct Shown {
    bool seen = false;
    std::string caption, text;
    std::set<int> buttons;
    int focusId = 0, defPushId = 0;
    HICON icon = nullptr;
    HWND owner = nullptr;
    bool topmost = false, yesNoAll = false;
};

Shown inspect(HWND box) {
    Shown shown;
    shown.seen = true;
    shown.caption = test_host::windowText(box);
    shown.owner = GetWindow(box, GW_OWNER);
    shown.topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    shown.yesNoAll = GetDlgItem(box, 1003) != nullptr;
    shown.focusId = GetDlgCtrlID(GetFocus());
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {};
        GetClassNameA(child, cls, sizeof cls);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (!IsWindowVisible(child))
            continue;
        if (_stricmp(cls, "Button") == 0) {
            shown.buttons.insert(GetDlgCtrlID(child));
            if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                shown.defPushId = GetDlgCtrlID(child);
        } else if ((style & SS_TYPEMASK) == SS_ICON) {
            shown.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        } else if (_stricmp(cls, "Static") == 0) {
            shown.text = test_host::windowText(child);
        }
    }
    return shown;
}

// Runs QVMessageBox while a script inspects the first window shown and then acts on it.
int showAndAct(Shown& shown, const std::function<void(HWND)>& act, const char* text,
               const char* caption = "Messages", UINT uType = MB_YESNO, HWND owner = nullptr) {
    test_host::UiScript script;
    script.then([&] {
        HWND box = findDialog();
        if (box == nullptr)
            return false;
        shown = inspect(box);
        act(box);
        return true;
    });
    return QVMessageBox(owner, text, caption, uType);
}

std::function<void(HWND)> press(int id) {
    return [id](HWND box) {
        test_host::clickButton(box, id);
    };
}

HICON standardIcon(int id) {
    return id ? LoadIconA(nullptr, MAKEINTRESOURCEA(id)) : nullptr;
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        QVClearErrorList(0);
        QVClearBalloonMessage();
    }
    HWND mainWindow() { return test_host::application().mainWindow().m_hWnd; }
};

// Every example of the prefix, shown and answered: IDI_ ids 32513 hand, 32514 question,
// 32515 exclamation, 32516 asterisk. T is 0 for the system's box, else the template.
TEST_F(MessageBoxTest, ShowsWhatThePrefixChoseAndMapsTheAnswer) {
    using S = std::set<int>;
    const S yn{6, 7}, ync{6, 7, 2}, ari{3, 4, 5}, ya{8, 6, 7}, yac{8, 6, 7, 2}, na{6, 9, 7},
        nac{6, 9, 7, 2};
    const struct {
        const char* text;
        UINT uType;
        int T;
        S buttons;
        int defaultId, iconId, pressed, answer;
        const char* shownText;
    } rows[] = {
        {"Proceed?", MB_YESNO, 0, yn, 6, 0, 7, 7, "Proceed?"},
        {"Done", MB_OK | MB_ICONSTOP, 0, {1}, 1, 32513, 1, 1, "Done"},
        {"{Y}Go", MB_YESNO, 0, yn, 6, 32514, 6, 6, "Go"},
        {"{-Y}Go", MB_YESNO, 0, yn, 6, 32514, 6, 7, "Go"},
        {"{-}Go", MB_YESNO, 0, yn, 6, 32514, 7, 6, "Go"},
        {"{N}Go", MB_YESNO, 0, yn, 7, 32514, 7, 7, "Go"},
        {"{O}Go", MB_YESNO, 0, {1}, 1, 32514, 1, 6, "Go"},
        {"{E}Go", MB_OK, 0, yn, 6, 32515, 6, 6, "Go"},
        {"{YC}Go", MB_YESNO, 0, ync, 2, 32514, 2, 2, "Go"},
        {"{OIc}Go", MB_YESNO, 0, {1, 2}, 1, 32515, 2, 2, "Go"},
        {"{OcI}Go", MB_YESNO, 0, {1, 2}, 1, 32516, 1, 6, "Go"},
        {"{AI}Go", MB_YESNO, 0, ari, 5, 32514, 5, 7, "Go"},
        {"{AR}Go", MB_YESNO, 0, ari, 4, 32514, 4, 6, "Go"},
        {"{Ai}Go", MB_YESNO, 0, ari, 3, 32514, 3, 3, "Go"},
        {"{R}Go", MB_YESNO, 0, {4, 2}, 4, 32514, 2, 7, "Go"},
        {"{*o}Go", MB_YESNO, 0, {1}, 1, 32514, 1, 6, "Go"},
        {"{}", MB_YESNO, 0, yn, 6, 32514, 6, 6, ""},
        {"{Y", MB_YESNO, 0, yn, 6, 32514, 6, 6, ""},
        {"{Y*}Go", MB_YESNO, 1537, ya, 6, 32514, 8, 8, "Go"},
        {"{Y*}Go", MB_YESNO, 1537, ya, 6, 32514, 6, 6, "Go"},
        {"{Y*S}Go", MB_YESNO, 1537, ya, 6, 32513, 7, 7, "Go"},
        {"{-Y*}Go", MB_YESNO, 1537, ya, 6, 32514, 6, 7, "Go"},
        {"{-Y*}Go", MB_YESNO, 1537, ya, 6, 32514, 7, 6, "Go"},
        {"{YN*}Go", MB_YESNO, 1539, na, 7, 32514, 9, 9, "Go"},
        {"{N*}Go", MB_YESNO, 1537, ya, 7, 32514, 7, 7, "Go"},
        {"{n*}Go", MB_YESNO, 1537, ya, 6, 32514, 6, 6, "Go"},
        {"{Ny*}Go", MB_YESNO, 1537, ya, 7, 32514, 6, 6, "Go"},
        {"{*y}Go", MB_YESNO, 1537, ya, 6, 32514, 6, 6, "Go"},
        {"{YC*}Go", MB_YESNO, 1338, yac, 2, 32514, 2, 2, "Go"},
        {"{Y*C}Go", MB_YESNO, 1338, yac, 7, 32514, 8, 8, "Go"},
        {"{YN*C}Go", MB_YESNO | MB_ICONINFORMATION, 1540, nac, 7, 32516, 9, 9, "Go"},
        {"{YNC*}Go", MB_YESNO, 1540, nac, 2, 32514, 7, 7, "Go"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " pressing " + std::to_string(row.pressed));
        Shown shown;
        const int answer =
            showAndAct(shown, press(row.pressed), row.text, "Messages", row.uType, mainWindow());
        ASSERT_TRUE(shown.seen);
        EXPECT_EQ(answer, row.answer);
        EXPECT_EQ(shown.yesNoAll, row.T != 0);
        EXPECT_EQ(shown.buttons, row.buttons);
        EXPECT_EQ(shown.focusId, row.defaultId);
        EXPECT_EQ(shown.defPushId, row.defaultId);
        EXPECT_EQ(shown.icon, standardIcon(row.iconId));
        EXPECT_EQ(shown.caption, "Messages");
        EXPECT_EQ(shown.text, row.shownText);
        EXPECT_EQ(shown.owner, mainWindow());
    }
}

TEST_F(MessageBoxTest, ClosingKeysOfTheYesNoAllDialogs) {
    const struct {
        const char* label;
        const char* text;
        std::function<void(HWND)> act;
        int answer;
    } rows[] = {
        {"WM_CLOSE", "{Y*}Go", [](HWND box) { PostMessageA(box, WM_CLOSE, 0, 0); }, IDCANCEL},
        {"Escape", "{Y*}Go", [](HWND) { test_host::pressKey(GetFocus(), VK_ESCAPE); }, IDCANCEL},
        {"Enter on default No", "{YN*}Go", [](HWND) { test_host::pressKey(GetFocus(), VK_RETURN); },
         IDNO},
        {"Enter on default Cancel", "{YC*}Go",
         [](HWND) { test_host::pressKey(GetFocus(), VK_RETURN); }, IDCANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Shown shown;
        EXPECT_EQ(showAndAct(shown, row.act, row.text), row.answer);
        EXPECT_TRUE(shown.seen);
    }
}

TEST_F(MessageBoxTest, CaptionsAndModality) {
    Shown shown;
    showAndAct(shown, press(IDOK), "plain", nullptr, MB_OK);
    EXPECT_EQ(shown.caption, "");
    QVSetDefaultMessageCaption(std::string(300, 'c').c_str());
    showAndAct(shown, press(IDOK), "plain", nullptr, MB_OK);
    EXPECT_EQ(shown.caption, std::string(255, 'c'));
    QVSetDefaultMessageCaption("Accounts");
    showAndAct(shown, press(IDYES), "{Y*}plain", nullptr);
    EXPECT_EQ(shown.caption, "Accounts");
    QVSetDefaultMessageCaption(nullptr);
    showAndAct(shown, press(IDOK), "plain", nullptr, MB_OK);
    EXPECT_EQ(shown.caption, "");
    showAndAct(shown, press(IDOK), "plain", "Modal", MB_OK | MB_SYSTEMMODAL);
    EXPECT_TRUE(shown.topmost);
    showAndAct(shown, press(IDOK), "{O}prefixed", "Modal", MB_OK | MB_SYSTEMMODAL);
    EXPECT_FALSE(shown.topmost);
    showAndAct(shown, press(IDOK), nullptr, "Null text", MB_OK);
    EXPECT_EQ(shown.text, "");
}

// The yes/no-to-all templates as stored in the library, field by field.
TEST(YesNoAllTemplates, AreStoredAsDocumented) {
    struct Control {
        int id, x, y, cx, cy;
        const char* label;
    };
    const struct {
        int id, cx;
        std::vector<Control> controls;
    } rows[] = {
        {1537,
         266,
         {{8, 35, 37, 50, 14, "Yes to &All"},
          {6, 95, 37, 50, 14, "&Yes"},
          {7, 209, 37, 50, 14, "&No"},
          {1400, 7, 8, 18, 20, ""},
          {1003, 36, 7, 223, 24, ""}}},
        {1338,
         294,
         {{8, 35, 37, 50, 14, "Yes to &All"},
          {6, 96, 37, 50, 14, "&Yes"},
          {7, 175, 37, 50, 14, "&No"},
          {2, 236, 37, 50, 14, "Cancel"},
          {1400, 7, 8, 21, 20, ""},
          {1003, 35, 7, 252, 24, ""}}},
        {1539,
         266,
         {{6, 33, 37, 50, 14, "&Yes"},
          {9, 150, 37, 50, 14, "No to &All"},
          {7, 209, 37, 50, 14, "&No"},
          {1400, 7, 8, 18, 20, ""},
          {1003, 33, 7, 226, 24, ""}}},
        {1540,
         294,
         {{6, 33, 37, 50, 14, "&Yes"},
          {9, 105, 37, 50, 14, "No to &All"},
          {7, 164, 37, 50, 14, "&No"},
          {2, 236, 37, 50, 14, "Cancel"},
          {1400, 7, 8, 21, 20, ""},
          {1003, 35, 6, 252, 24, ""}}},
    };
    HMODULE library = GetModuleHandleA("z64EVEZE.dll");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        HRSRC resource = FindResourceA(library, MAKEINTRESOURCEA(row.id), MAKEINTRESOURCEA(5));
        ASSERT_NE(resource, nullptr);
        const auto* words = static_cast<const WORD*>(LockResource(LoadResource(library, resource)));
        ASSERT_EQ(words[0], 1);      // dlgVer
        ASSERT_EQ(words[1], 0xFFFF); // signature: an extended template
        const DWORD style = *reinterpret_cast<const DWORD*>(words + 6);
        EXPECT_EQ(style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
        EXPECT_EQ(words[8], row.controls.size());
        EXPECT_EQ(words[11], row.cx);
        EXPECT_EQ(words[12], 58);
        const wchar_t* cursor = reinterpret_cast<const wchar_t*>(words + 15); // after menu, class
        EXPECT_STREQ(cursor, L"Dialog");
        cursor += wcslen(cursor) + 1;
        EXPECT_EQ(cursor[0], 9); // point size, weight, italic and charset, then the face
        EXPECT_STREQ(cursor + 3, L"Segoe UI");
        cursor += 3 + wcslen(cursor + 3) + 1;
        for (const Control& expected : row.controls) {
            SCOPED_TRACE(expected.id);
            cursor =
                reinterpret_cast<const wchar_t*>((reinterpret_cast<UINT_PTR>(cursor) + 3) & ~3);
            const auto* item = reinterpret_cast<const BYTE*>(cursor);
            const DWORD itemStyle = *reinterpret_cast<const DWORD*>(item + 8);
            const auto* pos = reinterpret_cast<const short*>(item + 12);
            EXPECT_EQ((std::vector<int>{pos[0], pos[1], pos[2], pos[3]}),
                      (std::vector<int>{expected.x, expected.y, expected.cx, expected.cy}));
            EXPECT_EQ(*reinterpret_cast<const DWORD*>(item + 20), DWORD(expected.id));
            const auto* cls = reinterpret_cast<const wchar_t*>(item + 24);
            const bool button = cls[0] == 0xFFFF ? cls[1] == 0x0080 : _wcsicmp(cls, L"Button") == 0;
            EXPECT_TRUE(button || cls[0] == 0xFFFF || _wcsicmp(cls, L"Static") == 0);
            if (button) // a plain push button that stops the tab key
                EXPECT_EQ(itemStyle & (BS_TYPEMASK | WS_TABSTOP),
                          DWORD(BS_PUSHBUTTON | WS_TABSTOP));
            else if (expected.id == 1400)
                EXPECT_EQ(itemStyle & SS_TYPEMASK, DWORD(SS_ICON));
            else
                EXPECT_EQ(itemStyle & (SS_TYPEMASK | WS_GROUP), DWORD(SS_LEFT | WS_GROUP));
            const wchar_t* title = cls[0] == 0xFFFF ? cls + 2 : cls + wcslen(cls) + 1;
            EXPECT_EQ(test_support::narrow(title), expected.label);
            cursor = title + wcslen(title) + 1;
            cursor += 1 + *cursor / sizeof(wchar_t); // creation data
        }
    }
}

class SilentMessageTest : public MessageBoxTest {
protected:
    void SetUp() override {
        MessageBoxTest::SetUp();
        SetEnvironmentVariableW(L"QV_BASE_LOG", folder_.file(L"base.log").c_str());
        QVSetSilentMode(TRUE);
    }
    void TearDown() override {
        QVSetSilentMode(FALSE);
        QVClearBalloonMessage();
        SetEnvironmentVariableW(L"QV_BASE_LOG", nullptr);
    }
    test_support::TemporaryDirectory folder_;
};

TEST_F(SilentMessageTest, LogsEveryPresentationAndShowsNothing) {
    const RECT anchor{10, 10, 50, 30};
    const struct {
        const char* label;
        const char* text;
        UINT uType;
        bool balloon;
        int answer;
    } rows[] = {
        {"system box", "{-}Box text", MB_YESNO, false, IDNO},
        {"yes/no-to-all", "{Y*}All text", MB_YESNO, false, IDYES},
        {"balloon", "Balloon text", MB_OK, true, IDRETRY},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        if (row.balloon)
            QVSetBalloonMessagePosition(mainWindow(), &anchor, 0);
        Shown shown;
        EXPECT_EQ(showAndAct(shown, press(IDOK), row.text, "Silent", row.uType), row.answer);
        EXPECT_FALSE(shown.seen);
        const auto lines =
            test_support::splitLines(test_support::readFile(folder_.file(L"base.log")));
        ASSERT_FALSE(lines.empty());
        const std::string text = std::string(row.text).substr(std::string(row.text).find('}') + 1);
        EXPECT_NE(lines.back().find(" 2 Suppressed: " + text), std::string::npos) << lines.back();
    }
    QVClearErrorList(1); // suppressed messages are collected, not logged
    EXPECT_EQ(QVMessageBox(nullptr, "collected", nullptr, MB_YESNO), IDYES);
    EXPECT_STREQ(QVErrorList(), "collected");
    EXPECT_EQ(test_support::splitLines(test_support::readFile(folder_.file(L"base.log"))).size(),
              3u);
}

int g_createdWindows = 0;
LRESULT CALLBACK countCreatedWindows(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND)
        ++g_createdWindows;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MessageBoxTest, WorkerThreadsNeverCreateAWindow) {
    std::thread worker([this] {
        const support::UniqueHook hook(
            SetWindowsHookExA(WH_CBT, countCreatedWindows, nullptr, GetCurrentThreadId()));
        ASSERT_TRUE(hook);
        const RECT anchor{10, 10, 50, 30};
        EXPECT_EQ(QVMessageBox(mainWindow(), "plain", "W", MB_YESNO), IDYES);
        EXPECT_EQ(QVMessageBox(mainWindow(), "{-Y*}all", "W", MB_YESNO), IDNO);
        EXPECT_EQ(QVMessageBox(mainWindow(), "{O}ok", "W", MB_YESNO), IDYES);
        QVSetBalloonMessagePosition(mainWindow(), &anchor, 1);
        EXPECT_EQ(QVMessageBox(mainWindow(), "balloon", nullptr, MB_OK), IDRETRY);
        EXPECT_STREQ(QVErrorList(), "plain\nok\nballoon");
    });
    worker.join();
    EXPECT_EQ(g_createdWindows, 0);
}

} // namespace
