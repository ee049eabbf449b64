// A progress line on standard error for long work, shown only when standard error is a
// terminal, so that scripts and pipes never see it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace qvdoc {

class Progress {
public:
    Progress();
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // "what: done of total" (bytes shown in MiB), at most a few times a second.
    void bytes(const std::string& what, std::uint64_t done, std::uint64_t total);
    void items(const std::string& what, std::uint64_t done, std::uint64_t total);
    // Clears the line before other output.
    void clear();

private:
    void show(const std::string& line, bool force);

    bool enabled_ = false;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

} // namespace qvdoc
