// The log-in, password, protection, tax-code and copy-map dialogs, run through their
// exported functions while a script of the test host acts on the dialog as a user would.
// The script's watchdog fails a test whose dialog never closes, and closes it.
#include <test_host.h>
#include <ui_driver.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

using namespace test_host;

struct Outcome {
    int result;
    bool shown; // a dialog came up and the script acted on it
};

// Runs `call` while `act` is done on the first dialog captioned `caption` that comes up.
Outcome drive(const char* caption, const std::function<void(HWND)>& act,
              const std::function<int()>& call) {
    UiScript script;
    script.then([&] {
        HWND dialog = findDialog(caption);
        if (dialog != nullptr)
            act(dialog);
        return dialog != nullptr;
    });
    const int result = call();
    return {result, script.completed() && !script.timedOut()};
}

// How a script ends a dialog: a positive value clicks that button.
enum Close : int { kOk = IDOK, kCancel = IDCANCEL, kEnter = -1, kEscape = -2, kCloseBox = -3 };

void close(HWND dialog, int how) {
    if (how > 0)
        clickButton(dialog, how);
    else if (how == kCloseBox)
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        pressKey(GetNextDlgTabItem(dialog, nullptr, FALSE), how == kEnter ? VK_RETURN : VK_ESCAPE);
}

// A caller's buffer with a marker in every byte, and `text` copied in (null: untouched).
std::string buffer(const char* text = nullptr) {
    std::string bytes(96, '#');
    if (text != nullptr)
        bytes.replace(0, std::strlen(text) + 1, text, std::strlen(text) + 1);
    return bytes;
}

// A control of a dialog: text null for an icon, whose text and size are not compared; the
// style bits that must be set; x, y, width and height; EM_GETLIMITTEXT of an edit.
// clang-format off
struct Control { const char* dialog; int id; const char *className, *text; DWORD style; RECT units; int limit; };
// clang-format on
constexpr DWORD kTab = WS_TABSTOP, kGroup = WS_GROUP, kUp = WS_TABSTOP | ES_UPPERCASE;
constexpr DWORD kPw = kUp | ES_PASSWORD | ES_AUTOHSCROLL, kDef = BS_DEFPUSHBUTTON;
constexpr DWORD kBox = BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP, kOn = WS_VISIBLE;
constexpr char kLogIn[] = "Log In", kChange[] = "Change Password", kProtect[] = "Protection On/Off";
constexpr char kTax[] = "New Tax Code", kCopy[] = "Confirm Mapping/Grouping Copy";
// In the order stored, which is the tab order.
// clang-format off
const Control kControls[] = {
    {kLogIn, 1004, "Edit", "", kUp, {97, 24, 117, 12}, 4},
    {kLogIn, 1005, "Edit", "", kUp | ES_PASSWORD, {97, 42, 117, 12}, 8},
    {kLogIn, IDOK, "Button", "OK", kDef, {34, 64, 50, 14}, 0},
    {kLogIn, IDCANCEL, "Button", "Cancel", kOn, {91, 64, 50, 14}, 0},
    {kLogIn, 1003, "Static", nullptr, SS_ICON, {12, 27, 18, 20}, 0},
    {kLogIn, -1, "Static", "Please enter your user ID and password to login:", kGroup, {10, 8, 180, 11}, 0},
    {kLogIn, -1, "Static", "User ID:", kGroup, {53, 25, 40, 8}, 0},
    {kLogIn, -1, "Static", "Password:", kGroup, {53, 43, 40, 8}, 0},
    {kLogIn, ID_HELP, "Button", "Help", kOn, {148, 64, 50, 14}, 0},
    {kChange, -1, "Static", "New Password:", kGroup, {11, 12, 68, 8}, 0},
    {kChange, 1060, "Edit", "", kPw, {82, 10, 108, 12}, 8},
    {kChange, -1, "Static", "Confirm Password:", kGroup, {11, 32, 66, 8}, 0},
    {kChange, 1061, "Edit", "", kPw, {82, 30, 108, 12}, 8},
    {kChange, IDOK, "Button", "OK", kDef, {13, 52, 50, 14}, 0},
    {kChange, IDCANCEL, "Button", "Cancel", kOn, {76, 52, 50, 14}, 0},
    {kChange, ID_HELP, "Button", "Help", kOn, {139, 52, 50, 14}, 0},
    {kProtect, 1059, "Button", "&Enforce File Protection", kBox, {31, 20, 123, 8}, 0},
    {kProtect, IDOK, "Button", "OK", kDef, {8, 45, 50, 14}, 0},
    {kProtect, IDCANCEL, "Button", "Cancel", kOn, {66, 45, 50, 14}, 0},
    {kProtect, ID_HELP, "Button", "Help", kOn, {126, 45, 50, 14}, 0},
    {kTax, -1, "Static", "&Tax Code:", kOn, {9, 15, 35, 8}, 0},
    {kTax, 1000, "Edit", "VAT20", kTab | ES_AUTOHSCROLL | WS_DISABLED, {54, 12, 64, 12}, 10},
    {kTax, -1, "Static", "&Description:", kOn, {9, 33, 40, 8}, 0},
    {kTax, 1001, "Edit", "", kTab | ES_AUTOHSCROLL, {54, 30, 153, 12}, 40},
    {kTax, IDOK, "Button", "OK", kDef, {43, 58, 50, 14}, 0},
    {kTax, IDCANCEL, "Button", "Cancel", kOn, {120, 58, 50, 14}, 0},
    {kCopy, 1008, "Button", "&Append", kDef, {14, 45, 50, 14}, 0},
    {kCopy, 1009, "Button", "&Replace", kOn, {78, 45, 50, 14}, 0},
    {kCopy, 1007, "Static", nullptr, SS_ICON, {12, 10, 20, 20}, 0},
    {kCopy, -1, "Static", "Select either to append new Mapping and Grouping numbers to existing, or replace with template's Mapping and Grouping structure.", kOn, {45, 7, 153, 30}, 0},
    {kCopy, IDCANCEL, "Button", "&Skip", kOn, {141, 45, 50, 14}, 0},
};
// clang-format on

