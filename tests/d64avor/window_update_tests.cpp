// FlushWindowUpdates: pending repaints of the thread's windows happen at the call, without
// the message loop.
#include "ui_helpers.h"

#include <gtest/gtest.h>

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

class FlushWindowUpdatesTest : public testing::Test {
protected:
    void prepare() {
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

TEST_F(FlushWindowUpdatesTest, PaintsWhatWasInvalidated) {
    // clang-format off
    const struct { const char* label; Invalidated invalidated; bool topLevelPainted; bool childPainted; } cases[] = {
        {"nothing pending", Invalidated::nothing, false, false},
        {"part of a top-level window", Invalidated::topLevel, true, false},
        {"a child window", Invalidated::child, false, true},
        {"a hidden window", Invalidated::hiddenTopLevel, false, false}};
    // clang-format on
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        ASSERT_NO_FATAL_FAILURE(prepare());
        const RECT part{0, 0, 5, 5}; // a corner clear of the child
        if (row.invalidated == Invalidated::hiddenTopLevel)
            ShowWindow(topLevel_.get(), SW_HIDE);
        if (row.invalidated == Invalidated::topLevel ||
            row.invalidated == Invalidated::hiddenTopLevel)
            InvalidateRect(topLevel_.get(), &part, TRUE);
        if (row.invalidated == Invalidated::child)
            InvalidateRect(child_, nullptr, TRUE);
        EXPECT_EQ(FlushWindowUpdates(), (row.topLevelPainted ? 1 : 0) + (row.childPainted ? 1 : 0));
        EXPECT_EQ(g_paints[topLevel_.get()], row.topLevelPainted ? 1 : 0);
        EXPECT_EQ(g_paints[child_], row.childPainted ? 1 : 0);
        if (row.topLevelPainted || row.childPainted) {
            EXPECT_FALSE(GetUpdateRect(topLevel_.get(), nullptr, FALSE));
            EXPECT_FALSE(GetUpdateRect(child_, nullptr, FALSE));
        }
    }
}

} // namespace
