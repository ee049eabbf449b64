// FlushWindowUpdates: pending repaints of the thread's windows happen at the call, without
// the message loop.
#include "ui_helpers.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

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

TEST(FlushWindowUpdates, PaintsWhatWasInvalidated) {
    const RECT part{0, 0, 5, 5}; // a corner of the top-level window, clear of the child
    // clang-format off
    const struct { const char* label; std::function<void(HWND, HWND)> invalidate; int topLevelPaints; int childPaints; } cases[] = {
        {"nothing pending", [](HWND, HWND) {}, 0, 0},
        {"part of a top-level window", [&](HWND top, HWND) { InvalidateRect(top, &part, TRUE); }, 1, 0},
        {"a child window", [](HWND, HWND child) { InvalidateRect(child, nullptr, TRUE); }, 0, 1},
        {"a hidden window", [&](HWND top, HWND) { ShowWindow(top, SW_HIDE); InvalidateRect(top, &part, TRUE); }, 0, 0},
    };
    // clang-format on
    registerPaintCounter();
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        d64avor_tests::UniqueWindow topLevel(
            CreateWindowExW(0, kPaintCounterClass, L"paint", WS_POPUP | WS_VISIBLE, 20, 20, 200,
                            120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(topLevel);
        HWND child =
            CreateWindowExW(0, kPaintCounterClass, L"child", WS_CHILD | WS_VISIBLE, 10, 10, 50, 30,
                            topLevel.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildId)),
                            GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(child, nullptr);
        // Everything pending now (this window's first paint, any other window's) is done.
        d64avor_tests::pumpFor(30);
        FlushWindowUpdates();
        g_paints.clear();
        row.invalidate(topLevel.get(), child);
        EXPECT_EQ(FlushWindowUpdates(), row.topLevelPaints + row.childPaints);
        EXPECT_EQ(std::pair(g_paints[topLevel.get()], g_paints[child]),
                  std::pair(row.topLevelPaints, row.childPaints));
        if (row.topLevelPaints + row.childPaints > 0) {
            EXPECT_FALSE(GetUpdateRect(topLevel.get(), nullptr, FALSE));
            EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));
        }
    }
}

} // namespace
