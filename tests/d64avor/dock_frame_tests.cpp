// CProcessDockFrame and GetProcessDockFrame: the frame registers itself while its window
// exists, keeps the progress it is given through its virtual table, and keeps the two
// progress operations in the virtual-table slots callers rely on.
#include "ui_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <tuple>

namespace {

const RECT kFrameRect{40, 40, 440, 300};

// The process frame is the most recently created frame whose window still exists.
TEST(ProcessDockFrame, IsTheNewestFrameWhileItsWindowExists) {
    EXPECT_EQ(GetProcessDockFrame(), nullptr);
    CProcessDockFrame older;
    auto newer = std::make_unique<CProcessDockFrame>();
    EXPECT_EQ(GetProcessDockFrame(), nullptr) << "no window yet";
    ASSERT_TRUE(older.CreateFrame("Older", kFrameRect));
    EXPECT_EQ(GetProcessDockFrame(), &older);
    ASSERT_TRUE(newer->CreateFrame("Newer", kFrameRect));
    EXPECT_EQ(GetProcessDockFrame(), newer.get());
    older.DestroyWindow();
    EXPECT_EQ(GetProcessDockFrame(), newer.get()) << "destroying another frame leaves it";
    newer.reset();
    EXPECT_EQ(GetProcessDockFrame(), nullptr) << "deleting the object ends its window";
}

// The library calls the frame's operations through its virtual table, on the frame it
// gets from GetProcessDockFrame, and its tests read back what the frame keeps (what the
// frame paints is the stand-in's own). The rows run in order on one frame: state zero
// clears the value; another state stays when the value changes.
TEST(ProcessDockFrame, KeepsThePositionUpperBoundAndState) {
    CProcessDockFrame frame;
    ASSERT_TRUE(frame.CreateFrame("Books", kFrameRect));
    CProcessDockFrame* const called = GetProcessDockFrame();
    ASSERT_EQ(called, &frame);
    const auto value = [&](unsigned __int64 position, unsigned __int64 upper) {
        return [=] {
            called->SetProgressValue(position, upper);
        };
    };
    const auto state = [&](int newState) {
        return [=] {
            called->SetProgressState(newState);
        };
    };
    constexpr int kNone = CProcessDockFrame::kProgressNone;
    constexpr int kNormal = CProcessDockFrame::kProgressNormal;
    constexpr int kPaused = CProcessDockFrame::kProgressPaused;
    constexpr unsigned __int64 kNear64 = 0xFFFFFFFFFFFFFFFEull;
    // clang-format off
    const struct { const char* label; std::function<void()> act; unsigned __int64 position; unsigned __int64 upper; int state; } cases[] = {
        {"start", value(0, 100), 0, 100, kNormal},
        {"forty percent", value(40, 100), 40, 100, kNormal},
        {"beyond the bound", value(150, 100), 150, 100, kNormal},
        {"no bound", value(5, 0), 5, 0, kNormal},
        {"beyond 32 bits", value(0x100000000ull, 0x400000000ull), 0x100000000ull, 0x400000000ull, kNormal},
        {"near the 64-bit limit", value(kNear64 / 2, kNear64), kNear64 / 2, kNear64, kNormal},
        {"state zero clears", state(0), 0, 0, kNone},
        {"another state", state(kPaused), 0, 0, kPaused},
        {"a value keeps another state", value(1, 2), 1, 2, kPaused},
    };
    // clang-format on
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        row.act();
        EXPECT_EQ(std::tuple(frame.GetProgressPosition(), frame.GetProgressUpper(),
                             frame.GetProgressState()),
                  std::tuple(row.position, row.upper, row.state));
    }
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
