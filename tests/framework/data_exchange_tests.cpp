// Dialog data exchange on a real dialog: values shown at initialisation, typed text and
// check boxes taken back on OK, the length limit, and validation failures that keep the
// dialog open with the focus on the offending control.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "host_resources.h"
#include "ui_driver.h"

#include <string>
#include <tuple>

namespace {

using test_host::clickButton;
using test_host::findDialog;
using test_host::typeText;
using test_host::windowText;

constexpr int kNameLimit = 4;
constexpr int kMessageTextId = 0xFFFF; // the text of a message box

class DataDialog : public CDialog {
public:
    DataDialog() : CDialog(IDD_HOST_DATA) {}

    CString m_strName;
    CString m_strCode;
    int m_nNumber = 0;
    int m_bEnabled = 0;
    CStatic m_wndLabel;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_HOST_LABEL, m_wndLabel);
        DDX_Text(pDX, IDC_HOST_NAME, m_strName);
        DDV_MaxChars(pDX, m_strName, kNameLimit);
        DDX_Text(pDX, IDC_HOST_CODE, m_strCode);
        DDX_Text(pDX, IDC_HOST_NUMBER, m_nNumber);
        DDX_Check(pDX, IDC_HOST_CHECK, m_bEnabled);
    }
};

// A step that waits for the data dialog and hands it to `act`.
std::function<bool()> onDataDialog(std::function<void(HWND)> act) {
    return [act] {
        HWND dialog = findDialog("Host Data");
        if (dialog == nullptr)
            return false;
        act(dialog);
        return true;
    };
}

TEST(DataExchange, InitialisationShowsTheMembersInTheControls) {
    // clang-format off
    struct Case { const char* label; int check; UINT expectedState; };
    const Case cases[] = {{"unchecked", 0, BST_UNCHECKED},
                          {"checked", 1, BST_CHECKED},
                          {"out of range shows unchecked", 7, BST_UNCHECKED}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DataDialog dialog;
        dialog.m_strName = "AB";
        dialog.m_strCode = "x-1";
        dialog.m_nNumber = -12;
        dialog.m_bEnabled = c.check;
        // The three texts, the check box, whether the label joined its object, and the
        // name's length limit (DDV_MaxChars limits the edit control).
        std::tuple<std::string, std::string, std::string, UINT, bool, LRESULT> shown;
        test_host::UiScript script;
        script.then(onDataDialog([&](HWND hWnd) {
            shown = {windowText(GetDlgItem(hWnd, IDC_HOST_NAME)),
                     windowText(GetDlgItem(hWnd, IDC_HOST_CODE)),
                     windowText(GetDlgItem(hWnd, IDC_HOST_NUMBER)),
                     IsDlgButtonChecked(hWnd, IDC_HOST_CHECK),
                     CWnd::FromHandlePermanent(GetDlgItem(hWnd, IDC_HOST_LABEL)) ==
                         &dialog.m_wndLabel,
                     SendMessageA(GetDlgItem(hWnd, IDC_HOST_NAME), EM_GETLIMITTEXT, 0, 0)};
            clickButton(hWnd, IDCANCEL);
        }));
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(shown,
                  std::tuple("AB", "x-1", "-12", c.expectedState, true, LRESULT{kNameLimit}));
        EXPECT_STREQ(dialog.m_strName, "AB") << "Cancel takes nothing back";
        EXPECT_EQ(dialog.m_wndLabel.m_hWnd, nullptr) << "the control went with the dialog";
    }
}

