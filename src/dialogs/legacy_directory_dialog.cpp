#include "dialogs/legacy_directory_dialog.h"

#include "common/library_resources.h"
#include "resources/resource_ids.h"

#include <dlgs.h>

#include <cstring>
#include <string>

namespace z64::dialogs {

namespace {

// OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY, OFN_NOCHANGEDIR, OFN_SHOWHELP, OFN_ENABLETEMPLATE
// and OFN_ENABLESIZING, as the application has always passed them.
constexpr DWORD kLegacyDialogFlags = 0x80005E;

// The hidden file name that lets OK through without the user naming a file.
constexpr char kPlaceholderName[] = "Junk";

// The file-type label, the file-name label and edit, the file list and the file-type combo.
constexpr int kHiddenControls[] = {stc2, stc3, edt1, lst1, cmb1};

// The directory of the returned "directory\Junk": everything before the file name, keeping
// the backslash of a root ("C:\", not "C:", which names the drive's current directory).
std::string directoryOf(const char* chosen, WORD fileOffset) {
    const std::string file(chosen);
    if (fileOffset == 0 || fileOffset > file.size())
        return file;
    std::string directory = file.substr(0, fileOffset - 1u);
    if (directory.empty() || directory.back() == ':')
        directory = file.substr(0, fileOffset);
    return directory;
}

} // namespace

BEGIN_MESSAGE_MAP(CMyFileDlg, CFileDialog)
ON_WM_PAINT()
END_MESSAGE_MAP()

CMyFileDlg::CMyFileDlg(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                       LPCSTR lpszFilter, CWnd* pParentWnd, DWORD dwSize, BOOL bVistaStyle)
    : CFileDialog(bOpenFileDialog, lpszDefExt, lpszFileName, dwFlags, lpszFilter, pParentWnd,
                  dwSize, bVistaStyle),
      m_bFirstPaint(0) {}

CMyFileDlg::~CMyFileDlg() = default;

BOOL CMyFileDlg::OnInitDialog() {
    CenterWindow();
    for (const int id : kHiddenControls)
        ::ShowWindow(::GetDlgItem(m_hWnd, id), SW_HIDE);
    ::SetDlgItemTextA(m_hWnd, edt1, kPlaceholderName);
    ::SetFocus(::GetDlgItem(m_hWnd, lst2));
    m_bFirstPaint = 1;
    CDialog::OnInitDialog();
    return FALSE; // the focus is set
}

void CMyFileDlg::OnPaint() {
    CPaintDC dc(this);
    if (m_bFirstPaint) {
        m_bFirstPaint = 0;
        ::SendDlgItemMessageA(m_hWnd, lst2, LB_SETCURSEL, 0, 0);
    }
}

int chooseLegacyDirectory(CWnd* parent, char* path) {
    constexpr int kCancelled = 2;
    CMyFileDlg dialog(FALSE, nullptr, nullptr, kLegacyDialogFlags, nullptr, parent, 0, TRUE);
    // The template is this library's, and it is an old-style one: the framework's
    // constructor asks for the Explorer style, which would take it for a child template.
    dialog.m_ofn.Flags &= ~static_cast<DWORD>(OFN_EXPLORER);
    dialog.m_ofn.hInstance = z64::common::libraryModule();
    dialog.m_ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_LEGACY_DIRECTORY);
    if (dialog.DoModal() != IDOK)
        return kCancelled;
    const std::string directory = directoryOf(dialog.m_ofn.lpstrFile, dialog.m_ofn.nFileOffset);
    if (directory.size() >= MAX_PATH)
        return kCancelled;
    std::memcpy(path, directory.c_str(), directory.size() + 1);
    return 1;
}

} // namespace z64::dialogs
