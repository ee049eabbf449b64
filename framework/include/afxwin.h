// The framework's windowing classes: command targets and message maps, windows and their
// handle maps, dialogs and data exchange, device contexts and GDI objects, simple
// controls, the thread and application objects.
#pragma once

#include "afx.h"
#include "afxres.h"

class CCmdTarget;
class CWnd;
class CDC;
class CFont;
class CDataExchange;
class CWinThread;
class CWinApp;
struct CCreateContext;
class CAtlTransactionManager;

namespace z64mfc {
// Answers whether an object pointer is null in a way the optimiser may not fold: the
// framework's GetSafeXxx members are documented to work on a null object pointer.
inline bool isNullObject(const void* object) noexcept {
    asm("" : "+r"(object));
    return object == nullptr;
}
} // namespace z64mfc

// ---------------------------------------------------------------------------------------
// Small geometry types
// ---------------------------------------------------------------------------------------

class CPoint : public tagPOINT {
public:
    CPoint() noexcept : tagPOINT{0, 0} {}
    CPoint(int x0, int y0) noexcept : tagPOINT{x0, y0} {}
    CPoint(POINT point) noexcept : tagPOINT(point) {}
};

class CSize : public tagSIZE {
public:
    CSize() noexcept : tagSIZE{0, 0} {}
    CSize(int cx0, int cy0) noexcept : tagSIZE{cx0, cy0} {}
};

class CRect : public tagRECT {
public:
    CRect() noexcept : tagRECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) noexcept : tagRECT{l, t, r, b} {}
    CRect(const RECT& rect) noexcept : tagRECT(rect) {}
    [[nodiscard]] int Width() const noexcept { return right - left; }
    [[nodiscard]] int Height() const noexcept { return bottom - top; }
    [[nodiscard]] CPoint TopLeft() const noexcept { return CPoint(left, top); }
    [[nodiscard]] BOOL IsRectEmpty() const noexcept { return ::IsRectEmpty(this); }
    [[nodiscard]] BOOL PtInRect(POINT point) const noexcept { return ::PtInRect(this, point); }
    void OffsetRect(int x, int y) noexcept { ::OffsetRect(this, x, y); }
    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }
    bool operator==(const RECT& other) const noexcept { return ::EqualRect(this, &other) != 0; }
};

// ---------------------------------------------------------------------------------------
// Message maps
// ---------------------------------------------------------------------------------------

// A handler thunk: calls the member function an entry names, with the message's arguments
// unpacked, and gives the message's result.
using AFX_PMSG = LRESULT (*)(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage; // window message, or WM_COMMAND for commands and notifications
    UINT nCode;    // notification code for WM_COMMAND entries
    UINT nID;      // first control or command id
    UINT nLastID;  // last id for ranges, else nID
    UINT_PTR nSig; // AfxSig_end for the closing entry
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP*(PASCAL* pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

enum AfxSig : UINT_PTR { AfxSig_end = 0, AfxSig_handler = 1 };

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();                                           \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() {                                       \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, 0, AfxSig_end, nullptr }                                                            \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &messageEntries[0]};   \
    return &messageMap;                                                                            \
    }

#define Z64MFC_THUNK(body)                                                                         \
    [](CCmdTarget* target_, UINT message_, WPARAM wParam_, LPARAM lParam_) -> LRESULT {            \
        (void)message_;                                                                            \
        (void)wParam_;                                                                             \
        (void)lParam_;                                                                             \
        ThisClass* self_ = static_cast<ThisClass*>(target_);                                       \
        body                                                                                       \
    }

// Commands and control notifications: member functions taking nothing.
#define ON_COMMAND(id, memberFxn)                                                                  \
    {                                                                                              \
        WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id), AfxSig_handler,               \
            Z64MFC_THUNK((self_->*(memberFxn))(); return 0;)                                       \
    }                                                                                              \
    ,
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                     \
    {                                                                                              \
        WM_COMMAND, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id),  \
            AfxSig_handler, Z64MFC_THUNK((self_->*(memberFxn))(); return 0;)                       \
    }                                                                                              \
    ,
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                    \
    {                                                                                              \
        WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(idLast), AfxSig_handler,           \
            Z64MFC_THUNK((self_->*(memberFxn))(LOWORD(wParam_)); return 0;)                        \
    }                                                                                              \
    ,
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)

