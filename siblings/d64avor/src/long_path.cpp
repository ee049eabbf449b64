#include "long_path.h"

#include <windows.h>

#include <string_view>

namespace d64avor {

namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";
// Paths of this many characters or more need the extended-length form (MAX_PATH counts
// the terminator).
constexpr size_t kLongPathLength = MAX_PATH;
// GetFullPathNameW may answer a larger size again if the current folder changes between
// the two calls; a few rounds settle it.
constexpr int kFullPathAttempts = 4;

bool hasPrefix(std::wstring_view path, std::wstring_view prefix) {
    return path.substr(0, prefix.size()) == prefix;
}

// "\\?\..." and "\\.\..." already bypass the path parsing of the file functions.
bool isPrefixed(std::wstring_view path) {
    return hasPrefix(path, kExtendedPrefix) || hasPrefix(path, kDevicePrefix);
}

} // namespace

bool fullPathOf(const wchar_t* path, std::wstring* fullPath) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < kFullPathAttempts; ++attempt) {
        const DWORD length =
            GetFullPathNameW(path, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0)
            return false;
        if (length < buffer.size()) { // success: the length without the terminator
            buffer.resize(length);
            *fullPath = std::move(buffer);
            return true;
        }
        buffer.assign(length, L'\0'); // too small: the size needed, with the terminator
    }
    return false;
}

std::wstring extendedLengthPath(const wchar_t* path) {
    if (path == nullptr)
        return {};
    if (isPrefixed(path))
        return path;
    std::wstring fullPath;
    if (!fullPathOf(path, &fullPath))
        return path;
    if (isPrefixed(fullPath))
        return fullPath; // a device name
    if (hasPrefix(fullPath, kUncPrefix))
        return std::wstring(kExtendedUncPrefix).append(fullPath, kUncPrefix.size());
    return std::wstring(kExtendedPrefix).append(fullPath);
}

std::wstring storageFilePath(const wchar_t* path) {
    if (path == nullptr)
        return {};
    std::wstring fullPath;
    if (isPrefixed(path) || !fullPathOf(path, &fullPath) || fullPath.size() < kLongPathLength)
        return path;
    return extendedLengthPath(path);
}

} // namespace d64avor