void expectLayout(HWND dialog, const char* caption, SIZE units) {
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client, unitsToPixels(dialog, {0, 0, units.cx, units.cy}));
    EXPECT_EQ(fontFace(dialog), "Segoe UI");
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const Control& expected : kControls) {
        if (std::strcmp(expected.dialog, caption) != 0)
            continue;
        SCOPED_TRACE(expected.id);
        ASSERT_NE(child, nullptr);
        EXPECT_STRCASEEQ(className(child).c_str(), expected.className);
        EXPECT_EQ(GetDlgCtrlID(child), expected.id);
        if (expected.text != nullptr) {
            EXPECT_EQ(windowText(child), expected.text);
        }
        EXPECT_EQ(GetWindowLongA(child, GWL_STYLE) & expected.style, expected.style);
        RECT place = placeIn(dialog, child), units = unitsToPixels(dialog, expected.units);
        if (expected.text == nullptr) // an icon's static takes the size of its icon
            place = {place.left, place.top, units.right, units.bottom};
        EXPECT_EQ(place, units);
        if (expected.limit != 0) {
            EXPECT_EQ(SendMessageA(child, EM_GETLIMITTEXT, 0, 0), expected.limit);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
}

TEST(ApplicationDialogs, ShowTheDocumentedLayout) {
    std::string a = buffer(), b = buffer();
    int value = 0;
    const HICON question = LoadIconA(nullptr, IDI_QUESTION);
    // clang-format off
    const struct { const char* caption; SIZE units; std::function<int()> run; HICON icon; /* of control 1007 */ } dialogs[] = {
        {kLogIn, {232, 85}, [&] { return LoginDialog(a.data(), b.data()); }, nullptr},
        {kChange, {203, 73}, [&] { return SetPassDialog(a.data(), b.data()); }, nullptr},
        {kProtect, {184, 66}, [&] { return PassOptDialog(&value); }, nullptr},
        {kTax, {211, 86}, [&] { return callTaxCodeDlg("VAT20", a.data()); }, nullptr},
        {kCopy, {205, 70}, callCopyMapDlg, question},
    };
    // clang-format on
    for (const auto& row : dialogs) {
        SCOPED_TRACE(row.caption);
        HICON icon = nullptr;
        const Outcome run = drive(
            row.caption,
            [&](HWND dialog) {
                expectLayout(dialog, row.caption, row.units);
                icon =
                    reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, 1007, STM_GETICON, 0, 0));
                clickButton(dialog, IDCANCEL);
            },
            row.run);
        EXPECT_TRUE(run.shown);
        EXPECT_EQ(icon, row.icon);
    }
}

