// The micro-scroll control's parts that are shared between its window procedure and its
// painting.
#pragma once

#include <z64eveze.h>

namespace z64::dialogs {

// Flags of MICROSCROLLDATA::wState.
inline constexpr WORD kScrollDisabled = 0x0001;
inline constexpr WORD kScrollPointerOutside = 0x0004;
inline constexpr WORD kScrollFirstHeld = 0x0008;
inline constexpr WORD kScrollSecondHeld = 0x0010;

inline constexpr int kScrollColourSlots = 5;
inline constexpr COLORREF kScrollDefaultColour = 0xFFFFFFFF;

[[nodiscard]] inline bool isVertical(const MICROSCROLLDATA& data) {
    return (data.dwStyle & MSCS_VERTICAL) != 0;
}

// Draws the whole control for WM_PAINT.
void paintMicroScroll(HWND window, const MICROSCROLLDATA& data);

} // namespace z64::dialogs
