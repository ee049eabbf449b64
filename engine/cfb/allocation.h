// The allocation tables (FAT with its DIFAT, and the mini FAT) and the sector chains they
// describe, remembered as runs of consecutive sectors.
//
// Shadow paging: the FAT keeps, beside its working entries, the entries of the last
// committed state for every page it has changed. A sector is handed out only when it is
// free in both, so that nothing the committed state uses is overwritten before the next
// header is written. FAT pages themselves, and the DIFAT sectors listing them, move to free
// sectors when they change.
#pragma once

#include "cfb/format.h"
#include "cfb/sector_file.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_set>
#include <vector>

namespace engine::cfb {

// An allocator that leaves new elements uninitialised: a buffer about to be read over needs
// no zeros first.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
};
// Bytes read from the file.
using ReadBuffer = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

// Where the links of a chain are kept: the FAT or the mini FAT.
class ChainLinks {
public:
    virtual ~ChainLinks() = default;
    // The entry of `sector`, validated to be a sector below sectorLimit() or a sentinel.
    [[nodiscard]] virtual Status next(std::uint32_t sector, std::uint32_t* next) = 0;
    [[nodiscard]] virtual Status setNext(std::uint32_t sector, std::uint32_t next) = 0;
    // Follows `sector` through up to `maxSectors` consecutive sectors (each linked to the
    // one after it); `*count` is how many were followed and `*next` the link after the last.
    [[nodiscard]] virtual Status nextRun(std::uint32_t sector, std::uint64_t maxSectors,
                                         std::uint32_t* count, std::uint32_t* next);
    // Hands out a free sector, marked end-of-chain: the lowest one, so that tables written at
    // a commit fill the holes that earlier commits left.
    [[nodiscard]] virtual Status allocate(std::uint32_t* sector) = 0;
    // Hands out a sector for a chain that grows by `wanted` sectors, this one the first, after
    // `previous` (endOfChain for an empty chain): the sector right after `previous` when it is
    // free, else the first of `wanted` free consecutive sectors, so that chains stay in long
    // runs; failing those, any free sector.
    [[nodiscard]] virtual Status allocateForChain(std::uint32_t previous, std::uint64_t wanted,
                                                  std::uint32_t* sector);
    // As allocateForChain, then takes the free sectors right after the one handed out, up to
    // `wanted` in all: `*count` consecutive sectors from `*first`, each linked to the next,
    // the last marked end-of-chain.
    [[nodiscard]] virtual Status allocateRun(std::uint32_t previous, std::uint64_t wanted,
                                             std::uint32_t* first, std::uint32_t* count);
    [[nodiscard]] virtual Status release(std::uint32_t sector) = 0;
    [[nodiscard]] virtual std::uint32_t sectorLimit() const = 0;
    [[nodiscard]] virtual const char* tableName() const = 0;
};

struct Run {
    std::uint32_t first;
    std::uint32_t count;
};

// One chain, mapped lazily from its first sector: positions are walked only as far as they
// are needed and never twice, and the link after the last position needed is not read. A
// sector seen twice, a link to a free or special sector or one past the last sector is
// reported as corruption.
class ChainMap {
public:
    explicit ChainMap(std::uint32_t firstSector);

    [[nodiscard]] std::uint32_t firstSector() const { return first_; }
    [[nodiscard]] std::uint64_t mappedCount() const { return mapped_; }
    [[nodiscard]] bool complete() const { return complete_; }
    [[nodiscard]] const std::vector<Run>& runs() const { return runs_; }

    // Maps at least `count` positions, or the whole chain when it is shorter.
    [[nodiscard]] Status mapUpTo(ChainLinks& links, std::uint64_t count);
    [[nodiscard]] Status mapAll(ChainLinks& links);

    // The sector at a mapped position.
    [[nodiscard]] std::uint32_t sectorAt(std::uint64_t position) const;
    // Index of the run holding a mapped position.
    [[nodiscard]] std::size_t runIndexOf(std::uint64_t position) const;
    [[nodiscard]] std::uint64_t runStart(std::size_t index) const { return runStarts_[index]; }

    // Changes to a completely mapped chain (appending, truncating) or to a mapped position
    // (replacing); the caller updates the links.
    void append(std::uint32_t sector);
    void appendRun(std::uint32_t first, std::uint32_t count);
    void truncate(std::uint64_t count);
    void replace(std::uint64_t position, std::uint32_t sector);
    void reset(std::uint32_t firstSector);

private:
    // Maps `count` consecutive sectors from `first` as the next positions.
    [[nodiscard]] Status addWalked(ChainLinks& links, std::uint32_t first, std::uint32_t count);
    [[nodiscard]] bool visited(std::uint32_t first, std::uint32_t count) const;