// A dialog with two edits, and its function.
struct TextForm {
    const char* caption;
    int first, second;
    int (*run)(char* first, char* second);
};
int verify(char*, char* password) {
    return VerifySysPassDialog(password);
}
const TextForm kLogin{kLogIn, 1004, 1005, LoginDialog}, kVerify{kLogIn, 1004, 1005, verify},
    kSetPass{kChange, 1060, 1061, SetPassDialog};

TEST(PasswordDialogs, ReturnWhatIsTypedOnlyOnOk) {
    // clang-format off
    const struct { const char* label; const TextForm& form; const char *typedFirst, *typedSecond; Close close; int result; const char *first, *second; /* null: untouched */ } rows[] = {
        {"capitals, 5th and 9th refused", kLogin, "abcde", "secret123", kOk, 1, "ABCD", "SECRET12"},
        {"both empty", kLogin, "", "", kOk, 1, "", ""},
        {"enter", kLogin, "ann", "pw", kEnter, 1, "ANN", "PW"},
        {"cancel", kLogin, "ann", "pw", kCancel, 0, nullptr, nullptr},
        {"escape", kLogin, "ann", "pw", kEscape, 0, nullptr, nullptr},
        {"close box", kLogin, "ann", "pw", kCloseBox, 0, nullptr, nullptr},
        {"verify keeps the password only", kVerify, "ann", "Pw1", kOk, 1, nullptr, "PW1"},
        {"new passwords differ, 9th refused", kSetPass, "new1", "otherword", kOk, 1, "NEW1", "OTHERWOR"},
        {"new password cancelled", kSetPass, "new1", "new1", kEscape, 0, nullptr, nullptr},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::string first = buffer(), second = buffer();
        const Outcome run = drive(
            row.form.caption,
            [&](HWND dialog) {
                typeText(GetDlgItem(dialog, row.form.first), row.typedFirst);
                typeText(GetDlgItem(dialog, row.form.second), row.typedSecond);
                close(dialog, row.close);
            },
            [&] { return row.form.run(first.data(), second.data()); });
        EXPECT_TRUE(run.shown);
        EXPECT_EQ(run.result, row.result);
        EXPECT_EQ(first, buffer(row.first));
        EXPECT_EQ(second, buffer(row.second));
    }
}

TEST(PasswordDialogs, RefuseAPasswordPastTheLimitOnOk) {
    std::string userId = buffer(), password = buffer();
    HWND login = nullptr;
    bool stayedOpen = false;
    UiScript script;
    script.then([&] { return (login = findDialog(kLogIn)) != nullptr; })
        .then([&] {
            SetDlgItemTextA(login, 1005, "NINECHARS"); // not typed: the limit does not stop it
            clickButton(login, IDOK);
            return true;
        })
        .then([&] { // the framework's message about the length
            HWND message = GetActiveWindow();
            if (message != login && message != nullptr)
                PostMessageA(message, WM_COMMAND, IDCANCEL, 0);
            return message != login && message != nullptr;
        })
        .then([&] {
            stayedOpen = GetActiveWindow() == login && IsWindowVisible(login);
            clickButton(login, IDCANCEL);
            return true;
        });
    EXPECT_EQ(LoginDialog(userId.data(), password.data()), 0);
    EXPECT_TRUE(script.completed());
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(userId + password, buffer() + buffer());
}

