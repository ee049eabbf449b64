// FlushWindowUpdates: pending repaints of the thread's windows happen at the call, without
// the message loop.
#include "ui_helpers.h"

#include <gtest/gtest.h>
#include <test_names.h>

#include <map>

namespace {

constexpr wchar_t kPaintCounterClass[] = L"D64AvorTestPaintCounter";
constexpr int kChildId = 7;

std::map<HWND, int> g_paints;

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        ++g_paints[window];
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void registerPaintCounter() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &countingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kPaintCounterClass;
    RegisterClassW(&windowClass); // again after the first time: already there, which is fine
}

enum class Invalidated { nothing, topLevel, child, hiddenTopLevel };

struct FlushCase {
    const char* label;
    Invalidated invalidated;
    bool topLevelPainted;
    bool childPainted;
};

class FlushWindowUpdatesTest : public testing::TestWithParam<FlushCase> {
protected:
    void SetUp() override {
        registerPaintCounter();
        g_paints.clear();
        topLevel_.reset(CreateWindowExW(0, kPaintCounterClass, L"paint", WS_POPUP | WS_VISIBLE, 20,
                                        20, 200, 120, nullptr, nullptr, GetModuleHandleW(nullptr),
                                        nullptr));
        ASSERT_TRUE(topLevel_);
        child_ = CreateWindowExW(0, kPaintCounterClass, L"child", WS_CHILD | WS_VISIBLE, 10, 10, 50,
                                 30, topLevel_.get(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildId)),
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(child_, nullptr);
        // Everything pending now (this window's first paint, any other window's) is done.
        d64avor_tests::pumpFor(30);
        FlushWindowUpdates();
        g_paints.clear();
    }

    d64avor_tests::UniqueWindow topLevel_;
    HWND child_ = nullptr;
};

TEST_P(FlushWindowUpdatesTest, PaintsWhatWasInvalidated) {
    const FlushCase& row = GetParam();
    const RECT part{0, 0, 5, 5}; // a corner clear of the child
    switch (row.invalidated) {
    case Invalidated::nothing:
        break;
    case Invalidated::topLevel:
        InvalidateRect(topLevel_.get(), &part, TRUE);
        break;
    case Invalidated::child:
        InvalidateRect(child_, nullptr, TRUE);
        break;
    case Invalidated::hiddenTopLevel:
        ShowWindow(topLevel_.get(), SW_HIDE);
        InvalidateRect(topLevel_.get(), &part, TRUE);
        break;
    }
    const int expectedCount = (row.topLevelPainted ? 1 : 0) + (row.childPainted ? 1 : 0);
    EXPECT_EQ(FlushWindowUpdates(), expectedCount) << row.label;
    EXPECT_EQ(g_paints[topLevel_.get()], row.topLevelPainted ? 1 : 0) << row.label;
    EXPECT_EQ(g_paints[child_], row.childPainted ? 1 : 0) << row.label;
    if (row.topLevelPainted || row.childPainted) {
        EXPECT_FALSE(GetUpdateRect(topLevel_.get(), nullptr, FALSE)) << row.label;
        EXPECT_FALSE(GetUpdateRect(child_, nullptr, FALSE)) << row.label;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, FlushWindowUpdatesTest,
    testing::Values(FlushCase{"nothing_pending", Invalidated::nothing, false, false},
                    FlushCase{"part_of_a_top_level_window", Invalidated::topLevel, true, false},
                    FlushCase{"a_child_window", Invalidated::child, false, true},
                    FlushCase{"a_hidden_window", Invalidated::hiddenTopLevel, false, false}),
    test_support::LabelName());

} // namespace
