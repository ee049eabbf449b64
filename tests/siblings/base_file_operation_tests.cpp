#include "test_support.h"

#include <x64Quorpb32.h>

#include <gtest/gtest.h>

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

TEST_F(BaseFileOperationTest, DeleteRemovesTheFileAndRecordsTheCaller) {
    test_support::writeFile(folder_.file(L"a.txt"), "a");
    const std::string path = folder_.narrowFile(L"a.txt");
    EXPECT_TRUE(QVDeleteFile(path.c_str(), "Caller : module", 17));
    EXPECT_FALSE(test_support::fileExists(folder_.file(L"a.txt")));
    EXPECT_TRUE(logged("QVDeleteFile(\"" + path + "\") from Caller : module, line 17: succeeded"))
        << log();
}

TEST_F(BaseFileOperationTest, FailuresKeepTheLastErrorAfterLogging) {
    const std::string missing = folder_.narrowFile(L"missing.txt");
    SetLastError(0);
    EXPECT_FALSE(QVDeleteFile(missing.c_str(), "Caller", 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SetLastError(0);
    EXPECT_FALSE(QVMoveFile(missing.c_str(), folder_.narrowFile(L"b.txt").c_str(), "Caller", 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(QVDeleteFile(nullptr, nullptr, 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(logged("QVDeleteFile(null) from (unknown caller), line 3: failed with error 87"))
        << log();
}

TEST_F(BaseFileOperationTest, MoveExReplacesOnlyWhenAsked) {
    test_support::writeFile(folder_.file(L"from.txt"), "new");
    test_support::writeFile(folder_.file(L"to.txt"), "old");
    const std::string from = folder_.narrowFile(L"from.txt");
    const std::string to = folder_.narrowFile(L"to.txt");

    EXPECT_FALSE(QVMoveFileEx(from.c_str(), to.c_str(), 0, "Caller", 5));
    EXPECT_EQ(test_support::readFile(folder_.file(L"to.txt")), "old");
    EXPECT_TRUE(QVMoveFileEx(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING, "Caller", 6));
    EXPECT_EQ(test_support::readFile(folder_.file(L"to.txt")), "new");
    EXPECT_TRUE(logged(", 0x1) from Caller, line 6: succeeded")) << log();
}

TEST_F(BaseFileOperationTest, ShellOperationCopiesFiles) {
    test_support::writeFile(folder_.file(L"source.txt"), "content");
    const std::string from = folder_.narrowFile(L"source.txt") + '\0';
    const std::string to = folder_.narrowFile(L"copy.txt") + '\0';
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_NO_UI;
    EXPECT_EQ(QVSHFileOperation(&operation, "Caller", 9), 0);
    EXPECT_EQ(test_support::readFile(folder_.file(L"copy.txt")), "content");
    EXPECT_NE(QVSHFileOperation(nullptr, "Caller", 10), 0);
}

} // namespace
