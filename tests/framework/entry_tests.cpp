// The framework's program entry: an application that defines only its CWinApp object runs
// through InitInstance, the message loop and ExitInstance, and ends with their exit code.
#include <gtest/gtest.h>

#include "test_support.h"

#include <string>
#include <vector>

namespace {

TEST(ProgramEntry, TheExitCodeComesFromTheWayTheApplicationEnds) {
    // clang-format off
    struct Case { const char* label; const wchar_t* arguments; DWORD expectedExitCode; };
    const Case cases[] = {
        {"InitInstance fails", L"refuse", 7},
        {"WM_QUIT with a code", L"quit 5", 5},
        {"the main window closes", L"close", 0},
    };
    // clang-format on
    const std::wstring program =
        test_support::programDirectory() + L"\\framework_entry_program.exe";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const test_support::ProcessResult result = test_support::runProgram(program, c.arguments);
        EXPECT_EQ(result.exitCode, c.expectedExitCode);
        const std::vector<std::string> expectedOutput = {
            "app=framework_entry_program exe=framework_entry_program "
            "profile=framework_entry_program.INI"};
        EXPECT_EQ(test_support::splitLines(result.output), expectedOutput)
            << "the names default to the program's";
    }
}

} // namespace
