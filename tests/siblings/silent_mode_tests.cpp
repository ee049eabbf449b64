#include "test_support.h"

#include <x64Quorpb32.h>

#include <gtest/gtest.h>

namespace {

TEST(SilentMode, FollowsTheSwitchesOfTheStartedProcess) {
    // An empty variable is not set.
    // clang-format off
    const struct { const char* label; const wchar_t* arguments; const wchar_t* variable; const char* expected; } cases[] = {
        {"no switch", L"", L"", "silent=0"},
        {"variable set to 1", L"", L"1", "silent=1"},
        {"variable set to 0", L"", L"0", "silent=0"},
        {"slash switch", L"/silent", L"", "silent=1"},
        {"dash switch, other case", L"-SILENT", L"", "silent=1"},
        {"switch as part of a word", L"/silently", L"", "silent=0"},
    };
    // clang-format on
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        const auto result = test_support::runProgram(
            test_support::programDirectory() + L"\\test_helper.exe",
            std::wstring(L"silent ") + row.arguments, {{L"QV_SILENT_MODE", row.variable}});
        EXPECT_EQ(result.exitCode, 0u) << result.output;
        EXPECT_NE(result.output.find(row.expected), std::string::npos) << result.output;
    }
}

TEST(SilentMode, CanBeTurnedOnAndOffAtRunTime) {
    const BOOL initial = IsRunningInSilentMode();
    QVSetSilentMode(TRUE);
    EXPECT_TRUE(IsRunningInSilentMode());
    QVSetSilentMode(FALSE);
    EXPECT_FALSE(IsRunningInSilentMode());
    QVSetSilentMode(initial);
}

} // namespace
