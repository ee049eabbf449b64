// Owning types for the GDI objects, device contexts and windows the library makes.
#pragma once

#include <windows.h>

#include <support/unique_resource.h>

namespace d64avor {

template <typename Object>
struct GdiObjectPolicy {
    static Object invalidValue() noexcept { return nullptr; }
    static bool isValid(Object object) noexcept { return object != nullptr; }
    static void close(Object object) noexcept { DeleteObject(object); }
};

using UniqueFont = support::UniqueResource<HFONT, GdiObjectPolicy<HFONT>>;
using UniqueRegion = support::UniqueResource<HRGN, GdiObjectPolicy<HRGN>>;
using UniqueBrush = support::UniqueResource<HBRUSH, GdiObjectPolicy<HBRUSH>>;
using UniquePen = support::UniqueResource<HPEN, GdiObjectPolicy<HPEN>>;

struct WindowPolicy {
    static HWND invalidValue() noexcept { return nullptr; }
    static bool isValid(HWND window) noexcept { return window != nullptr; }
    static void close(HWND window) noexcept { DestroyWindow(window); }
};
using UniqueWindow = support::UniqueResource<HWND, WindowPolicy>;

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

// A window's client-area context: GetDC when made, ReleaseDC when destroyed.
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

} // namespace d64avor
