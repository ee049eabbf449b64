// The plain-function progress interface: one current box (g_pProgressBox) or a box in a
// caller's slot, created on the application thread over a disabled owner, and the message
// pumping that keeps it alive while the caller works.
#include "progress/progress_interface.h"

#include "progress/message_pump.h"
#include "progress/progress_box_state.h"

#include <afxwin.h>
#include <commctrl.h>
#include <z64eveze.h>

namespace z64::progress {
namespace {

constexpr char kSettingsSection[] = "version";
constexpr char kDisableProgressKey[] = "DisableProgressBar";

bool hasText(const char* text) {
    return text != nullptr && *text != '\0';
}

// Keeps the modeless box modal in effect: its owner stays disabled while it is up.
void disableOwner(CProgressBox& box, CWnd* owner) {
    if (owner == nullptr)
        return;
    box.m_bOwnerWasEnabled = owner->IsWindowEnabled();
    if (box.m_bOwnerWasEnabled)
        owner->EnableWindow(FALSE);
    box.SetSavedWnd(owner->m_hWnd);
}

void restoreOwner(CProgressBox& box) {
    const HWND owner = box.GetSavedWnd();
    if (owner == nullptr || !box.m_bOwnerWasEnabled || !IsWindow(owner))
        return;
    EnableWindow(owner, TRUE);
    SetFocus(owner);
}

void createWindow(CProgressBox& box, CWnd* owner, bool withCancel) {
    registerProgressBarClass();
    box.Create(withCancel ? kProgressTemplateWithCancel : kProgressTemplateWithoutCancel, owner);
    box.ShowWindow(SW_SHOW);
    if (withCancel)
        box.m_bKeepOnCancel = true;
}

bool currentBoxMayGoOn() {
    return g_pProgressBox != nullptr && g_pProgressBox->m_bContinue != 0;
}

} // namespace

unsigned short pumpWhileCurrentBoxGoesOn() {
    {
        ShellStateBracket bracket;
        pumpPendingMessages(currentBoxMayGoOn);
    }
    return currentBoxMayGoOn() ? 1 : 0;
}

void registerProgressBarClass() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

bool onApplicationThread() {
    const CWinApp* application = AfxGetModuleState()->m_pCurrentWinApp;
    return application != nullptr && application->m_nThreadID == GetCurrentThreadId();
}

bool progressBarsSwitchedOff() {
    return GetLogTypeEnabled(kSettingsSection, kDisableProgressKey, 0) != 0;
}

void createProgressBox(CProgressBox** slot, const char* title, const char* description,
                       const char* cancelText, int range) {
    if (!onApplicationThread() || progressBarsSwitchedOff())
        return;
    ShellStateBracket bracket;
    CWnd* owner = CWnd::FromHandle(GetActiveVisibleWnd(nullptr));
    const bool isNew = *slot == nullptr;
    if (isNew) {
        *slot = new CProgressBox(owner);
        disableOwner(**slot, owner);
        (*slot)->SetPDInit();
        createWindow(**slot, owner, hasText(cancelText));
    }
    CProgressBox& box = **slot;
    box.Reset();
    if (box.m_hWnd != nullptr)
        box.SetText(title, description);
    if (hasText(cancelText))
        box.SetCancelRename(cancelText);
    if (range != 0) {
        box.Progress(0);
        box.SetRange(static_cast<__int64>(static_cast<unsigned int>(range)));
    }
}

void setProgressPosition(CProgressBox** slot, int position) {
    if (*slot == nullptr || (*slot)->m_hWnd == nullptr)
        return;
    (*slot)->Progress(static_cast<unsigned __int64>(static_cast<__int64>(position)));
    ShellStateBracket bracket;
    pumpPendingMessages([slot] { return *slot != nullptr; });
}

void destroyProgressBox(CProgressBox** slot) {
    CProgressBox* box = *slot;
    if (box == nullptr || !box->GetPDInit())
        return;
    ShellStateBracket bracket;
    restoreOwner(*box);
    delete box;
    *slot = nullptr;
}

} // namespace z64::progress

using namespace z64::progress;

int PeekMessageLoop() {
    ShellStateBracket bracket;
    pumpPendingMessages();
    return 1;
}

void ProgressDialogInit(const char* pszTitle, const char* pszDesc, int nRange) {
    createProgressBox(&g_pProgressBox, pszTitle, pszDesc, "", nRange);
}

void ProgressDialogInitOverWrite(const char* pszTitle, const char* pszDesc, const char* pszCancel,
                                 int nRange) {
    createProgressBox(&g_pProgressBox, pszTitle, pszDesc, pszCancel, nRange);
}

void ProgressDialogSetDesc(const char* pszDesc) {
    if (g_pProgressBox != nullptr)
        g_pProgressBox->SetDesc(pszDesc);
}

int ProgressDialogExists() {
    return g_pProgressBox != nullptr ? 1 : 0;
}

void ProgressDialogPos(int nPos) {
    setProgressPosition(&g_pProgressBox, nPos);
}

void ProgressDialogDelta(int nDelta) {
    if (g_pProgressBox == nullptr || g_pProgressBox->m_hWnd == nullptr)
        return;
    g_pProgressBox->DeltaProgress(nDelta);
    ShellStateBracket bracket;
    pumpPendingMessages([] { return g_pProgressBox != nullptr; });
}

int ProgressCheckCancel() {
    // Without a current box nothing was cancelled: the work goes on.
    return g_pProgressBox == nullptr || g_pProgressBox->m_bContinue != 0 ? 1 : 0;
}

void ProgressDialogDelete() {
    if (onApplicationThread())
        destroyProgressBox(&g_pProgressBox);
}

void ProgressDialogClear() {
    if (g_pProgressBox == nullptr)
        return;
    g_pProgressBox->Finish();
    g_pProgressBox = nullptr;
}

void QVProgressBox(int nMode, CProgressBox** ppBox, int nValue, const char* pszTitle,
                   const char* pszDesc) {
    if (ppBox == nullptr || !onApplicationThread())
        return;
    CProgressBox* local = *ppBox;
    switch (nMode) {
    case 0:
        if (local == nullptr) {
            createProgressBox(&local, pszTitle, pszDesc, "", nValue);
            *ppBox = local;
        }
        break;
    case 1:
        if (local == nullptr || progressBarsSwitchedOff())
            break;
        {
            ShellStateBracket bracket;
            local->Reset();
            local->SetDesc(pszDesc);
        }
        setProgressPosition(&local, nValue);
        break;
    case 2:
        if (local == nullptr)
            break;
        destroyProgressBox(&local);
        if (local != nullptr) {
            ShellStateBracket bracket;
            delete local;
        }
        *ppBox = nullptr;
        break;
    default:
        break;
    }
}
