// d64avor.dll: the application's user-interface library.
//
// It is a framework extension library: its classes derive from the framework's (CWnd) and
// its functions take and return framework objects (CStringW, CWnd, CDataExchange), all of
// which cross the library's boundary through the shared C++ run time. Exports keep their
// C++ names; callers link against them by signature, so the signatures below never change.
//
// Wide texts are UTF-16; narrow texts are in the ANSI code page.
#pragma once

#include <afxwin.h>

#include "d64avor_windows.h"

#ifdef D64AVOR_BUILDING
#define D64AVOR_API __declspec(dllexport)
#else
#define D64AVOR_API __declspec(dllimport)
#endif

// ---------------------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------------------

// The extended-length form of a path, which CreateFileW and GetShortPathNameW accept at
// any length:
//   - a path that already starts with "\\?\" or "\\.\" is returned unchanged;
//   - any other path is first made absolute with GetFullPathNameW (which also turns "/"
//     into "\" and resolves "." and ".." steps, as the extended form does not), then
//     "C:\a\b" becomes "\\?\C:\a\b" and "\\server\share\x" becomes "\\?\UNC\server\share\x";
//     a full path that is a device name ("\\.\COM1") stays as it is;
//   - a path that cannot be made absolute (an empty one, for instance) is returned
//     unchanged, so that the caller's file function reports the failure;
//   - a null path gives an empty string.
D64AVOR_API CStringW MakeLongPath(const wchar_t* path);

// The file name the storage provider is given for `path`. The provider opens its files
// with CreateFileW, so it accepts extended-length names:
//   - a path whose full form is shorter than MAX_PATH (260) characters is returned
//     unchanged (relative paths stay relative);
//   - a longer one is returned in the extended-length form of MakeLongPath;
//   - a null path gives an empty string.
D64AVOR_API CStringW MakeStgFilePath(const wchar_t* path);

// ---------------------------------------------------------------------------------------
// Balloon tips
// ---------------------------------------------------------------------------------------

class D64AVOR_API CBalloonHelp {
public:
    // Option bits, OR-ed into LaunchBalloon's options. Unknown bits are ignored.
    //
    // The close-on bits close the balloon on a press of that mouse button, or of any key,
    // anywhere in the launching thread (the balloon itself and every other window of the
    // thread). A balloon always closes when its close button is clicked, when it receives
    // WM_COMMAND IDCANCEL, when its owner is destroyed, when its time-out elapses, and when
    // a newer balloon is launched on the same thread.
    static const unsigned int unCLOSE_ON_LBUTTON_DOWN; // 0x0001
    static const unsigned int unCLOSE_ON_MBUTTON_DOWN; // 0x0002
    static const unsigned int unCLOSE_ON_RBUTTON_DOWN; // 0x0004
    static const unsigned int unCLOSE_ON_KEYPRESS;     // 0x0008
    static const unsigned int unSHOW_CLOSE_BUTTON;     // 0x0010
    // Where the balloon lies from its anchor point (the tail points at the anchor). With
    // none, or with more than one, the balloon takes the first of bottom-right,
    // bottom-left, top-right, top-left that fits on the anchor's monitor.
    static const unsigned int unFORCE_QUADRANT_TOPLEFT;     // 0x0100
    static const unsigned int unFORCE_QUADRANT_TOPRIGHT;    // 0x0200
    static const unsigned int unFORCE_QUADRANT_BOTTOMLEFT;  // 0x0400
    static const unsigned int unFORCE_QUADRANT_BOTTOMRIGHT; // 0x0800

    // Shows a balloon tip and returns at once; the balloon closes itself (see the option
    // bits) and needs the thread's messages to be dispatched while it is up.
    //   title, content  texts in the ANSI code page; null is taken as empty;
    //   anchor          a rectangle in screen coordinates: the tail points at the middle of
    //                   its bottom edge (bottom quadrants) or of its top edge (top
    //                   quadrants). Null: the centre of the parent's window, or the cursor
    //                   position when there is no parent;
    //   icon            IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK (or another
    //                   standard icon id) as a resource name; null for no icon;
    //   parent          the window whose top-level window owns the balloon; may be null;
    //   url             not used by this library;
    //   timeout         milliseconds after which the balloon closes; 0 for none;
    //   callback        called with callbackData when the balloon's window is destroyed,
    //                   whatever closed it; may be null;
    //   reserved        not used.
    static void LaunchBalloon(const char* title, const char* content, const tagRECT* anchor,
                              const char* icon, unsigned int options, CWnd* parent, const char* url,
                              unsigned int timeout, void (*callback)(unsigned __int64),
                              unsigned __int64 callbackData, unsigned long reserved);

