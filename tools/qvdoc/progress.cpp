#include "progress.h"

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define QVDOC_ISATTY _isatty
#define QVDOC_FILENO _fileno
#else
#include <unistd.h>
#define QVDOC_ISATTY isatty
#define QVDOC_FILENO fileno
#endif

namespace qvdoc {
namespace {

constexpr auto kRefreshInterval = std::chrono::milliseconds(200);
constexpr double kMebibyte = 1024.0 * 1024.0;

} // namespace

Progress::Progress() : enabled_(QVDOC_ISATTY(QVDOC_FILENO(stderr)) != 0) {}

Progress::~Progress() {
    clear();
}

void Progress::bytes(const std::string& what, std::uint64_t done, std::uint64_t total) {
    char line[160];
    std::snprintf(line, sizeof line, "%s: %.1f of %.1f MiB", what.c_str(), done / kMebibyte,
                  total / kMebibyte);
    show(line, done == total);
}

void Progress::items(const std::string& what, std::uint64_t done, std::uint64_t total) {
    show(what + ": " + std::to_string(done) + " of " + std::to_string(total), done == total);
}

void Progress::clear() {
    if (!shown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

void Progress::show(const std::string& line, bool force) {
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last_ < kRefreshInterval)
        return;
    last_ = now;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    shown_ = true;
}

} // namespace qvdoc