TEST(DataExchange, OkTakesTypedTextAndCheckBoxesBack) {
    // clang-format off
    struct Case { const char* label; const char* typedName; const char* typedCode; const char* typedNumber; int initialCheck; int clicks; const char* expectedName; int expectedNumber; int expectedCheck; };
    const Case cases[] = {
        {"short text, one click", "abc", "c-1", "15", 0, 1, "abc", 15, 1},
        {"typing stops at the limit", "WXYZQ", "", "0", 1, 1, "WXYZ", 0, 0},
        {"two clicks keep the state", "", "code", " 7 ", 1, 2, "", 7, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DataDialog dialog;
        dialog.m_bEnabled = c.initialCheck;
        test_host::UiScript script;
        script
            .then(onDataDialog([&](HWND hWnd) {
                SetWindowTextA(GetDlgItem(hWnd, IDC_HOST_NUMBER), "");
                typeText(GetDlgItem(hWnd, IDC_HOST_NAME), c.typedName);
                typeText(GetDlgItem(hWnd, IDC_HOST_CODE), c.typedCode);
                typeText(GetDlgItem(hWnd, IDC_HOST_NUMBER), c.typedNumber);
                for (int i = 0; i < c.clicks; ++i)
                    PostMessageA(GetDlgItem(hWnd, IDC_HOST_CHECK), BM_CLICK, 0, 0);
            }))
            .then(onDataDialog([](HWND hWnd) { clickButton(hWnd, IDOK); }));
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_TRUE(script.completed());
        EXPECT_EQ(std::tuple(std::string(dialog.m_strName), std::string(dialog.m_strCode),
                             dialog.m_nNumber, dialog.m_bEnabled),
                  std::tuple(std::string(c.expectedName), std::string(c.typedCode),
                             c.expectedNumber, c.expectedCheck));
    }
}

TEST(DataExchange, InvalidInputIsRefusedWithAMessageAndTheDialogStaysOpen) {
    // clang-format off
    struct Case { const char* label; int control; const char* invalidText; const char* expectedMessage; const char* correctedText; };
    const Case cases[] = {
        {"text over the limit", IDC_HOST_NAME, "TOOLONG", "Please enter no more than 4 characters.", "FINE"},
        {"not an integer", IDC_HOST_NUMBER, "12x", "Please enter an integer.", "12"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DataDialog dialog;
        HWND dataDialog = nullptr;
        std::string message;
        bool focusOnControl = false, dialogStillOpen = false;
        DWORD selectionStart = 99, selectionEnd = 0;
        test_host::UiScript script;
        script
            .then(onDataDialog([&](HWND hWnd) {
                dataDialog = hWnd;
                // Setting the text directly passes the edit control's limit.
                SetWindowTextA(GetDlgItem(hWnd, c.control), c.invalidText);
                clickButton(hWnd, IDOK);
            }))
            .then([&] {
                HWND box = findDialog(AfxGetApp()->m_pszAppName);
                if (box == nullptr)
                    return false;
                message = windowText(GetDlgItem(box, kMessageTextId));
                clickButton(box, IDOK);
                return true;
            })
            .then([&] {
                if (findDialog(AfxGetApp()->m_pszAppName) != nullptr)
                    return false;
                dialogStillOpen = IsWindowVisible(dataDialog) != FALSE;
                focusOnControl = GetFocus() == GetDlgItem(dataDialog, c.control);
                SendMessageA(GetDlgItem(dataDialog, c.control), EM_GETSEL,
                             reinterpret_cast<WPARAM>(&selectionStart),
                             reinterpret_cast<LPARAM>(&selectionEnd));
                SetWindowTextA(GetDlgItem(dataDialog, c.control), c.correctedText);
                clickButton(dataDialog, IDOK);
                return true;
            });
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_TRUE(script.completed());
        EXPECT_EQ(message, c.expectedMessage);
        // The dialog stays open with the focus on the control and its whole text selected.
        EXPECT_EQ(std::tuple(dialogStillOpen, focusOnControl, selectionStart, selectionEnd),
                  std::tuple(true, true, DWORD{0}, static_cast<DWORD>(strlen(c.invalidText))));
        CString stored = dialog.m_strName;
        if (c.control == IDC_HOST_NUMBER)
            stored.Format("%d", dialog.m_nNumber);
        EXPECT_STREQ(stored, c.correctedText);
    }
}

} // namespace
