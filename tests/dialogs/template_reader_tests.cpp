// The template reader on templates built word by word: what one item yields, and that
// nothing is read past the end of the bytes it is given. (Header offsets are checked on the
// resource compiler's templates by the category tests.)
#include "dialogs/dialog_template.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using z64::dialogs::DLGITEMINFO;
using z64::dialogs::TemplateView;

constexpr WORD kOrdinal = 0xFFFF;

// Little-endian words of a template.
struct Words {
    std::vector<WORD> words;
    Words& add(std::initializer_list<WORD> more) {
        words.insert(words.end(), more);
        return *this;
    }
    Words& dword(DWORD value) { return add({LOWORD(value), HIWORD(value)}); }
    Words& text(const std::wstring& value) {
        for (wchar_t unit : value)
            words.push_back(static_cast<WORD>(unit));
        words.push_back(0);
        return *this;
    }
    [[nodiscard]] TemplateView view(size_t cut = 0) const {
        return {reinterpret_cast<const BYTE*>(words.data()), words.size() * 2 - cut};
    }
};

Words classicHeader(DWORD style, WORD count) {
    return Words{}.dword(style).dword(0).add({count, 0, 0, 100, 40});
}
Words extendedHeader(DWORD style, WORD count) {
    return Words{}.add({1, kOrdinal}).dword(0).dword(0).dword(style).add({count, 0, 0, 100, 40});
}

TEST(TemplateHeader, RefusesHeadersCutShort) {
    // The bytes, and how many bytes are taken off their end.
    // clang-format off
    const struct { const char* label; Words bytes; size_t cut; } rows[] = {
        {"classic fixed part", classicHeader(WS_CHILD, 1), 2},
        {"extended fixed part", extendedHeader(WS_CHILD, 1), 2},
        {"menu string unterminated", classicHeader(WS_CHILD, 1).add({'M', 'N'}), 0},
        {"class ordinal without its number", classicHeader(WS_CHILD, 1).add({0, kOrdinal}), 0},
        {"title unterminated", classicHeader(WS_CHILD, 1).add({0, 0, 'T'}), 0},
        {"font size missing", classicHeader(WS_CHILD | DS_SETFONT, 1).add({0, 0, 0}), 0},
        {"extended font face missing", extendedHeader(WS_CHILD | DS_SETFONT, 1).add({0, 0, 0, 8, 400, 0}), 0},
        {"one byte", Words{}.add({0}), 1},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_FALSE(z64::dialogs::readTemplateHeader(row.bytes.view(row.cut)).has_value());
    }
}

// One classic item: style, extended style, rectangle, id, then class, text and data.
constexpr DWORD kItemStyle = WS_CHILD | WS_TABSTOP;
Words classicItem(WORD id) {
    return Words{}.dword(kItemStyle).dword(WS_EX_STATICEDGE).add({1, 2, 30, 8, id});
}
Words extendedItem(DWORD id) {
    return Words{}.dword(0).dword(WS_EX_STATICEDGE).dword(kItemStyle).add({1, 2, 30, 8}).dword(id);
}

TEST(TemplateItem, YieldsClassTextDataAndTheNextItem) {
    const std::wstring longText(300, L'x'), longClass(80, L'C');
    const std::string cutText(255, 'x');
    // The creation data's offset is -1 for none.
    // clang-format off
    const struct { const char* label; bool extended; Words bytes; const char *className, *text; bool classUsable; size_t next; int dataOffset; } rows[] = {
        {"ordinal class, text", false, classicItem(7).add({kOrdinal, 0x81}).text(L"abc").add({0}), "Edit", "abc", true, 32, -1},
        {"class name, resource number", false, classicItem(7).text(L"Button").add({kOrdinal, 150, 0}), "Button", "#150", true, 40, -1},
        {"number 40000 read unsigned", false, classicItem(7).add({kOrdinal, 0x85, kOrdinal, 40000, 0}), "Combobox", "#40000", true, 28, -1},
        {"ordinal 0x0086 is no class", false, classicItem(7).add({kOrdinal, 0x86, 0, 0}), "", "", false, 28, -1},
        {"ordinal 0x0180 is no class", false, classicItem(7).add({kOrdinal, 0x180, 0, 0}), "", "", false, 28, -1},
        {"class name of 80 bytes does not fit", false, classicItem(7).text(longClass).add({0, 0}), "", "", false, 184, -1},
        {"text of 300 characters cut to 255", false, classicItem(7).add({kOrdinal, 0x82}).text(longText).add({0}), "Static", cutText.c_str(), true, 628, -1},
        {"creation data", false, classicItem(7).add({kOrdinal, 0x80, 0, 4, 0x1234, 0x5678}), "Button", "", true, 32, 26},
        {"extended form", true, extendedItem(0x12345).add({kOrdinal, 0x82}).text(L"e").add({0}), "Static", "e", true, 36, -1},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        char className[80] = "?";
        char text[256] = "?";
        DLGITEMINFO info{className, sizeof className, text, sizeof text, nullptr};
        const auto item = z64::dialogs::parseItem(row.extended, row.bytes.view(), 0, info);
        ASSERT_TRUE(item.has_value());
        const BYTE* data = row.dataOffset < 0 ? nullptr : row.bytes.view().base + row.dataOffset;
        EXPECT_EQ(std::tuple(std::string(className), std::string(text), item->classUsable,
                             item->nextOffset, info.pCreationData),
                  std::tuple(row.className, row.text, row.classUsable, row.next,
                             static_cast<const void*>(data)));
        EXPECT_EQ(std::tuple(item->style, item->extendedStyle, item->rect.right, item->id),
                  std::tuple(kItemStyle, DWORD{WS_EX_STATICEDGE}, LONG{30},
                             WORD(row.extended ? 0x2345 : 7)));
    }
}

TEST(TemplateItem, RefusesItemsThatRunPastTheEnd) {
    const Words whole = classicItem(7).add({kOrdinal, 0x82}).text(L"ab").add({2, 0x1234});
    // Every shorter length, down to the fixed part, is refused; the whole item is not.
    for (size_t cut = 1; cut <= whole.words.size() * 2; ++cut) {
        DLGITEMINFO info{};
        EXPECT_FALSE(z64::dialogs::ParseDlgItem(whole.view(cut), 0, info).has_value())
            << "cut " << cut;
    }
    DLGITEMINFO info{};
    EXPECT_TRUE(z64::dialogs::ParseDlgItem(whole.view(), 0, info).has_value());
}

} // namespace
