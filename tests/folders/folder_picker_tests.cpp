// The folder picker on each system it knows. The main run copies this program once per
// system, sets the copy's reported version (HKCU\Software\Wine\AppDefaults\<copy>.exe,
// "Version") and runs there the suite of that system's mechanism, which skips itself in the
// main run. A thread timer drives each picker; its watchdog cancels a window that never
// shows what is awaited.
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
#include <vector>

TEST_HOST_APPLICATION("folder_tests");

namespace {

using test_host::UiScript;
using test_host::windowText;

constexpr wchar_t kCopyVariable[] = L"Z64_FOLDER_PICKER_COPY";

TEST(FolderPicker, UsesTheMechanismOfEachSystem) {
    const std::pair<const char*, const char*> systems[] = {
        {"win7", "ItemDialogPicker"}, {"vista", "NewStyleBrowser"},
        {"win2k", "NewStyleBrowser"}, {"winme", "NewStyleBrowser"},
        {"nt40", "OldStyleBrowser"},  {"nt351", "LegacyDirectoryPicker"}};
    const std::wstring directory = test_support::programDirectory();
    for (const auto& [version, suite] : systems) {
        const std::string name = std::string("folder_tests_") + version + ".exe";
        const std::wstring copy = directory + L"\\" + test_support::widen(name);
        ASSERT_TRUE(CopyFileW((directory + L"\\folder_tests.exe").c_str(), copy.c_str(), FALSE));
        support::UniqueRegistryKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                                  ("Software\\Wine\\AppDefaults\\" + name).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(std::strlen(version) + 1));
        const auto run = test_support::runProgram(
            copy, L"--gtest_filter=" + test_support::widen(suite) + L".*", {{kCopyVariable, L"1"}});
        DeleteFileW(copy.c_str());
        EXPECT_EQ(run.exitCode, 0u) << version << "\n" << run.output;
        EXPECT_EQ(run.output.find("SKIPPED"), std::string::npos) << version << run.output;
    }
}

// The folder browser's controls.
constexpr int kTree = 14145, kPrompt = 14146, kStatus = 14147, kEdit = 14149, kNewFolder = 14150;
constexpr char kPromptText[] = "Choose the ledger folder";
constexpr char kCaption[] = "Harbour Ledger";

std::string itemText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

std::string shortened(std::string path) {
    AbbreviateName(path.data(), 52, TRUE);
    return path.c_str();
}

// The picker's options (path at entry, prompt, root, no new folder), the control whose text
// is awaited and how that text begins, the button pressed, the result and the path after.
// clang-format off
struct PickerRow { const char* label; std::string path; LPCSTR prompt; bool root, noNewFolder; int watched; std::string shown; int button, result; std::string chosen; };
// clang-format on

class PickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetEnvironmentVariableW(kCopyVariable, nullptr, 0) == 0)
            GTEST_SKIP() << "runs in a copy of the program that reports an older system";
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comInitialised_ = true;
        // Not under the temporary folder, which other test programs change all the time.
        made_ = {"C:\\Harbour Ledger " + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount())};
        made_.push_back(made_[0] + "\\Company Files");
        start_ = made_[1] + "\\Year 2026 Statements";
        made_.insert(made_.end(), {start_, start_ + "\\Ledgers"});
        for (const std::string& folder : made_)
            ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        // Each folder of the path is listed once after its last change: the shell's item
        // lists carry the last access time, and parsing a path reads every folder on it.
        for (std::string folder = made_.back();; folder.resize(folder.rfind('\\'))) {
            WIN32_FIND_DATAA found;
            const support::UniqueFind listing(FindFirstFileA((folder + "\\*").c_str(), &found));
            if (folder.find('\\') == std::string::npos)
                break;
        }
        GetCurrentDirectoryA(sizeof previousDirectory_, previousDirectory_);
    }
    void TearDown() override {
        SetCurrentDirectoryA(previousDirectory_);
        for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder)
            RemoveDirectoryA(folder->c_str());
        if (comInitialised_)
            CoUninitialize();
    }

    // Runs the picker on each row from `current` as the current directory; `check` looks
    // at the window once it shows the awaited text.
    void pickEach(const std::vector<PickerRow>& rows, const std::string& current,
                  const std::function<void(HWND, const PickerRow&)>& check) {
        ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
        for (const PickerRow& row : rows) {
            std::strcpy(path_, row.path.c_str());
            std::string seen;
            UiScript script;
            script.then([&] {
                HWND window = test_host::findDialog();
                seen = window != nullptr ? itemText(window, row.watched) : "";
                if (window == nullptr || seen.compare(0, row.shown.size(), row.shown) != 0)
                    return false;
                check(window, row);
                test_host::clickButton(window, row.button);
                return true;
            });
            EXPECT_EQ(SelectDirFolder(nullptr, path_, row.prompt, kCaption, row.root, true,
                                      row.noNewFolder),
                      row.result)
                << row.label;
            EXPECT_FALSE(script.timedOut()) << row.label << ", last seen: \"" << seen << "\"";
            EXPECT_EQ(path_, row.chosen) << row.label;
        }
    }

    std::vector<std::string> made_; // outermost first
    std::string start_;
    char path_[MAX_PATH], previousDirectory_[MAX_PATH];
    bool comInitialised_ = false;
};