// Any message: LRESULT member(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn)                                                             \
    {                                                                                              \
        static_cast<UINT>(message), 0, 0, 0, AfxSig_handler,                                       \
            Z64MFC_THUNK(return (self_->*(memberFxn))(wParam_, lParam_);)                          \
    }                                                                                              \
    ,

#define ON_WM_CREATE()                                                                             \
    {                                                                                              \
        WM_CREATE, 0, 0, 0, AfxSig_handler,                                                        \
            Z64MFC_THUNK(return self_->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam_));)       \
    }                                                                                              \
    ,
#define ON_WM_DESTROY()                                                                            \
    { WM_DESTROY, 0, 0, 0, AfxSig_handler, Z64MFC_THUNK(self_->OnDestroy(); return 0;) }           \
    ,
#define ON_WM_CLOSE()                                                                              \
    { WM_CLOSE, 0, 0, 0, AfxSig_handler, Z64MFC_THUNK(self_->OnClose(); return 0;) }               \
    ,
#define ON_WM_SIZE()                                                                               \
    {                                                                                              \
        WM_SIZE, 0, 0, 0, AfxSig_handler,                                                          \
            Z64MFC_THUNK(self_->OnSize(static_cast<UINT>(wParam_),                                 \
                                       static_cast<short>(LOWORD(lParam_)),                        \
                                       static_cast<short>(HIWORD(lParam_)));                       \
                         return 0;)                                                                \
    }                                                                                              \
    ,
#define ON_WM_PAINT()                                                                              \
    { WM_PAINT, 0, 0, 0, AfxSig_handler, Z64MFC_THUNK(self_->OnPaint(); return 0;) }               \
    ,
#define ON_WM_TIMER()                                                                              \
    {                                                                                              \
        WM_TIMER, 0, 0, 0, AfxSig_handler,                                                         \
            Z64MFC_THUNK(self_->OnTimer(static_cast<UINT_PTR>(wParam_)); return 0;)                \
    }                                                                                              \
    ,
#define ON_WM_SHOWWINDOW()                                                                         \
    {                                                                                              \
        WM_SHOWWINDOW, 0, 0, 0, AfxSig_handler,                                                    \
            Z64MFC_THUNK(                                                                          \
                self_->OnShowWindow(static_cast<BOOL>(wParam_), static_cast<UINT>(lParam_));       \
                return 0;)                                                                         \
    }                                                                                              \
    ,
#define ON_WM_LBUTTONDOWN()                                                                        \
    {                                                                                              \
        WM_LBUTTONDOWN, 0, 0, 0, AfxSig_handler,                                                   \
            Z64MFC_THUNK(self_->OnLButtonDown(                                                     \
                static_cast<UINT>(wParam_),                                                        \
                CPoint(static_cast<short>(LOWORD(lParam_)), static_cast<short>(HIWORD(lParam_)))); \
                         return 0;)                                                                \
    }                                                                                              \
    ,
// Every WM_CTLCOLORxxx message: HBRUSH member(CDC*, CWnd*, UINT nCtlColor).
#define ON_WM_CTLCOLOR()                                                                           \
    {                                                                                              \
        WM_CTLCOLOR, 0, 0, 0, AfxSig_handler,                                                      \
            Z64MFC_THUNK(return reinterpret_cast<LRESULT>(self_->OnCtlColor(                       \
                CDC::FromHandle(reinterpret_cast<HDC>(wParam_)),                                   \
                CWnd::FromHandle(reinterpret_cast<HWND>(lParam_)),                                 \
                message_ - WM_CTLCOLORMSGBOX));)                                                   \
    }                                                                                              \
    ,

#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

// ---------------------------------------------------------------------------------------
// Command targets
// ---------------------------------------------------------------------------------------

class Z64MFC_API CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;

    // Routes a command or control notification through the message map and its base
    // maps; answers TRUE when an entry handled it.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);

    // The first entry of the map chain that handles the message (code and id for
    // WM_COMMAND), or null.
    [[nodiscard]] const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode,
                                                           UINT nID) const;

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---------------------------------------------------------------------------------------
// GDI objects and device contexts
// ---------------------------------------------------------------------------------------

