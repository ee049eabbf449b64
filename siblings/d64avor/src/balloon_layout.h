// The geometry of a balloon tip: a rounded body with the title row and the content, and a
// triangular tail whose tip touches the anchor point. Pure arithmetic on measured sizes.
#pragma once

#include <windows.h>

namespace d64avor {

enum class Quadrant { bottomRight, bottomLeft, topRight, topLeft };

[[nodiscard]] constexpr bool isTopQuadrant(Quadrant quadrant) {
    return quadrant == Quadrant::topRight || quadrant == Quadrant::topLeft;
}
[[nodiscard]] constexpr bool isLeftQuadrant(Quadrant quadrant) {
    return quadrant == Quadrant::bottomLeft || quadrant == Quadrant::topLeft;
}

// What the body holds, measured in pixels.
struct BalloonContentSizes {
    SIZE icon{};        // zero when there is no icon
    SIZE title{};       // zero when there is no title
    SIZE content{};     // zero when there is no content
    SIZE closeButton{}; // zero when there is no close button
};

// Where everything lies, in the balloon window's client coordinates.
struct BalloonLayout {
    SIZE window{};
    RECT body{};
    POINT tail[3]{}; // tip first, then the two corners of the base on the body's edge
    RECT icon{};
    RECT title{};
    RECT content{};
    RECT closeButton{};
};

struct BalloonMetrics {
    static constexpr int margin = 8; // between the body's edge and what it holds
    static constexpr int gap = 6;    // between the icon, the title and the close button
    static constexpr int rowGap = 4; // between the title row and the content
    static constexpr int tailHeight = 16;
    static constexpr int tailWidth = 16;  // along the body's edge
    static constexpr int tailOffset = 16; // from the body's near corner to the tip
    static constexpr int cornerDiameter = 12;
    static constexpr int maximumContentWidth = 320; // longer content wraps
};

[[nodiscard]] BalloonLayout layOutBalloon(const BalloonContentSizes& sizes, Quadrant quadrant);

// The point of the anchor rectangle the tail points at.
[[nodiscard]] POINT anchorPoint(const RECT& anchor, Quadrant quadrant);

// The balloon window's rectangle on the screen when its tail points at `anchor`.
[[nodiscard]] RECT placeBalloon(const BalloonLayout& layout, POINT anchor);

} // namespace d64avor
