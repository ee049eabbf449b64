// Reads the property-set streams of real documents written by other software and compares what
// the codec finds with two independent readers: libgsf's `gsf` tool and python's olefile. The
// streams are taken out of the compound files with `gsf cat`, so these tests do not depend on
// the engine's own compound-file layer.
#include "common/error.h"
#include "propset/property_set.h"
#include "../tool_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace engine::propset {
namespace {

constexpr const char* kSummaryStream = "\005SummaryInformation";
constexpr const char* kDocumentSummaryStream = "\005DocumentSummaryInformation";
constexpr std::uint64_t kFiletimeTicksPerSecond = 10000000;

using test_tools::gsfAvailable;
using test_tools::olefileAvailable;
using test_tools::outputOf;
using test_tools::shellQuoted;

std::optional<std::vector<std::uint8_t>> extractStream(const std::string& file,
                                                       const char* stream) {
    const auto output =
        outputOf("gsf cat " + shellQuoted(file) + " " + shellQuoted(stream) + " 2>/dev/null");
    return output ? std::optional(std::vector<std::uint8_t>(output->begin(), output->end()))
                  : std::nullopt;
}

std::string utf8(const std::u16string& text) {
    std::string bytes;
    EXPECT_EQ(builtInCodePages().fromUtf16(kCodePageUtf8, text, bytes), Status::ok);
    return bytes;
}

// A real document, and for one with user-defined properties the second section's code page
// and number of names.
struct CorpusDocument {
    const char* label;
    const char* file;
    std::size_t documentSummarySections;
    CodePage userCodePage = 0;
    std::size_t userNameCount = 0;
};

class CorpusTest : public ::testing::TestWithParam<CorpusDocument> {
protected:
    void SetUp() override {
        path_ = std::string(Z64_CORPUS_DIR) + "/cfb-peers/real/" + GetParam().file;
        if (!std::filesystem::exists(path_))
            GTEST_SKIP() << "corpus file " << path_ << " is missing";
        if (!gsfAvailable())
            GTEST_SKIP() << "the gsf tool (libgsf-bin) is not installed";
    }

    PropertySet parseStream(const char* stream) {
        PropertySet set;
        const auto bytes = extractStream(path_, stream);
        EXPECT_TRUE(bytes.has_value()) << "gsf cat could not extract the stream";
        if (bytes) {
            EXPECT_EQ(parsePropertySet(*bytes, set), Status::ok) << lastFailureMessage();
        }
        return set;
    }

    std::string path_;
};

TEST_P(CorpusTest, ParsesBothStreamsAndRewritesThemFaithfully) {
    for (const char* stream : {kSummaryStream, kDocumentSummaryStream}) {
        const PropertySet set = parseStream(stream);
        ASSERT_FALSE(set.sections.empty()) << stream;
        std::vector<std::uint8_t> rewritten;
        ASSERT_EQ(writePropertySet(set, rewritten), Status::ok) << lastFailureMessage();
        PropertySet reread;
        ASSERT_EQ(parsePropertySet(rewritten, reread), Status::ok) << lastFailureMessage();
        EXPECT_EQ(reread, set) << stream;
    }
    const PropertySet summary = parseStream(kSummaryStream);
    ASSERT_EQ(summary.sections.size(), 1u);
    EXPECT_EQ(summary.sections[0].formatId, kFormatIdSummaryInformation);
    const PropertySet documentSummary = parseStream(kDocumentSummaryStream);
    ASSERT_EQ(documentSummary.sections.size(), GetParam().documentSummarySections);
    EXPECT_EQ(documentSummary.sections[0].formatId, kFormatIdDocSummaryInformation);
}

// olefile reports the first section of a stream: strings as bytes, times as whole seconds
// since 1601, booleans and integers as numbers, and leaves out vectors. A small script prints
// one "identifier kind value" line per property it understood.
std::optional<std::map<PropertyId, std::string>> olefileProperties(const std::string& file,
                                                                   const char* stream) {
    const std::string script =
        "import sys, olefile\n"
        "p = olefile.OleFileIO(sys.argv[1]).getproperties(sys.argv[2], convert_time=False)\n"
        "for k, v in sorted(p.items()):\n"
        "    if isinstance(v, bytes): print(k, \"text\", v.hex())\n"
        "    elif isinstance(v, str): print(k, \"text\", v.encode(\"utf-8\").hex())\n"
        "    elif isinstance(v, int): print(k, \"number\", int(v))\n";
    const auto output = outputOf("/usr/bin/python3 -c " + shellQuoted(script) + " " +
                                 shellQuoted(file) + " " + shellQuoted(stream) + " 2>/dev/null");
    if (!output)
        return std::nullopt;
    std::map<PropertyId, std::string> properties;
    std::istringstream lines(*output);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos)
            continue;
        properties[static_cast<PropertyId>(std::stoul(line.substr(0, space)))] =
            line.substr(space + 1);
    }
    return properties;
}

