// Command targets and windows: message maps, handle maps, subclassing, the framework's
// window procedure, the window-creation hook and the user32 wrappers.
#include "framework_internal.h"

#include <mutex>
#include <set>
#include <string>

namespace z64mfc {

namespace {
CThreadLocal<ThreadState> g_threadState;
} // namespace

ThreadState* threadState() {
    return g_threadState.GetData();
}

ThreadState::~ThreadState() {
    // Temporary objects never own their handles: let go of each before deleting it.
    for (auto& [hWnd, window] : temporaryWindows) {
        window->m_hWnd = nullptr;
        delete window;
    }
    for (auto& [hObject, object] : temporaryGdiObjects) {
        object->m_hObject = nullptr;
        delete object;
    }
    for (auto& [hDC, dc] : temporaryDCs) {
        dc->m_hDC = dc->m_hAttribDC = nullptr;
        delete dc;
    }
}

LRESULT CALLBACK windowProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* window = CWnd::FromHandlePermanent(hWnd);
    if (window == nullptr)
        return DefWindowProcA(hWnd, message, wParam, lParam);
    return AfxCallWndProc(window, hWnd, message, wParam, lParam);
}

namespace {

// Attaches the window being created to its object as soon as it exists, before it gets
// its first message, and routes its messages through the framework.
LRESULT CALLBACK creationHook(int code, WPARAM wParam, LPARAM lParam) {
    ThreadState* state = threadState();
    if (code == HCBT_CREATEWND && state->windowBeingCreated != nullptr) {
        CWnd* window = std::exchange(state->windowBeingCreated, nullptr);
        const auto hWnd = reinterpret_cast<HWND>(wParam);
        window->Attach(hWnd);
        const auto previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProcedure)));
        if (previous != &windowProcedure)
            *window->GetSuperWndProcAddr() = previous;
    }
    return CallNextHookEx(state->creationHook.get(), code, wParam, lParam);
}

// How the framework ends a message whose handler threw: the exception is reported unless
// it only abandoned a data exchange, and the message gets a failure result.
LRESULT handleWindowProcException(CException* exception, UINT message) {
    if (!exception->IsKindOf(RUNTIME_CLASS(CUserException)))
        exception->ReportError(MB_ICONEXCLAMATION | MB_SYSTEMMODAL, AFX_IDP_INTERNAL_FAILURE);
    exception->Delete();
    return message == WM_CREATE ? -1 : 0;
}

} // namespace
} // namespace z64mfc

using z64mfc::threadState;

// ---------------------------------------------------------------------------------------
// CCmdTarget
// ---------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->nSig != AfxSig_end; ++entry) {
            if (entry->nMessage != nMessage)
                continue;
            if (nMessage != WM_COMMAND ||
                (entry->nCode == nCode && entry->nID <= nID && nID <= entry->nLastID))
                return entry;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void*, void*) {
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (entry == nullptr)
        return FALSE;
    entry->pfn(this, WM_COMMAND, MAKEWPARAM(nID, nCode), 0);
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// CWnd: objects and handle maps
// ---------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

CWnd::CWnd() : m_hWnd(nullptr), m_pfnSuper(nullptr), m_nFlags(0), m_nModalResult(0) {}

CWnd::CWnd(HWND hWnd) : CWnd() {
    m_hWnd = hWnd;
}

CWnd::~CWnd() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(m_hWnd);
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        Detach();
}

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd) {
    if (hWnd == nullptr)
        return nullptr;
    const auto& map = threadState()->permanentWindows;
    const auto found = map.find(hWnd);
    return found != map.end() ? found->second : nullptr;
}

CWnd* PASCAL CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr)
        return nullptr;
    if (CWnd* permanent = FromHandlePermanent(hWnd))
        return permanent;
    auto& temporaries = threadState()->temporaryWindows;
    if (const auto found = temporaries.find(hWnd); found != temporaries.end())
        return found->second;
    auto* temporary = new CWnd(hWnd);
    temporaries.emplace(hWnd, temporary);
    return temporary;
}

