// Painting of the micro-scroll control: a framed face, a divider, a raised or pressed box
// for each arrow, and the arrows as filled triangles (or etched strokes when disabled).
#include "micro_scroll.h"

#include <support/gdi_resources.h>

#include <array>

namespace z64::dialogs {
namespace {

using support::SelectedObject;
using support::UniqueBrush;
using support::UniquePen;

// The system colour behind each slot while it holds kScrollDefaultColour.
constexpr std::array<int, kScrollColourSlots> kDefaultSystemColours = {
    COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_WINDOWFRAME};

struct Palette {
    std::array<COLORREF, kScrollColourSlots> colours;
    std::array<UniquePen, kScrollColourSlots> pens;
    UniqueBrush face;
    UniqueBrush arrow;
};

Palette makePalette(const MICROSCROLLDATA& data) {
    Palette palette;
    for (int slot = 0; slot < kScrollColourSlots; ++slot) {
        const COLORREF colour = data.rgColor[slot];
        palette.colours[slot] =
            colour == kScrollDefaultColour ? GetSysColor(kDefaultSystemColours[slot]) : colour;
        palette.pens[slot].reset(CreatePen(PS_SOLID, 1, palette.colours[slot]));
    }
    palette.face.reset(CreateSolidBrush(palette.colours[MSCC_FACE]));
    palette.arrow.reset(CreateSolidBrush(palette.colours[MSCC_ARROW]));
    return palette;
}

void line(HDC dc, POINT from, POINT to) {
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

void polyline(HDC dc, POINT from, POINT middle, POINT to) {
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, middle.x, middle.y);
    LineTo(dc, to.x, to.y);
}

void drawBoxEdges(HDC dc, const Palette& palette, RECT box, bool pressed) {
    const auto [x1, y1, x2, y2] = box;
    SelectedObject shadow(dc, palette.pens[MSCC_SHADOW].get());
    if (pressed) {
        polyline(dc, {x1 + 1, y2 - 1}, {x1 + 1, y1 + 1}, {x2, y1 + 1});
        return;
    }
    polyline(dc, {x1 + 1, y2 - 1}, {x2 - 1, y2 - 1}, {x2 - 1, y1});
    polyline(dc, {x1 + 2, y2 - 2}, {x2 - 2, y2 - 2}, {x2 - 2, y1 + 1});
    SelectedObject highlight(dc, palette.pens[MSCC_HIGHLIGHT].get());
    polyline(dc, {x1 + 1, y2 - 2}, {x1 + 1, y1 + 1}, {x2 - 1, y1 + 1});
}

// Positions across (c) and along the arrows (q, m), in the control's orientation.
struct ArrowGeometry {
    bool vertical;
    int c, q, m;
    // A point given as (along, across) in the control's own axes.
    [[nodiscard]] POINT at(int along, int across) const {
        return vertical ? POINT{across, along} : POINT{along, across};
    }
};

void drawEnabledArrows(HDC dc, const Palette& palette, const ArrowGeometry& g, int p1, int p2) {
    SelectedObject brush(dc, palette.arrow.get());
    // Horizontal arrows list their corners in the opposite turn; the shape is the same.
    const int side = g.vertical ? 1 : -1;
    POINT first[3] = {g.at(g.q - 2, g.c), g.at(g.q + 1, g.c - 3 * side),
                      g.at(g.q + 1, g.c + 3 * side)};
    POINT second[3] = {g.at(g.m + 1, g.c), g.at(g.m - 2, g.c - 3 * side),
                       g.at(g.m - 2, g.c + 3 * side)};
    for (POINT& point : first)
        point = POINT{point.x + p1, point.y + p1};
    for (POINT& point : second)
        point = POINT{point.x + p2, point.y + p2};
    Polygon(dc, first, 3);
    Polygon(dc, second, 3);
}

void drawDisabledArrows(HDC dc, const Palette& palette, const ArrowGeometry& g) {
    if (g.vertical) {
        line(dc, {g.c, g.q - 2}, {g.c - 3, g.q + 1});
        line(dc, {g.c - 3, g.m - 2}, {g.c + 3, g.m - 2});
        SelectedObject highlight(dc, palette.pens[MSCC_HIGHLIGHT].get());
        line(dc, {g.c - 3, g.q + 1}, {g.c + 3, g.q + 1});
        line(dc, {g.c + 3, g.m - 2}, {g.c, g.m + 1});
        SetPixel(dc, g.c, g.m + 1, palette.colours[MSCC_HIGHLIGHT]);
        return;
    }
    line(dc, {g.q - 2, g.c}, {g.q + 1, g.c - 3});
    line(dc, {g.m - 2, g.c - 3}, {g.m - 2, g.c + 3});
    SelectedObject highlight(dc, palette.pens[MSCC_HIGHLIGHT].get());
    line(dc, {g.q + 1, g.c - 3}, {g.q + 1, g.c + 3});
    line(dc, {g.m + 1, g.c}, {g.m - 2, g.c + 3});
}

} // namespace

void paintMicroScroll(HWND window, const MICROSCROLLDATA& data) {
    // The pens and brushes outlive the paint context: they are deleted after EndPaint.
    const Palette palette = makePalette(data);
    support::PaintDC paint(window);
    HDC dc = paint.get();
    RECT client{};
    GetClientRect(window, &client);
    const int w = client.right, h = client.bottom;
    const bool vertical = isVertical(data);
    const bool outside = (data.wState & kScrollPointerOutside) != 0;
    const int p1 = (data.wState & kScrollFirstHeld) != 0 && !outside ? 1 : 0;
    const int p2 = (data.wState & kScrollSecondHeld) != 0 && !outside ? 1 : 0;

    SelectedObject faceBrush(dc, palette.face.get());
    SelectedObject framePen(dc, palette.pens[MSCC_FRAME].get());
    Rectangle(dc, 0, 0, w, h);
    if (vertical) {
        line(dc, {0, h >> 1}, {w, h >> 1});
        drawBoxEdges(dc, palette, {0, 0, w - 1, h >> 1}, p1 != 0);
        drawBoxEdges(dc, palette, {0, h >> 1, w - 1, h - 1}, p2 != 0);
    } else {
        line(dc, {w >> 1, 0}, {w >> 1, h});
        drawBoxEdges(dc, palette, {0, 0, w >> 1, h - 1}, p1 != 0);
        drawBoxEdges(dc, palette, {w >> 1, 0, w - 1, h - 1}, p2 != 0);
    }

    const ArrowGeometry geometry = vertical
                                       ? ArrowGeometry{true, w >> 1, h >> 2, (h >> 1) + (h >> 2)}
                                       : ArrowGeometry{false, h >> 1, w >> 2, (w >> 1) + (w >> 2)};
    SelectedObject arrowPen(dc, palette.pens[MSCC_ARROW].get());
    if ((data.wState & kScrollDisabled) != 0)
        drawDisabledArrows(dc, palette, geometry);
    else
        drawEnabledArrows(dc, palette, geometry, p1, p2);
}

} // namespace z64::dialogs
