#include <x64Quorpb32.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>

namespace {

constexpr char kStamp[] = "20230315143005";

// Sets the user's time items through the base library's regional overrides.
class ModificationTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        QVSetLocaleOverrideA(LOCALE_S1159, "AM");
        QVSetLocaleOverrideA(LOCALE_S2359, "PM");
        QVSetLocaleOverrideA(LOCALE_STIME, ":");
    }
    void TearDown() override { QVClearLocaleOverrides(); }

    static std::string timeText(const char* picture, const char* stamp = kStamp, size_t size = 64) {
        QVSetLocaleOverrideA(LOCALE_STIMEFORMAT, picture);
        char text[256];
        std::memset(text, 'x', sizeof text);
        TimeOfModification(stamp, text, size);
        return text;
    }

    // A date text from a function that fills a buffer of 255 characters.
    static std::string dateText(void (*function)(const char*, char*), const char* stamp) {
        char text[255];
        std::memset(text, 'x', sizeof text);
        function(stamp, text);
        return text;
    }
    static std::tuple<int, int, int> dateFields(const char* stamp) {
        int day = -1, month = -1, year = -1;
        DateOfModificationInt(stamp, &day, &month, &year);
        return {day, month, year};
    }
    static std::string systemDate(DWORD flags, WORD year, WORD month, WORD day) {
        const SYSTEMTIME date = {year, month, 0, day, 0, 0, 0, 0};
        char text[255] = {};
        GetDateFormatA(GetUserDefaultLCID(), flags, &date, nullptr, text, sizeof text);
        return text;
    }
};

// Pictures of the user locale, with its designator and separator, into a buffer of `size`.
TEST_F(ModificationTextTest, TimePicturesOfTheUserLocale) {
    struct Case {
        const char* picture;
        const char* stamp;
        const char* expected;
        size_t size = 64;
        const char* morning = "AM";
        const char* separator = ":";
    };
    // clang-format off
    const Case cases[] = {
        {"h:mm:ss tt", kStamp, "2:30:05 PM"},
        {"HH:mm:ss", kStamp, "14:30:05"},
        {"H.mm 'Uhr'", kStamp, "14.30 Uhr"},
        {"tt hh:mm", kStamp, "PM 02:30"},
        {"H:m:s", "20230315090507", "9:5:7"},
        {"h tt", "20230315000000", "12 AM"},
        {"h tt", "20230315120000", "12 PM"},
        {"h tt", "20230315230000", "11 PM"},
        {"hh t", "20230315010000", "01 AM"},
        {"''H", kStamp, "14"},
        {"'a''b'", kStamp, "ab"},
        {"'open H", kStamp, "open H"},
        {"HHH:mmmm", kStamp, "14:30"},
        {"H-5", "20230315-50000", "-5"},
        // A negative hour yields nothing; the colon after it still prints, and a second h is
        // still the first of its run.
        {"H:mm", "20230315-50700", ":07"},
        {"Hh", "20230315-50700", ""},
        // Designators pad to two with "tt".
        {"tt|H", "20230315080000", " a|8", 64, "a"},
        {"t|H", "20230315080000", "a|8", 64, "a"},
        // Only a one-character separator is taken; a longer one prints as it stands.
        {"H.mm", kStamp, "14.30", 64, "AM", "."},
        {"H::mm", kStamp, "14::30", 64, "AM", "::"},
        // Text that does not fit leaves the buffer empty.
        {"HH:mm:ss", kStamp, "", 4},
        {"HH:mm:ss", kStamp, "14:30:05", 9},
        {"HH:mm:ss", kStamp, "", 8},
    };
    // clang-format on
    for (const Case& row : cases) {
        QVSetLocaleOverrideA(LOCALE_S1159, row.morning);
        QVSetLocaleOverrideA(LOCALE_STIME, row.separator);
        EXPECT_EQ(timeText(row.picture, row.stamp, row.size), row.expected)
            << row.picture << " " << row.stamp << " in " << row.size;
    }
}

TEST_F(ModificationTextTest, ThirteenCharactersAreNoStamp) {
    constexpr char kShort[] = "2023031514300";
    EXPECT_EQ(dateFields(kShort), std::make_tuple(0, 0, 0));
    EXPECT_EQ(dateFields(nullptr), std::make_tuple(0, 0, 0));
    EXPECT_EQ(timeText("HH:mm", kShort), "");
    EXPECT_EQ(dateText(ShortDateOfModification, kShort), "");
    EXPECT_EQ(dateText(DateOfModification, kShort), "");
}

TEST_F(ModificationTextTest, FieldsReadAsNumbers) {
    EXPECT_EQ(dateFields(kStamp), std::make_tuple(15, 3, 2023));
    const auto [day, month, year] = dateFields("2023x1A5143005");
    EXPECT_EQ(std::make_pair(day, month), std::make_pair(0, 0)) << year;
}

TEST_F(ModificationTextTest, ShortDateOfTheUserLocale) {
    EXPECT_EQ(dateText(ShortDateOfModification, kStamp), systemDate(DATE_SHORTDATE, 2023, 3, 15));
    EXPECT_EQ(dateText(ShortDateOfModification, "20231315143005"), "");
}

TEST_F(ModificationTextTest, LongDateDropsALeadingWeekday) {
    const std::string whole = systemDate(DATE_LONGDATE, 2023, 3, 15);
    const std::string withoutWeekday = whole.substr(whole.find(' ') + 1);
    const struct {
        const char* picture;
        const char* stamp;
        std::string expected;
    } cases[] = {
        {"dddd, MMMM d, yyyy", kStamp, withoutWeekday},
        {"ddd d MMMM", kStamp, withoutWeekday},
        {"d MMMM yyyy", kStamp, whole},
        // The time fields play no part in the date.
        {"dddd d MMMM", "20230315x43005", withoutWeekday},
        {"dddd d MMMM", "20231315143005", ""},
    };
    for (const auto& row : cases) {
        QVSetLocaleOverrideA(LOCALE_SLONGDATE, row.picture);
        EXPECT_EQ(dateText(DateOfModification, row.stamp), row.expected)
            << row.picture << " " << row.stamp;
    }
}

} // namespace