void PASCAL CWnd::DeleteTempMap() {
    z64mfc::ThreadState* state = threadState();
    auto windows = std::move(state->temporaryWindows);
    state->temporaryWindows.clear();
    for (auto& [hWnd, window] : windows) {
        window->m_hWnd = nullptr;
        delete window;
    }
    auto objects = std::move(state->temporaryGdiObjects);
    state->temporaryGdiObjects.clear();
    for (auto& [hObject, object] : objects) {
        object->m_hObject = nullptr;
        delete object;
    }
    auto dcs = std::move(state->temporaryDCs);
    state->temporaryDCs.clear();
    for (auto& [hDC, dc] : dcs) {
        dc->m_hDC = dc->m_hAttribDC = nullptr;
        delete dc;
    }
}

BOOL CWnd::Attach(HWND hWndNew) {
    if (hWndNew == nullptr || m_hWnd != nullptr)
        return FALSE;
    z64mfc::ThreadState* state = threadState();
    if (state->permanentWindows.contains(hWndNew))
        return FALSE;
    // A temporary object for the same window is superseded by this one.
    if (const auto found = state->temporaryWindows.find(hWndNew);
        found != state->temporaryWindows.end()) {
        found->second->m_hWnd = nullptr;
        delete found->second;
        state->temporaryWindows.erase(found);
    }
    state->permanentWindows.emplace(hWndNew, this);
    m_hWnd = hWndNew;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = std::exchange(m_hWnd, nullptr);
    if (hWnd != nullptr) {
        auto& map = threadState()->permanentWindows;
        if (const auto found = map.find(hWnd); found != map.end() && found->second == this)
            map.erase(found);
    }
    return hWnd;
}

WNDPROC* CWnd::GetSuperWndProcAddr() {
    return &m_pfnSuper;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!::IsWindow(hWnd) || !Attach(hWnd))
        return FALSE;
    const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&z64mfc::windowProcedure)));
    if (previous == nullptr) {
        Detach();
        return FALSE;
    }
    if (previous != &z64mfc::windowProcedure)
        *GetSuperWndProcAddr() = previous;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    ENSURE(pParent != nullptr);
    HWND hControl = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hControl != nullptr && SubclassWindow(hControl);
}

HWND CWnd::UnsubclassWindow() {
    if (m_hWnd == nullptr)
        return nullptr;
    if (WNDPROC* super = GetSuperWndProcAddr(); *super != nullptr) {
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(*super));
        *super = nullptr;
    }
    return Detach();
}

// ---------------------------------------------------------------------------------------
// Creation and destruction
// ---------------------------------------------------------------------------------------

void AFXAPI AfxHookWindowCreate(CWnd* pWnd) {
    z64mfc::ThreadState* state = threadState();
    if (!state->creationHook)
        state->creationHook.reset(
            SetWindowsHookExA(WH_CBT, &z64mfc::creationHook, nullptr, GetCurrentThreadId()));
    state->windowBeingCreated = pWnd;
}

BOOL AFXAPI AfxUnhookWindowCreate() {
    z64mfc::ThreadState* state = threadState();
    state->creationHook.reset();
    // Still set: no window was created, the hook never saw one.
    return std::exchange(state->windowBeingCreated, nullptr) == nullptr;
}

WNDPROC AFXAPI AfxGetAfxWndProc() {
    return &z64mfc::windowProcedure;
}

