// Finding this library's own resources.
//
// The library's dialog templates and strings live in z64EVEZE.dll itself, not in the
// calling application, so they are always found through the library's module handle,
// looked up by the file name the application loads it under, never through the
// framework's current resource module.
#pragma once

#include <windows.h>

namespace z64::common {

// The library's module, found by its file name.
[[nodiscard]] HMODULE libraryModule();

// One of the library's dialog templates, ready for an indirect dialog; null when it is
// missing.
[[nodiscard]] HGLOBAL loadLibraryDialogTemplate(UINT id);

} // namespace z64::common
