#include "common/error.h"
#include "propset/property_set.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace engine::propset {
namespace {

using testing::Bytes;
using testing::codePage;
using testing::i4;
using testing::oneSectionHeader;
using testing::sectionOf;
using testing::StoredProperty;

constexpr std::size_t kSectionOffset = 48;

Bytes streamOf(const std::vector<StoredProperty>& properties,
               const Guid& formatId = kFormatIdSummaryInformation) {
    return oneSectionHeader(formatId).append(sectionOf(properties));
}

// A dictionary in code page 1252 of (identifier, length field, text with terminator).
Bytes dictionaryOf(
    std::initializer_list<std::tuple<PropertyId, std::uint32_t, std::string_view>> entries) {
    Bytes dictionary;
    dictionary.u32(static_cast<std::uint32_t>(entries.size()));
    for (const auto& [id, length, text] : entries)
        dictionary.u32(id).u32(length).text(text);
    while (dictionary.size() % 4 != 0)
        dictionary.u8(0);
    return dictionary;
}

Bytes withU32At(Bytes bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes.data.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

Bytes valid() {
    return streamOf({{1, codePage(1252)}, {2, i4(7)}});
}

Bytes withBytes(Bytes bytes, std::size_t at, std::initializer_list<std::uint8_t> values) {
    std::copy(values.begin(), values.end(), bytes.data.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}
Bytes twoSections(const Guid& first, std::uint32_t firstOffset, const Guid& second,
                  std::uint32_t secondOffset) {
    Bytes b;
    b.u16(0xFFFE).u16(0).u32(0).zeros(16).u32(2);
    return b.guid(first).u32(firstOffset).guid(second).u32(secondOffset);
}
Bytes withValue(Bytes value, CodePage page = 1252) {
    return streamOf({{1, codePage(static_cast<std::uint16_t>(page))}, {2, std::move(value)}});
}
Bytes withDictionary(Bytes dictionary, CodePage page = 1252) {
    return streamOf({{0, std::move(dictionary)}, {1, codePage(static_cast<std::uint16_t>(page))}});
}
Bytes typed(VarType type) {
    return Bytes().u16(type).u16(0);
}

// clang-format off
// Each row: label, the stream, the status, and a number or word the message must name.
const std::tuple<const char*, std::function<Bytes()>, Status, const char*> kMalformedRows[] = {
    {"ValidStreamForReference", [] { return valid(); }, Status::ok, ""},
    {"Empty", [] { return Bytes(); }, Status::invalidHeader, "byte order"},
    {"WrongByteOrder", [] { return withBytes(valid(), 0, {0xFF, 0xFE}); }, Status::invalidHeader, "65279"},
    {"Version2", [] { return withBytes(valid(), 2, {2}); }, Status::invalidHeader, "version is 2"},
    {"NoSections", [] { return withU32At(valid(), 24, 0); }, Status::invalidHeader, "0 sections"},
    {"ThreeSections", [] { return withU32At(valid(), 24, 3); }, Status::invalidHeader, "3 sections"},
    {"SectionOffsetInsideHeader", [] { return withU32At(valid(), 44, 20); }, Status::invalidHeader, "offset 20"},
    {"SectionOffsetPastStream", [] { return withU32At(valid(), 44, 4096); }, Status::invalidHeader, "4096"},
    {"SectionOffsetNotAligned", [] { return withU32At(valid(), 44, 50).zeros(2); }, Status::invalidHeader, "offset 50"},
    {"TwoSectionsOfOtherSets", [] { return twoSections(kFormatIdSummaryInformation, 68, kFormatIdUserDefinedProperties, 68).append(sectionOf({{1, codePage(1252)}})); },
     Status::invalidHeader, "{F29F85E0"},
    {"SectionLargerThanStream", [] { return withU32At(valid(), kSectionOffset, 4000); }, Status::docfileCorrupt, "4000"},
    {"SectionSmallerThanItsHeader", [] { return withU32At(valid(), kSectionOffset, 4); }, Status::docfileCorrupt, "claims 4 bytes"},
    {"PropertyCountBeyondSection", [] { return withU32At(valid(), kSectionOffset + 4, 0x10000000); }, Status::docfileCorrupt, "268435456"},
    {"PropertyOffsetInsideTable", [] { return withU32At(valid(), kSectionOffset + 12, 16); }, Status::docfileCorrupt, "offset 16"},
    {"PropertyOffsetPastSection", [] { return withU32At(valid(), kSectionOffset + 20, 0x1000); }, Status::docfileCorrupt, "offset 4096"},
    {"PropertyListedTwice", [] { return streamOf({{1, codePage(1252)}, {1, i4(7)}}); }, Status::docfileCorrupt, "property 1 twice"},
    {"PropertiesSharingAnOffset", [] { return withU32At(streamOf({{1, codePage(1252)}, {2, i4(7)}, {3, i4(8)}}), 48 + 28, 40); },
     Status::docfileCorrupt, "share offset 40"},
    {"OffsetOffFourByteBoundary", [] { return withU32At(withValue(Bytes().u8(0).append(i4(7)).zeros(3)), 48 + 20, 33); },
     Status::docfileCorrupt, "offset 33"},
    {"NonZeroTypePadding", [] { return withValue(Bytes().u16(3).u16(1).u32(7)); }, Status::docfileCorrupt, "padding 1"},
    {"ValueRunningIntoTheNext", [] { return streamOf({{1, codePage(1252)}, {2, typed(vt::i8).u32(1)}, {3, i4(8)}}); },
     Status::docfileCorrupt, "8-byte value"},
    {"StringSizePastSection", [] { return withValue(typed(vt::lpstr).u32(400).text("abcd")); }, Status::docfileCorrupt, "claims 400 bytes"},
    {"UnterminatedString", [] { return withValue(typed(vt::lpstr).u32(4).text("abcd")); }, Status::docfileCorrupt, "no terminating null"},
    {"OddSizedUnicodeString", [] { return withValue(typed(vt::lpstr).u32(3).raw({'a', 0, 0, 0}), 1200); }, Status::docfileCorrupt, "odd size of 3"},
    {"WideStringLengthBeyondSection", [] { return withValue(typed(vt::lpwstr).u32(0x7FFFFFFF).u32(0)); }, Status::docfileCorrupt, "2147483647 characters"},
    {"VectorCountThatCannotFit", [] { return withValue(typed(vt::vector | vt::i8).u32(0x40000000).u64(1)); }, Status::docfileCorrupt, "1073741824 elements"},
    {"VariantVectorCountThatCannotFit", [] { return withValue(typed(vt::vector | vt::variant).u32(3).append(i4(1))); }, Status::docfileCorrupt, "3 elements"},
    {"BlobSizePastSection", [] { return withValue(typed(vt::blob).u32(0xFFFFFFF0)); }, Status::docfileCorrupt, "4294967280"},
    {"ClipboardDataWithoutFormat", [] { return withValue(typed(vt::cf).u32(2).u32(0)); }, Status::docfileCorrupt, "size 2"},
    {"CodePageOfWrongType", [] { return streamOf({{1, i4(1252)}}); }, Status::docfileCorrupt, "type 3 instead of 2"},
    {"LocaleOfWrongType", [] { return streamOf({{1, codePage(1252)}, {kLocalePropertyId, i4(9)}}); }, Status::docfileCorrupt, "locale"},
    {"BehaviorOutOfRange", [] { return streamOf({{1, codePage(1252)}, {kBehaviorPropertyId, typed(vt::ui4).u32(2)}}); }, Status::docfileCorrupt, "value 2"},
    {"DictionaryCountThatCannotFit", [] { return withDictionary(Bytes().u32(1000).u32(0)); }, Status::docfileCorrupt, "1000 entries"},
    {"DictionaryNameOfLengthZero", [] { return withDictionary(dictionaryOf({{2, 0, "x"}})); }, Status::docfileCorrupt, "name of 0 characters"},
    {"DictionaryNamePastSection", [] { return withDictionary(dictionaryOf({{2, 60, "abc"}})); }, Status::docfileCorrupt, "name of 60 characters"},
    {"DictionaryNameUnterminated", [] { return withDictionary(dictionaryOf({{2, 4, "abcd"}})); }, Status::docfileCorrupt, "no terminating null"},
    {"DictionaryNamingTheCodePage", [] { return withDictionary(dictionaryOf({{1, 3, std::string_view("cp\0", 3)}})); }, Status::docfileCorrupt, "names property 1"},
    {"DictionaryNamingAPropertyTwice", [] { return withDictionary(dictionaryOf({{2, 2, std::string_view("a\0", 2)}, {2, 2, std::string_view("b\0", 2)}})); },
     Status::docfileCorrupt, "a second time"},
    {"DictionaryNameGivenTwiceIgnoringCase", [] { return withDictionary(dictionaryOf({{2, 2, std::string_view("a\0", 2)}, {3, 2, std::string_view("A\0", 2)}})); },
     Status::docfileCorrupt, "property 3"},
    {"DictionaryNameNotUtf8", [] { return withDictionary(dictionaryOf({{2, 3, std::string_view("\xC3\x28\0", 3)}}), 65001); }, kStatusNoUnicodeTranslation, "65001"},
    // The first section's size reaches over the whole second section.
    {"SectionsOverlapping", [] { const Bytes section = sectionOf({{1, codePage(1252)}});
         return withU32At(twoSections(kFormatIdDocSummaryInformation, 68, kFormatIdUserDefinedProperties, 92).append(section).append(section), 68, 48); },
     Status::docfileCorrupt, "overlap"},
};
// clang-format on

TEST(MalformedStreamTest, IsRefused) {
    for (const auto& [label, make, expected, messagePart] : kMalformedRows) {
        SCOPED_TRACE(label);
        const Bytes image = make();
        PropertySet set;
        set.sectionFor(kFormatIdGlobalInfo); // must stay untouched
        clearLastFailure();
        EXPECT_EQ(parsePropertySet(image.data, set), expected) << lastFailureMessage();
        EXPECT_NE(lastFailureMessage().find(messagePart), std::string::npos)
            << lastFailureMessage();
        if (failed(expected)) {
            EXPECT_EQ(set.sections.size(), 1u);
            EXPECT_EQ(set.sections.at(0).formatId, kFormatIdGlobalInfo);
        }
    }
}

// A stream using every structure: two sections, dictionary, strings, vectors, variants.
std::vector<std::uint8_t> richStream() {
    PropertySet set;
    Section& summary = set.sectionFor(kFormatIdDocSummaryInformation, 1252);
    summary.properties[2] = Value::lpstr({1252, "Category"});
    summary.properties[0x0C] =
        Value::vector(vt::variant, {Value::lpstr({1252, "Title"}), Value::i4(1), Value::i2(-1)});
    summary.properties[0x0D] = Value::vector(vt::lpstr, {Value::lpstr({1252, "Part"})});
    summary.properties[0x10] = Value::boolean(true);
    Section& user = set.sectionFor(kFormatIdUserDefinedProperties, 1200);
    user.locale = 0x0407;
    (void)user.setName(2, u"Kunde");
    (void)user.setName(3, u"Betrag");
    (void)user.setName(4, u"Datei");
    user.properties[2] = Value::lpwstr(u"M\u00FCller");
    user.properties[3] = Value::currency(1234500);
    user.properties[4] = Value::clipboard(-1, {3, 0, 1, 2, 3});
    user.properties[5] = Value::vector(vt::ui2, {Value::ui2(1), Value::ui2(2), Value::ui2(3)});
    user.properties[6] = Value::blob({9, 8, 7});
    std::vector<std::uint8_t> stream;
    EXPECT_EQ(writePropertySet(set, stream), Status::ok) << lastFailureMessage();
    return stream;
}

TEST(TruncatedStreamTest, EveryPrefixIsRefused) {
    const std::vector<std::uint8_t> stream = richStream();
    PropertySet whole;
    ASSERT_EQ(parsePropertySet(stream, whole), Status::ok) << lastFailureMessage();
    for (std::size_t length = 0; length < stream.size(); ++length) {
        PropertySet set;
        const std::span<const std::uint8_t> prefix(stream.data(), length);
        const Status status = parsePropertySet(prefix, set);
        EXPECT_TRUE(status == Status::invalidHeader || status == Status::docfileCorrupt)
            << "prefix of " << length << " bytes gave " << static_cast<std::uint32_t>(status);
    }
}

// A stream that ends before the padding of its last value, which the section's size still
// counts, reads as if the padding were there (Wine's ole32 writes such sets); a stream that
// lacks more than that padding is refused.
TEST(TruncatedStreamTest, OnlyTheLastValuesPaddingMayBeMissing) {
    const std::tuple<const char*, Bytes, std::size_t> rows[] = {
        {"string in code page 1200, as Wine writes it",
         Bytes().u16(vt::lpstr).u16(0).u32(34).utf16(u"Quarterly report").u16(0).zeros(2), 2},
        {"2-byte integer", Bytes().u16(vt::i2).u16(0).u16(5).zeros(2), 2},
        {"4-byte integer", i4(7), 0},
    };
    for (const auto& [label, lastValue, padding] : rows) {
        SCOPED_TRACE(label);
        const Bytes whole = streamOf({{1, codePage(1200)}, {2, lastValue}});
        PropertySet expected;
        ASSERT_EQ(parsePropertySet(whole.data, expected), Status::ok) << lastFailureMessage();
        for (std::size_t missing = 1; missing < 4; ++missing) {
            PropertySet set;
            const std::span<const std::uint8_t> prefix(whole.data.data(), whole.size() - missing);
            if (missing <= padding) {
                EXPECT_EQ(parsePropertySet(prefix, set), Status::ok) << lastFailureMessage();
                EXPECT_EQ(set, expected);
            } else {
                EXPECT_EQ(parsePropertySet(prefix, set), Status::docfileCorrupt) << missing;
            }
        }
    }
}

// Random byte changes never crash or hang the parser; whatever it accepts, it writes in a
// canonical form that reads back to the same model.
TEST(MutatedStreamTest, AcceptedStreamsRewriteToAFixedPoint) {
    const std::vector<std::uint8_t> original = richStream();
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::size_t> position(0, original.size() - 1);
    std::uniform_int_distribution<int> byteValue(0, 255);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> mutated = original;
        const int changes = 1 + round % 4;
        for (int i = 0; i < changes; ++i)
            mutated[position(random)] = static_cast<std::uint8_t>(byteValue(random));
        PropertySet set;
        const Status status = parsePropertySet(mutated, set);
        if (failed(status)) {
            EXPECT_TRUE(status == Status::invalidHeader || status == Status::docfileCorrupt ||
                        status == kStatusNoUnicodeTranslation ||
                        status == kStatusUnsupportedCodePage)
                << "round " << round << ": " << lastFailureMessage();
            continue;
        }
        ++accepted;
        std::vector<std::uint8_t> first;
        ASSERT_EQ(writePropertySet(set, first), Status::ok)
            << "round " << round << ": " << lastFailureMessage();
        PropertySet reread;
        ASSERT_EQ(parsePropertySet(first, reread), Status::ok)
            << "round " << round << ": " << lastFailureMessage();
        std::vector<std::uint8_t> second;
        ASSERT_EQ(writePropertySet(reread, second), Status::ok);
        EXPECT_EQ(first, second) << "round " << round;
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
} // namespace engine::propset
