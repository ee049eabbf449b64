// What the dialog-page tests share: the host dialog (modeless, from the tests' own
// resources) that records the messages the pages send it, a thread CBT hook that records
// what CreateWindowExA received, and the switch that forces the visual-theme test.
#pragma once

#include "dialogs_test_resources.h"

#include <z64eveze.h>

#include <support/unique_resource.h>

#include <string>
#include <vector>

namespace dialogs_tests {

[[nodiscard]] HINSTANCE testModule();

// What one control was created with.
struct CreatedControl {
    HWND window;
    std::string className;
    std::string text;
    DWORD style;
    DWORD extendedStyle;
    RECT rect; // x, y, cx, cy as passed
    UINT_PTR id;
    HINSTANCE instance;
    const void* creationData;
};

class CreationRecorder {
public:
    explicit CreationRecorder(HWND parent);
    ~CreationRecorder();
    CreationRecorder(const CreationRecorder&) = delete;
    CreationRecorder& operator=(const CreationRecorder&) = delete;
    [[nodiscard]] const std::vector<CreatedControl>& controls() const { return controls_; }

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
    HWND parent_;
    support::UniqueHook hook_;
    std::vector<CreatedControl> controls_;
};

// A record of the messages the host dialog received.
struct HostMessage {
    UINT message;
    WPARAM wParam;
    int currentId; // the watched section's idCurrent when WM_DLGSECTIONCHANGED arrived
};

class HostDialog {
public:
    explicit HostDialog(bool visible = false);
    HostDialog(const HostDialog&) = delete;
    HostDialog& operator=(const HostDialog&) = delete;

    [[nodiscard]] HWND get() const { return window_.get(); }
    [[nodiscard]] HWND anchor() const { return GetDlgItem(get(), IDC_ANCHOR); }
    [[nodiscard]] std::vector<HostMessage>& messages() { return messages_; }
    void watch(const DLGSECTION* section) { section_ = section; }
    // The messages of one kind that arrived, in order.
    [[nodiscard]] std::vector<HostMessage> received(UINT message) const;
    // Destroys the dialog now (its controls go with it).
    void destroy() { window_.reset(); }

private:
    static INT_PTR CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    support::UniqueWindow window_;
    std::vector<HostMessage> messages_;
    const DLGSECTION* section_ = nullptr;
};

// Forces IsVisualThemeActive for as long as it lives.
class ForcedTheme {
public:
    explicit ForcedTheme(bool active);
    ~ForcedTheme();
    ForcedTheme(const ForcedTheme&) = delete;
    ForcedTheme& operator=(const ForcedTheme&) = delete;

private:
    int previous_;
};

// The anchor's top-left corner in the host's client coordinates.
[[nodiscard]] POINT anchorOrigin(const HostDialog& host);
// The category's control handles, in template order.
[[nodiscard]] std::vector<HWND> controlsOf(const DLGCATEGORY& category);
[[nodiscard]] std::string textOf(HWND window);
// Runs the thread's messages for that long.
void pumpFor(DWORD milliseconds);
// The direct children of a window, in Z-order.
[[nodiscard]] std::vector<HWND> childrenOf(HWND parent);

} // namespace dialogs_tests
