// The gallery's progress windows that need more than one call: a progress box embedded in
// a closing window of its own, and the boxes the zip clients put up around a backup
// archive's compression and extraction.
#include "gallery.h"
#include "gallery_resources.h"

#include <afxwin.h>
#include <z64eveze.h>

namespace gallery {
namespace {

// The embedded box's controls are drawn on the window's own background, as a panel.
INT_PTR CALLBACK yearEndProcedure(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORDLG)
        return FALSE;
    SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
}

// Places the embedded box on the window's placeholder; the box stretches its bar and
// description to the placeholder's width when it is sized.
void placeOnAnchor(CProgressBoxEmbedded& box, HWND window) {
    RECT anchor{};
    GetWindowRect(GetDlgItem(window, IDC_YEAR_END_ANCHOR), &anchor);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&anchor), 2);
    box.SetWindowPos(nullptr, anchor.left, anchor.top, anchor.right - anchor.left,
                     anchor.bottom - anchor.top, SWP_NOZORDER | SWP_SHOWWINDOW);
}

// The archive routines: the box is the current progress box while they run, so they
// report through the plain progress functions as a real archiver does.
int reportArchiveStep(const char* description) {
    ProgressDialogSetDesc(description);
    ProgressDialogPos(40);
    pumpFor(closeAfter());
    return 0;
}

int compressCompanyFile(INT_PTR, INT_PTR, INT_PTR, int, int, INT_PTR) {
    return reportArchiveStep("Adding \"General Ledger.qvd\" to Backup 2026-12-07.zip...");
}

int extractCompanyFile(int, int, INT_PTR) {
    return reportArchiveStep("Extracting \"General Ledger.qvd\" from Backup 2026-12-07.zip...");
}

} // namespace

void showEmbeddedProgress() {
    HINSTANCE module = GetModuleHandleA(nullptr);
    HWND window =
        CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_YEAR_END), nullptr, yearEndProcedure, 0);
    CProgressBoxEmbedded box(CWnd::FromHandle(window));
    box.ShowOnInit(FALSE);
    box.Create(IDD_EMBEDDED_PROGRESS, CWnd::FromHandle(window));
    placeOnAnchor(box, window);
    box.SetDesc("Carrying the balances of 214 accounts forward to 2027...");
    box.SetRange(214);
    box.Progress(86);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    pumpFor(closeAfter());
    box.DestroyWindow();
    DestroyWindow(window);
}

void showZipProgress() {
    ZipInterfaceClient(0, compressCompanyFile, 0, 0, 0, 0, 0, 0, 0);
}

void showUnzipProgress() {
    UnZipClient(1, extractCompanyFile, 0, 0, 0);
}

} // namespace gallery
