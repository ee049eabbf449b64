// The import and update status functions: texts, range and position of the current box,
// then the thread's messages while the box may go on.
#include "common/whole_characters.h"
#include "progress/progress_box_state.h"
#include "progress/progress_interface.h"

#include <afxwin.h>
#include <z64eveze.h>

#include <cstring>

namespace z64::progress {
namespace {

// A description of this many bytes or more is shown as "..." and its last bytes.
constexpr std::size_t kDisplayCapacity = 255;
constexpr char kCutMark[] = "...";
constexpr std::size_t kKeptTailBytes = 251;

// The window title shown again from the box's stored title.
void showStoredTitle(CProgressBox& box) {
    box.SetWindowText(box.m_szTitle);
}

// The text itself, or "..." and its last bytes when it does not fit, never starting in the
// middle of a double-byte character.
void buildDisplayText(const char* text, char (&display)[kDisplayCapacity]) {
    const std::size_t length = std::strlen(text);
    if (length < kDisplayCapacity) {
        std::memcpy(display, text, length + 1);
        return;
    }
    // The first character that starts at or after the cut.
    const char* const cut = text + (length - kKeptTailBytes);
    const char* tail = text;
    while (tail < cut)
        tail = common::nextCharacter(tail, common::CodePage::ansi);
    std::memcpy(display, kCutMark, sizeof kCutMark - 1);
    std::memcpy(display + sizeof kCutMark - 1, tail,
                static_cast<std::size_t>(text + length - tail) + 1);
}

// Gives the current box a new range and position (a zero leaves either as it is), then
// pumps while it may go on.
unsigned short advanceCurrentBox(unsigned __int64 position, __int64 range) {
    if (g_pProgressBox == nullptr)
        return 0;
    if (range != 0)
        g_pProgressBox->SetRange(range);
    if (position != 0)
        g_pProgressBox->Progress(position);
    return pumpWhileCurrentBoxGoesOn();
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
            target->SetDesc(pszDesc);
        }
    }
    if (pBox != nullptr && pBox != g_pProgressBox) {
        g_pProgressBox = pBox;
        pBox->Reset();
    }
    return advanceCurrentBox(nPos, nRange);
}

unsigned short ImpUpdStat(int nPos, int nRange) {
    return advanceCurrentBox(static_cast<unsigned __int64>(static_cast<__int64>(nPos)), nRange);
}

unsigned short ImpUpdSt(INT_PTR, INT_PTR, INT_PTR, INT_PTR) {
    if (g_pProgressBox == nullptr)
        return 0;
    if (g_pProgressBox->m_hWnd != nullptr) {
        showStoredTitle(*g_pProgressBox);
        g_pProgressBox->SetDesc("");
    }
    return pumpWhileCurrentBoxGoesOn();
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
        box->SetDesc(display);
    }
    if (nRange == 0)
        return;
    box->SetRange(nRange);
    pumpWhileCurrentBoxGoesOn();
}

void ImpUpdText(const char* pszText) {
    ImpUpdText2(pszText, 100);
}
