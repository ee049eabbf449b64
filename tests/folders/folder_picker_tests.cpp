// The folder picker on each system it knows. The main run copies this program once per
// system, sets the copy's reported version (HKCU\Software\Wine\AppDefaults\<copy>.exe,
// "Version", which holds for new processes at once) and runs there the suite of the
// mechanism that system uses; in the main run those suites skip themselves. Each picker is
// driven from a thread timer whose watchdog cancels it if the expected window never shows.
#include <z64eveze.h>

#include "test_host.h"
#include "test_support.h"
#include "ui_driver.h"

#include <support/unique_resource.h>

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST_HOST_APPLICATION("folder_tests");

namespace {

using test_host::UiScript;

constexpr wchar_t kCopyVariable[] = L"Z64_FOLDER_PICKER_COPY";

struct SystemRow {
    const char* version;
    const char* suite;
};
constexpr SystemRow kSystems[] = {
    {"win7", "ItemDialogPicker"}, {"vista", "NewStyleBrowser"}, {"win2k", "NewStyleBrowser"},
    {"winme", "NewStyleBrowser"}, {"nt40", "OldStyleBrowser"},  {"nt351", "LegacyDirectoryPicker"},
};

void setReportedVersion(const std::string& program, const char* version) {
    support::UniqueRegistryKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                              ("Software\\Wine\\AppDefaults\\" + program).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), "Version", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(version),
                             static_cast<DWORD>(std::strlen(version) + 1)),
              ERROR_SUCCESS);
}

TEST(FolderPicker, UsesTheMechanismOfEachSystem) {
    const std::wstring directory = test_support::programDirectory();
    for (const SystemRow& row : kSystems) {
        const std::string name = std::string("folder_tests_") + row.version + ".exe";
        const std::wstring copy = directory + L"\\" + test_support::widen(name);
        ASSERT_TRUE(CopyFileW((directory + L"\\folder_tests.exe").c_str(), copy.c_str(), FALSE));
        setReportedVersion(name, row.version);
        const auto run = test_support::runProgram(
            copy, L"--gtest_filter=" + test_support::widen(row.suite) + L".*",
            {{kCopyVariable, L"1"}});
        DeleteFileW(copy.c_str());
        EXPECT_EQ(run.exitCode, 0u) << row.version << "\n" << run.output;
        EXPECT_EQ(run.output.find("SKIPPED"), std::string::npos) << row.version << run.output;
        EXPECT_EQ(run.output.find("PASSED  ] 0 tests"), std::string::npos) << row.version;
    }
}

// The folder browser's controls.
constexpr int kTree = 14145, kPrompt = 14146, kStatus = 14147, kEdit = 14149, kNewFolder = 14150;
constexpr char kPromptText[] = "Choose the ledger folder";
constexpr char kCaption[] = "Harbour Ledger";

std::string itemText(HWND dialog, int id) {
    return test_host::windowText(GetDlgItem(dialog, id));
}

std::string shortened(std::string path) {
    AbbreviateName(path.data(), 52, TRUE);
    return path.c_str();
}

// Folders made a moment ago are listed once after the last change to them, so that the shell's item
// lists of them (which carry the last access time) match the ones the browser makes.
void readOnce(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const support::UniqueFind listing(FindFirstFileA((folder + "\\*").c_str(), &found));
}

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetEnvironmentVariableW(kCopyVariable, nullptr, 0) == 0)
            GTEST_SKIP() << "runs in a copy of the program that reports an older system";
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comInitialised_ = true;
        const std::string parent = folder_.narrowFile(L"Harbour Ledger Company Files");
        start_ = parent + "\\Year 2026 Statements";
        const std::string made[] = {parent, start_, start_ + "\\Ledgers"};
        for (const std::string& folder : made)
            ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        readOnce(test_support::narrow(folder_.path()));
        for (const std::string& folder : made)
            readOnce(folder);
        std::strcpy(path_, start_.c_str());
    }
    void TearDown() override {
        if (comInitialised_)
            CoUninitialize();
    }

    int pick(UiScript& script, LPCSTR prompt, LPCSTR caption, bool root, bool newStyle,
             bool noNewFolder) {
        const int result =
            SelectDirFolder(nullptr, path_, prompt, caption, root, newStyle, noNewFolder);
        EXPECT_FALSE(script.timedOut()) << "last seen: \"" << seen_ << "\"";
        return result;
    }
    // Waits until the browser's control `id` shows `expected`, then checks and presses.
    bool whenShown(int id, const std::string& expected, int button,
                   const std::function<void(HWND)>& check = {}) {
        HWND browser = test_host::findDialog();
        seen_ = browser != nullptr ? itemText(browser, id) : "";
        if (browser == nullptr || seen_.compare(0, expected.size(), expected) != 0)
            return false;
        if (check)
            check(browser);
        test_host::clickButton(browser, button);
        return true;
    }

    test_support::TemporaryDirectory folder_;
    std::string start_, seen_;
    char path_[MAX_PATH];
    bool comInitialised_ = false;
};

using ItemDialogPicker = PickerTest;
using NewStyleBrowser = PickerTest;
using OldStyleBrowser = PickerTest;
using LegacyDirectoryPicker = PickerTest;

TEST_F(ItemDialogPicker, TitlesWithTheCaptionAndChoosesATypedFolder) {
    for (const int button : {IDOK, IDCANCEL}) {
        std::strcpy(path_, start_.c_str());
        UiScript script;
        script.then([&] {
            HWND dialog = test_host::findDialog(kCaption);
            if (dialog == nullptr)
                return false;
            EXPECT_EQ(FindWindowExA(dialog, nullptr, nullptr, kPromptText), nullptr);
            test_host::typeText(GetDlgItem(dialog, edt1), "Ledgers");
            test_host::clickButton(dialog, button);
            return true;
        });
        const bool chosen = button == IDOK;
        EXPECT_EQ(pick(script, kPromptText, kCaption, true, true, true), chosen ? 1 : 2);
        EXPECT_EQ(path_, chosen ? start_ + "\\Ledgers" : start_);
    }
}

