// The layout check of a window: no control outside its parent's client area, no two
// visible controls on top of each other (except a group box or frame around its members),
// no text of a static, button or check box cut by its control. Texts are measured in the
// font each control really uses: GetTextExtentPoint32 for single-line controls, DrawText
// with DT_CALCRECT for multi-line ones. Hidden controls are not checked.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gallery {

enum class FaultKind { Outside, Overlap, CutText };

struct LayoutFault {
    FaultKind kind;
    int controlId;
    int otherId;      // the parent's id for Outside, the other control's for Overlap
    SIZE needed;      // the text's extent; the control's size (Outside, Overlap)
    SIZE has;         // the room the control gives the text; the parent's client size (Outside);
                      // the other control's size (Overlap)
    RECT rect;        // the control (Outside) or the common rectangle (Overlap), in the parent's
                      // client coordinates
    std::string text; // the cut text (CutText)
};

// Checks the visible controls of `window` and of the dialogs inside it.
std::vector<LayoutFault> checkLayout(HWND window);

// "control 1003: text needs 250x16 pixels, has 240x16", and so on.
std::string describe(const LayoutFault& fault);

} // namespace gallery
