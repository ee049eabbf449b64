// Bounded handling of narrow texts in the run time's multibyte code page: a cut never
// leaves the first half of a double-byte character behind.
#pragma once

#include <cstddef>

namespace z64::dialogs {

// The address of the character after the one at `text`; the terminator is never stepped
// over, and a lead byte followed by the terminator counts as one character.
[[nodiscard]] const char* nextCharacter(const char* text);

// The number of bytes of `text`, at most `limit`, that hold whole characters only.
[[nodiscard]] std::size_t wholeCharacterBytes(const char* text, std::size_t limit);

} // namespace z64::dialogs
