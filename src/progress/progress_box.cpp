// CProgressBox and its two exported variants.
#include "common/whole_characters.h"
#include "progress/progress_box_state.h"
#include "resources/resource_ids.h"

#include <afxwin.h>
#include <commctrl.h>
#include <d64avor.h>
#include <z64eveze.h>

#include <algorithm>

namespace z64::progress {
namespace {

constexpr int kDescriptionId = IDC_PROGRESS_DESCRIPTION;
constexpr int kProgressBarId = IDC_PROGRESS_BAR;
constexpr unsigned __int64 kLargestBarValue = 0x7FFFFFFF;
constexpr int kParkedCoordinate = -32000;

// The fewest bits that bring `range` to kLargestBarValue or below.
int shiftForRange(unsigned __int64 range) {
    int shift = 0;
    while ((range >> shift) > kLargestBarValue)
        ++shift;
    return shift;
}

void showOnDockFrame(unsigned __int64 position, unsigned __int64 upper) {
    if (CProcessDockFrame* frame = GetProcessDockFrame(); frame != nullptr)
        frame->SetProgressValue(position, upper);
}

void clearDockFrame() {
    if (CProcessDockFrame* frame = GetProcessDockFrame(); frame != nullptr)
        frame->SetProgressState(0);
}

HWND progressBar(const CWnd& box) {
    HWND bar = nullptr;
    box.GetDlgItem(kProgressBarId, &bar);
    return bar;
}

unsigned __int64 barUpperBound(HWND bar) {
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    return static_cast<unsigned __int64>(static_cast<__int64>(range.iHigh));
}

unsigned __int64 barPosition(HWND bar) {
    return static_cast<unsigned __int64>(
        static_cast<__int64>(static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0))));
}

void setBarPosition(HWND bar, unsigned __int64 position) {
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(static_cast<int>(position)), 0);
}

// A range beyond 31 bits: the bar shows the position (at most the range) shifted into its
// own range, the dock frame the caller's numbers.
void showScaledPosition(HWND bar, unsigned __int64 position, unsigned __int64 range, int shift) {
    setBarPosition(bar, std::min(position, range) >> shift);
    showOnDockFrame(position, range);
}

void setDialogItemText(CWnd& box, int id, const char* text) {
    if (CWnd* item = box.GetDlgItem(id); item != nullptr)
        item->SetWindowText(text);
}

} // namespace

// Every box's destructor: the dock frame's progress ends with the box, and no
// process-wide pointer is left referring to it.
void forgetProgressBox(CProgressBox* box) {
    clearDockFrame();
    if (g_pProgressBox == box)
        g_pProgressBox = nullptr;
    forgetRememberedBox(box);
}

} // namespace z64::progress

using namespace z64::progress;

BEGIN_MESSAGE_MAP(CProgressBox, CDialog)
ON_BN_CLICKED(IDCANCEL, &CProgressBox::OnCancel)
END_MESSAGE_MAP()

CProgressBox::CProgressBox(CWnd* /*pParent: the parent is given to Create*/)
    : m_bContinue(1), m_bFinished(0), m_bPDInit(0), m_szTitle{}, m_bOwnerWasEnabled(0),
      m_bKeepOnCancel(false), m_hSavedWnd(nullptr), m_bShowOnInit(1) {}

CProgressBox::~CProgressBox() {
    forgetProgressBox(this);
}

void CProgressBox::ShowOnInit(int bShow) {
    m_bShowOnInit = bShow;
}

void CProgressBox::DoDataExchange(CDataExchange* pDX) {
    DDX_ControlWP(pDX, kDescriptionId, m_wndDesc);
}

BOOL CProgressBox::OnInitDialog() {
    CDialog::OnInitDialog();
    CenterWindow();
    BringWindowToTop();
    if (m_bShowOnInit)
        ShowWindow(SW_SHOW);
    return TRUE;
}

int CProgressBox::IsFinished() {
    return m_bFinished;
}

void CProgressBox::Finish() {
    m_bFinished = 1;
}

void CProgressBox::Reset() {
    m_bContinue = 1;
    m_bFinished = 0;
}

void CProgressBox::Cancel() {
    m_bContinue = 0;
    m_bFinished = 1;
}

int CProgressBox::Cancelled() {
    return m_bContinue != 0 ? 1 : 0;
}

void CProgressBox::OnCancel() {
    Cancel();
    if (m_bKeepOnCancel)
        return;
    DestroyWindow();
    FlushWindowUpdates();
}

void CProgressBox::SetText(const char* pszTitle, const char* pszDesc) {
    if (m_hWnd == nullptr)
        return;
    if (pszTitle != nullptr) {
        z64::common::copyWholeCharacters(m_szTitle, sizeof m_szTitle, pszTitle,
                                         z64::common::CodePage::ansi);
        SetWindowText(pszTitle);
    }
    if (pszDesc != nullptr)
        setDialogItemText(*this, kDescriptionId, pszDesc);
}

void CProgressBox::SetCancelRename(const char* pszCancel) {
    if (m_hWnd != nullptr && pszCancel != nullptr && *pszCancel != '\0')
        setDialogItemText(*this, IDCANCEL, pszCancel);
}

