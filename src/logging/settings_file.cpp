#include "logging/settings_file.h"

#include <z64eveze.h>

#include <mbstring.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace z64::logging {
namespace {

constexpr int kPathSize = MAX_PATH;
constexpr char kSettingsFileName[] = "tq.ver";
constexpr int kLogPathSize = 519; // 518 characters and the terminator
constexpr int kSettingValueSize = MAX_PATH;

// The module that holds this function's code: the allocation that VirtualQuery reports for
// an address inside the library is the library's image, whose base is its module handle.
HMODULE thisLibrary() {
    MEMORY_BASIC_INFORMATION region{};
    VirtualQuery(reinterpret_cast<const void*>(&thisLibrary), &region, sizeof region);
    return static_cast<HMODULE>(region.AllocationBase);
}

// Copies at most size - 1 characters and the terminator.
void copyBounded(char* destination, size_t size, const std::string& source) {
    if (!destination || size == 0)
        return;
    const size_t length = std::min(source.size(), size - 1);
    std::memcpy(destination, source.data(), length);
    destination[length] = '\0';
}

} // namespace

std::string libraryDirectory() {
    char path[kPathSize + 1] = {};
    const DWORD length = GetModuleFileNameA(thisLibrary(), path, kPathSize);
    path[std::min<DWORD>(length, kPathSize)] = '\0';
    // The multi-byte search never takes the trail byte of a double-byte character for a
    // backslash.
    auto* text = reinterpret_cast<unsigned char*>(path);
    if (unsigned char* backslash = _mbsrchr(text, '\\'))
        *_mbsinc(backslash) = '\0';
    return path;
}

std::string settingsFilePath() {
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s%s", libraryDirectory().c_str(), kSettingsFileName);
    return path;
}

} // namespace z64::logging

Z64EVEZE_API void GetSystemFilePaths(char* directory, char* settingsFile) {
    z64::logging::copyBounded(directory, MAX_PATH, z64::logging::libraryDirectory());
    z64::logging::copyBounded(settingsFile, MAX_PATH, z64::logging::settingsFilePath());
}

Z64EVEZE_API char* DetermineLogPath(const char* section, const char* directoryKey,
                                    const char* fileKey, const char* defaultFile, char* path) {
    if (!path)
        return nullptr;
    const std::string settings = z64::logging::settingsFilePath();
    char directory[z64::logging::kSettingValueSize] = {};
    if (GetPrivateProfileStringA(section, directoryKey, "", directory, sizeof directory,
                                 settings.c_str()) == 0)
        z64::logging::copyBounded(directory, sizeof directory, z64::logging::libraryDirectory());
    char file[z64::logging::kSettingValueSize] = {};
    GetPrivateProfileStringA(section, fileKey, defaultFile ? defaultFile : "", file, sizeof file,
                             settings.c_str());
    // No separator is inserted: a directory in the settings must end with a backslash.
    std::snprintf(path, z64::logging::kLogPathSize, "%s%s", directory, file);
    return path;
}

Z64EVEZE_API int GetLogTypeEnabled(const char* section, const char* key, int defaultValue) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue,
                                                  z64::logging::settingsFilePath().c_str()));
}
