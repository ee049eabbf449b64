// CProcessDockFrame and GetProcessDockFrame: the frame registers itself while its window
// exists, shows the progress it is given through its virtual table, and keeps the two
// progress operations in the virtual-table slots callers rely on.
#include "ui_helpers.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>

namespace {

const RECT kFrameRect{40, 40, 440, 300};

// What a frame shows: its position, upper bound and state, the bar's position and
// visibility, and the status text.
using Shown = std::tuple<unsigned __int64, unsigned __int64, int, int, bool, std::string>;

Shown shown(CProcessDockFrame& frame) {
    char text[128] = "";
    GetDlgItemTextA(frame.GetSafeHwnd(), D64AVOR_DOCK_FRAME_STATUS_ID, text, sizeof text);
    HWND bar = GetDlgItem(frame.GetSafeHwnd(), D64AVOR_DOCK_FRAME_PROGRESS_ID);
    return {frame.GetProgressPosition(),   frame.GetProgressUpper(),
            frame.GetProgressState(),      static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)),
            IsWindowVisible(bar) != FALSE, text};
}

// The process frame is the most recently created frame whose window still exists.
TEST(ProcessDockFrame, IsTheNewestFrameWhileItsWindowExists) {
    EXPECT_EQ(GetProcessDockFrame(), nullptr);
    CProcessDockFrame older;
    auto newer = std::make_unique<CProcessDockFrame>();
    EXPECT_EQ(GetProcessDockFrame(), nullptr) << "no window yet";
    ASSERT_TRUE(older.CreateFrame("Older", kFrameRect));
    EXPECT_EQ(GetProcessDockFrame(), &older);
    char className[64] = "";
    GetClassNameA(older.GetSafeHwnd(), className, sizeof className);
    EXPECT_STREQ(className, D64AVOR_DOCK_FRAME_CLASS);
    EXPECT_FALSE(GetWindowLongA(older.GetSafeHwnd(), GWL_STYLE) & WS_CHILD);
    ASSERT_TRUE(newer->CreateFrame("Newer", kFrameRect));
    EXPECT_EQ(GetProcessDockFrame(), newer.get());
    older.DestroyWindow();
    EXPECT_EQ(GetProcessDockFrame(), newer.get()) << "destroying another frame leaves it";
    newer.reset();
    EXPECT_EQ(GetProcessDockFrame(), nullptr) << "deleting the object ends its window";
}

class DockFrameTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(frame_.CreateFrame("Books", kFrameRect)); }
    CProcessDockFrame frame_;
};

constexpr int kFull = CProcessDockFrame::kProgressBarScale;

// The library calls the frame's operations through its virtual table, on the frame it
// gets from GetProcessDockFrame.
TEST_F(DockFrameTest, ShowsThePositionOfTheUpperBound) {
    // clang-format off
    // The bar's position is on its scale of 0..kProgressBarScale.
    const struct { const char* label; unsigned __int64 position; unsigned __int64 upper; int expectedBar; } cases[] = {
        {"start", 0, 100, 0},
        {"forty percent", 40, 100, 400},
        {"done", 100, 100, kFull},
        {"beyond the bound", 150, 100, kFull},
        {"no bound", 5, 0, 0},
        {"a third", 1, 3, kFull / 3},
        {"beyond 32 bits", 0x100000000ull, 0x400000000ull, kFull / 4},
        {"near the 64-bit limit", 0xFFFFFFFFFFFFFFFEull / 2, 0xFFFFFFFFFFFFFFFEull, kFull / 2},
    };
    // clang-format on
    CProcessDockFrame* frame = GetProcessDockFrame();
    ASSERT_EQ(frame, &frame_);
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        frame->SetProgressValue(row.position, row.upper);
        EXPECT_EQ(shown(frame_),
                  Shown(row.position, row.upper, CProcessDockFrame::kProgressNormal,
                        row.expectedBar, true,
                        std::to_string(row.position) + " of " + std::to_string(row.upper)));
    }
}

// State zero clears the indicator; another state stays when the value changes.
TEST_F(DockFrameTest, ClearsTheIndicatorWithStateZeroAndKeepsAnotherState) {
    frame_.SetProgressValue(30, 60);
    frame_.SetProgressState(0);
    EXPECT_EQ(shown(frame_), Shown(0, 0, CProcessDockFrame::kProgressNone, 0, false, ""));
    frame_.SetProgressState(CProcessDockFrame::kProgressPaused);
    frame_.SetProgressValue(1, 2);
    EXPECT_EQ(shown(frame_),
              Shown(1, 2, CProcessDockFrame::kProgressPaused, kFull / 2, true, "1 of 2"));
}

// The virtual-table layout callers rely on: the two progress operations are adjacent, in
// this order, and the first two virtual functions the frame adds to CWnd's. Under the C++
// ABI of this compiler a pointer to a virtual member holds 1 + its slot's byte offset.
class FirstVirtualAfterWindow : public CWnd {
public:
    virtual void firstAddedFunction() = 0;
};

template <typename Member>
ptrdiff_t virtualSlotOffset(Member member) {
    struct Representation {
        ptrdiff_t pointer;
        ptrdiff_t adjustment;
    };
    static_assert(sizeof(Member) == sizeof(Representation));
    Representation representation;
    std::memcpy(&representation, &member, sizeof representation);
    EXPECT_EQ(representation.pointer & 1, 1) << "not a virtual function";
    return representation.pointer - 1;
}

TEST(ProcessDockFrameLayout, KeepsTheProgressOperationsInTheirSlots) {
    const ptrdiff_t firstAdded = virtualSlotOffset(&FirstVirtualAfterWindow::firstAddedFunction);
    const ptrdiff_t clearing = virtualSlotOffset(&CProcessDockFrame::SetProgressState);
    const ptrdiff_t showing = virtualSlotOffset(&CProcessDockFrame::SetProgressValue);
    EXPECT_EQ(clearing, firstAdded);
    EXPECT_EQ(showing, clearing + static_cast<ptrdiff_t>(sizeof(void*)));
}

} // namespace
