// A damaged DIFAT sector is met only by the reads that need a FAT sector it lists: the file
// opens (its directory lies in FAT sectors that a later DIFAT sector lists), what the header
// locates stays readable, and the strict validator reports the damage.
#include "test_support.h"

#include "cfb/format.h"

namespace engine::cfb::testing {
namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::size_t kLargeSize = 16'500'000; // FAT sectors listed by two DIFAT sectors
constexpr std::uint32_t kPastTheEnd = 0x7FFFFFF0;

std::uint8_t* sectorAt(std::vector<std::uint8_t>& bytes, std::uint32_t sector) {
    return bytes.data() + (std::size_t{sector} + 1) * kSectorSize;
}

TEST(DifatTest, ADamagedDifatSectorFailsOnlyTheReadsThatNeedIt) {
    auto original = std::make_shared<MemoryByteArray>();
    {
        std::unique_ptr<CompoundFile> file;
        ASSERT_OK(CompoundFile::create(original, Version::v3, &file));
        Stream stream;
        ASSERT_OK(file->root().createStream(u"Large", &stream));
        const auto data = pattern(kLargeSize);
        ASSERT_OK(stream.writeAt(0, data.data(), data.size()));
        ASSERT_OK(file->commit());
    }
    std::vector<std::uint8_t> bytes = original->bytes();
    ASSERT_EQ(load32(bytes.data() + headerOffset::difatSectorCount), 2u);
    const std::uint32_t firstDifat = load32(bytes.data() + headerOffset::firstDifatSector);
    store32(sectorAt(bytes, firstDifat) + 4 * 100, kPastTheEnd); // locates FAT sector 209

    auto damaged = std::make_shared<MemoryByteArray>(bytes);
    std::unique_ptr<CompoundFile> file;
    ASSERT_OK(CompoundFile::open(damaged, OpenMode::readOnly, &file));
    Stream stream;
    ASSERT_OK(file->root().openStream(u"Large", &stream));
    // FAT sectors 0-108, which the header locates, cover the sectors below 13952.
    const std::size_t located = 4u << 20;
    std::vector<std::uint8_t> read(located);
    std::size_t got = 0;
    ASSERT_OK(stream.readAt(0, read.data(), read.size(), &got));
    EXPECT_EQ(read, pattern(located));
    std::uint8_t tail[4];
    EXPECT_EQ(stream.readAt(kLargeSize - 4, tail, 4, &got), Status::docfileCorrupt);
    EXPECT_NE(lastFailureMessage().find("FAT sector 209 is located at sector 2147483632"),
              std::string::npos)
        << lastFailureMessage();

    std::vector<std::string> problems;
    EXPECT_EQ(validateFile(*damaged, &problems), Status::docfileCorrupt);
    EXPECT_NE(lastFailureMessage().find("2147483632"), std::string::npos) << lastFailureMessage();
}

} // namespace
} // namespace engine::cfb::testing
