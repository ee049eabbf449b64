// Running the independent readers (python's olefile, libgsf's gsf tool) from the tests.
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace engine::test_tools {

// The standard output of a shell command, or nothing when it cannot run or exits non-zero.
inline std::optional<std::string> outputOf(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    if (::pclose(pipe) != 0)
        return std::nullopt;
    return output;
}

inline std::string shellQuoted(const std::string& text) {
    return "'" + text + "'";
}

inline std::string toHex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

inline const char* const pythonPath = "/usr/bin/python3";
inline const char* const gsfPath = "/usr/bin/gsf";

inline bool olefileAvailable() {
    return std::filesystem::exists(pythonPath) &&
           outputOf(std::string(pythonPath) + " -c 'import olefile'").has_value();
}

inline bool gsfAvailable() {
    return std::filesystem::exists(gsfPath);
}

} // namespace engine::test_tools
