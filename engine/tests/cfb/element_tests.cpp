// The element tree: storages and streams created, written, reopened, renamed, deleted,
// copied and reverted, in version 3 and version 4 files. Every file written is checked by
// the strict validator.
#include "test_support.h"

#include "cfb/names.h"

#include <functional>
#include <map>

namespace engine::cfb::testing {
namespace {

class ElementTest : public ::testing::TestWithParam<Version> {
protected:
    void SetUp() override {
        bytes_ = std::make_shared<MemoryByteArray>();
        ASSERT_OK(CompoundFile::create(bytes_, GetParam(), &file_));
        root_ = file_->root();
    }

    void commitAndCheck() {
        ASSERT_OK(file_->commit());
        expectValidFile(*bytes_);
    }

    // Reopens the committed bytes as a new file object.
    void reopen(OpenMode mode = OpenMode::readWrite) {
        file_.reset();
        ASSERT_OK(CompoundFile::open(bytes_, mode, &file_));
        root_ = file_->root();
    }

    static void writeStream(Storage& storage, const std::u16string& name,
                            const std::vector<std::uint8_t>& bytes) {
        ASSERT_OK(testing::writeStream(storage, name, bytes));
    }

    std::vector<std::uint8_t> readStream(Storage& storage, const std::u16string& name) {
        Stream stream = open(storage, name);
        return readWholeStream(stream);
    }

    static Stream open(Storage& storage, const std::u16string& name) {
        Stream stream;
        EXPECT_OK(storage.openStream(name, &stream));
        return stream;
    }

    static std::vector<std::u16string> childNames(Storage& storage) {
        std::vector<ElementStat> children;
        EXPECT_OK(storage.list(&children));
        std::vector<std::u16string> names;
        for (const auto& child : children)
            names.push_back(child.name);
        return names;
    }

