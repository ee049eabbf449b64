#include "test_support.h"

#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

namespace {

constexpr ULONGLONG kEmptyDate = 0x014F35A9A90CC000ULL;
constexpr ULONGLONG kLatestDate = 0x7FFF352BC602C000ULL;
constexpr __int64 kTicksPerDay = 864000000000LL;
constexpr SYSTEMTIME kNoon = {2023, 3, 3, 15, 12, 0, 0, 0}; // the variant time 45000.5

using test_support::fileTimeOf;
using test_support::ticksOf;

TEST(TimeConstants, LatestDateAndEmptyVariantTime) {
    FILETIME latest{};
    MaxFileTime(&latest);
    EXPECT_EQ(ticksOf(latest), kLatestDate);
    MaxFileTime(nullptr);

    double variant = 0;
    SetEmptyVariantTime(&variant);
    EXPECT_EQ(variant, 61.0);
    SetEmptyVariantTime(nullptr);
}

TEST(FileTimeToVariantTime, NoDateGivesTheEmptyVariantTime) {
    for (const ULONGLONG ticks : {0ULL, kEmptyDate}) {
        FILETIME time = fileTimeOf(ticks);
        double variant = 0;
        EXPECT_EQ(FileTimeToVariantTime(&time, &variant), 1);
        EXPECT_EQ(variant, 61.0);
    }
}

TEST(FileTimeToVariantTime, ConvertsRealDatesAndRefusesNullPointers) {
    FILETIME time{};
    ASSERT_TRUE(SystemTimeToFileTime(&kNoon, &time));
    double variant = 0;
    EXPECT_NE(FileTimeToVariantTime(&time, &variant), 0);
    EXPECT_DOUBLE_EQ(variant, 45000.5);
    EXPECT_EQ(FileTimeToVariantTime(nullptr, &variant), 0);
    EXPECT_EQ(FileTimeToVariantTime(&time, nullptr), 0);
    // A FILETIME with the top bit set is no time at all.
    FILETIME impossible = fileTimeOf(0x8000000000000000ULL);
    EXPECT_EQ(FileTimeToVariantTime(&impossible, &variant), 0);
}

TEST(VariantTimeToFileTime, HasNoSpecialCaseForTheEmptyVariantTime) {
    FILETIME time{};
    ASSERT_NE(VariantTimeToFileTime(61.0, &time), 0);
    SYSTEMTIME march{};
    ASSERT_TRUE(FileTimeToSystemTime(&time, &march));
    EXPECT_EQ(std::make_tuple(march.wYear, march.wMonth, march.wDay), std::make_tuple(1900, 3, 1));

    ASSERT_NE(VariantTimeToFileTime(0.0, &time), 0);
    EXPECT_EQ(ticksOf(time), kEmptyDate);

    EXPECT_EQ(VariantTimeToFileTime(45000.5, nullptr), 0);
    EXPECT_EQ(VariantTimeToFileTime(1e12, &time), 0);
}

TEST(PropvariantToFiletime, CopiesFileTimesOnly) {
    PROPVARIANT value{};
    value.vt = VT_FILETIME;
    value.filetime = fileTimeOf(0x01D9574F12345678ULL);
    FILETIME time{};
    PropvariantToFiletime(&time, &value);
    EXPECT_EQ(ticksOf(time), 0x01D9574F12345678ULL);

    for (const VARTYPE other : {VT_EMPTY, VT_DATE, VT_I8, VT_LPSTR}) {
        PROPVARIANT notATime{};
        notATime.vt = other;
        time = fileTimeOf(12345);
        PropvariantToFiletime(&time, &notATime);
        EXPECT_EQ(ticksOf(time), kEmptyDate) << other;
    }
}

TEST(DateTimeAdd, MovesBySignedStepsAndWraps) {
    const struct {
        const char* label;
        ULONGLONG start;
        __int64 ticks;
        long count;
        ULONGLONG expected;
    } cases[] = {
        {"one day back", kEmptyDate, kTicksPerDay, -1, kEmptyDate - kTicksPerDay},
        {"three seconds on", 0, 10000000, 3, 30000000},
        {"negative step, negative count", 100, -10, -5, 150},
        {"wraps past the top", 0xFFFFFFFFFFFFFFFFULL, 1, 2, 1},
        {"zero count", 777, kTicksPerDay, 0, 777},
    };
    for (const auto& row : cases) {
        FILETIME time = fileTimeOf(row.start);
        EXPECT_EQ(DateTimeAdd(row.ticks, row.count, &time), &time) << row.label;
        EXPECT_EQ(ticksOf(time), row.expected) << row.label;
    }
    EXPECT_EQ(DateTimeAdd(kTicksPerDay, 1, nullptr), nullptr);
}

TEST(DebugGetDateTimeString, FileTimeGivesTheEmptyText) {
    FILETIME time = fileTimeOf(kLatestDate);
    EXPECT_STREQ(DebugGetDateTimeString(&time), "");
    EXPECT_STREQ(DebugGetDateTimeString(static_cast<FILETIME*>(nullptr)), "");
}

TEST(DebugGetDateTimeString, FormatsTheUserLongDateAndTime) {
    char dateFormat[128], timeFormat[128], date[128], time[128];
    GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SLONGDATE, dateFormat, sizeof dateFormat);
    GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_STIMEFORMAT, timeFormat, sizeof timeFormat);
    GetDateFormatA(GetUserDefaultLCID(), 0, &kNoon, dateFormat, date, sizeof date);
    GetTimeFormatA(GetUserDefaultLCID(), 0, &kNoon, timeFormat, time, sizeof time);

    EXPECT_EQ(std::string(DebugGetDateTimeString(45000.5)), std::string(date) + " " + time);
    // An impossible time leaves at least the single space.
    EXPECT_EQ(std::string(DebugGetDateTimeString(-1e9)).find(' ') != std::string::npos, true);
}

