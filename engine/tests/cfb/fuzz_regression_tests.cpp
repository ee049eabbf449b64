// Replays the fuzz targets' seeds (each a valid file) and every input they once found
// failing, through the same code the fuzz targets run.
#include "tool_support.h"

#include "fuzz/cfb_sequence.h"
#include "fuzz/cfb_walk.h"

#include <chrono>
#include <filesystem>

namespace engine::cfb::testing {
namespace {

namespace fs = std::filesystem;

const fs::path fuzzFolder = CFB_FUZZ_FOLDER;

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
            if (folder == std::string("seeds")) {
                MemoryByteArray seed(bytes);
                expectValidFile(seed);
            }
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

} // namespace
} // namespace engine::cfb::testing
