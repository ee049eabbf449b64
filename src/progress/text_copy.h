// Bounded copies of narrow texts that never end in half a double-byte character.
#pragma once

#include <cstddef>

namespace z64::progress {

// Copies at most capacity - 1 bytes of `source` into `target` and ends it with a zero,
// stopping before a lead byte whose trail byte would not fit (ANSI code page). A null
// source gives the empty text.
void copyWholeCharacters(char* target, std::size_t capacity, const char* source);

// The number of bytes of `text` (at most `limit`) that hold whole characters only.
std::size_t wholeCharacterLength(const char* text, std::size_t limit);

} // namespace z64::progress
