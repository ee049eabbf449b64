#include "propset/guid.h"

#include <cstddef>

namespace engine::propset {
namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";
constexpr std::size_t kGuidTextLength = 36;               // without braces
constexpr std::size_t kDashPositions[] = {8, 13, 18, 23}; // in the text without braces

int hexValue(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

bool isDashPosition(std::size_t index) {
    for (std::size_t dash : kDashPositions)
        if (dash == index)
            return true;
    return false;
}

// Reads the 32 hexadecimal digits of the canonical text as a big-endian 128-bit number.
std::optional<std::array<std::uint8_t, 16>> readDigits(std::string_view text) {
    std::array<std::uint8_t, 16> value{};
    std::size_t nibble = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isDashPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            continue;
        }
        const int digit = hexValue(text[i]);
        if (digit < 0)
            return std::nullopt;
        value[nibble / 2] =
            static_cast<std::uint8_t>(value[nibble / 2] | (digit << ((nibble % 2) ? 0 : 4)));
        ++nibble;
    }
    return value;
}

} // namespace

std::optional<Guid> Guid::fromString(std::string_view text) {
    if (text.size() == kGuidTextLength + 2 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, kGuidTextLength);
    if (text.size() != kGuidTextLength)
        return std::nullopt;
    const auto digits = readDigits(text);
    if (!digits)
        return std::nullopt;
    const auto& d = *digits;
    const std::uint32_t data1 = (std::uint32_t{d[0]} << 24) | (std::uint32_t{d[1]} << 16) |
                                (std::uint32_t{d[2]} << 8) | d[3];
    const auto data2 = static_cast<std::uint16_t>((d[4] << 8) | d[5]);
    const auto data3 = static_cast<std::uint16_t>((d[6] << 8) | d[7]);
    return fromFields(data1, data2, data3, {d[8], d[9], d[10], d[11], d[12], d[13], d[14], d[15]});
}

std::string Guid::toString() const {
    // Stored order of the bytes shown at each position of the canonical text.
    static constexpr std::size_t kDisplayOrder[] = {3, 2, 1,  0,  5,  4,  7,  6,
                                                    8, 9, 10, 11, 12, 13, 14, 15};
    std::string text = "{";
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        const std::uint8_t byte = bytes[kDisplayOrder[i]];
        text += kHexDigits[byte >> 4];
        text += kHexDigits[byte & 0x0F];
    }
    text += '}';
    return text;
}

} // namespace engine::propset
