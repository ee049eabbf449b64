#include "validator/validator.h"

#include "cfb/format.h"
#include "cfb/names.h"
#include "common/error.h"

#include <cmath>
#include <functional>

namespace engine::cfb {
namespace {

// Sector owners besides directory entries.
constexpr std::int64_t unowned = -1;
constexpr std::int64_t ownerFat = -2;
constexpr std::int64_t ownerDifat = -3;
constexpr std::int64_t ownerDirectory = -4;
constexpr std::int64_t ownerMiniFat = -5;
// Deeper sibling trees are refused without walking further: a red-black tree of the most
// entries a directory can hold (2^32) is at most 64 deep.
constexpr int deepestTree = 64;
// A chain walked by the checker may hold at most this many problems before it gives up.
constexpr std::size_t maxProblems = 50;

class Checker {
public:
    Checker(ByteArray& bytes, std::vector<std::string>& problems, std::vector<std::string>& remarks,
            std::vector<std::string>* balance)
        : bytes_(bytes), problems_(problems), remarks_(remarks), balance_(balance) {}

    void run() {
        if (!readHeader() || !readFat())
            return;
        checkFatMarks();
        readDirectoryAndMiniFat();
        if (entries_.empty())
            return;
        checkTree();
        checkStreams();
        checkLeaks();
    }

private:
    template <typename... Pieces>
    void problem(const Pieces&... pieces) {
        if (problems_.size() < maxProblems)
            problems_.push_back(describe(pieces...));
    }

    // A sibling tree that is a search tree in name order but not balanced as this engine
    // balances it: damage unless the caller keeps such findings apart.
    template <typename... Pieces>
    void imbalance(const Pieces&... pieces) {
        if (!balance_)
            problem(pieces...);
        else if (balance_->size() < maxProblems)
            balance_->push_back(describe(pieces...));
    }

    bool readAt(std::uint64_t offset, std::vector<std::uint8_t>& out) {
        std::size_t got = 0;
        if (failed(bytes_.readAt(offset, out.data(), out.size(), &got)) || got != out.size()) {
            problem("cannot read ", out.size(), " bytes at ", offset);
            return false;
        }
        return true;
    }

    bool readSector(std::uint32_t sector, std::vector<std::uint8_t>& out) {
        out.resize(sectorSize_);
        return readAt((static_cast<std::uint64_t>(sector) + 1) * sectorSize_, out);
    }

    bool readHeader() {
        std::uint64_t size = 0;
        if (failed(bytes_.size(&size)) || size < headerSize) {
            problem("the file has ", size, " bytes, fewer than a header");
            return false;
        }
        std::vector<std::uint8_t> bytes(headerSize);
        if (!readAt(0, bytes))
            return false;
        if (failed(parseHeader(bytes.data(), &header_))) {
            problem("header: ", lastFailureMessage());
            return false;
        }
        remarks_ = headerRemarks(bytes.data());
        sectorSize_ = header_.sectorSize();
        // Bytes past the last whole sector may be left by an update that never committed.
        fileSectors_ = static_cast<std::uint32_t>((size + sectorSize_ - 1) / sectorSize_ - 1);
        if (header_.version == Version::v3 && size > version3MaxFileSize)
            problem("a version 3 file of ", size, " bytes");
        owner_.assign(fileSectors_, unowned);
        return true;
    }

    void own(std::uint32_t sector, std::int64_t who, const char* what) {
        if (sector >= fileSectors_) {
            problem(what, " uses sector ", sector, " past the last sector ", fileSectors_);
            return;
        }
        if (owner_[sector] != unowned)
            problem(what, " uses sector ", sector, " already owned by ", owner_[sector]);
        owner_[sector] = who;
        if (sector == rangeLockSector())
            problem(what, " uses the range-lock sector ", sector);
    }

    [[nodiscard]] std::uint32_t rangeLockSector() const {
        return static_cast<std::uint32_t>(rangeLockFirstByte / sectorSize_) - 1;
    }

