// GetModalParent: the owner of the modal window running on the thread, asked from inside
// the modal loops of message boxes, dialog boxes (nested too) and framework dialogs, and
// after they end.
#include "ui_helpers.h"

#include <gtest/gtest.h>
#include <host_resources.h>
#include <support/scope_exit.h>
#include <test_host.h>
#include <ui_driver.h>

#include <functional>
#include <vector>

namespace {

constexpr UINT_PTR kAskTimer = 1;
constexpr UINT kAskTickMilliseconds = 10;
// What GetModalParent answered before it was asked.
const HWND kNotAsked = reinterpret_cast<HWND>(static_cast<INT_PTR>(-1));

HWND modalParentWindow() {
    return GetModalParent()->GetSafeHwnd();
}

HWND mainWindow() {
    return test_host::application().mainWindow().GetSafeHwnd();
}

// Dialog boxes opened one inside the other's modal loop, each owned by the one before (the
// first by `firstOwner`); the innermost asks GetModalParent, then all of them close.
struct ModalChain {
    size_t depth = 1;
    HWND firstOwner = nullptr;
    std::vector<HWND> dialogs;
    HWND answer = kNotAsked;
};

thread_local ModalChain* t_chain = nullptr;

INT_PTR runChainDialog(HWND owner);

INT_PTR CALLBACK chainDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        t_chain->dialogs.push_back(dialog);
        SetTimer(dialog, kAskTimer, kAskTickMilliseconds, nullptr);
        return TRUE;
    case WM_TIMER:
        // Asked from the modal loop once it has shown the box (it does so when idle).
        if (!IsWindowVisible(dialog))
            return TRUE;
        KillTimer(dialog, kAskTimer);
        if (t_chain->dialogs.size() < t_chain->depth)
            runChainDialog(dialog);
        else
            t_chain->answer = modalParentWindow();
        EndDialog(dialog, IDOK);
        return TRUE;
    case WM_COMMAND: // the watchdog's IDCANCEL
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR runChainDialog(HWND owner) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HOST_PLAIN), owner,
                           &chainDialogProcedure, 0);
}

TEST(GetModalParent, AnswersTheOwnerOfTheInnermostModalDialog) {
    // clang-format off
    const struct { const char* label; size_t depth; bool ownedByMainWindow; } cases[] = {
        {"owned by the main window", 1, true}, {"nested twice", 2, true},
        {"nested three times", 3, true}, {"without an owner", 1, false}};
    // clang-format on
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        ModalChain chain;
        chain.depth = row.depth;
        chain.firstOwner = row.ownedByMainWindow ? mainWindow() : nullptr;
        t_chain = &chain;
        test_host::UiScript watchdog; // closes the dialogs if they never close themselves
        EXPECT_EQ(runChainDialog(chain.firstOwner), IDOK);
        t_chain = nullptr;
        ASSERT_EQ(chain.dialogs.size(), row.depth);
        EXPECT_EQ(chain.answer, row.depth == 1 ? chain.firstOwner : chain.dialogs[row.depth - 2]);
        EXPECT_EQ(modalParentWindow(), nullptr) << "after the dialogs closed";
    }
}

// GetModalParent asked from inside the modal loop of a message box and of a framework
// dialog: the main window's permanent object, or the dialog's parent.
TEST(GetModalParent, AnswersTheOwnerWhileAMessageBoxOrAFrameworkDialogRuns) {
    CWnd* const main = &test_host::application().mainWindow();
    CDialog dialog(IDD_HOST_PLAIN, main);
    // clang-format off
    const struct { const char* label; const char* caption; int button; std::function<void()> run; } cases[] = {
        {"message box", "Modal question", IDOK, [] { MessageBoxA(mainWindow(), "Post the journal?", "Modal question", MB_OK); }},
        {"framework dialog", "Host Plain", IDCANCEL, [&] { EXPECT_EQ(dialog.DoModal(), IDCANCEL); }},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CWnd* answer = nullptr;
        test_host::UiScript script;
        script.then([&] {
            HWND box = test_host::findDialog(c.caption);
            if (box == nullptr)
                return false;
            answer = GetModalParent();
            test_host::clickButton(box, c.button);
            return true;
        });
        c.run();
        EXPECT_TRUE(script.completed());
        EXPECT_EQ(answer, main);
        EXPECT_EQ(GetModalParent(), nullptr);
    }
}

// A box the application shows modeless while it keeps the owner disabled (as the
// progress boxes do) is modal user interface too.
TEST(GetModalParent, AnswersTheDisabledOwnerOfAModelessBox) {
    d64avor_tests::UniqueWindow box(CreateDialogParamA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HOST_PLAIN), mainWindow(), nullptr, 0));
    ASSERT_TRUE(box);
    ShowWindow(box.get(), SW_SHOW);
    EXPECT_EQ(modalParentWindow(), nullptr) << "the owner is still enabled";
    EnableWindow(mainWindow(), FALSE);
    support::ScopeExit enable([] { EnableWindow(mainWindow(), TRUE); });
    EXPECT_EQ(modalParentWindow(), mainWindow());
    ShowWindow(box.get(), SW_HIDE);
    EXPECT_EQ(modalParentWindow(), nullptr) << "a hidden box asks nothing of the user";
}

TEST(GetModalParent, IsNotMisledByABalloonOfADisabledWindow) {
    EnableWindow(mainWindow(), FALSE);
    support::ScopeExit enable([] {
        EnableWindow(mainWindow(), TRUE);
        d64avor_tests::destroyBalloons();
    });
    const RECT anchor{10, 10, 20, 20};
    CBalloonHelp::LaunchBalloon("Note", "text", &anchor, nullptr, 0,
                                &test_host::application().mainWindow(), nullptr, 0, nullptr, 0, 0);
    ASSERT_NE(d64avor_tests::findBalloon(), nullptr);
    EXPECT_EQ(modalParentWindow(), nullptr);
}

} // namespace
