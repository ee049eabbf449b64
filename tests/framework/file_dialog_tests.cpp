// The file dialog: its window joins the object at initialisation (so OnInitDialog and
// message-map entries of a derived class apply), with the framework's hook procedure, for
// an Explorer-style dialog and for an old-style one with a custom template.
#include <afxdlgs.h>
#include <gtest/gtest.h>

#include "host_resources.h"
#include "test_support.h"
#include "ui_driver.h"

#include <string>
#include <tuple>

namespace {

constexpr int kFileNameEdit = 1152;
constexpr int kFileList = 1120;
constexpr int kDirectoryList = 1121;

// What the dialog looked like from its own OnInitDialog and message map.
class ObservedFileDialog : public CFileDialog {
public:
    using CFileDialog::CFileDialog;

    HWND initialisedWindow = nullptr;
    HWND ownerAtInitialisation = nullptr;
    bool permanentAtInitialisation = false;
    int paints = 0;
    bool hideFileParts = false;

    BOOL OnInitDialog() override {
        initialisedWindow = m_hWnd;
        ownerAtInitialisation = ::GetWindow(m_hWnd, GW_OWNER);
        permanentAtInitialisation = CWnd::FromHandlePermanent(m_hWnd) == this;
        if (hideFileParts) {
            GetDlgItem(kFileList)->ShowWindow(SW_HIDE);
            GetDlgItem(kFileNameEdit)->ShowWindow(SW_HIDE);
            SetDlgItemText(kFileNameEdit, "Junk");
            GetDlgItem(kDirectoryList)->SetFocus();
        }
        CDialog::OnInitDialog();
        return FALSE; // the focus has been set
    }

protected:
    afx_msg void OnPaint() {
        CPaintDC dc(this);
        ++paints;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ObservedFileDialog, CFileDialog)
ON_WM_PAINT()
END_MESSAGE_MAP()

// A step that waits until the dialog is initialised and shown, then hands its window to
// `act`.
std::function<bool()> onceShown(ObservedFileDialog* dialog, std::function<void(HWND)> act) {
    return [=] {
        if (dialog->initialisedWindow == nullptr || !IsWindowVisible(dialog->initialisedWindow))
            return false;
        act(dialog->initialisedWindow);
        return true;
    };
}

TEST(FileDialog, AnExplorerDialogJoinsItsObjectAndCancels) {
    ObservedFileDialog dialog(TRUE, "txt", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                              "Text (*.txt)|*.txt|All (*.*)|*.*||");
    EXPECT_TRUE(dialog.m_ofn.Flags & OFN_EXPLORER);
    EXPECT_TRUE(dialog.m_ofn.Flags & OFN_ENABLEHOOK);
    EXPECT_STREQ(dialog.m_ofn.lpstrFilter, "Text (*.txt)");
    test_host::UiScript script(20000);
    script.then(onceShown(&dialog, [](HWND hWnd) { PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0); }));
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(script.completed());
    EXPECT_TRUE(dialog.permanentAtInitialisation);
    EXPECT_EQ(dialog.ownerAtInitialisation, AfxGetMainWnd()->m_hWnd);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindow(dialog.initialisedWindow));
}

TEST(FileDialog, AnOldStyleDialogWithACustomTemplateReturnsTheChosenName) {
    test_support::TemporaryDirectory folder;
    const std::string start = test_support::narrow(folder.path());
    ObservedFileDialog dialog(FALSE, nullptr, nullptr,
                              OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLETEMPLATE);
    dialog.m_ofn.Flags &= ~OFN_EXPLORER;
    dialog.m_ofn.hInstance = AfxGetInstanceHandle();
    dialog.m_ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_HOST_OLD_FILE);
    dialog.m_ofn.lpstrInitialDir = start.c_str();
    dialog.hideFileParts = true;
    bool directoryListFocused = false;
    bool fileListHidden = false;
    test_host::UiScript script(20000);
    script.then(onceShown(&dialog, [&](HWND hWnd) {
        directoryListFocused = GetFocus() == GetDlgItem(hWnd, kDirectoryList);
        fileListHidden = !IsWindowVisible(GetDlgItem(hWnd, kFileList));
        test_host::clickButton(hWnd, IDOK);
    }));
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(script.completed());
    EXPECT_EQ(std::tuple(dialog.permanentAtInitialisation, directoryListFocused, fileListHidden),
              std::tuple(true, true, true));
    EXPECT_GT(dialog.paints, 0) << "WM_PAINT reached the object's message map";
    EXPECT_EQ(dialog.GetFileName().CompareNoCase("Junk"), 0) << dialog.GetPathName().GetString();
    const CString directory = dialog.GetPathName().Left(dialog.m_ofn.nFileOffset - 1);
    EXPECT_EQ(directory.CompareNoCase(start.c_str()), 0) << directory.GetString();
}

} // namespace