class Z64MFC_API CGdiObject : public CObject {
    DECLARE_DYNAMIC(CGdiObject)
public:
    CGdiObject() = default;
    ~CGdiObject() override;

    HGDIOBJ m_hObject = nullptr;

    operator HGDIOBJ() const { return m_hObject; }
    [[nodiscard]] HGDIOBJ GetSafeHandle() const {
        return z64mfc::isNullObject(this) ? nullptr : m_hObject;
    }
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int nCount, LPVOID lpObject) const;

    // A temporary object for the handle, deleted (without deleting the handle) when the
    // thread's temporary objects are freed.
    static CGdiObject* PASCAL FromHandle(HGDIOBJ hObject);
};

class Z64MFC_API CFont : public CGdiObject {
    DECLARE_DYNAMIC(CFont)
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTA* lpLogFont);
    BOOL CreatePointFont(int nPointSize, LPCSTR lpszFaceName, CDC* pDC = nullptr);
    int GetLogFont(LOGFONTA* pLogFont) { return GetObject(sizeof(LOGFONTA), pLogFont); }
    static CFont* PASCAL FromHandle(HFONT hFont);
};

class Z64MFC_API CBrush : public CGdiObject {
    DECLARE_DYNAMIC(CBrush)
public:
    CBrush() = default;
    explicit CBrush(COLORREF color);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    BOOL CreateSolidBrush(COLORREF color);
    static CBrush* PASCAL FromHandle(HBRUSH hBrush);
};

class Z64MFC_API CPen : public CGdiObject {
    DECLARE_DYNAMIC(CPen)
public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF color);
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF color);
};

class Z64MFC_API CDC : public CObject {
    DECLARE_DYNAMIC(CDC)
public:
    CDC() = default;
    ~CDC() override;

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

    operator HDC() const { return m_hDC; }
    [[nodiscard]] HDC GetSafeHdc() const { return z64mfc::isNullObject(this) ? nullptr : m_hDC; }
    BOOL Attach(HDC hDC);
    HDC Detach();
    BOOL DeleteDC();
    static CDC* PASCAL FromHandle(HDC hDC);

    CGdiObject* SelectObject(CGdiObject* pObject);
    CFont* SelectObject(CFont* pFont);
    CBrush* SelectObject(CBrush* pBrush);
    CPen* SelectObject(CPen* pPen);
    HGDIOBJ SelectObject(HGDIOBJ hObject);
    CGdiObject* SelectStockObject(int nIndex);
    int SaveDC();
    BOOL RestoreDC(int nSavedDC);

    COLORREF SetTextColor(COLORREF color);
    COLORREF SetBkColor(COLORREF color);
    int SetBkMode(int nBkMode);
    BOOL TextOut(int x, int y, LPCSTR lpszString, int nCount);
    BOOL TextOut(int x, int y, const CString& str);
    int DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat);
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat);
    CSize GetTextExtent(LPCSTR lpszString, int nCount) const;
    void FillSolidRect(LPCRECT lpRect, COLORREF color);
    void FillRect(LPCRECT lpRect, CBrush* pBrush);
    BOOL Rectangle(int x1, int y1, int x2, int y2);
    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
    COLORREF GetPixel(int x, int y) const;
};

// The device context of a WM_PAINT: BeginPaint when made, EndPaint when destroyed.
class Z64MFC_API CPaintDC : public CDC {
    DECLARE_DYNAMIC(CPaintDC)
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps{};

protected:
    HWND m_hWnd;
};

// A window's client-area context: GetDC when made, ReleaseDC when destroyed.
class Z64MFC_API CClientDC : public CDC {
    DECLARE_DYNAMIC(CClientDC)
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

protected:
    HWND m_hWnd;
};

// A whole window's context: GetWindowDC when made, ReleaseDC when destroyed.
class Z64MFC_API CWindowDC : public CDC {
    DECLARE_DYNAMIC(CWindowDC)
public:
    explicit CWindowDC(CWnd* pWnd);
    ~CWindowDC() override;

protected:
    HWND m_hWnd;
};

// ---------------------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------------------

