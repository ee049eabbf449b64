// Path shortening, path roots and special folders. Every shortened path lies at the end of
// a readable page, so that a read past its terminator faults instead of passing unseen.
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

namespace {

// A text whose terminator is the last byte before a no-access page.
class TextBeforeGuardPage {
public:
    explicit TextBeforeGuardPage(const std::string& text) {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        auto* pages = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD previous = 0;
        VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &previous);
        pages_ = pages;
        text_ = pages + system.dwPageSize - text.size() - 1;
        std::memcpy(text_, text.c_str(), text.size() + 1);
    }
    ~TextBeforeGuardPage() { VirtualFree(pages_, 0, MEM_RELEASE); }
    [[nodiscard]] char* get() const { return text_; }

private:
    void* pages_;
    char* text_;
};

std::string longPath() {
    std::string path = "C:\\";
    for (int level = 0; level < 26; ++level)
        path += "d123456789\\";
    return path + "file.txt"; // 297 characters
}

TEST(AbbreviateName, ShortensWithinTheMaximumAndNeverReadsPastTheTerminator) {
    const std::string example = "C:\\dir1\\dir2\\dir3\\file.txt";
    // clang-format off
    const struct { const char* label; std::string path; int maximum; BOOL atLeastName; const char* expected; } rows[] = {
        {"one level dropped", example, 25, TRUE, "C:\\dir1\\...\\dir3\\file.txt"},
        {"every level dropped", example, 24, TRUE, "C:\\dir1\\...\\file.txt"},
        {"exactly at the width", example, 26, FALSE, "C:\\dir1\\dir2\\dir3\\file.txt"},
        {"below the name, name kept", example, 7, TRUE, "file.txt"},
        {"below the name, emptied", example, 7, FALSE, ""},
        {"negative maximum", example, -1, TRUE, "file.txt"},
        {"no room for head and name", example, 19, FALSE, "file.txt"},
        {"UNC keeps server and share", "\\\\server\\share\\dir1\\dir2\\file.txt", 28, TRUE, "\\\\server\\share\\...\\file.txt"},
        {"relative path", "dir1\\dir2\\dir3\\file.txt", 20, TRUE, "dir1\\...\\file.txt"},
        {"trailing backslash", "C:\\dir1\\dir2\\dir3\\", 15, TRUE, "C:\\dir1\\...\\"},
        {"300 characters", longPath(), 40, TRUE, "C:\\d123456789\\...\\d123456789\\file.txt"},
        {"UNC without share", "\\\\server\\longname.txt", 15, TRUE, "longname.txt"},
        {"UNC without backslash", "\\\\serverlongname", 14, TRUE, "serverlongname"},
        {"forward slashes", "C:/dir1/dir2/file.txt", 15, TRUE, "file.txt"},
    };
    // clang-format on
    for (const auto& row : rows) {
        const TextBeforeGuardPage path(row.path);
        AbbreviateName(path.get(), row.maximum, row.atLeastName);
        EXPECT_STREQ(path.get(), row.expected) << row.label;
    }
    AbbreviateName(nullptr, 10, TRUE); // does nothing
}

TEST(GetRoot, KeepsTheDriveOrShare) {
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        {"C:\\dir\\file.txt", "C:\\"}, {"C:\\", "C:\\"}, {"C:", "C:"}, {"\\dir", "\\"},
        {"\\\\srv\\share\\dir", "\\\\srv\\share\\"}, {"\\\\srv\\share", "\\\\srv\\share"},
        {"file.txt", "file.txt"}, {"", ""}, {"/", "/"}};
    // clang-format on
    for (const auto& [path, root] : rows) {
        char buffer[MAX_PATH];
        std::strcpy(buffer, path);
        GetRoot(buffer);
        EXPECT_STREQ(buffer, root) << path;
    }
    GetRoot(nullptr); // does nothing
}

TEST(QVGetSpecialFolderPath, AnswersAsTheShellDoes) {
    const int folders[] = {CSIDL_APPDATA, CSIDL_PERSONAL, CSIDL_WINDOWS, CSIDL_SYSTEM, 0x7E};
    for (const int folder : folders) {
        char ours[MAX_PATH] = "", shells[MAX_PATH] = "";
        EXPECT_EQ(QVGetSpecialFolderPath(nullptr, ours, folder, FALSE),
                  SHGetSpecialFolderPathA(nullptr, shells, folder, FALSE))
            << folder;
        EXPECT_STREQ(ours, shells) << folder;
    }
    // The create flag makes a missing special folder.
    char created[MAX_PATH] = "";
    ASSERT_TRUE(QVGetSpecialFolderPath(nullptr, created, CSIDL_CDBURN_AREA, TRUE));
    const DWORD attributes = GetFileAttributesA(created);
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << created;
    EXPECT_EQ(QVGetSpecialFolderPath(nullptr, nullptr, CSIDL_WINDOWS, FALSE), FALSE);
}

} // namespace
