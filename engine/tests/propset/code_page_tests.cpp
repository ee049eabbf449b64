#include "common/error.h"
#include "propset/code_page.h"
#include "propset/property_set.h"
#include "../tool_runner.h"

#include <gtest/gtest.h>

namespace engine::propset {
namespace {

TEST(CodePageConversionTest, ConvertsBothWays) {
    // clang-format off
    const std::tuple<const char*, CodePage, std::u16string, std::string> rows[] = {
        {"Ascii1252", 1252, u"Title", "Title"},
        {"Latin1Letter1252", 1252, u"Caf\u00E9", "Caf\xE9"},
        {"Euro1252", 1252, u"\u20AC", "\x80"},
        {"SCaron1252", 1252, u"\u0160", "\x8A"},
        {"QuoteMarks1252", 1252, u"\u2018\u2019\u201C\u201D", "\x91\x92\x93\x94"},
        {"TradeMark1252", 1252, u"\u2122", "\x99"},
        {"YDiaeresis1252", 1252, u"\u0178\u00FF", "\x9F\xFF"},
        {"UndefinedByteAsControl1252", 1252, u"\u0081\u009D", "\x81\x9D"},
        {"Ascii65001", 65001, u"prop1", "prop1"},
        {"TwoByte65001", 65001, u"\u00E9", "\xC3\xA9"},
        {"ThreeByte65001", 65001, u"\u20AC", "\xE2\x82\xAC"},
        {"FourByteSurrogatePair65001", 65001, u"\U0001F600", "\xF0\x9F\x98\x80"},
        {"Unicode1200", 1200, u"A\u20AC", std::string("A\0\xAC\x20", 4)},
        {"Empty1252", 1252, u"", ""},
    };
    // clang-format on
    for (const auto& [label, codePage, text, bytes] : rows) {
        SCOPED_TRACE(label);
        std::u16string decoded;
        std::string encoded;
        ASSERT_EQ(builtInCodePages().toUtf16(codePage, bytes, decoded), Status::ok)
            << lastFailureMessage();
        ASSERT_EQ(builtInCodePages().fromUtf16(codePage, text, encoded), Status::ok)
            << lastFailureMessage();
        EXPECT_EQ(std::tuple(decoded, encoded), std::tuple(text, bytes));
    }
}

// Every byte of 1252 converts and comes back. Python's own cp1252 codec is an independent
// account of the code page; it leaves the five bytes Windows maps to C1 controls undefined,
// which shows as U+FFFD.
TEST(CodePageTest, Windows1252RoundTripsAndAgreesWithPythonsCodec) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::u16string ours;
    ASSERT_EQ(builtInCodePages().toUtf16(1252, all, ours), Status::ok);
    ASSERT_EQ(ours.size(), 256u);
    std::string back;
    ASSERT_EQ(builtInCodePages().fromUtf16(1252, ours, back), Status::ok);
    EXPECT_EQ(back, all);
    const std::string hexText =
        test_tools::outputOf("/usr/bin/python3 -c \"import sys; sys.stdout.write(bytes(range(256))"
                             ".decode('cp1252', errors='replace').encode('utf-16-le').hex())\"")
            .value_or("");
    if (hexText.size() != 256 * 4)
        GTEST_SKIP() << "python3 is not available";
    for (std::size_t b = 0; b < 256; ++b) {
        const auto low = std::stoi(hexText.substr(b * 4, 2), nullptr, 16);
        const auto high = std::stoi(hexText.substr(b * 4 + 2, 2), nullptr, 16);
        const auto expected = static_cast<char16_t>(low | (high << 8));
        if (expected != 0xFFFD)
            EXPECT_EQ(ours[b], expected) << "byte " << b;
        else
            EXPECT_EQ(ours[b], static_cast<char16_t>(b)) << "undefined byte " << b;
    }
}

// Conversions that are refused: the bytes decoded when there are any, else the text encoded.
// A refused decoding leaves a message, naming the code page when it is not supported.

// clang-format off
const std::tuple<const char*, CodePage, std::string, std::u16string, Status> kRefusals[] = {
    {"Overlong", 65001, "\xC0\xAF", u"", kStatusNoUnicodeTranslation},
    {"TruncatedSequence", 65001, "\xE2\x82", u"", kStatusNoUnicodeTranslation},
    {"LoneContinuation", 65001, "\x80", u"", kStatusNoUnicodeTranslation},
    {"EncodedSurrogate", 65001, "\xED\xA0\x80", u"", kStatusNoUnicodeTranslation},
    {"BeyondLastCodePoint", 65001, "\xF4\x90\x80\x80", u"", kStatusNoUnicodeTranslation},
    {"BadContinuation", 65001, "\xC3\x28", u"", kStatusNoUnicodeTranslation},
    {"OddUtf16", 1200, "A\0B", u"", kStatusNoUnicodeTranslation},
    {"LatinExtendedIn1252", 1252, "", u"\u0100", kStatusNoUnicodeTranslation},
    {"CjkIn1252", 1252, "", u"\u4E2D", kStatusNoUnicodeTranslation},
    {"LoneHighSurrogateIn65001", 65001, "", u"a\xD800", kStatusNoUnicodeTranslation},
    {"LoneLowSurrogateIn65001", 65001, "", u"\xDC00", kStatusNoUnicodeTranslation},
    {"Unsupported932", 932, "abc", u"", kStatusUnsupportedCodePage},
    {"Unsupported437", 437, "", u"abc", kStatusUnsupportedCodePage},
};
// clang-format on

TEST(CodePageTest, RefusesWhatItCannotConvert) {
    for (const auto& [label, codePage, bytes, text, expected] : kRefusals) {
        SCOPED_TRACE(label);
        clearLastFailure();
        std::u16string decoded;
        std::string encoded;
        EXPECT_EQ(bytes.empty() ? builtInCodePages().fromUtf16(codePage, text, encoded)
                                : builtInCodePages().toUtf16(codePage, bytes, decoded),
                  expected);
        if (bytes.empty())
            continue;
        const std::string number =
            expected == kStatusUnsupportedCodePage ? std::to_string(codePage) : "";
        EXPECT_NE(lastFailureMessage(), "");
        EXPECT_NE(lastFailureMessage().find(number), std::string::npos) << lastFailureMessage();
    }
}

// A stand-in for the converter the Windows provider supplies: knows only code page 437, which
// it treats as Latin-1; the codec must not ask it about the code pages it converts itself.
class Latin1As437 final : public CodePageConverter {
public:
    Status toUtf16(CodePage codePage, std::string_view bytes, std::u16string& text) const override {
        if (codePage != 437)
            return kStatusUnsupportedCodePage;
        text.clear();
        for (unsigned char b : bytes)
            text += static_cast<char16_t>(b);
        return Status::ok;
    }
    Status fromUtf16(CodePage codePage, std::u16string_view text,
                     std::string& bytes) const override {
        if (codePage != 437)
            return kStatusUnsupportedCodePage;
        bytes.clear();
        for (char16_t c : text) {
            if (c > 0xFF)
                return kStatusNoUnicodeTranslation;
            bytes += static_cast<char>(c);
        }
        return Status::ok;
    }
};

TEST(CodePageTest, PluggedConverterReadsAndWritesOtherCodePages) {
    PropertySet set;
    Section& section = set.sectionFor(kFormatIdUserDefinedProperties, 437);
    ASSERT_EQ(section.setName(2, u"Gr\u00FC\u00DFe"), Status::ok);
    section.properties[2] = Value::lpstr(CodePageText::fromUtf16(u"\u00E9t\u00E9"));
    section.properties[3] = Value::lpstr({1252, "caf\xE9"}); // converted from 1252 to 437

    const Latin1As437 converter;
    std::vector<std::uint8_t> stream;
    EXPECT_EQ(writePropertySet(set, stream), kStatusUnsupportedCodePage);
    ASSERT_EQ(writePropertySet(set, stream, converter), Status::ok) << lastFailureMessage();

    PropertySet reread;
    EXPECT_EQ(parsePropertySet(stream, reread), kStatusUnsupportedCodePage);
    ASSERT_EQ(parsePropertySet(stream, reread, converter), Status::ok) << lastFailureMessage();
    const Section* userDefined = reread.findSection(kFormatIdUserDefinedProperties);
    ASSERT_NE(userDefined, nullptr);
    EXPECT_EQ(userDefined->codePage, 437);
    const Value* value = userDefined->findByName(u"GR\u00DC\u00DFE");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->asText().bytes, "\xE9t\xE9");
    std::u16string text;
    ASSERT_EQ(value->toUtf16(text, converter), Status::ok);
    EXPECT_EQ(text, u"\u00E9t\u00E9");
    std::u16string converted;
    ASSERT_EQ(userDefined->find(3)->toUtf16(converted, converter), Status::ok);
    EXPECT_EQ(converted, u"caf\u00E9");
}

} // namespace
} // namespace engine::propset
