// GetActiveVisibleWnd: which window owns the boxes the library shows.
#include "unique_window.h"

#include <test_host.h>
#include <ui_driver.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

using test_support::UniqueWindow;

HWND mainWindow() {
    return test_host::application().mainWindow().m_hWnd;
}

// A popup owned by `owner` at (x, y), shown and activated when asked.
UniqueWindow makePopup(HWND owner, int x, int y, bool visible) {
    UniqueWindow popup(CreateWindowExA(0, "Static", "popup", WS_POPUP, x, y, 50, 30, owner, nullptr,
                                       nullptr, nullptr));
    if (visible)
        ShowWindow(popup.get(), SW_SHOW);
    SetActiveWindow(popup.get());
    return popup;
}

class OwnerWindowTest : public ::testing::Test {
protected:
    void TearDown() override { SetActiveWindow(mainWindow()); }
};

TEST_F(OwnerWindowTest, PrefersTheVisibleLastActivePopup) {
    const struct {
        const char* label;
        int x, y;
        bool visible;
        bool popupWins;
    } rows[] = {
        {"visible popup", 100, 100, true, true},
        {"hidden popup", 100, 100, false, false},
        {"parked at -32768", -40000, -40000, true, false},
        {"only left parked", -40000, 100, true, true},
        {"at -32000", -32000, -32000, true, true},
    };
    UniqueWindow given(CreateWindowExA(0, "Static", "given", WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, nullptr, nullptr));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const UniqueWindow popup = makePopup(mainWindow(), row.x, row.y, row.visible);
        ASSERT_EQ(GetActiveWindow(), popup.get());
        // The active window wins over the given one; the given one is the fallback.
        EXPECT_EQ(GetActiveVisibleWnd(given.get()), row.popupWins ? popup.get() : given.get());
        // Without a given window or a modal loop: the application's main window.
        EXPECT_EQ(GetActiveVisibleWnd(nullptr), row.popupWins ? popup.get() : mainWindow());
    }
}

TEST_F(OwnerWindowTest, FallsBackOnTheModalParent) {
    UniqueWindow modalOwner(CreateWindowExA(0, "Static", "modal owner", WS_OVERLAPPED | WS_VISIBLE,
                                            0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr));
    HWND chosen = nullptr;
    test_host::UiScript script;
    script.then([&] {
        HWND box = test_host::findDialog("Modal parent");
        if (box == nullptr)
            return false;
        const UniqueWindow parked = makePopup(box, -40000, -40000, true);
        chosen = GetActiveVisibleWnd(nullptr);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return true;
    });
    MessageBoxA(modalOwner.get(), "text", "Modal parent", MB_OK);
    EXPECT_EQ(chosen, modalOwner.get());
}

TEST_F(OwnerWindowTest, AWorkerThreadWithoutWindowsHasNone) {
    HWND chosen = reinterpret_cast<HWND>(1);
    std::thread([&] { chosen = GetActiveVisibleWnd(nullptr); }).join();
    EXPECT_EQ(chosen, nullptr);
}

} // namespace
