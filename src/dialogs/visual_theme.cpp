#include "visual_theme.h"

#include "common/module_entry.h"

#include <support/unique_resource.h>

#include <windows.h>

#include <shlwapi.h>

#include <optional>

namespace z64::dialogs {
namespace {

constexpr DWORD kFirstThemedCommonControls = 6;

// The answer forced by the test programs: -1 none, 0 inactive, 1 active.
int g_forcedTheme = -1;

bool commonControlsAreThemed() {
    static const bool themed = [] {
        support::UniqueModule library(LoadLibraryA("comctl32.dll"));
        if (!library)
            return false;
        const auto getVersion =
            common::moduleEntry<DLLGETVERSIONPROC>(library.get(), "DllGetVersion");
        DLLVERSIONINFO version{};
        version.cbSize = sizeof version;
        return getVersion != nullptr && SUCCEEDED(getVersion(&version)) &&
               version.dwMajorVersion >= kFirstThemedCommonControls;
    }();
    return themed;
}

bool applicationIsThemed() {
    support::UniqueModule library(LoadLibraryA("UxTheme.dll"));
    if (!library)
        return false;
    using IsAppThemedFunction = BOOL(WINAPI*)();
    const auto isAppThemed = common::moduleEntry<IsAppThemedFunction>(library.get(), "IsAppThemed");
    return isAppThemed != nullptr && isAppThemed() != FALSE;
}

} // namespace

bool IsVisualThemeActive() {
    if (g_forcedTheme >= 0)
        return g_forcedTheme != 0;
    return commonControlsAreThemed() && applicationIsThemed();
}

} // namespace z64::dialogs

// Ordinal-only entry for the test programs: forces IsVisualThemeActive to answer `forced`
// (0 or 1), or lets it ask the system again (-1). Answers the previous setting.
extern "C" __declspec(dllexport) int ForceVisualTheme(int forced) {
    const int previous = z64::dialogs::g_forcedTheme;
    z64::dialogs::g_forcedTheme = forced < 0 ? -1 : (forced != 0 ? 1 : 0);
    return previous;
}
