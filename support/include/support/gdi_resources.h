// Owning types for GDI objects and device contexts.
//
//   UniquePen pen(CreatePen(PS_SOLID, 1, colour));   // deleted with its owner
//   PaintDC paint(window);                          // BeginPaint ... EndPaint
//   SelectedObject selected(paint.get(), pen.get()); // the previous pen comes back
//
// Declare an owner before the SelectedObject that selects it, so that the object is out of
// the device context again before it is deleted.
#pragma once

#include <windows.h>

#include <support/unique_resource.h>

namespace support {

template <typename Object>
struct GdiObjectPolicy {
    static Object invalidValue() noexcept { return nullptr; }
    static bool isValid(Object object) noexcept { return object != nullptr; }
    static void close(Object object) noexcept { DeleteObject(object); }
};

using UniqueFont = UniqueResource<HFONT, GdiObjectPolicy<HFONT>>;
using UniqueRegion = UniqueResource<HRGN, GdiObjectPolicy<HRGN>>;
using UniqueBrush = UniqueResource<HBRUSH, GdiObjectPolicy<HBRUSH>>;
using UniquePen = UniqueResource<HPEN, GdiObjectPolicy<HPEN>>;
using UniqueBitmap = UniqueResource<HBITMAP, GdiObjectPolicy<HBITMAP>>;

// A memory device context made with CreateCompatibleDC.
struct MemoryDCPolicy {
    static HDC invalidValue() noexcept { return nullptr; }
    static bool isValid(HDC dc) noexcept { return dc != nullptr; }
    static void close(HDC dc) noexcept { DeleteDC(dc); }
};
using UniqueMemoryDC = UniqueResource<HDC, MemoryDCPolicy>;

// The device context of one WM_PAINT: BeginPaint when made, EndPaint when destroyed.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { EndPaint(window_, &paint_); }

    [[nodiscard]] HDC get() const noexcept { return dc_; }
    [[nodiscard]] const PAINTSTRUCT& paint() const noexcept { return paint_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A window's client-area context (the screen's for a null window): GetDC when made,
// ReleaseDC when destroyed.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
    }

    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back at the end.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

} // namespace support
