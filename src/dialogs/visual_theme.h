// Whether controls are drawn with visual themes: comctl32 of version 6 or later in the
// process and UxTheme's IsAppThemed. Shared by every part of the library that lays out
// controls differently under themes.
#pragma once

namespace z64::dialogs {

[[nodiscard]] bool IsVisualThemeActive();

} // namespace z64::dialogs
