#include "common/error.h"
#include "propset/stream_name.h"

#include <gtest/gtest.h>

namespace engine::propset {
namespace {

// clang-format off
const std::tuple<const char*, const char*, std::u16string> kFixedNames[] = {
    {"Summary", "{F29F85E0-4FF9-1068-AB91-08002B27B3D9}", u"\005SummaryInformation"},
    {"DocumentSummary", "{D5CDD502-2E9C-101B-9397-08002B2CF9AE}", u"\005DocumentSummaryInformation"},
    {"UserDefined", "{D5CDD505-2E9C-101B-9397-08002B2CF9AE}", u"\005DocumentSummaryInformation"},
    {"GlobalInfo", "{56616F00-C154-11CE-8553-00AA00A1F95B}", u"\005GlobalInfo"},
    {"ImageContents", "{56616400-C154-11CE-8553-00AA00A1F95B}", u"\005ImageContents"},
    {"ImageInfo", "{56616500-C154-11CE-8553-00AA00A1F95B}", u"\005ImageInfo"},
};
// clang-format on

TEST(FixedStreamNameTest, MapsTheWellKnownSetsBothWays) {
    for (const auto& [label, text, name] : kFixedNames) {
        SCOPED_TRACE(label);
        const Guid formatId = *Guid::fromString(text);
        EXPECT_EQ(streamNameForFormatId(formatId), name);
        Guid back;
        ASSERT_EQ(formatIdForStreamName(name, back), Status::ok);
        // The user-defined set shares its stream with the document-summary set, named after it.
        EXPECT_EQ(back, formatId == kFormatIdUserDefinedProperties ? kFormatIdDocSummaryInformation
                                                                   : formatId);
    }
}

// Names worked out by hand from the algorithm of MS-OLEPS 2.23: the FMTID's stored bytes as one
// string of bits, least significant bit of the first byte first, five bits per character of
// "abcdefghijklmnopqrstuvwxyz012345", two zero bits added at the end.
Guid storedBytes(std::initializer_list<std::pair<int, std::uint8_t>> nonZero) {
    Guid guid;
    for (const auto& [index, value] : nonZero)
        guid.bytes[static_cast<std::size_t>(index)] = value;
    return guid;
}

TEST(Base32StreamNameTest, EncodesAndDecodes) {
    // clang-format off
    const std::tuple<const char*, Guid, std::u16string> rows[] = {
        {"AllZero", Guid{}, u"\005aaaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"LowestBit", storedBytes({{0, 0x01}}), u"\005baaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"FifthBitStartsSecondCharacter", storedBytes({{0, 0x20}}), u"\005abaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"FirstFiveBitsAllSet", storedBytes({{0, 0x1F}}), u"\0055aaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"GroupAcrossTwoBytes", storedBytes({{0, 0xC0}, {1, 0x01}}), u"\005aoaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"HighestBitInLastCharacter", storedBytes({{15, 0x80}}), u"\005aaaaaaaaaaaaaaaaaaaaaaaaae"},
    };
    // clang-format on
    for (const auto& [label, formatId, name] : rows) {
        SCOPED_TRACE(label);
        EXPECT_EQ(streamNameForFormatId(formatId), name);
        Guid decoded;
        ASSERT_EQ(formatIdForStreamName(name, decoded), Status::ok) << lastFailureMessage();
        EXPECT_EQ(decoded, formatId);
    }
}

TEST(StreamNameTest, DecodingIgnoresLetterCase) {
    Guid lower, upper;
    ASSERT_EQ(formatIdForStreamName(u"\005abcdefghijklmnopqrstuvwxyd", lower), Status::ok);
    ASSERT_EQ(formatIdForStreamName(u"\005ABCDEFGHIJKLMNOPQRSTUVWXYD", upper), Status::ok);
    EXPECT_EQ(lower, upper);
}

TEST(BadStreamNameTest, IsNotAPropertySetName) {
    // clang-format off
    const std::pair<const char*, std::u16string> rows[] = {
        {"NoPrefix", u"SummaryInformation"}, {"OrdinaryStream", u"WordDocument"},
        {"TooShort", u"\005aaaaaaaaaaaaaaaaaaaaaaaaa"}, {"TooLong", u"\005aaaaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"DigitOutsideAlphabet", u"\0056aaaaaaaaaaaaaaaaaaaaaaaaa"}, {"Punctuation", u"\005a-aaaaaaaaaaaaaaaaaaaaaaaa"},
        {"BitsPast128", u"\005aaaaaaaaaaaaaaaaaaaaaaaaai"}, {"WrongCaseOfFixedName", u"\005summaryinformation"},
    };
    // clang-format on
    for (const auto& [label, name] : rows) {
        Guid formatId;
        EXPECT_EQ(formatIdForStreamName(name, formatId), Status::invalidName) << label;
        EXPECT_FALSE(isPropertySetStreamName(name)) << label;
    }
}

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
