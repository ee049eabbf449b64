// MakeLongPath and MakeStgFilePath: the extended-length forms of every kind of path, and a
// file whose path is longer than MAX_PATH created and opened again through them.
#include <d64avor.h>

#include <gtest/gtest.h>
#include <support/com_ptr.h>
#include <support/unique_resource.h>
#include <test_names.h>
#include <test_support.h>

#include <objbase.h>

#include <string>
#include <vector>

namespace {

std::wstring currentDirectory() {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    return directory;
}

// The current folder with a name appended, as an independent expectation for relative
// names (the folder never ends with a separator except at a drive's root).
std::wstring inCurrentDirectory(const std::wstring& name) {
    std::wstring directory = currentDirectory();
    if (directory.back() != L'\\')
        directory += L'\\';
    return directory + name;
}

const std::wstring kLongRelative = std::wstring(150, L'r') + L"\\" + std::wstring(150, L's');

struct PathCase {
    const char* label;
    std::wstring path;
    std::wstring expected;
};

class MakeLongPathTest : public testing::TestWithParam<PathCase> {};
class MakeStgFilePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(MakeLongPathTest, GivesTheExtendedLengthForm) {
    const PathCase& row = GetParam();
    EXPECT_EQ(std::wstring(MakeLongPath(row.path.c_str()).GetString()), row.expected) << row.label;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Paths, MakeLongPathTest, testing::Values(
    PathCase{"drive", L"C:\\a\\b", L"\\\\?\\C:\\a\\b"},
    PathCase{"drive root", L"C:\\", L"\\\\?\\C:\\"},
    PathCase{"drive with forward slashes", L"C:/a/b.txt", L"\\\\?\\C:\\a\\b.txt"},
    PathCase{"drive with dot steps", L"C:\\a\\.\\b\\..\\c", L"\\\\?\\C:\\a\\c"},
    PathCase{"UNC", L"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
    PathCase{"UNC with a deeper path", L"\\\\server\\share\\x\\y.doc", L"\\\\?\\UNC\\server\\share\\x\\y.doc"},
    PathCase{"already extended", L"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b"},
    PathCase{"already extended UNC", L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
    PathCase{"device namespace", L"\\\\.\\PhysicalDrive0", L"\\\\.\\PhysicalDrive0"},
    PathCase{"relative name", L"file.txt", L"\\\\?\\" + inCurrentDirectory(L"file.txt")},
    PathCase{"relative folder and name", L"sub\\file.txt", L"\\\\?\\" + inCurrentDirectory(L"sub\\file.txt")},
    PathCase{"relative longer than MAX_PATH", kLongRelative, L"\\\\?\\" + inCurrentDirectory(kLongRelative)},
    PathCase{"empty", L"", L""}),
    test_support::LabelName());
// clang-format on

TEST_P(MakeStgFilePathTest, KeepsShortPathsAndExtendsLongOnes) {
    const PathCase& row = GetParam();
    EXPECT_EQ(std::wstring(MakeStgFilePath(row.path.c_str()).GetString()), row.expected)
        << row.label;
}

const std::wstring kLongName(300, L'n');

// clang-format off
INSTANTIATE_TEST_SUITE_P(Paths, MakeStgFilePathTest, testing::Values(
    PathCase{"short absolute", L"C:\\data\\book.qvd", L"C:\\data\\book.qvd"},
    PathCase{"short relative", L"book.qvd", L"book.qvd"},
    PathCase{"short UNC", L"\\\\server\\share\\book.qvd", L"\\\\server\\share\\book.qvd"},
    PathCase{"long absolute", L"C:\\" + kLongName, L"\\\\?\\C:\\" + kLongName},
    PathCase{"long UNC", L"\\\\server\\share\\" + kLongName, L"\\\\?\\UNC\\server\\share\\" + kLongName},
    PathCase{"long relative", kLongName, L"\\\\?\\" + inCurrentDirectory(kLongName)},
    PathCase{"already extended", L"\\\\?\\C:\\" + kLongName, L"\\\\?\\C:\\" + kLongName},
    // 259 characters is the longest full path the file functions take without the prefix.
    PathCase{"259 characters", L"C:\\" + std::wstring(256, L'x'), L"C:\\" + std::wstring(256, L'x')},
    PathCase{"260 characters", L"C:\\" + std::wstring(257, L'x'), L"\\\\?\\C:\\" + std::wstring(257, L'x')}),
    test_support::LabelName());
// clang-format on

TEST(MakeLongPath, BothFunctionsGiveAnEmptyStringForANullPath) {
    EXPECT_TRUE(MakeLongPath(nullptr).IsEmpty());
    EXPECT_TRUE(MakeStgFilePath(nullptr).IsEmpty());
}

// A file at least 300 characters deep, in folders of 60-character names under a
// temporary folder; everything is removed through extended-length names at the end.
class LongFileTest : public testing::Test {
protected:
    static constexpr size_t kMinimumLength = 300;
    static constexpr size_t kFolderNameLength = 60;

    void SetUp() override {
        std::wstring folder = temporary_.path();
        while (folder.size() + kFolderNameLength < kMinimumLength) {
            folder += L"\\" + std::wstring(kFolderNameLength, L'f');
            const std::wstring extended = L"\\\\?\\" + folder;
            ASSERT_TRUE(CreateDirectoryW(extended.c_str(), nullptr)) << GetLastError();
            folders_.push_back(extended);
        }
        path_ = folder + L"\\" + std::wstring(kFolderNameLength, L'd') + L".qvd";
        ASSERT_GE(path_.size(), kMinimumLength);
    }

    void TearDown() override {
        DeleteFileW((L"\\\\?\\" + path_).c_str());
        for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder)
            RemoveDirectoryW(folder->c_str());
    }

    test_support::TemporaryDirectory temporary_;
    std::vector<std::wstring> folders_;
    std::wstring path_;
};

TEST_F(LongFileTest, IsCreatedThroughOneFunctionsNameAndOpenedThroughTheOthers) {
    struct Case {
        const char* label;
        CStringW (*writtenThrough)(const wchar_t*);
        CStringW (*readThrough)(const wchar_t*);
        std::string bytes;
    };
    const Case cases[] = {
        {"MakeLongPath, then MakeStgFilePath", &MakeLongPath, &MakeStgFilePath,
         "ledger of a long path"},
        {"MakeStgFilePath, then MakeLongPath", &MakeStgFilePath, &MakeLongPath, "another ledger"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        test_support::writeFile(std::wstring(c.writtenThrough(path_.c_str())), c.bytes);
        EXPECT_EQ(test_support::readFile(std::wstring(c.readThrough(path_.c_str()))), c.bytes);
        DeleteFileW((L"\\\\?\\" + path_).c_str()); // the next case creates it anew
    }
}

// The storage provider of the product opens the names MakeStgFilePath gives it.
TEST_F(LongFileTest, IsADocumentTheStorageProviderCreatesAndOpensThroughMakeStgFilePath) {
    support::UniqueModule provider(
        LoadLibraryW((test_support::programDirectory() + L"\\z64STG.dll").c_str()));
    ASSERT_TRUE(provider);
    const auto create = reinterpret_cast<decltype(&StgCreateDocfile)>(
        reinterpret_cast<void*>(GetProcAddress(provider.get(), "StgCreateDocfile")));
    const auto open = reinterpret_cast<decltype(&StgOpenStorage)>(
        reinterpret_cast<void*>(GetProcAddress(provider.get(), "StgOpenStorage")));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(open, nullptr);
    support::ComPtr<IStorage> storage;
    ASSERT_EQ(create(MakeStgFilePath(path_.c_str()),
                     STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.put()),
              S_OK);
    storage.reset();
    EXPECT_EQ(open(MakeStgFilePath(path_.c_str()), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                   nullptr, 0, storage.put()),
              S_OK);
    EXPECT_TRUE(storage);
}

} // namespace
