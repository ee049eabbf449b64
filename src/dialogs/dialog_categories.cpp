// Dialog categories: controls described by a dialog template, created inside an existing
// dialog behind its anchor control, shown and hidden as a whole.
#include "dialog_categories.h"

#include "dialog_template.h"
#include "visual_theme.h"

#include <afxwin.h>

#include <support/global_lock_guard.h>
#include <support/unique_resource.h>

#include <mbstring.h>

#include <optional>
#include <utility>

namespace z64::dialogs {
namespace {

constexpr int kClassBufferSize = 80;
constexpr int kTextBufferSize = 256;
constexpr DWORD kClientEdgeStyleMask = ~static_cast<DWORD>(WS_VISIBLE);
constexpr DWORD kThemedClientEdgeStyleMask = ~static_cast<DWORD>(WS_VISIBLE | WS_BORDER);
constexpr UINT kPlaceBehindFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_HIDEWINDOW;
// A template not read from the record's own resource is walked without a known end.
constexpr size_t kUnknownTemplateSize = static_cast<size_t>(-1) / 2;

// The handle list of a record, locked for the duration of one operation.
using LockedControls = support::GlobalLockGuard<HWND>;

struct LockedResource {
    const BYTE* data = nullptr;
    size_t size = 0;
};

std::optional<LockedResource> lockTemplateResource(DLGCATEGORY& category) {
    HRSRC resource = FindResourceA(category.hInstance, category.lpszTemplate, RT_DIALOG);
    if (resource == nullptr)
        return std::nullopt;
    category.hTemplate = LoadResource(category.hInstance, resource);
    if (category.hTemplate == nullptr)
        return std::nullopt;
    const auto* data = static_cast<const BYTE*>(LockResource(category.hTemplate));
    if (data == nullptr)
        return std::nullopt;
    return LockedResource{data, SizeofResource(category.hInstance, resource)};
}

// The items of a loaded record: inside the record's own resource when that is where they
// lie (so every read stays inside it), else from the first item on without a known end.
TemplateView itemsView(const DLGCATEGORY& category) {
    const auto* first = static_cast<const BYTE*>(category.pFirstItem);
    if (HRSRC resource = FindResourceA(category.hInstance, category.lpszTemplate, RT_DIALOG)) {
        const auto* data =
            static_cast<const BYTE*>(LockResource(LoadResource(category.hInstance, resource)));
        const size_t size = SizeofResource(category.hInstance, resource);
        if (data != nullptr && first >= data && first < data + size)
            return TemplateView{first, size - static_cast<size_t>(first - data)};
    }
    return TemplateView{first, kUnknownTemplateSize};
}

bool takesClientEdge(const char* className) {
    const auto* name = reinterpret_cast<const unsigned char*>(className);
    for (const char* edged : {"Edit", "ListBox", "ComboBox"})
        if (_mbsicmp(name, reinterpret_cast<const unsigned char*>(edged)) == 0)
            return true;
    return false;
}

struct ControlPlacement {
    DWORD style;
    DWORD extendedStyle;
    RECT rect; // left, top, width, height in pixels
};

ControlPlacement placeControl(const DialogItem& item, const char* className, HWND dialog,
                              POINT origin, bool themed) {
    ControlPlacement placement{item.style, item.extendedStyle, item.rect};
    MapDialogRect(dialog, &placement.rect);
    placement.rect.left += origin.x;
    placement.rect.top += origin.y;
    DWORD mask = kClientEdgeStyleMask;
    if (takesClientEdge(className)) {
        placement.extendedStyle |= WS_EX_CLIENTEDGE;
        if (themed)
            mask = kThemedClientEdgeStyleMask;
    }
    placement.style &= mask;
    if (!themed)
        AdjustWindowRectEx(&placement.rect, placement.style, FALSE, placement.extendedStyle);
    return placement;
}

std::optional<POINT> anchorOrigin(HWND dialog, int anchorId) {
    HWND anchor = GetDlgItem(dialog, anchorId);
    if (anchor == nullptr)
        return std::nullopt;
    RECT rect{};
    GetWindowRect(anchor, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return POINT{rect.left, rect.top};
}

// Creates the controls into the locked list; false at the first that cannot be made.
bool createControls(const DLGCATEGORY& category, HWND* handles, HWND dialog, int anchorId,
                    POINT origin, HINSTANCE instance) {
    const TemplateView view = itemsView(category);
    const auto font = static_cast<WPARAM>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    const bool themed = IsVisualThemeActive();
    HWND after = GetDlgItem(dialog, anchorId);
    size_t offset = 0;
    for (int index = 0; index < category.cItems; ++index) {
        char className[kClassBufferSize];
        char text[kTextBufferSize];
        DLGITEMINFO info{className, kClassBufferSize, text, kTextBufferSize, nullptr};
        const std::optional<DialogItem> item =
            parseItem(category.fExtended != FALSE, view, offset, info);
        if (!item || !item->classUsable)
            return false;
        offset = item->nextOffset;
        const ControlPlacement placement = placeControl(*item, className, dialog, origin, themed);
        HWND control = CreateWindowExA(placement.extendedStyle, className, text, placement.style,
                                       placement.rect.left, placement.rect.top,
                                       placement.rect.right, placement.rect.bottom, dialog,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item->id)),
                                       instance, const_cast<void*>(info.pCreationData));
        if (control == nullptr)
            return false;
        handles[index] = control;
        SetWindowPos(control, after, 0, 0, 0, 0, kPlaceBehindFlags);
        after = control;
        if (font != 0)
            SendMessageA(control, WM_SETFONT, font, FALSE);
    }
    return true;
}

// Deletes the framework object attached to a control, then destroys the control.
void destroyControl(HWND control) {
    if (CWnd* attached = CWnd::FromHandlePermanent(control))
        delete attached;
    DestroyWindow(control);
}

} // namespace
} // namespace z64::dialogs