void CProgressBox::SetDesc(const char* pszDesc) {
    if (m_hWnd != nullptr && pszDesc != nullptr)
        setDialogItemText(*this, kDescriptionId, pszDesc);
}

void CProgressBox::Progress(unsigned __int64 nPos) {
    if (m_hWnd == nullptr)
        return;
    if (const HWND bar = progressBar(*this); bar != nullptr) {
        if (m_rangeShift == 0) {
            setBarPosition(bar, nPos);
            showOnDockFrame(nPos, barUpperBound(bar));
        } else {
            m_keptPosition = nPos;
            showScaledPosition(bar, m_keptPosition, m_keptRange, m_rangeShift);
        }
    }
    UpdateWindow();
}

void CProgressBox::SetPosition(unsigned __int64 nPos) {
    Progress(nPos);
}

void CProgressBox::DeltaProgress(int nDelta) {
    if (m_hWnd == nullptr)
        return;
    const HWND bar = progressBar(*this);
    if (bar == nullptr)
        return;
    if (m_rangeShift == 0) {
        ::SendMessageA(bar, PBM_DELTAPOS, static_cast<WPARAM>(nDelta), 0);
        showOnDockFrame(barPosition(bar), barUpperBound(bar));
        return;
    }
    const unsigned __int64 step = nDelta < 0 ? 0 - static_cast<unsigned __int64>(nDelta)
                                             : static_cast<unsigned __int64>(nDelta);
    const unsigned __int64 position = std::min(m_keptPosition, m_keptRange);
    m_keptPosition = nDelta < 0 ? position - std::min(step, position)
                                : position + std::min(step, m_keptRange - position);
    showScaledPosition(bar, m_keptPosition, m_keptRange, m_rangeShift);
}

void CProgressBox::SetRange(__int64 nRange) {
    if (m_hWnd == nullptr)
        return;
    const HWND bar = progressBar(*this);
    if (bar == nullptr)
        return;
    const auto range = static_cast<unsigned __int64>(nRange);
    m_rangeShift = shiftForRange(range);
    m_keptRange = m_rangeShift == 0 ? 0 : range;
    ::SendMessageA(bar, PBM_SETRANGE32, 0,
                   static_cast<LPARAM>(static_cast<int>(range >> m_rangeShift)));
    if (m_rangeShift == 0) {
        showOnDockFrame(barPosition(bar), range);
        return;
    }
    showScaledPosition(bar, m_keptPosition, m_keptRange, m_rangeShift);
}

void CProgressBox::SetSavedWnd(HWND hWnd) {
    m_hSavedWnd = hWnd;
}

HWND CProgressBox::GetSavedWnd() {
    return m_hSavedWnd;
}

void CProgressBox::SetPDInit() {
    m_bPDInit = 1;
}

int CProgressBox::GetPDInit() {
    return m_bPDInit;
}

// ---------------------------------------------------------------------------------------
// CProgressBoxEx
// ---------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CProgressBoxEx, CProgressBox)
ON_BN_CLICKED(IDCANCEL, &CProgressBoxEx::OnCancel)
END_MESSAGE_MAP()

CProgressBoxEx::CProgressBoxEx(CWnd* pParent) : CProgressBox(pParent), m_pParentWnd(pParent) {}

CProgressBoxEx::~CProgressBoxEx() = default;

void CProgressBoxEx::OnCancel() {
    Cancel();
    if (m_hWnd != nullptr)
        SetWindowPos(nullptr, kParkedCoordinate, kParkedCoordinate, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
}

// ---------------------------------------------------------------------------------------
// CProgressBoxEmbedded
// ---------------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CProgressBoxEmbedded, CProgressBox)
ON_BN_CLICKED(IDCANCEL, &CProgressBoxEmbedded::OnCancel)
ON_WM_SIZE()
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CProgressBoxEmbedded::CProgressBoxEmbedded(CWnd* pParent) : CProgressBox(pParent) {}

CProgressBoxEmbedded::~CProgressBoxEmbedded() = default;

void CProgressBoxEmbedded::OnSize(unsigned int /*nType*/, int /*cx*/, int /*cy*/) {
    Default();
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    for (const int id : {kProgressBarId, kDescriptionId}) {
        HWND control = nullptr;
        GetDlgItem(id, &control);
        if (control == nullptr)
            continue;
        RECT rect{};
        ::GetWindowRect(control, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        ::MoveWindow(control, rect.left, rect.top, client.right - rect.left, rect.bottom - rect.top,
                     TRUE);
    }
}

HBRUSH CProgressBoxEmbedded::OnCtlColor(CDC* pDC, CWnd* pWnd, unsigned int nCtlColor) {
    const HWND parent = ::GetParent(m_hWnd);
    if (parent == nullptr)
        return CProgressBox::OnCtlColor(pDC, pWnd, nCtlColor);
    const MSG* message = GetCurrentMessage();
    return reinterpret_cast<HBRUSH>(
        ::SendMessageA(parent, message->message, message->wParam, message->lParam));
}
