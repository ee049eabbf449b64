// The legacy directory chooser: the old-style file dialog (template 1536 of this library)
// with its file-name, file-list and file-type parts hidden, so that only the directory
// list and the drives remain. Systems before version 4 have no folder browser.
#pragma once

#include <afxdlgs.h>

namespace z64::dialogs {

class CMyFileDlg : public CFileDialog {
public:
    CMyFileDlg(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
               LPCSTR lpszFilter, CWnd* pParentWnd, DWORD dwSize, BOOL bVistaStyle);
    ~CMyFileDlg() override;

    BOOL OnInitDialog() override;

protected:
    afx_msg void OnPaint();

    // Set when the dialog has initialised and not yet painted.
    int m_bFirstPaint;

    DECLARE_MESSAGE_MAP()
};

// Lets the user choose a directory with the legacy dialog and writes it into `path`
// (MAX_PATH bytes): 1 when a directory was chosen, 2 otherwise (the path untouched).
[[nodiscard]] int chooseLegacyDirectory(CWnd* parent, char* path);

} // namespace z64::dialogs
