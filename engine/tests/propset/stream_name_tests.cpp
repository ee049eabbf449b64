#include "common/error.h"
#include "propset/stream_name.h"

#include <gtest/gtest.h>

namespace engine::propset {
namespace {

struct FixedNameRow {
    const char* label;
    const char* formatId;
    std::u16string name;
};

class FixedStreamNameTest : public ::testing::TestWithParam<FixedNameRow> {};

TEST_P(FixedStreamNameTest, MapsTheWellKnownSetsBothWays) {
    const Guid formatId = *Guid::fromString(GetParam().formatId);
    EXPECT_EQ(streamNameForFormatId(formatId), GetParam().name);
    Guid back;
    ASSERT_EQ(formatIdForStreamName(GetParam().name, back), Status::ok);
    // The user-defined set shares its stream with the document-summary set, named after it.
    EXPECT_EQ(back, formatId == kFormatIdUserDefinedProperties ? kFormatIdDocSummaryInformation
                                                               : formatId);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, FixedStreamNameTest, ::testing::Values(
    FixedNameRow{"Summary", "{F29F85E0-4FF9-1068-AB91-08002B27B3D9}", u"\005SummaryInformation"},
    FixedNameRow{"DocumentSummary", "{D5CDD502-2E9C-101B-9397-08002B2CF9AE}", u"\005DocumentSummaryInformation"},
    FixedNameRow{"UserDefined", "{D5CDD505-2E9C-101B-9397-08002B2CF9AE}", u"\005DocumentSummaryInformation"},
    FixedNameRow{"GlobalInfo", "{56616F00-C154-11CE-8553-00AA00A1F95B}", u"\005GlobalInfo"},
    FixedNameRow{"ImageContents", "{56616400-C154-11CE-8553-00AA00A1F95B}", u"\005ImageContents"},
    FixedNameRow{"ImageInfo", "{56616500-C154-11CE-8553-00AA00A1F95B}", u"\005ImageInfo"}),
    [](const auto& info) { return info.param.label; });
// clang-format on

// Names worked out by hand from the algorithm of MS-OLEPS 2.23: the FMTID's stored bytes as one
// string of bits, least significant bit of the first byte first, five bits per character of
// "abcdefghijklmnopqrstuvwxyz012345", two zero bits added at the end.
struct Base32Row {
    const char* label;
    Guid formatId;
    std::u16string name;
};

Guid storedBytes(std::initializer_list<std::pair<int, std::uint8_t>> nonZero) {
    Guid guid;
    for (const auto& [index, value] : nonZero)
        guid.bytes[static_cast<std::size_t>(index)] = value;
    return guid;
}

class Base32StreamNameTest : public ::testing::TestWithParam<Base32Row> {};

TEST_P(Base32StreamNameTest, EncodesAndDecodes) {
    EXPECT_EQ(streamNameForFormatId(GetParam().formatId), GetParam().name);
    Guid decoded;
    ASSERT_EQ(formatIdForStreamName(GetParam().name, decoded), Status::ok) << lastFailureMessage();
    EXPECT_EQ(decoded, GetParam().formatId);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, Base32StreamNameTest, ::testing::Values(
    Base32Row{"AllZero", Guid{}, u"\005aaaaaaaaaaaaaaaaaaaaaaaaaa"},
    Base32Row{"LowestBit", storedBytes({{0, 0x01}}), u"\005baaaaaaaaaaaaaaaaaaaaaaaaa"},
    Base32Row{"FifthBitStartsSecondCharacter", storedBytes({{0, 0x20}}), u"\005abaaaaaaaaaaaaaaaaaaaaaaaa"},
    Base32Row{"FirstFiveBitsAllSet", storedBytes({{0, 0x1F}}), u"\0055aaaaaaaaaaaaaaaaaaaaaaaaa"},
    Base32Row{"GroupAcrossTwoBytes", storedBytes({{0, 0xC0}, {1, 0x01}}), u"\005aoaaaaaaaaaaaaaaaaaaaaaaaa"},
    Base32Row{"HighestBitInLastCharacter", storedBytes({{15, 0x80}}), u"\005aaaaaaaaaaaaaaaaaaaaaaaaae"}),
    [](const auto& info) { return info.param.label; });
// clang-format on

TEST(StreamNameTest, DecodingIgnoresLetterCase) {
    Guid lower, upper;
    ASSERT_EQ(formatIdForStreamName(u"\005abcdefghijklmnopqrstuvwxyd", lower), Status::ok);
    ASSERT_EQ(formatIdForStreamName(u"\005ABCDEFGHIJKLMNOPQRSTUVWXYD", upper), Status::ok);
    EXPECT_EQ(lower, upper);
}

struct BadNameRow {
    const char* label;
    std::u16string name;
};

class BadStreamNameTest : public ::testing::TestWithParam<BadNameRow> {};

TEST_P(BadStreamNameTest, IsNotAPropertySetName) {
    Guid formatId;
    EXPECT_EQ(formatIdForStreamName(GetParam().name, formatId), Status::invalidName);
    EXPECT_FALSE(isPropertySetStreamName(GetParam().name));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, BadStreamNameTest, ::testing::Values(
    BadNameRow{"NoPrefix", u"SummaryInformation"}, BadNameRow{"OrdinaryStream", u"WordDocument"},
    BadNameRow{"TooShort", u"\005aaaaaaaaaaaaaaaaaaaaaaaaa"}, BadNameRow{"TooLong", u"\005aaaaaaaaaaaaaaaaaaaaaaaaaaa"},
    BadNameRow{"DigitOutsideAlphabet", u"\0056aaaaaaaaaaaaaaaaaaaaaaaaa"}, BadNameRow{"Punctuation", u"\005a-aaaaaaaaaaaaaaaaaaaaaaaa"},
    BadNameRow{"BitsPast128", u"\005aaaaaaaaaaaaaaaaaaaaaaaaai"}, BadNameRow{"WrongCaseOfFixedName", u"\005summaryinformation"}),
    [](const auto& info) { return info.param.label; });
// clang-format on

TEST(GuidTest, TextFormRoundTrips) {
    const auto id = Guid::fromString("{f29f85e0-4ff9-1068-ab91-08002b27b3d9}");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(*id, kFormatIdSummaryInformation);
    EXPECT_EQ(id->toString(), "{F29F85E0-4FF9-1068-AB91-08002B27B3D9}");
    EXPECT_EQ(id->bytes[0], 0xE0); // Data1 stored little-endian
    EXPECT_EQ(id->bytes[8], 0xAB); // Data4 stored as written
    EXPECT_FALSE(Guid::fromString("{F29F85E0-4FF9-1068-AB91-08002B27B3D}").has_value());
    EXPECT_FALSE(Guid::fromString("{F29F85E0+4FF9-1068-AB91-08002B27B3D9}").has_value());
    EXPECT_FALSE(Guid::fromString("{G29F85E0-4FF9-1068-AB91-08002B27B3D9}").has_value());
}

} // namespace
} // namespace engine::propset
