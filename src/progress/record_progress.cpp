// The record window and the two functions that each keep one open while a database
// operation counts its records.
#include "common/library_resources.h"
#include "common/whole_characters.h"
#include "progress/message_pump.h"
#include "progress/progress_box_state.h"
#include "progress/progress_interface.h"
#include "resources/resource_ids.h"

#include <afxwin.h>
#include <d64avor.h>
#include <z64eveze.h>

#include <cstdio>
#include <initializer_list>

namespace z64::progress {
namespace {

constexpr int kStringCapacity = 40;
constexpr std::size_t kCountCapacity = 80;

enum RecordMode : short { kOpen = 0, kCount = 1, kClose = 2 };

// The state of one of the two functions: its open window, the owner found when it was
// opened and whether that opening disabled it.
struct RecordWindowState {
    CProgressBoxRecords* box = nullptr;
    HWND owner = nullptr;
    bool ownerDisabled = false;
};

RecordWindowState g_records;
RecordWindowState g_recordsStep;

void showCurrentBoxCancel(int show) {
    if (g_pProgressBox == nullptr || g_pProgressBox->m_hWnd == nullptr)
        return;
    if (CWnd* cancel = g_pProgressBox->GetDlgItem(IDCANCEL); cancel != nullptr)
        cancel->ShowWindow(show);
}

CProgressBoxRecords* createRecordWindow(CWnd* owner, char* title) {
    auto* box = new CProgressBoxRecords(owner, title);
    const HGLOBAL loaded = common::loadLibraryDialogTemplate(IDD_PROGRESS_RECORDS);
    if (loaded == nullptr || !box->CreateIndirect(loaded, owner)) {
        delete box; // no window: it cannot end its own life
        return nullptr;
    }
    return box;
}

void closeRecordWindow(RecordWindowState& state) {
    if (state.owner != nullptr && IsWindow(state.owner)) {
        BringWindowToTop(state.owner);
        if (state.ownerDisabled)
            EnableWindow(state.owner, TRUE);
    }
    state.ownerDisabled = false;
    if (CProgressBoxRecords* box = state.box; box != nullptr) {
        box->Invalidate();
        box->DestroyWindow(); // the object deletes itself and clears state.box
        state.box = nullptr;
    }
    showCurrentBoxCancel(SW_SHOW);
}

void openRecordWindow(RecordWindowState& state, char* title) {
    if (state.box != nullptr)
        closeRecordWindow(state);
    const HWND ownerWindow = GetActiveVisibleWnd(nullptr);
    CWnd* owner = CWnd::FromHandle(ownerWindow);
    state.ownerDisabled = ownerWindow != nullptr && IsWindowEnabled(ownerWindow);
    if (state.ownerDisabled)
        EnableWindow(ownerWindow, FALSE);
    state.owner = ownerWindow;
    state.box = createRecordWindow(owner, title);
    showCurrentBoxCancel(SW_HIDE);
    if (state.box != nullptr) {
        state.box->ShowWindow(SW_SHOW);
        state.box->Invalidate(TRUE);
    }
}

// The steps both functions share; `show` counts or only shows.
template <typename Show>
void runRecordCall(RecordWindowState& state, char* title, short mode, Show show) {
    ShellStateBracket bracket;
    if (mode == kOpen)
        openRecordWindow(state, title);
    if (state.box != nullptr)
        show(*state.box);
    PeekMessageLoop();
    if (mode == kClose)
        closeRecordWindow(state);
}

unsigned int stepOf(unsigned int step) {
    return step == 0 ? 1 : step;
}

} // namespace

// A record window's end: no function's state is left referring to it.
void forgetRecordWindow(CProgressBoxRecords* box) {
    for (RecordWindowState* state : {&g_records, &g_recordsStep})
        if (state->box == box)
            state->box = nullptr;
}

} // namespace z64::progress

using namespace z64::progress;

// An empty map chained to the dialog's.
const AFX_MSGMAP* CProgressBoxRecords::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP* PASCAL CProgressBoxRecords::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
    static const AFX_MSGMAP map = {&CDialog::GetThisMessageMap, &entries[0]};
    return &map;
}

CProgressBoxRecords::CProgressBoxRecords(CWnd* pParent, char* pszText)
    : CDialog(IDD_PROGRESS_RECORDS, pParent), m_nCount(0), m_szText{} {
    z64::common::copyWholeCharacters(m_szText, sizeof m_szText, pszText,
                                     z64::common::CodePage::ansi);
}

CProgressBoxRecords::~CProgressBoxRecords() {
    forgetRecordWindow(this);
}

void CProgressBoxRecords::DoDataExchange(CDataExchange* pDX) {
    DDX_ControlWP(pDX, IDC_RECORDS_COUNT, m_wndCount);
    DDX_ControlWP(pDX, IDC_RECORDS_LABEL, m_wndLabel);
    DDX_ControlWP(pDX, IDC_RECORDS_TITLE, m_wndTitle);
}

BOOL CProgressBoxRecords::OnInitDialog() {
    CDialog::OnInitDialog();
    CenterWindow();
    BringWindowToTop();
    char defaultTitle[kStringCapacity] = {};
    char label[kStringCapacity] = {};
    LoadStringA(z64::common::libraryModule(), IDS_RECORDS_DEFAULT_TITLE, defaultTitle,
                kStringCapacity);
    LoadStringA(z64::common::libraryModule(), IDS_RECORDS_LABEL, label, kStringCapacity);
    m_wndTitle.SetWindowText(m_szText[0] != '\0' ? m_szText : defaultTitle);
    m_wndLabel.SetWindowText(label);
    m_wndCount.SetWindowText("0");
    return TRUE;
}

void CProgressBoxRecords::progress() {
    ++m_nCount;
    progress_step();
}

void CProgressBoxRecords::progress_step() {
    char text[kCountCapacity] = {};
    std::snprintf(text, sizeof text, "%d", static_cast<int>(m_nCount));
    if (m_wndCount.m_hWnd != nullptr)
        m_wndCount.SetWindowText(text);
}

int CProgressBoxRecords::check_step(int nStep) {
    ++m_nCount;
    return static_cast<int>(m_nCount % stepOf(static_cast<unsigned int>(nStep)));
}

void CProgressBoxRecords::PostNcDestroy() {
    CDialog::PostNcDestroy();
    delete this;
    FlushWindowUpdates();
}

void prgRecords(char* pszText, short nMode) {
    if (!onApplicationThread())
        return;
    runRecordCall(g_records, pszText, nMode, [](CProgressBoxRecords& box) { box.progress(); });
}

void prgRecordsStep(char* pszText, short nMode, unsigned int nStep) {
    if (!onApplicationThread())
        return;
    // Only every nStep-th record is shown and pumps messages.
    if (nMode == kCount && g_recordsStep.box != nullptr &&
        g_recordsStep.box->check_step(static_cast<int>(nStep)) != 0)
        return;
    runRecordCall(g_recordsStep, pszText, nMode,
                  [](CProgressBoxRecords& box) { box.progress_step(); });
}
