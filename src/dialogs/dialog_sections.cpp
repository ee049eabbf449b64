// Dialog sections: several categories sharing one anchor, one of them shown at a time, with
// the controls of discardable categories destroyed again past a threshold.
#include "dialog_categories.h"

#include <windows.h>

namespace z64::dialogs {
namespace {

constexpr int kNoCategory = -1;
constexpr int kRepaintInset = 3; // the anchor area repainted, inside the anchor's edges

DLGSECTIONENTRY* findEntry(const DLGSECTION& section, int id) {
    for (int index = 0; index < section.cCategories; ++index)
        if (section.pEntries[index].id == id)
            return &section.pEntries[index];
    return nullptr;
}

// Destroys discardable, unselected categories in order of addition until cCreated is
// back at nTrimTo.
void TrimDlgSection(DLGSECTION& section) {
    if (section.nTrimTo < 1 || section.nTrimAbove < section.nTrimTo ||
        section.cCreated <= section.nTrimAbove)
        return;
    for (int index = 0; index < section.cCategories; ++index) {
        DLGSECTIONENTRY& entry = section.pEntries[index];
        if (entry.id == section.idCurrent || (entry.dwFlags & DLGSECTION_DISCARDABLE) == 0 ||
            !hasControls(entry.category))
            continue;
        (void)DestroyDlgCategoryControls(&entry.category);
        if (--section.cCreated == section.nTrimTo)
            return;
    }
}

// Creates a category's controls; on failure the controls made so far go at once, so that
// nothing half made stays in the dialog and the next attempt starts afresh.
bool createCategory(DLGSECTION& section, DLGCATEGORY& category, HINSTANCE instance) {
    if (CreateDlgCategoryIndirect(&category, section.hDlg, section.nAnchorId, instance))
        return true;
    (void)DestroyDlgCategoryControls(&category);
    return false;
}

bool appendEntry(DLGSECTION& section, const DLGSECTIONENTRY& entry) {
    HANDLE heap = GetProcessHeap();
    void* grown = nullptr;
    if (section.pEntries == nullptr) {
        section.cCategories = 0;
        grown = HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(DLGSECTIONENTRY));
    } else {
        grown = HeapReAlloc(heap, HEAP_ZERO_MEMORY, section.pEntries,
                            sizeof(DLGSECTIONENTRY) * (section.cCategories + 1));
    }
    if (grown == nullptr)
        return false;
    section.pEntries = static_cast<DLGSECTIONENTRY*>(grown);
    section.pEntries[section.cCategories++] = entry;
    return true;
}

// The anchor's area, 3 pixels in from each side, with whatever was waiting to be painted.
void repaintAnchorArea(const DLGSECTION& section, const RECT& pending) {
    RECT area{};
    if (HWND anchor = GetDlgItem(section.hDlg, section.nAnchorId)) {
        GetWindowRect(anchor, &area);
        MapWindowPoints(nullptr, section.hDlg, reinterpret_cast<POINT*>(&area), 2);
        InflateRect(&area, -kRepaintInset, -kRepaintInset);
    }
    RECT united{};
    UnionRect(&united, &area, &pending);
    InvalidateRect(section.hDlg, &united, TRUE);
}

HWND hideCurrent(const DLGSECTION& section, bool visible) {
    if (section.idCurrent == kNoCategory)
        return nullptr;
    DLGSECTIONENTRY* current = findEntry(section, section.idCurrent);
    if (current == nullptr)
        return nullptr;
    if (!visible)
        return ShowDlgCategory(&current->category, FALSE);
    UpdateWindow(section.hDlg);
    SendMessageA(section.hDlg, WM_SETREDRAW, FALSE, 0);
    HWND hidden = ShowDlgCategory(&current->category, FALSE);
    SendMessageA(section.hDlg, WM_SETREDRAW, TRUE, 0);
    return hidden;
}

// Shows the selected entry, creating its controls first when needed; false when nothing
// could be shown.
bool showSelected(DLGSECTION& section, DLGSECTIONENTRY* entry, bool visible, HINSTANCE instance) {
    if (entry == nullptr)
        return false;
    if (!hasControls(entry->category)) {
        if (!createCategory(section, entry->category, instance))
            return false;
        ++section.cCreated;
        TrimDlgSection(section);
    }
    if (!visible) {
        (void)ShowDlgCategory(&entry->category, TRUE);
        return true;
    }
    RECT pending{};
    GetUpdateRect(section.hDlg, &pending, FALSE);
    SendMessageA(section.hDlg, WM_SETREDRAW, FALSE, 0);
    (void)ShowDlgCategory(&entry->category, TRUE);
    SendMessageA(section.hDlg, WM_SETREDRAW, TRUE, 0);
    repaintAnchorArea(section, pending);
    return true;
}

} // namespace
} // namespace z64::dialogs

