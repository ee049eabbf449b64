#include <x64Quorpb32.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

    static std::string systemDate(DWORD flags, WORD year, WORD month, WORD day) {
        SYSTEMTIME date{};
        date.wYear = year;
        date.wMonth = month;
        date.wDay = day;
        char text[255] = {};
        GetDateFormatA(GetUserDefaultLCID(), flags, &date, nullptr, text, sizeof text);
        return text;
    }
};

TEST_F(ModificationTextTest, TimePicturesOfTheUserLocale) {
    const struct {
        const char* picture;
        const char* stamp;
        const char* expected;
    } cases[] = {
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
    };
    for (const auto& row : cases)
        EXPECT_EQ(timeText(row.picture, row.stamp), row.expected)
            << row.picture << " " << row.stamp;
}

TEST_F(ModificationTextTest, NegativeFieldsYieldNothingAndKeepThePreviousLetter) {
    // Hour "-5": H yields nothing and the colon after it still prints; the minute prints.
    EXPECT_EQ(timeText("H:mm", "20230315-50700"), ":07");
    // "hh" after a skipped h: the second h is still the first of its run.
    EXPECT_EQ(timeText("Hh", "20230315-50700"), "");
}

TEST_F(ModificationTextTest, DesignatorsPadToTwoWithDoubleT) {
    QVSetLocaleOverrideA(LOCALE_S1159, "a");
    EXPECT_EQ(timeText("tt|H", "20230315080000"), " a|8");
    EXPECT_EQ(timeText("t|H", "20230315080000"), "a|8");
}

TEST_F(ModificationTextTest, OnlyAOneCharacterSeparatorIsTaken) {
    QVSetLocaleOverrideA(LOCALE_STIME, ".");
    EXPECT_EQ(timeText("H.mm"), "14.30");
    // A longer separator does not fit the two-byte buffer: its characters print as they are.
    QVSetLocaleOverrideA(LOCALE_STIME, "::");
    EXPECT_EQ(timeText("H::mm"), "14::30");
}

TEST_F(ModificationTextTest, TextThatDoesNotFitLeavesTheBufferEmpty) {
    EXPECT_EQ(timeText("HH:mm:ss", kStamp, 4), "");
    EXPECT_EQ(timeText("HH:mm:ss", kStamp, 9), "14:30:05");
    EXPECT_EQ(timeText("HH:mm:ss", kStamp, 8), "");
}

TEST_F(ModificationTextTest, ThirteenCharactersAreNoStamp) {
    constexpr char kShort[] = "2023031514300";
    int day = -1, month = -1, year = -1;
    DateOfModificationInt(kShort, &day, &month, &year);
    EXPECT_EQ(day, 0);
    EXPECT_EQ(month, 0);
    EXPECT_EQ(year, 0);
    EXPECT_EQ(timeText("HH:mm", kShort), "");

    char text[255];
    std::memset(text, 'x', sizeof text);
    ShortDateOfModification(kShort, text);
    EXPECT_STREQ(text, "");
    std::memset(text, 'x', sizeof text);
    DateOfModification(kShort, text);
    EXPECT_STREQ(text, "");
    DateOfModificationInt(nullptr, &day, &month, &year);
    EXPECT_EQ(year, 0);
}

TEST_F(ModificationTextTest, FieldsReadAsNumbers) {
    int day = 0, month = 0, year = 0;
    DateOfModificationInt(kStamp, &day, &month, &year);
    EXPECT_EQ(day, 15);
    EXPECT_EQ(month, 3);
    EXPECT_EQ(year, 2023);
    DateOfModificationInt("2023x1A5143005", &day, &month, &year);
    EXPECT_EQ(month, 0);
    EXPECT_EQ(day, 0);
}

TEST_F(ModificationTextTest, ShortDateOfTheUserLocale) {
    char text[255];
    ShortDateOfModification(kStamp, text);
    EXPECT_EQ(std::string(text), systemDate(DATE_SHORTDATE, 2023, 3, 15));
    ShortDateOfModification("20231315143005", text);
    EXPECT_STREQ(text, "");
}

TEST_F(ModificationTextTest, LongDateDropsALeadingWeekday) {
    const std::string whole = systemDate(DATE_LONGDATE, 2023, 3, 15);
    char text[255];

    QVSetLocaleOverrideA(LOCALE_SLONGDATE, "dddd, MMMM d, yyyy");
    DateOfModification(kStamp, text);
    EXPECT_EQ(std::string(text), whole.substr(whole.find(' ') + 1));

    QVSetLocaleOverrideA(LOCALE_SLONGDATE, "ddd d MMMM");
    DateOfModification(kStamp, text);
    EXPECT_EQ(std::string(text), whole.substr(whole.find(' ') + 1));

    QVSetLocaleOverrideA(LOCALE_SLONGDATE, "d MMMM yyyy");
    DateOfModification(kStamp, text);
    EXPECT_EQ(std::string(text), whole);

    // The time fields play no part in the date.
    QVSetLocaleOverrideA(LOCALE_SLONGDATE, "dddd d MMMM");
    DateOfModification("20230315x43005", text);
    EXPECT_EQ(std::string(text), whole.substr(whole.find(' ') + 1));
    DateOfModification("20231315143005", text);
    EXPECT_STREQ(text, "");
}

} // namespace
