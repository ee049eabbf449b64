// The layout check: every visible control of a window, and of the dialogs embedded in it,
// against its parent's client area, against its visible siblings and against its text.
#include "layout_check.h"

#include <support/gdi_resources.h>

#include <cstdio>
#include <string>

namespace gallery {
namespace {

// Room a push button's border and focus rectangle take from its text, on each side.
constexpr int kPushButtonMargin = 3;
// The check box square at 96 dpi; the text starts half the width of a '0' after it.
constexpr int kCheckBoxSquare = 13;

struct Control {
    HWND window;
    int id;
    RECT rect; // in the parent's client coordinates
};

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool isDialog(HWND window) {
    return className(window) == "#32770";
}

LONG style(HWND window) {
    return GetWindowLongA(window, GWL_STYLE);
}

// Group boxes and frame statics are drawn around other controls.
bool drawsAround(HWND window) {
    const std::string name = className(window);
    if (name == "Button")
        return (style(window) & BS_TYPEMASK) == BS_GROUPBOX;
    if (name != "Static")
        return false;
    const LONG type = style(window) & SS_TYPEMASK;
    return (type >= SS_BLACKRECT && type <= SS_WHITEFRAME) ||
           (type >= SS_ETCHEDHORZ && type <= SS_ETCHEDFRAME);
}

bool contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

SIZE sizeOf(const RECT& rect) {
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// The children of `parent` whose own WS_VISIBLE is set: what shows once the parent shows.
std::vector<Control> visibleChildren(HWND parent) {
    std::vector<Control> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((style(child) & WS_VISIBLE) == 0)
            continue;
        Control control{child, static_cast<int>(static_cast<short>(GetDlgCtrlID(child))), {}};
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&control.rect), 2);
        children.push_back(control);
    }
    return children;
}