    CBalloonHelp() = delete; // balloons are windows of the library; there are no objects
};

// ---------------------------------------------------------------------------------------
// Modal user interface
// ---------------------------------------------------------------------------------------

// The window that owns the modal user interface running on the calling thread, or null.
//
// The rule: a window of the calling thread is modal when it is a visible, enabled,
// activatable (no WS_EX_NOACTIVATE) top-level window whose owner is disabled; its owner is
// the modal parent. This holds for dialog boxes, message boxes and common dialogs, and for
// a modeless box whose owner was disabled while it is up. When several windows are modal
// (nested modal loops), the active window wins if it is one of them; otherwise the first
// found in the thread's window list. A modal window without an owner gives null.
// The answer is a window object of the framework (a temporary one unless the window has a
// permanent object).
D64AVOR_API CWnd* GetModalParent();

// ---------------------------------------------------------------------------------------
// The process's dock frame
// ---------------------------------------------------------------------------------------

// The application's docking main frame: a top-level window with a status area along its
// bottom edge that shows the progress of the application's long operations. Creating its
// window makes it the process's dock frame (GetProcessDockFrame); destroying the window
// ends that (the most recently created frame is the process's one).
class D64AVOR_API CProcessDockFrame : public CWnd {
    DECLARE_DYNAMIC(CProcessDockFrame)
public:
    // Progress states, with the values of the taskbar's progress states.
    enum : int {
        kProgressNone = 0,          // no progress shown
        kProgressIndeterminate = 1, // busy, amount unknown
        kProgressNormal = 2,        // the bar shows position of upper bound
        kProgressError = 4,
        kProgressPaused = 8,
    };
    // The bar's own range: positions are scaled to 0..kProgressBarScale.
    static constexpr int kProgressBarScale = 1000;

    CProcessDockFrame();
    ~CProcessDockFrame() override;

    // Creates the frame's window: an overlapped, visible top-level window.
    BOOL CreateFrame(LPCSTR lpszTitle, const RECT& rect);

    // The two operations callers reach through the virtual table. They are the first two
    // virtual functions this class declares, in this order, and they stay so: any new
    // virtual function goes after them.
    //
    // Sets the progress state; kProgressNone (0) clears the progress indicator (position
    // and upper bound become 0 and the bar is hidden).
    virtual void SetProgressState(int nState);
    // Shows nPos of nUpper (an upper bound of 0 shows an empty bar; a position beyond the
    // bound shows a full one). A frame without progress goes to kProgressNormal.
    virtual void SetProgressValue(unsigned __int64 nPos, unsigned __int64 nUpper);

    // What the indicator shows now.
    [[nodiscard]] int GetProgressState() const { return m_nProgressState; }
    [[nodiscard]] unsigned __int64 GetProgressPosition() const { return m_nProgressPos; }
    [[nodiscard]] unsigned __int64 GetProgressUpper() const { return m_nProgressUpper; }

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnDestroy();
    afx_msg void OnSize(UINT nType, int cx, int cy);

    int m_nProgressState;
    unsigned __int64 m_nProgressPos;
    unsigned __int64 m_nProgressUpper;

    DECLARE_MESSAGE_MAP()

private:
    void layoutStatusArea();
    void showProgress();
};

// The process's dock frame, or null when no frame's window exists.
D64AVOR_API CProcessDockFrame* GetProcessDockFrame();

// ---------------------------------------------------------------------------------------
// Dialogs and painting
// ---------------------------------------------------------------------------------------

// Attaches the dialog's control nIDC to `control` and routes its messages through the
// object's message map, on the first exchange only (an object that already has a window
// is left as it is), as the framework's DDX_Control does. A dialog without such a control,
// or a control that another object already holds, raises the framework's invalid-argument
// exception.
D64AVOR_API void DDX_ControlWP(CDataExchange* pDX, int nIDC, CWnd& control);

// Carries out the pending repaints of the calling thread's visible windows (top-level
// windows and their children) now, instead of when the message loop next goes idle.
// Answers the number of the thread's windows that had something to repaint.
D64AVOR_API int FlushWindowUpdates();
