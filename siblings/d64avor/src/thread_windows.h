// The calling thread's windows: which owner a running modal window has, and repainting
// what is pending.
#pragma once

#include <windows.h>

#include <vector>

namespace d64avor {

// The thread's top-level windows, in the order the system lists them.
[[nodiscard]] std::vector<HWND> threadTopLevelWindows();

// The owner of the modal window running on the calling thread, or null (the rule is
// GetModalParent's).
[[nodiscard]] HWND findModalParent();

// Repaints now what is pending in the thread's visible windows; answers how many of the
// thread's windows had something to repaint.
int flushThreadWindowUpdates();

} // namespace d64avor
