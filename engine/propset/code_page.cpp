#include "propset/code_page.h"

#include "common/error.h"

#include <array>
#include <optional>

namespace engine::propset {
namespace {

constexpr char16_t kFirstHighSurrogate = 0xD800;
constexpr char16_t kFirstLowSurrogate = 0xDC00;
constexpr char16_t kLastLowSurrogate = 0xDFFF;
constexpr char32_t kFirstSupplementary = 0x10000;
constexpr char32_t kLastCodePoint = 0x10FFFF;

// Code page 1252 differs from Latin-1 only in 0x80-0x9F. The five bytes Windows leaves
// undefined there (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value,
// as MultiByteToWideChar does, so that every byte converts and converts back.
constexpr std::array<char16_t, 32> kWindows1252Range80To9F = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};
constexpr unsigned kWindows1252TableStart = 0x80;
constexpr unsigned kWindows1252TableEnd = 0xA0;

bool isHighSurrogate(char16_t unit) {
    return unit >= kFirstHighSurrogate && unit < kFirstLowSurrogate;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= kFirstLowSurrogate && unit <= kLastLowSurrogate;
}

Status untranslatable(CodePage codePage, std::size_t index, unsigned value) {
    return fail(kStatusNoUnicodeTranslation,
                describe("character ", value, " at index ", index,
                         " has no equivalent in code page ", codePage));
}

Status windows1252ToUtf16(std::string_view bytes, std::u16string& text) {
    text.clear();
    text.reserve(bytes.size());
    for (unsigned char byte : bytes) {
        if (byte >= kWindows1252TableStart && byte < kWindows1252TableEnd)
            text += kWindows1252Range80To9F[byte - kWindows1252TableStart];
        else
            text += static_cast<char16_t>(byte);
    }
    return Status::ok;
}

std::optional<unsigned char> windows1252ByteFor(char16_t unit) {
    if (unit < kWindows1252TableStart || (unit >= kWindows1252TableEnd && unit <= 0xFF))
        return static_cast<unsigned char>(unit);
    for (unsigned i = 0; i < kWindows1252Range80To9F.size(); ++i)
        if (kWindows1252Range80To9F[i] == unit)
            return static_cast<unsigned char>(kWindows1252TableStart + i);
    return std::nullopt;
}

Status utf16ToWindows1252(std::u16string_view text, std::string& bytes) {
    bytes.clear();
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = windows1252ByteFor(text[i]);
        if (!byte)
            return untranslatable(kCodePageWindows1252, i, text[i]);
        bytes += static_cast<char>(*byte);
    }
    return Status::ok;
}

// Number of continuation bytes after a UTF-8 lead byte, or -1 for a byte that cannot lead.
int continuationCount(unsigned char lead) {
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 3;
    return -1;
}

// The smallest code point that needs a sequence of this many continuation bytes.
char32_t smallestCodePointFor(int continuations) {
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    return kSmallest[continuations];
}

void appendCodePoint(char32_t codePoint, std::u16string& text) {
    if (codePoint < kFirstSupplementary) {
        text += static_cast<char16_t>(codePoint);
        return;
    }
    const char32_t offset = codePoint - kFirstSupplementary;
    text += static_cast<char16_t>(kFirstHighSurrogate + (offset >> 10));
    text += static_cast<char16_t>(kFirstLowSurrogate + (offset & 0x3FF));
}

Status utf8ToUtf16(std::string_view bytes, std::u16string& text) {
    text.clear();
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int continuations = continuationCount(lead);
        const std::size_t bytesAfterLead = bytes.size() - i - 1;
        if (continuations < 0 || static_cast<std::size_t>(continuations) > bytesAfterLead)
            return untranslatable(kCodePageUtf8, i, lead);
        char32_t codePoint = continuations == 0 ? lead : (lead & (0x3F >> continuations));
        for (int k = 1; k <= continuations; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return untranslatable(kCodePageUtf8, i + k, next);
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        const bool overlong = codePoint < smallestCodePointFor(continuations);
        const bool surrogate = codePoint >= kFirstHighSurrogate && codePoint <= kLastLowSurrogate;
        if (overlong || surrogate || codePoint > kLastCodePoint)
            return untranslatable(kCodePageUtf8, i, lead);
        appendCodePoint(codePoint, text);
        i += static_cast<std::size_t>(continuations) + 1;
    }
    return Status::ok;
}

