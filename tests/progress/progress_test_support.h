// What the progress tests share: the library's templates, a watchdog for every test that
// opens windows, the host's dock frame and the settings file.
#pragma once

#include "test_support.h"

#include <test_host.h>
#include <ui_driver.h>

#include <d64avor.h>
#include <x64TRSHELL.h>
#include <gtest/gtest.h>
#include <z64eveze.h>

#include <memory>
#include <string>

namespace progress_tests {

inline constexpr unsigned int kWithCancel = 206;
inline constexpr unsigned int kWithoutCancel = 234;
// The last message number the library's pump takes.
inline constexpr UINT kProbe = WM_USER - 1;

// Whether a posted probe was pumped away by the call.
template <typename Call>
bool pumps(Call call) {
    PostThreadMessageA(GetCurrentThreadId(), kProbe, 0, 0);
    call();
    MSG msg{};
    return PeekMessageA(&msg, nullptr, kProbe, kProbe, PM_REMOVE) == FALSE;
}

// The fixture of tests that open progress boxes: a script without steps as the watchdog
// (it fails the test and closes what is left open when the test hangs in a window), and
// afterwards no current box and the main window enabled again.
class ProgressTest : public ::testing::Test {
protected:
    void TearDown() override {
        ProgressDialogDelete();
        EXPECT_EQ(ProgressDialogExists(), 0);
        EnableWindow(test_host::application().mainWindow().m_hWnd, TRUE);
    }
    test_host::UiScript watchdog_;
};

// A dock frame of the test host for one test.
class DockFrame {
public:
    DockFrame() {
        const RECT rect{0, 0, 400, 300};
        frame_.CreateFrame("Dock frame", rect);
    }
    ~DockFrame() { frame_.DestroyWindow(); }
    CProcessDockFrame* operator->() { return &frame_; }

private:
    CProcessDockFrame frame_;
};

// The stand-in shell's counts, read through its test-only entry.
inline ShellStateCounts shellCounts(HMODULE shell) {
    ShellStateCounts counts{};
    if (auto read = reinterpret_cast<GetShellStateCountsFunction>(reinterpret_cast<void*>(
            GetProcAddress(shell, MAKEINTRESOURCEA(kShellStateCountsOrdinal)))))
        read(&counts);
    return counts;
}

} // namespace progress_tests
