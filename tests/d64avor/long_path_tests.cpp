// MakeLongPath and MakeStgFilePath: the extended-length forms of every kind of path. That
// the names reach the file system and the provider is tested where the library creates and
// opens documents of long paths through them.
#include <d64avor.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The current folder with a name appended, as an independent expectation for relative
// names (the folder never ends with a separator except at a drive's root).
std::wstring inCurrentDirectory(const std::wstring& name) {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    if (directory.back() != L'\\')
        directory += L'\\';
    return directory + name;
}

struct PathCase {
    const char* label;
    std::wstring path;
    std::wstring expected;
};

TEST(MakeLongPath, GivesTheExtendedLengthForm) {
    const std::wstring longRelative = std::wstring(150, L'r') + L"\\" + std::wstring(150, L's');
    const PathCase cases[] = {
        // clang-format off
        {"drive", L"C:\\a\\b", L"\\\\?\\C:\\a\\b"},
        {"drive root", L"C:\\", L"\\\\?\\C:\\"},
        {"drive with forward slashes", L"C:/a/b.txt", L"\\\\?\\C:\\a\\b.txt"},
        {"drive with dot steps", L"C:\\a\\.\\b\\..\\c", L"\\\\?\\C:\\a\\c"},
        {"UNC", L"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
        {"already extended", L"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b"},
        {"already extended UNC", L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
        {"device namespace", L"\\\\.\\PhysicalDrive0", L"\\\\.\\PhysicalDrive0"},
        {"relative folder and name", L"sub\\file.txt", L"\\\\?\\" + inCurrentDirectory(L"sub\\file.txt")},
        {"relative longer than MAX_PATH", longRelative, L"\\\\?\\" + inCurrentDirectory(longRelative)},
        {"empty", L"", L""},
        // clang-format on
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(std::wstring(MakeLongPath(c.path.c_str()).GetString()), c.expected) << c.label;
    EXPECT_TRUE(MakeLongPath(nullptr).IsEmpty());
}

TEST(MakeStgFilePath, KeepsShortPathsAndExtendsLongOnes) {
    const std::wstring longName(300, L'n');
    const PathCase cases[] = {
        // clang-format off
        {"short absolute", L"C:\\data\\book.qvd", L"C:\\data\\book.qvd"},
        {"short relative", L"book.qvd", L"book.qvd"},
        {"short UNC", L"\\\\server\\share\\book.qvd", L"\\\\server\\share\\book.qvd"},
        {"long absolute", L"C:\\" + longName, L"\\\\?\\C:\\" + longName},
        {"long UNC", L"\\\\server\\share\\" + longName, L"\\\\?\\UNC\\server\\share\\" + longName},
        {"long relative", longName, L"\\\\?\\" + inCurrentDirectory(longName)},
        {"already extended", L"\\\\?\\C:\\" + longName, L"\\\\?\\C:\\" + longName},
        // 259 characters is the longest full path the file functions take without the prefix.
        {"259 characters", L"C:\\" + std::wstring(256, L'x'), L"C:\\" + std::wstring(256, L'x')},
        {"260 characters", L"C:\\" + std::wstring(257, L'x'), L"\\\\?\\C:\\" + std::wstring(257, L'x')},
        // clang-format on
    };
    for (const PathCase& c : cases)
        EXPECT_EQ(std::wstring(MakeStgFilePath(c.path.c_str()).GetString()), c.expected) << c.label;
    EXPECT_TRUE(MakeStgFilePath(nullptr).IsEmpty());
}

} // namespace
