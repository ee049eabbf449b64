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
}

TEST_F(BridgesWithBaseLibrary, BindTheIdentifierConversionsAndServices) {
    const auto& bridges = loadedBridges();
    ASSERT_NE(bridges.stringToGuid, nullptr);
    ASSERT_NE(bridges.guidToString, nullptr);

    const GUID userDefined = {
        0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
    char text[z64::integration::kGuidTextBufferSize];
    bridges.guidToString(&userDefined, text);
    EXPECT_STREQ(text, "{D5CDD505-2E9C-101B-9397-08002B2CF9AE}");
    GUID parsed{};
    bridges.stringToGuid(text, &parsed);
    EXPECT_TRUE(IsEqualGUID(parsed, userDefined));

    char picture[80];
    EXPECT_GT(bridges.localeInfo(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, picture, sizeof picture),
              0);
}

TEST_F(BridgesWithBaseLibrary, FailedOperationsKeepThePlatformError) {
    TemporaryDirectory folder;
    BaseLogRedirect log(folder.file(L"base.log"));
    const auto& bridges = loadedBridges();
    const std::string missing = folder.narrowFile(L"missing.txt");

    SetLastError(0);
    EXPECT_FALSE(bridges.deleteFile(missing.c_str(), kCallerText, kCallerLine));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(test_support::readFile(folder.file(L"base.log")).find("failed with error 2"),
              std::string::npos);
}

// Runs the helper program from a folder holding everything of bin/ except the base
// library, so that the library's own LoadLibraryA cannot find it.
class BridgesWithoutBaseLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring bin = test_support::programDirectory();
        copyFromBin(bin, L"test_helper.exe");
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((bin + L"\\*.dll").c_str(), &entry);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do {
            if (lstrcmpiW(entry.cFileName, L"x64Quorpb32.dll") != 0)
                copyFromBin(bin, entry.cFileName);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        ASSERT_FALSE(test_support::fileExists(isolated_.file(L"x64Quorpb32.dll")));
    }

    test_support::ProcessResult runHelper(const std::wstring& arguments) {
        return test_support::runProgram(isolated_.file(L"test_helper.exe"), arguments,
                                        {{L"QV_BASE_LOG", files_.file(L"base.log")}});
    }

    TemporaryDirectory isolated_;
    TemporaryDirectory files_;

private:
    void copyFromBin(const std::wstring& bin, const std::wstring& name) {
        ASSERT_TRUE(CopyFileW((bin + L"\\" + name).c_str(), isolated_.file(name).c_str(), FALSE))
            << test_support::narrow(name);
    }
};

TEST_F(BridgesWithoutBaseLibrary, DeleteAndMoveBehaveAsThePlatformCalls) {
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

    // Nothing reached a base library, so nothing was logged.
    EXPECT_FALSE(test_support::fileExists(files_.file(L"base.log")));
}

TEST_F(BridgesWithoutBaseLibrary, FailuresReportThePlatformError) {
    const auto deleted = runHelper(L"delete \"" + files_.file(L"missing.txt") + L"\"");
    ASSERT_EQ(deleted.exitCode, 0u) << deleted.output;
    EXPECT_NE(deleted.output.find("result=0"), std::string::npos) << deleted.output;
    EXPECT_NE(deleted.output.find("error=2"), std::string::npos) << deleted.output;
}

TEST(BridgesFromAnotherProcess, FindTheBaseLibraryBesideTheLibrary) {
    const auto result = test_support::runProgram(
        test_support::programDirectory() + L"\\test_helper.exe", L"bridges");
    ASSERT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_NE(result.output.find("base=1"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("guid-bound=1"), std::string::npos) << result.output;
}

} // namespace
