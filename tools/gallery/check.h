// gallery --check: the layout check of every dialog template of z64EVEZE.dll, created
// hidden, and of every window of the gallery as it is shown. Faults are printed one a
// line with the template (or window) and control id and the two sizes; those of the table
// of documented exceptions are printed apart and do not fail the check.
#pragma once

#include <windows.h>

namespace gallery {

// Checks each RT_DIALOG template of the library, created hidden and owned by `owner`, and
// remembers each template's control ids so that shown windows can be told by them.
// Returns the number of faults that are not documented exceptions.
int checkLibraryTemplates(HWND owner);

// Checks the window the exhibit `name` shows (null: it showed none, itself a fault).
// Returns the number of faults that are not documented exceptions.
int checkShownWindow(const char* name, HWND window);

} // namespace gallery
