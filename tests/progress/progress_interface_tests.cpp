// The plain-function progress interface, its message pump and the shell state bracket.
#include "progress_test_support.h"

#include <test_host.h>
#include <ui_driver.h>
#include <x64TRSHELL.h>
#include <z64eveze.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <thread>

namespace {

using test_support::SettingsFile;

using progress_tests::kProbe;

// A window that counts the messages kProbe it receives, notes the shell's nesting
// depth meanwhile and, when asked, deletes the current progress box on the first.
struct Receiver {
    int received = 0;
    int shellDepth = -1;
    bool deleteBox = false;
    HMODULE shell = nullptr;
    HWND window = nullptr;

    Receiver() {
        window = CreateWindowExA(0, "Static", "receiver", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure));
    }
    ~Receiver() { DestroyWindow(window); }

    static LRESULT CALLBACK procedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Receiver*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        if (message != kProbe || self == nullptr)
            return DefWindowProcA(hWnd, message, wParam, lParam);
        ++self->received;
        if (self->shell != nullptr)
            self->shellDepth = progress_tests::shellCounts(self->shell).depth;
        if (self->deleteBox)
            ProgressDialogDelete();
        return 0;
    }
};

std::optional<MSG> takeQueued(UINT message) {
    MSG msg{};
    return PeekMessageA(&msg, nullptr, message, message, PM_REMOVE) ? std::optional(msg)
                                                                    : std::nullopt;
}

using ProgressInterfaceTest = progress_tests::ProgressTest;

TEST_F(ProgressInterfaceTest, PumpTakesOnlyMessagesBelowUserAndKeepsQuit) {
    Receiver receiver;
    PostMessageA(receiver.window, kProbe, 0, 0);
    PostMessageA(receiver.window, WM_USER, 0, 0);
    EXPECT_EQ(PeekMessageLoop(), 1);
    EXPECT_EQ(receiver.received, 1);
    EXPECT_TRUE(takeQueued(WM_USER));

    PostQuitMessage(7);
    PostMessageA(receiver.window, kProbe, 0, 0);
    EXPECT_EQ(PeekMessageLoop(), 1);
    const std::optional<MSG> quit = takeQueued(WM_QUIT);
    EXPECT_EQ(quit.value_or(MSG{}).wParam, 7u);
    test_host::pumpMessages();
}

TEST_F(ProgressInterfaceTest, PumpEndsWhenADispatchedMessageDeletesTheBox) {
    ProgressDialogInit("Pump", "deleting", 10);
    ASSERT_EQ(ProgressDialogExists(), 1);
    Receiver receiver;
    receiver.deleteBox = true;
    PostMessageA(receiver.window, kProbe, 0, 0);
    PostMessageA(receiver.window, kProbe, 0, 0);
    ProgressDialogPos(5);
    EXPECT_EQ(ProgressDialogExists(), 0);
    EXPECT_EQ(receiver.received, 1);
    EXPECT_TRUE(takeQueued(kProbe));
}

TEST_F(ProgressInterfaceTest, ShellBracketPairsItsCallsAroundThePump) {
    // clang-format off
    const struct { const char* label; const wchar_t* shellPath; /* null: not loaded */ long bracketsPerCall; } rows[] = {
        {"not loaded", nullptr, 0},
        {"loaded", L"x64TRSHELL.dll", 1},
        {"without restste", L"x64TRSHELL-variants\\no-restste\\x64TRSHELL.dll", 0},
        {"unloaded after use", nullptr, 0},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ASSERT_EQ(GetModuleHandleA("x64TRSHELL.dll"), nullptr);
        Receiver receiver;
        if (row.shellPath != nullptr)
            receiver.shell = LoadLibraryW(row.shellPath);
        ShellStateCounts before{};
        if (receiver.shell != nullptr)
            before = progress_tests::shellCounts(receiver.shell);
        PostMessageA(receiver.window, kProbe, 0, 0);
        PeekMessageLoop();
        EXPECT_EQ(receiver.received, 1);
        if (receiver.shell != nullptr) {
            const ShellStateCounts after = progress_tests::shellCounts(receiver.shell);
            const long n = row.bracketsPerCall; // saves, restores, depth after, depth meanwhile
            EXPECT_EQ(std::tuple(after.saves - before.saves, after.restores - before.restores,
                                 after.depth, long{receiver.shellDepth}),
                      std::tuple(n, n, 0L, n));
            FreeLibrary(receiver.shell);
        }
    }
}

