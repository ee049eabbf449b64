// Standard dialogs: the file dialog.
#pragma once

#include "afxwin.h"

#include <commdlg.h>

// The open or save file dialog. m_ofn may be adjusted between construction and DoModal
// (flags, a custom template with OFN_ENABLETEMPLATE, the instance that holds it). The
// dialog's window is attached to this object when it initialises, so message-map entries
// and OnInitDialog of a derived class apply to it (to the dialog itself for old-style
// dialogs, to the frame around the custom template for Explorer-style ones).
class Z64MFC_API CFileDialog : public CDialog {
    DECLARE_DYNAMIC(CFileDialog)
public:
    explicit CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr,
                         LPCSTR lpszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         LPCSTR lpszFilter = nullptr, CWnd* pParentWnd = nullptr, DWORD dwSize = 0,
                         BOOL bVistaStyle = TRUE);
    ~CFileDialog() override;

    OPENFILENAMEA m_ofn;

    INT_PTR DoModal() override;

    [[nodiscard]] CString GetPathName() const;
    [[nodiscard]] CString GetFileName() const;
    [[nodiscard]] CString GetFileExt() const;
    [[nodiscard]] CString GetFileTitle() const;
    [[nodiscard]] BOOL GetReadOnlyPref() const;

protected:
    // The common dialog ends itself: OK and Cancel go to its own procedure.
    void OnOK() override;
    void OnCancel() override;

    BOOL m_bOpenFileDialog;
    BOOL m_bVistaStyle;
    CString m_strFilter;
    char m_szFileTitle[64];
    char m_szFileName[MAX_PATH * 2];

    friend UINT_PTR CALLBACK AfxFileDialogHook(HWND, UINT, WPARAM, LPARAM);
};
