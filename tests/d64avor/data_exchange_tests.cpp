// DDX_ControlWP: a dialog's control is attached to its window object on the first
// exchange, and its messages then reach the object's message map.
#include "ui_helpers.h"

#include <gtest/gtest.h>
#include <host_resources.h>
#include <test_host.h>

namespace {

constexpr UINT kProbeMessage = WM_APP + 20;
constexpr LRESULT kProbeAnswer = 0x5eed;

// An edit control object whose map answers the probe message.
class ProbedEdit : public CEdit {
public:
    int probes = 0;

protected:
    LRESULT OnProbe(WPARAM, LPARAM) {
        ++probes;
        return kProbeAnswer;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbedEdit, CEdit)
ON_MESSAGE(kProbeMessage, &ProbedEdit::OnProbe)
END_MESSAGE_MAP()

// The host's data dialog, exchanging its name control with DDX_ControlWP.
class DataDialog : public CDialog {
public:
    DataDialog() : CDialog(IDD_HOST_DATA, &test_host::application().mainWindow()) {}
    ProbedEdit name;
    int exchanges = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_ControlWP(pDX, IDC_HOST_NAME, name);
        ++exchanges;
    }
};

class DataExchangeTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dialog_.Create(IDD_HOST_DATA, dialog_.m_pParentWnd)); }
    DataDialog dialog_;
};

TEST_F(DataExchangeTest, AttachesTheControlOnceAndRoutesItsMessagesThroughTheObject) {
    HWND control = GetDlgItem(dialog_.GetSafeHwnd(), IDC_HOST_NAME);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(dialog_.exchanges, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(control), &dialog_.name);
    EXPECT_TRUE(dialog_.UpdateData(TRUE));
    EXPECT_TRUE(dialog_.UpdateData(FALSE));
    EXPECT_EQ(dialog_.exchanges, 3);
    EXPECT_EQ(dialog_.name.GetSafeHwnd(), control) << "later exchanges keep the attachment";
    EXPECT_EQ(SendMessageA(control, kProbeMessage, 0, 0), kProbeAnswer);
    EXPECT_EQ(dialog_.name.probes, 1);
}

// Exchanges that cannot attach raise the framework's invalid-argument exception.
TEST_F(DataExchangeTest, RaisesTheInvalidArgumentExceptionWhenItCannotAttach) {
    // clang-format off
    const struct { const char* label; int controlId; bool controlHeldElsewhere; } cases[] = {
        {"no such control", 4321, false}, {"held by another object", IDC_HOST_CODE, true}};
    // clang-format on
    for (const auto& row : cases) {
        CEdit other;
        if (row.controlHeldElsewhere) {
            ASSERT_TRUE(other.SubclassWindow(GetDlgItem(dialog_.GetSafeHwnd(), row.controlId)));
        }
        CEdit control;
        CDataExchange exchange(&dialog_, FALSE);
        bool raised = false;
        try {
            DDX_ControlWP(&exchange, row.controlId, control);
        } catch (CInvalidArgException* exception) {
            raised = true;
            exception->Delete();
        }
        EXPECT_TRUE(raised) << row.label;
        EXPECT_EQ(control.GetSafeHwnd(), nullptr) << row.label;
        if (row.controlHeldElsewhere)
            other.UnsubclassWindow();
    }
}

} // namespace
