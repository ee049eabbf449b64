// Handle maps: temporary objects for borrowed windows, permanent objects for attached and
// subclassed ones, and the per-thread scope of both.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "window_test_support.h"

#include <thread>

namespace {

using namespace framework_tests;

constexpr UINT kProbeMessage = WM_APP + 10;
constexpr LRESULT kProbeAnswer = 0x5150;

// Answers the probe message: shows whether a window's messages reach the object.
class ProbeWindow : public CWnd {
public:
    int probes = 0;

protected:
    afx_msg LRESULT OnProbe(WPARAM, LPARAM) {
        ++probes;
        return kProbeAnswer;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeWindow, CWnd)
ON_MESSAGE(kProbeMessage, &ProbeWindow::OnProbe)
END_MESSAGE_MAP()

TEST(HandleMaps, ABorrowedWindowGetsATemporaryObject) {
    UniqueWindow raw = createRawWindow();
    ASSERT_TRUE(raw);
    CWnd* temporary = CWnd::FromHandle(raw.get());
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary->m_hWnd, raw.get());
    EXPECT_EQ(CWnd::FromHandle(raw.get()), temporary) << "one temporary object per window";
    EXPECT_EQ(CWnd::FromHandlePermanent(raw.get()), nullptr);
    CWnd::DeleteTempMap();
    EXPECT_EQ(CWnd::FromHandlePermanent(raw.get()), nullptr);
    EXPECT_TRUE(IsWindow(raw.get())) << "freeing temporary objects leaves their windows";
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
}

TEST(HandleMaps, AttachingMakesAnObjectPermanentWithoutRoutingMessages) {
    UniqueWindow raw = createRawWindow();
    ProbeWindow window;
    ASSERT_TRUE(window.Attach(raw.get()));
    EXPECT_EQ(CWnd::FromHandlePermanent(raw.get()), &window);
    EXPECT_EQ(CWnd::FromHandle(raw.get()), &window);
    EXPECT_FALSE(ProbeWindow().Attach(raw.get())) << "a window has one permanent object";
    EXPECT_NE(SendMessageA(raw.get(), kProbeMessage, 0, 0), kProbeAnswer);
    EXPECT_EQ(window.probes, 0);
    EXPECT_EQ(window.Detach(), raw.get());
    EXPECT_EQ(CWnd::FromHandlePermanent(raw.get()), nullptr);
    EXPECT_EQ(window.m_hWnd, nullptr);
}

TEST(HandleMaps, SubclassingRoutesTheWindowsMessagesThroughTheObject) {
    UniqueWindow raw = createRawWindow();
    const auto originalProcedure = GetWindowLongPtrA(raw.get(), GWLP_WNDPROC);
    CWnd* temporary = CWnd::FromHandle(raw.get());
    ASSERT_NE(temporary, nullptr);
    ProbeWindow window;
    ASSERT_TRUE(window.SubclassWindow(raw.get()));
    EXPECT_EQ(CWnd::FromHandlePermanent(raw.get()), &window);
    EXPECT_EQ(CWnd::FromHandle(raw.get()), &window)
        << "the permanent object replaces the temporary";
    EXPECT_EQ(SendMessageA(raw.get(), kProbeMessage, 0, 0), kProbeAnswer);
    EXPECT_EQ(window.probes, 1);
    // The control's own procedure still handles everything else.
    SetWindowTextA(raw.get(), "still a static");
    EXPECT_EQ(GetWindowTextLengthA(raw.get()), 14);

    EXPECT_EQ(window.UnsubclassWindow(), raw.get());
    EXPECT_EQ(GetWindowLongPtrA(raw.get(), GWLP_WNDPROC), originalProcedure);
    EXPECT_NE(SendMessageA(raw.get(), kProbeMessage, 0, 0), kProbeAnswer);
    EXPECT_EQ(window.probes, 1);
}

TEST(HandleMaps, SubclassedDialogItemsArePermanentAndOthersTemporary) {
    CWnd parent;
    ASSERT_TRUE(createPopup(parent));
    UniqueWindow first = createRawWindow("BUTTON", parent.m_hWnd, 101);
    UniqueWindow second = createRawWindow("EDIT", parent.m_hWnd, 102);
    ProbeWindow control;
    ASSERT_TRUE(control.SubclassDlgItem(101, &parent));
    // clang-format off
    struct Case { const char* label; int id; bool permanent; };
    const Case cases[] = {{"subclassed item", 101, true}, {"plain item", 102, false}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CWnd* item = parent.GetDlgItem(c.id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->GetDlgCtrlID(), c.id);
        EXPECT_EQ(CWnd::FromHandlePermanent(item->m_hWnd) == item, c.permanent);
        EXPECT_EQ(item == &control, c.permanent);
    }
    EXPECT_EQ(parent.GetDlgItem(999), nullptr);
    EXPECT_FALSE(ProbeWindow().SubclassDlgItem(999, &parent));
    first.reset();
    EXPECT_EQ(control.m_hWnd, nullptr) << "a destroyed window lets go of its object";
    parent.DestroyWindow();
}

TEST(HandleMaps, EachThreadHasItsOwnMaps) {
    ProbeWindow window;
    ASSERT_TRUE(createPopup(window));
    HWND hWnd = window.m_hWnd;
    CWnd* permanentElsewhere = &window;
    bool temporaryElsewhere = false;
    std::thread([&] {
        permanentElsewhere = CWnd::FromHandlePermanent(hWnd);
        CWnd* temporary = CWnd::FromHandle(hWnd);
        temporaryElsewhere = temporary != nullptr && temporary != &window;
    }).join();
    EXPECT_EQ(permanentElsewhere, nullptr);
    EXPECT_TRUE(temporaryElsewhere);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &window);
}

TEST(HandleMaps, TemporaryGdiAndDeviceContextObjects) {
    HGDIOBJ stock = GetStockObject(WHITE_BRUSH);
    CGdiObject* object = CGdiObject::FromHandle(stock);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->m_hObject, stock);
    EXPECT_EQ(CGdiObject::FromHandle(stock), object);
    CWnd window;
    ASSERT_TRUE(createPopup(window));
    CDC* dc = window.GetDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(CDC::FromHandle(dc->m_hDC), dc);
    EXPECT_EQ(window.ReleaseDC(dc), 1);
    CWnd::DeleteTempMap();
    EXPECT_NE(GetObjectType(stock), 0u) << "the stock brush survives its temporary object";
}

} // namespace
