// Running one of the library's own dialog templates as a modal dialog.
#pragma once

#include <afxwin.h>

namespace z64::dialogs {

// Runs `dialog` from the library's template `templateId` with no parent given, so that the
// framework makes it modal to the application's active window. Answers DoModal's result,
// or -1 when the template cannot be found or loaded.
[[nodiscard]] INT_PTR runLibraryDialog(CDialog& dialog, UINT templateId);

} // namespace z64::dialogs
