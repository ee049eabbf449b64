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
#include <tuple>
#include <utility>

namespace {

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

using ProgressBoxTest = progress_tests::ProgressTest;

TEST_F(ProgressBoxTest, CancelStateFollowsTheMembers) {
    CProgressBox box;
    // clang-format off
    const struct { const char* label; void (CProgressBox::*step)(); int cancelled, finished; } rows[] = {
        {"new", nullptr, 1, 0}, {"cancelled", &CProgressBox::Cancel, 0, 1},
        {"reset", &CProgressBox::Reset, 1, 0}, {"finished", &CProgressBox::Finish, 1, 1},
    };
    // clang-format on
    for (const auto& row : rows) {
        if (row.step != nullptr)
            (box.*row.step)();
        EXPECT_EQ(std::pair(box.Cancelled(), box.IsFinished()),
                  std::pair(row.cancelled, row.finished))
            << row.label;
    }
    // Without a window every member that touches controls does nothing.
    box.SetText("title", "desc");
    box.Progress(5);
    box.SetRange(10);
    EXPECT_EQ(box.m_szTitle[0], '\0');
}

TEST_F(ProgressBoxTest, CancelButtonDestroysParksOrKeeps) {
    // clang-format off
    const struct { const char* label; bool extended, keepOnCancel, windowStays, parked; } rows[] = {
        {"plain box", false, false, false, false},
        {"plain box kept on cancel", false, true, true, false},
        {"extended box", true, false, true, true},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::unique_ptr<CProgressBox> box =
            row.extended ? std::unique_ptr<CProgressBox>(openBox<CProgressBoxEx>(kWithCancel))
                         : openBox<CProgressBox>(kWithCancel);
        box->m_bKeepOnCancel = row.keepOnCancel;
        const HWND window = box->m_hWnd;
        SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
        test_host::pumpMessages();
        RECT rect{};
        GetWindowRect(window, &rect);
        EXPECT_EQ(std::tuple(box->Cancelled(), box->IsFinished(), IsWindow(window) != FALSE,
                             rect.left == -32000 && rect.top == -32000),
                  std::tuple(0, 1, row.windowStays, row.parked));
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
    const std::pair<const char*, unsigned __int64> rows[] = {{"31 bits", 0x7FFFFFFFull},
                                                             {"32 bits", 0x80000000ull},
                                                             {"33 bits", 0x100000000ull},
                                                             {"2^40", 1ull << 40}};
    progress_tests::DockFrame frame;
    for (const auto& [label, range] : rows) {
        SCOPED_TRACE(label);
        auto box = openBox<CProgressBox>(kWithoutCancel);
        box->SetRange(static_cast<__int64>(range));
        EXPECT_EQ(frame->GetProgressUpper(), range);
        box->Progress(range / 4);
        EXPECT_EQ(std::pair(frame->GetProgressPosition(), frame->GetProgressUpper()),
                  std::pair(range / 4, range));
        const PBRANGE bar = barRange(*box);
        EXPECT_TRUE(bar.iLow == 0 && bar.iHigh > 0x3FFFFFFF) << bar.iLow << ".." << bar.iHigh;
        EXPECT_NEAR(static_cast<double>(barPosition(*box)) / bar.iHigh, 0.25, 1e-6);
        box->DeltaProgress(-1);
        EXPECT_EQ(frame->GetProgressPosition(), range / 4 - 1);
        box->Progress(range + 5); // beyond the range: a full bar
        if (range > 0x7FFFFFFF) {
            EXPECT_EQ(barPosition(*box), bar.iHigh);
            box->DeltaProgress(0x7FFFFFFF); // stays within the range
            EXPECT_EQ(frame->GetProgressPosition(), range);
        }
        box.reset();
        EXPECT_EQ(std::pair(frame->GetProgressState(), frame->GetProgressUpper()),
                  std::pair(0, 0ull));
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
    for (const int id : {500, 502})
        EXPECT_EQ(test_host::placeIn(box->m_hWnd, box->GetDlgItem(id)->m_hWnd).right, client.right)
            << id;
    const HDC dc = GetDC(box->m_hWnd);
    EXPECT_EQ(box->SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(box->GetDlgItem(500)->m_hWnd)),
              reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH)));
    ReleaseDC(box->m_hWnd, dc);
    box.reset();
    parent.DestroyWindow();
}

// The library's two templates, control by control.
TEST_F(ProgressBoxTest, TemplatesHoldTheirControls) {
    // clang-format off
    const struct { const char* label; unsigned int templateId; int id; const char* className; DWORD style, absent; /* bits set, bits clear */ RECT units; } rows[] = {
        {"206 cancel", 206, IDCANCEL, "Button", WS_TABSTOP | BS_PUSHBUTTON, BS_DEFPUSHBUTTON, {122, 25, 40, 14}},
        {"206 description", 206, 500, "Static", SS_LEFT, SS_CENTER, {5, 5, 154, 17}},
        // The bar takes its template border off its style when it is created.
        {"206 bar", 206, 502, "msctls_progress32", PBS_SMOOTH, 0, {5, 26, 114, 12}},
        {"234 description", 234, 500, "Static", SS_CENTER, 0, {5, 5, 154, 17}},
        {"234 bar", 234, 502, "msctls_progress32", 0, PBS_SMOOTH, {5, 26, 156, 12}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        auto box = openBox<CProgressBox>(row.templateId);
        const DWORD dialogStyle = static_cast<DWORD>(GetWindowLongA(box->m_hWnd, GWL_STYLE));
        EXPECT_EQ((dialogStyle & WS_SYSMENU) != 0, row.templateId == 234);
        EXPECT_EQ(dialogStyle & (WS_POPUP | WS_CAPTION), static_cast<DWORD>(WS_POPUP | WS_CAPTION));
        EXPECT_EQ(test_host::windowText(box->m_hWnd), "");
        EXPECT_EQ(GetDlgItem(box->m_hWnd, IDCANCEL) != nullptr, row.templateId == 206);
        EXPECT_EQ(test_host::fontFace(box->m_hWnd), "Segoe UI");
        const HWND control = GetDlgItem(box->m_hWnd, row.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(test_host::className(control), row.className);
        const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        EXPECT_EQ(style & (row.style | row.absent), row.style);
        EXPECT_EQ(test_host::placeIn(box->m_hWnd, control),
                  test_host::unitsToPixels(box->m_hWnd, row.units));
    }
}

} // namespace
