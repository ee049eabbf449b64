// Replays the fuzz targets' seeds and every input they once found failing, through the same
// code the fuzz targets run.
#include "test_support.h"

#include "fuzz/cfb_sequence.h"
#include "fuzz/cfb_walk.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace engine::cfb::testing {
namespace {

namespace fs = std::filesystem;

const fs::path fuzzFolder = CFB_FUZZ_FOLDER;

std::vector<std::uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzRegressionTest, EveryKeptInputRunsQuickly) {
    int inputs = 0;
    for (const char* folder : {"seeds", "regressions"}) {
        if (!fs::is_directory(fuzzFolder / folder))
            continue;
        for (const auto& entry : fs::directory_iterator(fuzzFolder / folder)) {
            SCOPED_TRACE(entry.path().string());
            const auto bytes = readFile(entry.path());
            const auto start = std::chrono::steady_clock::now();
            fuzz::exercise(bytes.data(), bytes.size());
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
            ++inputs;
        }
    }
    EXPECT_GE(inputs, 3);
}

// Operation sequences, each run against the in-memory model of the document.
TEST(FuzzRegressionTest, EveryKeptSequenceMatchesTheModel) {
    int inputs = 0;
    for (const auto& entry : fs::directory_iterator(fuzzFolder / "sequences")) {
        SCOPED_TRACE(entry.path().string());
        const auto bytes = readFile(entry.path());
        EXPECT_EQ(fuzz::runSequence(bytes.data(), bytes.size()), "");
        ++inputs;
    }
    EXPECT_GE(inputs, 4);
}

TEST(FuzzRegressionTest, SeedsAreValidFiles) {
    for (const auto& entry : fs::directory_iterator(fuzzFolder / "seeds")) {
        SCOPED_TRACE(entry.path().string());
        MemoryByteArray bytes(readFile(entry.path()));
        expectValidFile(bytes);
    }
}

} // namespace
} // namespace engine::cfb::testing
