// The import and update status functions on the current progress box.
#include "progress_test_support.h"

#include <test_host.h>
#include <ui_driver.h>
#include <z64eveze.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

using progress_tests::kWithoutCancel;
using progress_tests::pumps;

std::string description(CWnd& box) {
    return test_host::windowText(box.GetDlgItem(500)->m_hWnd);
}

int barUpper(CWnd& box) {
    return static_cast<int>(box.SendDlgItemMessage(502, PBM_GETRANGE, FALSE));
}

class ImportStatusTest : public progress_tests::ProgressTest {
protected:
    CProgressBox* openOwnBox() {
        auto* box = new CProgressBox;
        EXPECT_TRUE(box->Create(kWithoutCancel, &test_host::application().mainWindow()));
        return box;
    }
    void TearDown() override {
        ProgressDialogDelete();
        ProgressDialogClear();
        ProgressTest::TearDown();
    }
};

TEST_F(ImportStatusTest, InstallsTheCallersBoxAndSendsItTheTexts) {
    EXPECT_EQ(ImportUpdateStatus(nullptr, 0, 0, nullptr, "no box"), 0);
    CProgressBox* first = openOwnBox();
    first->Progress(7);
    EXPECT_EQ(ImportUpdateStatus(first, 0, 200, "Import", "reading"), 1);
    EXPECT_EQ(ProgressDialogExists(), 1);
    EXPECT_EQ(test_host::windowText(first->m_hWnd) + "/" + description(*first), "Import/reading");
    EXPECT_EQ(std::pair(barUpper(*first), int(first->SendDlgItemMessage(502, PBM_GETPOS))),
              std::pair(200, 7));

    // A different box gets the texts and becomes current; the current one is not reset.
    CProgressBox* second = openOwnBox();
    EXPECT_EQ(ImportUpdateStatus(second, 0, 0, "Second", "its own"), 1);
    EXPECT_EQ(description(*second) + "/" + description(*first), "its own/reading");
    second->Cancel();
    EXPECT_EQ(ImportUpdateStatus(second, 0, 0, nullptr, nullptr), 0);
    delete first;
    delete second;
    EXPECT_EQ(ProgressDialogExists(), 0);
}

TEST_F(ImportStatusTest, CancelledBoxStopsThePumpAndAnswersZero) {
    ProgressDialogInit("Status", "", 100);
    EXPECT_TRUE(pumps([] { EXPECT_EQ(ImpUpdStat(10, 0), 1); }));
    EXPECT_TRUE(pumps([] { EXPECT_EQ(ImpUpdSt(1, 2, 3, 4), 1); }));
    const HWND box = test_host::findDialog("Status");
    EXPECT_EQ(test_host::windowText(GetDlgItem(box, 500)), "");
    SendMessageA(box, WM_COMMAND, IDCANCEL, 0); // the box without Cancel button closes
    ProgressDialogDelete();
    ProgressDialogInitOverWrite("Status", "", "Stop", 100);
    SendMessageA(GetDlgItem(test_host::findDialog("Status"), IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(pumps([] { EXPECT_EQ(ImpUpdStat(10, 0), 0); }));
}

TEST_F(ImportStatusTest, LongDescriptionsShowTheirEnd) {
    const std::pair<size_t, bool> rows[] = {{254, false}, {255, true}, {300, true}}; // length, cut
    const std::string title(100, 'T');
    ProgressDialogInit(title.c_str(), "", 0);
    const HWND box = test_host::findDialog(title.c_str());
    for (const auto& [length, cut] : rows) {
        SCOPED_TRACE(length);
        std::string text;
        for (size_t index = 0; index < length; ++index)
            text += static_cast<char>('a' + index % 26);
        SetWindowTextA(box, "changed");
        EXPECT_FALSE(pumps([&] { ImpUpdText2(text.c_str(), 0); }));
        EXPECT_EQ(test_host::windowText(GetDlgItem(box, 500)),
                  cut ? "..." + text.substr(text.size() - 251) : text);
        EXPECT_EQ(test_host::windowText(box), title.substr(0, 79));
    }
    EXPECT_TRUE(pumps([] { ImpUpdText2(nullptr, 50); }));
    EXPECT_EQ(test_host::windowText(GetDlgItem(box, 500)).size(), 254u);
    EXPECT_EQ(SendDlgItemMessageA(box, 502, PBM_GETRANGE, FALSE, 0), 50);
    ImpUpdText("plain");
    EXPECT_EQ(SendDlgItemMessageA(box, 502, PBM_GETRANGE, FALSE, 0), 100);
}

} // namespace
