// Reading and writing of single typed values (MS-OLEPS 2.15) inside a section.
#pragma once

#include "propset/byte_io.h"
#include "propset/value.h"

namespace engine::propset {

// Whether strings in a code page (CodePageString) are followed by padding to four bytes, as
// MS-OLEPS requires, or not: Office writes the heading pairs and document parts of the
// document-summary set with unpadded strings (MS-OSHARED 2.3.3.1.5, UnalignedLpstr).
enum class StringPadding { aligned, unaligned };

// Reads the value at the reader's position; the reader's window ends where the next property
// (or the section) begins. Values of types the codec does not interpret take the whole window.
// On success the reader stands just after the value's content (before any final padding).
[[nodiscard]] Status readTypedValue(ByteReader& reader, CodePage codePage, StringPadding padding,
                                    Value& value);

// Appends the value, padded to four bytes, converting text into `codePage`. A value that is not
// well formed gives Status::invalidParameter.
[[nodiscard]] Status writeTypedValue(ByteWriter& writer, const Value& value, CodePage codePage,
                                     const CodePageConverter& converter);

// A CodePageString's characters (Size bytes, terminator included) as the text before the
// first terminator; fails when there is none.
[[nodiscard]] Status textBeforeTerminator(std::span<const std::uint8_t> characters,
                                          CodePage codePage, std::size_t streamOffset,
                                          std::string& text);

} // namespace engine::propset
