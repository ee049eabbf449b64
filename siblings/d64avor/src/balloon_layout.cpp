#include "balloon_layout.h"

#include <algorithm>

namespace d64avor {

namespace {

using Metrics = BalloonMetrics;

bool isEmpty(SIZE size) {
    return size.cx == 0 && size.cy == 0;
}

RECT rectAt(int x, int y, SIZE size) {
    return RECT{x, y, x + size.cx, y + size.cy};
}

// The widths of the title row's parts with the gaps between those that are present.
int titleRowWidth(const BalloonContentSizes& sizes) {
    int width = 0;
    for (const SIZE& part : {sizes.icon, sizes.title, sizes.closeButton}) {
        if (isEmpty(part))
            continue;
        width += (width > 0 ? Metrics::gap : 0) + part.cx;
    }
    return width;
}

int titleRowHeight(const BalloonContentSizes& sizes) {
    return std::max({sizes.icon.cy, sizes.title.cy, sizes.closeButton.cy});
}

// The body's size: the title row above the content, both inside the margin, wide enough
// for the tail to sit clear of the rounded corners.
SIZE bodySize(const BalloonContentSizes& sizes) {
    const int rowHeight = titleRowHeight(sizes);
    const int innerWidth = std::max(titleRowWidth(sizes), static_cast<int>(sizes.content.cx));
    int innerHeight = rowHeight + static_cast<int>(sizes.content.cy);
    if (rowHeight > 0 && !isEmpty(sizes.content))
        innerHeight += Metrics::rowGap;
    const int minimumWidth = 2 * Metrics::tailOffset + Metrics::tailWidth;
    return SIZE{std::max(innerWidth + 2 * Metrics::margin, minimumWidth),
                innerHeight + 2 * Metrics::margin};
}

// Places the icon and the title from the left, the close button at the right, and the
// content under them.
void placeParts(const BalloonContentSizes& sizes, BalloonLayout* layout) {
    const int rowTop = layout->body.top + Metrics::margin;
    const int rowHeight = titleRowHeight(sizes);
    int x = layout->body.left + Metrics::margin;
    if (!isEmpty(sizes.icon)) {
        layout->icon = rectAt(x, rowTop + (rowHeight - sizes.icon.cy) / 2, sizes.icon);
        x = layout->icon.right + Metrics::gap;
    }
    if (!isEmpty(sizes.title))
        layout->title = rectAt(x, rowTop + (rowHeight - sizes.title.cy) / 2, sizes.title);
    if (!isEmpty(sizes.closeButton)) {
        const int closeLeft = layout->body.right - Metrics::margin - sizes.closeButton.cx;
        layout->closeButton = rectAt(closeLeft, rowTop, sizes.closeButton);
    }
    if (!isEmpty(sizes.content)) {
        const int contentTop = rowTop + rowHeight + (rowHeight > 0 ? Metrics::rowGap : 0);
        layout->content = rectAt(layout->body.left + Metrics::margin, contentTop, sizes.content);
    }
}

void placeTail(Quadrant quadrant, BalloonLayout* layout) {
    const bool top = isTopQuadrant(quadrant);
    // The tail sticks out of the body's edge that faces the anchor.
    const int baseY = top ? layout->body.bottom : layout->body.top;
    const int tipY = top ? layout->window.cy : 0;
    const int tipX =
        isLeftQuadrant(quadrant) ? layout->window.cx - Metrics::tailOffset : Metrics::tailOffset;
    // The base runs from the tip's column towards the body's middle.
    const int baseFarX =
        isLeftQuadrant(quadrant) ? tipX - Metrics::tailWidth : tipX + Metrics::tailWidth;
    layout->tail[0] = POINT{tipX, tipY};
    layout->tail[1] = POINT{tipX, baseY};
    layout->tail[2] = POINT{baseFarX, baseY};
}

} // namespace

BalloonLayout layOutBalloon(const BalloonContentSizes& sizes, Quadrant quadrant) {
    BalloonLayout layout;
    const SIZE body = bodySize(sizes);
    layout.window = SIZE{body.cx, body.cy + Metrics::tailHeight};
    const int bodyTop = isTopQuadrant(quadrant) ? 0 : Metrics::tailHeight;
    layout.body = rectAt(0, bodyTop, body);
    placeParts(sizes, &layout);
    placeTail(quadrant, &layout);
    return layout;
}

POINT anchorPoint(const RECT& anchor, Quadrant quadrant) {
    const int middle = anchor.left + (anchor.right - anchor.left) / 2;
    return POINT{middle, isTopQuadrant(quadrant) ? anchor.top : anchor.bottom};
}

RECT placeBalloon(const BalloonLayout& layout, POINT anchor) {
    const POINT tip = layout.tail[0];
    return rectAt(anchor.x - tip.x, anchor.y - tip.y, layout.window);
}

} // namespace d64avor