using namespace z64::dialogs;

extern "C" int InitDlgSection(DLGSECTION* section, DWORD dwUser, HWND dialog, int anchorId,
                              LPARAM lUser) {
    if (section == nullptr || !IsWindow(dialog) || GetDlgItem(dialog, anchorId) == nullptr)
        return 0;
    *section = DLGSECTION{};
    section->dwUser = dwUser;
    section->hDlg = dialog;
    section->nAnchorId = anchorId;
    section->idCurrent = kNoCategory;
    section->lUser = lUser;
    return 1;
}

extern "C" int AddDlgSectionCategory(DLGSECTION* section, HINSTANCE templateModule,
                                     LPCSTR templateName, int id, DWORD flags, LPARAM lParam,
                                     HINSTANCE instance) {
    if (section == nullptr || templateModule == nullptr || templateName == nullptr)
        return 0;
    DLGSECTIONENTRY entry{};
    entry.id = id;
    entry.dwFlags = flags;
    entry.category.hInstance = templateModule;
    entry.category.lpszTemplate = templateName;
    entry.category.lParam = lParam;
    if (!LoadDlgCategory(&entry.category))
        return 0;
    const bool createNow = (flags & DLGSECTION_CREATENOW) != 0;
    if (createNow) {
        if (!createCategory(*section, entry.category, instance))
            return 0;
        ++section->cCreated;
        TrimDlgSection(*section);
    }
    if (!appendEntry(*section, entry)) {
        if (createNow) {
            (void)DestroyDlgCategoryControls(&entry.category);
            --section->cCreated;
        }
        return 0;
    }
    return section->cCategories;
}

extern "C" HWND SelectDlgSectionCategory(DLGSECTION* section, int id, HINSTANCE instance) {
    if (section == nullptr || id == section->idCurrent)
        return nullptr;
    const bool visible = IsWindowVisible(section->hDlg) != FALSE;
    const bool hadCurrent =
        section->idCurrent != kNoCategory && findEntry(*section, section->idCurrent) != nullptr;
    HWND hidden = hideCurrent(*section, visible);
    section->idCurrent = id;
    if (!showSelected(*section, findEntry(*section, id), visible, instance) && visible &&
        hadCurrent)
        repaintAnchorArea(*section, RECT{});
    SendMessageA(section->hDlg, WM_DLGSECTIONCHANGED, 0, 0);
    return hidden;
}

extern "C" int SetDlgSectionThreshold(DLGSECTION* section, int nTrimTo, int nTrimAbove) {
    if (section == nullptr || nTrimTo < 0 || nTrimAbove < nTrimTo)
        return 0;
    section->nTrimTo = nTrimTo;
    section->nTrimAbove = nTrimAbove;
    TrimDlgSection(*section);
    return 1;
}

extern "C" int DeleteDlgSection(DLGSECTION* section) {
    if (section == nullptr)
        return 0;
    if (section->pEntries == nullptr)
        return 1;
    for (int index = 0; index < section->cCategories; ++index)
        (void)DeleteDlgCategory(&section->pEntries[index].category);
    HeapFree(GetProcessHeap(), 0, section->pEntries);
    section->pEntries = nullptr;
    section->cCategories = 0;
    return 1;
}
