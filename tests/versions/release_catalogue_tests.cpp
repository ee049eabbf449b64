#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr wchar_t kOlderText[] = L"Older than every release";
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::wstring label(double version) {
    wchar_t buffer[64];
    std::wmemset(buffer, L'#', 64);
    GetUserFriendlyFileVersionW(version, buffer, 64);
    return buffer;
}

double group(double version) {
    double result = -1;
    GetFileVersionGroup(version, &result);
    return result;
}

TEST(ReleaseCatalogue, NamesAndGroupsVersionsByRelease) {
    const struct {
        double version;
        const wchar_t* label;
        double group;
    } cases[] = {
        {8.99, L"2026.00", 8.99}, {8.98, L"2025.00", 8.98},      {8.9, L"2020.00", 8.90},
        {8.93, L"2020.00", 8.90}, {8.985, L"2025.00", 8.98},     {8.955, L"2022.00", 8.95},
        {6.31, L"2001.00", 6.31}, {6.62, L"2003.00", 6.62},      {8.28, L"2008.50", 8.28},
        {20.0, L"2026.00", 8.99}, {20.000001, L"2026.00", 8.99}, {1000.0, L"2026.00", 8.99},
        {6.3, kOlderText, 0.0},   {0.0, kOlderText, 0.0},        {-1.0, kOlderText, 0.0},
        {kNaN, kOlderText, 0.0},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(label(row.version), row.label) << row.version;
        EXPECT_EQ(group(row.version), row.group) << row.version;
    }
}

TEST(ReleaseCatalogue, PlausibleVersionsLieAboveZeroUpToTwenty) {
    const struct {
        double version;
        int known;
    } cases[] = {{8.99, 1}, {5.0, 1},  {20.0, 1}, {20.000001, 0},
                 {0.0, 0},  {-1.0, 0}, {kNaN, 0}, {1e-9, 1}};
    for (const auto& row : cases)
        EXPECT_EQ(IsKnownFileVersion(row.version), row.known) << row.version;
    EXPECT_EQ(GetMaxUserFriendlyCompatibleFileVersion(), 8.99);
    // The newest version parses from its text to exactly the catalogue's value.
    EXPECT_EQ(std::stod("8.99"), GetMaxUserFriendlyCompatibleFileVersion());
}

TEST(ReleaseCatalogue, WideLabelsFillTheBufferLikeWcsncpy) {
    wchar_t buffer[16];
    std::wmemset(buffer, L'#', 16);
    GetUserFriendlyFileVersionW(8.99, buffer, 16);
    EXPECT_EQ(std::wstring(buffer, 16), std::wstring(L"2026.00") + std::wstring(9, L'\0'));

    wchar_t shortBuffer[8];
    std::wmemset(shortBuffer, L'#', 8);
    GetUserFriendlyFileVersionW(8.99, shortBuffer, 4);
    EXPECT_STREQ(shortBuffer, L"202");
    EXPECT_EQ(shortBuffer[4], L'#');
}

TEST(ReleaseCatalogue, NarrowLabelsAreCutAndTerminated) {
    char buffer[32];
    GetUserFriendlyFileVersion(8.98, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "2025.00");
    GetUserFriendlyFileVersion(1.0, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Older than every release");
    std::memset(buffer, '#', sizeof buffer);
    GetUserFriendlyFileVersion(8.98, buffer, 5);
    EXPECT_STREQ(buffer, "2025");
    EXPECT_EQ(buffer[5], '#');
}

TEST(ReleaseCatalogue, NullOrEmptyBuffersAreLeftAlone) {
    GetUserFriendlyFileVersionW(8.99, nullptr, 16);
    GetUserFriendlyFileVersion(8.99, nullptr, 16);
    GetFileVersionGroup(8.99, nullptr);
    wchar_t untouched = L'#';
    GetUserFriendlyFileVersionW(8.99, &untouched, 0);
    EXPECT_EQ(untouched, L'#');
}

} // namespace