LPCSTR AFXAPI AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground,
                                  HICON hIcon) {
    static std::mutex mutex;
    static std::set<std::string> names;
    HINSTANCE instance = AfxGetInstanceHandle();
    char name[128];
    snprintf(name, sizeof name, "Z64Mfc:%p:%x:%p:%p:%p", static_cast<void*>(instance), nClassStyle,
             static_cast<void*>(hCursor), static_cast<void*>(hbrBackground),
             static_cast<void*>(hIcon));
    std::lock_guard lock(mutex);
    const auto [entry, inserted] = names.insert(name);
    WNDCLASSA existing{};
    if (!GetClassInfoA(instance, name, &existing)) {
        WNDCLASSA windowClass{};
        windowClass.style = nClassStyle;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = instance;
        windowClass.hCursor = hCursor;
        windowClass.hbrBackground = hbrBackground;
        windowClass.hIcon = hIcon;
        windowClass.lpszClassName = entry->c_str();
        if (!RegisterClassA(&windowClass))
            AfxThrowInvalidArgException();
    }
    (void)inserted;
    return entry->c_str();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs) {
    if (cs.lpszClass == nullptr)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    return TRUE;
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, CCreateContext* pContext) {
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, pParentWnd->GetSafeHwnd(),
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), pContext);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                    LPVOID lpParam) {
    CREATESTRUCTA cs{};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = static_cast<LONG>(dwStyle);
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs)) {
        PostNcDestroy();
        return FALSE;
    }
    AfxHookWindowCreate(this);
    HWND hWnd = CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName,
                                static_cast<DWORD>(cs.style), cs.x, cs.y, cs.cx, cs.cy,
                                cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    AfxUnhookWindowCreate();
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr)
        return FALSE;
    const bool permanent = FromHandlePermanent(m_hWnd) == this;
    HWND hWnd = m_hWnd;
    const BOOL destroyed = ::DestroyWindow(hWnd);
    // A permanent object has let go of its window at WM_NCDESTROY; any other lets go now.
    if (!permanent && m_hWnd == hWnd)
        m_hWnd = nullptr;
    return destroyed;
}

void CWnd::PostNcDestroy() {}

void CWnd::OnNcDestroy() {
    const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC));
    if (WNDPROC* super = GetSuperWndProcAddr();
        current == &z64mfc::windowProcedure && *super != nullptr)
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(*super));
    // Closing the main window ends the thread's message loop.
    if (CWinThread* thread = AfxGetThread(); thread != nullptr && thread->m_pMainWnd == this) {
        thread->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    Detach();
    PostNcDestroy();
}

// ---------------------------------------------------------------------------------------
// Message handling
// ---------------------------------------------------------------------------------------

LRESULT AFXAPI AfxCallWndProc(CWnd* pWnd, HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    z64mfc::ThreadState* state = threadState();
    const MSG saved = state->currentMessage;
    state->currentMessage.hwnd = hWnd;
    state->currentMessage.message = nMsg;
    state->currentMessage.wParam = wParam;
    state->currentMessage.lParam = lParam;
    state->currentMessage.time = static_cast<DWORD>(GetMessageTime());
    const DWORD position = GetMessagePos();
    state->currentMessage.pt = {static_cast<short>(LOWORD(position)),
                                static_cast<short>(HIWORD(position))};
    LRESULT result = 0;
    try {
        result = pWnd->WindowProc(nMsg, wParam, lParam);
    } catch (CException* exception) {
        result = z64mfc::handleWindowProcException(exception, nMsg);
    }
    threadState()->currentMessage = saved;
    return result;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    return z64mfc::windowProcedure(hWnd, nMsg, wParam, lParam);
}

const MSG* PASCAL CWnd::GetCurrentMessage() {
    return &threadState()->currentMessage;
}

LRESULT CWnd::Default() {
    const MSG* message = GetCurrentMessage();
    return DefWindowProc(message->message, message->wParam, message->lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    *pResult = 0;
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 1;
        return TRUE;
    }
    if (message == WM_NCDESTROY) {
        *pResult = Default();
        OnNcDestroy();
        return TRUE;
    }
    // Every control-colour message is handled by the one WM_CTLCOLOR entry.
    const UINT lookup =
        message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC ? WM_CTLCOLOR : message;
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(lookup, 0, 0);
    if (entry == nullptr)
        return FALSE;
    *pResult = entry->pfn(this, message, wParam, lParam);
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    constexpr int kAcceleratorCode = 1;
    const UINT id = LOWORD(wParam);
    int code = HIWORD(wParam);
    // Menus and accelerators carry no control; both are plain commands.
    if (lParam == 0 && code == kAcceleratorCode)
        code = 0;
    return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL PASCAL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg) {
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        if (CWnd* window = FromHandlePermanent(hWnd); window && window->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageA(m_hWnd, nID, message, wParam, lParam);
}

// Default handlers: the window's default procedure.
int CWnd::OnCreate(LPCREATESTRUCT) {
    return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnPaint() {
    Default();
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}
void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}
void CWnd::OnHelp() {
    if (CWinApp* app = AfxGetApp())
        app->WinHelp(0);
}

// ---------------------------------------------------------------------------------------
// Modal loops and data exchange
// ---------------------------------------------------------------------------------------

BOOL CWnd::ContinueModal() {
    return (m_nFlags & WF_CONTINUEMODAL) != 0;
}

void CWnd::EndModalLoop(int nResult) {
    m_nModalResult = nResult;
    if (m_nFlags & WF_CONTINUEMODAL) {
        m_nFlags &= ~WF_CONTINUEMODAL;
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0); // wakes the loop
    }
}

