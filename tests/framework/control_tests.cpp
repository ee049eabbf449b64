// The framework's control classes: Create makes the control and attaches the object to it,
// so that messages and the handle maps find the object. What the controls do once made is
// the system's own behaviour.
#include <afxcmn.h>
#include <gtest/gtest.h>

#include "window_test_support.h"

namespace {

TEST(Controls, CreateAttachesTheObjectToTheNewControl) {
    CWnd parent;
    ASSERT_TRUE(framework_tests::createPopup(parent));
    CProgressCtrl bar;
    CStatic icon;
    CButton check;
    CEdit edit;
    // clang-format off
    const struct { const char* label; CWnd* control; BOOL created; int id; } cases[] = {
        {"progress bar", &bar, bar.Create(WS_VISIBLE, CRect(5, 5, 150, 20), &parent, 502), 502},
        {"static", &icon, icon.Create("", WS_VISIBLE | SS_ICON, CRect(5, 5, 40, 40), &parent, 1007), 1007},
        {"button", &check, check.Create("check", WS_VISIBLE | BS_AUTOCHECKBOX, CRect(5, 50, 100, 70), &parent, 1059), 1059},
        {"edit", &edit, edit.Create(WS_VISIBLE | WS_BORDER, CRect(5, 80, 150, 100), &parent, 1000), 1000},
    };
    // clang-format on
    for (const auto& row : cases) {
        ASSERT_TRUE(row.created) << row.label;
        EXPECT_EQ(CWnd::FromHandlePermanent(row.control->m_hWnd), row.control) << row.label;
        EXPECT_EQ(row.control->GetDlgCtrlID(), row.id) << row.label;
        EXPECT_EQ(::GetParent(row.control->m_hWnd), parent.m_hWnd) << row.label;
    }
    parent.DestroyWindow();
}

} // namespace
