// CProgressBox, CProgressBoxEx and CProgressBoxEmbedded in windows of the test host, with
// the host's own dock frame mirroring the bar.
#include "progress_test_support.h"

#include <test_host.h>
#include <ui_driver.h>
#include <z64eveze.h>

#include <commctrl.h>
#include <d64avor.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using progress_tests::BoxWatchdog;
using progress_tests::kWithCancel;
using progress_tests::kWithoutCancel;

template <typename Box>
std::unique_ptr<Box> openBox(unsigned int templateId, CWnd* parent = nullptr) {
    auto box = std::make_unique<Box>(parent);
    EXPECT_TRUE(box->Create(templateId, parent ? parent : &test_host::application().mainWindow()));
    return box;
}

PBRANGE barRange(CWnd& box) {
    PBRANGE range{};
    box.SendDlgItemMessage(502, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    return range;
}

int barPosition(CWnd& box) {
    return static_cast<int>(box.SendDlgItemMessage(502, PBM_GETPOS));
}

class ProgressBoxTest : public ::testing::Test {
protected:
    BoxWatchdog watchdog_;
};

TEST_F(ProgressBoxTest, CancelStateFollowsTheMembers) {
    CProgressBox box;
    EXPECT_EQ(box.Cancelled(), 1);
    EXPECT_EQ(box.IsFinished(), 0);
    box.Cancel();
    EXPECT_EQ(box.Cancelled(), 0);
    EXPECT_EQ(box.IsFinished(), 1);
    box.Reset();
    EXPECT_EQ(box.Cancelled(), 1);
    EXPECT_EQ(box.IsFinished(), 0);
    box.Finish();
    EXPECT_EQ(box.Cancelled(), 1);
    EXPECT_EQ(box.IsFinished(), 1);
    // Without a window every member that touches controls does nothing.
    box.SetText("title", "desc");
    box.Progress(5);
    box.SetRange(10);
    EXPECT_EQ(box.m_szTitle[0], '\0');
}

TEST_F(ProgressBoxTest, CancelButtonDestroysParksOrKeeps) {
    const struct {
        const char* label;
        bool extended;
        bool keepOnCancel;
        bool windowStays;
        bool parked;
    } rows[] = {
        {"plain box", false, false, false, false},
        {"plain box kept on cancel", false, true, true, false},
        {"extended box", true, false, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::unique_ptr<CProgressBox> box =
            row.extended ? std::unique_ptr<CProgressBox>(openBox<CProgressBoxEx>(kWithCancel))
                         : openBox<CProgressBox>(kWithCancel);
        box->m_bKeepOnCancel = row.keepOnCancel;
        const HWND window = box->m_hWnd;
        SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
        test_host::pumpMessages();
        EXPECT_EQ(box->Cancelled(), 0);
        EXPECT_EQ(box->IsFinished(), 1);
        EXPECT_EQ(IsWindow(window) != FALSE, row.windowStays);
        RECT rect{};
        GetWindowRect(window, &rect);
        EXPECT_EQ(row.parked, rect.left == -32000 && rect.top == -32000);
        box->Progress(3); // nothing happens without a window
    }
}

TEST_F(ProgressBoxTest, TextsKeepBoundedTitleAndIgnoreEmptyCancelText) {
    auto box = openBox<CProgressBox>(kWithCancel);
    const std::string title(100, 'T');
    box->SetText(title.c_str(), "working");
    EXPECT_EQ(test_host::windowText(box->m_hWnd), title);
    EXPECT_EQ(std::string(box->m_szTitle), title.substr(0, 79));
    EXPECT_EQ(test_host::windowText(box->GetDlgItem(500)->m_hWnd), "working");
    box->SetDesc(nullptr);
    box->SetCancelRename("");
    EXPECT_EQ(test_host::windowText(box->GetDlgItem(500)->m_hWnd), "working");
    EXPECT_EQ(test_host::windowText(box->GetDlgItem(IDCANCEL)->m_hWnd), "&Cancel");
    box->SetCancelRename("Stop");
    EXPECT_EQ(test_host::windowText(box->GetDlgItem(IDCANCEL)->m_hWnd), "Stop");
}

// The bar shows the same proportion as the dock frame, whatever the range's width.
TEST_F(ProgressBoxTest, LargeRangesKeepTheirProportion) {
    const struct {
        const char* label;
        unsigned __int64 range;
    } rows[] = {
        {"31 bits", 0x7FFFFFFFull},
        {"32 bits", 0x80000000ull},
        {"33 bits", 0x100000000ull},
        {"2^40", 1ull << 40},
    };
    progress_tests::DockFrame frame;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto box = openBox<CProgressBox>(kWithoutCancel);
        box->SetRange(static_cast<__int64>(row.range));
        EXPECT_EQ(frame->GetProgressUpper(), row.range);
        box->Progress(row.range / 4);
        EXPECT_EQ(frame->GetProgressPosition(), row.range / 4);
        EXPECT_EQ(frame->GetProgressUpper(), row.range);
        const PBRANGE bar = barRange(*box);
        EXPECT_EQ(bar.iLow, 0);
        EXPECT_GT(bar.iHigh, 0x3FFFFFFF);
        EXPECT_NEAR(static_cast<double>(barPosition(*box)) / bar.iHigh, 0.25, 1e-6);
        box->DeltaProgress(-1);
        EXPECT_EQ(frame->GetProgressPosition(), row.range / 4 - 1);
        box->Progress(row.range + 5); // beyond the range: a full bar
        if (row.range > 0x7FFFFFFF) {
            EXPECT_EQ(barPosition(*box), bar.iHigh);
            box->DeltaProgress(0x7FFFFFFF); // stays within the range
            EXPECT_EQ(frame->GetProgressPosition(), row.range);
        }
        box.reset();
        EXPECT_EQ(frame->GetProgressState(), 0);
        EXPECT_EQ(frame->GetProgressUpper(), 0u);
    }
}

LRESULT CALLBACK colouringParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC)
        return reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(ProgressBoxTest, EmbeddedBoxStretchesAndLetsItsParentColour) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = colouringParent;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ProgressTestParent";
    RegisterClassA(&windowClass);
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, "ProgressTestParent", "parent", WS_POPUP, 0, 0, 600, 200,
                                nullptr, nullptr));
    auto box = openBox<CProgressBoxEmbedded>(kWithoutCancel, &parent);
    box->SetWindowPos(nullptr, 0, 0, 500, 120, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    box->GetClientRect(&client);
    for (const int id : {500, 502}) {
        RECT rect{};
        ::GetWindowRect(box->GetDlgItem(id)->m_hWnd, &rect);
        ::MapWindowPoints(nullptr, box->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.right, client.right) << "control " << id;
    }
    const HDC dc = GetDC(box->m_hWnd);
    EXPECT_EQ(box->SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(box->GetDlgItem(500)->m_hWnd)),
              reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH)));
    ReleaseDC(box->m_hWnd, dc);
    box.reset();
    parent.DestroyWindow();
}

} // namespace

