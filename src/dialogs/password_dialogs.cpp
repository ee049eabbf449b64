// The log-in, change-of-password and file-protection dialogs and the four functions that
// run them. The dialogs only collect what is typed: checking a password, comparing a new
// password with its confirmation and storing anything are the caller's work.
#include "dialogs/library_dialog.h"
#include "resources/resource_ids.h"

#include <afxwin.h>
#include <z64eveze.h>

#include <cstring>

namespace z64::dialogs {
namespace {

// The longest user id and password, in bytes of the ANSI code page; the caller's buffers
// hold one more byte for the terminator.
constexpr int kUserIdMaxChars = 4;
constexpr int kPasswordMaxChars = 8;

// Exchanges the text of one edit, which holds at most `maxChars` bytes while the dialog
// runs and is refused on OK when longer.
void exchangeLimitedText(CDataExchange* pDX, int controlId, CString& value, int maxChars) {
    DDX_Text(pDX, controlId, value);
    DDV_MaxChars(pDX, value, maxChars);
}

// Template 2129: user id and password, each limited to its length above.
class CLoginDialog : public CDialog {
public:
    ~CLoginDialog() override = default;

    CString m_strUserId;
    CString m_strPassword;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        exchangeLimitedText(pDX, IDC_LOGIN_USER_ID, m_strUserId, kUserIdMaxChars);
        exchangeLimitedText(pDX, IDC_LOGIN_PASSWORD, m_strPassword, kPasswordMaxChars);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLoginDialog, CDialog)
END_MESSAGE_MAP()

// Template 2151: a new password typed twice; both are returned as typed, equal or not.
class CChangePasswordDlg : public CDialog {
public:
    ~CChangePasswordDlg() override = default;

    CString m_strNewPassword;
    CString m_strConfirmPassword;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        exchangeLimitedText(pDX, IDC_NEW_PASSWORD, m_strNewPassword, kPasswordMaxChars);
        exchangeLimitedText(pDX, IDC_CONFIRM_PASSWORD, m_strConfirmPassword, kPasswordMaxChars);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CChangePasswordDlg, CDialog)
END_MESSAGE_MAP()

// Template 2148: file protection on or off, one check box.
class CProtectionPreferencesDialog : public CDialog {
public:
    ~CProtectionPreferencesDialog() override = default;

    int m_bEnforceProtection = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Check(pDX, IDC_ENFORCE_PROTECTION, m_bEnforceProtection);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProtectionPreferencesDialog, CDialog)
END_MESSAGE_MAP()

bool closedWithOk(CDialog& dialog, UINT templateId) {
    return runLibraryDialog(dialog, templateId) == IDOK;
}

// The exchange on OK has refused anything longer than the caller's buffer can take.
void copyOut(char* target, const CString& text) {
    std::memcpy(target, static_cast<const char*>(text), static_cast<size_t>(text.GetLength()) + 1);
}

} // namespace
} // namespace z64::dialogs

using namespace z64::dialogs;

int LoginDialog(char* userId, char* password) {
    if (userId == nullptr || password == nullptr)
        return 0;
    CLoginDialog dialog;
    if (!closedWithOk(dialog, IDD_LOGIN))
        return 0;
    copyOut(userId, dialog.m_strUserId);
    copyOut(password, dialog.m_strPassword);
    return 1;
}

int VerifySysPassDialog(char* password) {
    if (password == nullptr)
        return 0;
    CLoginDialog dialog;
    if (!closedWithOk(dialog, IDD_LOGIN))
        return 0;
    copyOut(password, dialog.m_strPassword);
    return 1;
}

int SetPassDialog(char* newPassword, char* confirmation) {
    if (newPassword == nullptr || confirmation == nullptr)
        return 0;
    CChangePasswordDlg dialog;
    if (!closedWithOk(dialog, IDD_CHANGE_PASSWORD))
        return 0;
    copyOut(newPassword, dialog.m_strNewPassword);
    copyOut(confirmation, dialog.m_strConfirmPassword);
    return 1;
}

int PassOptDialog(int* enforceProtection) {
    if (enforceProtection == nullptr)
        return 0;
    CProtectionPreferencesDialog dialog;
    dialog.m_bEnforceProtection = *enforceProtection;
    if (!closedWithOk(dialog, IDD_PROTECTION))
        return 0;
    *enforceProtection = dialog.m_bEnforceProtection;
    return 1;
}
