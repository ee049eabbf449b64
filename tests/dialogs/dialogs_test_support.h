// What the dialog-page tests share: the host dialog (modeless, from the tests' templates)
// that logs what the pages send it, a CBT hook recording what CreateWindowExA received, and
// the switch that forces the visual-theme test.
#pragma once

#include "dialogs_test_resources.h"

#include <z64eveze.h>

#include <support/unique_resource.h>
#include <ui_driver.h>

#include <string>
#include <vector>

namespace dialogs_tests {

[[nodiscard]] inline HINSTANCE testModule() {
    return GetModuleHandleA(nullptr);
}

struct CreatedControl {
    std::string className, text;
    DWORD style, extendedStyle;
    RECT rect; // x, y, cx, cy as passed
    UINT_PTR id;
    HINSTANCE instance;
    const void* creationData;
};

class CreationRecorder {
public:
    explicit CreationRecorder(HWND parent);
    ~CreationRecorder();
    std::vector<CreatedControl> controls;

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
    HWND parent_;
    support::UniqueHook hook_;
};

// The host logs "C<code>" for WM_COMMAND, "V<code>:<pos>" and "H<code>:<pos>" for scroll
// messages, "R<0|1>" for WM_SETREDRAW and "S<idCurrent>" for WM_DLGSECTIONCHANGED, each
// followed by a space.
class HostDialog {
public:
    explicit HostDialog(bool visible = false);
    [[nodiscard]] HWND get() const { return window_.get(); }
    [[nodiscard]] HWND anchor() const { return GetDlgItem(get(), IDC_ANCHOR); }
    [[nodiscard]] HWND item(int id) const { return GetDlgItem(get(), id); }
    void destroy() { window_.reset(); }
    std::string log;
    const DLGSECTION* section = nullptr;

private:
    static INT_PTR CALLBACK procedure(HWND, UINT, WPARAM, LPARAM);
    support::UniqueWindow window_;
};

// Forces IsVisualThemeActive for as long as it lives.
class ForcedTheme {
public:
    explicit ForcedTheme(bool active);
    ~ForcedTheme();

private:
    int previous_;
};

using test_host::windowText;
// The anchor's rectangle in the host's client coordinates.
[[nodiscard]] inline RECT anchorRect(const HostDialog& host) {
    return test_host::placeIn(host.get(), host.anchor());
}
[[nodiscard]] std::vector<HWND> controlsOf(const DLGCATEGORY& category);
[[nodiscard]] size_t childCount(HWND parent);
[[nodiscard]] inline bool visible(HWND window) {
    return (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}
void pumpFor(DWORD milliseconds);

} // namespace dialogs_tests
