#include "test_support.h"

#include <x64Quorpb32.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using test_support::TemporaryDirectory;

class BaseFileOperationTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"QV_BASE_LOG", folder_.file(L"base.log").c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(L"QV_BASE_LOG", nullptr); }

    std::string log() const { return test_support::readFile(folder_.file(L"base.log")); }
    bool logged(const std::string& text) const { return log().find(text) != std::string::npos; }

    TemporaryDirectory folder_;
};

// Each operation does what the platform call does, logs its caller and line with the result,
// and keeps the platform's last error after logging.
TEST_F(BaseFileOperationTest, OperationsActLogTheCallerAndKeepTheLastError) {
    test_support::writeFile(folder_.file(L"a.txt"), "a");
    test_support::writeFile(folder_.file(L"from.txt"), "new");
    test_support::writeFile(folder_.file(L"to.txt"), "old");
    const std::string a = folder_.narrowFile(L"a.txt");
    const std::string from = folder_.narrowFile(L"from.txt");
    const std::string to = folder_.narrowFile(L"to.txt");
    const std::string missing = folder_.narrowFile(L"missing.txt");
    const std::string shellFrom = to + '\0';
    const std::string shellTo = folder_.narrowFile(L"copy.txt") + '\0';
    SHFILEOPSTRUCTA copy{};
    copy.wFunc = FO_COPY;
    copy.pFrom = shellFrom.c_str();
    copy.pTo = shellTo.c_str();
    copy.fFlags = FOF_NO_UI;
    // clang-format off
    // An error of 0 is not checked.
    const struct { const char* label; std::function<BOOL()> call; BOOL result; DWORD error; std::string logged; } cases[] = {
        {"delete", [&] { return QVDeleteFile(a.c_str(), "Caller : module", 17); }, TRUE, 0, "QVDeleteFile(\"" + a + "\") from Caller : module, line 17: succeeded"},
        {"delete a missing file", [&] { return QVDeleteFile(missing.c_str(), "Caller", 1); }, FALSE, ERROR_FILE_NOT_FOUND, "line 1: failed with error 2"},
        {"delete without a path", [&] { return QVDeleteFile(nullptr, nullptr, 3); }, FALSE, ERROR_INVALID_PARAMETER, "QVDeleteFile(null) from (unknown caller), line 3: failed with error 87"},
        {"move a missing file", [&] { return QVMoveFile(missing.c_str(), a.c_str(), "Caller", 2); }, FALSE, ERROR_FILE_NOT_FOUND, "line 2: failed"},
        {"move onto a file", [&] { return QVMoveFileEx(from.c_str(), to.c_str(), 0, "Caller", 5); }, FALSE, 0, "line 5: failed"},
        {"move replacing a file", [&] { return QVMoveFileEx(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING, "Caller", 6); }, TRUE, 0, ", 0x1) from Caller, line 6: succeeded"},
        {"shell copy", [&] { return QVSHFileOperation(&copy, "Caller", 9) == 0; }, TRUE, 0, "line 9"},
        {"shell operation without a structure", [&] { return QVSHFileOperation(nullptr, "Caller", 10) == 0; }, FALSE, 0, "line 10"},
    };
    // clang-format on
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        SetLastError(0);
        EXPECT_EQ(row.call(), row.result);
        EXPECT_EQ(row.error == 0 ? 0 : GetLastError(), row.error);
        EXPECT_TRUE(logged(row.logged)) << log();
    }
    EXPECT_FALSE(test_support::fileExists(folder_.file(L"a.txt")));
    EXPECT_EQ(test_support::readFile(folder_.file(L"to.txt")), "new");
    EXPECT_EQ(test_support::readFile(folder_.file(L"copy.txt")), "new") << "copied after the move";
}

} // namespace
