// The file dialog over the common dialog library.
#include "framework_internal.h"

#include <afxdlgs.h>

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)

// The framework's hook procedure: at WM_INITDIALOG the dialog's window joins its object.
UINT_PTR CALLBACK AfxFileDialogHook(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return 0;
    const auto* ofn = reinterpret_cast<const OPENFILENAMEA*>(lParam);
    auto* dialog = reinterpret_cast<CFileDialog*>(ofn->lCustData);
    if (dialog == nullptr)
        return 0;
    if (dialog->m_hWnd == nullptr) {
        HWND target = (ofn->Flags & OFN_EXPLORER) ? ::GetParent(hWnd) : hWnd;
        if (!dialog->SubclassWindow(target))
            return 0;
    }
    try {
        return static_cast<UINT_PTR>(dialog->OnInitDialog());
    } catch (CException* exception) {
        exception->Delete();
        return 0;
    }
}

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName,
                         DWORD dwFlags, LPCSTR lpszFilter, CWnd* pParentWnd, DWORD dwSize,
                         BOOL bVistaStyle)
    : m_ofn{}, m_bOpenFileDialog(bOpenFileDialog),
      m_bVistaStyle(bVistaStyle), m_szFileTitle{}, m_szFileName{} {
    m_pParentWnd = pParentWnd;
    m_ofn.lStructSize = dwSize != 0 ? dwSize : sizeof m_ofn;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = sizeof m_szFileName;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = sizeof m_szFileTitle;
    m_ofn.lpstrDefExt = lpszDefExt;
    m_ofn.Flags = dwFlags | OFN_ENABLEHOOK | OFN_EXPLORER;
    m_ofn.lpfnHook = &AfxFileDialogHook;
    m_ofn.hInstance = AfxGetResourceHandle();
    if (lpszFileName != nullptr)
        lstrcpynA(m_szFileName, lpszFileName, sizeof m_szFileName);
    // "Text (*.txt)|*.txt||": the bars become the terminators the dialog expects.
    if (lpszFilter != nullptr) {
        m_strFilter = lpszFilter;
        char* filter = m_strFilter.GetBuffer();
        for (char* p = filter; *p != '\0'; p = CharNextA(p))
            if (*p == '|')
                *p = '\0';
        m_ofn.lpstrFilter = filter;
    }
}

CFileDialog::~CFileDialog() = default;

INT_PTR CFileDialog::DoModal() {
    m_ofn.hwndOwner = PreModal();
    m_ofn.lCustData = reinterpret_cast<LPARAM>(this);
    if (m_ofn.Flags & OFN_ENABLEHOOK)
        m_ofn.lpfnHook = &AfxFileDialogHook;
    const BOOL chosen = m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
    PostModal();
    if (m_hWnd != nullptr)
        UnsubclassWindow();
    return chosen ? IDOK : IDCANCEL;
}

void CFileDialog::OnOK() {
    if (UpdateData(TRUE))
        Default();
}

void CFileDialog::OnCancel() {
    Default();
}

CString CFileDialog::GetPathName() const {
    return CString(m_ofn.lpstrFile);
}

CString CFileDialog::GetFileName() const {
    const CString path(m_ofn.lpstrFile);
    return path.Mid(m_ofn.nFileOffset);
}

CString CFileDialog::GetFileExt() const {
    if (m_ofn.nFileExtension == 0)
        return CString();
    const CString path(m_ofn.lpstrFile);
    return path.Mid(m_ofn.nFileExtension);
}

CString CFileDialog::GetFileTitle() const {
    CString name = GetFileName();
    if (const int dot = name.ReverseFind('.'); dot >= 0)
        name = name.Left(dot);
    return name;
}

BOOL CFileDialog::GetReadOnlyPref() const {
    return (m_ofn.Flags & OFN_READONLY) != 0;
}
