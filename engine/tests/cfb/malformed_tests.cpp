// Crafted malformed files: a valid file written by the engine, then damaged in one structure
// per case. Each must be refused with the right status and a message, never crash or hang.
#include "tool_support.h"

#include "cfb/format.h"

#include <algorithm>
#include <functional>

namespace engine::cfb::testing {
namespace {

// Direct access to the structures of a small file's bytes, to damage them.
class RawFile {
public:
    explicit RawFile(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {
        EXPECT_OK(parseHeader(bytes.data(), &header_));
        sectorSize_ = header_.sectorSize();
    }

    std::vector<std::uint8_t>& bytes() { return bytes_; }
    std::uint8_t* header(std::size_t offset) { return &bytes_[offset]; }
    std::uint8_t* sector(std::uint32_t index) {
        return &bytes_.at((static_cast<std::size_t>(index) + 1) * sectorSize_);
    }

    std::uint8_t* fatSlot(std::uint32_t sector) {
        const std::uint32_t perSector = sectorSize_ / 4;
        return this->sector(fatSectorLocation(sector / perSector)) + 4 * (sector % perSector);
    }
    std::uint32_t fat(std::uint32_t sector) { return load32(fatSlot(sector)); }
    void setFat(std::uint32_t sector, std::uint32_t next) { store32(fatSlot(sector), next); }

    std::vector<std::uint32_t> chain(std::uint32_t first) {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t at = first; at != endOfChain && sectors.size() < 100000; at = fat(at))
            sectors.push_back(at);
        return sectors;
    }

    std::uint8_t* entry(std::uint32_t id) {
        const std::size_t perSector = sectorSize_ / directoryEntrySize;
        const auto directory = chain(header_.firstDirectorySector);
        return sector(directory.at(id / perSector)) + (id % perSector) * directoryEntrySize;
    }
    std::uint32_t entryCount() {
        return static_cast<std::uint32_t>(chain(header_.firstDirectorySector).size() *
                                          (sectorSize_ / directoryEntrySize));
    }
    std::uint32_t idOf(const std::u16string& name) {
        for (std::uint32_t id = 0; id < entryCount(); ++id) {
            DirectoryEntry parsed;
            if (succeeded(parseDirectoryEntry(entry(id), id, header_.version, &parsed)) &&
                parsed.name == name && parsed.type != ObjectType::unused)
                return id;
        }
        ADD_FAILURE() << "no entry " << toUtf8(name);
        return 0;
    }
    std::uint8_t* field(const std::u16string& name, std::size_t offset) {
        return entry(idOf(name)) + offset;
    }
    std::vector<std::uint32_t> streamChain(const std::u16string& name) {
        return chain(load32(field(name, entryOffset::startSector)));
    }

    std::uint32_t miniStart(const std::u16string& name) {
        return load32(field(name, entryOffset::startSector));
    }
    // Gives the entry of `name` the name `to` (of four units), all else cleared.
    void rename(const std::u16string& name, const std::u16string& to) {
        std::uint8_t* at = entry(idOf(name));
        std::fill_n(at, 64, 0);
        for (std::size_t i = 0; i < to.size(); ++i)
            store16(at + 2 * i, to[i]);
        store16(at + entryOffset::nameLength, static_cast<std::uint16_t>(2 * to.size() + 2));
    }

    std::uint8_t* miniFatSlot(std::uint32_t miniSector) {
        const std::uint32_t perSector = sectorSize_ / 4;
        const auto sectors = chain(header_.firstMiniFatSector);
        return sector(sectors.at(miniSector / perSector)) + 4 * (miniSector % perSector);
    }

private:
    std::uint32_t fatSectorLocation(std::uint32_t index) {
        if (index < headerDifatEntries)
            return header_.difat[index];
        const std::uint32_t perDifat = sectorSize_ / 4 - 1;
        std::uint32_t difat = header_.firstDifatSector;
        index -= headerDifatEntries;
        while (index >= perDifat) {
            difat = load32(sector(difat) + 4 * perDifat);
            index -= perDifat;
        }
        return load32(sector(difat) + 4 * index);
    }

