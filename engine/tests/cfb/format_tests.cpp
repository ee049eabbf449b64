// The header and directory entry codecs, and the checks made on each header read.
#include "test_support.h"

#include "cfb/format.h"

#include <functional>

namespace engine::cfb::testing {
namespace {

std::vector<std::uint8_t> validHeaderBytes(Version version) {
    Header header;
    header.version = version;
    header.fatSectorCount = 1;
    header.firstDirectorySector = 1;
    header.difat.fill(freeSector);
    header.difat[0] = 0;
    std::vector<std::uint8_t> bytes(headerSize);
    serializeHeader(header, bytes.data());
    return bytes;
}

TEST(HeaderTest, RoundTripsEveryField) {
    for (Version version : {Version::v3, Version::v4}) {
        Header header;
        header.version = version;
        header.directorySectorCount = version == Version::v4 ? 7 : 0;
        header.fatSectorCount = 200;
        header.firstDirectorySector = 12;
        header.firstMiniFatSector = 13;
        header.miniFatSectorCount = 2;
        header.firstDifatSector = 14;
        header.difatSectorCount = 1;
        for (std::size_t i = 0; i < headerDifatEntries; ++i)
            header.difat[i] = static_cast<std::uint32_t>(100 + i);
        std::vector<std::uint8_t> bytes(headerSize);
        serializeHeader(header, bytes.data());
        Header back;
        ASSERT_OK(parseHeader(bytes.data(), &back));
        EXPECT_EQ(back.version, version);
        EXPECT_EQ(back.directorySectorCount, header.directorySectorCount);
        EXPECT_EQ(back.fatSectorCount, 200u);
        EXPECT_EQ(back.firstDirectorySector, 12u);
        EXPECT_EQ(back.firstMiniFatSector, 13u);
        EXPECT_EQ(back.miniFatSectorCount, 2u);
        EXPECT_EQ(back.firstDifatSector, 14u);
        EXPECT_EQ(back.difatSectorCount, 1u);
        EXPECT_EQ(back.difat, header.difat);
    }
}

TEST(HeaderTest, RefusesEachBadField) {
    struct BadField {
        const char* label;
        Version version;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const BadField cases[] = {
        {"signature", Version::v3,
         [](auto& b) {
             b[0] = 0;
         }},
        {"class id not null", Version::v3,
         [](auto& b) {
             b[0x10] = 1;
         }},
        {"minor version 0x21", Version::v3,
         [](auto& b) {
             store16(&b[0x18], 0x21);
         }},
        {"major version 2", Version::v3,
         [](auto& b) {
             store16(&b[0x1A], 2);
         }},
        {"major version 5", Version::v3,
         [](auto& b) {
             store16(&b[0x1A], 5);
         }},
        {"byte order", Version::v3,
         [](auto& b) {
             store16(&b[0x1C], 0xFEFF);
         }},
        {"v3 with sector shift 12", Version::v3,
         [](auto& b) {
             store16(&b[0x1E], 12);
         }},
        {"v4 with sector shift 9", Version::v4,
         [](auto& b) {
             store16(&b[0x1E], 9);
         }},
        {"mini sector shift", Version::v3,
         [](auto& b) {
             store16(&b[0x20], 7);
         }},
        {"reserved byte", Version::v3,
         [](auto& b) {
             b[0x25] = 1;
         }},
        {"v3 directory sector count", Version::v3,
         [](auto& b) {
             store32(&b[0x28], 1);
         }},
        {"mini cut-off", Version::v4,
         [](auto& b) {
             store32(&b[0x38], 2048);
         }},
        {"first directory sector is a mark", Version::v3,
         [](auto& b) {
             store32(&b[0x30], endOfChain);
         }},
    };
    for (const BadField& row : cases) {
        SCOPED_TRACE(row.label);
        auto bytes = validHeaderBytes(row.version);
        Header header;
        ASSERT_OK(parseHeader(bytes.data(), &header));
        row.damage(bytes);
        EXPECT_EQ(parseHeader(bytes.data(), &header), Status::invalidHeader);
        EXPECT_FALSE(lastFailureMessage().empty());
    }
}

TEST(HeaderTest, AcceptsTheOlderMinorVersion) {
    auto bytes = validHeaderBytes(Version::v3);
    store16(&bytes[0x18], 0x3B);
    Header header;
    EXPECT_OK(parseHeader(bytes.data(), &header));
}

TEST(DirectoryEntryTest, RoundTripsEveryField) {
    DirectoryEntry entry;
    entry.name = u"\u0005SummaryInformation";
    entry.type = ObjectType::stream;
    entry.colour = Colour::red;
    entry.left = 4;
    entry.right = 5;
    entry.child = noStream;
    entry.clsid = Clsid{9, 8, 7};
    entry.stateBits = 0x12345678;
    entry.creationTime = 0x0102030405060708ull;
    entry.modifiedTime = 0x1112131415161718ull;
    entry.startSector = 77;
    entry.size = 0x100000005ull;
    std::vector<std::uint8_t> bytes(directoryEntrySize);
    serializeDirectoryEntry(entry, bytes.data());
    DirectoryEntry back;
    ASSERT_OK(parseDirectoryEntry(bytes.data(), 3, Version::v4, &back));
    EXPECT_EQ(back.name, entry.name);
    EXPECT_EQ(back.type, entry.type);
    EXPECT_EQ(back.colour, entry.colour);
    EXPECT_EQ(back.left, 4u);
    EXPECT_EQ(back.right, 5u);
    EXPECT_EQ(back.child, noStream);
    EXPECT_EQ(back.clsid, entry.clsid);
    EXPECT_EQ(back.stateBits, entry.stateBits);
    EXPECT_EQ(back.creationTime, entry.creationTime);
    EXPECT_EQ(back.modifiedTime, entry.modifiedTime);
    EXPECT_EQ(back.startSector, 77u);
    EXPECT_EQ(back.size, 0x100000005ull);
    ASSERT_OK(parseDirectoryEntry(bytes.data(), 3, Version::v3, &back));
    EXPECT_EQ(back.size, 5u) << "version 3 ignores the high 32 bits of the size";
}

TEST(DirectoryEntryTest, RefusesBadFields) {
    struct BadEntry {
        const char* label;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const BadEntry cases[] = {
        {"object type 3",
         [](auto& b) {
             b[0x42] = 3;
         }},
        {"colour 2",
         [](auto& b) {
             b[0x43] = 2;
         }},
        {"odd name length",
         [](auto& b) {
             store16(&b[0x40], 7);
         }},
        {"name length 0",
         [](auto& b) {
             store16(&b[0x40], 0);
         }},
        {"name length past the field",
         [](auto& b) {
             store16(&b[0x40], 66);
         }},
        {"no terminator",
         [](auto& b) {
             store16(&b[0x40], 4);
         }},
    };
    DirectoryEntry entry;
    entry.name = u"Name";
    entry.type = ObjectType::storage;
    for (const BadEntry& row : cases) {
        SCOPED_TRACE(row.label);
        std::vector<std::uint8_t> bytes(directoryEntrySize);
        serializeDirectoryEntry(entry, bytes.data());
        DirectoryEntry back;
        ASSERT_OK(parseDirectoryEntry(bytes.data(), 1, Version::v3, &back));
        row.damage(bytes);
        EXPECT_EQ(parseDirectoryEntry(bytes.data(), 1, Version::v3, &back), Status::docfileCorrupt);
    }
}

} // namespace
} // namespace engine::cfb::testing