// The same description of one of our values, or nothing for what olefile leaves out.
std::optional<std::string> describeLikeOlefile(const Value& value) {
    // clang-format off
    switch (value.type()) {
    case vt::lpstr: case vt::bstr: return "text " + test_tools::toHex(value.asText().bytes);
    case vt::lpwstr: return "text " + test_tools::toHex(utf8(value.asWideText()));
    case vt::filetime: return "number " + std::to_string(value.asUnsigned() / kFiletimeTicksPerSecond);
    case vt::boolean: return std::string("number ") + (value.asBool() ? "1" : "0");
    case vt::i1: case vt::i2: case vt::i4: case vt::int_: case vt::i8: return "number " + std::to_string(value.asSigned());
    case vt::ui1: case vt::ui2: case vt::ui4: case vt::uint_: case vt::ui8: return "number " + std::to_string(value.asUnsigned());
    default: return std::nullopt;
    }
    // clang-format on
}

TEST_P(CorpusTest, FirstSectionsMatchOlefile) {
    if (!olefileAvailable())
        GTEST_SKIP() << "python3-olefile is not installed";
    for (const char* stream : {kSummaryStream, kDocumentSummaryStream}) {
        const auto expected = olefileProperties(path_, stream);
        ASSERT_TRUE(expected.has_value());
        ASSERT_FALSE(expected->empty());
        const PropertySet set = parseStream(stream);
        ASSERT_FALSE(set.sections.empty());
        const Section& section = set.sections[0];
        std::size_t compared = 0;
        for (const auto& [id, description] : *expected) {
            if (id == kCodePagePropertyId) {
                EXPECT_EQ(description, "number " + std::to_string(section.codePage));
                continue;
            }
            const Value* value = section.find(id);
            ASSERT_NE(value, nullptr) << "property " << id << " of " << stream + 1;
            const auto ours = describeLikeOlefile(*value);
            ASSERT_TRUE(ours.has_value()) << "type " << value->type();
            EXPECT_EQ(*ours, description) << "property " << id << " of " << stream + 1;
            ++compared;
        }
        EXPECT_GT(compared, 3u) << stream + 1;
    }
}

// The streams are longer than the sets they hold: every prefix that cuts into the set is
// refused, every longer one reads the same set.
TEST_P(CorpusTest, PrefixesOfRealStreamsAreRefusedUntilTheSetIsWhole) {
    for (const char* stream : {kSummaryStream, kDocumentSummaryStream}) {
        const auto bytes = extractStream(path_, stream);
        ASSERT_TRUE(bytes.has_value());
        PropertySet whole;
        ASSERT_EQ(parsePropertySet(*bytes, whole), Status::ok) << lastFailureMessage();
        bool wholeSeen = false;
        for (std::size_t length = 0; length <= bytes->size(); ++length) {
            PropertySet set;
            const Status status = parsePropertySet(std::span(bytes->data(), length), set);
            if (succeeded(status)) {
                EXPECT_EQ(set, whole) << "prefix of " << length << " bytes";
                wholeSeen = true;
                continue;
            }
            EXPECT_FALSE(wholeSeen)
                << "prefix of " << length << " bytes refused after a shorter one was read";
            EXPECT_TRUE(status == Status::invalidHeader || status == Status::docfileCorrupt)
                << lastFailureMessage();
        }
        EXPECT_TRUE(wholeSeen);
    }
}

// The user-defined names gsf lists (its own properties carry a "prefix:" and are left out).
std::set<std::string> gsfUserDefinedNames(const std::string& file) {
    std::set<std::string> names;
    const auto output = outputOf("gsf listprops " + shellQuoted(file) + " 2>/dev/null");
    std::istringstream lines(output.value_or(""));
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line.find(':') == std::string::npos)
            names.insert(line);
    return names;
}

// gsf prints strings with C escapes: octal byte values and backslash-escaped punctuation.
std::string withoutEscapes(std::string_view printed) {
    std::string text;
    for (std::size_t i = 0; i < printed.size(); ++i) {
        const bool octal = printed[i] == '\\' && i + 3 < printed.size() && printed[i + 1] >= '0' &&
                           printed[i + 1] <= '7';
        if (octal) {
            text += static_cast<char>(std::stoi(std::string(printed.substr(i + 1, 3)), nullptr, 8));
            i += 3;
        } else if (printed[i] == '\\' && i + 1 < printed.size()) {
            text += printed[++i];
        } else {
            text += printed[i];
        }
    }
    return text;
}

// The text gsf prints for a string property: `name: \t= "text"`.
std::optional<std::string> gsfStringValue(const std::string& file, const std::string& name) {
    const auto output =
        outputOf("gsf props " + shellQuoted(file) + " " + shellQuoted(name) + " 2>/dev/null");
    if (!output)
        return std::nullopt;
    const std::size_t open = output->find("= \"");
    const std::size_t close = output->rfind('"');
    if (open == std::string::npos || close < open + 3)
        return std::nullopt;
    return withoutEscapes(std::string_view(*output).substr(open + 3, close - open - 3));
}

