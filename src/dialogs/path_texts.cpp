// Path texts: long paths shortened with "\..." for little room, a path's root, and the
// shell's special folders.
//
// A shortened path keeps its head (the drive and first folder, or \\server\share), then
// "\...", then as many of its last levels as fit. Every walk along the path stops at its
// terminator: a path without the backslashes a head needs is shortened to its file name.
#include <z64eveze.h>

#include "common/whole_characters.h"

#include <afx.h>
#include <shlobj.h>

#include <cstring>

namespace {

// Paths are read in the run time's multibyte code page.
const char* nextCharacter(const char* text) {
    return z64::common::nextCharacter(text, z64::common::CodePage::runTime);
}

// Between the head and the kept levels.
constexpr char kEllipsis[] = "\\...";
constexpr std::size_t kEllipsisLength = sizeof kEllipsis - 1;

// The first backslash at or after `text`, or null when the terminator comes first.
const char* findBackslash(const char* text) {
    for (; *text != '\0'; text = nextCharacter(text))
        if (*text == '\\')
            return text;
    return nullptr;
}

[[nodiscard]] bool isUncPath(const char* path) {
    return path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

// The end of the kept head: two characters in, past a UNC server name, and for a folder
// part longer than a root also past the first folder (or share) name. Null when the path
// lacks a backslash the head needs.
const char* headEnd(const char* path, std::size_t folderLength) {
    const char* end = nextCharacter(nextCharacter(path));
    if (isUncPath(path)) {
        end = findBackslash(end);
        if (end == nullptr)
            return nullptr;
    }
    if (folderLength > 3) {
        if (*end == '\0')
            return nullptr;
        end = findBackslash(nextCharacter(end));
    }
    return end;
}

// Moves the file name (`nameLength` bytes at the end of the path) to the start.
void keepNameOnly(char* path, std::size_t pathLength, std::size_t nameLength) {
    std::memmove(path, path + pathLength - nameLength, nameLength + 1);
}

} // namespace

void AbbreviateName(char* path, int maximumLength, BOOL atLeastName) {
    if (path == nullptr)
        return;
    const std::size_t length = std::strlen(path);
    if (maximumLength >= 0 && length <= static_cast<std::size_t>(maximumLength))
        return;
    const std::size_t nameLength = AfxGetFileName(path, nullptr, 0) - 1;
    const std::size_t folderLength = length - nameLength;
    if (maximumLength < 0 || static_cast<std::size_t>(maximumLength) < nameLength) {
        if (atLeastName)
            keepNameOnly(path, length, nameLength);
        else
            path[0] = '\0';
        return;
    }
    const auto maximum = static_cast<std::size_t>(maximumLength);
    const char* head = headEnd(path, folderLength);
    const std::size_t headLength = head != nullptr ? static_cast<std::size_t>(head - path) : 0;
    if (head == nullptr || maximum < nameLength + kEllipsisLength + 1 + headLength) {
        keepNameOnly(path, length, nameLength);
        return;
    }
    // Drop whole levels after the head until the rest fits behind "\...".
    const char* rest = head;
    while (headLength + kEllipsisLength + std::strlen(rest) > maximum) {
        rest = findBackslash(nextCharacter(rest));
        if (rest == nullptr) {
            keepNameOnly(path, length, nameLength);
            return;
        }
    }
    // The result is shorter than the path, so the rest may move either way within it.
    std::memmove(path + headLength + kEllipsisLength, rest, std::strlen(rest) + 1);
    std::memcpy(path + headLength, kEllipsis, kEllipsisLength);
}

void GetRoot(char* path) {
    if (path == nullptr)
        return;
    CString root;
    AfxGetRoot(path, root);
    std::strcpy(path, root.GetString());
}

int QVGetSpecialFolderPath(HWND owner, char* path, int folder, int create) {
    if (path == nullptr)
        return FALSE;
    return SHGetSpecialFolderPathA(owner, path, folder, create);
}