// m_nFlags of windows.
enum : UINT {
    WF_MODALLOOP = 0x0004,
    WF_CONTINUEMODAL = 0x0008,
};

// Flags of RunModalLoop.
enum : DWORD { MLF_NOIDLEMSG = 0x0001, MLF_NOKICKIDLE = 0x0002, MLF_SHOWONIDLE = 0x0004 };

class Z64MFC_API CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd();
    explicit CWnd(HWND hWnd);
    // A window object that still has its window destroys it.
    ~CWnd() override;

    HWND m_hWnd;

    operator HWND() const { return GetSafeHwnd(); }
    [[nodiscard]] HWND GetSafeHwnd() const { return z64mfc::isNullObject(this) ? nullptr : m_hWnd; }

    // Handle maps. The permanent map holds the window objects attached to windows of this
    // thread; FromHandle answers the permanent object or else a temporary one, which lives
    // until the thread's temporary objects are freed (idle time, DeleteTempMap).
    static CWnd* PASCAL FromHandle(HWND hWnd);
    static CWnd* PASCAL FromHandlePermanent(HWND hWnd);
    static void PASCAL DeleteTempMap();
    BOOL Attach(HWND hWndNew);
    HWND Detach();

    // Attaches the object to an existing window and routes its messages through the object's
    // message map (the window's procedure becomes the framework's, the old one the default).
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // Creation.
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                        const RECT& rect, CWnd* pParentWnd, UINT nID,
                        CCreateContext* pContext = nullptr);
    virtual BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName,
                          DWORD dwStyle, int x, int y, int nWidth, int nHeight, HWND hWndParent,
                          HMENU nIDorHMenu, LPVOID lpParam = nullptr);
    virtual BOOL DestroyWindow();

    // Messages.
    static const MSG* PASCAL GetCurrentMessage();
    LRESULT Default();
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void PostNcDestroy();
    virtual WNDPROC* GetSuperWndProcAddr();
    // Offers the message to PreTranslateMessage of the window it is for and of each of its
    // parents up to hWndStop.
    static BOOL PASCAL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // Data exchange with the controls of a dialog or form.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Modal loops.
    int RunModalLoop(DWORD dwFlags = 0);
    virtual BOOL ContinueModal();
    virtual void EndModalLoop(int nResult);

    // Children and dialog items.
    [[nodiscard]] CWnd* GetDlgItem(int nID) const;
    void GetDlgItem(int nID, HWND* phWnd) const;
    [[nodiscard]] int GetDlgCtrlID() const;
    void SetDlgItemText(int nID, LPCSTR lpszString);
    int GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const;
    int GetDlgItemText(int nID, CString& rString) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    [[nodiscard]] CWnd* GetParent() const;
    [[nodiscard]] CWnd* GetOwner() const;
    [[nodiscard]] CWnd* GetTopLevelParent() const;
    // The window a modal box of this window should be owned by: the given parent, or else
    // the application's main window (its last active popup); a child is replaced by its
    // top-level ancestor. When phWndTop is given, the top-level window to disable is stored
    // there (null when there is nothing to disable).
    static HWND PASCAL GetSafeOwner_(HWND hParent, HWND* phWndTop);
    static CWnd* PASCAL GetSafeOwner(CWnd* pParent = nullptr, HWND* phWndTop = nullptr);

    // Thin wrappers of user32.
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    [[nodiscard]] BOOL IsWindowEnabled() const;
    [[nodiscard]] BOOL IsWindowVisible() const;
    [[nodiscard]] BOOL IsChild(const CWnd* pWnd) const;
    void SetWindowText(LPCSTR lpszString);
    int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;
    void GetWindowText(CString& rString) const;
    [[nodiscard]] int GetWindowTextLength() const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    void BringWindowToTop();
    BOOL SetForegroundWindow();
    CWnd* SetActiveWindow();
    CWnd* SetFocus();
    static CWnd* PASCAL GetFocus();
    static CWnd* PASCAL GetActiveWindow();
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    [[nodiscard]] CFont* GetFont() const;
    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    void UpdateWindow();
    BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, HRGN hrgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse,
                      void(CALLBACK* lpfnTimer)(HWND, UINT, UINT_PTR, DWORD) = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    [[nodiscard]] DWORD GetStyle() const;
    [[nodiscard]] DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
    CDC* GetDC();
    int ReleaseDC(CDC* pDC);

