// Dialogs: modal and modeless, from a resource id, from a loaded template handle and from
// a template in memory; their owner; the ways a modal dialog ends.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "host_resources.h"
#include "test_host.h"
#include "ui_driver.h"
#include "window_test_support.h"

#include <functional>
#include <utility>

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

// What a running modal dialog looked like from inside.
struct ModalObservation {
    bool seen = false;
    HWND owner = nullptr;
    bool mainWindowEnabled = true;
    bool ownerEnabled = true;
    bool dialogIsPermanent = false;
};

// Runs the dialog modally while a step observes the window captioned "Host Plain" and then
// ends it with `finish`; answers what DoModal answered.
INT_PTR runObserved(RecordingDialog& dialog, ModalObservation& observation,
                    const std::function<void(HWND)>& finish) {
    test_host::UiScript script;
    script.then([&] {
        HWND hWnd = findDialog("Host Plain");
        if (hWnd == nullptr)
            return false;
        observation.seen = true;
        observation.owner = GetWindow(hWnd, GW_OWNER);
        observation.mainWindowEnabled = IsWindowEnabled(AfxGetMainWnd()->m_hWnd) != FALSE;
        observation.ownerEnabled = IsWindowEnabled(observation.owner) != FALSE;
        observation.dialogIsPermanent = CWnd::FromHandlePermanent(hWnd) == &dialog;
        finish(hWnd);
        return true;
    });
    const INT_PTR result = dialog.DoModal();
    EXPECT_TRUE(script.completed());
    return result;
}

// The ways the tests end a dialog.
void clickOk(HWND hWnd) {
    clickButton(hWnd, IDOK);
}
void clickCancel(HWND hWnd) {
    clickButton(hWnd, IDCANCEL);
}

