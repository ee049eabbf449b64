#include "common/error.h"
#include "propset/property_set.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

namespace engine::propset {
namespace {

using testing::Bytes;
using testing::codePage;
using testing::findBytes;
using testing::i4;
using testing::oneSectionHeader;
using testing::sectionOf;

CodePageText text1252(std::string_view bytes) {
    return {1252, std::string(bytes)};
}

std::u16string textOf(const Value* value) {
    std::u16string text;
    if (value == nullptr || failed(value->toUtf16(text)))
        return u"<none>";
    return text;
}

// A summary-information stream laid out like the example of MS-OLEPS 3.1: version 0, system
// identifier 0x00020006, null CLSID, code page 1252, a title, an author and a creation time.
Bytes summaryInformationImage() {
    const Bytes section = sectionOf({
        {1, codePage(1252)},
        {2, Bytes().u16(vt::lpstr).u16(0).u32(10).text("Quarterly").u8(0).zeros(2)}, // title
        {4, Bytes().u16(vt::lpstr).u16(0).u32(9).text("J. Smith").u8(0).zeros(3)},   // author
        {12, Bytes().u16(vt::filetime).u16(0).u64(0x01D2E2A0F1D5C000ull)},           // created
    });
    return oneSectionHeader(kFormatIdSummaryInformation).append(section);
}

// The stream reads as laid out, bytes after the set are ignored, and the set is written back
// byte for byte (it is in canonical form).
TEST(PropertySetTest, ReadsAndRewritesAHandBuiltSummaryInformationStream) {
    const Bytes image = summaryInformationImage();
    PropertySet expected; // version 0, null class identifier
    expected.systemIdentifier = 0x00020006;
    // The code page is a field of the section, not a property.
    expected.sectionFor(kFormatIdSummaryInformation, 1252).properties = {
        {2, Value::lpstr(text1252("Quarterly"))},
        {4, Value::lpstr(text1252("J. Smith"))},
        {12, Value::filetime(0x01D2E2A0F1D5C000ull)}};
    Bytes padded = image;
    padded.zeros(4096 - image.size());
    for (const Bytes* stream : {&image, static_cast<const Bytes*>(&padded)}) {
        PropertySet set;
        ASSERT_EQ(parsePropertySet(stream->data, set), Status::ok) << lastFailureMessage();
        EXPECT_EQ(set, expected);
        EXPECT_EQ(set.osKind(), kOsKindWin32);
    }
    std::vector<std::uint8_t> written;
    ASSERT_EQ(writePropertySet(expected, written), Status::ok) << lastFailureMessage();
    EXPECT_EQ(written, image.data);
}

// A version 1 set laid out like the CONTENTS stream example of MS-OLEPS 3.2: a class
// identifier, code page 1200, a locale, an extra reserved-range property, a Unicode dictionary
// (names padded to four bytes) and a stream-valued property.
TEST(PropertySetTest, ParsesAVersion1SetLaidOutLikeTheContentsExample) {
    const Guid classId = *Guid::fromString("{994BFF53-DDF9-42AD-A56A-FFEA3617AC16}");
    const Guid formatId = *Guid::fromString("{20001801-5DE6-11D1-8E38-00C04FB9386D}");
    Bytes dictionary;
    dictionary.u32s({2, 4, 14}).utf16(u"DisplayColour").u16(0);
    dictionary.u32s({6, 9}).utf16(u"MyStream").u16(0).zeros(2);
    Bytes streamValue; // VT_STREAM: the name of the stream that holds the value
    streamValue.u16(vt::stream).u16(0).u32(12).utf16(u"prop6").u16(0);
    const Bytes section = sectionOf({
        {kCodePagePropertyId, Bytes().u16(vt::i2).u16(0).u16(1200).u16(0)},
        {kLocalePropertyId, Bytes().u16(vt::ui4).u16(0).u32(0x08090000)},
        {0x80000001, Bytes().u16(vt::ui4).u16(0).u32(1)},
        {kDictionaryPropertyId, dictionary},
        {4, Bytes().u16(vt::lpwstr).u16(0).u32(8).utf16(u"Magenta").u16(0)},
        {6, streamValue},
    });
    Bytes image;
    image.u16(0xFFFE).u16(1).u32(0x00020006).guid(classId).u32(1).guid(formatId).u32(48);
    image.append(section);
    PropertySet expected;
    expected.version = kFormatVersion1;
    expected.systemIdentifier = 0x00020006;
    expected.classId = classId;
    Section& contents = expected.sectionFor(formatId, kCodePageUnicode);
    contents.locale = 0x08090000;
    contents.names = {{4, u"DisplayColour"}, {6, u"MyStream"}};
    contents.properties = {{4, Value::lpwstr(u"Magenta")},
                           {6, Value::uninterpreted(vt::stream, {streamValue.data.begin() + 4,
                                                                 streamValue.data.end()})},
                           {0x80000001, Value::ui4(1)}};

    PropertySet set;
    ASSERT_EQ(parsePropertySet(image.data, set), Status::ok) << lastFailureMessage();
    EXPECT_EQ(set, expected);
    EXPECT_EQ(textOf(set.sections[0].findByName(u"displaycolour")), u"Magenta");
    std::vector<std::uint8_t> written;
    ASSERT_EQ(writePropertySet(set, written), Status::ok) << lastFailureMessage();
    PropertySet reread;
    ASSERT_EQ(parsePropertySet(written, reread), Status::ok) << lastFailureMessage();
    EXPECT_EQ(reread, set);
}

TEST(PropertySetTest, SectionsWithoutACodePageReadTextAs1252) {
    const Bytes image =
        oneSectionHeader(kFormatIdSummaryInformation)
            .append(sectionOf({{2, Bytes().u16(vt::lpstr).u16(0).u32(2).raw({0x80, 0})}}));
    PropertySet set;
    ASSERT_EQ(parsePropertySet(image.data, set), Status::ok) << lastFailureMessage();
    EXPECT_EQ(set.sections[0].codePage, kCodePageWhenAbsent);
    EXPECT_EQ(textOf(set.sections[0].find(2)), u"\u20AC");
}

TEST(PropertySetTest, ReadsPropertiesStoredInAnyOrder) {
    // Offsets rise with the table, identifiers fall.
    const Bytes section = sectionOf({{3, i4(33)}, {2, i4(22)}, {1, codePage(1252)}});
    const Bytes image = oneSectionHeader(kFormatIdSummaryInformation).append(section);
    PropertySet set;
    ASSERT_EQ(parsePropertySet(image.data, set), Status::ok) << lastFailureMessage();
    ASSERT_EQ(set.sections.size(), 1u);
    EXPECT_EQ(set.sections[0].codePage, 1252);
    EXPECT_EQ(set.sections[0].properties,
              (std::map<PropertyId, Value>{{2, Value::i4(22)}, {3, Value::i4(33)}}));
}

TEST(PropertySetTest, KeepsHeaderFieldsItRead) {
    PropertySet set;
    set.systemIdentifier = 0x00010703; // Macintosh 7.3
    set.classId = *Guid::fromString("{53FF4B99-F9DD-AD42-A56A-FFEA3617AC16}");
    set.version = kFormatVersion1;
    set.sectionFor(kFormatIdSummaryInformation, 1252).properties[2] = Value::i4(1);
    std::vector<std::uint8_t> stream;
    ASSERT_EQ(writePropertySet(set, stream), Status::ok);
    PropertySet reread; // version 1 is not lowered, though version 0 would do
    ASSERT_EQ(parsePropertySet(stream, reread), Status::ok);
    EXPECT_EQ(reread, set);
    EXPECT_EQ(reread.osKind(), kOsKindMacintosh);
}

// A user-defined section in code page 1252, as Office writes it: dictionary first, names
// unpadded, the dictionary padded as a whole.
Bytes userDefined1252Image() {
    Bytes dictionary; // 2 entries of 14 bytes: 32 bytes, already aligned
    dictionary.u32s({2, 2, 6})
        .text("prop1")
        .u8(0)
        .u32s({3, 6})
        .text("Gr\xFC\xDF"
              "e")
        .u8(0);
    const Bytes section = sectionOf({{0, dictionary},
                                     {1, codePage(1252)},
                                     {2, Bytes().u16(vt::lpstr).u16(0).u32(4).text("aaa").u8(0)}});
    return oneSectionHeader(kFormatIdUserDefinedProperties).append(section);
}

TEST(DictionaryTest, ReadsNamesInTheSetsCodePage) {
    const Bytes image = userDefined1252Image();
    PropertySet set;
    ASSERT_EQ(parsePropertySet(image.data, set), Status::ok) << lastFailureMessage();
    const Section& section = set.sections.at(0);
    EXPECT_EQ(section.names,
              (std::map<PropertyId, std::u16string>{{2, u"prop1"}, {3, u"Gr\u00FC\u00DFe"}}));
    EXPECT_EQ(textOf(section.findByName(u"PROP1")), u"aaa");
    EXPECT_EQ(section.findName(u"gR\u00DC\u00DFE"), std::optional<PropertyId>(3));
    EXPECT_EQ(section.findName(u"prop"), std::nullopt);

    std::vector<std::uint8_t> written;
    ASSERT_EQ(writePropertySet(set, written), Status::ok) << lastFailureMessage();
    // A lone user-defined section is written after an empty document-summary section.
    PropertySet reread;
    ASSERT_EQ(parsePropertySet(written, reread), Status::ok);
    ASSERT_EQ(reread.sections.size(), 2u);
    EXPECT_EQ(reread.sections[0].formatId, kFormatIdDocSummaryInformation);
    EXPECT_TRUE(reread.sections[0].properties.empty());
    EXPECT_EQ(reread.sections[1], section);
    // The user-defined section itself is written exactly as the hand-built one.
    const std::vector<std::uint8_t> handBuiltSection(image.data.begin() + 48, image.data.end());
    EXPECT_NE(findBytes(written, handBuiltSection), written.size());
}

// A user-defined section in code page 1200: each name padded to four bytes.
TEST(DictionaryTest, PadsUnicodeNamesToFourBytes) {
    PropertySet set;
    Section& section = set.sectionFor(kFormatIdUserDefinedProperties, kCodePageUnicode);
    ASSERT_EQ(section.setName(2, u"A"), Status::ok);
    ASSERT_EQ(section.setName(3, u"AB"), Status::ok);
    ASSERT_EQ(section.setName(4, u"\u20AC\u00E9\u4E2D"), Status::ok);
    section.properties[2] = Value::lpwstr(u"X");

    Bytes dictionary;
    dictionary.u32s({3, 2, 2}).utf16(u"A").u16(0);               // 4 bytes: no padding
    dictionary.u32s({3, 3}).utf16(u"AB").u16(0).zeros(2);        // 6 bytes + 2
    dictionary.u32s({4, 4}).utf16(u"\u20AC\u00E9\u4E2D").u16(0); // 8 bytes: no padding
    std::vector<std::uint8_t> stream;
    ASSERT_EQ(writePropertySet(set, stream), Status::ok) << lastFailureMessage();
    EXPECT_NE(findBytes(stream, dictionary.data), stream.size());

    PropertySet reread;
    ASSERT_EQ(parsePropertySet(stream, reread), Status::ok) << lastFailureMessage();
    EXPECT_EQ(*reread.findSection(kFormatIdUserDefinedProperties), section);
}

TEST(DictionaryTest, CaseSensitiveSetsKeepNamesThatDifferInCase) {
    PropertySet set;
    Section& section = set.sectionFor(kFormatIdUserDefinedProperties, 1252);
    section.caseSensitive = true;
    ASSERT_EQ(section.setName(2, u"Name"), Status::ok);
    ASSERT_EQ(section.setName(3, u"name"), Status::ok);
    section.properties[2] = Value::i4(2);
    section.properties[3] = Value::i4(3);
    std::vector<std::uint8_t> stream;
    ASSERT_EQ(writePropertySet(set, stream), Status::ok) << lastFailureMessage();
    EXPECT_EQ(stream[2], kFormatVersion1);

    PropertySet reread;
    ASSERT_EQ(parsePropertySet(stream, reread), Status::ok) << lastFailureMessage();
    const Section& back = *reread.findSection(kFormatIdUserDefinedProperties);
    EXPECT_TRUE(back.caseSensitive);
    EXPECT_EQ(back.findByName(u"name")->asSigned(), 3);
    EXPECT_EQ(back.findByName(u"Name")->asSigned(), 2);
    EXPECT_EQ(back.findByName(u"NAME"), nullptr);
}

TEST(DictionaryTest, CaseInsensitiveSetsRefuseNamesThatDifferOnlyInCase) {
    Section section(kFormatIdUserDefinedProperties, 1252);
    ASSERT_EQ(section.setName(2, u"Stra\u00DFe"), Status::ok);
    EXPECT_EQ(section.setName(3, u"STRA\u00DFE"), Status::invalidParameter);
    EXPECT_EQ(section.setName(2, u"STRA\u00DFE"), Status::ok); // renaming itself is fine
    EXPECT_EQ(section.setName(kCodePagePropertyId, u"cp"), Status::invalidParameter);
    EXPECT_EQ(section.setName(4, u""), Status::invalidParameter);
}

TEST(DictionaryTest, NewIdentifiersSkipThoseWithValuesOrNames) {
    Section section(kFormatIdUserDefinedProperties, 1252);
    section.properties[256] = Value::i4(1);
    ASSERT_EQ(section.setName(257, u"named, no value"), Status::ok);
    section.properties[259] = Value::i4(3);
    EXPECT_EQ(section.firstUnusedId(256), std::optional<PropertyId>(258));
    EXPECT_EQ(section.firstUnusedId(0), std::optional<PropertyId>(2)); // 0 and 1 are special
    section.properties[kLastNormalPropertyId] = Value::i4(4);
    EXPECT_EQ(section.firstUnusedId(kLastNormalPropertyId), std::nullopt);
}

TEST(DictionaryTest, WritingRefusesNamesThatCollide) {
    PropertySet set;
    Section& section = set.sectionFor(kFormatIdUserDefinedProperties, 1252);
    section.names[2] = u"Total";
    section.names[3] = u"TOTAL";
    std::vector<std::uint8_t> stream;
    EXPECT_EQ(writePropertySet(set, stream), Status::invalidParameter);
    section.names[3] = u"\u4E2D"; // not in code page 1252
    EXPECT_EQ(writePropertySet(set, stream), kStatusNoUnicodeTranslation);
}

TEST(DocumentSummaryTest, UserDefinedPropertiesAreTheSecondSection) {
    Section user(kFormatIdUserDefinedProperties, 1252);
    ASSERT_EQ(user.setName(2, u"Client"), Status::ok);
    user.properties[2] = Value::lpstr(text1252("Contoso"));
    user.locale = 0x0409;
    Section documentSummary(kFormatIdDocSummaryInformation, 1252);
    documentSummary.properties[0x0F] = Value::lpstr(text1252("Fabrikam")); // company
    PropertySet set;
    set.sections = {user, documentSummary}; // in the "wrong" order on purpose

    std::vector<std::uint8_t> stream;
    ASSERT_EQ(writePropertySet(set, stream), Status::ok) << lastFailureMessage();
    Bytes expectedLocators;
    expectedLocators.u32(2).guid(kFormatIdDocSummaryInformation);
    EXPECT_EQ(findBytes(stream, expectedLocators.data), 24u);
    Bytes secondLocator;
    secondLocator.guid(kFormatIdUserDefinedProperties);
    EXPECT_EQ(findBytes(stream, secondLocator.data), 48u);

    PropertySet reread;
    ASSERT_EQ(parsePropertySet(stream, reread), Status::ok) << lastFailureMessage();
    EXPECT_EQ(reread.sections, (std::vector<Section>{documentSummary, user}));
}

TEST(DocumentSummaryTest, OtherSectionPairsAreRefused) {
    PropertySet set;
    set.sectionFor(kFormatIdSummaryInformation);
    set.sectionFor(kFormatIdUserDefinedProperties);
    std::vector<std::uint8_t> stream;
    EXPECT_EQ(writePropertySet(set, stream), Status::invalidParameter);
}

// Word stores the document parts and heading pairs with unpadded strings (MS-OSHARED
// UnalignedLpstr), which leaves the next property at an offset that is not a multiple of 4.
TEST(OfficeStringsTest, UnpaddedStringsAndTheOffsetsAfterThemAreRead) {
    Bytes headings; // a string left unpadded, then the final pad
    headings.u16(vt::vector | vt::variant).u16(0).u32(2);
    headings.u16(vt::lpstr).u16(0).u32(6).text("Title").u8(0).u16(vt::i4).u16(0).u32(1).u8(0);
    const Bytes section = sectionOf({
        {1, codePage(1252)},
        {0x0D, Bytes().u16(vt::vector | vt::lpstr).u16(0).u32(1).u32(1).u8(0)}, // 13 bytes
        {0x0C, headings},                                                       // at offset 53
    });
    const Bytes image = oneSectionHeader(kFormatIdDocSummaryInformation).append(section);

    PropertySet set;
    ASSERT_EQ(parsePropertySet(image.data, set), Status::ok) << lastFailureMessage();
    const Section& read = set.sections.at(0);
    EXPECT_EQ(read.properties.at(0x0D), Value::vector(vt::lpstr, {Value::lpstr(text1252(""))}));
    EXPECT_EQ(read.properties.at(0x0C),
              Value::vector(vt::variant, {Value::lpstr(text1252("Title")), Value::i4(1)}));

    // Written back in the padded canonical form, which reads the same.
    std::vector<std::uint8_t> written;
    ASSERT_EQ(writePropertySet(set, written), Status::ok);
    PropertySet reread;
    ASSERT_EQ(parsePropertySet(written, reread), Status::ok) << lastFailureMessage();
    EXPECT_EQ(reread, set);
}

// Values of types the codec does not interpret keep their bytes through a rewrite.
TEST(UninterpretedValueTest, SurviveARewriteByteForByte) {
    Bytes stream; // VT_STREAM: an IndirectPropertyName, "prop7" in code page 1252
    stream.u16(vt::stream).u16(0).u32(6).text("prop7").u8(0).zeros(2);
    Bytes array; // VT_ARRAY | VT_I4: one dimension of two elements
    array.u16(vt::array | vt::i4).u16(0).u32(vt::i4).u32(1).u32(2).u32(0).u32(10).u32(20);
    Bytes unknown; // a type no version of the format defines
    unknown.u16(0x0FFF).u16(0).raw({1, 2, 3, 4, 5, 6, 7, 8});
    Bytes variant; // a variant vector holding a VT_STORAGE element
    variant.u16(vt::vector | vt::variant).u16(0).u32(2).u16(vt::i2).u16(0).u16(9).u16(0);
    variant.u16(vt::storage).u16(0).u32(4).text("stg").u8(0);
    const Bytes* values[] = {&stream, &array, &unknown, &variant};

    const Bytes section =
        sectionOf({{1, codePage(1252)}, {2, stream}, {3, array}, {4, unknown}, {5, variant}});
    const Bytes image = oneSectionHeader(kFormatIdSummaryInformation, 1).append(section);

    PropertySet set;
    ASSERT_EQ(parsePropertySet(image.data, set), Status::ok) << lastFailureMessage();
    const VarType expectedTypes[] = {vt::stream, vt::array | vt::i4, 0x0FFF,
                                     vt::vector | vt::variant};
    for (PropertyId id = 2; id < 6; ++id) {
        const Value& value = set.sections[0].properties.at(id);
        EXPECT_EQ(value.type(), expectedTypes[id - 2]) << id;
        EXPECT_TRUE(std::holds_alternative<Uninterpreted>(value.payload())) << id;
    }
    std::vector<std::uint8_t> written;
    ASSERT_EQ(writePropertySet(set, written), Status::ok) << lastFailureMessage();
    for (const Bytes* value : values)
        EXPECT_NE(findBytes(written, value->data), written.size());
    EXPECT_EQ(written, image.data);
}

} // namespace
} // namespace engine::propset
