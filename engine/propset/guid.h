// Class and format identifiers as stored in property-set streams.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::propset {

// A GUID kept in its stored byte order (Data1, Data2 and Data3 little-endian, then Data4), which
// is also the memory layout of a Windows GUID, so that the provider can copy it as it is.
struct Guid {
    std::array<std::uint8_t, 16> bytes{};

    [[nodiscard]] static constexpr Guid fromFields(std::uint32_t data1, std::uint16_t data2,
                                                   std::uint16_t data3,
                                                   std::array<std::uint8_t, 8> data4) {
        Guid guid;
        for (int i = 0; i < 4; ++i)
            guid.bytes[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
        for (int i = 0; i < 2; ++i) {
            guid.bytes[4 + i] = static_cast<std::uint8_t>(data2 >> (8 * i));
            guid.bytes[6 + i] = static_cast<std::uint8_t>(data3 >> (8 * i));
        }
        for (int i = 0; i < 8; ++i)
            guid.bytes[8 + i] = data4[i];
        return guid;
    }

    // Parses "{F29F85E0-4FF9-1068-AB91-08002B27B3D9}" (braces optional, any letter case).
    [[nodiscard]] static std::optional<Guid> fromString(std::string_view text);

    // "{F29F85E0-4FF9-1068-AB91-08002B27B3D9}".
    [[nodiscard]] std::string toString() const;

    [[nodiscard]] bool isNull() const { return *this == Guid{}; }

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};

// Well-known format identifiers (MS-OLEPS 2.23, 2.25).
inline constexpr Guid kFormatIdSummaryInformation =
    Guid::fromFields(0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9});
inline constexpr Guid kFormatIdDocSummaryInformation =
    Guid::fromFields(0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE});
inline constexpr Guid kFormatIdUserDefinedProperties =
    Guid::fromFields(0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE});
inline constexpr Guid kFormatIdGlobalInfo =
    Guid::fromFields(0x56616F00, 0xC154, 0x11CE, {0x85, 0x53, 0x00, 0xAA, 0x00, 0xA1, 0xF9, 0x5B});
inline constexpr Guid kFormatIdImageContents =
    Guid::fromFields(0x56616400, 0xC154, 0x11CE, {0x85, 0x53, 0x00, 0xAA, 0x00, 0xA1, 0xF9, 0x5B});
inline constexpr Guid kFormatIdImageInfo =
    Guid::fromFields(0x56616500, 0xC154, 0x11CE, {0x85, 0x53, 0x00, 0xAA, 0x00, 0xA1, 0xF9, 0x5B});

} // namespace engine::propset
