// The option prefix, the answer mapping and the balloon text split of the message box.
#include "messages/message_options.h"

#include <mbstring.h>

#include <cstring>

namespace z64::messages {
namespace {

constexpr unsigned int kButtonTypeMask = 0x0F;
constexpr unsigned int kIconMask = 0xF0;
// Any of these bits of the button type makes the caller's pair Yes and No.
constexpr unsigned int kYesNoPairBits = 0x07;
// A balloon title is split off only when fewer bytes than this precede its end.
constexpr size_t kBalloonTitleLimit = 255;

void chooseYesNo(Presentation& p) {
    if (p.kind != kYesToAllTemplate && p.kind != kYesToAllCancelTemplate)
        p.kind = MB_YESNO;
    p.positiveButton = IDYES;
    p.negativeButton = IDNO;
    p.noMark = false;
}

void chooseToAll(Presentation& p) {
    if (p.kind == MB_YESNOCANCEL)
        p.kind = p.noMark ? kNoToAllCancelTemplate : kYesToAllCancelTemplate;
    else if (p.kind == MB_YESNO)
        p.kind = p.noMark ? kNoToAllTemplate : kYesToAllTemplate;
    else
        p.kind = kYesToAllTemplate;
}

void addCancel(Presentation& p) {
    switch (p.kind) {
    case MB_OK:
        p.kind = MB_OKCANCEL;
        if (p.icon == MB_ICONINFORMATION)
            p.icon = MB_ICONEXCLAMATION;
        break;
    case MB_YESNO:
        p.kind = MB_YESNOCANCEL;
        break;
    case kYesToAllTemplate:
        p.kind = kYesToAllCancelTemplate;
        break;
    case kNoToAllTemplate:
        p.kind = kNoToAllCancelTemplate;
        break;
    default:
        break;
    }
}

void chooseOk(Presentation& p) {
    p.kind = MB_OK;
    p.positiveButton = IDOK;
    p.negativeButton = kNoButton;
}

void chooseAbortRetryIgnore(Presentation& p) {
    p.kind = MB_ABORTRETRYIGNORE;
    p.positiveButton = IDRETRY;
    p.negativeButton = IDIGNORE;
}

void chooseRetryCancel(Presentation& p) {
    if (p.kind == MB_ABORTRETRYIGNORE)
        return;
    p.kind = MB_RETRYCANCEL;
    p.positiveButton = IDRETRY;
    p.negativeButton = IDCANCEL;
}

// One letter of the prefix acts on the presentation at once, so their order matters.
void applyOptionLetter(Presentation& p, char letter) {
    const bool abortRetryIgnore = p.kind == MB_ABORTRETRYIGNORE;
    switch (letter) {
    case 'Y':
        p.defaultButton = 1;
        chooseYesNo(p);
        break;
    case 'y':
        chooseYesNo(p);
        break;
    case 'N':
        p.defaultButton = 2;
        p.noMark = true;
        break;
    case 'n':
        p.noMark = true;
        break;
    case '*':
        chooseToAll(p);
        break;
    case 'C':
        p.defaultButton = p.kind == MB_YESNO ? 3 : 2;
        addCancel(p);
        break;
    case 'c':
        addCancel(p);
        break;
    case 'O':
        p.defaultButton = 1;
        chooseOk(p);
        break;
    case 'o':
        chooseOk(p);
        break;
    case 'A':
        p.defaultButton = 1;
        chooseAbortRetryIgnore(p);
        break;
    case 'a':
        chooseAbortRetryIgnore(p);
        break;
    case 'R':
        p.defaultButton = abortRetryIgnore ? 2 : 1;
        chooseRetryCancel(p);
        break;
    case 'r':
        chooseRetryCancel(p);
        break;
    case 'I':
        if (abortRetryIgnore)
            p.defaultButton = 3;
        else
            p.icon = MB_ICONINFORMATION;
        break;
    case 'i':
        if (!abortRetryIgnore)
            p.icon = MB_ICONINFORMATION;
        break;
    case 'E':
    case 'e':
        p.icon = MB_ICONEXCLAMATION;
        break;
    case 'Q':
    case 'q':
        p.icon = MB_ICONQUESTION;
        break;
    case 'S':
    case 's':
        p.icon = MB_ICONSTOP;
        break;
    case '-':
        p.inverted = true;
        break;
    default:
        break;
    }
}

} // namespace

bool isYesNoAllTemplate(int kind) {
    return kind == kYesToAllTemplate || kind == kYesToAllCancelTemplate ||
           kind == kNoToAllTemplate || kind == kNoToAllCancelTemplate;
}

AnswerPair callerAnswers(unsigned int uType) {
    if ((uType & kYesNoPairBits) != 0)
        return {IDYES, IDNO};
    return {IDRETRY, IDCANCEL};
}

ReadMessage readMessage(const char* lpText, unsigned int uType) {
    ReadMessage message;
    const AnswerPair answers = callerAnswers(uType);
    Presentation& p = message.presentation;
    p.icon = (uType & kIconMask) != 0 ? (uType & kIconMask) : MB_ICONQUESTION;
    p.positiveButton = answers.positive;
    p.negativeButton = answers.negative;
    if (lpText == nullptr || lpText[0] != '{') {
        message.text = lpText != nullptr ? lpText : "";
        return message;
    }
    message.hasPrefix = true;
    const char* next = lpText + 1;
    for (; *next != '\0' && *next != '}'; ++next)
        applyOptionLetter(p, *next);
    message.text = *next == '}' ? next + 1 : next;
    return message;
}

int defaultAnswer(const Presentation& presentation, const AnswerPair& answers) {
    return presentation.inverted ? answers.negative : answers.positive;
}

int mapResult(int r, const Presentation& presentation, const AnswerPair& answers) {
    if (r == presentation.positiveButton)
        return defaultAnswer(presentation, answers);
    if (r == presentation.negativeButton)
        return presentation.inverted ? answers.positive : answers.negative;
    return r;
}

Route chooseRoute(const ReadMessage& message, bool mayShow) {
    const int kind = message.presentation.kind;
    if (!message.hasPrefix)
        return mayShow ? Route::Present : Route::CollectAndAnswer;
    if (!mayShow)
        return kind == MB_YESNO || isYesNoAllTemplate(kind) ? Route::Answer
                                                            : Route::CollectAndAnswer;
    return isYesNoAllTemplate(kind) ? Route::YesNoAllDialog : Route::Present;
}

unsigned int presentationStyle(const ReadMessage& message, unsigned int uType) {
    if (!message.hasPrefix)
        return uType;
    const Presentation& p = message.presentation;
    unsigned int style = p.kind == kKindNone ? MB_YESNO : static_cast<unsigned int>(p.kind);
    style |= p.icon;
    if (p.defaultButton == 2)
        style |= MB_DEFBUTTON2;
    else if (p.defaultButton == 3)
        style |= MB_DEFBUTTON3;
    return style;
}

bool takesBalloon(const ReadMessage& message, unsigned int uType) {
    const int kind = message.presentation.kind;
    if (kind == MB_OKCANCEL || kind == MB_YESNO || isYesNoAllTemplate(kind))
        return false;
    return !(kind == kKindNone && (uType & kButtonTypeMask) != 0);
}

WORD standardIconId(unsigned int icon) {
    switch (icon) {
    case MB_ICONSTOP:
        return 32513; // IDI_HAND
    case MB_ICONEXCLAMATION:
        return 32515; // IDI_EXCLAMATION
    case MB_ICONINFORMATION:
        return 32516; // IDI_ASTERISK
    default:
        return 32514; // IDI_QUESTION
    }
}

short yesNoAllDefaultId(int defaultButton) {
    if (defaultButton == 2)
        return IDNO;
    if (defaultButton == 3)
        return IDCANCEL;
    return IDYES;
}

std::string leadingWholeCharacters(const char* source, size_t maxBytes) {
    size_t length = 0;
    while (source[length] != '\0') {
        const size_t step =
            _ismbblead(static_cast<unsigned char>(source[length])) && source[length + 1] != '\0'
                ? 2
                : 1;
        if (length + step > maxBytes)
            break;
        length += step;
    }
    return std::string(source, length);
}

BalloonText splitBalloonText(const char* lpCaption, const char* text) {
    if (lpCaption != nullptr)
        return {lpCaption, text};
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const size_t split = _mbscspn(bytes, reinterpret_cast<const unsigned char*>(".\n"));
    if (text[split] == '\0' || split >= kBalloonTitleLimit)
        return {text, nullptr};
    const unsigned char* body = bytes + split + 1;
    if (*body != '\0' && _ismbcspace(_mbsnextc(body)))
        body = _mbsinc(body);
    return {leadingWholeCharacters(text, split), reinterpret_cast<const char*>(body)};
}

} // namespace z64::messages
