// Dialogs: modal and modeless, from a resource id, from a loaded template handle and from
// a template in memory; their owner; the ways a modal dialog ends.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "host_resources.h"
#include "test_host.h"
#include "ui_driver.h"
#include "window_test_support.h"

#include <functional>
#include <tuple>

namespace {

using test_host::clickButton;
using test_host::findDialog;

constexpr int kCustomResult = 42;
constexpr UINT kEndWithCustomResult = WM_APP + 20;

// Records what happened to it; a message ends it with a custom result.
class RecordingDialog : public CDialog {
public:
    explicit RecordingDialog(UINT id, CWnd* parent = nullptr) : CDialog(id, parent) {}
    // Without a template: for InitModalIndirect, Create and CreateIndirect.
    RecordingDialog() = default;

    int initialisations = 0;
    int oks = 0;
    int cancels = 0;

    BOOL OnInitDialog() override {
        ++initialisations;
        return CDialog::OnInitDialog();
    }

protected:
    void OnOK() override {
        ++oks;
        CDialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        CDialog::OnCancel();
    }
    afx_msg LRESULT OnEndWithCustomResult(WPARAM, LPARAM) {
        EndDialog(kCustomResult);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(RecordingDialog, CDialog)
ON_MESSAGE(kEndWithCustomResult, &RecordingDialog::OnEndWithCustomResult)
END_MESSAGE_MAP()

HGLOBAL loadTemplate(UINT id) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(id), RT_DIALOG);
    return resource != nullptr ? LoadResource(instance, resource) : nullptr;
}

// What DoModal answered, and from inside the running dialog: its owner, whether the owner
// and the main window were disabled.
using Observed = std::tuple<INT_PTR, HWND, bool, bool>;

// Runs the dialog modally while a step observes the window captioned "Host Plain" and then
// ends it with `finish`. Checks what holds for every modal dialog: the dialog object is the
// window's permanent object, and afterwards its window is gone and its owner and the main
// window are enabled again.
Observed runObserved(RecordingDialog& dialog, const std::function<void(HWND)>& finish) {
    HWND owner = nullptr;
    bool ownerEnabled = true, mainWindowEnabled = true, permanent = false;
    test_host::UiScript script;
    script.then([&] {
        HWND hWnd = findDialog("Host Plain");
        if (hWnd == nullptr)
            return false;
        owner = GetWindow(hWnd, GW_OWNER);
        ownerEnabled = IsWindowEnabled(owner) != FALSE;
        mainWindowEnabled = IsWindowEnabled(AfxGetMainWnd()->m_hWnd) != FALSE;
        permanent = CWnd::FromHandlePermanent(hWnd) == &dialog;
        finish(hWnd);
        return true;
    });
    const INT_PTR result = dialog.DoModal();
    EXPECT_TRUE(script.completed());
    EXPECT_TRUE(permanent);
    EXPECT_EQ(dialog.m_hWnd, nullptr) << "the window is gone after DoModal";
    EXPECT_TRUE(IsWindowEnabled(owner) && IsWindowEnabled(AfxGetMainWnd()->m_hWnd))
        << "enabled again afterwards";
    return {result, owner, ownerEnabled, mainWindowEnabled};
}

// How often the dialog was initialised, took OK and took Cancel.
std::tuple<int, int, int> handlerCalls(const RecordingDialog& dialog) {
    return {dialog.initialisations, dialog.oks, dialog.cancels};
}

// Ends a dialog with a click on one of its buttons.
std::function<void(HWND)> clicking(int button) {
    return [button](HWND hWnd) {
        clickButton(hWnd, button);
    };
}

// Without a parent the main window owns the dialog and is disabled while it runs.
TEST(ModalDialog, EndsTheWayItIsClosed) {
    // clang-format off
    struct Case { const char* label; std::function<void(HWND)> finish; INT_PTR expectedResult; int expectedOks; int expectedCancels; };
    const Case cases[] = {
        {"OK button", clicking(IDOK), IDOK, 1, 0},
        {"Cancel button", clicking(IDCANCEL), IDCANCEL, 0, 1},
        {"Escape key", [](HWND hWnd) { test_host::pressKey(GetDlgItem(hWnd, IDOK), VK_ESCAPE); }, IDCANCEL, 0, 1},
        {"closing the window", [](HWND hWnd) { PostMessageA(hWnd, WM_CLOSE, 0, 0); }, IDCANCEL, 0, 1},
        {"EndDialog with a custom result", [](HWND hWnd) { PostMessageA(hWnd, kEndWithCustomResult, 0, 0); }, kCustomResult, 0, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingDialog dialog(IDD_HOST_PLAIN);
        EXPECT_EQ(runObserved(dialog, c.finish),
                  Observed(c.expectedResult, AfxGetMainWnd()->m_hWnd, false, false));
        EXPECT_EQ(handlerCalls(dialog), std::tuple(1, c.expectedOks, c.expectedCancels));
    }
}

TEST(ModalDialog, WithoutParentTheActivePopupOfTheMainWindowOwnsIt) {
    RecordingDialog modeless;
    ASSERT_TRUE(modeless.Create(IDD_HOST_DATA));
    modeless.ShowWindow(SW_SHOW);
    modeless.SetActiveWindow();
    RecordingDialog dialog(IDD_HOST_PLAIN);
    // The owner's top-level window is disabled too.
    EXPECT_EQ(runObserved(dialog, clicking(IDOK)), Observed(IDOK, modeless.m_hWnd, false, false));
    modeless.DestroyWindow();
}

TEST(ModalDialog, AGivenParentOwnsItAndAChildParentIsReplacedByItsTopLevelWindow) {
    CWnd parent;
    ASSERT_TRUE(framework_tests::createPopup(parent, "parent"));
    CWnd child;
    ASSERT_TRUE(child.CreateEx(0, AfxRegisterWndClass(0), "child", WS_CHILD | WS_VISIBLE, 0, 0, 20,
                               20, parent.m_hWnd, nullptr));
    for (CWnd* given : {&parent, &child}) {
        SCOPED_TRACE(given == &parent ? "top-level parent" : "child window");
        RecordingDialog dialog(IDD_HOST_PLAIN, given);
        // The main window is not involved.
        EXPECT_EQ(runObserved(dialog, clicking(IDCANCEL)),
                  Observed(IDCANCEL, parent.m_hWnd, false, true));
    }
    parent.DestroyWindow();
}

TEST(ModalDialog, RunsFromATemplateHandleAndFromATemplateInMemory) {
    HGLOBAL handle = loadTemplate(IDD_HOST_PLAIN);
    ASSERT_NE(handle, nullptr);
    for (const bool fromPointer : {false, true}) {
        SCOPED_TRACE(fromPointer ? "template in memory" : "template handle");
        RecordingDialog dialog;
        ASSERT_TRUE(fromPointer ? dialog.InitModalIndirect(
                                      static_cast<LPCDLGTEMPLATEA>(LockResource(handle)))
                                : dialog.InitModalIndirect(handle));
        EXPECT_EQ(runObserved(dialog, clicking(IDOK)),
                  Observed(IDOK, AfxGetMainWnd()->m_hWnd, false, false));
        EXPECT_EQ(handlerCalls(dialog), std::tuple(1, 1, 0));
    }
}

TEST(ModalDialog, AMissingTemplateFailsWithoutAWindow) {
    RecordingDialog dialog(4242);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.initialisations, 0);
    EXPECT_TRUE(IsWindowEnabled(AfxGetMainWnd()->m_hWnd));
}

TEST(ModelessDialog, CreatesFromAnIdOrATemplateHandleOwnedByTheParent) {
    CWnd parent;
    ASSERT_TRUE(framework_tests::createPopup(parent, "parent"));
    // clang-format off
    struct Case { const char* label; bool fromHandle; CWnd* parent; HWND expectedOwner; };
    const Case cases[] = {
        {"id with a parent", false, &parent, parent.m_hWnd},
        {"id without parent", false, nullptr, AfxGetMainWnd()->m_hWnd},
        {"template handle with a parent", true, &parent, parent.m_hWnd},
        {"template handle without parent", true, nullptr, AfxGetMainWnd()->m_hWnd},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingDialog dialog;
        const BOOL created = c.fromHandle
                                 ? dialog.CreateIndirect(loadTemplate(IDD_HOST_PLAIN), c.parent)
                                 : dialog.Create(IDD_HOST_PLAIN, c.parent);
        ASSERT_TRUE(created);
        EXPECT_EQ(GetWindow(dialog.m_hWnd, GW_OWNER), c.expectedOwner);
        EXPECT_TRUE(parent.IsWindowEnabled()) << "a modeless dialog disables nothing";
        EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);
        // Escape reaches the object's OnCancel through PreTranslateMessage and the command.
        dialog.ShowWindow(SW_SHOW);
        test_host::pressKey(dialog.GetDlgItem(IDOK)->m_hWnd, VK_ESCAPE);
        test_host::pumpMessages();
        EXPECT_EQ(handlerCalls(dialog), std::tuple(1, 0, 1));
        HWND hWnd = dialog.m_hWnd;
        EXPECT_TRUE(dialog.DestroyWindow());
        EXPECT_FALSE(IsWindow(hWnd));
        EXPECT_EQ(dialog.m_hWnd, nullptr);
    }
    parent.DestroyWindow();
}

TEST(ModelessDialog, TheDestructorDestroysAWindowThatStillExists) {
    HWND hWnd = nullptr;
    {
        RecordingDialog dialog;
        ASSERT_TRUE(dialog.Create(IDD_HOST_PLAIN));
        hWnd = dialog.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(hWnd));
}

} // namespace