TEST(PasswordDialogs, PassOptionShowsAndReturnsTheCheckBox) {
    // clang-format off
    const struct { const char* label; int initial; bool toggle; Close close; UINT shown; int result, final; } rows[] = {
        {"off, kept", 0, false, kOk, BST_UNCHECKED, 1, 0},
        {"on, kept", 1, false, kOk, BST_CHECKED, 1, 1},
        {"off, switched on", 0, true, kEnter, BST_UNCHECKED, 1, 1},
        {"on, switched off", 1, true, kOk, BST_CHECKED, 1, 0},
        {"toggled, cancelled", 1, true, kCancel, BST_CHECKED, 0, 1},
        {"toggled, escaped", 0, true, kEscape, BST_UNCHECKED, 0, 0},
        {"toggled, closed", 0, true, kCloseBox, BST_UNCHECKED, 0, 0},
        {"other value shows unchecked", 7, false, kOk, BST_UNCHECKED, 1, 0},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        int value = row.initial;
        UINT shown = 99;
        const Outcome run = drive(
            kProtect,
            [&](HWND dialog) {
                shown = IsDlgButtonChecked(dialog, 1059);
                if (row.toggle)
                    PostMessageA(GetDlgItem(dialog, 1059), BM_CLICK, 0, 0);
                close(dialog, row.close);
            },
            [&] { return PassOptDialog(&value); });
        EXPECT_TRUE(run.shown);
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(run.result, row.result);
        EXPECT_EQ(value, row.final);
    }
}

TEST(TaxCodeDialog, ShowsTheCodeAndReturnsTheDescriptionOnOk) {
    const std::string nineteen(19, 'T'), forty(40, 'd');
    // clang-format off
    const struct { const char* label; std::string code, typed; Close close; int result; const char* description; /* null: untouched */ } rows[] = {
        {"typed", "VAT20", "Standard rate", kOk, 1, "Standard rate"},
        {"41st character refused, 19-character code", nineteen, forty + "dd", kEnter, 1, forty.c_str()},
        {"cancel", "VAT20", "Reduced", kCancel, 0, nullptr},
        {"escape", "VAT20", "Reduced", kEscape, 0, nullptr},
        {"close box", "VAT20", "Reduced", kCloseBox, 0, nullptr},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::string description = buffer(), shownCode;
        const Outcome run = drive(
            kTax,
            [&](HWND dialog) {
                shownCode = windowText(GetDlgItem(dialog, 1000));
                typeText(GetDlgItem(dialog, 1001), row.typed);
                close(dialog, row.close);
            },
            [&] { return callTaxCodeDlg(row.code.c_str(), description.data()); });
        EXPECT_TRUE(run.shown);
        EXPECT_EQ(shownCode, row.code);
        EXPECT_EQ(run.result, row.result);
        EXPECT_EQ(description, buffer(row.description));
    }
}

TEST(ApplicationDialogs, RefuseBadArgumentsWithoutShowingAnything) {
    char text[96] = "untouched";
    const std::string twenty(20, 'T');
    const std::function<int()> calls[] = {
        [&] { return LoginDialog(nullptr, text); },
        [&] { return LoginDialog(text, nullptr); },
        [&] { return VerifySysPassDialog(nullptr); },
        [&] { return SetPassDialog(nullptr, text); },
        [&] { return SetPassDialog(text, nullptr); },
        [&] { return PassOptDialog(nullptr); },
        [&] { return callTaxCodeDlg(nullptr, text); },
        [&] { return callTaxCodeDlg("VAT", nullptr); },
        [&] { return callTaxCodeDlg(twenty.c_str(), text); },
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(&call - calls);
        const Outcome run = drive(
            nullptr, [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }, call);
        EXPECT_FALSE(run.shown);
        EXPECT_EQ(run.result, 0);
        EXPECT_STREQ(text, "untouched");
    }
}

TEST(CopyMapDialog, AnswersWithTheButtonChosen) {
    // clang-format off
    const struct { const char* label; int how, result; } rows[] = {
        {"append", 1008, 3}, {"replace", 1009, 4}, {"skip", IDCANCEL, IDCANCEL},
        {"escape", kEscape, IDCANCEL}, {"close box", kCloseBox, IDCANCEL}, {"enter takes the default", kEnter, 3}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const Outcome run = drive(
            kCopy, [&](HWND dialog) { close(dialog, row.how); }, callCopyMapDlg);
        EXPECT_TRUE(run.shown);
        EXPECT_EQ(run.result, row.result);
    }
}

} // namespace
