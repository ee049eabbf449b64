#include "common/error.h"
#include "propset/property_set.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace engine::propset {
namespace {

using testing::Bytes;

constexpr PropertyId kTestId = 2;
const Guid kSomeClass = *Guid::fromString("{00020906-0000-0000-C000-000000000046}");

CodePageText text1252(std::string_view bytes) {
    return {1252, std::string(bytes)};
}

// Equal values, comparing text by its characters rather than by its code page.
bool equivalent(const Value& a, const Value& b) {
    if (a.type() != b.type())
        return false;
    if (std::holds_alternative<CodePageText>(a.payload()) &&
        std::holds_alternative<CodePageText>(b.payload())) {
        std::u16string textA, textB;
        return succeeded(a.toUtf16(textA)) && succeeded(b.toUtf16(textB)) && textA == textB;
    }
    if (a.isVector() && std::holds_alternative<ValueVector>(a.payload()) &&
        std::holds_alternative<ValueVector>(b.payload()))
        return std::ranges::equal(a.asVector(), b.asVector(), equivalent);
    return a == b;
}

struct ValueRow {
    const char* label;
    Value value;
};

std::vector<ValueRow> everyValueType() {
    const Guid someId = kSomeClass;
    // clang-format off
    return {
        {"Empty", Value::empty()},
        {"Null", Value::null()},
        {"I1", Value::i1(-128)},
        {"UI1", Value::ui1(255)},
        {"I2", Value::i2(-32768)},
        {"UI2", Value::ui2(65535)},
        {"I4", Value::i4(std::numeric_limits<std::int32_t>::min())},
        {"UI4", Value::ui4(0xFFFFFFFF)},
        {"Int", Value::integer(-5)},
        {"Uint", Value::unsignedInteger(7)},
        {"I8", Value::i8(std::numeric_limits<std::int64_t>::min())},
        {"UI8", Value::ui8(std::numeric_limits<std::uint64_t>::max())},
        {"R4", Value::r4(3.25f)},
        {"R8", Value::r8(-1e300)},
        {"Currency", Value::currency(12345678)},
        {"Date", Value::date(45000.5)},
        {"BoolTrue", Value::boolean(true)},
        {"BoolFalse", Value::boolean(false)},
        {"BoolOtherBitsKept", Value::booleanBits(5)},
        {"Error", Value::error(0x80030109)},
        {"Bstr", Value::bstr(text1252("Hello"))},
        {"Lpstr", Value::lpstr(text1252("Caf\xE9"))},
        {"LpstrEmpty", Value::lpstr(text1252(""))},
        {"Lpwstr", Value::lpwstr(u"Gr\u00FC\u00DFe \u20AC")},
        {"LpwstrEmpty", Value::lpwstr(u"")},
        {"Filetime", Value::filetime(0x01DC1AF71F618000ull)},
        {"Clsid", Value::clsid(someId)},
        {"Blob", Value::blob({1, 2, 3, 4, 5})},
        {"BlobEmpty", Value::blob({})},
        {"ClipboardData", Value::clipboard(-1, {3, 0, 1, 2, 9})},
        {"Decimal", Value::decimal({2, 0x80, 1, 0x0123456789ABCDEFull})},
        {"VectorI1", Value::vector(vt::i1, {Value::i1(-1), Value::i1(2), Value::i1(3)})},
        {"VectorUI1", Value::vector(vt::ui1, {Value::ui1(1), Value::ui1(2), Value::ui1(3), Value::ui1(4), Value::ui1(5)})},
        {"VectorI2", Value::vector(vt::i2, {Value::i2(1), Value::i2(-2), Value::i2(3)})},
        {"VectorUI2", Value::vector(vt::ui2, {Value::ui2(65535)})},
        {"VectorI4", Value::vector(vt::i4, {Value::i4(-1), Value::i4(1 << 30)})},
        {"VectorUI4", Value::vector(vt::ui4, {Value::ui4(4000000000u)})},
        {"VectorI8", Value::vector(vt::i8, {Value::i8(-3), Value::i8(1ll << 40)})},
        {"VectorUI8", Value::vector(vt::ui8, {Value::ui8(1ull << 63)})},
        {"VectorR4", Value::vector(vt::r4, {Value::r4(0.5f), Value::r4(-2.0f)})},
        {"VectorR8", Value::vector(vt::r8, {Value::r8(3.141592653589793)})},
        {"VectorCurrency", Value::vector(vt::cy, {Value::currency(-10000)})},
        {"VectorDate", Value::vector(vt::date, {Value::date(1.25), Value::date(2.5)})},
        {"VectorBool", Value::vector(vt::boolean, {Value::boolean(true), Value::boolean(false), Value::boolean(true)})},
        {"VectorError", Value::vector(vt::error, {Value::error(0x80004005)})},
        {"VectorLpstr", Value::vector(vt::lpstr, {Value::lpstr(text1252("a")), Value::lpstr(text1252("bb")), Value::lpstr(text1252("ccc")), Value::lpstr(text1252("dddd"))})},
        {"VectorBstr", Value::vector(vt::bstr, {Value::bstr(text1252("x"))})},
        {"VectorLpwstr", Value::vector(vt::lpwstr, {Value::lpwstr(u"x"), Value::lpwstr(u"yz")})},
        {"VectorFiletime", Value::vector(vt::filetime, {Value::filetime(1), Value::filetime(2)})},
        {"VectorClipboardData", Value::vector(vt::cf, {Value::clipboard(3, {1}), Value::clipboard(-1, {})})},
        {"VectorClsid", Value::vector(vt::clsid, {Value::clsid(someId), Value::clsid(Guid{})})},
        {"VectorVariant", Value::vector(vt::variant, {Value::i2(5), Value::lpstr(text1252("Title")), Value::lpwstr(u"w"), Value::boolean(true), Value::ui1(9), Value::r8(0.25), Value::clsid(someId), Value::blob({7, 7}), Value::empty(), Value::i4(1)})},
        {"VectorEmpty", Value::vector(vt::i4, {})},
    };
    // clang-format on
}

struct RoundTripCase {
    ValueRow row;
    CodePage codePage;
};

class ValueRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ValueRoundTripTest, ComesBackUnchanged) {
    const auto& [row, codePage] = GetParam();
    PropertySet set;
    Section& section = set.sectionFor(kFormatIdSummaryInformation, codePage);
    section.properties[kTestId] = row.value;
    section.properties[kTestId + 1] = Value::i4(0x5A5A5A5A); // a neighbour after the value

