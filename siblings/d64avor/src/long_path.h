// Extended-length paths ("\\?\C:\...", "\\?\UNC\server\share\..."): the rules behind
// MakeLongPath and MakeStgFilePath, on standard strings.
#pragma once

#include <string>

namespace d64avor {

// The full path of `path` (GetFullPathNameW, any length); false when it has none.
[[nodiscard]] bool fullPathOf(const wchar_t* path, std::wstring* fullPath);

// The extended-length form of `path`, as MakeLongPath documents it.
[[nodiscard]] std::wstring extendedLengthPath(const wchar_t* path);

// The storage provider's file name for `path`, as MakeStgFilePath documents it.
[[nodiscard]] std::wstring storageFilePath(const wchar_t* path);

} // namespace d64avor
