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

TEST(LongPaths, MakeLongPathExtendsEveryPathAndMakeStgFilePathOnlyLongOnes) {
    using Conversion = CStringW (*)(const wchar_t*);
    const Conversion kLong = &MakeLongPath;
    const Conversion kStg = &MakeStgFilePath;
    const std::wstring longRelative = std::wstring(150, L'r') + L"\\" + std::wstring(150, L's');
    const std::wstring longName(300, L'n');
    // clang-format off
    const struct { const char* label; Conversion convert; std::wstring path; std::wstring expected; } cases[] = {
        {"drive", kLong, L"C:\\a\\b", L"\\\\?\\C:\\a\\b"},
        {"drive root", kLong, L"C:\\", L"\\\\?\\C:\\"},
        {"drive with forward slashes", kLong, L"C:/a/b.txt", L"\\\\?\\C:\\a\\b.txt"},
        {"drive with dot steps", kLong, L"C:\\a\\.\\b\\..\\c", L"\\\\?\\C:\\a\\c"},
        {"UNC", kLong, L"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
        {"already extended", kLong, L"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b"},
        {"already extended UNC", kLong, L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
        {"device namespace", kLong, L"\\\\.\\PhysicalDrive0", L"\\\\.\\PhysicalDrive0"},
        {"relative folder and name", kLong, L"sub\\file.txt", L"\\\\?\\" + inCurrentDirectory(L"sub\\file.txt")},
        {"relative longer than MAX_PATH", kLong, longRelative, L"\\\\?\\" + inCurrentDirectory(longRelative)},
        {"empty", kLong, L"", L""},
        {"short absolute", kStg, L"C:\\data\\book.qvd", L"C:\\data\\book.qvd"},
        {"short relative", kStg, L"book.qvd", L"book.qvd"},
        {"short UNC", kStg, L"\\\\server\\share\\book.qvd", L"\\\\server\\share\\book.qvd"},
        {"long absolute", kStg, L"C:\\" + longName, L"\\\\?\\C:\\" + longName},
        {"long UNC", kStg, L"\\\\server\\share\\" + longName, L"\\\\?\\UNC\\server\\share\\" + longName},
        {"long relative", kStg, longName, L"\\\\?\\" + inCurrentDirectory(longName)},
        {"already extended, long", kStg, L"\\\\?\\C:\\" + longName, L"\\\\?\\C:\\" + longName},
        // 259 characters is the longest full path the file functions take without the prefix.
        {"259 characters", kStg, L"C:\\" + std::wstring(256, L'x'), L"C:\\" + std::wstring(256, L'x')},
        {"260 characters", kStg, L"C:\\" + std::wstring(257, L'x'), L"\\\\?\\C:\\" + std::wstring(257, L'x')},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.convert(c.path.c_str()).GetString()), c.expected) << c.label;
    EXPECT_TRUE(MakeLongPath(nullptr).IsEmpty());
    EXPECT_TRUE(MakeStgFilePath(nullptr).IsEmpty());
}

} // namespace
