// Simple controls and device contexts: the progress bar, statics, buttons and edits made
// by the framework, and drawing through its device-context classes.
#include <afxcmn.h>
#include <gtest/gtest.h>

#include "window_test_support.h"

namespace {

using framework_tests::createPopup;

class ControlTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(createPopup(parent)); }
    void TearDown() override { parent.DestroyWindow(); }
    CWnd parent;
};

TEST_F(ControlTest, TheProgressBarKeepsItsRangeAndPosition) {
    CProgressCtrl bar;
    ASSERT_TRUE(bar.Create(WS_VISIBLE | PBS_SMOOTH, CRect(5, 5, 150, 20), &parent, 502));
    EXPECT_EQ(CWnd::FromHandlePermanent(bar.m_hWnd), &bar);
    EXPECT_EQ(bar.GetDlgCtrlID(), 502);
    struct Case {
        const char* label;
        void (*act)(CProgressCtrl&);
        int expectedLower;
        int expectedUpper;
        int expectedPosition;
    };
    const Case cases[] = {
        {"32-bit range and position",
         [](CProgressCtrl& b) {
             b.SetRange32(0, 100000);
             b.SetPos(70000);
         },
         0, 100000, 70000},
        {"16-bit range", [](CProgressCtrl& b) { b.SetRange(10, 20); }, 10, 20, 20},
        {"offset",
         [](CProgressCtrl& b) {
             b.SetRange32(0, 50);
             b.SetPos(10);
             b.OffsetPos(15);
         },
         0, 50, 25},
        {"steps",
         [](CProgressCtrl& b) {
             b.SetRange32(0, 50);
             b.SetPos(0);
             b.SetStep(4);
             b.StepIt();
             b.StepIt();
         },
         0, 50, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        c.act(bar);
        int lower = -1, upper = -1;
        bar.GetRange(lower, upper);
        EXPECT_EQ(lower, c.expectedLower);
        EXPECT_EQ(upper, c.expectedUpper);
        EXPECT_EQ(bar.GetPos(), c.expectedPosition);
    }
}

TEST_F(ControlTest, StaticsButtonsAndEditsWrapTheirControls) {
    CStatic icon;
    ASSERT_TRUE(icon.Create("", WS_VISIBLE | SS_ICON, CRect(5, 5, 40, 40), &parent, 1007));
    HICON question = LoadIconA(nullptr, IDI_QUESTION);
    icon.SetIcon(question);
    EXPECT_EQ(icon.GetIcon(), question);

    CButton check;
    ASSERT_TRUE(
        check.Create("check", WS_VISIBLE | BS_AUTOCHECKBOX, CRect(5, 50, 100, 70), &parent, 1059));
    EXPECT_EQ(check.GetCheck(), BST_UNCHECKED);
    check.SetCheck(BST_CHECKED);
    EXPECT_EQ(parent.IsDlgButtonChecked(1059), static_cast<UINT>(BST_CHECKED));

    CEdit edit;
    ASSERT_TRUE(edit.Create(WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, CRect(5, 80, 150, 100),
                            &parent, 1000));
    edit.LimitText(10);
    EXPECT_EQ(edit.GetLimitText(), 10u);
    edit.SetWindowText("abcdef");
    edit.SetSel(2, 4);
    edit.ReplaceSel("XY");
    CString text;
    parent.GetDlgItemText(1000, text);
    EXPECT_STREQ(text, "abXYef");
    parent.SetDlgItemInt(1000, 1234);
    BOOL translated = FALSE;
    EXPECT_EQ(parent.GetDlgItemInt(1000, &translated), 1234u);
    EXPECT_TRUE(translated);
}

TEST_F(ControlTest, DrawingThroughTheDeviceContextClasses) {
    CClientDC dc(&parent);
    ASSERT_NE(dc.GetSafeHdc(), nullptr);
    const CRect area(0, 0, 10, 10);
    dc.FillSolidRect(&area, RGB(10, 20, 30));
    EXPECT_EQ(dc.GetPixel(5, 5), RGB(10, 20, 30));
    CBrush brush(RGB(200, 0, 0));
    dc.FillRect(CRect(20, 0, 30, 10), &brush);
    EXPECT_EQ(dc.GetPixel(25, 5), RGB(200, 0, 0));
    CPen pen(PS_SOLID, 1, RGB(0, 0, 255));
    CPen* previous = dc.SelectObject(&pen);
    dc.MoveTo(0, 20);
    dc.LineTo(30, 20);
    EXPECT_EQ(dc.GetPixel(15, 20), RGB(0, 0, 255));
    dc.SelectObject(previous);
    const int saved = dc.SaveDC();
    dc.SetTextColor(RGB(1, 2, 3));
    EXPECT_TRUE(dc.RestoreDC(saved));
    EXPECT_NE(::GetTextColor(dc.m_hDC), RGB(1, 2, 3));
    EXPECT_GT(dc.GetTextExtent("Ledger", 6).cx, 0);
}

} // namespace
