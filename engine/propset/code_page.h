// Conversion between the code page of a property set and UTF-16.
//
// The engine converts code pages 1200 (UTF-16LE), 65001 (UTF-8) and 1252 (Windows Western)
// itself. Other code pages need a converter supplied by the caller: the Windows provider
// plugs in one built on MultiByteToWideChar / WideCharToMultiByte.
#pragma once

#include "common/status.h"
#include "propset/constants.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace engine::propset {

// Converts text between a code page and UTF-16. The codec asks a converter only about code
// pages other than 1200, 65001 and 1252, which it always converts itself. Both directions fail with
// kStatusUnsupportedCodePage for a code page the converter does not know, and with
// kStatusNoUnicodeTranslation for text that has no exact equivalent in the other encoding.
class CodePageConverter {
public:
    virtual ~CodePageConverter() = default;

    [[nodiscard]] virtual Status toUtf16(CodePage codePage, std::string_view bytes,
                                         std::u16string& text) const = 0;
    [[nodiscard]] virtual Status fromUtf16(CodePage codePage, std::u16string_view text,
                                           std::string& bytes) const = 0;
};

// The engine's own converter for code pages 1200, 65001 and 1252.
[[nodiscard]] const CodePageConverter& builtInCodePages();

// True when `codePage` is one the built-in converter handles.
[[nodiscard]] bool isBuiltInCodePage(CodePage codePage);

// Text in `codePage` as UTF-16 and back: the built-in conversion for code pages 1200, 65001 and
// 1252, otherwise `converter`'s.
[[nodiscard]] Status convertToUtf16(CodePage codePage, std::string_view bytes, std::u16string& text,
                                    const CodePageConverter& converter);
[[nodiscard]] Status convertFromUtf16(CodePage codePage, std::u16string_view text,
                                      std::string& bytes, const CodePageConverter& converter);

// UTF-16LE bytes to and from code units (code page 1200), without a terminator.
[[nodiscard]] Status utf16FromLittleEndianBytes(std::string_view bytes, std::u16string& text);
[[nodiscard]] std::string littleEndianBytesFromUtf16(std::u16string_view text);

// UTF-16 from plain ASCII text; a convenience for names and tests.
[[nodiscard]] std::u16string utf16FromAscii(std::string_view ascii);

} // namespace engine::propset
