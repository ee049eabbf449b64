// Running the independent readers (python's olefile, libgsf's gsf tool) from the tests, and
// the files and folders the tests hand to them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

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

// A folder under the system's temporary folder, removed with its contents at the end.
class TemporaryFolder {
public:
    TemporaryFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("engine-test-" + std::to_string(::getpid()) + "-" + std::to_string(next()++))) {
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    static int& next() {
        static int value = 0;
        return value;
    }
    std::filesystem::path path_;
};

template <typename Bytes>
void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace engine::test_tools
