// The combo-edit-browse texts, as one table over the three functions: every row starts from
// a buffer of '#' and compares the whole buffer afterwards, terminators and padding
// included.
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <mbctype.h>

#include <string>
#include <tuple>

namespace {

enum class Call { parse, parseWide, make };

// The text is the one parsed or the value made into a text; the type the one made or the one
// expected from parsing; the buffer all 8 elements after the call.
// clang-format off
struct ComboRow { const char* label; Call call; unsigned long capacity; const char *text, *prefix; unsigned long type; int result; std::string buffer; };
// clang-format on

constexpr size_t kBufferSize = 8;
const std::string untouched(kBufferSize, '#');

std::string bytes(const char* text) {
    return std::string(text, kBufferSize);
}

int run(const ComboRow& row, std::string& buffer, unsigned long& type) {
    if (row.call == Call::make)
        return MakeComboEditBrowseText(buffer.data(), row.capacity, row.text, row.type, row.prefix);
    if (row.call == Call::parse)
        return ParseComboEditBrowseText(buffer.data(), row.capacity, row.text, &type, row.prefix);
    std::wstring wide(kBufferSize, L'#');
    const auto widened = [](const char* text) {
        return text != nullptr ? std::wstring(text, text + std::char_traits<char>::length(text))
                               : std::wstring();
    };
    const std::wstring text = widened(row.text), prefix = widened(row.prefix);
    const int result =
        ParseComboEditBrowseTextW(wide.data(), row.capacity, row.text ? text.c_str() : nullptr,
                                  &type, row.prefix ? prefix.c_str() : nullptr);
    buffer.assign(wide.begin(), wide.end());
    return result;
}

TEST(ComboEditBrowseText, ParsesAndMakesTerminatedTexts) {
    // clang-format off
    const ComboRow rows[] = {
        {"named entry padded", Call::parse, 8, "@Bank", "@", 0, 1, bytes("Bank\0\0\0\0")},
        {"free text", Call::parse, 8, "Bank", "@", 1, 1, bytes("Bank\0\0\0\0")},
        {"empty prefix", Call::parse, 8, "Bank", "", 0, 1, bytes("Bank\0\0\0\0")},
        {"prefix longer than text", Call::parse, 8, "@B", "@Bank", 1, 1, bytes("@B\0\0\0\0\0\0")},
        {"prefix case differs", Call::parse, 8, "acc:Bank", "ACC:", 1, 1, bytes("acc:Ban\0")},
        {"capacity exact", Call::parse, 8, "1234567", "@", 1, 1, bytes("1234567\0")},
        {"one short", Call::parse, 8, "12345678", "@", 1, 1, bytes("1234567\0")},
        {"capacity 0", Call::parse, 0, "@Bank", "@", 0, 1, untouched},
        {"null text", Call::parse, 8, nullptr, "@", 9, 0, untouched},
        {"null prefix", Call::parse, 8, "Bank", nullptr, 9, 0, untouched},
        {"wide named entry", Call::parseWide, 8, "@Bank", "@", 0, 1, bytes("Bank\0\0\0\0")},
        {"wide one short", Call::parseWide, 8, "12345678", "@", 1, 1, bytes("1234567\0")},
        {"wide capacity 0", Call::parseWide, 0, "Bank", "@", 1, 1, untouched},
        {"wide null text", Call::parseWide, 8, nullptr, "@", 9, 0, untouched},
        {"make named entry", Call::make, 8, "Bank", "@", 0, 1, bytes("@Bank\0##")},
        {"make cut", Call::make, 8, "Banking", "@", 0, 1, bytes("@Bankin\0")},
        {"make free text padded", Call::make, 8, "Bank", "@", 1, 1, bytes("Bank\0\0\0\0")},
        {"make free text with the prefix", Call::make, 8, "@Bank", "@", 1, 1, bytes("@Bank\0\0\0")}, // parsed back as a named entry
        {"make free text one short", Call::make, 8, "12345678", "@", 1, 1, bytes("1234567\0")},
        {"make capacity 0", Call::make, 0, "Bank", "@", 0, 1, untouched},
        {"make type 2", Call::make, 8, "Bank", "@", 2, 0, untouched},
        {"make type 0xFFFFFFFF", Call::make, 8, "Bank", "@", 0xFFFFFFFF, 0, untouched},
        {"make null value", Call::make, 8, nullptr, "@", 0, 0, untouched},
        {"make null prefix", Call::make, 8, "Bank", nullptr, 1, 0, untouched},
    };
    // clang-format on
    for (const ComboRow& row : rows) {
        std::string buffer = untouched;
        unsigned long type = row.call == Call::make ? row.type : 9; // nothing parsed: unchanged
        const int result = run(row, buffer, type);
        EXPECT_EQ(std::tuple(result, buffer, type), std::tuple(row.result, row.buffer, row.type))
            << row.label;
    }
    EXPECT_EQ(MakeComboEditBrowseText(nullptr, 8, "Bank", 0, "@"), 0);
    EXPECT_EQ(ParseComboEditBrowseText(nullptr, 8, "Bank", nullptr, "@"), 0);
}

TEST(ComboEditBrowseText, NeverCutsADoubleByteCharacterInHalf) {
    ASSERT_EQ(_setmbcp(932), 0);
    char value[4] = "##";
    ParseComboEditBrowseText(value, sizeof value, "ab\x82\xa0", nullptr, "@");
    EXPECT_EQ(std::string(value, 4), std::string("ab\0\0", 4));
    _setmbcp(_MB_CP_ANSI);
}

} // namespace
