// Narrow texts cut to a size without leaving the first half of a double-byte character
// behind.
//
// Which bytes lead a double-byte character depends on the code page that a text is read
// in: the dialogs read their texts in the run time's multibyte code page, the progress
// boxes in the ANSI code page. Both step through a text by the same rule, given here once:
// a lead byte and the byte after it are one character, unless that byte is the terminator,
// in which case the lead byte alone is one.
#pragma once

#include <cstddef>

namespace z64::common {

// The code page whose lead bytes a text is read with.
enum class CodePage {
    ansi,    // the system's ANSI code page (IsDBCSLeadByte)
    runTime, // the run time's multibyte code page (_ismbblead)
};

// The address of the character after the one at `text`; the terminator is never stepped
// over.
[[nodiscard]] const char* nextCharacter(const char* text, CodePage codePage);

// The number of bytes of `text`, at most `limit`, that hold whole characters only.
[[nodiscard]] std::size_t wholeCharacterBytes(const char* text, std::size_t limit,
                                              CodePage codePage);

// Copies at most capacity - 1 bytes of whole characters of `source` into `target` and ends
// it with a zero; a null source gives the empty text and a capacity of 0 writes nothing.
void copyWholeCharacters(char* target, std::size_t capacity, const char* source, CodePage codePage);

} // namespace z64::common