protected:
    // Default handlers of the message-map entries: each lets the window's default
    // procedure handle the message.
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnDestroy();
    afx_msg void OnClose();
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnPaint();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnHelp();

    // The window has received WM_NCDESTROY: the object lets go of it, then PostNcDestroy.
    void OnNcDestroy();

public:
    WNDPROC m_pfnSuper; // the procedure messages go to by default
    UINT m_nFlags;
    int m_nModalResult;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT AFXAPI AfxCallWndProc(CWnd*, HWND, UINT, WPARAM, LPARAM);
};

// The framework's window procedure: finds the window's object and lets it handle the
// message.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
Z64MFC_API LRESULT AFXAPI AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT nMsg, WPARAM wParam,
                                         LPARAM lParam);
Z64MFC_API WNDPROC AFXAPI AfxGetAfxWndProc();
// The next window created on this thread is attached to pWnd and subclassed as it is made.
Z64MFC_API void AFXAPI AfxHookWindowCreate(CWnd* pWnd);
Z64MFC_API BOOL AFXAPI AfxUnhookWindowCreate();
// A window class with the framework's default procedure; the name stays valid.
Z64MFC_API LPCSTR AFXAPI AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr,
                                             HBRUSH hbrBackground = nullptr, HICON hIcon = nullptr);

// ---------------------------------------------------------------------------------------
// Dialogs
// ---------------------------------------------------------------------------------------

class Z64MFC_API CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog();
    explicit CDialog(LPCSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Modeless creation; a null parent means the application's main window.
    virtual BOOL Create(LPCSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    virtual BOOL CreateIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd = nullptr,
                                void* lpDialogInit = nullptr);
    virtual BOOL CreateIndirect(HGLOBAL hDialogTemplate, CWnd* pParentWnd = nullptr);

    // Modal use from a template in memory or a loaded resource.
    BOOL InitModalIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd = nullptr,
                           void* lpDialogInit = nullptr);
    BOOL InitModalIndirect(HGLOBAL hDialogTemplate, CWnd* pParentWnd = nullptr);
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnSetFont(CFont* pFont);
    BOOL PreTranslateMessage(MSG* pMsg) override;

    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void GotoDlgCtrl(CWnd* pWndCtrl);
    void SetDefID(UINT nID);
    [[nodiscard]] DWORD GetDefID() const;

    UINT m_nIDHelp;
    LPCSTR m_lpszTemplateName;
    HGLOBAL m_hDialogTemplate;
    LPCDLGTEMPLATEA m_lpDialogTemplate;
    void* m_lpDialogInit;
    CWnd* m_pParentWnd;
    HWND m_hWndTop;

protected:
    virtual void OnOK();
    virtual void OnCancel();

    // Creates the window from a template in memory, the object attached from the start.
    BOOL CreateDlgIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst);
    // The modal owner: the parent given, else the main window; remembers what to re-enable.
    HWND PreModal();
    void PostModal();

    DECLARE_MESSAGE_MAP()

    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------------------
// Controls
// ---------------------------------------------------------------------------------------

class Z64MFC_API CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    CStatic() = default;
    ~CStatic() override;
    virtual BOOL Create(LPCSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                        UINT nID = 0xffff);
    HICON SetIcon(HICON hIcon);
    [[nodiscard]] HICON GetIcon() const;
    HBITMAP SetBitmap(HBITMAP hBitmap);
};

class Z64MFC_API CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
public:
    CButton() = default;
    ~CButton() override;
    virtual BOOL Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                        UINT nID);
    [[nodiscard]] int GetCheck() const;
    void SetCheck(int nCheck);
};

class Z64MFC_API CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    CEdit() = default;
    ~CEdit() override;
    virtual BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    void LimitText(int nChars = 0);
    void SetLimitText(UINT nMax);
    [[nodiscard]] UINT GetLimitText() const;
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
    void ReplaceSel(LPCSTR lpszNewText, BOOL bCanUndo = FALSE);
};

// ---------------------------------------------------------------------------------------
// Dialog data exchange
// ---------------------------------------------------------------------------------------

