// The fixed-layout structures of a compound file: the header and the directory entry,
// with their little-endian encoding and the checks made on every header that is read.
#pragma once

#include "cfb/constants.h"
#include "common/status.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace engine::cfb {

// ---- little-endian fields ---------------------------------------------------------------

[[nodiscard]] inline std::uint16_t load16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
[[nodiscard]] inline std::uint32_t load32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}
[[nodiscard]] inline std::uint64_t load64(const std::uint8_t* bytes) {
    return load32(bytes) | (static_cast<std::uint64_t>(load32(bytes + 4)) << 32);
}
inline void store16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void store32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline void store64(std::uint8_t* bytes, std::uint64_t value) {
    store32(bytes, static_cast<std::uint32_t>(value));
    store32(bytes + 4, static_cast<std::uint32_t>(value >> 32));
}

using Clsid = std::array<std::uint8_t, 16>;

enum class Version : std::uint16_t {
    v3 = majorVersion3, // 512-byte sectors, files below 2 GiB
    v4 = majorVersion4, // 4096-byte sectors
};

[[nodiscard]] constexpr std::uint32_t sectorSizeOf(Version version) {
    return version == Version::v3 ? 1u << sectorShiftVersion3 : 1u << sectorShiftVersion4;
}

// ---- header -----------------------------------------------------------------------------

struct Header {
    Version version = Version::v3;
    std::uint32_t directorySectorCount = 0; // always 0 in version 3
    std::uint32_t fatSectorCount = 0;
    std::uint32_t firstDirectorySector = endOfChain;
    std::uint32_t transactionSignature = 0;
    std::uint32_t firstMiniFatSector = endOfChain;
    std::uint32_t miniFatSectorCount = 0;
    std::uint32_t firstDifatSector = endOfChain;
    std::uint32_t difatSectorCount = 0;
    std::array<std::uint32_t, headerDifatEntries> difat{};

    [[nodiscard]] std::uint32_t sectorSize() const { return sectorSizeOf(version); }
};

// Decodes and checks the first 512 bytes of a file. Refuses a bad signature, major version,
// sector shift, mini sector shift or mini-stream cut-off, and a first directory sector that
// is a mark, with Status::invalidHeader and a message naming the field and its value. The
// fields that only should hold a value (minor version, class id, byte order, reserved bytes,
// the version 3 directory sector count) are not checked: headerRemarks names them. The
// DIFAT entries are checked when the FAT is read, against the FAT sector count (entries
// past it are ignored, as other writers leave them in any state).
[[nodiscard]] Status parseHeader(const std::uint8_t* bytes, Header* header);

// What a header holds that a reader accepts but this engine never writes, one remark each
// (the minor version that is not 0x3E, a class id that is not null, ...).
[[nodiscard]] std::vector<std::string> headerRemarks(const std::uint8_t* bytes);

// Encodes a header; the buffer is headerSize bytes.
void serializeHeader(const Header& header, std::uint8_t* bytes);

// ---- directory entry --------------------------------------------------------------------

// An element name held inline, at most maxNameUnits units: the element tree of a large
// document then costs no allocation per name, and a node's name lies beside the node.
class ElementName {
public:
    ElementName() = default;
    // Names longer than maxNameUnits are cut there; callers check names before.
    ElementName(std::u16string_view name) { *this = name; } // NOLINT: converts like a string
    ElementName(const char16_t* name) : ElementName(std::u16string_view(name)) {}
    ElementName& operator=(std::u16string_view name) {
        length_ = static_cast<std::uint8_t>(std::min(name.size(), maxNameUnits));
        std::copy_n(name.begin(), length_, units_.begin());
        return *this;
    }
    ElementName& operator=(const char16_t* name) { return *this = std::u16string_view(name); }

    operator std::u16string_view() const { return {units_.data(), length_}; }
    [[nodiscard]] std::size_t size() const { return length_; }
    [[nodiscard]] char16_t operator[](std::size_t i) const { return units_[i]; }

    friend bool operator==(const ElementName& left, std::u16string_view right) {
        return std::u16string_view(left) == right;
    }

private:
    std::array<char16_t, maxNameUnits> units_{};
    std::uint8_t length_ = 0;
};

struct DirectoryEntry {
    ElementName name;
    ObjectType type = ObjectType::unused;
    Colour colour = Colour::black;
    std::uint32_t left = noStream;
    std::uint32_t right = noStream;
    std::uint32_t child = noStream;
    Clsid clsid{};
    std::uint32_t stateBits = 0;
    std::uint64_t creationTime = 0; // FILETIME: 100 ns units since 1601-01-01
    std::uint64_t modifiedTime = 0;
    std::uint32_t startSector = endOfChain;
    std::uint64_t size = 0;
};

// Decodes one 128-byte entry. Refuses an unknown object type or colour, and a name length
// that is odd, longer than the name field, or without its terminator, with
// Status::docfileCorrupt naming `id`. Version 3 files keep only the low 32 bits of the size.
[[nodiscard]] Status parseDirectoryEntry(const std::uint8_t* bytes, std::uint32_t id,
                                         Version version, DirectoryEntry* entry);

void serializeDirectoryEntry(const DirectoryEntry& entry, std::uint8_t* bytes);

} // namespace engine::cfb