    std::uint32_t first_;
    std::vector<Run> runs_;
    std::vector<std::uint64_t> runStarts_;
    std::uint64_t mapped_ = 0;
    bool complete_ = false; // the link after the last mapped position is end-of-chain
    std::map<std::uint32_t, std::uint32_t> walked_; // first sector -> count, while walking
};

// The FAT, read page by page as chains reach it, with the DIFAT that locates its pages.
class Fat final : public ChainLinks {
public:
    explicit Fat(SectorFile& file);

    // Takes the FAT of `header` for a file of `fileSectors` sectors, checking the counts and
    // the locations the header holds; the DIFAT sectors and FAT pages are read when needed.
    [[nodiscard]] Status load(const Header& header, std::uint64_t fileSectors);
    void createEmpty();

    [[nodiscard]] Status next(std::uint32_t sector, std::uint32_t* next) override;
    [[nodiscard]] Status setNext(std::uint32_t sector, std::uint32_t next) override;
    [[nodiscard]] Status nextRun(std::uint32_t sector, std::uint64_t maxSectors,
                                 std::uint32_t* count, std::uint32_t* next) override;
    [[nodiscard]] Status allocate(std::uint32_t* sector) override;
    [[nodiscard]] Status allocateForChain(std::uint32_t previous, std::uint64_t wanted,
                                          std::uint32_t* sector) override;
    [[nodiscard]] Status allocateRun(std::uint32_t previous, std::uint64_t wanted,
                                     std::uint32_t* first, std::uint32_t* count) override;
    [[nodiscard]] Status release(std::uint32_t sector) override;
    [[nodiscard]] std::uint32_t sectorLimit() const override { return sectorCount_; }
    [[nodiscard]] const char* tableName() const override { return "FAT"; }

    // True when the last committed state uses `sector`.
    [[nodiscard]] Status committedUses(std::uint32_t sector, bool* used);

    // Moves every changed FAT page and the DIFAT to sectors free in the committed state,
    // writes them and fills in the FAT and DIFAT fields of `header`.
    [[nodiscard]] Status writeForCommit(Header* header);
    // The state just written becomes the committed one.
    void markCommitted();

    [[nodiscard]] std::uint32_t sectorCount() const { return sectorCount_; }
    // Sectors at or past this one are not used by the last committed state.
    [[nodiscard]] std::uint32_t committedCount() const { return committedCount_; }
    [[nodiscard]] std::uint32_t rangeLockSector() const { return rangeLockSector_; }

private:
    // The entries of one FAT sector. Inside a long run every entry links to the sector after
    // its own; such a page keeps no entries at all, so that the memory a large stream costs
    // does not grow with its size.
    class Entries {
    public:
        // `count` entries of `value`, the first one for sector `base`.
        Entries(std::uint32_t base, std::uint32_t count, std::uint32_t value);
        Entries(std::uint32_t base, std::vector<std::uint32_t> values);
        // `count` entries, each linking to the sector after its own.
        Entries(std::uint32_t base, std::uint32_t count) : base_(base), count_(count) {}

        [[nodiscard]] bool linked() const { return values_.empty(); }
        [[nodiscard]] std::uint32_t at(std::uint32_t k) const {
            return linked() ? base_ + k + 1 : values_[k];
        }
        // The entries, valid while none changes; only when the page is not linked.
        [[nodiscard]] const std::uint32_t* data() const { return values_.data(); }
        void set(std::uint32_t k, std::uint32_t value);

    private:
        [[nodiscard]] bool linksOn(std::uint32_t k, std::uint32_t value) const {
            return value == base_ + k + 1;
        }

        std::uint32_t base_;
        std::uint32_t count_;
        std::uint32_t unlinked_ = 0; // entries that do not link to the next sector
        std::vector<std::uint32_t> values_;
    };

    // A FAT sector read or created, with the entries of the committed state once it changes.
    struct Page {
        bool dirty = false;
        Entries entries;
        std::unique_ptr<Entries> committed;
    };

    // The pages read or created, by index, kept in groups allocated as they are first used,
    // so that a page far into a large FAT costs no table sized by its index.
    class PageTable {
    public:
        [[nodiscard]] Page* find(std::size_t index) const {
            const std::size_t group = index >> groupShift;
            return group < groups_.size() && groups_[group]
                       ? (*groups_[group])[index & (groupSize - 1)].get()
                       : nullptr;
        }
        void put(std::size_t index, std::unique_ptr<Page> page);
        void clear() { groups_.clear(); }
        template <typename Visit>
        void forEach(Visit visit) {
            for (auto& group : groups_)
                if (group)
                    for (auto& page : *group)
                        if (page)
                            visit(*page);
        }

