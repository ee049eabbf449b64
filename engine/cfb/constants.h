// Offsets, sizes and sentinel values of the compound-file format (MS-CFB), in one place.
//
// Every number that comes from the file format is named here, so that the layers that read
// and write the format never carry a bare literal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace engine::cfb {

// Sector numbers with a special meaning in the FAT, the mini FAT and the DIFAT
// (MS-CFB section 2.1).
inline constexpr std::uint32_t maxRegularSector = 0xFFFFFFFAu;
inline constexpr std::uint32_t difatSectorMark = 0xFFFFFFFCu;
inline constexpr std::uint32_t fatSectorMark = 0xFFFFFFFDu;
inline constexpr std::uint32_t endOfChain = 0xFFFFFFFEu;
inline constexpr std::uint32_t freeSector = 0xFFFFFFFFu;

// Directory entry ids with a special meaning (MS-CFB section 2.6).
inline constexpr std::uint32_t maxRegularStreamId = 0xFFFFFFFAu;
inline constexpr std::uint32_t noStream = 0xFFFFFFFFu;

// The header (MS-CFB section 2.2).
inline constexpr std::array<std::uint8_t, 8> headerSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                                0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::size_t headerSize = 512;
inline constexpr std::size_t headerDifatEntries = 109;

namespace headerOffset {
inline constexpr std::size_t signature = 0x00;
inline constexpr std::size_t clsid = 0x08;
inline constexpr std::size_t minorVersion = 0x18;
inline constexpr std::size_t majorVersion = 0x1A;
inline constexpr std::size_t byteOrder = 0x1C;
inline constexpr std::size_t sectorShift = 0x1E;
inline constexpr std::size_t miniSectorShift = 0x20;
inline constexpr std::size_t reserved = 0x22; // 6 bytes that must be zero
inline constexpr std::size_t reservedSize = 6;
inline constexpr std::size_t directorySectorCount = 0x28;
inline constexpr std::size_t fatSectorCount = 0x2C;
inline constexpr std::size_t firstDirectorySector = 0x30;
inline constexpr std::size_t transactionSignature = 0x34;
inline constexpr std::size_t miniStreamCutoff = 0x38;
inline constexpr std::size_t firstMiniFatSector = 0x3C;
inline constexpr std::size_t miniFatSectorCount = 0x40;
inline constexpr std::size_t firstDifatSector = 0x44;
inline constexpr std::size_t difatSectorCount = 0x48;
inline constexpr std::size_t difat = 0x4C;
} // namespace headerOffset

// Written by this engine; readers accept any minor version (other writers use 0x3B, 0x21).
inline constexpr std::uint16_t minorVersionValue = 0x003E;
inline constexpr std::uint16_t majorVersion3 = 3;
inline constexpr std::uint16_t majorVersion4 = 4;
inline constexpr std::uint16_t byteOrderMark = 0xFFFE;
inline constexpr std::uint16_t sectorShiftVersion3 = 9;  // 512-byte sectors
inline constexpr std::uint16_t sectorShiftVersion4 = 12; // 4096-byte sectors
inline constexpr std::uint16_t miniSectorShiftValue = 6; // 64-byte mini sectors
inline constexpr std::uint32_t miniSectorSize = 1u << miniSectorShiftValue;
inline constexpr std::uint32_t miniStreamCutoffValue = 4096;

// Directory entries (MS-CFB section 2.6.1).
inline constexpr std::size_t directoryEntrySize = 128;
inline constexpr std::size_t maxNameUnits = 31; // UTF-16 units, not counting the terminator
inline constexpr std::size_t nameFieldBytes = 64;

namespace entryOffset {
inline constexpr std::size_t name = 0x00;
inline constexpr std::size_t nameLength = 0x40;
inline constexpr std::size_t objectType = 0x42;
inline constexpr std::size_t colour = 0x43;
inline constexpr std::size_t leftSibling = 0x44;
inline constexpr std::size_t rightSibling = 0x48;
inline constexpr std::size_t child = 0x4C;
inline constexpr std::size_t clsid = 0x50;
inline constexpr std::size_t stateBits = 0x60;
inline constexpr std::size_t creationTime = 0x64;
inline constexpr std::size_t modifiedTime = 0x6C;
inline constexpr std::size_t startSector = 0x74;
inline constexpr std::size_t streamSize = 0x78;
} // namespace entryOffset

enum class ObjectType : std::uint8_t {
    unused = 0,
    storage = 1,
    stream = 2,
    root = 5,
};

enum class Colour : std::uint8_t {
    red = 0,
    black = 1,
};

// The range-lock area: the sector covering these file offsets is never allocated
// (MS-CFB section 2.2, range lock sector).
inline constexpr std::uint64_t rangeLockFirstByte = 0x7FFFFF00u;
inline constexpr std::uint64_t rangeLockLastByte = 0x7FFFFFFFu;

// Version 3 files (512-byte sectors) must stay below 2 GiB.
inline constexpr std::uint64_t version3MaxFileSize = rangeLockFirstByte;

} // namespace engine::cfb