using ItemDialogPicker = PickerTest;
using NewStyleBrowser = PickerTest;
using OldStyleBrowser = PickerTest;
using LegacyDirectoryPicker = PickerTest;

TEST_F(ItemDialogPicker, TitlesWithTheCaptionAndChoosesAFolderTypedInTheStartFolder) {
    const std::string typed = start_ + "\\Ledgers";
    // The item dialog's window itself is awaited, by its (empty) text of the file-name edit.
    pickEach({{"typed folder", start_, kPromptText, true, true, edt1, "", IDOK, 1, typed},
              {"cancel", start_, kPromptText, true, true, edt1, "", IDCANCEL, 2, start_}},
             start_, [](HWND dialog, const PickerRow& row) {
                 EXPECT_EQ(windowText(dialog), kCaption);
                 EXPECT_EQ(FindWindowExA(dialog, nullptr, nullptr, kPromptText), nullptr);
                 if (row.button == IDOK)
                     test_host::typeText(GetDlgItem(dialog, edt1), "Ledgers");
             });
}

void checkBrowser(HWND browser, const PickerRow& row) {
    EXPECT_EQ(windowText(browser), kCaption) << row.label;
    const bool newStyle = row.watched == kPrompt;
    EXPECT_LE(itemText(browser, kPrompt).size(), 299u) << row.label;
    EXPECT_EQ(IsWindowVisible(GetDlgItem(browser, kEdit)) != FALSE, newStyle) << row.label;
    EXPECT_EQ(IsWindowVisible(GetDlgItem(browser, kNewFolder)) != FALSE,
              newStyle && !row.noNewFolder)
        << row.label;
    if (row.watched == kStatus) { // the old style shows the prompt alone
        EXPECT_EQ(itemText(browser, kPrompt), row.prompt) << row.label;
    }
    char rootText[MAX_PATH] = "";
    TVITEMA rootItem{};
    rootItem.mask = TVIF_TEXT;
    rootItem.hItem = TreeView_GetRoot(GetDlgItem(browser, kTree));
    rootItem.pszText = rootText;
    rootItem.cchTextMax = sizeof rootText;
    TreeView_GetItem(GetDlgItem(browser, kTree), &rootItem);
    EXPECT_EQ(std::strcmp(rootText, "Year 2026 Statements") == 0, row.root) << row.label;
}

TEST_F(NewStyleBrowser, ShowsThePromptAboveTheShortenedSelection) {
    const std::string current = start_ + "\\Ledgers", prompted = kPromptText + std::string("\n\n");
    const std::string longPrompt(400, 'x'), byDefault = "Select a Folder:\n\n";
    // clang-format off
    pickEach({{"chosen", start_, kPromptText, false, true, kPrompt, prompted + shortened(start_), IDOK, 1, start_},
              {"string 57, cancel", start_, nullptr, false, false, kPrompt, byDefault + shortened(start_), IDCANCEL, 2, start_},
              {"400-byte prompt cut", start_, longPrompt.c_str(), false, false, kPrompt, longPrompt.substr(0, 299), IDCANCEL, 2, start_},
              {"rooted at the start", start_, kPromptText, true, false, kPrompt, prompted, IDCANCEL, 2, start_},
              {"missing start, current directory", start_ + "\\Missing", nullptr, false, false, kPrompt, byDefault + shortened(current), IDOK, 1, current}},
             current, checkBrowser);
    // clang-format on
}

TEST_F(OldStyleBrowser, ShowsTheSelectionAsStatusText) {
    // The old browser finds no folder with a trailing backslash, so it goes.
    // clang-format off
    pickEach({{"chosen", start_ + "\\", kPromptText, false, false, kStatus, shortened(start_), IDOK, 1, start_}}, start_, checkBrowser);
    // clang-format on
}

TEST_F(LegacyDirectoryPicker, ShowsDirectoriesOnlyAndReturnsTheChosenOne) {
    for (const auto& [current, button, result, chosen] :
         {std::tuple{start_, IDOK, 1, start_},
          std::tuple{std::string("C:\\"), IDOK, 1, std::string("C:\\")},
          std::tuple{start_ + "\\Ledgers", IDCANCEL, 2, start_}}) {
        // Awaited by the hidden file-name edit's text.
        pickEach(
            {{"legacy", start_, kPromptText, true, true, edt1, "Junk", button, result, chosen}},
            current, [](HWND dialog, const PickerRow&) {
                for (const int hidden : {stc2, stc3, edt1, lst1, cmb1})
                    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, hidden))) << hidden;
                EXPECT_EQ(GetFocus(), GetDlgItem(dialog, lst2));
                UpdateWindow(dialog); // the first paint selects the first entry
                EXPECT_EQ(SendDlgItemMessageA(dialog, lst2, LB_GETCURSEL, 0, 0), 0);
                RECT inner, outer;
                GetWindowRect(dialog, &inner);
                GetWindowRect(AfxGetMainWnd()->GetSafeHwnd(), &outer);
                EXPECT_LE(std::abs(inner.left + inner.right - outer.left - outer.right), 2);
                EXPECT_LE(std::abs(inner.top + inner.bottom - outer.top - outer.bottom), 2);
            });
    }
}

} // namespace