void appendUtf8(char32_t codePoint, std::string& bytes) {
    if (codePoint < 0x80) {
        bytes += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        bytes += static_cast<char>(0xC0 | (codePoint >> 6));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < kFirstSupplementary) {
        bytes += static_cast<char>(0xE0 | (codePoint >> 12));
        bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (codePoint >> 18));
        bytes += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

Status utf16ToUtf8(std::u16string_view text, std::string& bytes) {
    bytes.clear();
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (isLowSurrogate(unit))
            return untranslatable(kCodePageUtf8, i, unit);
        if (!isHighSurrogate(unit)) {
            appendUtf8(unit, bytes);
            continue;
        }
        if (i + 1 >= text.size() || !isLowSurrogate(text[i + 1]))
            return untranslatable(kCodePageUtf8, i, unit);
        const char32_t codePoint = kFirstSupplementary +
                                   ((char32_t{unit} - kFirstHighSurrogate) << 10) +
                                   (char32_t{text[i + 1]} - kFirstLowSurrogate);
        appendUtf8(codePoint, bytes);
        ++i;
    }
    return Status::ok;
}

Status unsupported(CodePage codePage) {
    return fail(kStatusUnsupportedCodePage,
                describe("code page ", codePage, " is not one of 1200, 65001 and 1252"));
}

class BuiltInConverter final : public CodePageConverter {
public:
    Status toUtf16(CodePage codePage, std::string_view bytes, std::u16string& text) const override {
        switch (codePage) {
        case kCodePageUnicode:
            return utf16FromLittleEndianBytes(bytes, text);
        case kCodePageUtf8:
            return utf8ToUtf16(bytes, text);
        case kCodePageWindows1252:
            return windows1252ToUtf16(bytes, text);
        default:
            return unsupported(codePage);
        }
    }

    Status fromUtf16(CodePage codePage, std::u16string_view text,
                     std::string& bytes) const override {
        switch (codePage) {
        case kCodePageUnicode:
            bytes = littleEndianBytesFromUtf16(text);
            return Status::ok;
        case kCodePageUtf8:
            return utf16ToUtf8(text, bytes);
        case kCodePageWindows1252:
            return utf16ToWindows1252(text, bytes);
        default:
            return unsupported(codePage);
        }
    }
};

} // namespace

const CodePageConverter& builtInCodePages() {
    static const BuiltInConverter converter;
    return converter;
}

bool isBuiltInCodePage(CodePage codePage) {
    return codePage == kCodePageUnicode || codePage == kCodePageUtf8 ||
           codePage == kCodePageWindows1252;
}

Status convertToUtf16(CodePage codePage, std::string_view bytes, std::u16string& text,
                      const CodePageConverter& converter) {
    const CodePageConverter& chosen = isBuiltInCodePage(codePage) ? builtInCodePages() : converter;
    return chosen.toUtf16(codePage, bytes, text);
}

Status convertFromUtf16(CodePage codePage, std::u16string_view text, std::string& bytes,
                        const CodePageConverter& converter) {
    const CodePageConverter& chosen = isBuiltInCodePage(codePage) ? builtInCodePages() : converter;
    return chosen.fromUtf16(codePage, text, bytes);
}

Status utf16FromLittleEndianBytes(std::string_view bytes, std::u16string& text) {
    if (bytes.size() % 2 != 0)
        return fail(kStatusNoUnicodeTranslation,
                    describe("UTF-16 text of ", bytes.size(), " bytes has an odd length"));
    text.clear();
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return Status::ok;
}

std::string littleEndianBytesFromUtf16(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::u16string utf16FromAscii(std::string_view ascii) {
    std::u16string text;
    text.reserve(ascii.size());
    for (char c : ascii)
        text += static_cast<char16_t>(static_cast<unsigned char>(c));
    return text;
}

} // namespace engine::propset
