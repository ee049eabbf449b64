// Owning handles of the user-interface objects tests create: windows made without the
// framework, and regions.
#pragma once

#include <windows.h>

#include <support/unique_resource.h>

namespace test_support {

struct WindowPolicy {
    static HWND invalidValue() noexcept { return nullptr; }
    static bool isValid(HWND window) noexcept { return window != nullptr; }
    static void close(HWND window) noexcept { DestroyWindow(window); }
};
// A window destroyed with its owner object.
using UniqueWindow = support::UniqueResource<HWND, WindowPolicy>;

struct RegionPolicy {
    static HRGN invalidValue() noexcept { return nullptr; }
    static bool isValid(HRGN region) noexcept { return region != nullptr; }
    static void close(HRGN region) noexcept { DeleteObject(region); }
};
using UniqueRegion = support::UniqueResource<HRGN, RegionPolicy>;

} // namespace test_support