    std::vector<std::uint8_t> stream;
    ASSERT_EQ(writePropertySet(set, stream), Status::ok) << lastFailureMessage();
    EXPECT_EQ(stream.size() % 4, 0u);
    PropertySet reread;
    ASSERT_EQ(parsePropertySet(stream, reread), Status::ok) << lastFailureMessage();
    ASSERT_EQ(reread.sections.size(), 1u);
    const Value* value = reread.sections[0].find(kTestId);
    ASSERT_NE(value, nullptr);
    EXPECT_TRUE(equivalent(*value, row.value)) << "type " << value->type();
    EXPECT_EQ(reread.sections[0].properties.at(kTestId + 1), Value::i4(0x5A5A5A5A));

    std::vector<std::uint8_t> rewritten;
    ASSERT_EQ(writePropertySet(reread, rewritten), Status::ok) << lastFailureMessage();
    EXPECT_EQ(rewritten, stream);
}

std::vector<RoundTripCase> roundTripCases() {
    std::vector<RoundTripCase> cases;
    for (CodePage codePage : {CodePage{1252}, CodePage{1200}, CodePage{65001}})
        for (const ValueRow& row : everyValueType())
            cases.push_back({row, codePage});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryType, ValueRoundTripTest, ::testing::ValuesIn(roundTripCases()),
                         [](const auto& info) {
                             return std::string(info.param.row.label) + "_CodePage" +
                                    std::to_string(info.param.codePage);
                         });

// The stored bytes of one value, worked out by hand from MS-OLEPS 2.15.
TEST(ValueLayoutTest, IsStoredAsTheFormatSays) {
    // clang-format off
    const std::tuple<const char*, Value, std::vector<std::uint8_t>> rows[] = {
        {"I2PaddedToFour", Value::i2(-2), {0x02, 0, 0, 0, 0xFE, 0xFF, 0, 0}},
        {"I1PaddedToFour", Value::i1(-1), {0x10, 0, 0, 0, 0xFF, 0, 0, 0}},
        {"BoolTrueIsAllOnes", Value::boolean(true), {0x0B, 0, 0, 0, 0xFF, 0xFF, 0, 0}},
        {"BoolKeepsItsBits", Value::booleanBits(0x8001), {0x0B, 0, 0, 0, 1, 0x80, 0, 0}},
        {"LpstrCountsTerminator", Value::lpstr(text1252("ab")), {0x1E, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0, 0}},
        {"LpwstrCountsCharacters", Value::lpwstr(u"ab"), {0x1F, 0, 0, 0, 3, 0, 0, 0, 'a', 0, 'b', 0, 0, 0, 0, 0}},
        {"VectorI2PackedThenPadded", Value::vector(vt::i2, {Value::i2(1), Value::i2(2), Value::i2(3)}),
                  {0x02, 0x10, 0, 0, 3, 0, 0, 0, 1, 0, 2, 0, 3, 0, 0, 0}},
        {"ClipboardSizeIncludesFormat", Value::clipboard(-1, {9}), {0x47, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 9, 0, 0, 0}},
        {"BlobPadded", Value::blob({1, 2, 3}), {0x41, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3, 0}},
        {"VariantElementsAreTypedValues", Value::vector(vt::variant, {Value::i2(7), Value::lpstr(text1252("x"))}),
                  {0x0C, 0x10, 0, 0, 2, 0, 0, 0, 0x02, 0, 0, 0, 7, 0, 0, 0, 0x1E, 0, 0, 0, 2, 0, 0, 0, 'x', 0, 0, 0}},
        {"FiletimeLowThenHigh", Value::filetime(0x0102030405060708ull), {0x40, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1}},
        {"DecimalAfterReservedWord", Value::decimal({2, 0x80, 0x11223344, 0x0102030405060708ull}),
                  {0x0E, 0, 0, 0, 0, 0, 2, 0x80, 0x44, 0x33, 0x22, 0x11, 8, 7, 6, 5, 4, 3, 2, 1}},
    };
    // clang-format on
    for (const auto& [label, value, stored] : rows) {
        SCOPED_TRACE(label);
        PropertySet set;
        set.sectionFor(kFormatIdSummaryInformation, 1252).properties[kTestId] = value;
        std::vector<std::uint8_t> stream;
        ASSERT_EQ(writePropertySet(set, stream), Status::ok) << lastFailureMessage();
        // Section at 48: size, count 2, (1, offset), (2, offset); the value runs to the end.
        const std::size_t section = 48;
        const std::size_t offsetField = section + 8 + 8 + 4;
        const std::uint32_t offset = stream[offsetField] | (stream[offsetField + 1] << 8);
        EXPECT_EQ(std::vector<std::uint8_t>(stream.begin() + section + offset, stream.end()),
                  stored);
    }
}