TEST(DebugGetDateTimeString, StaysTerminatedWhileThreadsShareIt) {
    auto hammer = [](LPVOID) -> DWORD {
        for (int index = 0; index < 2000; ++index) {
            const char* text = DebugGetDateTimeString(40000.0 + index);
            if (strnlen(text, 128) >= 128)
                return 1;
        }
        return 0;
    };
    HANDLE threads[4];
    for (HANDLE& thread : threads)
        thread = CreateThread(nullptr, 0, hammer, nullptr, 0, nullptr);
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) {
        DWORD code = 1;
        EXPECT_TRUE(GetExitCodeThread(thread, &code) && code == 0);
        CloseHandle(thread);
    }
}

class QVGetFileTimeTest : public ::testing::Test {
protected:
    test_support::TemporaryDirectory folder_;
};

TEST_F(QVGetFileTimeTest, ReadsTheThreeStamps) {
    const std::wstring path = folder_.file(L"stamped.txt");
    test_support::writeFile(path, "x");
    const FILETIME written = fileTimeOf(0x01D9574F00000000ULL);
    {
        support::UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file && SetFileTime(file.get(), &written, &written, &written));
    }
    FILETIME creation{}, access{}, write{};
    EXPECT_NE(QVGetFileTime(folder_.narrowFile(L"stamped.txt").c_str(), &creation, &access, &write),
              0);
    EXPECT_EQ(ticksOf(write), ticksOf(written));
    EXPECT_EQ(ticksOf(creation), ticksOf(written));
    // Every out pointer may be null; a missing file or a null path fails.
    EXPECT_NE(QVGetFileTime(folder_.narrowFile(L"stamped.txt").c_str(), nullptr, nullptr, &write),
              0);
    EXPECT_EQ(QVGetFileTime(folder_.narrowFile(L"missing.txt").c_str(), nullptr, nullptr, &write),
              0);
    EXPECT_EQ(QVGetFileTime(nullptr, nullptr, nullptr, &write), 0);
}

// A file another process holds is waited for while the retries last, and no longer.
TEST_F(QVGetFileTimeTest, WaitsWhileAnotherProcessHoldsTheFileAndTheRetriesLast) {
    const struct {
        const char* label;
        int retries;
        DWORD holdMilliseconds;
        bool opened;
    } cases[] = {
        {"released within the retries", 200, 100, true},
        {"held past the last retry", 3, 400, false},
    };
    const std::wstring path = folder_.file(L"held.txt");
    test_support::writeFile(path, "x");
    for (const auto& row : cases) {
        const test_support::ShortHeldFileWaits waits(row.retries, 5);
        const test_support::HeldFile held(path, row.holdMilliseconds);
        FILETIME write{};
        EXPECT_EQ(QVGetFileTime(test_support::narrow(path).c_str(), nullptr, nullptr, &write) != 0,
                  row.opened)
            << row.label;
    }
}

} // namespace
