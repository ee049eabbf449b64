#include <x64Quorpb32.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string systemValue(LCID locale, LCTYPE type) {
    char buffer[256] = {};
    GetLocaleInfoA(locale, type, buffer, sizeof buffer);
    return buffer;
}

std::string baseValue(LCID locale, LCTYPE type) {
    char buffer[256] = {};
    QVGetLocaleInfoA(locale, type, buffer, sizeof buffer);
    return buffer;
}

class LocaleInfoTest : public ::testing::Test {
protected:
    void TearDown() override { QVClearLocaleOverrides(); }
};

TEST_F(LocaleInfoTest, WithoutOverridesAnswersAsThePlatform) {
    for (const LCTYPE type : {LOCALE_STIMEFORMAT, LOCALE_STIME, LOCALE_SLONGDATE, LOCALE_S1159,
                              LOCALE_S2359, LOCALE_SSHORTDATE}) {
        EXPECT_EQ(baseValue(LOCALE_USER_DEFAULT, type), systemValue(LOCALE_USER_DEFAULT, type))
            << type;
    }
}

TEST_F(LocaleInfoTest, OverridesOfTheUserLocaleWin) {
    ASSERT_TRUE(QVSetLocaleOverrideA(LOCALE_STIMEFORMAT, "hh'h'mm tt"));
    ASSERT_TRUE(QVSetLocaleOverrideA(LOCALE_STIME, "."));
    EXPECT_EQ(baseValue(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT), "hh'h'mm tt");
    EXPECT_EQ(baseValue(GetUserDefaultLCID(), LOCALE_STIME), ".");
    // The flags that ask for the locale's own data bypass the application's values.
    EXPECT_EQ(baseValue(LOCALE_USER_DEFAULT, LOCALE_STIME | LOCALE_NOUSEROVERRIDE),
              systemValue(LOCALE_USER_DEFAULT, LOCALE_STIME | LOCALE_NOUSEROVERRIDE));
    EXPECT_EQ(baseValue(LOCALE_USER_DEFAULT, LOCALE_STIME | LOCALE_USE_CP_ACP), ".");

    ASSERT_TRUE(QVSetLocaleOverrideA(LOCALE_STIME, nullptr));
    EXPECT_EQ(baseValue(LOCALE_USER_DEFAULT, LOCALE_STIME),
              systemValue(LOCALE_USER_DEFAULT, LOCALE_STIME));
    EXPECT_EQ(baseValue(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT), "hh'h'mm tt");
    // Other locales keep their own values.
    const LCID other = GetUserDefaultLCID() == 0x0407 ? 0x0409 : 0x0407;
    EXPECT_EQ(baseValue(other, LOCALE_STIMEFORMAT), systemValue(other, LOCALE_STIMEFORMAT));
}

TEST_F(LocaleInfoTest, OverridesFollowTheSizeRulesOfTheSystemCallAndCarryNoFlags) {
    ASSERT_TRUE(QVSetLocaleOverrideA(LOCALE_STIMEFORMAT, "HH:mm"));
    EXPECT_EQ(QVGetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, nullptr, 0), 6);

    char exact[6];
    EXPECT_EQ(QVGetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, exact, sizeof exact), 6);
    EXPECT_STREQ(exact, "HH:mm");

    char tooSmall[5] = "abcd";
    SetLastError(0);
    EXPECT_EQ(QVGetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, tooSmall, sizeof tooSmall),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    SetLastError(0);
    EXPECT_EQ(QVGetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, nullptr, 10), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(QVSetLocaleOverrideA(LOCALE_STIME | LOCALE_NOUSEROVERRIDE, "."));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
}

} // namespace
