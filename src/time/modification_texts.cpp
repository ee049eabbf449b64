// Modification stamps (14 characters, YYYYMMDDhhmmss) as numbers and as the user's date
// and time texts.
#include "integration/integration.h"

#include <z64eveze.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t kStampLength = 14;
constexpr int kDateTextSize = 255;
constexpr int kLongDatePictureSize = 100;
constexpr int kTimePictureSize = 80;
constexpr int kSeparatorSize = 2;
constexpr int kDesignatorSize = 9;
constexpr size_t kPieceLimit = 127;
constexpr size_t kTimeTextLimit = 255;

struct StampField {
    size_t offset;
    size_t length;
};
constexpr StampField kYear = {0, 4}, kMonth = {4, 2}, kDay = {6, 2};
constexpr StampField kHour = {8, 2}, kMinute = {10, 2}, kSecond = {12, 2};

bool isStamp(const char* stamp) {
    return stamp && std::strlen(stamp) == kStampLength;
}

// Each field is read with atoi from a copy of just its characters.
int readField(const char* stamp, StampField field) {
    char copy[8] = {};
    std::memcpy(copy, stamp + field.offset, field.length);
    return std::atoi(copy);
}

SYSTEMTIME dateOf(const char* stamp) {
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(readField(stamp, kYear));
    date.wMonth = static_cast<WORD>(readField(stamp, kMonth));
    date.wDay = static_cast<WORD>(readField(stamp, kDay));
    return date;
}

// A locale item through the base library; a failed look-up leaves the buffer empty.
void fetchLocaleItem(LCID locale, LCTYPE type, char* buffer, int size) {
    std::memset(buffer, 0, size);
    if (z64::integration::getLocaleInfo(locale, type, buffer, size) == 0)
        std::memset(buffer, 0, size);
}

// The date text of a stamp with the given GetDateFormatA flags, or "" when it fails.
std::string formatDate(const char* stamp, DWORD flags) {
    if (!isStamp(stamp))
        return {};
    const SYSTEMTIME date = dateOf(stamp);
    char text[kDateTextSize] = {};
    if (!GetDateFormatA(GetUserDefaultLCID(), flags, &date, nullptr, text, kDateTextSize))
        return {};
    return text;
}

void copyText(const std::string& source, char* text) {
    if (text)
        std::memcpy(text, source.c_str(), source.size() + 1);
}

bool beginsWithWeekday(const char* picture) {
    return std::strncmp(picture, "ddd", 3) == 0;
}

// Interprets the user's time picture for one time of day, letter by letter.
class TimePicture {
public:
    TimePicture(int hour, int minute, int second) : hour_(hour), minute_(minute), second_(second) {
        fetchLocaleItem(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, picture_, kTimePictureSize);
        fetchLocaleItem(LOCALE_USER_DEFAULT, LOCALE_STIME, separator_, kSeparatorSize);
    }

    std::string text() {
        for (size_t index = 0; picture_[index] != '\0'; ++index)
            interpret(index);
        return result_;
    }

private:
    void interpret(size_t index) {
        const char current = picture_[index];
        const char next = picture_[index + 1];
        if (current == '\'') {
            interpretQuote(index);
        } else if (inQuote_) {
            return; // copied when the quote opened; not recorded as previous
        } else if (isNumberLetter(current)) {
            const int value = valueOf(current);
            if (value < 0)
                return; // yields nothing and leaves the previous character
            if (previous_ != current)
                append(formatNumber(value, next == current));
        } else if (current == 't') {
            if (previous_ != current)
                append(formatDesignator(next == current));
        } else if (separator_[0] != '\0' && current == separator_[0]) {
            append(separator_);
        } else {
            append(std::string(1, current));
        }
        previous_ = current;
    }

    void interpretQuote(size_t index) {
        if (previous_ == '\'') {
            inQuote_ = false;
            return;
        }
        inQuote_ = true;
        const char* quoted = picture_ + index + 1;
        const char* closing = std::strchr(quoted, '\'');
        append(closing ? std::string(quoted, closing) : std::string(quoted));
    }

    static bool isNumberLetter(char letter) {
        return letter == 'h' || letter == 'H' || letter == 'm' || letter == 's';
    }

    int valueOf(char letter) const {
        switch (letter) {
        case 'h':
            return twelveHourClock(hour_);
        case 'H':
            return hour_;
        case 'm':
            return minute_;
        default:
            return second_;
        }
    }

    static int twelveHourClock(int hour) {
        if (hour == 0 || hour == 12)
            return 12;
        return hour > 12 && hour <= 23 ? hour - 12 : hour;
    }

    static std::string formatNumber(int value, bool twoDigits) {
        char piece[16];
        std::snprintf(piece, sizeof piece, twoDigits ? "%02d" : "%d", value);
        return piece;
    }

    std::string formatDesignator(bool padToTwo) const {
        char designator[kDesignatorSize];
        fetchLocaleItem(LOCALE_USER_DEFAULT, hour_ < 12 ? LOCALE_S1159 : LOCALE_S2359, designator,
                        kDesignatorSize);
        char piece[kPieceLimit + 1];
        std::snprintf(piece, sizeof piece, padToTwo ? "%2s" : "%1s", designator);
        return piece;
    }

    void append(const std::string& piece) {
        const size_t room = kTimeTextLimit - result_.size();
        result_.append(piece, 0, std::min({piece.size(), kPieceLimit, room}));
    }

    int hour_, minute_, second_;
    char picture_[kTimePictureSize];
    char separator_[kSeparatorSize];
    char previous_ = ' ';
    bool inQuote_ = false;
    std::string result_;
};

} // namespace

Z64EVEZE_C_API void DateOfModificationInt(const char* stamp, int* day, int* month, int* year) {
    const bool valid = isStamp(stamp);
    if (day)
        *day = valid ? readField(stamp, kDay) : 0;
    if (month)
        *month = valid ? readField(stamp, kMonth) : 0;
    if (year)
        *year = valid ? readField(stamp, kYear) : 0;
}

Z64EVEZE_C_API void ShortDateOfModification(const char* stamp, char* text) {
    copyText(formatDate(stamp, DATE_SHORTDATE), text);
}

Z64EVEZE_C_API void DateOfModification(const char* stamp, char* text) {
    char picture[kLongDatePictureSize];
    fetchLocaleItem(GetUserDefaultLCID(), LOCALE_SLONGDATE, picture, kLongDatePictureSize);
    std::string date = formatDate(stamp, DATE_LONGDATE);
    if (beginsWithWeekday(picture)) {
        // The weekday's name goes, with whatever follows it up to the first space.
        const size_t space = date.find(' ');
        if (space != std::string::npos)
            date.erase(0, space + 1);
    }
    copyText(date, text);
}

Z64EVEZE_C_API void TimeOfModification(const char* stamp, char* text, size_t textSize) {
    if (!text || textSize == 0)
        return;
    text[0] = '\0';
    if (!isStamp(stamp))
        return;
    TimePicture picture(readField(stamp, kHour), readField(stamp, kMinute),
                        readField(stamp, kSecond));
    const std::string result = picture.text();
    // _sprintf_s_l would call the invalid-parameter handler for a text that does not fit;
    // such a text leaves the buffer empty instead.
    if (result.size() < textSize)
        _sprintf_s_l(text, textSize, "%s", z64::integration::libraryLocale(), result.c_str());
}
