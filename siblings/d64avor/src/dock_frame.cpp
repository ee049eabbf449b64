// The process's dock frame: a top-level window with a status area (text and progress bar)
// along its bottom edge. The most recently created frame window is the process's one.
#include "../include/d64avor.h"

#include "module.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

constexpr int kStatusAreaHeight = 22;
constexpr int kStatusPadding = 2;
constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE;

std::atomic<CProcessDockFrame*> g_processDockFrame{nullptr};

void registerFrameClass() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = DefWindowProcA; // the framework routes it to the object
        windowClass.hInstance = d64avor::moduleInstance();
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = D64AVOR_DOCK_FRAME_CLASS;
        RegisterClassExA(&windowClass);
    });
}

// nPos of nUpper on the bar's scale, computed without overflow.
int scaledPosition(unsigned __int64 nPos, unsigned __int64 nUpper) {
    constexpr int kScale = CProcessDockFrame::kProgressBarScale;
    if (nUpper == 0)
        return 0;
    if (nPos >= nUpper)
        return kScale;
    return static_cast<int>(static_cast<unsigned __int128>(nPos) * kScale / nUpper);
}

HWND createChild(HWND parent, const char* windowClass, DWORD style, int id) {
    return CreateWindowExA(0, windowClass, "", WS_CHILD | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           d64avor::moduleInstance(), nullptr);
}

} // namespace

IMPLEMENT_DYNAMIC(CProcessDockFrame, CWnd)

BEGIN_MESSAGE_MAP(CProcessDockFrame, CWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SIZE()
END_MESSAGE_MAP()

CProcessDockFrame::CProcessDockFrame()
    : m_nProgressState(kProgressNone), m_nProgressPos(0), m_nProgressUpper(0) {}

CProcessDockFrame::~CProcessDockFrame() {
    CProcessDockFrame* self = this;
    g_processDockFrame.compare_exchange_strong(self, nullptr);
}

BOOL CProcessDockFrame::CreateFrame(LPCSTR lpszTitle, const RECT& rect) {
    return CreateEx(0, D64AVOR_DOCK_FRAME_CLASS, lpszTitle, kFrameStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr);
}

BOOL CProcessDockFrame::PreCreateWindow(CREATESTRUCTA& cs) {
    registerFrameClass();
    if (cs.lpszClass == nullptr)
        cs.lpszClass = D64AVOR_DOCK_FRAME_CLASS;
    cs.hInstance = d64avor::moduleInstance(); // where the class is registered
    return TRUE;
}

int CProcessDockFrame::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND status =
        createChild(m_hWnd, "STATIC", WS_VISIBLE | SS_LEFTNOWORDWRAP, D64AVOR_DOCK_FRAME_STATUS_ID);
    HWND bar = createChild(m_hWnd, PROGRESS_CLASSA, 0, D64AVOR_DOCK_FRAME_PROGRESS_ID);
    if (status == nullptr || bar == nullptr)
        return -1;
    ::SendMessageA(bar, PBM_SETRANGE32, 0, kProgressBarScale);
    g_processDockFrame.store(this);
    return 0;
}

void CProcessDockFrame::OnDestroy() {
    CProcessDockFrame* self = this;
    g_processDockFrame.compare_exchange_strong(self, nullptr);
    CWnd::OnDestroy();
}

void CProcessDockFrame::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    layoutStatusArea();
}

// The status text takes the left half of the area along the bottom, the bar the right.
void CProcessDockFrame::layoutStatusArea() {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int top = client.bottom - kStatusAreaHeight + kStatusPadding;
    const int height = kStatusAreaHeight - 2 * kStatusPadding;
    const int half = (client.right - client.left) / 2;
    ::MoveWindow(::GetDlgItem(m_hWnd, D64AVOR_DOCK_FRAME_STATUS_ID), kStatusPadding, top,
                 half - 2 * kStatusPadding, height, TRUE);
    ::MoveWindow(::GetDlgItem(m_hWnd, D64AVOR_DOCK_FRAME_PROGRESS_ID), half + kStatusPadding, top,
                 client.right - half - 2 * kStatusPadding, height, TRUE);
}

void CProcessDockFrame::SetProgressState(int nState) {
    m_nProgressState = nState;
    if (nState == kProgressNone)
        m_nProgressPos = m_nProgressUpper = 0;
    showProgress();
}

void CProcessDockFrame::SetProgressValue(unsigned __int64 nPos, unsigned __int64 nUpper) {
    m_nProgressPos = nPos;
    m_nProgressUpper = nUpper;
    if (m_nProgressState == kProgressNone)
        m_nProgressState = kProgressNormal;
    showProgress();
}

void CProcessDockFrame::showProgress() {
    if (m_hWnd == nullptr)
        return;
    const bool shown = m_nProgressState != kProgressNone;
    HWND bar = ::GetDlgItem(m_hWnd, D64AVOR_DOCK_FRAME_PROGRESS_ID);
    ::SendMessageA(bar, PBM_SETPOS, scaledPosition(m_nProgressPos, m_nProgressUpper), 0);
    ::ShowWindow(bar, shown ? SW_SHOWNA : SW_HIDE);
    char text[64] = "";
    if (shown)
        snprintf(text, sizeof text, "%llu of %llu", m_nProgressPos, m_nProgressUpper);
    ::SetDlgItemTextA(m_hWnd, D64AVOR_DOCK_FRAME_STATUS_ID, text);
}

CProcessDockFrame* GetProcessDockFrame() {
    return g_processDockFrame.load();
}
