// The header and directory entry codecs, and the checks made on each header read.
#include "test_support.h"

#include "cfb/format.h"

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

// Every field set to a distinct value survives serialize, parse and serialize again byte
// for byte; the fields a parse forgot would come back as zeros.
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
        std::vector<std::uint8_t> bytes(headerSize), again(headerSize);
        serializeHeader(header, bytes.data());
        Header back;
        ASSERT_OK(parseHeader(bytes.data(), &back));
        serializeHeader(back, again.data());
        EXPECT_EQ(again, bytes);
        EXPECT_EQ(load32(&bytes[0x2C]), 200u);
    }
}

// One header field changed per row. A refused field changes how the rest of the file is
// read; an accepted one is read in any state, as other readers read it, and named by
// headerRemarks. Either way the message names the value found.
TEST(HeaderTest, RefusesOnlyTheFieldsReadersNeed) {
    enum Outcome { refused, remarked };
    // clang-format off
    const std::tuple<const char*, Version, std::size_t, std::size_t, std::uint32_t, Outcome, const char*> rows[] = {
        {"signature",                   Version::v3, 0x00, 1, 0,          refused,  "signature"},
        {"major version 2",             Version::v3, 0x1A, 2, 2,          refused,  "2"},
        {"major version 5",             Version::v3, 0x1A, 2, 5,          refused,  "5"},
        {"v3 with sector shift 12",     Version::v3, 0x1E, 2, 12,         refused,  "12"},
        {"v4 with sector shift 9",      Version::v4, 0x1E, 2, 9,          refused,  "9"},
        {"mini sector shift",           Version::v3, 0x20, 2, 7,          refused,  "7"},
        {"mini cut-off",                Version::v4, 0x38, 4, 2048,       refused,  "2048"},
        {"first directory sector mark", Version::v3, 0x30, 4, endOfChain, refused,  "4294967294"},
        {"minor version 0x21",          Version::v3, 0x18, 2, 0x21,       remarked, "33"},
        {"minor version 0x3B",          Version::v4, 0x18, 2, 0x3B,       remarked, "59"},
        {"class id not null",           Version::v3, 0x10, 1, 1,          remarked, "class id"},
        {"byte order",                  Version::v3, 0x1C, 2, 0xFEFF,     remarked, "65279"},
        {"reserved byte",               Version::v3, 0x25, 1, 1,          remarked, "reserved"},
        {"v3 directory sector count",   Version::v3, 0x28, 4, 1,          remarked, "1 in version 3"},
    };
    // clang-format on
    for (const auto& [label, version, offset, width, value, outcome, number] : rows) {
        SCOPED_TRACE(label);
        auto bytes = validHeaderBytes(version);
        Header header;
        ASSERT_OK(parseHeader(bytes.data(), &header));
        ASSERT_TRUE(headerRemarks(bytes.data()).empty());
        for (std::size_t i = 0; i < width; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        if (outcome == refused) {
            EXPECT_EQ(parseHeader(bytes.data(), &header), Status::invalidHeader);
            EXPECT_NE(lastFailureMessage().find(number), std::string::npos) << lastFailureMessage();
            continue;
        }
        EXPECT_OK(parseHeader(bytes.data(), &header));
        EXPECT_EQ(header.version, version);
        const auto remarks = headerRemarks(bytes.data());
        ASSERT_EQ(remarks.size(), 1u);
        EXPECT_NE(remarks[0].find(number), std::string::npos) << remarks[0];
    }
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
    std::vector<std::uint8_t> bytes(directoryEntrySize), again(directoryEntrySize);
    serializeDirectoryEntry(entry, bytes.data());
    DirectoryEntry back;
    ASSERT_OK(parseDirectoryEntry(bytes.data(), 3, Version::v4, &back));
    serializeDirectoryEntry(back, again.data());
    EXPECT_EQ(again, bytes);
    EXPECT_EQ(back.name, entry.name);
    EXPECT_EQ(back.size, 0x100000005ull);
    ASSERT_OK(parseDirectoryEntry(bytes.data(), 3, Version::v3, &back));
    EXPECT_EQ(back.size, 5u) << "version 3 ignores the high 32 bits of the size";
}

// One field of a valid storage entry named "Name" changed per row.
TEST(DirectoryEntryTest, RefusesBadFields) {
    // clang-format off
    const std::tuple<const char*, std::size_t, std::size_t, std::uint16_t> cases[] = {
        {"object type 3",              entryOffset::objectType, 1, 3},
        {"colour 2",                   entryOffset::colour,     1, 2},
        {"odd name length",            entryOffset::nameLength, 2, 7},
        {"name length 0",              entryOffset::nameLength, 2, 0},
        {"name length past the field", entryOffset::nameLength, 2, 66},
        {"no terminator",              entryOffset::nameLength, 2, 4},
    };
    // clang-format on
    DirectoryEntry entry;
    entry.name = u"Name";
    entry.type = ObjectType::storage;
    for (const auto& [label, offset, width, value] : cases) {
        SCOPED_TRACE(label);
        std::vector<std::uint8_t> bytes(directoryEntrySize);
        serializeDirectoryEntry(entry, bytes.data());
        DirectoryEntry back;
        ASSERT_OK(parseDirectoryEntry(bytes.data(), 1, Version::v3, &back));
        for (std::size_t i = 0; i < width; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        EXPECT_EQ(parseDirectoryEntry(bytes.data(), 1, Version::v3, &back), Status::docfileCorrupt);
    }
}

} // namespace
} // namespace engine::cfb::testing
