// The library locale: the C run-time locale through which the library prints texts, so that
// numbers never take the user's separators.
//
// It is made when the library loads, from the ANSI code page: for a single-byte code page a
// locale whose numeric category is "C"; for a multi-byte code page one whose character-type
// category is that code page (".932", say) and whose other categories are "C". It is freed
// when the library unloads.
#pragma once

#include <locale.h>

namespace z64::integration {

[[nodiscard]] _locale_t libraryLocale();

} // namespace z64::integration
