// The pure parts of the message box: the option prefix, the caller's answers, the mapping
// of what was pressed, the choice of presentation and the balloon text split.
#include "messages/message_options.h"

#include <gtest/gtest.h>

#include <mbctype.h>

#include <string>

namespace {

using namespace z64::messages;

constexpr int kNone = kKindNone;
constexpr int kNoBtn = kNoButton;
constexpr UINT kQ = MB_ICONQUESTION, kE = MB_ICONEXCLAMATION, kI = MB_ICONINFORMATION,
               kS = MB_ICONSTOP;

struct PrefixRow {
    const char* label;
    const char* text;
    UINT uType;
    bool prefix;
    int kind;
    int defaultButton;
    UINT icon;
    int positive;
    int negative;
    bool inverted;
    const char* message;
};

// uType MB_YESNO unless a row says otherwise: the caller's pair is then IDYES, IDNO.
const PrefixRow kPrefixRows[] = {
    {"Y", "{Y}Go?", MB_YESNO, true, MB_YESNO, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"-Y", "{-Y}Go?", MB_YESNO, true, MB_YESNO, 1, kQ, IDYES, IDNO, true, "Go?"},
    {"Y*", "{Y*}Go?", MB_YESNO, true, 1537, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"YN*", "{YN*}Go?", MB_YESNO, true, 1539, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"N*", "{N*}Go?", MB_YESNO, true, 1537, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"YC*", "{YC*}Go?", MB_YESNO, true, 1338, 3, kQ, IDYES, IDNO, false, "Go?"},
    {"Y*C", "{Y*C}Go?", MB_YESNO, true, 1338, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"YN*C", "{YN*C}Go?", MB_YESNO, true, 1540, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"YNC*", "{YNC*}Go?", MB_YESNO, true, 1540, 3, kQ, IDYES, IDNO, false, "Go?"},
    {"Yc*", "{Yc*}Go?", MB_YESNO, true, 1338, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"yN*", "{yN*}Go?", MB_YESNO, true, 1539, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"yn*", "{yn*}Go?", MB_YESNO, true, 1539, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"Ny", "{Ny}Go?", MB_YESNO, true, MB_YESNO, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"Ny*", "{Ny*}Go?", MB_YESNO, true, 1537, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"n*", "{n*}Go?", MB_YESNO, true, 1537, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"*y", "{*y}Go?", MB_YESNO, true, 1537, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"YN**", "{YN**}Go?", MB_YESNO, true, 1537, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"*o", "{*o}Go?", MB_YESNO, true, MB_OK, 1, kQ, IDOK, kNoBtn, false, "Go?"},
    {"O", "{O}Go?", MB_YESNO, true, MB_OK, 1, kQ, IDOK, kNoBtn, false, "Go?"},
    {"No", "{No}Go?", MB_YESNO, true, MB_OK, 2, kQ, IDOK, kNoBtn, false, "Go?"},
    {"OIc", "{OIc}Go?", MB_YESNO, true, MB_OKCANCEL, 1, kE, IDOK, kNoBtn, false, "Go?"},
    {"OcI", "{OcI}Go?", MB_YESNO, true, MB_OKCANCEL, 1, kI, IDOK, kNoBtn, false, "Go?"},
    {"OC", "{OC}Go?", MB_YESNO, true, MB_OKCANCEL, 2, kQ, IDOK, kNoBtn, false, "Go?"},
    {"C on none", "{C}Go?", MB_YESNO, true, kNone, 2, kQ, IDYES, IDNO, false, "Go?"},
    {"c on none", "{c}Go?", MB_YESNO, true, kNone, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"Ac", "{Ac}Go?", MB_YESNO, true, MB_ABORTRETRYIGNORE, 1, kQ, IDRETRY, IDIGNORE, false, "Go?"},
    {"A", "{A}Go?", MB_YESNO, true, MB_ABORTRETRYIGNORE, 1, kQ, IDRETRY, IDIGNORE, false, "Go?"},
    {"Na", "{Na}Go?", MB_YESNO, true, MB_ABORTRETRYIGNORE, 2, kQ, IDRETRY, IDIGNORE, false, "Go?"},
    {"AI", "{AI}Go?", MB_YESNO, true, MB_ABORTRETRYIGNORE, 3, kQ, IDRETRY, IDIGNORE, false, "Go?"},
    {"AR", "{AR}Go?", MB_YESNO, true, MB_ABORTRETRYIGNORE, 2, kQ, IDRETRY, IDIGNORE, false, "Go?"},
    {"Ar", "{Ar}Go?", MB_YESNO, true, MB_ABORTRETRYIGNORE, 1, kQ, IDRETRY, IDIGNORE, false, "Go?"},
    {"Ai", "{Ai}Go?", MB_YESNO, true, MB_ABORTRETRYIGNORE, 1, kQ, IDRETRY, IDIGNORE, false, "Go?"},
    {"R", "{R}Go?", MB_YESNO, true, MB_RETRYCANCEL, 1, kQ, IDRETRY, IDCANCEL, false, "Go?"},
    {"Nr", "{Nr}Go?", MB_YESNO, true, MB_RETRYCANCEL, 2, kQ, IDRETRY, IDCANCEL, false, "Go?"},
    {"I", "{I}Go?", MB_YESNO, true, kNone, 1, kI, IDYES, IDNO, false, "Go?"},
    {"i", "{i}Go?", MB_YESNO, true, kNone, 1, kI, IDYES, IDNO, false, "Go?"},
    {"E", "{E}Go?", MB_OK, true, kNone, 1, kE, IDRETRY, IDCANCEL, false, "Go?"},
    {"e", "{e}Go?", MB_OK, true, kNone, 1, kE, IDRETRY, IDCANCEL, false, "Go?"},
    {"Q", "{Q}Go?", MB_OK | kS, true, kNone, 1, kQ, IDRETRY, IDCANCEL, false, "Go?"},
    {"q", "{q}Go?", MB_OK | kS, true, kNone, 1, kQ, IDRETRY, IDCANCEL, false, "Go?"},
    {"S", "{S}Go?", MB_YESNO, true, kNone, 1, kS, IDYES, IDNO, false, "Go?"},
    {"s", "{s}Go?", MB_YESNO, true, kNone, 1, kS, IDYES, IDNO, false, "Go?"},
    {"icon of uType", "{Y}Go?", MB_YESNO | kS, true, MB_YESNO, 1, kS, IDYES, IDNO, false, "Go?"},
    {"-", "{-}Go?", MB_YESNO, true, kNone, 1, kQ, IDYES, IDNO, true, "Go?"},
    {"repeated -", "{--}Go?", MB_YESNO, true, kNone, 1, kQ, IDYES, IDNO, true, "Go?"},
    {"unknown letters", "{xZ9 }Go?", MB_YESNO, true, kNone, 1, kQ, IDYES, IDNO, false, "Go?"},
    {"empty prefix", "{}", MB_YESNO, true, kNone, 1, kQ, IDYES, IDNO, false, ""},
    {"no closing brace", "{Y", MB_YESNO, true, MB_YESNO, 1, kQ, IDYES, IDNO, false, ""},
    {"} in the text", "{Y}a}b", MB_YESNO, true, MB_YESNO, 1, kQ, IDYES, IDNO, false, "a}b"},
    {"no leading {", " {Y}Go?", MB_YESNO, false, kNone, 1, kQ, IDYES, IDNO, false, " {Y}Go?"},
    {"null text", nullptr, MB_YESNO, false, kNone, 1, kQ, IDYES, IDNO, false, ""},
};

TEST(MessageOptionPrefix, ReadsEachLetterInOrder) {
    for (const PrefixRow& row : kPrefixRows) {
        SCOPED_TRACE(row.label);
        const ReadMessage read = readMessage(row.text, row.uType);
        const Presentation& p = read.presentation;
        EXPECT_EQ(read.hasPrefix, row.prefix);
        EXPECT_EQ(p.kind, row.kind);
        EXPECT_EQ(p.defaultButton, row.defaultButton);
        EXPECT_EQ(p.icon, row.icon);
        EXPECT_EQ(p.positiveButton, row.positive);
        EXPECT_EQ(p.negativeButton, row.negative);
        EXPECT_EQ(p.inverted, row.inverted);
        EXPECT_STREQ(read.text, row.message);
    }
}

TEST(MessageAnswers, CallerPairAndDefaultForEveryButtonType) {
    const struct {
        const char* label;
        UINT uType;
        int a;
        int b;
    } rows[] = {
        {"MB_OK", MB_OK, IDRETRY, IDCANCEL},
        {"MB_OKCANCEL", MB_OKCANCEL, IDYES, IDNO},
        {"MB_ABORTRETRYIGNORE", MB_ABORTRETRYIGNORE, IDYES, IDNO},
        {"MB_YESNOCANCEL", MB_YESNOCANCEL, IDYES, IDNO},
        {"MB_YESNO", MB_YESNO | MB_ICONSTOP, IDYES, IDNO},
        {"MB_RETRYCANCEL", MB_RETRYCANCEL, IDYES, IDNO},
        {"MB_CANCELTRYCONTINUE", MB_CANCELTRYCONTINUE, IDYES, IDNO},
        {"type 8", 8, IDRETRY, IDCANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const AnswerPair answers = callerAnswers(row.uType);
        EXPECT_EQ(answers.positive, row.a);
        EXPECT_EQ(answers.negative, row.b);
        EXPECT_EQ(defaultAnswer(readMessage("{Y}", row.uType).presentation, answers), row.a);
        EXPECT_EQ(defaultAnswer(readMessage("{-Y}", row.uType).presentation, answers), row.b);
        EXPECT_EQ(defaultAnswer(readMessage("plain", row.uType).presentation, answers), row.a);
    }
}

TEST(MessageAnswers, MapsWhatWasPressedOntoTheCallersPair) {
    const struct {
        const char* label;
        const char* text;
        UINT uType;
        int pressed;
        int answer;
    } rows[] = {
        {"yes", "{Y}", MB_YESNO, IDYES, IDYES},
        {"no", "{Y}", MB_YESNO, IDNO, IDNO},
        {"inverted yes", "{-Y}", MB_YESNO, IDYES, IDNO},
        {"inverted no", "{-Y}", MB_YESNO, IDNO, IDYES},
        {"yes to all", "{Y*}", MB_YESNO, IDYESTOALL, IDYESTOALL},
        {"cancel", "{YC*}", MB_YESNO, IDCANCEL, IDCANCEL},
        {"ok of {O}", "{O}", MB_YESNO, IDOK, IDYES},
        {"inverted ok", "{-O}", MB_YESNO, IDOK, IDNO},
        {"failed dialog of {O}", "{O}", MB_YESNO, -1, -1},
        {"failed dialog of {Y*}", "{Y*}", MB_YESNO, -1, -1},
        {"retry of {A}", "{A}", MB_YESNO, IDRETRY, IDYES},
        {"ignore of {A}", "{A}", MB_YESNO, IDIGNORE, IDNO},
        {"abort of {A}", "{A}", MB_YESNO, IDABORT, IDABORT},
        {"cancel of {R}, MB_OK caller", "{R}", MB_OK, IDCANCEL, IDCANCEL},
        {"retry of {R}, MB_OK caller", "{R}", MB_OK, IDRETRY, IDRETRY},
        {"plain MB_OK box", "plain", MB_OK, IDOK, IDOK},
        {"plain yes", "plain", MB_YESNO, IDYES, IDYES},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const ReadMessage read = readMessage(row.text, row.uType);
        EXPECT_EQ(mapResult(row.pressed, read.presentation, callerAnswers(row.uType)), row.answer);
    }
}

TEST(MessagePresentation, RouteStyleAndBalloon) {
    using enum Route;
    const struct {
        const char* label;
        const char* text;
        UINT uType;
        bool mayShow;
        Route route;
        UINT style;
        bool balloon;
    } rows[] = {
        {"plain, hidden", "t", MB_YESNO, false, CollectAndAnswer, MB_YESNO, false},
        {"plain, shown", "t", MB_YESNO | MB_SYSTEMMODAL, true, Present, MB_YESNO | MB_SYSTEMMODAL,
         false},
        {"plain MB_OK", "t", MB_OK | MB_ICONSTOP, true, Present, MB_OK | MB_ICONSTOP, true},
        {"{Y} hidden", "{Y}t", MB_YESNO, false, Answer, MB_YESNO | kQ, false},
        {"{Y*} hidden", "{Y*}t", MB_YESNO, false, Answer, 1537 | kQ, false},
        {"{O} hidden", "{O}t", MB_YESNO, false, CollectAndAnswer, MB_OK | kQ, true},
        {"{} hidden", "{}t", MB_YESNO, false, CollectAndAnswer, MB_YESNO | kQ, false},
        {"{Y*} shown", "{Y*}t", MB_YESNO, true, YesNoAllDialog, 1537 | kQ, false},
        {"{N} modality dropped", "{N}t", MB_OK | MB_SYSTEMMODAL, true, Present,
         MB_YESNO | kQ | MB_DEFBUTTON2, true},
        {"{E} on MB_YESNO", "{E}t", MB_YESNO, true, Present, MB_YESNO | kE, false},
        {"{YC}", "{YC}t", MB_YESNO, true, Present, MB_YESNOCANCEL | kQ | MB_DEFBUTTON3, true},
        {"{OC}", "{OC}t", MB_OK, true, Present, MB_OKCANCEL | kQ | MB_DEFBUTTON2, false},
        {"{AI}", "{AI}t", MB_OK, true, Present, MB_ABORTRETRYIGNORE | kQ | MB_DEFBUTTON3, true},
        {"{R}", "{R}t", MB_OK, true, Present, MB_RETRYCANCEL | kQ, true},
        {"{Y}", "{Y}t", MB_OK, true, Present, MB_YESNO | kQ, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const ReadMessage read = readMessage(row.text, row.uType);
        EXPECT_EQ(chooseRoute(read, row.mayShow), row.route);
        EXPECT_EQ(presentationStyle(read, row.uType), row.style);
        EXPECT_EQ(takesBalloon(read, row.uType), row.balloon);
    }
}

TEST(BalloonText, NeverSplitsADoubleByteCharacter) {
    const int previous = _getmbcp();
    ASSERT_EQ(_setmbcp(932), 0);
    // 0x82 0xA0 is one character of code page 932.
    const std::string text = std::string(253, 'a') + "\x82\xA0" + "b";
    EXPECT_EQ(leadingWholeCharacters(text.c_str(), 254), std::string(253, 'a'));
    EXPECT_EQ(leadingWholeCharacters(text.c_str(), 255), std::string(253, 'a') + "\x82\xA0");
    EXPECT_EQ(leadingWholeCharacters("\x82", 255), "\x82"); // a lone lead byte at the end
    _setmbcp(previous);
}

} // namespace
