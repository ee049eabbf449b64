// The zip clients: a caller's compression or extraction routine run on the user-interface
// thread behind a progress box with a Cancel button, which is the current box of the
// plain-function progress interface while the routine runs.
#include "common/whole_characters.h"
#include "progress/progress_box_state.h"
#include "progress/progress_interface.h"

#include <afxwin.h>
#include <z64eveze.h>

#include <memory>

namespace z64::integration {
namespace {

using progress::g_pProgressBox;

// The calling application's captions for the box, by selector.
constexpr UINT kZipCaption = 12;
constexpr UINT kOtherCaption = 13;
constexpr int kCaptionCapacity = 40;

// UnZipClient's modes that run the routine without a box, and what it then receives.
constexpr int kExtractWithoutBox = -343;
constexpr int kTestWithoutBox = -342;

// The box's title from the calling application's strings.
void showCaption(CProgressBox& box, int captionSelector) {
    if (box.m_hWnd == nullptr)
        return;
    char caption[kCaptionCapacity] = {};
    LoadStringA(AfxGetModuleState()->m_hCurrentInstanceHandle,
                captionSelector == 0 ? kZipCaption : kOtherCaption, caption, kCaptionCapacity);
    common::copyWholeCharacters(box.m_szTitle, sizeof box.m_szTitle, caption,
                                common::CodePage::ansi);
    box.SetWindowText(box.m_szTitle);
}

// Runs `routine` with a box of its own as the current box. A box that was current before
// is current again afterwards (unless it was deleted meanwhile), and the owner is enabled
// again only when this call disabled it.
template <typename Routine>
int runBehindProgressBox(int captionSelector, Routine routine) {
    CWnd* owner = CWnd::FromHandle(GetActiveVisibleWnd(nullptr));
    const progress::RememberedBox previous(g_pProgressBox);
    auto box = std::make_unique<CProgressBox>(owner);
    progress::registerProgressBarClass();
    box->Create(progress::kProgressTemplateWithCancel, owner);
    const bool disabledOwner = owner != nullptr && owner->IsWindowEnabled();
    if (disabledOwner)
        owner->EnableWindow(FALSE);
    g_pProgressBox = box.get();
    box->Reset();
    progress::pumpWhileCurrentBoxGoesOn();
    showCaption(*box, captionSelector);
    if (box->m_hWnd != nullptr)
        box->EnableWindow(TRUE);
    const int result = routine();

    if (disabledOwner && IsWindow(owner->m_hWnd))
        owner->EnableWindow(TRUE);
    if (box->m_hWnd != nullptr)
        box->SendMessage(WM_CLOSE);
    box.reset();
    if (g_pProgressBox != nullptr) {
        g_pProgressBox->Finish();
        g_pProgressBox = nullptr;
    }
    g_pProgressBox = previous.box();
    if (owner != nullptr && IsWindow(owner->m_hWnd))
        owner->BringWindowToTop();
    return result;
}

} // namespace
} // namespace z64::integration

using namespace z64::integration;

int UnZipClient(int captionSelector, int (*routine)(int, int, INT_PTR), int first, int mode,
                INT_PTR user) {
    if (mode == kExtractWithoutBox)
        return routine(first, 0, user);
    if (mode == kTestWithoutBox)
        return routine(first, 1, user);
    return runBehindProgressBox(captionSelector, [&] { return routine(first, mode, user); });
}

int ZipInterfaceClient(int captionSelector,
                       int (*routine)(INT_PTR, INT_PTR, INT_PTR, int, int, INT_PTR), INT_PTR a,
                       INT_PTR b, INT_PTR c, int d, int e, int noProgress, INT_PTR user) {
    if (noProgress != 0)
        return routine(a, b, c, d, e, user);
    return runBehindProgressBox(captionSelector, [&] { return routine(a, b, c, d, e, user); });
}
