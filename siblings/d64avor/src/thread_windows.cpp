#include "thread_windows.h"

#include <algorithm>

namespace d64avor {

namespace {

BOOL CALLBACK collectWindow(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

bool isModalWindow(HWND window) {
    if (!IsWindowVisible(window) || !IsWindowEnabled(window))
        return false;
    if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_NOACTIVATE)
        return false; // never takes the input, so it cannot be what the user must answer
    HWND owner = GetWindow(window, GW_OWNER);
    return owner != nullptr && !IsWindowEnabled(owner);
}

// The window and its descendants that belong to the calling thread.
std::vector<HWND> windowAndThreadDescendants(HWND window) {
    std::vector<HWND> windows{window};
    EnumChildWindows(window, &collectWindow, reinterpret_cast<LPARAM>(&windows));
    const DWORD thread = GetCurrentThreadId();
    std::erase_if(windows, [thread](HWND candidate) {
        return GetWindowThreadProcessId(candidate, nullptr) != thread;
    });
    return windows;
}

bool hasPendingPaint(HWND window) {
    return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

} // namespace

std::vector<HWND> threadTopLevelWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND findModalParent() {
    std::vector<HWND> modalWindows = threadTopLevelWindows();
    std::erase_if(modalWindows, [](HWND window) { return !isModalWindow(window); });
    if (modalWindows.empty())
        return nullptr;
    HWND active = GetActiveWindow();
    const bool activeIsModal =
        std::find(modalWindows.begin(), modalWindows.end(), active) != modalWindows.end();
    return GetWindow(activeIsModal ? active : modalWindows.front(), GW_OWNER);
}

int flushThreadWindowUpdates() {
    int repainted = 0;
    for (HWND topLevel : threadTopLevelWindows()) {
        if (!IsWindowVisible(topLevel))
            continue;
        // Parents come before their children, so a child paints over its parent. Only the
        // thread's own windows are painted: another thread's child paints on its thread.
        for (HWND window : windowAndThreadDescendants(topLevel)) {
            if (!hasPendingPaint(window))
                continue;
            UpdateWindow(window);
            ++repainted;
        }
    }
    return repainted;
}

} // namespace d64avor