    private:
        static constexpr std::size_t groupShift = 7;
        static constexpr std::size_t groupSize = std::size_t{1} << groupShift;
        using Group = std::array<std::unique_ptr<Page>, groupSize>;
        std::vector<std::unique_ptr<Group>> groups_;
    };

    // The location of each FAT page, by index. A page whose DIFAT sector was read but not
    // taken yet reads as `unset` (no sector number reaches it: it lies between the regular
    // sectors and the sentinels); groups of locations are allocated only when one of them is
    // set, so that following the DIFAT far into a large file fills no table sized by the
    // index of the page it looks for.
    class LocationTable {
    public:
        static constexpr std::uint32_t unset = maxRegularSector + 1;

        [[nodiscard]] std::size_t size() const { return size_; }
        [[nodiscard]] std::uint32_t at(std::size_t index) const {
            const std::size_t group = index >> groupShift;
            return group < groups_.size() && groups_[group]
                       ? (*groups_[group])[index & (groupSize - 1)]
                       : unset;
        }
        void set(std::size_t index, std::uint32_t location) {
            const std::size_t group = index >> groupShift;
            if (group >= groups_.size() || !groups_[group])
                addGroup(group);
            (*groups_[group])[index & (groupSize - 1)] = location;
        }
        void push_back(std::uint32_t location) { set(size_++, location); }
        // Adds `count` pages whose locations are not known yet.
        void grow(std::size_t count) { size_ += count; }
        void clear() {
            groups_.clear();
            size_ = 0;
        }

    private:
        static constexpr std::size_t groupShift = 7;
        static constexpr std::size_t groupSize = std::size_t{1} << groupShift;
        using Group = std::array<std::uint32_t, groupSize>;
        void addGroup(std::size_t group);
        std::vector<std::unique_ptr<Group>> groups_;
        std::size_t size_ = 0;
    };

    [[nodiscard]] Status loadPage(std::size_t index);
    [[nodiscard]] bool insideOneRun(const std::uint8_t* bytes, std::uint64_t base) const;
    // The bytes of FAT page `index`, read together with the pages after it that lie in the
    // sectors right after its own and are not loaded yet.
    [[nodiscard]] Status readPageBytes(std::size_t index, const std::uint8_t** bytes);
    [[nodiscard]] static std::unique_ptr<Page> newPage(Entries entries);
    // The sector that the first entry of FAT page `index` describes.
    [[nodiscard]] std::uint32_t pageBase(std::size_t index) const;
    [[nodiscard]] Status pageFor(std::uint32_t sector, Page** page);
    [[nodiscard]] Status locatePage(std::size_t index);
    // Locates every page the file's DIFAT lists, as a change of the tables needs them.
    [[nodiscard]] Status locateAllPages();
    [[nodiscard]] Status learnCommittedTables();
    // The DIFAT chain, read from nextDifatSector_: checks the next sector's number, keeps a
    // sector read (its page locations unset until it is parsed), and reads
    // up to `wanted` sectors (at least one) with one call as far as they lie side by side.
    [[nodiscard]] Status checkNextDifatSector();
    void takeDifatSector(const std::uint8_t* bytes);
    [[nodiscard]] Status readDifatSectors(std::size_t wanted);
    // Checks and takes the page locations that DIFAT sector `n` (counted along the chain)
    // lists.
    [[nodiscard]] Status parseDifatSector(std::size_t n);
    [[nodiscard]] Status appendSector(std::uint32_t* sector);
    // Appends up to `wanted` consecutive sectors at once, linked as one run; none when the
    // range-lock sector or a size limit is next (appendSector then deals with it).
    [[nodiscard]] Status appendRun(std::uint64_t wanted, std::uint32_t* appended);
    // The page of `sector`, marked changed (its committed entries kept when it has any).
    [[nodiscard]] Status changedPageFor(std::uint32_t sector, Page** page);
    // True when `sector` is free now and in the committed state, and may be handed out.
    [[nodiscard]] Status isAvailable(std::uint32_t sector, bool* available);
    // The lowest sector that may be handed out, or sectorCount_ when there is none.
    [[nodiscard]] Status findAvailable(std::uint32_t* sector);
    // The first of the lowest `wanted` consecutive sectors that may be handed out (fewer when
    // they reach the end of the file, where the run can grow), or sectorCount_.
    [[nodiscard]] Status findRun(std::uint64_t wanted, std::uint32_t* first);
    [[nodiscard]] Status take(std::uint32_t sector, std::uint32_t* taken);
    [[nodiscard]] Status relocateChangedPages(bool* moved);
    [[nodiscard]] Status relocateDifat(bool* moved);
    [[nodiscard]] Status writeDifat();
    [[nodiscard]] std::size_t difatSectorsNeeded() const;