    std::vector<std::uint8_t>& bytes_;
    Header header_;
    std::uint32_t sectorSize_ = 0;
};

std::vector<std::uint8_t> sampleFile(bool withLargeStream) {
    auto bytes = std::make_shared<MemoryByteArray>();
    std::unique_ptr<CompoundFile> file;
    EXPECT_OK(CompoundFile::create(bytes, Version::v3, &file));
    Storage root = file->root();
    Storage folder;
    EXPECT_OK(writeStream(root, u"Regular", pattern(5000)));
    EXPECT_OK(writeStream(root, u"Mini", pattern(300)));
    EXPECT_OK(root.createStorage(u"Folder", &folder));
    EXPECT_OK(writeStream(folder, u"Inside", pattern(100)));
    if (withLargeStream) // FAT sectors listed by two DIFAT sectors
        EXPECT_OK(writeStream(root, u"Large", pattern(16'500'000)));
    EXPECT_OK(file->commit());
    return bytes->bytes();
}

Status readEverything(std::vector<std::uint8_t> bytes) {
    return testing::readEverything(std::make_shared<MemoryByteArray>(std::move(bytes)));
}

// Each row: label, whether the large sample is damaged, the damage, the status, and a
// number the message must name.
TEST(MalformedFileTest, EachDamagedStructureIsRefused) {
    // clang-format off
    const std::tuple<const char*, bool, std::function<void(RawFile&)>, Status, const char*> cases[] = {
        {"shorter than a header", false, [](RawFile& f) { f.bytes().resize(300); }, Status::invalidHeader, "300"},
        {"bad sector shift", false, [](RawFile& f) { store16(f.header(0x1E), 12); }, Status::invalidHeader, "12"},
        {"truncated to a quarter", false, [](RawFile& f) { f.bytes().resize(f.bytes().size() / 4); }, Status::docfileCorrupt, "last sector 4"},
        {"stream chain loops", false, [](RawFile& f) { const auto c = f.streamChain(u"Regular"); f.setFat(c[3], c[1]); }, Status::docfileCorrupt, "at position 4"},
        {"stream chain points past the file end", false, [](RawFile& f) { f.setFat(f.streamChain(u"Regular")[2], 100000); }, Status::docfileCorrupt, "100000"},
        {"stream chain runs into a free sector", false, [](RawFile& f) { f.setFat(f.streamChain(u"Regular")[2], freeSector); }, Status::docfileCorrupt, "4294967295"},
        {"stream chain ends before its size", false, [](RawFile& f) { f.setFat(f.streamChain(u"Regular")[4], endOfChain); }, Status::docfileCorrupt, "10 are needed"},
        {"stream larger than the file", false, [](RawFile& f) { store64(f.field(u"Regular", entryOffset::streamSize), 1u << 30); }, Status::docfileCorrupt, "1073741824"},
        {"mini stream larger than the file", false, [](RawFile& f) { store64(f.entry(0) + entryOffset::streamSize, 1u << 30); }, Status::docfileCorrupt, "1073741824"},
        {"mini chain loops", false, [](RawFile& f) { const std::uint32_t first = f.miniStart(u"Mini"); store32(f.miniFatSlot(load32(f.miniFatSlot(first))), first); },
         Status::docfileCorrupt, "at position 2"},
        {"mini chain points past the mini FAT", false, [](RawFile& f) { store32(f.miniFatSlot(f.miniStart(u"Mini")), 99999); }, Status::docfileCorrupt, "99999"},
        {"mini FAT shorter than the header says", false, [](RawFile& f) { store32(f.header(0x40), 5); }, Status::docfileCorrupt, "1 of 5"},
        {"directory sibling cycle", false, [](RawFile& f) { store32(f.field(u"Folder", entryOffset::leftSibling), f.idOf(u"Folder")); }, Status::docfileCorrupt, "entry 2"},
        {"child shared by two storages", false, [](RawFile& f) { store32(f.field(u"Folder", entryOffset::child), f.idOf(u"Mini")); }, Status::docfileCorrupt, "entry 1"},
        {"root reached again from a storage", false, [](RawFile& f) { store32(f.field(u"Folder", entryOffset::child), 0); }, Status::docfileCorrupt, "entry 0"},
        {"sibling past the last entry", false, [](RawFile& f) { store32(f.field(u"Regular", entryOffset::rightSibling), 5000); }, Status::docfileCorrupt, "5000"},
        {"unused entry in the tree", false, [](RawFile& f) { store32(f.field(u"Folder", entryOffset::child), f.entryCount() - 1); }, Status::docfileCorrupt, "entry 7"},
        {"first entry is not the root", false, [](RawFile& f) { f.entry(0)[0x42] = 1; }, Status::docfileCorrupt, "object type 1"},
        {"unknown object type", false, [](RawFile& f) { *f.field(u"Mini", entryOffset::objectType) = 3; }, Status::docfileCorrupt, "object type 3"},
        {"name length without terminator", false, [](RawFile& f) { store16(f.field(u"Mini", entryOffset::nameLength), 8); }, Status::docfileCorrupt, "3 name units"},
        {"two siblings with one name", false, [](RawFile& f) { f.rename(u"Regular", u"MINI"); }, Status::docfileCorrupt, "entry 1"},
        {"directory chain loops", false, [](RawFile& f) { const std::uint32_t first = load32(f.header(0x30)); f.setFat(first, first); }, Status::docfileCorrupt, "starting at 14"},
        {"FAT sector past the file end", false, [](RawFile& f) { store32(f.header(0x4C), 100000); }, Status::docfileCorrupt, "100000"},
        {"FAT sector count beyond the file", false, [](RawFile& f) { store32(f.header(0x2C), 0x7FFFFFFF); }, Status::docfileCorrupt, "2147483647"},
        {"DIFAT sector count beyond the file", false, [](RawFile& f) { store32(f.header(0x48), 0xFFFFFFF0); }, Status::docfileCorrupt, "4294967280"},
        {"DIFAT chain loops", true, [](RawFile& f) { const std::uint32_t first = load32(f.header(0x44)); store32(f.header(0x48), 3); store32(f.sector(first) + 4 * 127, first); },
         Status::docfileCorrupt, "32497"},
        {"DIFAT chain ends early", true, [](RawFile& f) { store32(f.sector(load32(f.header(0x44))) + 4 * 5, 0); store32(f.header(0x48), 0); }, Status::docfileCorrupt, "109 of 254"},
    };
    // clang-format on
    const auto small = sampleFile(false);
    const auto large = sampleFile(true);
    ASSERT_EQ(readEverything(small), Status::ok);
    ASSERT_EQ(readEverything(large), Status::ok);
    for (const auto& [label, largeFile, apply, expected, number] : cases) {
        SCOPED_TRACE(label);
        auto bytes = largeFile ? large : small;
        RawFile raw(bytes);
        apply(raw);
        EXPECT_EQ(readEverything(bytes), expected) << lastFailureMessage();
        EXPECT_NE(lastFailureMessage().find(number), std::string::npos) << lastFailureMessage();
    }
}

// The strict validator on damage the reader never meets when opening: a DIFAT chain that
// must be refused without being walked, and sibling trees that are only unbalanced, which
// the caller may keep apart from damage.

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines)
        all += line + "\n";
    return all;
}

