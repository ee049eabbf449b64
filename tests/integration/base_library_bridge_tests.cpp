// The bridges to the base library: with x64Quorpb32.dll beside the library they reach it
// (its log names the caller and line); without it the file operations behave as the plain
// platform calls and the identifier conversions stay unbound.
#include "integration/base_library.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using test_support::TemporaryDirectory;

constexpr char kCallerText[] = "BridgeTest : bridges";
constexpr int kCallerLine = 812;

const z64::integration::BaseLibraryBridges& loadedBridges() {
    HMODULE library = GetModuleHandleW(L"z64EVEZE.dll");
    EXPECT_NE(library, nullptr);
    const auto get = reinterpret_cast<z64::integration::GetBaseLibraryBridgesFunction>(
        reinterpret_cast<void*>(GetProcAddress(
            library, MAKEINTRESOURCEA(z64::integration::kBaseLibraryBridgesOrdinal))));
    EXPECT_NE(get, nullptr);
    return *get();
}

// Makes sure the library is loaded by this process (its import is resolved lazily by
// nothing else in this file).
struct LibraryLoaded : ::testing::Test {
    void SetUp() override { ASSERT_NE(LoadLibraryW(L"z64EVEZE.dll"), nullptr); }
};

class BaseLogRedirect {
public:
    explicit BaseLogRedirect(const std::wstring& path) {
        SetEnvironmentVariableW(L"QV_BASE_LOG", path.c_str());
    }
    ~BaseLogRedirect() { SetEnvironmentVariableW(L"QV_BASE_LOG", nullptr); }
};

using BridgesWithBaseLibrary = LibraryLoaded;

TEST_F(BridgesWithBaseLibrary, ReachTheBaseLibraryWhichLogsCallerAndLine) {
    TemporaryDirectory folder;
    BaseLogRedirect log(folder.file(L"base.log"));
    const auto& bridges = loadedBridges();
    ASSERT_NE(bridges.baseLibrary, nullptr);
    EXPECT_EQ(bridges.baseLibrary, GetModuleHandleW(L"x64Quorpb32.dll"));

    const std::string doomed = folder.narrowFile(L"doomed.txt");
    const std::string from = folder.narrowFile(L"from.txt");
    const std::string to = folder.narrowFile(L"to.txt");
    test_support::writeFile(folder.file(L"doomed.txt"), "x");
    test_support::writeFile(folder.file(L"from.txt"), "y");

    EXPECT_TRUE(bridges.deleteFile(doomed.c_str(), kCallerText, kCallerLine));
    EXPECT_TRUE(bridges.moveFile(from.c_str(), to.c_str(), kCallerText, kCallerLine + 1));
    EXPECT_FALSE(test_support::fileExists(folder.file(L"doomed.txt")));
    EXPECT_EQ(test_support::readFile(folder.file(L"to.txt")), "y");

    const std::string entries = test_support::readFile(folder.file(L"base.log"));
    EXPECT_NE(entries.find("QVDeleteFile(\"" + doomed + "\") from BridgeTest : bridges, line 812"),
              std::string::npos)
        << entries;
    EXPECT_NE(entries.find("QVMoveFile(\"" + from + "\", \"" + to +
                           "\") from BridgeTest : bridges, line 813"),
              std::string::npos)
        << entries;

    SetLastError(0);
    EXPECT_FALSE(bridges.deleteFile(doomed.c_str(), kCallerText, kCallerLine));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "kept after logging";
}

TEST_F(BridgesWithBaseLibrary, BindTheBaseLibrarysOwnEntryPoints) {
    const auto& bridges = loadedBridges();
    const HMODULE base = GetModuleHandleW(L"x64Quorpb32.dll");
    const struct {
        const char* name;
        const void* bound;
    } cases[] = {
        {"StringToGUID", reinterpret_cast<const void*>(bridges.stringToGuid)},
        {"GUIDToString", reinterpret_cast<const void*>(bridges.guidToString)},
    };
    for (const auto& row : cases)
        EXPECT_EQ(row.bound, reinterpret_cast<const void*>(GetProcAddress(base, row.name)))
            << row.name;
    char picture[80];
    EXPECT_GT(bridges.localeInfo(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, picture, sizeof picture),
              0);
}

// Runs the helper program from a folder holding everything of bin/ except the base
// library, so that the library's own LoadLibraryA cannot find it.
class BridgesWithoutBaseLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::copyProgramFolder(isolated_, L"test_helper.exe", L"x64Quorpb32.dll");
        ASSERT_TRUE(test_support::fileExists(isolated_.file(L"z64EVEZE.dll")));
        ASSERT_FALSE(test_support::fileExists(isolated_.file(L"x64Quorpb32.dll")));
    }

    test_support::ProcessResult runHelper(const std::wstring& arguments) {
        return test_support::runProgram(isolated_.file(L"test_helper.exe"), arguments,
                                        {{L"QV_BASE_LOG", files_.file(L"base.log")}});
    }

    TemporaryDirectory isolated_;
    TemporaryDirectory files_;
};

TEST_F(BridgesWithoutBaseLibrary, DeleteAndMoveBehaveAsThePlatformCallsAndKeepTheirErrors) {
    test_support::writeFile(files_.file(L"doomed.txt"), "x");
    test_support::writeFile(files_.file(L"from.txt"), "y");

    const auto deleted = runHelper(L"delete \"" + files_.file(L"doomed.txt") + L"\"");
    ASSERT_EQ(deleted.exitCode, 0u) << deleted.output;
    EXPECT_NE(deleted.output.find("base=0"), std::string::npos) << deleted.output;
    EXPECT_NE(deleted.output.find("guid-bound=0"), std::string::npos) << deleted.output;
    EXPECT_NE(deleted.output.find("result=1"), std::string::npos) << deleted.output;
    EXPECT_FALSE(test_support::fileExists(files_.file(L"doomed.txt")));

    const auto moved = runHelper(L"move \"" + files_.file(L"from.txt") + L"\" \"" +
                                 files_.file(L"to.txt") + L"\"");
    ASSERT_EQ(moved.exitCode, 0u) << moved.output;
    EXPECT_NE(moved.output.find("result=1"), std::string::npos) << moved.output;
    EXPECT_EQ(test_support::readFile(files_.file(L"to.txt")), "y");

    const auto failed = runHelper(L"delete \"" + files_.file(L"missing.txt") + L"\"");
    EXPECT_NE(failed.output.find("result=0"), std::string::npos) << failed.output;
    EXPECT_NE(failed.output.find("error=2"), std::string::npos) << failed.output;

    // Nothing reached a base library, so nothing was logged.
    EXPECT_FALSE(test_support::fileExists(files_.file(L"base.log")));
}

TEST(BridgesFromAnotherProcess, FindTheBaseLibraryBesideTheLibrary) {
    const auto result = test_support::runProgram(
        test_support::programDirectory() + L"\\test_helper.exe", L"bridges");
    ASSERT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_NE(result.output.find("base=1"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("guid-bound=1"), std::string::npos) << result.output;
}

} // namespace