TEST_F(NewStyleBrowser, ShowsThePromptWithTheShortenedSelection) {
    UiScript script;
    script.then([&] {
        return whenShown(kPrompt, std::string(kPromptText) + "\n\n" + shortened(start_), IDOK,
                         [](HWND browser) {
                             EXPECT_EQ(test_host::windowText(browser), kCaption);
                             EXPECT_FALSE(IsWindowVisible(GetDlgItem(browser, kNewFolder)));
                             EXPECT_TRUE(IsWindowVisible(GetDlgItem(browser, kEdit)));
                         });
    });
    EXPECT_EQ(pick(script, kPromptText, kCaption, false, true, true), 1);
    EXPECT_EQ(path_, start_);
}

TEST_F(NewStyleBrowser, FitsTheDefaultAndALongPromptAndCancels) {
    const std::string longPrompt(400, 'x');
    const std::pair<const char*, std::string> rows[] = {
        {nullptr, "Select a Folder:\n\n" + shortened(start_)}, {longPrompt.c_str(), longPrompt}};
    for (const auto& [prompt, shown] : rows) {
        const std::string expected = shown.substr(0, 299);
        UiScript script;
        script.then([&] { return whenShown(kPrompt, expected, IDCANCEL); });
        EXPECT_EQ(pick(script, prompt, nullptr, false, true, false), 2);
        EXPECT_EQ(seen_, expected);
        EXPECT_EQ(path_, start_);
    }
}

TEST_F(NewStyleBrowser, RootsTheTreeAtTheStartFolder) {
    UiScript script;
    script.then([&] {
        return whenShown(kPrompt, kPromptText, IDCANCEL, [](HWND browser) {
            HWND tree = GetDlgItem(browser, kTree);
            char text[MAX_PATH] = "";
            TVITEMA item{};
            item.mask = TVIF_TEXT;
            item.hItem = TreeView_GetRoot(tree);
            item.pszText = text;
            item.cchTextMax = sizeof text;
            TreeView_GetItem(tree, &item);
            EXPECT_STREQ(text, "Year 2026 Statements");
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(browser, kNewFolder)));
        });
    });
    EXPECT_EQ(pick(script, kPromptText, kCaption, true, true, false), 2);
}

TEST_F(NewStyleBrowser, MissingStartFolderSelectsTheCurrentDirectory) {
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    std::strcpy(path_, (start_ + "\\Missing").c_str());
    UiScript script;
    script.then(
        [&] { return whenShown(kPrompt, "Select a Folder:\n\n" + shortened(current), IDOK); });
    EXPECT_EQ(pick(script, nullptr, nullptr, false, true, false), 1);
    EXPECT_STREQ(path_, current);
}

TEST_F(OldStyleBrowser, ShowsThePromptAloneAndTheSelectionAsStatus) {
    std::strcat(path_, "\\"); // found all the same: the trailing backslash goes
    UiScript script;
    script.then([&] {
        return whenShown(kStatus, shortened(start_), IDOK, [](HWND browser) {
            EXPECT_EQ(itemText(browser, kPrompt), kPromptText);
            EXPECT_EQ(test_host::windowText(browser), kCaption);
        });
    });
    EXPECT_EQ(pick(script, kPromptText, kCaption, false, true, false), 1);
    EXPECT_EQ(path_, start_);
}

bool centredOver(HWND window, HWND owner) {
    RECT inner, outer;
    GetWindowRect(window, &inner);
    GetWindowRect(owner, &outer);
    return std::abs((inner.left + inner.right) - (outer.left + outer.right)) <= 2 &&
           std::abs((inner.top + inner.bottom) - (outer.top + outer.bottom)) <= 2;
}

TEST_F(LegacyDirectoryPicker, ShowsDirectoriesOnlyAndReturnsTheChosenOne) {
    struct Row {
        const char* label;
        std::string current;
        int button, result;
        std::string path;
    };
    const Row rows[] = {{"chosen directory", start_ + "\\Ledgers", IDOK, 1, start_ + "\\Ledgers"},
                        {"root keeps its backslash", "C:\\", IDOK, 1, "C:\\"},
                        {"cancel", start_ + "\\Ledgers", IDCANCEL, 2, start_}};
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    for (const Row& row : rows) {
        ASSERT_TRUE(SetCurrentDirectoryA(row.current.c_str())) << row.label;
        std::strcpy(path_, start_.c_str());
        UiScript script;
        script.then([&] {
            HWND dialog = test_host::findDialog();
            if (dialog == nullptr || GetDlgItem(dialog, lst2) == nullptr)
                return false;
            for (const int hidden : {stc2, stc3, edt1, lst1, cmb1})
                EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, hidden))) << hidden;
            EXPECT_EQ(itemText(dialog, edt1), "Junk");
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, lst2));
            UpdateWindow(dialog);
            EXPECT_EQ(SendDlgItemMessageA(dialog, lst2, LB_GETCURSEL, 0, 0), 0);
            EXPECT_TRUE(centredOver(dialog, AfxGetMainWnd()->GetSafeHwnd()));
            test_host::clickButton(dialog, row.button);
            return true;
        });
        EXPECT_EQ(pick(script, kPromptText, kCaption, true, true, true), row.result) << row.label;
        EXPECT_EQ(path_, row.path) << row.label;
    }
    SetCurrentDirectoryA(previous);
}

} // namespace