TEST(MalformedFileTest, TheValidatorStopsAtLoopsAndKeepsImbalanceApart) {
    const std::tuple<const char*, bool, std::function<void(RawFile&)>, const char*, bool> cases[] =
        {
            {"DIFAT count of four billion", true,
             [](RawFile& f) { store32(f.header(0x48), 0xFFFFFF00); }, "DIFAT sectors in a file of",
             false},
            {"DIFAT chain back to its first sector", true,
             [](RawFile& f) {
                 const std::uint32_t first = load32(f.header(0x44));
                 store32(f.sector(first) + 4 * 127, first);
                 store32(f.header(0x48), 3);
             },
             "loops back to sector", false},
            {"red top of the root's tree", false,
             [](RawFile& f) {
                 const std::uint32_t top = load32(f.entry(0) + entryOffset::child);
                 f.entry(top)[entryOffset::colour] = static_cast<std::uint8_t>(Colour::red);
             },
             "red root", true},
        };
    const auto small = sampleFile(false);
    const auto large = sampleFile(true);
    for (const auto& [label, largeFile, apply, finding, imbalanceOnly] : cases) {
        SCOPED_TRACE(label);
        auto bytes = largeFile ? large : small;
        RawFile raw(bytes);
        apply(raw);
        MemoryByteArray memory(bytes);
        std::vector<std::string> problems;
        std::vector<std::string> balance;
        const Status kept = validateFile(memory, &problems, nullptr, &balance);
        EXPECT_EQ(kept, imbalanceOnly ? Status::ok : Status::docfileCorrupt);
        const std::string found = joined(imbalanceOnly ? balance : problems);
        EXPECT_NE(found.find(finding), std::string::npos) << found;
        EXPECT_EQ(validateFile(memory, &problems), Status::docfileCorrupt);
        EXPECT_NE(joined(problems).find(finding), std::string::npos) << joined(problems);
    }
}

} // namespace
} // namespace engine::cfb::testing