    SectorFile& file_;
    std::uint32_t entriesPerPage_;
    std::uint32_t pageShift_; // log2 of entriesPerPage_
    std::uint32_t sectorCount_ = 0;
    std::uint32_t loadLimit_ = 0;      // sectors that existed when the FAT was read
    std::uint32_t committedCount_ = 0; // sectors of the last committed state
    std::uint32_t rangeLockSector_;
    std::uint32_t searchFrom_ = 0;
    // Per FAT sector: its location (freeSector until placed) once the DIFAT was read that far,
    // and its entries once read.
    LocationTable locations_;
    PageTable pages_;
    // FAT sectors read ahead, as bytes: a long chain is walked with a few large reads of the
    // FAT rather than one per sector. Each page is still checked only when first used.
    ReadBuffer aheadBytes_;
    std::uint32_t aheadFirst_ = 0; // the sector of aheadBytes_[0]
    std::uint32_t aheadCount_ = 0; // sectors held
    // The page after the last one the last read took, kept when aheadCount_ is reset.
    static constexpr std::size_t noPageRead = ~std::size_t{0};
    std::size_t aheadNextPage_ = noPageRead;
    // The DIFAT is read lazily, one sector when a FAT page it locates is first needed, so
    // that opening a large file costs no more than opening a small one.
    std::vector<std::uint32_t> difatSectors_;
    // The bytes of each DIFAT sector read, and whether its page locations were taken: a
    // sector's entries are checked and taken only when a page it lists is first needed.
    ReadBuffer difatBytes_;
    std::vector<bool> difatParsed_;
    std::uint32_t highestDifatSector_ = 0;
    std::uint32_t nextDifatSector_ = endOfChain;
    std::uint32_t declaredDifatSectors_ = 0;
    std::size_t pagesOnDisk_ = 0; // pages the file's DIFAT lists (locations_ grows to them)
    std::uint64_t fileSectors_ = 0;
    bool difatChanged_ = false;
    // Sectors holding the committed FAT and DIFAT: never handed out before the next commit,
    // even when a careless writer left them marked free.
    std::unordered_set<std::uint32_t> committedTables_;
    bool tablesKnown_ = true;
};

// The mini FAT, held whole in memory (it describes at most the mini stream, which stays
// small), read when a mini stream is first used and written to fresh sectors at every commit
// that changed it.
class MiniFat final : public ChainLinks {
public:
    // Takes the mini FAT of `header` for a mini stream of `miniSectors` mini sectors, without
    // reading it yet.
    void attach(const Header& header, std::uint32_t miniSectors);
    // Reads the table through `fat` unless it was read already; every other member but
    // writeForCommit needs it read.
    [[nodiscard]] Status load(SectorFile& file, Fat& fat);

    [[nodiscard]] Status next(std::uint32_t sector, std::uint32_t* next) override;
    [[nodiscard]] Status setNext(std::uint32_t sector, std::uint32_t next) override;
    [[nodiscard]] Status allocate(std::uint32_t* sector) override;
    [[nodiscard]] Status allocateForChain(std::uint32_t previous, std::uint64_t wanted,
                                          std::uint32_t* sector) override;
    [[nodiscard]] Status release(std::uint32_t sector) override;
    [[nodiscard]] std::uint32_t sectorLimit() const override {
        return static_cast<std::uint32_t>(entries_.size());
    }
    [[nodiscard]] const char* tableName() const override { return "mini FAT"; }

    // Writes the table to fresh sectors when it changed, releasing the old ones, and fills
    // in the mini FAT fields of `header`.
    [[nodiscard]] Status writeForCommit(SectorFile& file, Fat& fat, Header* header);
    void markCommitted() { changed_ = false; }

private:
    std::vector<std::uint32_t> entries_;
    bool loaded_ = false;
    std::uint32_t miniSectors_ = 0;
    std::uint32_t firstSector_ = endOfChain;
    std::uint32_t sectorCount_ = 0;
    std::unique_ptr<ChainMap> chain_;
    std::uint32_t searchFrom_ = 0;
    bool changed_ = false;
};

} // namespace engine::cfb
