// Chains mapped as runs of consecutive sectors, over a table of links held by the test.
#include "test_support.h"

#include "cfb/allocation.h"

namespace engine::cfb::testing {
namespace {

// A FAT held in a vector: entry i is the sector after sector i.
class VectorLinks final : public ChainLinks {
public:
    explicit VectorLinks(std::vector<std::uint32_t> entries) : entries_(std::move(entries)) {}

    Status next(std::uint32_t sector, std::uint32_t* next) override {
        ++lookups;
        *next = entries_.at(sector);
        return Status::ok;
    }
    Status setNext(std::uint32_t sector, std::uint32_t next) override {
        entries_.at(sector) = next;
        return Status::ok;
    }
    Status allocate(std::uint32_t* sector) override {
        *sector = static_cast<std::uint32_t>(entries_.size());
        entries_.push_back(endOfChain);
        return Status::ok;
    }
    Status release(std::uint32_t sector) override { return setNext(sector, freeSector); }
    std::uint32_t sectorLimit() const override {
        return static_cast<std::uint32_t>(entries_.size());
    }
    const char* tableName() const override { return "test table"; }

    int lookups = 0;

private:
    std::vector<std::uint32_t> entries_;
};

constexpr std::uint32_t E = endOfChain;

std::vector<std::pair<std::uint32_t, std::uint32_t>> runsOf(const ChainMap& chain) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    for (const Run& run : chain.runs())
        runs.emplace_back(run.first, run.count);
    return runs;
}

TEST(ChainMapTest, MapsConsecutiveSectorsAsRuns) {
    //                         0  1  2  3  4  5  6  7
    VectorLinks links({1, 2, 6, E, 3, E, 7, 4});
    ChainMap chain(0);
    ASSERT_OK(chain.mapAll(links));
    EXPECT_TRUE(chain.complete());
    EXPECT_EQ(chain.mappedCount(), 7u);
    using Runs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    EXPECT_EQ(runsOf(chain), (Runs{{0, 3}, {6, 2}, {4, 1}, {3, 1}}));
    const std::uint32_t expected[] = {0, 1, 2, 6, 7, 4, 3};
    for (std::uint64_t position = 0; position < 7; ++position)
        EXPECT_EQ(chain.sectorAt(position), expected[position]);
}

TEST(ChainMapTest, WalksOnlyAsFarAsNeededAndNeverTwice) {
    std::vector<std::uint32_t> entries(1000);
    for (std::uint32_t i = 0; i < 999; ++i)
        entries[i] = i + 1;
    entries[999] = E;
    VectorLinks links(entries);
    ChainMap chain(0);
    ASSERT_OK(chain.mapUpTo(links, 1)); // the first sector needs no lookup
    EXPECT_EQ(links.lookups, 0);
    ASSERT_OK(chain.mapUpTo(links, 10));
    EXPECT_EQ(links.lookups, 9);
    ASSERT_OK(chain.mapUpTo(links, 5));
    EXPECT_EQ(links.lookups, 9);
    ASSERT_OK(chain.mapUpTo(links, 1000));
    EXPECT_EQ(links.lookups, 999);
    EXPECT_FALSE(chain.complete());
    ASSERT_OK(chain.mapAll(links));
    EXPECT_EQ(links.lookups, 1000);
    EXPECT_TRUE(chain.complete());
    EXPECT_EQ(chain.runs().size(), 1u);
}

TEST(ChainMapTest, RefusesBrokenChains) {
    const std::tuple<const char*, std::vector<std::uint32_t>, std::uint32_t> cases[] = {
        {"loop to the start", {1, 2, 0}, 0},
        {"loop in the middle", {1, 2, 3, 1}, 0},
        {"self loop", {0}, 0},
        {"link past the end", {1, 9}, 0},
        {"first sector past the end", {E}, 5},
        {"free sector inside", {1, freeSector}, 0},
        {"FAT mark inside", {fatSectorMark}, 0},
    };
    for (const auto& [label, entries, first] : cases) {
        SCOPED_TRACE(label);
        VectorLinks links(entries);
        ChainMap chain(first);
        EXPECT_EQ(chain.mapAll(links), Status::docfileCorrupt);
        EXPECT_FALSE(lastFailureMessage().empty());
    }
}

TEST(ChainMapTest, ReplaceSplitsAndMergesRuns) {
    VectorLinks links({1, 2, 3, E, E, E, E});
    ChainMap chain(0);
    ASSERT_OK(chain.mapAll(links));
    using Runs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    chain.replace(1, 5);
    EXPECT_EQ(runsOf(chain), (Runs{{0, 1}, {5, 1}, {2, 2}}));
    chain.replace(2, 6);
    EXPECT_EQ(runsOf(chain), (Runs{{0, 1}, {5, 2}, {3, 1}}));
    chain.replace(0, 4);
    EXPECT_EQ(runsOf(chain), (Runs{{4, 3}, {3, 1}}));
    EXPECT_EQ(chain.firstSector(), 4u);
    EXPECT_EQ(chain.sectorAt(3), 3u);
    chain.truncate(2);
    EXPECT_EQ(runsOf(chain), (Runs{{4, 2}}));
    chain.append(6);
    chain.append(9);
    EXPECT_EQ(runsOf(chain), (Runs{{4, 3}, {9, 1}}));
    EXPECT_EQ(chain.mappedCount(), 4u);
}

// A FAT page inside one run keeps no entries; every change to such a page, and reading it
// back from the file, must give the same links as a page that keeps them.
TEST(FatTest, PagesInsideOneRunKeepTheirLinksThroughChanges) {
    auto bytes = std::make_shared<MemoryByteArray>();
    SectorFile file(bytes, sectorSizeOf(Version::v3)); // 128 entries a page
    ASSERT_OK(file.initialize());
    Fat fat(file);
    fat.createEmpty();
    constexpr std::uint32_t length = 1000;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    ASSERT_OK(fat.allocateRun(endOfChain, length, &first, &count));
    ASSERT_EQ(first, 0u);
    ASSERT_EQ(count, length);
    const auto expectChain = [](Fat& fat, std::uint32_t cut) {
        for (std::uint32_t sector = 0; sector < length; ++sector) {
            std::uint32_t next = 0;
            ASSERT_OK(fat.next(sector, &next));
            ASSERT_EQ(next, sector + 1 == length || sector == cut ? E : sector + 1) << sector;
        }
        std::uint32_t runLength = 0;
        std::uint32_t after = 0;
        ASSERT_OK(fat.nextRun(0, length, &runLength, &after));
        EXPECT_EQ(runLength, std::min(cut, length - 1) + 1);
        EXPECT_EQ(after, E);
    };
    expectChain(fat, length);
    ASSERT_OK(fat.setNext(300, E)); // in the middle of a page inside the run
    expectChain(fat, 300);
    ASSERT_OK(fat.setNext(300, 301));
    expectChain(fat, length);
    ASSERT_OK(fat.setNext(383, E)); // the last entry of a page
    expectChain(fat, 383);

    Header header;
    ASSERT_OK(fat.writeForCommit(&header));
    fat.markCommitted();
    ASSERT_OK(file.flush());
    Fat reread(file);
    ASSERT_OK(reread.load(header, fat.sectorCount()));
    expectChain(reread, 383);
}

} // namespace
} // namespace engine::cfb::testing