    std::shared_ptr<MemoryByteArray> bytes_;
    std::unique_ptr<CompoundFile> file_;
    Storage root_;
};

INSTANTIATE_TEST_SUITE_P(Versions, ElementTest, ::testing::Values(Version::v3, Version::v4),
                         [](const auto& info) { return versionName(info.param); });

// Sizes around the mini sector, the regular sectors and the mini-stream cut-off.
const std::vector<std::size_t> boundarySizes = {0,   1,    63,   64,   65,   511,  512,
                                                513, 4095, 4096, 4097, 8191, 8192, 70000};

// The name of the stream or storage numbered `number`.
std::u16string nameOf(const char* prefix, std::size_t number) {
    return fromUtf8(prefix + std::to_string(number));
}

TEST_P(ElementTest, StreamsOfBoundarySizesSurviveCommitAndReopen) {
    for (std::uint32_t i = 0; i < boundarySizes.size(); ++i)
        writeStream(root_, nameOf("s", boundarySizes[i]), pattern(boundarySizes[i], i));
    commitAndCheck();
    reopen(OpenMode::readOnly);
    for (std::uint32_t i = 0; i < boundarySizes.size(); ++i)
        EXPECT_EQ(readStream(root_, nameOf("s", boundarySizes[i])), pattern(boundarySizes[i], i))
            << boundarySizes[i];
}

enum class Growth {
    setSize,
    writeLastByte, // a write past the end leaves a gap before it
    shrinkFirst,   // to half the size, then grows from there
};

// Resizing keeps the bytes both sizes share, in place and across the cut-off; the bytes a
// stream grows by read as zeros, even where they land in sectors a deleted stream left
// full of its data.
TEST_P(ElementTest, ResizingKeepsTheCommonPrefixAndGrowsByZeros) {
    // clang-format off
    const std::tuple<const char*, std::size_t, std::size_t, Growth> cases[] = {
        {"mini grows within mini", 100, 3000, Growth::setSize},
        {"mini grows by a later write", 100, 3000, Growth::writeLastByte},
        {"mini grows to regular", 100, 5000, Growth::setSize},
        {"mini grows to exactly cut-off", 4095, 4096, Growth::setSize},
        {"regular shrinks to mini", 9000, 1000, Growth::setSize},
        {"regular shrinks to 4095", 4096, 4095, Growth::setSize},
        {"regular grows", 5000, 200000, Growth::setSize},
        {"regular grows by a later write", 5000, 200000, Growth::writeLastByte},
        {"regular shrinks, then grows", 9000, 9000, Growth::shrinkFirst},
        {"regular shrinks", 200000, 5000, Growth::setSize},
        {"shrinks to empty", 9000, 0, Growth::setSize},
        {"grows from empty", 0, 10000, Growth::setSize},
    };
    // clang-format on
    for (const auto& [label, from, to, how] : cases) {
        SCOPED_TRACE(label);
        const std::u16string name = fromUtf8(label).substr(0, 31);
        writeStream(root_, name, pattern(from, 3));
        // Streams after it, deleted again, leave their data in free sectors that the stream
        // grows into.
        writeStream(root_, u"regular filler", std::vector<std::uint8_t>(300000, 0xEE));
        writeStream(root_, u"mini filler", std::vector<std::uint8_t>(3000, 0xEE));
        commitAndCheck();
        ASSERT_OK(root_.remove(u"regular filler"));
        ASSERT_OK(root_.remove(u"mini filler"));
        commitAndCheck();
        Stream stream = open(root_, name);
        std::size_t kept = std::min(from, to);
        if (how == Growth::shrinkFirst) {
            kept = from / 2;
            ASSERT_OK(stream.setSize(kept));
        }
        if (how == Growth::writeLastByte)
            ASSERT_OK(stream.writeAt(to - 1, "\x01", 1));
        else
            ASSERT_OK(stream.setSize(to));
        commitAndCheck();
        reopen();
        auto expected = pattern(from, 3);
        expected.resize(kept);
        expected.resize(to, 0);
        if (how == Growth::writeLastByte)
            expected.back() = 1;
        EXPECT_EQ(readStream(root_, name), expected);
        ASSERT_OK(root_.remove(name));
    }
    commitAndCheck();
}

TEST_P(ElementTest, OverwritingCommittedDataKeepsTheRest) {
    auto expected = pattern(50000, 9);
    writeStream(root_, u"data", expected);
    writeStream(root_, u"small", pattern(3000, 1));
    commitAndCheck();
    Stream stream = open(root_, u"data");
    const std::pair<std::size_t, std::size_t> patches[] = {
        {0, 1}, {511, 2}, {4000, 5000}, {49990, 10}, {49999, 100}}; // offset, size
    for (const auto& [offset, size] : patches) {
        const auto bytes = pattern(size, 77);
        ASSERT_OK(stream.writeAt(offset, bytes.data(), bytes.size()));
        expected.resize(std::max(expected.size(), offset + size));
        std::copy(bytes.begin(), bytes.end(), expected.begin() + offset);
    }
    ASSERT_OK(open(root_, u"small").writeAt(10, "xyz", 3));
    EXPECT_EQ(readWholeStream(stream), expected);
    commitAndCheck();
    reopen();
    EXPECT_EQ(readStream(root_, u"data"), expected);
    auto smallExpected = pattern(3000, 1);
    std::copy_n("xyz", 3, smallExpected.begin() + 10);
    EXPECT_EQ(readStream(root_, u"small"), smallExpected);
}

TEST_P(ElementTest, TheSameStreamOpenedTwiceSharesItsBytes) {
    Stream first;
    Stream second;
    ASSERT_OK(root_.createStream(u"shared", &first));
    ASSERT_OK(root_.openStream(u"shared", &second));
    const auto bytes = pattern(6000);
    std::size_t written = 0;
    ASSERT_OK(first.write(bytes.data(), bytes.size(), &written));
    EXPECT_EQ(readWholeStream(second), bytes);
    ASSERT_OK(second.setSize(10));
    std::uint64_t size = 0;
    ASSERT_OK(first.size(&size));
    EXPECT_EQ(size, 10u);
    std::uint64_t position = 0;
    ASSERT_OK(first.seek(0, SeekOrigin::current, &position));
    EXPECT_EQ(position, 6000u) << "each handle keeps its own position";
}

TEST_P(ElementTest, SeekMovesFromEachOrigin) {
    writeStream(root_, u"s", pattern(100));
    Stream stream = open(root_, u"s");
    // clang-format off
    const std::tuple<const char*, std::int64_t, SeekOrigin, Status, std::uint64_t> cases[] = {
        {"from the start", 10, SeekOrigin::begin, Status::ok, 10},
        {"forward from current", 5, SeekOrigin::current, Status::ok, 15},
        {"back from the end", -1, SeekOrigin::end, Status::ok, 99},
        {"past the end", 50, SeekOrigin::end, Status::ok, 150},
        {"before the start", -200, SeekOrigin::current, Status::invalidFunction, 150},
    };
    // clang-format on
    for (const auto& [label, offset, origin, status, expected] : cases) {
        SCOPED_TRACE(label);
        std::uint64_t position = 0;
        EXPECT_EQ(stream.seek(offset, origin, &position), status);
        ASSERT_OK(stream.seek(0, SeekOrigin::current, &position));
        EXPECT_EQ(position, expected);
    }
    std::uint8_t byte = 0;
    std::size_t read = 1;
    ASSERT_OK(stream.read(&byte, 1, &read));
    EXPECT_EQ(read, 0u) << "reading past the end gives nothing";
}

TEST_P(ElementTest, OperationsReportTheirFailures) {
    Storage child;
    ASSERT_OK(root_.createStorage(u"Folder", &child));
    writeStream(root_, u"Stream", pattern(10));
    Stream stream;
    Storage storage;
    // clang-format off
    const std::tuple<const char*, std::function<Status()>, Status> cases[] = {
        {"open missing stream", [&] { return root_.openStream(u"nothing", &stream); }, Status::fileNotFound},
        {"open storage as stream", [&] { return root_.openStream(u"Folder", &stream); }, Status::fileNotFound},
        {"open stream as storage", [&] { return root_.openStorage(u"Stream", &storage); }, Status::fileNotFound},
        {"create existing name", [&] { return root_.createStream(u"Stream", &stream); }, Status::fileAlreadyExists},
        {"create same name other case", [&] { return root_.createStorage(u"STREAM", &storage); }, Status::fileAlreadyExists},
        {"invalid name (names_tests has them all)", [&] { return root_.createStream(u"a/b", &stream); }, Status::invalidName},
        {"remove missing", [&] { return root_.remove(u"nothing"); }, Status::fileNotFound},
        {"rename onto existing", [&] { return root_.rename(u"Stream", u"folder"); }, Status::fileAlreadyExists},
        {"rename missing", [&] { return root_.rename(u"nothing", u"x"); }, Status::fileNotFound},
        {"rename to bad name", [&] { return root_.rename(u"Stream", u"x:y"); }, Status::invalidName},
        {"copy storage into itself", [&] { return root_.copyElementTo(u"Folder", child, u"Again"); }, Status::accessDenied},
    };
    // clang-format on
    for (const auto& [label, action, expected] : cases) {
        SCOPED_TRACE(label);
        EXPECT_EQ(action(), expected);
    }
    ASSERT_OK(root_.createStream(std::u16string(31, u'a'), &stream));
}

TEST_P(ElementTest, ReadOnlyFilesRefuseEveryChange) {
    writeStream(root_, u"Stream", pattern(10));
    commitAndCheck();
    reopen(OpenMode::readOnly);
    Stream stream = open(root_, u"Stream");
    Storage storage;
    Stream created;
    std::size_t written = 0;
    // clang-format off
    const std::tuple<const char*, std::function<Status()>> changes[] = {
        {"write", [&] { return stream.write("x", 1, &written); }},
        {"set size", [&] { return stream.setSize(0); }},
        {"create stream", [&] { return root_.createStream(u"new", &created); }},
        {"create storage", [&] { return root_.createStorage(u"new", &storage); }},
        {"remove", [&] { return root_.remove(u"Stream"); }},
        {"rename", [&] { return root_.rename(u"Stream", u"Other"); }},
        {"set class", [&] { return root_.setClass(Clsid{1}); }},
        {"set state bits", [&] { return root_.setStateBits(1, 1); }},
        {"set times", [&] { return root_.setChildTimes(u"Stream", 1, 2); }},
        {"commit", [&] { return file_->commit(); }},
    };
    // clang-format on
    for (const auto& [label, action] : changes) {
        SCOPED_TRACE(label);
        EXPECT_EQ(action(), Status::accessDenied);
    }
    EXPECT_EQ(readWholeStream(stream), pattern(10));
}

TEST_P(ElementTest, AttributesSurviveCommit) {
    Storage child;
    ASSERT_OK(root_.createStorage(u"Child", &child));
    const Clsid clsid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ASSERT_OK(child.setClass(clsid));
    ASSERT_OK(child.setStateBits(0xF0F0, 0xFF00));
    ASSERT_OK(root_.setChildTimes(u"Child", 0x01D0000000000001ull, 0x01D0000000000002ull));
    ASSERT_OK(root_.setClass(clsid));
    commitAndCheck();
    reopen();
    const auto fields = [](const ElementStat& stat) {
        return std::tuple(stat.name, stat.type, stat.clsid, stat.stateBits, stat.creationTime,
                          stat.modifiedTime);
    };
    ElementStat stat;
    ASSERT_OK(root_.statChild(u"child", &stat));
    EXPECT_EQ(fields(stat), std::tuple(u"Child", ElementType::storage, clsid, 0xF000u,
                                       0x01D0000000000001ull, 0x01D0000000000002ull));
    ASSERT_OK(root_.stat(&stat));
    EXPECT_EQ(std::tuple(stat.type, stat.clsid), std::tuple(ElementType::root, clsid));
}

TEST_P(ElementTest, ListingFollowsTheDirectoryOrder) {
    for (const char16_t* name : {u"bb", u"a", u"B", u"ccc", u"\u00e9", u"Z"})
        writeStream(root_, name, {});
    EXPECT_EQ(childNames(root_),
              (std::vector<std::u16string>{u"a", u"B", u"Z", u"\u00e9", u"bb", u"ccc"}));
}

TEST_P(ElementTest, RenameAndDeleteChangeTheTree) {
    Storage folder;
    ASSERT_OK(root_.createStorage(u"Folder", &folder));
    Storage inner;
    ASSERT_OK(folder.createStorage(u"Inner", &inner));
    writeStream(inner, u"big", pattern(20000));
    writeStream(inner, u"small", pattern(200));
    writeStream(root_, u"keep", pattern(300));
    commitAndCheck();
    ASSERT_OK(root_.rename(u"keep", u"kept"));
    ASSERT_OK(root_.remove(u"Folder"));
    Stream stale;
    EXPECT_EQ(inner.openStream(u"big", &stale), Status::reverted);
    commitAndCheck();
    reopen();
    EXPECT_EQ(childNames(root_), std::vector<std::u16string>{u"kept"});
    EXPECT_EQ(readStream(root_, u"kept"), pattern(300));
}

TEST_P(ElementTest, RevertForgetsUncommittedChanges) {
    writeStream(root_, u"kept", pattern(5000));
    commitAndCheck();
    Stream kept = open(root_, u"kept");
    ASSERT_OK(kept.writeAt(0, "changed", 7));
    writeStream(root_, u"added", pattern(100));
    ASSERT_OK(file_->revert());
    std::vector<std::uint8_t> byte(1);
    std::size_t read = 0;
    EXPECT_EQ(kept.readAt(0, byte.data(), 1, &read), Status::reverted);
    EXPECT_EQ(readStream(root_, u"kept"), pattern(5000));
    Stream added;
    EXPECT_EQ(root_.openStream(u"added", &added), Status::fileNotFound);
    writeStream(root_, u"after", pattern(10));
    commitAndCheck();
}

// Until commit, another reader of the same bytes sees the committed state only, even after
// the changed data has reached the file.
TEST_P(ElementTest, OtherReadersSeeOnlyTheCommittedState) {
    writeStream(root_, u"kept", pattern(9000, 1));
    commitAndCheck();
    Stream kept = open(root_, u"kept");
    const auto changed = pattern(3 << 20, 2); // larger than any buffer: reaches the file
    ASSERT_OK(kept.writeAt(0, changed.data(), changed.size()));
    writeStream(root_, u"added", pattern(100, 3));
    auto snapshot = std::make_shared<MemoryByteArray>(bytes_->bytes());
    std::unique_ptr<CompoundFile> reader;
    ASSERT_OK(CompoundFile::open(snapshot, OpenMode::readOnly, &reader));
    Storage readerRoot = reader->root();
    EXPECT_EQ(readStream(readerRoot, u"kept"), pattern(9000, 1));
    Stream added;
    EXPECT_EQ(readerRoot.openStream(u"added", &added), Status::fileNotFound);
    commitAndCheck();
    snapshot = std::make_shared<MemoryByteArray>(bytes_->bytes());
    ASSERT_OK(CompoundFile::open(snapshot, OpenMode::readOnly, &reader));
    readerRoot = reader->root();
    EXPECT_EQ(readStream(readerRoot, u"kept"), changed);
    EXPECT_EQ(readStream(readerRoot, u"added"), pattern(100, 3));
}

TEST_P(ElementTest, RewritingManyTimesDoesNotGrowTheFile) {
    std::uint64_t sizeAfterSecond = 0;
    for (int round = 0; round < 12; ++round) {
        (void)root_.remove(u"data");
        writeStream(root_, u"data", pattern(30000 + round, round));
        writeStream(root_, nameOf("r", round), pattern(100, round));
        if (round > 0)
            ASSERT_OK(root_.remove(nameOf("r", round - 1)));
        commitAndCheck();
        if (round == 2)
            sizeAfterSecond = bytes_->bytes().size();
    }
    EXPECT_LE(bytes_->bytes().size(), sizeAfterSecond + 4 * sectorSizeOf(GetParam()));
    reopen();
    EXPECT_EQ(readStream(root_, u"data"), pattern(30011, 11));
}

TEST_P(ElementTest, ThousandsOfElementsAndDeepStoragesRoundTrip) {
    constexpr int streamCount = 3000;
    constexpr int depth = 150;
    const auto streamName = [](int i) {
        return nameOf("n", static_cast<std::size_t>(i * 7919 % 10007));
    };
    const auto streamData = [](int i) {
        return pattern(static_cast<std::size_t>(i % 5), i);
    };
    const auto levelData = [](int level) {
        return pattern(static_cast<std::size_t>(level * 50), level);
    };
    for (int i = 0; i < streamCount; ++i)
        writeStream(root_, streamName(i), streamData(i));
    Storage at = root_;
    for (int level = 0; level < depth; ++level) {
        Storage next;
        ASSERT_OK(at.createStorage(u"level", &next));
        writeStream(at, u"data", levelData(level));
        at = next;
    }
    commitAndCheck();
    reopen();
    EXPECT_EQ(childNames(root_).size(), static_cast<std::size_t>(streamCount + 2));
    for (int i = 0; i < streamCount; i += 97)
        EXPECT_EQ(readStream(root_, streamName(i)), streamData(i));
    at = root_;
    for (int level = 0; level < depth; ++level) {
        EXPECT_EQ(readStream(at, u"data"), levelData(level));
        Storage next;
        ASSERT_OK(at.openStorage(u"level", &next));
        at = next;
    }
    // Removing and renaming half of them leaves every other one findable by name.
    for (int i = 0; i < streamCount; i += 2)
        ASSERT_OK(root_.remove(streamName(i)));
    for (int i = 1; i < streamCount; i += 4)
        ASSERT_OK(root_.rename(streamName(i), u"N" + streamName(i).substr(1) + u"r"));
    for (int i = 0; i < streamCount; ++i) {
        Stream stream;
        ASSERT_EQ(root_.openStream(i % 4 == 1 ? streamName(i) + u"R" : streamName(i), &stream),
                  i % 2 == 0 ? Status::fileNotFound : Status::ok)
            << i;
    }
    commitAndCheck();
    reopen();
    EXPECT_EQ(childNames(root_).size(), static_cast<std::size_t>(streamCount / 2 + 2));
}

TEST_P(ElementTest, StoragesCopyRecursivelyIntoAnotherFile) {
    Storage folder;
    ASSERT_OK(root_.createStorage(u"Folder", &folder));
    ASSERT_OK(folder.setClass(Clsid{9}));
    Storage inner;
    ASSERT_OK(folder.createStorage(u"Inner", &inner));
    writeStream(inner, u"big", pattern(9000, 1));
    writeStream(folder, u"small", pattern(90, 2));
    ASSERT_OK(root_.setChildTimes(u"Folder", 11, 12));

    for (Version otherVersion : {Version::v3, Version::v4}) {
        SCOPED_TRACE(versionName(otherVersion));
        auto otherBytes = std::make_shared<MemoryByteArray>();
        std::unique_ptr<CompoundFile> other;
        ASSERT_OK(CompoundFile::create(otherBytes, otherVersion, &other));
        Storage otherRoot = other->root();
        writeStream(otherRoot, u"small", pattern(5)); // replaced by the copy of the root
        ASSERT_OK(root_.copyElementTo(u"Folder", otherRoot, u"Copy"));
        ASSERT_OK(root_.copyTo(otherRoot));
        ASSERT_OK(other->commit());
        expectValidFile(*otherBytes);
        for (const char16_t* name : {u"Copy", u"Folder"}) {
            Storage copy;
            ASSERT_OK(otherRoot.openStorage(name, &copy));
            ElementStat stat;
            ASSERT_OK(copy.stat(&stat));
            EXPECT_EQ(std::tuple(stat.clsid, stat.creationTime), std::tuple(Clsid{9}, 11ull));
            EXPECT_EQ(readStream(copy, u"small"), pattern(90, 2));
            Storage copiedInner;
            ASSERT_OK(copy.openStorage(u"Inner", &copiedInner));
            EXPECT_EQ(readStream(copiedInner, u"big"), pattern(9000, 1));
        }
    }
    commitAndCheck();
}

TEST_P(ElementTest, StreamCopyMovesBothPositions) {
    writeStream(root_, u"from", pattern(10000, 4));
    writeStream(root_, u"to", {});
    Stream from = open(root_, u"from");
    Stream to = open(root_, u"to");
    ASSERT_OK(from.seek(1000, SeekOrigin::begin, nullptr));
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    ASSERT_OK(from.copyTo(to, 20000, &read, &written));
    EXPECT_EQ(read, 9000u);
    EXPECT_EQ(written, 9000u);
    const auto expected = pattern(10000, 4);
    EXPECT_EQ(readWholeStream(to),
              std::vector<std::uint8_t>(expected.begin() + 1000, expected.end()));
    commitAndCheck();
}

} // namespace
} // namespace engine::cfb::testing