    bool readFat() {
        const std::uint32_t perSector = sectorSize_ / 4;
        std::vector<std::uint32_t> locations;
        for (std::size_t i = 0; i < headerDifatEntries; ++i) {
            if (i < header_.fatSectorCount)
                locations.push_back(header_.difat[i]);
            else if (header_.difat[i] != freeSector)
                problem("header DIFAT entry ", i, " is used beyond the FAT sector count");
        }
        // A chain longer than the file, or one that comes back to a sector it passed, is
        // refused at once: a damaged count of four billion sectors must not be walked.
        if (header_.difatSectorCount > fileSectors_) {
            problem("the header counts ", header_.difatSectorCount, " DIFAT sectors in a file of ",
                    fileSectors_, " sectors");
            return false;
        }
        std::uint32_t next = header_.firstDifatSector;
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t n = 0; n < header_.difatSectorCount; ++n) {
            if (next >= fileSectors_) {
                problem("DIFAT sector ", n, " is sector ", next);
                return false;
            }
            if (owner_[next] == ownerDifat) {
                problem("the DIFAT chain loops back to sector ", next, " at DIFAT sector ", n);
                return false;
            }
            difatSectors_.push_back(next);
            own(next, ownerDifat, "the DIFAT");
            if (!readSector(next, bytes))
                return false;
            for (std::uint32_t k = 0; k + 1 < perSector; ++k) {
                const std::uint32_t entry = load32(bytes.data() + 4 * k);
                if (locations.size() < header_.fatSectorCount)
                    locations.push_back(entry);
                else if (entry != freeSector)
                    problem("DIFAT sector ", next, " entry ", k, " is used beyond the FAT");
            }
            next = load32(bytes.data() + 4 * (perSector - 1));
        }
        if (next != endOfChain && next != freeSector)
            problem("the DIFAT chain ends with ", next);
        if (header_.difatSectorCount == 0 && header_.firstDifatSector != endOfChain)
            problem("no DIFAT sectors but the first DIFAT sector is ", header_.firstDifatSector);
        if (locations.size() != header_.fatSectorCount) {
            problem("the DIFAT locates ", locations.size(), " of ", header_.fatSectorCount,
                    " FAT sectors");
            return false;
        }
        for (std::uint32_t location : locations) {
            if (location >= fileSectors_) {
                problem("a FAT sector lies at ", location, " past the last sector");
                return false;
            }
            own(location, ownerFat, "the FAT");
            if (!readSector(location, bytes))
                return false;
            for (std::uint32_t k = 0; k < perSector; ++k)
                fat_.push_back(load32(bytes.data() + 4 * k));
        }
        fatSectors_ = locations;
        for (std::size_t s = fileSectors_; s < fat_.size(); ++s)
            if (fat_[s] != freeSector) {
                problem("FAT entry ", s, " past the file's end holds ", fat_[s]);
                break;
            }
        return true;
    }

    void checkFatMarks() {
        for (std::uint32_t sector : fatSectors_)
            if (sector < fat_.size() && fat_[sector] != fatSectorMark)
                problem("FAT sector ", sector, " is marked ", fat_[sector]);
        for (std::uint32_t sector : difatSectors_)
            if (sector < fat_.size() && fat_[sector] != difatSectorMark)
                problem("DIFAT sector ", sector, " is marked ", fat_[sector]);
        const std::uint32_t lock = rangeLockSector();
        if (lock < fat_.size() && fat_[lock] != freeSector && fat_[lock] != endOfChain)
            problem("the range-lock sector ", lock, " is marked ", fat_[lock]);
    }

    // Walks a FAT chain, owning each sector, and returns its sectors.
    std::vector<std::uint32_t> walk(std::uint32_t first, std::int64_t who, const char* what) {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t at = first; at != endOfChain;) {
            if (at >= fat_.size() || at >= fileSectors_) {
                problem(what, " chain reaches sector ", at);
                break;
            }
            if (sectors.size() > fileSectors_) {
                problem(what, " chain loops");
                break;
            }
            if (owner_[at] == who) {
                problem(what, " chain loops back to sector ", at);
                break;
            }
            own(at, who, what);
            sectors.push_back(at);
            at = fat_[at];
            if (at > maxRegularSector && at != endOfChain) {
                problem(what, " chain holds the mark ", at);
                break;
            }
        }
        return sectors;
    }

