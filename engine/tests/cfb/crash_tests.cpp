// Crash safety: an update whose writes fail, or silently stop reaching the file, after any
// number of calls leaves the file holding the old committed state or the new one, whole,
// and valid.
#include "tool_support.h"

#include "cfb/format.h"

#include <functional>

namespace engine::cfb::testing {
namespace {

enum class Breakdown {
    failing,    // every call from the Nth on reports writeFault
    silentStop, // every call from the Nth on reports success but changes nothing
};

// A memory array that breaks down after a number of writes, size changes and flushes.
class BreakingByteArray final : public ForwardingByteArray {
public:
    BreakingByteArray(std::shared_ptr<MemoryByteArray> target, std::size_t callsBeforeBreak,
                      Breakdown breakdown)
        : ForwardingByteArray(std::move(target)), callsLeft_(callsBeforeBreak),
          breakdown_(breakdown) {}

    Status writeAt(std::uint64_t offset, const void* buffer, std::size_t count) override {
        return takeCall() ? ForwardingByteArray::writeAt(offset, buffer, count) : broken();
    }
    Status setSize(std::uint64_t size) override {
        return takeCall() ? ForwardingByteArray::setSize(size) : broken();
    }
    Status flush() override { return takeCall() ? Status::ok : broken(); }

    [[nodiscard]] bool brokeDown() const { return brokeDown_; }
    void breakAfter(std::size_t calls) { callsLeft_ = calls; }

private:
    bool takeCall() {
        if (callsLeft_ == 0) {
            brokeDown_ = true;
            return false;
        }
        --callsLeft_;
        return true;
    }
    Status broken() const {
        return breakdown_ == Breakdown::failing ? fail(Status::writeFault, "injected failure")
                                                : Status::ok;
    }