namespace {

// The library's two templates, control by control.
TEST_F(ProgressBoxTest, TemplatesHoldTheirControls) {
    const struct {
        const char* label;
        unsigned int templateId;
        int id;
        const char* className;
        DWORD style; // bits that must be set
        DWORD absent;
        RECT units; // x, y, width, height in dialog units
    } rows[] = {
        // clang-format off
        {"206 cancel", 206, IDCANCEL, "Button", WS_TABSTOP | BS_PUSHBUTTON, BS_DEFPUSHBUTTON, {122, 25, 40, 14}},
        {"206 description", 206, 500, "Static", SS_LEFT, SS_CENTER, {5, 5, 154, 17}},
        // The bar takes its template border off its style when it is created.
        {"206 bar", 206, 502, "msctls_progress32", PBS_SMOOTH, 0, {5, 26, 114, 12}},
        {"234 description", 234, 500, "Static", SS_CENTER, 0, {5, 5, 154, 17}},
        {"234 bar", 234, 502, "msctls_progress32", 0, PBS_SMOOTH, {5, 26, 156, 12}},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto box = openBox<CProgressBox>(row.templateId);
        const DWORD dialogStyle = static_cast<DWORD>(GetWindowLongA(box->m_hWnd, GWL_STYLE));
        EXPECT_EQ((dialogStyle & WS_SYSMENU) != 0, row.templateId == 234);
        EXPECT_EQ(dialogStyle & (WS_POPUP | WS_CAPTION), static_cast<DWORD>(WS_POPUP | WS_CAPTION));
        EXPECT_EQ(test_host::windowText(box->m_hWnd), "");
        EXPECT_EQ(GetDlgItem(box->m_hWnd, IDCANCEL) != nullptr, row.templateId == 206);
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(box->SendMessage(WM_GETFONT)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, "Segoe UI");

        const HWND control = GetDlgItem(box->m_hWnd, row.id);
        ASSERT_NE(control, nullptr);
        char className[64] = {};
        GetClassNameA(control, className, sizeof className);
        EXPECT_STREQ(className, row.className);
        const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        EXPECT_EQ(style & row.style, row.style);
        EXPECT_EQ(style & row.absent, 0u);
        RECT expected = row.units; // mapped as position and size, as the dialog manager does
        MapDialogRect(box->m_hWnd, &expected);
        expected.right += expected.left;
        expected.bottom += expected.top;
        RECT actual{};
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, box->m_hWnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        EXPECT_EQ(actual.bottom, expected.bottom);
    }
}

} // namespace
