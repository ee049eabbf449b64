// The import and update status functions: texts, range and position of the current box,
// then the thread's messages while the box may go on.
#include "progress/message_pump.h"
#include "progress/progress_box_state.h"
#include "resources/resource_ids.h"

#include <afxwin.h>
#include <z64eveze.h>

#include <cstring>

namespace z64::progress {
namespace {

// A description of this many bytes or more is shown as "..." and its last bytes.
constexpr std::size_t kDisplayCapacity = 255;
constexpr char kCutMark[] = "...";
constexpr std::size_t kKeptTailBytes = 251;

bool currentBoxMayGoOn() {
    return g_pProgressBox != nullptr && g_pProgressBox->m_bContinue != 0;
}

// Pumps while the current box exists and has not been cancelled; answers whether it may
// go on afterwards.
unsigned short pumpWhileGoingOn() {
    {
        ShellStateBracket bracket;
        pumpPendingMessages(currentBoxMayGoOn);
    }
    return currentBoxMayGoOn() ? 1 : 0;
}

// The window title shown again from the box's stored title.
void showStoredTitle(CProgressBox& box) {
    box.SetWindowText(box.m_szTitle);
}

void setDescription(CProgressBox& box, const char* description) {
    if (CWnd* item = box.GetDlgItem(IDC_PROGRESS_DESCRIPTION); item != nullptr)
        item->SetWindowText(description);
}

// The text itself, or "..." and its last bytes when it does not fit, never starting in the
// middle of a double-byte character.
void buildDisplayText(const char* text, char (&display)[kDisplayCapacity]) {
    const std::size_t length = std::strlen(text);
    if (length < kDisplayCapacity) {
        std::memcpy(display, text, length + 1);
        return;
    }
    std::size_t tail = length - kKeptTailBytes;
    // Move forward to the first character that starts at or after the cut.
    std::size_t position = 0;
    while (position < tail)
        position +=
            IsDBCSLeadByte(static_cast<BYTE>(text[position])) && text[position + 1] != '\0' ? 2 : 1;
    tail = position;
    std::memcpy(display, kCutMark, sizeof kCutMark - 1);
    std::memcpy(display + sizeof kCutMark - 1, text + tail, length - tail + 1);
}

} // namespace
} // namespace z64::progress

using namespace z64::progress;

unsigned short ImportUpdateStatus(CProgressBox* pBox, unsigned __int64 nPos, __int64 nRange,
                                  const char* pszTitle, const char* pszDesc) {
    if (pszTitle != nullptr || pszDesc != nullptr) {
        CProgressBox* target = pBox != nullptr ? pBox : g_pProgressBox;
        if (target == nullptr)
            return 0;
        if (target->m_hWnd != nullptr) {
            if (pszTitle != nullptr)
                target->SetText(pszTitle, nullptr);
            else
                showStoredTitle(*target);
            if (pszDesc != nullptr)
                setDescription(*target, pszDesc);
        }
    }
    if (pBox != nullptr && pBox != g_pProgressBox) {
        g_pProgressBox = pBox;
        pBox->Reset();
    }
    if (g_pProgressBox == nullptr)
        return 0;
    if (nRange != 0)
        g_pProgressBox->SetRange(nRange);
    if (nPos != 0)
        g_pProgressBox->Progress(nPos);
    return pumpWhileGoingOn();
}

unsigned short ImpUpdStat(int nPos, int nRange) {
    if (g_pProgressBox == nullptr)
        return 0;
    if (nRange != 0)
        g_pProgressBox->SetRange(nRange);
    if (nPos != 0)
        g_pProgressBox->Progress(static_cast<unsigned __int64>(static_cast<__int64>(nPos)));
    return pumpWhileGoingOn();
}

unsigned short ImpUpdSt(INT_PTR, INT_PTR, INT_PTR, INT_PTR) {
    if (g_pProgressBox == nullptr)
        return 0;
    if (g_pProgressBox->m_hWnd != nullptr) {
        showStoredTitle(*g_pProgressBox);
        setDescription(*g_pProgressBox, "");
    }
    return pumpWhileGoingOn();
}

void ImpUpdText2(const char* pszText, int nRange) {
    char display[kDisplayCapacity] = {};
    if (pszText != nullptr)
        buildDisplayText(pszText, display);
    CProgressBox* box = g_pProgressBox;
    if (box == nullptr)
        return;
    if (box->m_hWnd != nullptr && pszText != nullptr) {
        showStoredTitle(*box);
        setDescription(*box, display);
    }
    if (nRange == 0)
        return;
    box->SetRange(nRange);
    pumpWhileGoingOn();
}

void ImpUpdText(const char* pszText) {
    ImpUpdText2(pszText, 100);
}