    void readDirectoryAndMiniFat() {
        const auto directory = walk(header_.firstDirectorySector, ownerDirectory, "the directory");
        if (header_.version == Version::v4 && header_.directorySectorCount != directory.size())
            problem("the header counts ", header_.directorySectorCount, " directory sectors of ",
                    directory.size());
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t sector : directory) {
            if (!readSector(sector, bytes))
                return;
            for (std::size_t k = 0; k < sectorSize_ / directoryEntrySize; ++k) {
                DirectoryEntry entry;
                const auto id = static_cast<std::uint32_t>(entries_.size());
                if (failed(parseDirectoryEntry(bytes.data() + k * directoryEntrySize, id,
                                               header_.version, &entry)))
                    problem("directory: ", lastFailureMessage());
                entries_.push_back(entry);
            }
        }
        if (entries_.empty() || entries_[0].type != ObjectType::root) {
            problem("directory entry 0 is not the root");
            entries_.clear();
            return;
        }
        const auto miniFatChain = walk(header_.firstMiniFatSector, ownerMiniFat, "the mini FAT");
        if (miniFatChain.size() != header_.miniFatSectorCount)
            problem("the mini FAT has ", miniFatChain.size(), " sectors, the header counts ",
                    header_.miniFatSectorCount);
        for (std::uint32_t sector : miniFatChain) {
            if (!readSector(sector, bytes))
                return;
            for (std::size_t k = 0; k < sectorSize_ / 4; ++k)
                miniFat_.push_back(load32(bytes.data() + 4 * k));
        }
        const DirectoryEntry& root = entries_[0];
        miniStream_ = walk(root.size == 0 ? endOfChain : root.startSector, 0, "the mini stream");
        if (miniStream_.size() != (root.size + sectorSize_ - 1) / sectorSize_)
            problem("the mini stream of ", root.size, " bytes has ", miniStream_.size(),
                    " sectors");
        if (root.size % miniSectorSize != 0)
            problem("the mini stream size ", root.size, " is not a whole number of mini sectors");
        miniOwner_.assign(root.size / miniSectorSize, unowned);
        if (miniFat_.size() < miniOwner_.size())
            problem("the mini FAT covers ", miniFat_.size(), " of ", miniOwner_.size(),
                    " mini sectors");
    }

    // Checks one storage's sibling tree; returns its black height, or -1 when broken.
    int checkSubtree(std::uint32_t id, int depth, const ElementName* low, const ElementName* high,
                     std::size_t* count, int* maxDepth, std::vector<std::uint32_t>& storages) {
        if (id == noStream)
            return 1;
        if (depth > deepestTree) {
            problem("a sibling tree is deeper than ", deepestTree, " at entry ", id);
            return -1;
        }
        if (id >= entries_.size()) {
            problem("a sibling link refers to entry ", id);
            return -1;
        }
        if (reached_[id]) {
            problem("entry ", id, " is reached twice");
            return -1;
        }
        reached_[id] = true;
        ++*count;
        *maxDepth = std::max(*maxDepth, depth);
        const DirectoryEntry& entry = entries_[id];
        if (entry.type != ObjectType::storage && entry.type != ObjectType::stream) {
            problem("entry ", id, " in a tree has object type ", static_cast<int>(entry.type));
            return -1;
        }
        if (failed(checkName(entry.name)))
            problem("entry ", id, ": ", lastFailureMessage());
        if (low && compareNames(*low, entry.name) >= 0)
            problem("entry ", id, " '", toUtf8(entry.name), "' is out of name order");
        if (high && compareNames(entry.name, *high) >= 0)
            problem("entry ", id, " '", toUtf8(entry.name), "' is out of name order");
        if (entry.colour == Colour::red) {
            for (std::uint32_t child : {entry.left, entry.right})
                if (child < entries_.size() && entries_[child].colour == Colour::red)
                    imbalance("red entry ", id, " has the red child ", child);
        }
        const int left =
            checkSubtree(entry.left, depth + 1, low, &entry.name, count, maxDepth, storages);
        const int right =
            checkSubtree(entry.right, depth + 1, &entry.name, high, count, maxDepth, storages);
        if (entry.type == ObjectType::storage)
            storages.push_back(id);
        if (left < 0 || right < 0)
            return -1;
        if (left != right) {
            imbalance("entry ", id, " has black heights ", left, " and ", right);
            return -1;
        }
        return left + (entry.colour == Colour::black ? 1 : 0);
    }

    void checkTree() {
        reached_.assign(entries_.size(), false);
        reached_[0] = true;
        std::vector<std::uint32_t> storages{0};
        while (!storages.empty()) {
            const std::uint32_t storage = storages.back();
            storages.pop_back();
            const std::uint32_t top = entries_[storage].child;
            if (top != noStream && top < entries_.size() && entries_[top].colour != Colour::black)
                imbalance("the tree below entry ", storage, " has a red root");
            std::size_t count = 0;
            int maxDepth = 0;
            checkSubtree(top, 1, nullptr, nullptr, &count, &maxDepth, storages);
            const double limit = 2 * std::log2(static_cast<double>(count) + 1);
            if (maxDepth > limit + 1e-9)
                imbalance("the tree below entry ", storage, " has depth ", maxDepth, " for ", count,
                          " children");
        }
        for (std::size_t id = 1; id < entries_.size(); ++id)
            if (!reached_[id] && entries_[id].type != ObjectType::unused)
                problem("entry ", id, " is used but not in the tree");
    }

    void checkStreams() {
        for (std::size_t id = 1; id < entries_.size(); ++id) {
            const DirectoryEntry& entry = entries_[id];
            if (!reached_[id])
                continue;
            if (entry.type == ObjectType::storage) {
                if (entry.size != 0 || entry.startSector != 0)
                    problem("storage entry ", id, " has a start sector or a size");
                continue;
            }
            const auto who = static_cast<std::int64_t>(id);
            if (entry.size >= miniStreamCutoffValue) {
                const auto chain = walk(entry.startSector, who, "a stream");
                if (chain.size() != (entry.size + sectorSize_ - 1) / sectorSize_)
                    problem("stream entry ", id, " of ", entry.size, " bytes has ", chain.size(),
                            " sectors");
                continue;
            }
            std::size_t length = 0;
            for (std::uint32_t at = entry.size == 0 ? endOfChain : entry.startSector;
                 at != endOfChain; at = miniFat_[at]) {
                if (at >= miniOwner_.size() || at >= miniFat_.size()) {
                    problem("stream entry ", id, " reaches mini sector ", at);
                    break;
                }
                if (miniOwner_[at] != unowned) {
                    problem("mini sector ", at, " of entry ", id, " is owned by ", miniOwner_[at]);
                    break;
                }
                miniOwner_[at] = who;
                ++length;
            }
            if (length != (entry.size + miniSectorSize - 1) / miniSectorSize)
                problem("stream entry ", id, " of ", entry.size, " bytes has ", length,
                        " mini sectors");
            if (entry.size == 0 && entry.startSector != endOfChain)
                problem("empty stream entry ", id, " starts at ", entry.startSector);
        }
    }

    void checkLeaks() {
        for (std::uint32_t s = 0; s < fileSectors_ && s < fat_.size(); ++s) {
            if (fat_[s] == freeSector || owner_[s] != unowned)
                continue;
            if (s == rangeLockSector() && fat_[s] == endOfChain)
                continue;
            problem("sector ", s, " is allocated (", fat_[s], ") but owned by nothing");
        }
        for (std::size_t m = 0; m < miniFat_.size(); ++m) {
            const bool owned = m < miniOwner_.size() && miniOwner_[m] != unowned;
            if (miniFat_[m] != freeSector && !owned)
                problem("mini sector ", m, " is allocated but owned by nothing");
        }
    }

    ByteArray& bytes_;
    std::vector<std::string>& problems_;
    std::vector<std::string>& remarks_;
    std::vector<std::string>* balance_;
    Header header_;
    std::uint32_t sectorSize_ = 0;
    std::uint32_t fileSectors_ = 0;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> fatSectors_;
    std::vector<std::uint32_t> difatSectors_;
    std::vector<std::int64_t> owner_;
    std::vector<DirectoryEntry> entries_;
    std::vector<bool> reached_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<std::uint32_t> miniStream_;
    std::vector<std::int64_t> miniOwner_;
};

} // namespace

Status validateFile(ByteArray& bytes, std::vector<std::string>* problems,
                    std::vector<std::string>* remarks, std::vector<std::string>* balance) {
    std::vector<std::string> found;
    std::vector<std::string> noted;
    if (balance)
        balance->clear();
    Checker(bytes, found, noted, balance).run();
    if (problems)
        *problems = found;
    if (remarks)
        *remarks = noted;
    if (found.empty())
        return Status::ok;
    return fail(Status::docfileCorrupt, found.front());
}

} // namespace engine::cfb