int CWnd::RunModalLoop(DWORD dwFlags) {
    bool showPending = (dwFlags & MLF_SHOWONIDLE) && !(GetStyle() & WS_VISIBLE);
    m_nFlags |= WF_MODALLOOP | WF_CONTINUEMODAL;
    while (ContinueModal()) {
        MSG msg;
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            // Idle: the window shows once its creation messages have been handled.
            if (showPending && m_hWnd != nullptr) {
                ShowWindow(SW_SHOWNORMAL);
                UpdateWindow();
                showPending = false;
            }
            if (!ContinueModal())
                break;
        }
        if (!::GetMessageA(&msg, nullptr, 0, 0)) {
            // WM_QUIT belongs to the outer loop: post it again and end this one.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_nModalResult = -1;
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
    return m_nModalResult;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange exchange(this, bSaveAndValidate);
    try {
        DoDataExchange(&exchange);
        return TRUE;
    } catch (CException* exception) {
        if (!exception->IsKindOf(RUNTIME_CLASS(CUserException)))
            exception->ReportError(MB_ICONSTOP, AFX_IDP_INTERNAL_FAILURE);
        exception->Delete();
        return FALSE;
    }
}

void CWnd::DoDataExchange(CDataExchange*) {}

// ---------------------------------------------------------------------------------------
// Owners, children and dialog items
// ---------------------------------------------------------------------------------------

HWND PASCAL CWnd::GetSafeOwner_(HWND hParent, HWND* phWndTop) {
    HWND owner = hParent;
    if (owner == nullptr)
        owner = AfxGetMainWnd()->GetSafeHwnd();
    // A popup cannot be owned by a child window: take the child's top-level ancestor.
    while (owner != nullptr && (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetParent(owner);
    HWND top = owner;
    while (top != nullptr && ::GetParent(top) != nullptr)
        top = ::GetParent(top);
    if (hParent == nullptr && owner != nullptr)
        owner = GetLastActivePopup(owner);
    if (phWndTop != nullptr) {
        *phWndTop = nullptr;
        if (top != nullptr && top != owner && ::IsWindowEnabled(top)) {
            *phWndTop = top;
            ::EnableWindow(top, FALSE);
        }
    }
    return owner;
}

CWnd* PASCAL CWnd::GetSafeOwner(CWnd* pParent, HWND* phWndTop) {
    return FromHandle(GetSafeOwner_(pParent->GetSafeHwnd(), phWndTop));
}

CWnd* CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

void CWnd::GetDlgItem(int nID, HWND* phWnd) const {
    *phWnd = ::GetDlgItem(m_hWnd, nID);
}

int CWnd::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(m_hWnd);
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) {
    ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}

int CWnd::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const {
    return static_cast<int>(::GetDlgItemTextA(m_hWnd, nID, lpStr, nMaxCount));
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    if (HWND item = ::GetDlgItem(m_hWnd, nID))
        CWnd(item).GetWindowText(rString);
    return rString.GetLength();
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned);
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* lpTrans, BOOL bSigned) const {
    return ::GetDlgItemInt(m_hWnd, nID, lpTrans, bSigned);
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    ::CheckDlgButton(m_hWnd, nIDButton, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    return ::IsDlgButtonChecked(m_hWnd, nIDButton);
}

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

CWnd* CWnd::GetOwner() const {
    return FromHandle(::GetWindow(m_hWnd, GW_OWNER));
}

CWnd* CWnd::GetTopLevelParent() const {
    HWND top = m_hWnd;
    while (top != nullptr && (GetWindowLongA(top, GWL_STYLE) & WS_CHILD))
        top = ::GetParent(top);
    return FromHandle(top);
}

// ---------------------------------------------------------------------------------------
// Thin wrappers of user32
// ---------------------------------------------------------------------------------------

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}
BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}
BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}
BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}
BOOL CWnd::IsChild(const CWnd* pWnd) const {
    return ::IsChild(m_hWnd, pWnd->GetSafeHwnd());
}
void CWnd::SetWindowText(LPCSTR lpszString) {
    ::SetWindowTextA(m_hWnd, lpszString);
}
int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const {
    return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}