TEST_P(CorpusTest, SecondSectionHoldsWhatGsfShows) {
    if (GetParam().documentSummarySections < 2)
        GTEST_SKIP() << "the document has no user-defined properties";
    const auto bytes = extractStream(path_, kDocumentSummaryStream);
    ASSERT_TRUE(bytes.has_value());
    PropertySet set;
    ASSERT_EQ(parsePropertySet(*bytes, set), Status::ok) << lastFailureMessage();
    ASSERT_EQ(set.sections.size(), 2u);
    const Section& user = set.sections[1];
    EXPECT_EQ(user.formatId, kFormatIdUserDefinedProperties);
    EXPECT_EQ(user.codePage, GetParam().userCodePage);
    EXPECT_EQ(user.names.size(), GetParam().userNameCount);

    std::set<std::string> ours;
    for (const auto& [id, name] : user.names)
        ours.insert(utf8(name));
    EXPECT_EQ(ours, gsfUserDefinedNames(path_));

    for (const auto& [id, name] : user.names) {
        const Value* value = user.find(id);
        ASSERT_NE(value, nullptr) << utf8(name);
        std::u16string text;
        ASSERT_EQ(value->toUtf16(text), Status::ok) << utf8(name);
        EXPECT_EQ(gsfStringValue(path_, utf8(name)), utf8(text)) << utf8(name);
        EXPECT_EQ(user.findByName(upperCaseFolded(name)), value) << utf8(name);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Documents, CorpusTest, ::testing::Values(
    CorpusDocument{"BlankDoc", "Office365BlankSample_v2507.doc", 1},
    CorpusDocument{"BlankXls", "Office365BlankSample_v2507.xls", 1},
    CorpusDocument{"TwoCustom", "2custom.doc", 2, kCodePageUtf8, 2},
    CorpusDocument{"UnicodeDictionary", "winUnicodeDictionary.doc", 2, kCodePageUnicode, 5}),
    [](const auto& info) { return info.param.label; });
// clang-format on

// Streams the codec writes, put into a compound file by `gsf createole`, read the same through
// gsf and olefile.
TEST(WrittenStreamsTest, ReadTheSameThroughGsfAndOlefile) {
    if (!gsfAvailable())
        GTEST_SKIP() << "the gsf tool (libgsf-bin) is not installed";
    test_tools::TemporaryFolder folder;
    const auto writeStream = [&folder](const char* name, const PropertySet& set) {
        std::vector<std::uint8_t> bytes;
        ASSERT_EQ(writePropertySet(set, bytes), Status::ok) << lastFailureMessage();
        test_tools::writeFile(folder.path() / name, bytes);
    };
    PropertySet summary;
    Section& info = summary.sectionFor(kFormatIdSummaryInformation, kCodePageWindows1252);
    info.properties[2] = Value::lpstr({1252, "Quarterly report"});
    info.properties[4] = Value::lpstr({1252, "J\xFCrgen"});
    info.properties[12] = Value::filetime(0x01D2E2A0F1D5C000ull);
    info.properties[14] = Value::i4(12);
    writeStream(kSummaryStream, summary);

    PropertySet documentSummary;
    documentSummary.sectionFor(kFormatIdDocSummaryInformation, kCodePageWindows1252)
        .properties[0x0F] = Value::lpstr({1252, "Contoso"});
    Section& user = documentSummary.sectionFor(kFormatIdUserDefinedProperties, kCodePageUnicode);
    ASSERT_EQ(user.setName(2, u"Client"), Status::ok);
    ASSERT_EQ(user.setName(3, u"R\u00E9f\u00E9rence"), Status::ok);
    user.properties[2] = Value::lpwstr(u"Fabrikam \u20AC");
    user.properties[3] = Value::lpstr(CodePageText::fromUtf16(u"A-17"));
    writeStream(kDocumentSummaryStream, documentSummary);

    ASSERT_TRUE(outputOf("cd " + shellQuoted(folder.path().string()) + " && gsf createole " +
                         "written.doc " + shellQuoted(kSummaryStream) + " " +
                         shellQuoted(kDocumentSummaryStream)));
    const std::string document = (folder.path() / "written.doc").string();
    EXPECT_EQ(gsfUserDefinedNames(document),
              (std::set<std::string>{"Client", utf8(u"R\u00E9f\u00E9rence")}));
    EXPECT_EQ(gsfStringValue(document, "Client"), utf8(u"Fabrikam \u20AC"));
    EXPECT_EQ(gsfStringValue(document, utf8(u"R\u00E9f\u00E9rence")), "A-17");

    if (!olefileAvailable())
        GTEST_SKIP() << "python3-olefile is not installed";
    const auto seen = olefileProperties(document, kSummaryStream);
    ASSERT_TRUE(seen.has_value());
    for (const auto& [id, value] : info.properties)
        EXPECT_EQ(seen->at(id), describeLikeOlefile(value)) << "property " << id;
    EXPECT_EQ(seen->at(kCodePagePropertyId), "number 1252");
}

} // namespace
} // namespace engine::propset