// Without a parent the main window owns the dialog and is disabled while it runs.
TEST(ModalDialog, EndsTheWayItIsClosed) {
    // clang-format off
    struct Case { const char* label; std::function<void(HWND)> finish; INT_PTR expectedResult; int expectedOks; int expectedCancels; };
    const Case cases[] = {
        {"OK button", clickOk, IDOK, 1, 0},
        {"Cancel button", clickCancel, IDCANCEL, 0, 1},
        {"Escape key", [](HWND hWnd) { test_host::pressKey(GetDlgItem(hWnd, IDOK), VK_ESCAPE); }, IDCANCEL, 0, 1},
        {"closing the window", [](HWND hWnd) { PostMessageA(hWnd, WM_CLOSE, 0, 0); }, IDCANCEL, 0, 1},
        {"EndDialog with a custom result", [](HWND hWnd) { PostMessageA(hWnd, kEndWithCustomResult, 0, 0); }, kCustomResult, 0, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingDialog dialog(IDD_HOST_PLAIN);
        ModalObservation observation;
        EXPECT_EQ(runObserved(dialog, observation, c.finish), c.expectedResult);
        ASSERT_TRUE(observation.seen);
        EXPECT_TRUE(observation.dialogIsPermanent);
        EXPECT_EQ(observation.owner, AfxGetMainWnd()->m_hWnd);
        EXPECT_FALSE(observation.mainWindowEnabled);
        EXPECT_TRUE(IsWindowEnabled(AfxGetMainWnd()->m_hWnd)) << "enabled again afterwards";
        EXPECT_EQ(dialog.initialisations, 1);
        EXPECT_EQ(dialog.oks, c.expectedOks);
        EXPECT_EQ(dialog.cancels, c.expectedCancels);
        EXPECT_EQ(dialog.m_hWnd, nullptr) << "the window is gone after DoModal";
    }
}

TEST(ModalDialog, WithoutParentTheActivePopupOfTheMainWindowOwnsIt) {
    RecordingDialog modeless;
    ASSERT_TRUE(modeless.Create(IDD_HOST_DATA));
    modeless.ShowWindow(SW_SHOW);
    modeless.SetActiveWindow();
    RecordingDialog dialog(IDD_HOST_PLAIN);
    ModalObservation observation;
    EXPECT_EQ(runObserved(dialog, observation, clickOk), IDOK);
    EXPECT_EQ(observation.owner, modeless.m_hWnd);
    EXPECT_FALSE(observation.ownerEnabled);
    EXPECT_FALSE(observation.mainWindowEnabled) << "the owner's top-level window too";
    EXPECT_TRUE(modeless.IsWindowEnabled());
    EXPECT_TRUE(IsWindowEnabled(AfxGetMainWnd()->m_hWnd));
    modeless.DestroyWindow();
}

TEST(ModalDialog, AGivenParentOwnsItAndAChildParentIsReplacedByItsTopLevelWindow) {
    CWnd parent;
    ASSERT_TRUE(framework_tests::createPopup(parent, "parent"));
    CWnd child;
    ASSERT_TRUE(child.CreateEx(0, AfxRegisterWndClass(0), "child", WS_CHILD | WS_VISIBLE, 0, 0, 20,
                               20, parent.m_hWnd, nullptr));
    // clang-format off
    struct Case { const char* label; CWnd* given; };
    const Case cases[] = {{"top-level parent", &parent}, {"child window", &child}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingDialog dialog(IDD_HOST_PLAIN, c.given);
        ModalObservation observation;
        EXPECT_EQ(runObserved(dialog, observation, clickCancel), IDCANCEL);
        EXPECT_EQ(observation.owner, parent.m_hWnd);
        EXPECT_FALSE(observation.ownerEnabled);
        EXPECT_TRUE(observation.mainWindowEnabled) << "the main window is not involved";
        EXPECT_TRUE(parent.IsWindowEnabled());
    }
    parent.DestroyWindow();
}

TEST(ModalDialog, RunsFromATemplateHandleAndFromATemplateInMemory) {
    HGLOBAL handle = loadTemplate(IDD_HOST_PLAIN);
    ASSERT_NE(handle, nullptr);
    for (const auto& [label, fromPointer] :
         {std::pair{"template handle", false}, std::pair{"template in memory", true}}) {
        SCOPED_TRACE(label);
        RecordingDialog dialog;
        if (fromPointer)
            ASSERT_TRUE(
                dialog.InitModalIndirect(static_cast<LPCDLGTEMPLATEA>(LockResource(handle))));
        else
            ASSERT_TRUE(dialog.InitModalIndirect(handle));
        ModalObservation observation;
        EXPECT_EQ(runObserved(dialog, observation, clickOk), IDOK);
        EXPECT_EQ(observation.owner, AfxGetMainWnd()->m_hWnd);
        EXPECT_EQ(dialog.initialisations, 1);
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
        EXPECT_EQ(dialog.initialisations, 1);
        EXPECT_EQ(GetWindow(dialog.m_hWnd, GW_OWNER), c.expectedOwner);
        EXPECT_TRUE(parent.IsWindowEnabled()) << "a modeless dialog disables nothing";
        EXPECT_EQ(CWnd::FromHandlePermanent(dialog.m_hWnd), &dialog);
        // The buttons reach the object's virtual handlers.
        SendMessageA(dialog.m_hWnd, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(dialog.cancels, 1);
        HWND hWnd = dialog.m_hWnd;
        EXPECT_TRUE(dialog.DestroyWindow());
        EXPECT_FALSE(IsWindow(hWnd));
        EXPECT_EQ(dialog.m_hWnd, nullptr);
    }
    parent.DestroyWindow();
}

TEST(ModelessDialog, EscapeReachesOnCancelThroughPreTranslateMessage) {
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_HOST_PLAIN));
    dialog.ShowWindow(SW_SHOW);
    test_host::pressKey(dialog.GetDlgItem(IDOK)->m_hWnd, VK_ESCAPE);
    test_host::pumpMessages();
    EXPECT_EQ(dialog.cancels, 1);
    dialog.DestroyWindow();
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
