// Element names: the upper-casing used to compare them, their order and which are valid.
#include "test_support.h"

#include "cfb/names.h"

namespace engine::cfb::testing {
namespace {

TEST(NameTest, UpperCasesTheCommonScripts) {
    const std::tuple<const char*, char16_t, char16_t> cases[] = {
        // label, unit, upper case
        {"ascii small", u'a', u'A'},
        {"ascii capital", u'Q', u'Q'},
        {"digit", u'7', u'7'},
        {"latin-1 e acute", u'\u00e9', u'\u00c9'},
        {"latin-1 thorn", u'\u00fe', u'\u00de'},
        {"division sign stays", u'\u00f7', u'\u00f7'},
        {"y diaeresis", u'\u00ff', u'\u0178'},
        {"sharp s stays", u'\u00df', u'\u00df'},
        {"latin ext-a a macron", u'\u0101', u'\u0100'},
        {"latin ext-a l acute (odd capital)", u'\u013a', u'\u0139'},
        {"latin ext-a z caron", u'\u017e', u'\u017d'},
        {"greek alpha", u'\u03b1', u'\u0391'},
        {"greek final sigma", u'\u03c2', u'\u03a3'},
        {"cyrillic a", u'\u0430', u'\u0410'},
        {"cyrillic io", u'\u0451', u'\u0401'},
        {"full-width a", u'\uff41', u'\uff21'},
        {"cjk stays", u'\u4e2d', u'\u4e2d'},
    };
    for (const auto& [label, unit, upper] : cases)
        EXPECT_EQ(static_cast<unsigned>(upperCaseUnit(unit)), static_cast<unsigned>(upper))
            << label;
}

TEST(NameTest, OrdersShorterNamesFirstThenByUpperCase) {
    const std::tuple<const char*, std::u16string, std::u16string, int> cases[] = {
        // sign: -1, 0, 1
        {"shorter first even if greater", u"z", u"aa", -1},
        {"case is ignored", u"abc", u"ABC", 0},
        {"upper-cased units compare", u"abc", u"ABD", -1},
        {"underscore sorts after capitals", u"_", u"a", 1}, // '_' 0x5F > 'A' 0x41
        {"accented after plain", u"\u00e9", u"z", 1},
        {"greek case ignored", u"\u03b1", u"\u0391", 0},
    };
    for (const auto& [label, left, right, sign] : cases) {
        const auto order = compareNames(left, right);
        EXPECT_EQ(order < 0 ? -1 : order > 0 ? 1 : 0, sign) << label;
    }
}

TEST(NameTest, RefusesInvalidNames) {
    const std::tuple<const char*, std::u16string, Status> cases[] = {
        {"plain", u"Stream", Status::ok},
        {"31 units", std::u16string(31, u'x'), Status::ok},
        {"32 units", std::u16string(32, u'x'), Status::invalidName},
        {"empty", u"", Status::invalidName},
        {"slash", u"a/b", Status::invalidName},
        {"backslash", u"a\\b", Status::invalidName},
        {"colon", u"a:b", Status::invalidName},
        {"exclamation", u"!", Status::invalidName},
        {"embedded nul", std::u16string(u"a\0b", 3), Status::invalidName},
        {"control character allowed", u"\u0005SummaryInformation", Status::ok},
    };
    for (const auto& [label, name, expected] : cases)
        EXPECT_EQ(checkName(name), expected) << label;
}

TEST(NameTest, ConvertsBetweenUtf8AndUtf16) {
    const std::u16string names[] = {u"plain", u"\u00e9t\u00e9", u"\u4e2d\u6587", u"\U0001F600 face",
                                    u"\u0005Summary"};
    for (const auto& name : names)
        EXPECT_EQ(fromUtf8(toUtf8(name)), name);
    EXPECT_EQ(toUtf8(u"\u00e9"), "\xc3\xa9");
}

} // namespace
} // namespace engine::cfb::testing
