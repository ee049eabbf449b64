// Helpers of the user-interface tests of d64avor.dll: finding balloons, running the
// thread's messages for a while or until something happened, and owning test windows.
#pragma once

#include <windows.h>

#include <d64avor.h>
#include <support/unique_resource.h>

#include <functional>
#include <string>
#include <vector>

namespace d64avor_tests {

struct WindowPolicy {
    static HWND invalidValue() noexcept { return nullptr; }
    static bool isValid(HWND window) noexcept { return window != nullptr; }
    static void close(HWND window) noexcept { DestroyWindow(window); }
};
using UniqueWindow = support::UniqueResource<HWND, WindowPolicy>;

struct RegionPolicy {
    static HRGN invalidValue() noexcept { return nullptr; }
    static bool isValid(HRGN region) noexcept { return region != nullptr; }
    static void close(HRGN region) noexcept { DeleteObject(region); }
};
using UniqueRegion = support::UniqueResource<HRGN, RegionPolicy>;

// The balloons of the calling thread.
std::vector<HWND> threadBalloons();
// The thread's only balloon, or null (a failure is reported when there are several).
HWND findBalloon();
// Destroys every balloon of the thread (used at the end of each balloon test).
void destroyBalloons();

std::wstring windowTextOf(HWND window);
std::wstring balloonContent(HWND balloon);

// Runs the thread's messages until `done` answers true or the time is up; answers whether
// `done` became true. This is the watchdog of the tests that wait for a window to go.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMilliseconds = 5000);
// Runs the thread's messages for that long.
void pumpFor(DWORD milliseconds);

} // namespace d64avor_tests
