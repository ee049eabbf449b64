// Helpers of the user-interface tests of d64avor.dll: finding balloons, running the
// thread's messages for a while or until something happened, and owning test windows.
#pragma once

#include <windows.h>

#include <d64avor.h>
#include <unique_window.h>

#include <functional>
#include <string>
#include <vector>

namespace d64avor_tests {

using test_support::UniqueRegion;
using test_support::UniqueWindow;

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
