// Files past 2 and 4 GiB, held in a sparse in-memory array: version 4 files use 64-bit
// offsets throughout and never allocate the range-lock sector; version 3 files refuse to
// grow past 2 GiB.
#include "test_support.h"

#include "cfb/allocation.h"
#include "cfb/format.h"

#include <cstring>
#include <map>

namespace engine::cfb::testing {
namespace {

// A byte array that stores only the blocks written to; everything else reads as zero.
class SparseByteArray final : public ByteArray {
public:
    Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                  std::size_t* read) override {
        *read = 0;
        if (offset >= size_)
            return Status::ok;
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (std::size_t done = 0; done < count;) {
            const std::uint64_t at = offset + done;
            const std::size_t within = static_cast<std::size_t>(at % blockSize);
            const std::size_t length = std::min(count - done, blockSize - within);
            const auto block = blocks_.find(at / blockSize);
            if (block == blocks_.end())
                std::memset(out + done, 0, length);
            else
                std::memcpy(out + done, block->second.data() + within, length);
            done += length;
        }
        *read = count;
        return Status::ok;
    }
    Status writeAt(std::uint64_t offset, const void* buffer, std::size_t count) override {
        const auto* in = static_cast<const std::uint8_t*>(buffer);
        for (std::size_t done = 0; done < count;) {
            const std::uint64_t at = offset + done;
            const std::size_t within = static_cast<std::size_t>(at % blockSize);
            const std::size_t length = std::min(count - done, blockSize - within);
            auto& block = blocks_[at / blockSize];
            block.resize(blockSize);
            std::memcpy(block.data() + within, in + done, length);
            done += length;
        }
        size_ = std::max(size_, offset + count);
        return Status::ok;
    }
    Status size(std::uint64_t* size) override {
        *size = size_;
        return Status::ok;
    }
    Status setSize(std::uint64_t size) override {
        size_ = size;
        return Status::ok;
    }
    Status flush() override { return Status::ok; }

private:
    static constexpr std::size_t blockSize = 64 * 1024;
    std::map<std::uint64_t, std::vector<std::uint8_t>> blocks_;
    std::uint64_t size_ = 0;
};

constexpr std::uint64_t gibibyte = 1ull << 30;

// A new file on a sparse array, holding an empty stream "Big".
struct SparseDocument {
    explicit SparseDocument(Version version) {
        EXPECT_OK(CompoundFile::create(bytes, version, &file));
        EXPECT_OK(file->root().createStream(u"Big", &big));
    }
    std::shared_ptr<SparseByteArray> bytes = std::make_shared<SparseByteArray>();
    std::unique_ptr<CompoundFile> file;
    Stream big;
};

TEST(LargeFileTest, Version4FilesGrowPastFourGibibytes) {
    SparseDocument document(Version::v4);
    auto& [bytes, file, big] = document;
    const std::uint64_t size = 4 * gibibyte + gibibyte / 2;
    ASSERT_OK(big.setSize(size));
    const std::uint64_t markers[] = {0, 2 * gibibyte - 100, 4 * gibibyte + 12345, size - 8};
    for (std::uint64_t offset : markers) {
        const auto marker = pattern(8, static_cast<std::uint32_t>(offset % 1000));
        ASSERT_OK(big.writeAt(offset, marker.data(), marker.size()));
    }
    Stream small;
    ASSERT_OK(file->root().createStream(u"Small", &small));
    ASSERT_OK(small.writeAt(0, "small", 5));
    ASSERT_OK(file->commit());
    expectValidFile(*bytes);

    std::uint64_t fileSize = 0;
    ASSERT_OK(bytes->size(&fileSize));
    EXPECT_GT(fileSize, size);
    ASSERT_OK(CompoundFile::open(bytes, OpenMode::readOnly, &file));
    ASSERT_OK(file->root().openStream(u"Big", &big));
    std::uint64_t readSize = 0;
    ASSERT_OK(big.size(&readSize));
    EXPECT_EQ(readSize, size);
    for (std::uint64_t offset : markers) {
        SCOPED_TRACE(offset);
        std::vector<std::uint8_t> marker(8);
        std::size_t read = 0;
        ASSERT_OK(big.readAt(offset, marker.data(), marker.size(), &read));
        EXPECT_EQ(marker, pattern(8, static_cast<std::uint32_t>(offset % 1000)));
    }
    // The range-lock sector (file offsets 0x7FFFFF00..0x7FFFFFFF) is marked end-of-chain and
    // kept out of every chain: the validator above has checked that no chain uses it and that
    // the DIFAT locates every FAT sector, so the engine's FAT reader can tell its mark.
    std::uint8_t headerBytes[headerSize];
    std::size_t read = 0;
    ASSERT_OK(bytes->readAt(0, headerBytes, headerSize, &read));
    Header header;
    ASSERT_OK(parseHeader(headerBytes, &header));
    SectorFile sectors(bytes, 4096);
    Fat fat(sectors);
    ASSERT_OK(fat.load(header, fileSize / 4096 - 1));
    std::uint32_t mark = freeSector;
    ASSERT_OK(fat.next(rangeLockFirstByte / 4096 - 1, &mark));
    EXPECT_EQ(mark, endOfChain);
}

TEST(LargeFileTest, Version3FilesRefuseToGrowPastTwoGibibytes) {
    SparseDocument document(Version::v3);
    auto& [bytes, file, big] = document;
    EXPECT_EQ(big.setSize(2 * gibibyte), Status::docfileTooLarge);
    // Just below 2 GiB of data, the FAT itself no longer fits below the range-lock sector.
    EXPECT_EQ(big.setSize(2 * gibibyte - (1 << 20)), Status::docfileTooLarge);
    ASSERT_OK(file->revert());
    ASSERT_OK(file->root().createStream(u"Big", &big));
    ASSERT_OK(big.setSize(100000));
    ASSERT_OK(file->commit());
    expectValidFile(*bytes);
}

} // namespace
} // namespace engine::cfb::testing