// The text as drawn: "&&" is one ampersand, a single "&" only underlines the next letter.
std::string withoutPrefixMarks(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

// How the control lays out its text, and the room it gives it.
struct TextLayout {
    bool measured = false;
    bool multiLine = false;
    bool prefixes = true;
    SIZE room{};
};

TextLayout staticLayout(LONG controlStyle, SIZE client) {
    TextLayout layout;
    const LONG type = controlStyle & SS_TYPEMASK;
    const bool wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
    // Ellipsis styles shorten the text on purpose.
    if ((!wraps && type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE) ||
        (controlStyle & SS_ELLIPSISMASK) != 0)
        return layout;
    layout.measured = true;
    layout.multiLine = wraps;
    layout.prefixes = (controlStyle & SS_NOPREFIX) == 0;
    layout.room = client;
    return layout;
}

TextLayout buttonLayout(HDC dc, LONG controlStyle, SIZE client) {
    TextLayout layout;
    layout.multiLine = (controlStyle & BS_MULTILINE) != 0;
    switch (controlStyle & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
        layout.measured = true;
        layout.room = {client.cx - 2 * kPushButtonMargin, client.cy - 2 * kPushButtonMargin};
        return layout;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE: {
        INT zeroWidth = 0;
        GetCharWidth32A(dc, '0', '0', &zeroWidth);
        const int square = MulDiv(kCheckBoxSquare, GetDeviceCaps(dc, LOGPIXELSX), 96);
        layout.measured = true;
        layout.room = {client.cx - square - zeroWidth / 2, client.cy};
        return layout;
    }
    default:
        return layout;
    }
}

// The size the text needs: its extent on one line, or the wrapped block's size.
SIZE neededSize(HDC dc, const std::string& text, const TextLayout& layout) {
    if (!layout.multiLine) {
        const std::string shown = layout.prefixes ? withoutPrefixMarks(text) : text;
        SIZE extent{};
        GetTextExtentPoint32A(dc, shown.c_str(), static_cast<int>(shown.size()), &extent);
        return extent;
    }
    RECT block{0, 0, layout.room.cx, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &block,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (layout.prefixes ? 0 : DT_NOPREFIX));
    return sizeOf(block);
}

void checkText(const Control& control, std::vector<LayoutFault>& faults) {
    const std::string name = className(control.window);
    if (name != "Static" && name != "Button")
        return;
    char text[1024] = {};
    GetWindowTextA(control.window, text, sizeof text);
    if (text[0] == '\0')
        return;
    RECT client{};
    GetClientRect(control.window, &client);
    support::WindowDC dc(control.window);
    auto font = reinterpret_cast<HFONT>(SendMessageA(control.window, WM_GETFONT, 0, 0));
    support::SelectedObject selected(dc.get(), font != nullptr ? static_cast<HGDIOBJ>(font)
                                                               : GetStockObject(SYSTEM_FONT));
    const LONG controlStyle = style(control.window);
    const TextLayout layout = name == "Static"
                                  ? staticLayout(controlStyle, sizeOf(client))
                                  : buttonLayout(dc.get(), controlStyle, sizeOf(client));
    if (!layout.measured)
        return;
    // A single line is cut by its width; a wrapped block by its height (a word longer than
    // the line makes it wider too).
    const SIZE needed = neededSize(dc.get(), text, layout);
    if (needed.cx > layout.room.cx || (layout.multiLine && needed.cy > layout.room.cy))
        faults.push_back({FaultKind::CutText, control.id, 0, needed, layout.room, {}, text});
}

void checkInsideParent(const Control& control, const RECT& client, int parentId,
                       std::vector<LayoutFault>& faults) {
    if (!contains(client, control.rect))
        faults.push_back({FaultKind::Outside,
                          control.id,
                          parentId,
                          sizeOf(control.rect),
                          sizeOf(client),
                          control.rect,
                          {}});
}

// A group box or frame may lie around a control; any other common area is an overlap.
void checkOverlap(const Control& control, const Control& other, std::vector<LayoutFault>& faults) {
    RECT common{};
    if (!IntersectRect(&common, &control.rect, &other.rect))
        return;
    if ((drawsAround(control.window) && contains(control.rect, other.rect)) ||
        (drawsAround(other.window) && contains(other.rect, control.rect)))
        return;
    faults.push_back({FaultKind::Overlap,
                      control.id,
                      other.id,
                      sizeOf(control.rect),
                      sizeOf(other.rect),
                      common,
                      {}});
}

void checkChildren(HWND parent, std::vector<LayoutFault>& faults) {
    RECT client{};
    GetClientRect(parent, &client);
    const int parentId = static_cast<short>(GetDlgCtrlID(parent));
    const std::vector<Control> children = visibleChildren(parent);
    for (size_t i = 0; i < children.size(); ++i) {
        checkInsideParent(children[i], client, parentId, faults);
        for (size_t j = i + 1; j < children.size(); ++j)
            checkOverlap(children[i], children[j], faults);
        checkText(children[i], faults);
        if (isDialog(children[i].window))
            checkChildren(children[i].window, faults);
    }
}

} // namespace

std::vector<LayoutFault> checkLayout(HWND window) {
    std::vector<LayoutFault> faults;
    checkChildren(window, faults);
    return faults;
}

std::string describe(const LayoutFault& fault) {
    char line[200];
    switch (fault.kind) {
    case FaultKind::Outside:
        std::snprintf(line, sizeof line,
                      "control %d: at (%ld,%ld) %ldx%ld pixels, reaches outside the %ldx%ld "
                      "client area of its parent (%d)",
                      fault.controlId, fault.rect.left, fault.rect.top, fault.needed.cx,
                      fault.needed.cy, fault.has.cx, fault.has.cy, fault.otherId);
        break;
    case FaultKind::Overlap:
        std::snprintf(line, sizeof line,
                      "control %d (%ldx%ld pixels) overlaps control %d (%ldx%ld) by %ldx%ld",
                      fault.controlId, fault.needed.cx, fault.needed.cy, fault.otherId,
                      fault.has.cx, fault.has.cy, fault.rect.right - fault.rect.left,
                      fault.rect.bottom - fault.rect.top);
        break;
    case FaultKind::CutText:
        std::snprintf(line, sizeof line,
                      "control %d: text \"%.40s\" needs %ldx%ld pixels, has %ldx%ld",
                      fault.controlId, fault.text.c_str(), fault.needed.cx, fault.needed.cy,
                      fault.has.cx, fault.has.cy);
        break;
    }
    return line;
}

} // namespace gallery
