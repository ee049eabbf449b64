// GetActiveVisibleWnd: the rule that picks the owner of every box the library shows.
#include <afxwin.h>
#include <d64avor.h>
#include <z64eveze.h>

namespace {

// Windows parked out of sight sit at this position or beyond (SetWindowPos clamps there).
constexpr LONG kParkedCoordinate = -32768;

// The given window, else the owner of the running modal user interface, else the main
// window of the calling thread's framework thread object.
HWND fallbackOwner(HWND hWnd) {
    if (hWnd != nullptr)
        return hWnd;
    if (CWnd* modalParent = GetModalParent(); modalParent != nullptr && modalParent->m_hWnd)
        return modalParent->m_hWnd;
    if (CWinThread* thread = AfxGetThread(); thread != nullptr)
        if (CWnd* mainWindow = thread->GetMainWnd(); mainWindow != nullptr)
            return mainWindow->m_hWnd;
    return nullptr;
}

bool isParked(HWND window) {
    RECT rect{};
    return GetWindowRect(window, &rect) && rect.left <= kParkedCoordinate &&
           rect.top <= kParkedCoordinate;
}

} // namespace

HWND GetActiveVisibleWnd(HWND hWnd) {
    const HWND fallback = fallbackOwner(hWnd);
    const HWND active = GetActiveWindow();
    if (active == nullptr && fallback == nullptr)
        return nullptr;
    const HWND popup = GetLastActivePopup(active != nullptr ? active : fallback);
    if (popup == nullptr)
        return nullptr;
    if (isParked(popup))
        return fallback;
    return IsWindowVisible(popup) ? popup : fallback;
}