using namespace z64::dialogs;

extern "C" int LoadDlgCategory(DLGCATEGORY* category) {
    if (category == nullptr)
        return 0;
    const std::optional<LockedResource> resource = lockTemplateResource(*category);
    if (!resource)
        return 0;
    const TemplateView view{resource->data, resource->size};
    const std::optional<TemplateHeader> header = readTemplateHeader(view);
    if (!header || !itemsLieInside(view, *header))
        return 0;
    category->fExtended = header->extended ? TRUE : FALSE;
    category->hControls = nullptr;
    category->cItems = header->itemCount;
    category->pFirstItem = resource->data + header->firstItemOffset;
    return 1;
}

extern "C" int CreateDlgCategoryIndirect(DLGCATEGORY* category, HWND dialog, int anchorId,
                                         HINSTANCE instance) {
    if (category == nullptr || hasControls(*category) || !IsWindow(dialog))
        return 0;
    const std::optional<POINT> origin = anchorOrigin(dialog, anchorId);
    if (!origin || category->cItems < 1)
        return 0;
    support::UniqueGlobal block(
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(HWND) * category->cItems));
    if (!block)
        return 0;
    const LockedControls handles(block.get());
    if (handles.get() == nullptr)
        return 0;
    // From here on the list belongs to the record: the controls made before a failure
    // stay in it, hidden, for DestroyDlgCategoryControls.
    category->hControls = block.release();
    return createControls(*category, handles.get(), dialog, anchorId, *origin, instance) ? 1 : 0;
}

extern "C" HWND ShowDlgCategory(DLGCATEGORY* category, BOOL show) {
    if (category == nullptr || category->hControls == nullptr)
        return nullptr;
    const LockedControls handles(category->hControls);
    if (handles.get() == nullptr || category->cItems < 1)
        return nullptr;
    const TemplateView view = itemsView(*category);
    HWND firstTabStop = nullptr;
    size_t offset = 0;
    for (int index = 0; index < category->cItems; ++index) {
        HWND control = handles.get()[index];
        if (firstTabStop == nullptr && (GetWindowLongPtrA(control, GWL_STYLE) & WS_TABSTOP) != 0)
            firstTabStop = control;
        if (show) {
            char text[kTextBufferSize] = "";
            DLGITEMINFO info{nullptr, 0, text, kTextBufferSize, nullptr};
            if (const std::optional<DialogItem> item =
                    parseItem(category->fExtended != FALSE, view, offset, info))
                offset = item->nextOffset;
            SetWindowTextA(control, text);
            ShowWindow(control, SW_SHOW);
        } else {
            ShowWindow(control, SW_HIDE);
            SetWindowTextA(control, "");
        }
    }
    return firstTabStop;
}

extern "C" int DestroyDlgCategoryControls(DLGCATEGORY* category) {
    if (category == nullptr)
        return 0;
    if (category->hControls == nullptr)
        return 1;
    support::UniqueGlobal block(std::exchange(category->hControls, nullptr));
    const LockedControls handles(block.get());
    if (handles.get() == nullptr)
        return 0;
    for (int index = 0; index < category->cItems; ++index)
        if (HWND control = handles.get()[index])
            destroyControl(control);
    return 1;
}

extern "C" int DeleteDlgCategory(DLGCATEGORY* category) {
    if (category == nullptr)
        return 0;
    (void)DestroyDlgCategoryControls(category);
    category->hTemplate = nullptr;
    category->cItems = 0;
    category->pFirstItem = nullptr;
    return 0;
}
