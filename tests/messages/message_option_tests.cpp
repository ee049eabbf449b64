// The pure parts of the message box that no shown box reveals on its own: letters of the
// option prefix in each kind that reads them differently, the caller's answer pair with
// its default answer, and the balloon text cut that never splits a character.
#include "messages/message_options.h"

#include <gtest/gtest.h>

#include <mbctype.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace z64::messages;

constexpr int kNone = kKindNone;
constexpr UINT kQ = MB_ICONQUESTION, kE = MB_ICONEXCLAMATION, kI = MB_ICONINFORMATION,
               kS = MB_ICONSTOP;

// The examples a user sees are the rows of the shown-box table; these are the other letters.
TEST(MessageOptionPrefix, ReadsEachLetterInItsKind) {
    // clang-format off
    const struct { const char* text; UINT uType, icon; int kind, defaultButton; bool inverted; } rows[] = {
        {"{Yc*}Go", MB_YESNO, kQ, 1338, 1, false},
        {"{yN*}Go", MB_YESNO, kQ, 1539, 2, false},
        {"{yn*}Go", MB_YESNO, kQ, 1539, 1, false},
        {"{YN**}Go", MB_YESNO, kQ, 1537, 2, false},
        {"{No}Go", MB_YESNO, kQ, MB_OK, 2, false},
        {"{OC}Go", MB_YESNO, kQ, MB_OKCANCEL, 2, false},
        {"{C}Go", MB_YESNO, kQ, kNone, 2, false},
        {"{c}Go", MB_YESNO, kQ, kNone, 1, false},
        {"{Ac}Go", MB_YESNO, kQ, MB_ABORTRETRYIGNORE, 1, false},
        {"{Na}Go", MB_YESNO, kQ, MB_ABORTRETRYIGNORE, 2, false},
        {"{Ar}Go", MB_YESNO, kQ, MB_ABORTRETRYIGNORE, 1, false},
        {"{Nr}Go", MB_YESNO, kQ, MB_RETRYCANCEL, 2, false},
        {"{i}Go", MB_YESNO, kI, kNone, 1, false},
        {"{e}Go", MB_OK, kE, kNone, 1, false},
        {"{Q}Go", MB_OK | kS, kQ, kNone, 1, false},
        {"{q}Go", MB_OK | kS, kQ, kNone, 1, false},
        {"{s}Go", MB_YESNO, kS, kNone, 1, false},
        {"{Y}Go", MB_YESNO | kS, kS, MB_YESNO, 1, false}, // the icon of uType stays
        {"{--}Go", MB_YESNO, kQ, kNone, 1, true},
        {"{xZ9 }Go", MB_YESNO, kQ, kNone, 1, false},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const ReadMessage read = readMessage(row.text, row.uType);
        const Presentation& shown = read.presentation;
        EXPECT_EQ(std::tuple(read.hasPrefix, shown.kind, shown.defaultButton, shown.icon,
                             shown.inverted, std::string(read.text)),
                  std::tuple(true, row.kind, row.defaultButton, row.icon, row.inverted,
                             std::string("Go")));
    }
}

// The answers returned without a box, and the failed dialog's -1 that reaches the caller.
TEST(MessageAnswers, CallerPairAndDefaultForEveryButtonType) {
    // clang-format off
    const struct { const char* label; UINT uType; int a, b; } rows[] = {
        {"MB_OK", MB_OK, IDRETRY, IDCANCEL},
        {"MB_OKCANCEL", MB_OKCANCEL, IDYES, IDNO},
        {"MB_ABORTRETRYIGNORE", MB_ABORTRETRYIGNORE, IDYES, IDNO},
        {"MB_YESNOCANCEL", MB_YESNOCANCEL, IDYES, IDNO},
        {"MB_YESNO", MB_YESNO | MB_ICONSTOP, IDYES, IDNO},
        {"MB_RETRYCANCEL", MB_RETRYCANCEL, IDYES, IDNO},
        {"MB_CANCELTRYCONTINUE", MB_CANCELTRYCONTINUE, IDYES, IDNO},
        {"type 8", 8, IDRETRY, IDCANCEL},
    };
    // clang-format on
    const auto read = [](const char* text, UINT uType) {
        return readMessage(text, uType).presentation;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const AnswerPair answers = callerAnswers(row.uType);
        // The pair, the defaults of "{Y}", "{-Y}" and a plain text, and a failed box's -1.
        EXPECT_EQ((std::vector{answers.positive, answers.negative,
                               defaultAnswer(read("{Y}", row.uType), answers),
                               defaultAnswer(read("{-Y}", row.uType), answers),
                               defaultAnswer(read("plain", row.uType), answers),
                               mapResult(-1, read("{O}", row.uType), answers),
                               mapResult(-1, read("{Y*}", row.uType), answers)}),
                  (std::vector{row.a, row.b, row.a, row.b, row.a, -1, -1}));
    }
}

TEST(BalloonText, NeverSplitsADoubleByteCharacter) {
    const int previous = _getmbcp();
    ASSERT_EQ(_setmbcp(932), 0);
    const std::string text = std::string(253, 'a') + "\x82\xA0" + "b"; // one character of 932
    EXPECT_EQ(leadingWholeCharacters(text.c_str(), 254), std::string(253, 'a'));
    EXPECT_EQ(leadingWholeCharacters(text.c_str(), 255), std::string(253, 'a') + "\x82\xA0");
    EXPECT_EQ(leadingWholeCharacters("\x82", 255), "\x82"); // a lone lead byte at the end
    _setmbcp(previous);
}

} // namespace
