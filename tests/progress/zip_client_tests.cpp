// The zip clients: the caller's routine behind a box of the progress interface.
#include "progress_test_support.h"

#include <test_host.h>
#include <ui_driver.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

constexpr INT_PTR kWideUser = static_cast<INT_PTR>(0x123456789ABCDEF0ll);

// What a routine saw while it ran.
using Arguments = std::array<INT_PTR, 6>;
struct Seen {
    Arguments arguments{};
    bool boxCurrent = false;
    std::string caption;
    bool cancelPressed = false;
    int shellDepth = -1;
};
Seen g_seen;
bool g_pressCancel = false;
HMODULE g_shell = nullptr;
CProgressBox* g_deleteDuringRoutine = nullptr;

void noteInterface() {
    g_seen.boxCurrent = ProgressDialogExists() != 0;
    const HWND box = test_host::findDialog(nullptr);
    g_seen.caption = box != nullptr ? test_host::windowText(box) : "";
    if (g_pressCancel && box != nullptr) {
        SendMessageA(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
        g_seen.cancelPressed = ProgressCheckCancel() == 0;
    }
    if (g_shell != nullptr)
        g_seen.shellDepth = progress_tests::shellCounts(g_shell).depth;
    delete g_deleteDuringRoutine;
    g_deleteDuringRoutine = nullptr;
}

int unzipRoutine(int first, int mode, INT_PTR user) {
    g_seen = Seen{};
    g_seen.arguments = {first, mode, user, 0, 0, 0};
    noteInterface();
    return 41;
}

int zipRoutine(INT_PTR a, INT_PTR b, INT_PTR c, int d, int e, INT_PTR user) {
    g_seen = Seen{};
    g_seen.arguments = {a, b, c, d, e, user};
    noteInterface();
    return 42;
}

using ZipClientTest = progress_tests::ProgressTest;

TEST_F(ZipClientTest, PassesArgumentsAndShowsABoxUnlessAskedNot) {
    // The selector is the caption selector (zip) or the mode (unzip).
    // clang-format off
    const struct { const char* label; bool zip; int selectorOrMode, noProgress, expectedMode; bool box; const char* caption; } rows[] = {
        {"unzip -343", false, -343, 0, 0, false, ""},
        {"unzip -342", false, -342, 0, 1, false, ""},
        {"unzip with box", false, 5, 0, 5, true, "Unzipping files"},
        {"zip without progress", true, 0, 1, 0, false, ""},
        {"zip with box, selector 0", true, 0, 0, 0, true, "Zipping files"},
        {"zip with box, selector 3", true, 3, 0, 0, true, "Unzipping files"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        if (row.zip) {
            EXPECT_EQ(ZipInterfaceClient(row.selectorOrMode, zipRoutine, 1, kWideUser, -3, 4, 5,
                                         row.noProgress, kWideUser),
                      42);
            EXPECT_EQ(g_seen.arguments, (Arguments{1, kWideUser, -3, 4, 5, kWideUser}));
        } else {
            EXPECT_EQ(UnZipClient(1, unzipRoutine, 9, row.selectorOrMode, kWideUser), 41);
            EXPECT_EQ(g_seen.arguments, (Arguments{9, row.expectedMode, kWideUser, 0, 0, 0}));
        }
        EXPECT_EQ(std::pair(g_seen.boxCurrent, g_seen.caption),
                  std::pair(row.box, std::string(row.caption)));
        EXPECT_EQ(ProgressDialogExists(), 0);
        EXPECT_EQ(test_host::findDialog(nullptr), nullptr);
        EXPECT_TRUE(IsWindowEnabled(test_host::application().mainWindow().m_hWnd));
    }
}

TEST_F(ZipClientTest, RoutineRunsOutsideTheBracketAndCanBeCancelled) {
    g_shell = LoadLibraryW(L"x64TRSHELL.dll");
    ASSERT_NE(g_shell, nullptr);
    g_pressCancel = true;
    EXPECT_EQ(UnZipClient(0, unzipRoutine, 1, 2, 3), 41);
    g_pressCancel = false;
    EXPECT_TRUE(g_seen.cancelPressed);
    EXPECT_EQ(g_seen.shellDepth, 0);
    EXPECT_EQ(progress_tests::shellCounts(g_shell).depth, 0);
    FreeLibrary(g_shell);
    g_shell = nullptr;
}

TEST_F(ZipClientTest, BoxCurrentBeforeIsCurrentAgainUnlessDeleted) {
    const HWND main = test_host::application().mainWindow().m_hWnd;
    ProgressDialogInit("Outer", "", 10);
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_EQ(UnZipClient(0, unzipRoutine, 1, 2, 3), 41);
    EXPECT_EQ(ProgressDialogExists(), 1);
    EXPECT_FALSE(IsWindowEnabled(main)); // still the outer box's to enable
    ProgressDialogDelete();
    EXPECT_TRUE(IsWindowEnabled(main));

    auto* outer = new CProgressBox;
    outer->Create(234, &test_host::application().mainWindow());
    ImportUpdateStatus(outer, 0, 0, nullptr, nullptr);
    g_deleteDuringRoutine = outer;
    EXPECT_EQ(UnZipClient(0, unzipRoutine, 1, 2, 3), 41);
    EXPECT_EQ(ProgressDialogExists(), 0);
}

} // namespace