TEST(FormatVersionTest, IsTheLowestThatStoresTheValue) {
    // clang-format off
    const std::tuple<const char*, Value, std::uint16_t> rows[] = {
        {"I4", Value::i4(1), 0}, {"UI2", Value::ui2(1), 0}, {"UI4", Value::ui4(1), 0},
        {"I8", Value::i8(1), 0}, {"Lpwstr", Value::lpwstr(u"x"), 0}, {"I1", Value::i1(1), 1},
        {"VectorI1", Value::vector(vt::i1, {Value::i1(1)}), 1}, {"Int", Value::integer(1), 1},
        {"Uint", Value::unsignedInteger(1), 1}, {"Decimal", Value::decimal({}), 1},
        {"VariantHoldingI1", Value::vector(vt::variant, {Value::i1(1)}), 1},
        {"SafeArray", Value::uninterpreted(vt::array | vt::i4, {0, 0, 0, 0}), 1},
    };
    // clang-format on
    for (const auto& [label, value, version] : rows) {
        SCOPED_TRACE(label);
        PropertySet set;
        set.sectionFor(kFormatIdSummaryInformation, 1252).properties[kTestId] = value;
        std::vector<std::uint8_t> stream;
        ASSERT_EQ(writePropertySet(set, stream), Status::ok) << lastFailureMessage();
        EXPECT_EQ(stream[2] | (stream[3] << 8), version);
        PropertySet reread;
        ASSERT_EQ(parsePropertySet(stream, reread), Status::ok);
        EXPECT_EQ(reread.version, version);
    }
}

TEST(FormatVersionTest, CaseSensitiveNamesAndLongNamesNeedVersion1) {
    const std::tuple<const char*, bool, std::size_t, std::uint16_t> rows[] = {
        {"ShortNames", false, 10, 0},
        {"NameOfMaximumVersion0Length", false, 255, 0},
        {"LongerName", false, 256, 1},
        {"CaseSensitive", true, 10, 1}};
    for (const auto& [label, caseSensitive, nameLength, version] : rows) {
        PropertySet set;
        Section& section = set.sectionFor(kFormatIdUserDefinedProperties, 1252);
        section.caseSensitive = caseSensitive;
        ASSERT_EQ(section.setName(2, std::u16string(nameLength, u'n')), Status::ok);
        EXPECT_EQ(formatVersionToWrite(set), version) << label;
    }
}

TEST(MalformedModelTest, IsRefusedWhenWritten) {
    // clang-format off
    const std::tuple<const char*, Value> rows[] = {
        {"I2OutOfRange", Value(vt::i2, std::int64_t{40000})},
        {"UI1OutOfRange", Value(vt::ui1, std::uint64_t{256})},
        {"R4OutOfRange", Value(vt::r4, 1e300)},
        {"LpstrHoldingWideText", Value(vt::lpstr, std::u16string(u"x"))},
        {"I4HoldingUnsigned", Value(vt::i4, std::uint64_t{1})},
        {"VectorWithForeignElement", Value::vector(vt::i4, {Value::i4(1), Value::i2(2)})},
        {"VectorOfInt", Value::vector(vt::int_, {Value::integer(1)})},
        {"VariantHoldingVector", Value::vector(vt::variant, {Value::vector(vt::i4, {})})},
        {"OddUnicodeText", Value::lpstr(CodePageText{1200, "abc"})},
        {"InterpretedTypeKeptUninterpreted", Value::uninterpreted(vt::i4, {})},
    };
    // clang-format on
    for (const auto& [label, value] : rows) {
        SCOPED_TRACE(label);
        PropertySet set;
        set.sectionFor(kFormatIdSummaryInformation, 1252).properties[7] = value;
        std::vector<std::uint8_t> stream = {0xAA};
        EXPECT_EQ(writePropertySet(set, stream), Status::invalidParameter);
        EXPECT_NE(lastFailureMessage().find("property 7"), std::string::npos)
            << lastFailureMessage();
        EXPECT_EQ(stream, std::vector<std::uint8_t>{0xAA}); // untouched on failure
    }
}

} // namespace
} // namespace engine::propset
