// What the framework's source files share: the per-thread framework state (handle maps,
// the window-creation hook, the current message) and the framework module's handle.
#pragma once

#include <afxwin.h>

#include <support/unique_resource.h>

#include <unordered_map>

namespace z64mfc {

// One per thread, created on the thread's first use of the framework and destroyed when
// the thread ends.
struct ThreadState : public CNoTrackObject {
    ThreadState() = default;
    ThreadState(const ThreadState&) = delete;
    ThreadState& operator=(const ThreadState&) = delete;
    ~ThreadState() override;

    std::unordered_map<HWND, CWnd*> permanentWindows;
    std::unordered_map<HWND, CWnd*> temporaryWindows;
    std::unordered_map<HGDIOBJ, CGdiObject*> temporaryGdiObjects;
    std::unordered_map<HDC, CDC*> temporaryDCs;

    CWnd* windowBeingCreated = nullptr; // attached by the creation hook
    support::UniqueHook creationHook;
    MSG currentMessage{}; // the message the innermost framework window procedure handles
    CWinThread* currentThread = nullptr;
};

[[nodiscard]] ThreadState* threadState();

// The framework DLL's own module (its string table holds the framework's messages).
[[nodiscard]] HINSTANCE frameworkInstance();
void setFrameworkInstance(HINSTANCE instance);

// Releases every thread's per-thread data when the calling thread ends.
void releaseThreadData();

// The window procedure that subclassed windows are given.
LRESULT CALLBACK windowProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace z64mfc
