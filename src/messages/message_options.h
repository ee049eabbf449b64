// The pure parts of the message box: the caller's answer pair, the option prefix that a
// message text may start with, the choice of presentation and the mapping of the answer
// shown back onto the caller's pair, and the split of a balloon's text into title and body.
// None of them touches a window or the thread's state, so each is tested on its own.
#pragma once

#include <windows.h>

#include "resources/resource_ids.h"

#include <climits>
#include <string>

namespace z64::messages {

// The yes/no-to-all dialog templates, which are also kinds of presentation.
inline constexpr int kYesToAllTemplate = IDD_YESTOALL;
inline constexpr int kYesToAllCancelTemplate = IDD_YESTOALL_CANCEL;
inline constexpr int kNoToAllTemplate = IDD_NOTOALL;
inline constexpr int kNoToAllCancelTemplate = IDD_NOTOALL_CANCEL;
// A kind that no letter chose: the caller's uType stands (or Yes/No for a prefixed text).
inline constexpr int kKindNone = -1;
// The negative button of an OK box: a value that no box, dialog or failure can return, so
// that it never matches a result (a failed dialog's -1 reaches the caller as it is).
inline constexpr int kNoButton = INT_MIN;

[[nodiscard]] bool isYesNoAllTemplate(int kind);

// The answers the caller's uType understands: A for the positive and B for the negative.
struct AnswerPair {
    int positive;
    int negative;
};
[[nodiscard]] AnswerPair callerAnswers(unsigned int uType);

// What the option prefix chose.
struct Presentation {
    int kind = kKindNone; // kKindNone, an MB_ button type or a dialog template
    int defaultButton = 1;
    bool noMark = false;
    unsigned int icon = MB_ICONQUESTION;
    int positiveButton = IDYES;
    int negativeButton = IDNO;
    bool inverted = false;
};

struct ReadMessage {
    bool hasPrefix = false;
    Presentation presentation;
    const char* text = ""; // the message text: what follows the prefix
};
// Reads the option prefix of lpText; a null text is the empty text without a prefix.
[[nodiscard]] ReadMessage readMessage(const char* lpText, unsigned int uType);

[[nodiscard]] int defaultAnswer(const Presentation& presentation, const AnswerPair& answers);
// The answer the caller gets for the result r of the box or dialog shown.
[[nodiscard]] int mapResult(int r, const Presentation& presentation, const AnswerPair& answers);

// What QVMessageBox does with a message.
enum class Route {
    CollectAndAnswer, // collect the text into the error list, answer by default
    Answer,           // answer by default, collect nothing
    YesNoAllDialog,   // show the kind's dialog template
    Present,          // balloon, silent log or MessageBoxA, with presentationStyle()
};
[[nodiscard]] Route chooseRoute(const ReadMessage& message, bool mayShow);
// The MessageBoxA style of a presented message.
[[nodiscard]] unsigned int presentationStyle(const ReadMessage& message, unsigned int uType);
// Whether a presented message becomes a balloon while the thread's balloon mode is on.
[[nodiscard]] bool takesBalloon(const ReadMessage& message, unsigned int uType);
// The standard icon (IDI_HAND, ...) for the icon bits.
[[nodiscard]] WORD standardIconId(unsigned int icon);
// The IDYES, IDNO or IDCANCEL button that is default for a default button 1, 2 or 3.
[[nodiscard]] short yesNoAllDefaultId(int defaultButton);

// Copies at most maxBytes bytes of source into a text, ending before a double-byte
// character that would not fit whole.
[[nodiscard]] std::string leadingWholeCharacters(const char* source, size_t maxBytes);

struct BalloonText {
    std::string title;
    const char* body = nullptr; // null: no body
};
// A caption makes the title; otherwise the text is split at its first "." or line feed.
[[nodiscard]] BalloonText splitBalloonText(const char* lpCaption, const char* text);

} // namespace z64::messages
