// The new-tax-code dialog, which asks for the description of a code the caller names, and
// the dialog that asks how a mapping and grouping structure is copied from a template.
#include "dialogs/library_dialog.h"
#include "resources/resource_ids.h"

#include <afxwin.h>
#include <d64avor.h>
#include <z64eveze.h>

#include <cstring>

namespace z64::dialogs {
namespace {

constexpr size_t kTaxCodeCapacity = 20;
constexpr size_t kDescriptionCapacity = 80;
// What the edits take from the keyboard.
constexpr int kTaxCodeLimit = 10;
constexpr int kDescriptionLimit = 40;

// The answers of the copy-map dialog besides IDCANCEL (Skip).
constexpr int kAppend = 3;
constexpr int kReplace = 4;

// Template 129: the tax code is shown but cannot be edited; the description starts empty.
class CDlgTaxCode : public CDialog {
public:
    ~CDlgTaxCode() override = default;

    char m_szTaxCode[kTaxCodeCapacity] = {};
    char m_szDescription[kDescriptionCapacity] = {};

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (CWnd* taxCode = GetDlgItem(IDC_TAX_CODE); taxCode != nullptr)
            taxCode->EnableWindow(FALSE);
        SetDlgItemText(IDC_TAX_CODE, m_szTaxCode);
        SetDlgItemText(IDC_TAX_DESCRIPTION, "");
        SendDlgItemMessage(IDC_TAX_CODE, EM_LIMITTEXT, kTaxCodeLimit);
        SendDlgItemMessage(IDC_TAX_DESCRIPTION, EM_LIMITTEXT, kDescriptionLimit);
        return TRUE;
    }

    // At most kDescriptionCapacity - 1 bytes of the description are kept.
    void OnOK() override {
        GetDlgItemText(IDC_TAX_DESCRIPTION, m_szDescription,
                       static_cast<int>(kDescriptionCapacity));
        CDialog::OnOK();
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDlgTaxCode, CDialog)
ON_BN_CLICKED(IDOK, &CDlgTaxCode::OnOK)
END_MESSAGE_MAP()

// Template 131: Append, Replace or Skip (IDCANCEL), beside the system's question icon,
// which takes the place of the application's icon that the template names.
class CCopyMapDlg : public CDialog {
public:
    ~CCopyMapDlg() override = default;

    CStatic m_wndIcon;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_ControlWP(pDX, IDC_COPY_MAP_ICON, m_wndIcon);
    }

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_wndIcon.SetIcon(LoadIconA(nullptr, IDI_QUESTION));
        return TRUE;
    }

    void OnAppend() { EndDialog(kAppend); }
    void OnReplace() { EndDialog(kReplace); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CCopyMapDlg, CDialog)
ON_BN_CLICKED(IDC_COPY_MAP_APPEND, &CCopyMapDlg::OnAppend)
ON_BN_CLICKED(IDC_COPY_MAP_REPLACE, &CCopyMapDlg::OnReplace)
END_MESSAGE_MAP()

} // namespace
} // namespace z64::dialogs

using namespace z64::dialogs;

int callTaxCodeDlg(const char* taxCode, char* description) {
    if (taxCode == nullptr || description == nullptr)
        return 0;
    const size_t taxCodeLength = strnlen(taxCode, kTaxCodeCapacity);
    if (taxCodeLength >= kTaxCodeCapacity)
        return 0; // the code and its terminator would not fit
    CDlgTaxCode dialog;
    std::memcpy(dialog.m_szTaxCode, taxCode, taxCodeLength + 1);
    if (runLibraryDialog(dialog, IDD_TAX_CODE) != IDOK)
        return 0;
    std::memcpy(description, dialog.m_szDescription, std::strlen(dialog.m_szDescription) + 1);
    return 1;
}

int callCopyMapDlg() {
    CCopyMapDlg dialog;
    return static_cast<int>(runLibraryDialog(dialog, IDD_COPY_MAP));
}