class Z64MFC_API CUserException : public CSimpleException {
    DECLARE_DYNAMIC(CUserException)
public:
    CUserException() = default;
};
[[noreturn]] Z64MFC_API void AFXAPI AfxThrowUserException();

class Z64MFC_API CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate; // TRUE: controls to members, with validation
    CWnd* m_pDlgWnd;
    UINT m_idLastControl;
    BOOL m_bEditLastControl;

    // The control's window (the dialog has no such control: invalid-argument exception).
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    // Validation failed: the focus goes to the last control prepared (its text selected
    // when it is an edit control) and the exchange is abandoned (CUserException).
    [[noreturn]] void Fail();
};

Z64MFC_API void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
Z64MFC_API void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value);
Z64MFC_API void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
Z64MFC_API void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value);
Z64MFC_API void AFXAPI DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
Z64MFC_API void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
Z64MFC_API void AFXAPI DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
Z64MFC_API void AFXAPI DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);

// ---------------------------------------------------------------------------------------
// Threads and the application
// ---------------------------------------------------------------------------------------

class Z64MFC_API CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread();
    ~CWinThread() override;

    CWnd* m_pMainWnd;
    CWnd* m_pActiveWnd;
    BOOL m_bAutoDelete;
    HANDLE m_hThread;
    DWORD m_nThreadID;
    MSG m_msgCur;

    virtual CWnd* GetMainWnd();
    virtual BOOL InitInstance();
    // The message loop: runs until WM_QUIT, then ExitInstance; answers its result.
    virtual int Run();
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual BOOL PumpMessage();
    virtual BOOL OnIdle(LONG lCount);
    virtual BOOL IsIdleMessage(MSG* pMsg);
    virtual int ExitInstance();
};

class Z64MFC_API CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    // The application object: one per process, normally a global object of the program.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    // Strings on the C run time's heap (malloc/_strdup); an application may free one and
    // put its own (as the framework documents for m_pszProfileName).
    LPCSTR m_pszAppName;
    LPCSTR m_pszRegistryKey;
    LPCSTR m_pszProfileName;
    LPCSTR m_pszExeName;
    LPCSTR m_pszHelpFilePath;
    HINSTANCE m_hInstance;
    LPSTR m_lpCmdLine;
    int m_nCmdShow;

    virtual BOOL InitApplication();
    BOOL InitInstance() override;
    int ExitInstance() override;
    int Run() override;

    // Settings go to HKEY_CURRENT_USER\Software\<key>\<profile name> once a registry key
    // is set, and to the profile (INI) file m_pszProfileName otherwise.
    void SetRegistryKey(LPCSTR lpszRegistryKey);
    void SetRegistryKey(UINT nIDRegistryKey);
    // The application's key (created when missing), or null with no registry key; the
    // caller closes it.
    HKEY GetAppRegistryKey(CAtlTransactionManager* pTM = nullptr);
    HKEY GetSectionKey(LPCSTR lpszSection, CAtlTransactionManager* pTM = nullptr);
    virtual UINT GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault);
    virtual BOOL WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue);
    virtual CString GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry,
                                     LPCSTR lpszDefault = nullptr);
    // A null entry deletes the section; a null value deletes the entry.
    virtual BOOL WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);

    virtual int DoMessageBox(LPCSTR lpszPrompt, UINT nType, UINT nIDPrompt);
    virtual void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT);

    // Sets the instance handles and the default names (application, executable, profile).
    void SetCurrentHandles();
};

Z64MFC_API CWnd* AFXAPI AfxGetMainWnd();
Z64MFC_API int AFXAPI AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
Z64MFC_API int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
// Replaces %1 in the string nIDS by lpsz1.
Z64MFC_API void AFXAPI AfxFormatString1(CString& rString, UINT nIDS, LPCSTR lpsz1);
Z64MFC_API BOOL AFXAPI AfxPumpMessage();
Z64MFC_API BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg);
Z64MFC_API BOOL AFXAPI AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine,
                                  int nCmdShow);
Z64MFC_API void AFXAPI AfxWinTerm();
// The program's entry: initialises the application object, runs InitInstance and the
// message loop (or ExitInstance when InitInstance fails) and answers the exit code.
Z64MFC_API int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine,
                                 int nCmdShow);