    std::size_t callsLeft_;
    Breakdown breakdown_;
    bool brokeDown_ = false;
};

Status buildBase(CompoundFile& file) {
    Storage root = file.root();
    ENGINE_RETURN_IF_FAILED(writeStream(root, u"Regular", pattern(20000, 1)));
    ENGINE_RETURN_IF_FAILED(writeStream(root, u"Mini", pattern(300, 2)));
    Storage folder;
    ENGINE_RETURN_IF_FAILED(root.createStorage(u"Folder", &folder));
    ENGINE_RETURN_IF_FAILED(writeStream(folder, u"Inside", pattern(7000, 3)));
    ENGINE_RETURN_IF_FAILED(writeStream(folder, u"Small", pattern(100, 4)));
    return file.commit();
}

// Changes of several kinds: data overwritten in place, a stream crossing the cut-off, a
// storage deleted, many elements added (more directory sectors).
Status updateEverywhere(CompoundFile& file) {
    Storage root = file.root();
    Stream regular;
    ENGINE_RETURN_IF_FAILED(root.openStream(u"Regular", &regular));
    const auto patch = pattern(3000, 9);
    ENGINE_RETURN_IF_FAILED(regular.writeAt(5000, patch.data(), patch.size()));
    Stream mini;
    ENGINE_RETURN_IF_FAILED(root.openStream(u"Mini", &mini));
    ENGINE_RETURN_IF_FAILED(mini.writeAt(5000, patch.data(), 1000));
    ENGINE_RETURN_IF_FAILED(root.remove(u"Folder"));
    for (int i = 0; i < 100; ++i)
        ENGINE_RETURN_IF_FAILED(writeStream(root, u"added" + fromUtf8(std::to_string(i)),
                                            pattern(static_cast<std::size_t>(i * 11), i)));
    return Status::ok;
}

// A stream large enough that the FAT needs more sectors than the header lists, so that DIFAT
// sectors appear.
Status addLargeStream(CompoundFile& file) {
    Storage root = file.root();
    ENGINE_RETURN_IF_FAILED(writeStream(root, u"Large", pattern(7'500'000, 5)));
    Stream regular;
    ENGINE_RETURN_IF_FAILED(root.openStream(u"Regular", &regular));
    return regular.setSize(100);
}

std::shared_ptr<MemoryByteArray> baseFile(Version version) {
    auto bytes = std::make_shared<MemoryByteArray>();
    std::unique_ptr<CompoundFile> file;
    EXPECT_OK(CompoundFile::create(bytes, version, &file));
    EXPECT_OK(buildBase(*file));
    return bytes;
}

std::vector<std::string> manifestOf(const std::shared_ptr<MemoryByteArray>& bytes) {
    std::unique_ptr<CompoundFile> file;
    EXPECT_OK(CompoundFile::open(bytes, OpenMode::readOnly, &file));
    return file ? testing::manifestOf(*file) : std::vector<std::string>{};
}

TEST(CrashTest, EveryBreakdownLeavesTheOldOrTheNewStateWhole) {
    const std::tuple<const char*, Version, std::function<Status(CompoundFile&)>> cases[] = {
        {"v3 update everywhere", Version::v3, updateEverywhere},
        {"v4 update everywhere", Version::v4, updateEverywhere},
        {"v3 FAT grows past the header's list", Version::v3, addLargeStream},
    };
    for (const auto& [label, version, update] : cases) {
        for (Breakdown breakdown : {Breakdown::failing, Breakdown::silentStop}) {
            SCOPED_TRACE(std::string(label) +
                         (breakdown == Breakdown::failing ? ", failing" : ", silent stop"));
            const auto base = baseFile(version);
            std::unique_ptr<CompoundFile> file;
            const auto oldManifest = manifestOf(base);
            auto expectedNew = std::make_shared<MemoryByteArray>(base->bytes());
            ASSERT_OK(CompoundFile::open(expectedNew, OpenMode::readWrite, &file));
            ASSERT_OK(update(*file));
            ASSERT_OK(file->commit());
            const auto newManifest = manifestOf(expectedNew);
            ASSERT_NE(oldManifest, newManifest);

            int sawOld = 0;
            int sawNew = 0;
            for (std::size_t calls = 0;; ++calls) {
                SCOPED_TRACE("breaking after " + std::to_string(calls) + " calls");
                auto target = std::make_shared<MemoryByteArray>(base->bytes());
                auto breaking = std::make_shared<BreakingByteArray>(target, calls, breakdown);
                ASSERT_OK(CompoundFile::open(breaking, OpenMode::readWrite, &file));
                Status status = update(*file);
                if (succeeded(status))
                    status = file->commit();
                file.reset();
                if (breakdown == Breakdown::failing && breaking->brokeDown()) {
                    EXPECT_EQ(status, Status::writeFault);
                } else {
                    EXPECT_OK(status);
                }
                expectValidFile(*target);
                const auto manifest = manifestOf(target);
                const bool isOld = manifest == oldManifest;
                const bool isNew = manifest == newManifest;
                EXPECT_TRUE(isOld || isNew);
                sawOld += isOld;
                sawNew += isNew;
                if (!breaking->brokeDown())
                    break;
                ASSERT_LT(calls, 1000u) << "the update never finished";
            }
            EXPECT_GT(sawOld, 0);
            EXPECT_GT(sawNew, 0);
        }
    }
}

TEST(CrashTest, AFailedCommitIsRevertedAndTheFileStaysUsable) {
    auto target = baseFile(Version::v3);
    std::unique_ptr<CompoundFile> file;
    auto breaking = std::make_shared<BreakingByteArray>(target, 1000, Breakdown::failing);
    ASSERT_OK(CompoundFile::open(breaking, OpenMode::readWrite, &file));
    ASSERT_OK(updateEverywhere(*file));
    breaking->breakAfter(0);
    ASSERT_EQ(file->commit(), Status::writeFault);
    Stream stream;
    EXPECT_EQ(file->root().createStream(u"after failure", &stream), Status::reverted);
    breaking->breakAfter(1000);
    ASSERT_OK(file->revert());
    Stream regular;
    ASSERT_OK(file->root().openStream(u"Regular", &regular));
    EXPECT_EQ(readWholeStream(regular), pattern(20000, 1));
    ASSERT_OK(updateEverywhere(*file));
    ASSERT_OK(file->commit());
    expectValidFile(*target);
}

TEST(CrashTest, AFailedWriteBlocksChangesUntilRevert) {
    auto target = baseFile(Version::v4);
    std::unique_ptr<CompoundFile> file;
    auto breaking = std::make_shared<BreakingByteArray>(target, 0, Breakdown::failing);
    ASSERT_OK(CompoundFile::open(breaking, OpenMode::readWrite, &file));
    Stream stream;
    ASSERT_OK(file->root().createStream(u"Big", &stream));
    const auto bytes = pattern(3 << 20);
    EXPECT_EQ(stream.writeAt(0, bytes.data(), bytes.size()), Status::writeFault);
    Stream other;
    EXPECT_EQ(file->root().createStream(u"Other", &other), Status::reverted);
    EXPECT_EQ(file->commit(), Status::reverted);
    breaking->breakAfter(1000);
    ASSERT_OK(file->revert());
    ASSERT_OK(file->root().createStream(u"Other", &other));
    ASSERT_OK(file->commit());
    expectValidFile(*target);
}

// A careless writer may leave the FAT's own sector marked free; the engine still never
// writes over it before the next header is written.
TEST(CrashTest, CommittedFatSectorsMarkedFreeAreNotReused) {
    auto target = baseFile(Version::v3);
    std::unique_ptr<CompoundFile> file;
    auto& bytes = target->bytes();
    Header header;
    ASSERT_OK(parseHeader(bytes.data(), &header));
    const std::uint32_t fatSector = header.difat[0];
    const std::size_t fatOffset = (fatSector + 1) * 512;
    store32(&bytes[fatOffset + 4 * fatSector], freeSector);
    const std::vector<std::uint8_t> before(bytes.begin() + fatOffset,
                                           bytes.begin() + fatOffset + 512);

    ASSERT_OK(CompoundFile::open(target, OpenMode::readWrite, &file));
    Stream stream;
    ASSERT_OK(file->root().createStream(u"Big", &stream));
    const auto data = pattern(3 << 20);
    ASSERT_OK(stream.writeAt(0, data.data(), data.size()));
    const std::vector<std::uint8_t> after(bytes.begin() + fatOffset,
                                          bytes.begin() + fatOffset + 512);
    EXPECT_EQ(after, before);
    ASSERT_OK(file->commit());
    expectValidFile(*target);
}

} // namespace
} // namespace engine::cfb::testing
