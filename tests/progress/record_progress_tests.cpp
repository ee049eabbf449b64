// The record window and prgRecords / prgRecordsStep.
#include "progress_test_support.h"

#include <test_host.h>
#include <ui_driver.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using progress_tests::pumps;

std::string controlText(HWND window, int id) {
    return test_host::windowText(GetDlgItem(window, id));
}

char* text(const char* literal) {
    return const_cast<char*>(literal);
}

class RecordProgressTest : public progress_tests::ProgressTest {
protected:
    void TearDown() override {
        prgRecords(nullptr, 2);
        prgRecordsStep(nullptr, 2, 1);
        ProgressTest::TearDown();
    }
};

TEST_F(RecordProgressTest, CheckStepAnswersTheRemainder) {
    // Four calls a row, with the step and the answers expected.
    const std::pair<int, std::vector<int>> rows[] = {
        {0, {0, 0, 0, 0}}, {3, {1, 2, 0, 1}}, {-1, {1, 2, 3, 4}}};
    for (const auto& [step, answers] : rows) {
        CProgressBoxRecords box(nullptr, nullptr);
        std::vector<int> found;
        for (size_t call = 0; call < answers.size(); ++call)
            found.push_back(box.check_step(step));
        EXPECT_EQ(found, answers) << "step " << step;
    }
}

TEST_F(RecordProgressTest, BothWindowsCountAndHideTheCancelButton) {
    const HWND main = test_host::application().mainWindow().m_hWnd;
    ProgressDialogInitOverWrite("Current", "", "Stop", 10);
    const HWND current = test_host::findDialog("Current");
    SetActiveWindow(main);
    prgRecords(text(""), 0);
    prgRecords(text(""), 1);
    prgRecords(text(""), 1);
    const HWND records = test_host::findDialog("Updating Database");
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(controlText(records, 500) + "|" + controlText(records, 501) + "|" +
                  controlText(records, 502),
              "Updating Database|Processing record:|3");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(current, IDCANCEL)));

    const std::string longTitle(100, 'L');
    EXPECT_TRUE(pumps([&] { prgRecordsStep(text(longTitle.c_str()), 0, 10); }));
    HWND stepWindow = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            if (controlText(window, 500) == std::string(79, 'L'))
                *reinterpret_cast<HWND*>(found) = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&stepWindow));
    ASSERT_NE(stepWindow, nullptr);
    EXPECT_EQ(controlText(stepWindow, 502), "0");
    for (int call = 1; call < 10; ++call)
        EXPECT_FALSE(pumps([] { prgRecordsStep(nullptr, 1, 10); })) << "call " << call;
    EXPECT_EQ(controlText(stepWindow, 502), "0");
    EXPECT_TRUE(pumps([] { prgRecordsStep(nullptr, 1, 10); }));
    EXPECT_EQ(controlText(stepWindow, 502), "10");

    prgRecordsStep(nullptr, 2, 10);
    EXPECT_FALSE(IsWindow(stepWindow));
    prgRecords(nullptr, 2);
    EXPECT_FALSE(IsWindow(records));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(current, IDCANCEL)));
    ProgressDialogDelete();
    EXPECT_TRUE(IsWindowEnabled(main));
}

// Opening twice, an owner destroyed under the window, and another thread.
TEST_F(RecordProgressTest, WindowsNeverOutliveTheirState) {
    const HWND main = test_host::application().mainWindow().m_hWnd;
    SetActiveWindow(main);
    prgRecords(text("First"), 0);
    const HWND first = test_host::findDialog("Updating Database");
    prgRecords(text("Second"), 0);
    EXPECT_FALSE(IsWindow(first));
    prgRecords(nullptr, 2);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(test_host::findDialog("Updating Database"), nullptr);

    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, "Static", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                               nullptr));
    owner.SetActiveWindow();
    prgRecords(text("Owned"), 0);
    const HWND owned = test_host::findDialog("Updating Database");
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), owner.m_hWnd);
    owner.DestroyWindow(); // takes the record window with it
    EXPECT_FALSE(IsWindow(owned));
    prgRecords(nullptr, 1); // the state no longer refers to the deleted window
    prgRecords(nullptr, 2);

    std::thread([] { prgRecords(text("Worker"), 0); }).join();
    EXPECT_EQ(test_host::findDialog("Updating Database"), nullptr);
}

} // namespace
