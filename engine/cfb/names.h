// Element names: which names are valid and the order in which the directory keeps them.
//
// Names are UTF-16 (std::u16string). The directory orders siblings by length first (a
// shorter name sorts first) and, among names of equal length, unit by unit after upper-casing
// each unit (MS-CFB section 2.6.4).
#pragma once

#include "common/status.h"

#include <compare>
#include <string>
#include <string_view>

namespace engine::cfb {

// Upper-cases one UTF-16 unit for name comparison. Covers ASCII, Latin-1, Latin Extended-A,
// Greek, Cyrillic and the full-width Latin letters; every other unit is its own upper case.
// Characters whose upper case is not a single unit (for example the sharp s) stay as they are.
[[nodiscard]] char16_t upperCaseUnit(char16_t unit);

// The directory's order of two sibling names.
[[nodiscard]] std::strong_ordering compareNames(std::u16string_view left,
                                                std::u16string_view right);

// A name with every unit upper-cased: two names are the same element name exactly when their
// folded forms are equal.
[[nodiscard]] std::u16string foldName(std::u16string_view name);

// Accepts names of 1 to 31 units that contain none of '/', '\\', ':', '!' and no NUL;
// refuses others with Status::invalidName.
[[nodiscard]] Status checkName(std::u16string_view name);

// Conversions for messages and tools; UTF-16 to UTF-8 replaces unpaired surrogates by '?'.
[[nodiscard]] std::string toUtf8(std::u16string_view name);
[[nodiscard]] std::u16string fromUtf8(std::string_view text);

} // namespace engine::cfb