void CWnd::GetWindowText(CString& rString) const {
    const int length = ::GetWindowTextLengthA(m_hWnd);
    ::GetWindowTextA(m_hWnd, rString.GetBufferSetLength(length), length + 1);
    rString.ReleaseBuffer();
}
int CWnd::GetWindowTextLength() const {
    return ::GetWindowTextLengthA(m_hWnd);
}
void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}
void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
               lpRect->bottom - lpRect->top, bRepaint);
}
BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, pWndInsertAfter->GetSafeHwnd(), x, y, cx, cy, nFlags);
}
void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}
void CWnd::GetWindowRect(LPRECT lpRect) const {
    ::GetWindowRect(m_hWnd, lpRect);
}
void CWnd::ClientToScreen(LPPOINT lpPoint) const {
    ::ClientToScreen(m_hWnd, lpPoint);
}
void CWnd::ClientToScreen(LPRECT lpRect) const {
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
}
void CWnd::ScreenToClient(LPPOINT lpPoint) const {
    ::ScreenToClient(m_hWnd, lpPoint);
}
void CWnd::ScreenToClient(LPRECT lpRect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

// Centres the window over its owner (or the given window); a window without owner is
// centred on the work area of its monitor.
void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    HWND center = pAlternateOwner->GetSafeHwnd();
    if (center == nullptr)
        center = (GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    RECT area{};
    if (center != nullptr && ::IsWindowVisible(center) && !::IsIconic(center)) {
        ::GetWindowRect(center, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
        area = monitor.rcWork;
    }
    RECT own{};
    ::GetWindowRect(m_hWnd, &own);
    int x = (area.left + area.right) / 2 - (own.right - own.left) / 2;
    int y = (area.top + area.bottom) / 2 - (own.bottom - own.top) / 2;
    if (GetStyle() & WS_CHILD) {
        POINT origin{x, y};
        ::ScreenToClient(::GetParent(m_hWnd), &origin);
        x = origin.x;
        y = origin.y;
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::BringWindowToTop() {
    ::BringWindowToTop(m_hWnd);
}
BOOL CWnd::SetForegroundWindow() {
    return ::SetForegroundWindow(m_hWnd);
}
CWnd* CWnd::SetActiveWindow() {
    return FromHandle(::SetActiveWindow(m_hWnd));
}
CWnd* CWnd::SetFocus() {
    return FromHandle(::SetFocus(m_hWnd));
}
CWnd* PASCAL CWnd::GetFocus() {
    return FromHandle(::GetFocus());
}
CWnd* PASCAL CWnd::GetActiveWindow() {
    return FromHandle(::GetActiveWindow());
}
void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(pFont->GetSafeHandle()), bRedraw);
}
CFont* CWnd::GetFont() const {
    return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}
void CWnd::Invalidate(BOOL bErase) {
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}
void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) {
    ::InvalidateRect(m_hWnd, lpRect, bErase);
}
void CWnd::UpdateWindow() {
    ::UpdateWindow(m_hWnd);
}
BOOL CWnd::RedrawWindow(LPCRECT lpRectUpdate, HRGN hrgnUpdate, UINT flags) {
    return ::RedrawWindow(m_hWnd, lpRectUpdate, hrgnUpdate, flags);
}
UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse,
                        void(CALLBACK* lpfnTimer)(HWND, UINT, UINT_PTR, DWORD)) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}
BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return ::KillTimer(m_hWnd, nIDEvent);
}
DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE));
}
DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_EXSTYLE));
}
BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    const DWORD style = GetStyle();
    const DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(newStyle));
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}
int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    if (lpszCaption == nullptr)
        lpszCaption = AfxGetAppName();
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}
CDC* CWnd::GetDC() {
    return CDC::FromHandle(::GetDC(m_hWnd));
}
int CWnd::ReleaseDC(CDC* pDC) {
    return ::ReleaseDC(m_hWnd, pDC->GetSafeHdc());
}
