// How the engine reaches its ByteArray: opening reads a few sectors whatever the file's size,
// small writes reach it as a few large writes, and a stream's chain is walked only once.
#include "test_support.h"

#include "cfb/names.h"

namespace engine::cfb::testing {
namespace {

// Counts the calls and bytes that reach a memory array.
class CountingByteArray final : public ForwardingByteArray {
public:
    using ForwardingByteArray::ForwardingByteArray;
    Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                  std::size_t* read) override {
        ++reads;
        bytesRead += count;
        return ForwardingByteArray::readAt(offset, buffer, count, read);
    }
    Status writeAt(std::uint64_t offset, const void* buffer, std::size_t count) override {
        ++writes;
        return ForwardingByteArray::writeAt(offset, buffer, count);
    }

    std::uint64_t reads = 0;
    std::uint64_t bytesRead = 0;
    std::uint64_t writes = 0;
};

// A document with a stream of `bigSize` bytes and `smallStreams` streams of 4 bytes.
std::shared_ptr<MemoryByteArray> documentWith(Version version, std::size_t bigSize,
                                              int smallStreams) {
    auto bytes = std::make_shared<MemoryByteArray>();
    std::unique_ptr<CompoundFile> file;
    EXPECT_OK(CompoundFile::create(bytes, version, &file));
    Stream big;
    EXPECT_OK(file->root().createStream(u"Big", &big));
    EXPECT_OK(big.setSize(bigSize));
    for (int i = 0; i < smallStreams; ++i) {
        Stream small;
        EXPECT_OK(file->root().createStream(
            i == 0 ? u"Small" : u"Small" + std::u16string(1, u'0' + i), &small));
        EXPECT_OK(small.writeAt(0, "four", 4));
    }
    EXPECT_OK(file->commit());
    return bytes;
}

// A document with its stream "Big" of `bigSize` bytes open, through a counting array.
struct CountedDocument {
    CountedDocument(std::size_t bigSize, OpenMode mode)
        : counting(std::make_shared<CountingByteArray>(documentWith(Version::v3, bigSize, 1))) {
        EXPECT_OK(CompoundFile::open(counting, mode, &file));
        EXPECT_OK(file->root().openStream(u"Big", &big));
    }
    std::shared_ptr<CountingByteArray> counting;
    std::unique_ptr<CompoundFile> file;
    Stream big;
};

struct OpenCost {
    std::uint64_t reads = 0;
    std::uint64_t bytes = 0;
};

// What it costs to open a document and read 4 bytes of "Small" and of "Big".
OpenCost costToOpen(Version version, std::size_t bigSize, int smallStreams) {
    auto counting =
        std::make_shared<CountingByteArray>(documentWith(version, bigSize, smallStreams));
    std::unique_ptr<CompoundFile> file;
    EXPECT_OK(CompoundFile::open(counting, OpenMode::readOnly, &file));
    for (const char16_t* name : {u"Small", u"Big"}) {
        Stream stream;
        EXPECT_OK(file->root().openStream(name, &stream));
        char four[4];
        std::size_t read = 0;
        EXPECT_OK(stream.readAt(0, four, 4, &read));
        EXPECT_EQ(read, 4u);
    }
    return {counting->reads, counting->bytesRead};
}

TEST(AccessTest, OpeningReadsAFewSectorsWhateverTheSize) {
    // With a one-sector directory neither the DIFAT (past 7 MiB in the version 3 file) nor the
    // FAT sectors of the directory and mini FAT (after the data) are read: each structure
    // needed lies in the first sector of its chain. A second directory sector needs its FAT
    // page, which only the DIFAT locates: one read more, of the DIFAT and that page alone.
    // clang-format off
    const std::tuple<const char*, Version, std::size_t, int, std::uint64_t, std::uint64_t> cases[] = {
        {"v3 32 MiB", Version::v3, 32 << 20, 1, 0, 0},
        {"v4 256 MiB", Version::v4, 256 << 20, 1, 0, 0},
        {"v3 32 MiB, two directory sectors", Version::v3, 32 << 20, 5, 1, 4 * 512},
    };
    // clang-format on
    for (const auto& [label, version, bigSize, smallStreams, moreReads, moreBytes] : cases) {
        SCOPED_TRACE(label);
        const OpenCost small = costToOpen(version, 64 << 10, smallStreams);
        const OpenCost large = costToOpen(version, bigSize, smallStreams);
        EXPECT_LE(small.bytes, 8u * sectorSizeOf(version));
        EXPECT_EQ(large.reads, small.reads + moreReads);
        EXPECT_LE(large.bytes, small.bytes + moreBytes);
        if (moreReads == 0) {
            EXPECT_EQ(large.bytes, small.bytes);
        }
    }
}

TEST(AccessTest, SmallWritesReachTheArrayAsFewLargeOnes) {
    for (Version version : {Version::v3, Version::v4}) {
        SCOPED_TRACE(versionName(version));
        auto counting = std::make_shared<CountingByteArray>(std::make_shared<MemoryByteArray>());
        std::unique_ptr<CompoundFile> file;
        ASSERT_OK(CompoundFile::create(counting, version, &file));
        counting->writes = 0;
        Stream stream;
        ASSERT_OK(file->root().createStream(u"Data", &stream));
        const auto kibibyte = pattern(1024);
        constexpr int calls = 8 * 1024; // 8 MiB
        std::size_t written = 0;
        for (int i = 0; i < calls; ++i)
            ASSERT_OK(stream.write(kibibyte.data(), kibibyte.size(), &written));
        EXPECT_LE(counting->writes, 9u);
        ASSERT_OK(file->commit());
        EXPECT_LE(counting->writes, 20u);
    }
}

// A stream written a piece per commit, beside a small stream that changes too, stays in one
// run of consecutive sectors per commit: reading it whole takes one read per run.
TEST(AccessTest, AStreamGrownAcrossCommitsStaysInLongRuns) {
    auto counting = std::make_shared<CountingByteArray>(std::make_shared<MemoryByteArray>());
    std::unique_ptr<CompoundFile> file;
    ASSERT_OK(CompoundFile::create(counting, Version::v3, &file));
    Stream big;
    Stream small;
    ASSERT_OK(file->root().createStream(u"Big", &big));
    ASSERT_OK(file->root().createStream(u"Small", &small));
    constexpr int commits = 20;
    const auto piece = pattern(100000);
    std::size_t written = 0;
    for (int i = 0; i < commits; ++i) {
        ASSERT_OK(big.write(piece.data(), piece.size(), &written));
        ASSERT_OK(small.write("more", 4, &written));
        ASSERT_OK(file->commit());
    }
    std::vector<std::uint8_t> whole(commits * piece.size());
    std::size_t read = 0;
    const std::uint64_t readsBefore = counting->reads;
    ASSERT_OK(big.readAt(0, whole.data(), whole.size(), &read));
    ASSERT_EQ(read, whole.size());
    EXPECT_LE(counting->reads - readsBefore, std::uint64_t{commits} + 8); // and a few FAT reads
}

// The FAT sectors of a long chain lie side by side: reading the stream through reads them a
// few dozen at a time, between the reads of the data, not one sector per read.
TEST(AccessTest, ReadingALongStreamReadsItsFatInLargePieces) {
    constexpr std::size_t size = 8 << 20; // 128 FAT sectors of 512 bytes
    CountedDocument document(size, OpenMode::readOnly);
    auto& [counting, file, big] = document;
    const std::uint64_t readsToOpen = counting->reads;
    std::vector<std::uint8_t> buffer(1 << 20);
    for (std::size_t done = 0; done < size; done += buffer.size()) {
        std::size_t read = 0;
        ASSERT_OK(big.read(buffer.data(), buffer.size(), &read));
        ASSERT_EQ(read, buffer.size());
    }
    const std::uint64_t dataReads = size / buffer.size();
    EXPECT_LE(counting->reads - readsToOpen, dataReads + 4);
}

TEST(AccessTest, RandomReadsWalkTheChainOnce) {
    CountedDocument document(8 << 20, OpenMode::readOnly);
    auto& [counting, file, big] = document;
    char byte = 0;
    std::size_t read = 0;
    ASSERT_OK(big.readAt((8 << 20) - 1, &byte, 1, &read)); // maps the whole chain
    const std::uint64_t readsAfterMapping = counting->reads;
    const std::uint64_t bytesAfterMapping = counting->bytesRead;
    std::uint64_t offset = 12345;
    for (int i = 0; i < 1000; ++i) {
        offset = (offset * 2654435761u + 97) % (8 << 20);
        ASSERT_OK(big.readAt(offset, &byte, 1, &read));
    }
    // Only the data is read again: at most one sector per access, no FAT sector.
    EXPECT_LE(counting->reads - readsAfterMapping, 1000u);
    EXPECT_LE(counting->bytesRead - bytesAfterMapping, 1000u * 512);
}

TEST(AccessTest, CommittingWithoutChangesWritesNothing) {
    CountedDocument document(10000, OpenMode::readWrite);
    auto& [counting, file, stream] = document;
    char byte = 0;
    std::size_t read = 0;
    ASSERT_OK(stream.readAt(5000, &byte, 1, &read));
    ASSERT_OK(file->commit());
    EXPECT_EQ(counting->writes, 0u);
    ASSERT_OK(file->root().setStateBits(1, 1));
    ASSERT_OK(file->commit());
    EXPECT_GT(counting->writes, 0u);
}

} // namespace
} // namespace engine::cfb::testing