TEST_F(ProgressInterfaceTest, CurrentBoxDisablesItsOwnerUntilDeleted) {
    // clang-format off
    const struct { const char* label; const char* cancelText; bool ownerEnabledBefore, hasCancel; } rows[] = {
        {"no cancel", nullptr, true, false},
        {"empty cancel text", "", true, false},
        {"cancel text", "Stop", true, true},
        {"owner disabled before", "Stop", false, true},
    };
    // clang-format on
    const HWND owner = test_host::application().mainWindow().m_hWnd;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        SetActiveWindow(owner);
        EnableWindow(owner, row.ownerEnabledBefore);
        ProgressDialogInitOverWrite("Working", "first", row.cancelText, 0);
        const HWND box = test_host::findDialog("Working");
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(IsWindowEnabled(owner));
        EXPECT_EQ(GetDlgItem(box, IDCANCEL) != nullptr, row.hasCancel);
        // Range 0 leaves the template's upper bound.
        EXPECT_EQ(SendDlgItemMessageA(box, 502, PBM_GETRANGE, FALSE, 0), 100);
        if (row.hasCancel) {
            EXPECT_EQ(test_host::windowText(GetDlgItem(box, IDCANCEL)), "Stop");
            SendMessageA(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
            EXPECT_EQ(ProgressCheckCancel(), 0);
            EXPECT_TRUE(IsWindowVisible(box));
        }
        // A second call reuses the box and resets it.
        ProgressDialogInit("Again", "second", 40);
        EXPECT_EQ(test_host::findDialog("Again"), box);
        EXPECT_EQ(ProgressCheckCancel(), 1);
        ProgressDialogPos(30);
        EXPECT_EQ(SendDlgItemMessageA(box, 502, PBM_GETPOS, 0, 0), 30);
        ProgressDialogDelta(-10);
        EXPECT_EQ(SendDlgItemMessageA(box, 502, PBM_GETPOS, 0, 0), 20);
        ProgressDialogDelete();
        EXPECT_FALSE(IsWindow(box));
        EXPECT_EQ(IsWindowEnabled(owner) != FALSE, row.ownerEnabledBefore);
        if (row.ownerEnabledBefore) {
            EXPECT_EQ(GetFocus(), owner);
        }
    }
}

// A box whose window is gone, a box off the application thread, a box switched off by the
// settings, and no box at all.
TEST_F(ProgressInterfaceTest, DeleteAndCreateKeepTheOwnerAndSlotSound) {
    const HWND owner = test_host::application().mainWindow().m_hWnd;
    EXPECT_EQ(ProgressCheckCancel(), 1); // nothing to cancel: the work goes on

    ProgressDialogInit("Closed", "by its close box", 10);
    const HWND box = test_host::findDialog("Closed");
    SendMessageA(box, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(ProgressCheckCancel(), 0);
    ProgressDialogDelete();
    EXPECT_EQ(ProgressDialogExists(), 0);
    EXPECT_TRUE(IsWindowEnabled(owner));

    ProgressDialogInit("Kept", "", 10);
    std::thread([] {
        ProgressDialogInit("Worker", "", 10);
        ProgressDialogDelete();
    }).join();
    EXPECT_EQ(ProgressDialogExists(), 1);
    {
        SettingsFile settings("[version]\r\nDisableProgressBar=1\r\n");
        ProgressDialogInit("Switched off", "", 10);
        EXPECT_EQ(ProgressDialogExists(), 1);
        EXPECT_EQ(test_host::findDialog("Switched off"), nullptr);
    }
    ProgressDialogDelete();
    EXPECT_TRUE(IsWindowEnabled(owner));

    std::thread([] { ProgressDialogInit("Worker", "", 10); }).join();
    EXPECT_EQ(ProgressDialogExists(), 0);
}

TEST_F(ProgressInterfaceTest, ClearForgetsTheBoxAndLeavesItsWindow) {
    ProgressDialogInit("Cleared", "", 10);
    const HWND box = test_host::findDialog("Cleared");
    ProgressDialogClear();
    EXPECT_EQ(ProgressDialogExists(), 0);
    EXPECT_TRUE(IsWindowVisible(box));
    auto* object = static_cast<CProgressBox*>(CWnd::FromHandlePermanent(box));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->IsFinished(), 1);
    delete object;
}

TEST_F(ProgressInterfaceTest, CallerSlotFollowsTheModes) {
    CProgressBox* slot = nullptr;
    QVProgressBox(0, &slot, 50, "Slot", "created");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(ProgressDialogExists(), 0);
    CProgressBox* const first = slot;
    QVProgressBox(0, &slot, 50, "Slot", "again");
    EXPECT_EQ(slot, first);
    slot->Cancel();
    QVProgressBox(1, &slot, 25, nullptr, "updated");
    EXPECT_EQ(slot->Cancelled(), 1);
    EXPECT_EQ(slot->SendDlgItemMessage(502, PBM_GETPOS), 25);
    EXPECT_EQ(test_host::windowText(slot->GetDlgItem(500)->m_hWnd), "updated");
    QVProgressBox(7, &slot, 0, nullptr, nullptr);
    EXPECT_EQ(slot, first);
    QVProgressBox(2, &slot, 0, nullptr, nullptr);
    EXPECT_EQ(slot, nullptr);
    EXPECT_TRUE(IsWindowEnabled(test_host::application().mainWindow().m_hWnd));

    slot = new CProgressBox; // never given a window
    QVProgressBox(2, &slot, 0, nullptr, nullptr);
    EXPECT_EQ(slot, nullptr);
    QVProgressBox(0, nullptr, 10, "null slot", nullptr);
    EXPECT_EQ(test_host::findDialog("null slot"), nullptr);
}

} // namespace
