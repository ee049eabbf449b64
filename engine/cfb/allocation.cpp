#include "cfb/allocation.h"

#include "common/error.h"

#include <algorithm>
#include <bit>
#include <iterator>

namespace engine::cfb {
namespace {

// How much of the FAT is read at once at most when the file keeps its FAT sectors side by
// side: 16 sectors of 4096 bytes (a 64 MiB stream) or 128 of 512 bytes (8 MiB). Only a read
// that goes on with the page after the last one read takes that much; any other takes one
// sector, so that the few lookups of opening a file read only the sectors they need.
constexpr std::uint32_t fatReadAheadBytes = 64u << 10;
// DIFAT sectors read with one call at most (each lists 127 or 1023 FAT pages).
constexpr std::size_t maxDifatSectorsPerRead = 256;

} // namespace

// ---- ChainLinks -------------------------------------------------------------------------

Status ChainLinks::nextRun(std::uint32_t sector, std::uint64_t maxSectors, std::uint32_t* count,
                           std::uint32_t* next) {
    *count = 0;
    for (std::uint32_t at = sector;; at = *next) {
        ENGINE_RETURN_IF_FAILED(this->next(at, next));
        ++*count;
        if (*next != at + 1 || *count >= maxSectors || *next >= sectorLimit())
            return Status::ok;
    }
}

Status ChainLinks::allocateForChain(std::uint32_t, std::uint64_t, std::uint32_t* sector) {
    return allocate(sector);
}

Status ChainLinks::allocateRun(std::uint32_t previous, std::uint64_t wanted, std::uint32_t* first,
                               std::uint32_t* count) {
    *count = 1;
    return allocateForChain(previous, wanted, first);
}

// ---- ChainMap ---------------------------------------------------------------------------

ChainMap::ChainMap(std::uint32_t firstSector) {
    reset(firstSector);
}

void ChainMap::reset(std::uint32_t firstSector) {
    first_ = firstSector;
    runs_.clear();
    runStarts_.clear();
    walked_.clear();
    mapped_ = 0;
    complete_ = firstSector == endOfChain;
}

// True when a sector of [first, first + count) was already walked.
bool ChainMap::visited(std::uint32_t first, std::uint32_t count) const {
    auto it = walked_.upper_bound(first + (count - 1));
    if (it == walked_.begin())
        return false;
    --it;
    return it->first + static_cast<std::uint64_t>(it->second) > first;
}

Status ChainMap::addWalked(ChainLinks& links, std::uint32_t first, std::uint32_t count) {
    if (first >= links.sectorLimit() || count > links.sectorLimit() - first)
        return fail(Status::docfileCorrupt,
                    describe(links.tableName(), " chain starting at ", first_, " reaches sector ",
                             first, " at position ", mapped_, ", past the last sector ",
                             links.sectorLimit()));
    if (visited(first, count))
        return fail(Status::docfileCorrupt,
                    describe(links.tableName(), " chain starting at ", first_,
                             " loops back to sectors ", first, "..", first + (count - 1),
                             " at position ", mapped_));
    auto before = walked_.lower_bound(first);
    if (before != walked_.begin() && std::prev(before)->first + std::prev(before)->second == first)
        std::prev(before)->second += count;
    else
        walked_.emplace_hint(before, first, count);
    appendRun(first, count);
    return Status::ok;
}

// The sector at a position is known once the link of the position before it is read: the
// first sector needs no lookup at all, and the link of the last position asked for is read
// only when a later position is.
Status ChainMap::mapUpTo(ChainLinks& links, std::uint64_t count) {
    if (!complete_ && mapped_ == 0 && count > 0)
        ENGINE_RETURN_IF_FAILED(addWalked(links, first_, 1));
    while (!complete_ && mapped_ < count) {
        const std::uint32_t last = sectorAt(mapped_ - 1);
        std::uint32_t steps = 0;
        std::uint32_t next = 0;
        ENGINE_RETURN_IF_FAILED(links.nextRun(last, count - mapped_, &steps, &next));
        // The links of `steps` sectors from `last` on were read; all but the last lead to the
        // sector right after their own.
        if (steps > 1)
            ENGINE_RETURN_IF_FAILED(addWalked(links, last + 1, steps - 1));
        if (next == endOfChain) {
            complete_ = true;
            break;
        }
        if (next > maxRegularSector)
            return fail(Status::docfileCorrupt,
                        describe(links.tableName(), " entry ", last + (steps - 1), " holds ", next,
                                 " inside the chain starting at ", first_));
        ENGINE_RETURN_IF_FAILED(addWalked(links, next, 1));
    }
    if (complete_)
        walked_.clear();
    return Status::ok;
}

Status ChainMap::mapAll(ChainLinks& links) {
    return mapUpTo(links, static_cast<std::uint64_t>(links.sectorLimit()) + 1);
}

std::size_t ChainMap::runIndexOf(std::uint64_t position) const {
    const auto it = std::upper_bound(runStarts_.begin(), runStarts_.end(), position);
    return static_cast<std::size_t>(it - runStarts_.begin()) - 1;
}

std::uint32_t ChainMap::sectorAt(std::uint64_t position) const {
    const std::size_t index = runIndexOf(position);
    return runs_[index].first + static_cast<std::uint32_t>(position - runStarts_[index]);
}

void ChainMap::append(std::uint32_t sector) {
    appendRun(sector, 1);
}

void ChainMap::appendRun(std::uint32_t first, std::uint32_t count) {
    if (mapped_ == 0)
        first_ = first;
    if (!runs_.empty() && runs_.back().first + runs_.back().count == first) {
        runs_.back().count += count;
    } else {
        runs_.push_back({first, count});
        runStarts_.push_back(mapped_);
    }
    mapped_ += count;
}

void ChainMap::truncate(std::uint64_t count) {
    if (count >= mapped_)
        return;
    if (count == 0) {
        reset(endOfChain);
        return;
    }
    const std::size_t index = runIndexOf(count - 1);
    runs_[index].count = static_cast<std::uint32_t>(count - runStarts_[index]);
    runs_.resize(index + 1);
    runStarts_.resize(index + 1);
    mapped_ = count;
    complete_ = true;
    walked_.clear();
}

void ChainMap::replace(std::uint64_t position, std::uint32_t sector) {
    const std::size_t index = runIndexOf(position);
    const Run old = runs_[index];
    const auto offset = static_cast<std::uint32_t>(position - runStarts_[index]);
    std::vector<Run> pieces;
    if (offset > 0)
        pieces.push_back({old.first, offset});
    pieces.push_back({sector, 1});
    if (offset + 1 < old.count)
        pieces.push_back({old.first + offset + 1, old.count - offset - 1});
    runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(index));
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(index), pieces.begin(), pieces.end());
    // Merge the new piece with its neighbours when they are consecutive on disk.
    std::size_t from = index > 0 ? index - 1 : 0;
    std::size_t to = std::min(runs_.size(), index + pieces.size() + 1);
    for (std::size_t i = from; i + 1 < to;) {
        if (runs_[i].first + runs_[i].count == runs_[i + 1].first) {
            runs_[i].count += runs_[i + 1].count;
            runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            --to;
        } else {
            ++i;
        }
    }
    runStarts_.resize(runs_.size());
    std::uint64_t start = from == 0 ? 0 : runStarts_[from];
    for (std::size_t i = from; i < runs_.size(); ++i) {
        runStarts_[i] = start;
        start += runs_[i].count;
    }
    if (position == 0)
        first_ = sector;
}

// ---- Fat --------------------------------------------------------------------------------

Fat::Fat(SectorFile& file)
    : file_(file), entriesPerPage_(file.sectorSize() / 4),
      pageShift_(static_cast<std::uint32_t>(std::countr_zero(file.sectorSize() / 4))),
      rangeLockSector_(static_cast<std::uint32_t>(rangeLockFirstByte / file.sectorSize()) - 1) {}

void Fat::createEmpty() {
    pages_.clear();
    aheadCount_ = 0;
    aheadNextPage_ = noPageRead;
    locations_.clear();
    committedTables_.clear();
    tablesKnown_ = true; // nothing is committed yet
    difatSectors_.clear();
    highestDifatSector_ = 0;
    difatBytes_.clear();
    difatParsed_.clear();
    nextDifatSector_ = endOfChain;
    declaredDifatSectors_ = 0;
    pagesOnDisk_ = 0;
    fileSectors_ = 0;
    sectorCount_ = 0;
    loadLimit_ = 0;
    committedCount_ = 0;
    searchFrom_ = 0;
    difatChanged_ = true;
}

Status Fat::checkNextDifatSector() {
    const std::uint32_t sector = nextDifatSector_;
    const auto n = difatSectors_.size();
    if (n >= declaredDifatSectors_ || sector >= fileSectors_)
        return fail(Status::docfileCorrupt,
                    describe("the DIFAT locates ", locations_.size(), " of ", pagesOnDisk_,
                             " FAT sectors: DIFAT sector ", n, " of ", declaredDifatSectors_,
                             " would be sector ", sector, " in a file of ", fileSectors_));
    // A chain that only climbs, as this engine writes it, cannot loop: the earlier sectors
    // are searched only for a link that goes back.
    const bool climbs = n == 0 || sector > highestDifatSector_;
    if (!climbs &&
        std::find(difatSectors_.begin(), difatSectors_.end(), sector) != difatSectors_.end())
        return fail(Status::docfileCorrupt,
                    describe("the DIFAT chain loops back to sector ", sector));
    return Status::ok;
}

void Fat::takeDifatSector(const std::uint8_t* bytes) {
    difatSectors_.push_back(nextDifatSector_);
    highestDifatSector_ = std::max(highestDifatSector_, nextDifatSector_);
    difatParsed_.push_back(false);
    const std::size_t listed =
        std::min<std::size_t>(entriesPerPage_ - 1, pagesOnDisk_ - locations_.size());
    locations_.grow(listed);
    nextDifatSector_ = load32(bytes + 4 * (entriesPerPage_ - 1));
}

Status Fat::parseDifatSector(std::size_t n) {
    const std::size_t perSector = entriesPerPage_ - 1;
    const std::uint8_t* bytes = difatBytes_.data() + n * file_.sectorSize();
    const std::size_t first = headerDifatEntries + n * perSector;
    const std::size_t end = std::min(first + perSector, locations_.size());
    for (std::size_t page = first; page < end; ++page) {
        const std::uint32_t location = load32(bytes + 4 * (page - first));
        if (location >= fileSectors_)
            return fail(Status::docfileCorrupt,
                        describe("FAT sector ", page, " is located at sector ", location,
                                 ", past the last sector ", fileSectors_, " (DIFAT sector ", n,
                                 ")"));
        locations_.set(page, location);
    }
    difatParsed_[n] = true;
    return Status::ok;
}

Status Fat::readDifatSectors(std::size_t wanted) {
    ENGINE_RETURN_IF_FAILED(checkNextDifatSector());
    const std::uint32_t first = nextDifatSector_;
    const std::size_t count =
        std::min<std::size_t>({wanted, maxDifatSectorsPerRead, fileSectors_ - first,
                               declaredDifatSectors_ - difatSectors_.size()});
    const std::size_t sectorSize = file_.sectorSize();
    // Read straight behind the sectors already kept; what the chain does not take is cut off.
    const std::size_t kept = difatBytes_.size();
    difatBytes_.resize(kept + count * sectorSize);
    Status status =
        file_.readOnce(file_.offsetOf(first), difatBytes_.data() + kept, count * sectorSize);
    std::size_t taken = 0;
    if (!failed(status)) {
        takeDifatSector(difatBytes_.data() + kept);
        for (taken = 1; taken < count && nextDifatSector_ == first + taken; ++taken) {
            status = checkNextDifatSector();
            if (failed(status))
                break;
            takeDifatSector(difatBytes_.data() + kept + taken * sectorSize);
        }
    }
    difatBytes_.resize(kept + taken * sectorSize);
    return status;
}

// The DIFAT sectors still needed to locate a page are read with one call as far as they lie
// side by side, as this engine writes them: opening a large version 3 file, whose directory
// sits past the pages the header locates, then costs the same calls as a small one. Only the
// DIFAT sector that lists the page has its entries taken, so that the work does not grow
// with the number of DIFAT sectors before it.
Status Fat::locatePage(std::size_t index) {
    if (index >= pagesOnDisk_)
        return Status::ok;
    const std::size_t perSector = entriesPerPage_ - 1;
    while (index >= locations_.size())
        ENGINE_RETURN_IF_FAILED(readDifatSectors((index - locations_.size()) / perSector + 1));
    if (index < headerDifatEntries)
        return Status::ok;
    const std::size_t n = (index - headerDifatEntries) / perSector;
    return difatParsed_[n] ? Status::ok : parseDifatSector(n);
}

Status Fat::locateAllPages() {
    if (pagesOnDisk_ == 0)
        return Status::ok;
    ENGINE_RETURN_IF_FAILED(locatePage(pagesOnDisk_ - 1));
    for (std::size_t n = 0; n < difatParsed_.size(); ++n)
        if (!difatParsed_[n])
            ENGINE_RETURN_IF_FAILED(parseDifatSector(n));
    return Status::ok;
}

Status Fat::load(const Header& header, std::uint64_t fileSectors) {
    createEmpty();
    difatChanged_ = false;
    tablesKnown_ = false;
    if (header.fatSectorCount > fileSectors)
        return fail(Status::docfileCorrupt,
                    describe("the header counts ", header.fatSectorCount,
                             " FAT sectors in a file of ", fileSectors, " sectors"));
    if (header.difatSectorCount > fileSectors)
        return fail(Status::docfileCorrupt,
                    describe("the header counts ", header.difatSectorCount,
                             " DIFAT sectors in a file of ", fileSectors, " sectors"));
    fileSectors_ = fileSectors;
    // Only the locations the header holds are taken now; the rest, and the pages themselves,
    // as chains reach them.
    pagesOnDisk_ = header.fatSectorCount;
    for (std::size_t i = 0; i < std::min(pagesOnDisk_, headerDifatEntries); ++i) {
        if (header.difat[i] >= fileSectors)
            return fail(Status::docfileCorrupt,
                        describe("FAT sector ", i, " is located at sector ", header.difat[i],
                                 ", past the last sector ", fileSectors));
        locations_.push_back(header.difat[i]);
    }
    nextDifatSector_ = header.firstDifatSector;
    declaredDifatSectors_ = header.difatSectorCount;
    const std::uint64_t covered = static_cast<std::uint64_t>(pagesOnDisk_) * entriesPerPage_;
    sectorCount_ = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({fileSectors, covered, std::uint64_t{maxRegularSector} + 1}));
    loadLimit_ = sectorCount_;
    committedCount_ = sectorCount_;
    return Status::ok;
}

Fat::Entries::Entries(std::uint32_t base, std::uint32_t count, std::uint32_t value)
    : Entries(base, std::vector<std::uint32_t>(count, value)) {}

Fat::Entries::Entries(std::uint32_t base, std::vector<std::uint32_t> values)
    : base_(base), count_(static_cast<std::uint32_t>(values.size())), values_(std::move(values)) {
    for (std::uint32_t k = 0; k < count_; ++k)
        unlinked_ += linksOn(k, values_[k]) ? 0 : 1;
    if (unlinked_ == 0)
        std::vector<std::uint32_t>().swap(values_);
}

void Fat::Entries::set(std::uint32_t k, std::uint32_t value) {
    if (linked()) {
        if (linksOn(k, value))
            return;
        values_.resize(count_);
        for (std::uint32_t i = 0; i < count_; ++i)
            values_[i] = base_ + i + 1;
    }
    unlinked_ -= linksOn(k, values_[k]) ? 0 : 1;
    unlinked_ += linksOn(k, value) ? 0 : 1;
    values_[k] = value;
    if (unlinked_ == 0) // the page lies inside one run: its entries say nothing
        std::vector<std::uint32_t>().swap(values_);
}

void Fat::PageTable::put(std::size_t index, std::unique_ptr<Page> page) {
    const std::size_t group = index >> groupShift;
    if (groups_.size() <= group)
        groups_.resize(group + 1);
    if (!groups_[group])
        groups_[group] = std::make_unique<Group>();
    (*groups_[group])[index & (groupSize - 1)] = std::move(page);
}

void Fat::LocationTable::addGroup(std::size_t group) {
    if (groups_.size() <= group)
        groups_.resize(group + 1);
    groups_[group] = std::make_unique<Group>();
    groups_[group]->fill(unset);
}

std::unique_ptr<Fat::Page> Fat::newPage(Entries entries) {
    return std::make_unique<Page>(Page{false, std::move(entries), nullptr});
}

std::uint32_t Fat::pageBase(std::size_t index) const {
    return static_cast<std::uint32_t>(index << pageShift_);
}

Status Fat::readPageBytes(std::size_t index, const std::uint8_t** bytes) {
    const std::uint32_t sectorSize = file_.sectorSize();
    const std::uint32_t location = locations_.at(index);
    if (location - aheadFirst_ < aheadCount_) {
        *bytes = aheadBytes_.data() + std::size_t{location - aheadFirst_} * sectorSize;
        return Status::ok;
    }
    const std::uint32_t most = index == aheadNextPage_ ? fatReadAheadBytes / sectorSize : 1;
    std::uint32_t count = 1;
    // Pages whose DIFAT sector is not taken yet read as LocationTable::unset and end the
    // stretch.
    while (count < most && index + count < std::min(locations_.size(), pagesOnDisk_) &&
           locations_.at(index + count) == location + count && !pages_.find(index + count))
        ++count;
    aheadCount_ = 0;
    aheadFirst_ = location;
    aheadBytes_.clear(); // nothing of the last stretch is kept: no bytes to move on growing
    aheadBytes_.resize(std::size_t{count} * sectorSize);
    // A stretch of pages is kept here and goes straight into this buffer; a single sector
    // may share the file's cached block with the directory sectors read at open.
    const std::uint64_t offset = file_.offsetOf(location);
    ENGINE_RETURN_IF_FAILED(count > 1
                                ? file_.readOnce(offset, aheadBytes_.data(), aheadBytes_.size())
                                : file_.read(offset, aheadBytes_.data(), aheadBytes_.size()));
    aheadCount_ = count;
    aheadNextPage_ = index + count;
    *bytes = aheadBytes_.data();
    return Status::ok;
}

// Whether every entry of the page links to the sector after its own, the last one to a sector
// that exists: the common page of a long stream, kept without entries and with no more check.
bool Fat::insideOneRun(const std::uint8_t* bytes, std::uint64_t base) const {
    if (base + entriesPerPage_ >= loadLimit_)
        return false;
    for (std::uint32_t k = 0; k < entriesPerPage_; ++k)
        if (load32(bytes + 4 * k) != base + k + 1)
            return false;
    return true;
}

Status Fat::loadPage(std::size_t index) {
    ENGINE_RETURN_IF_FAILED(locatePage(index));
    const std::uint8_t* bytes = nullptr;
    ENGINE_RETURN_IF_FAILED(readPageBytes(index, &bytes));
    const std::uint64_t base = pageBase(index);
    if (insideOneRun(bytes, base)) {
        pages_.put(index, newPage(Entries(pageBase(index), entriesPerPage_)));
        return Status::ok;
    }
    std::vector<std::uint32_t> entries(entriesPerPage_);
    for (std::uint32_t k = 0; k < entriesPerPage_; ++k) {
        std::uint32_t entry = load32(bytes + 4 * k);
        if (base + k >= loadLimit_)
            entry = freeSector; // no sector behind this entry: nothing can use it
        else if (entry <= maxRegularSector && entry >= loadLimit_)
            return fail(Status::docfileCorrupt,
                        describe("FAT entry ", base + k, " points to sector ", entry,
                                 ", past the last sector ", loadLimit_));
        entries[k] = entry;
    }
    pages_.put(index, newPage(Entries(pageBase(index), std::move(entries))));
    return Status::ok;
}

Status Fat::pageFor(std::uint32_t sector, Page** page) {
    const std::size_t index = sector >> pageShift_;
    if (Page* found = pages_.find(index)) {
        *page = found;
        return Status::ok;
    }
    if (index < pagesOnDisk_) {
        ENGINE_RETURN_IF_FAILED(loadPage(index));
        *page = pages_.find(index);
        return Status::ok;
    }
    // A page past the file's FAT: new, placed at the next commit, after every page the file
    // already has.
    ENGINE_RETURN_IF_FAILED(locateAllPages());
    while (locations_.size() <= index) {
        auto fresh = newPage(Entries(pageBase(locations_.size()), entriesPerPage_, freeSector));
        fresh->dirty = true;
        pages_.put(locations_.size(), std::move(fresh));
        locations_.push_back(freeSector);
        difatChanged_ = true;
    }
    *page = pages_.find(index);
    return Status::ok;
}

Status Fat::next(std::uint32_t sector, std::uint32_t* next) {
    *next = freeSector;
    if (sector >= sectorCount_)
        return fail(Status::docfileCorrupt, describe("FAT lookup of sector ", sector,
                                                     " past the last sector ", sectorCount_));
    Page* page = nullptr;
    ENGINE_RETURN_IF_FAILED(pageFor(sector, &page));
    *next = page->entries.at(sector & (entriesPerPage_ - 1));
    return Status::ok;
}

Status Fat::nextRun(std::uint32_t sector, std::uint64_t maxSectors, std::uint32_t* count,
                    std::uint32_t* next) {
    *count = 0;
    *next = freeSector;
    if (sector >= sectorCount_)
        return fail(Status::docfileCorrupt, describe("FAT lookup of sector ", sector,
                                                     " past the last sector ", sectorCount_));
    for (std::uint32_t at = sector;;) {
        Page* page = nullptr;
        ENGINE_RETURN_IF_FAILED(pageFor(at, &page));
        // Within one FAT sector, scan for the first entry that does not link to the sector
        // right after its own, within the sectors still wanted.
        const std::uint32_t base = at - at % entriesPerPage_;
        const std::uint64_t wanted = maxSectors - *count;
        const std::uint32_t first = at - base;
        const auto stop = static_cast<std::uint32_t>(
            std::min<std::uint64_t>({entriesPerPage_, first + wanted, sectorCount_ - base}));
        std::uint32_t k = first;
        if (page->entries.linked()) {
            k = stop - 1;
        } else {
            const std::uint32_t* entries = page->entries.data();
            while (k + 1 < stop && entries[k] == base + k + 1)
                ++k;
        }
        *count += k - first + 1;
        *next = page->entries.at(k);
        if (*next != base + k + 1 || *count >= maxSectors || *next >= sectorCount_)
            return Status::ok;
        at = *next; // the run goes on in the next FAT sector
    }
}

Status Fat::changedPageFor(std::uint32_t sector, Page** page) {
    ENGINE_RETURN_IF_FAILED(pageFor(sector, page));
    if (!(*page)->dirty) {
        (*page)->dirty = true;
        if (locations_.at(sector >> pageShift_) != freeSector && !(*page)->committed)
            (*page)->committed = std::make_unique<Entries>((*page)->entries);
    }
    return Status::ok;
}

Status Fat::setNext(std::uint32_t sector, std::uint32_t next) {
    Page* page = nullptr;
    ENGINE_RETURN_IF_FAILED(changedPageFor(sector, &page));
    page->entries.set(sector & (entriesPerPage_ - 1), next);
    return Status::ok;
}

Status Fat::committedUses(std::uint32_t sector, bool* used) {
    *used = false;
    if (sector >= committedCount_)
        return Status::ok;
    ENGINE_RETURN_IF_FAILED(learnCommittedTables());
    if (committedTables_.count(sector) != 0) {
        *used = true;
        return Status::ok;
    }
    Page* page = nullptr;
    ENGINE_RETURN_IF_FAILED(pageFor(sector, &page));
    const Entries& entries = page->committed ? *page->committed : page->entries;
    *used = entries.at(sector & (entriesPerPage_ - 1)) != freeSector;
    return Status::ok;
}

Status Fat::release(std::uint32_t sector) {
    ENGINE_RETURN_IF_FAILED(setNext(sector, freeSector));
    bool used = false;
    ENGINE_RETURN_IF_FAILED(committedUses(sector, &used));
    if (!used)
        searchFrom_ = std::min(searchFrom_, sector);
    return Status::ok;
}

Status Fat::appendSector(std::uint32_t* sector) {
    const bool version3 = file_.sectorSize() == sectorSizeOf(Version::v3);
    // Room is kept for the FAT and DIFAT sectors that describe every sector appended.
    const std::uint32_t tableSectors = sectorCount_ / (entriesPerPage_ - 1) + 2;
    if (version3 && sectorCount_ + tableSectors >= rangeLockSector_)
        return fail(Status::docfileTooLarge, describe("a version 3 file cannot grow past ",
                                                      sectorCount_, " sectors (2 GiB)"));
    if (sectorCount_ == rangeLockSector_) {
        // The range-lock sector is kept out of every chain for good.
        ++sectorCount_;
        ENGINE_RETURN_IF_FAILED(setNext(rangeLockSector_, endOfChain));
    }
    if (sectorCount_ > maxRegularSector)
        return fail(Status::mediumFull, describe("the file already has ", sectorCount_,
                                                 " sectors, the most a FAT can number"));
    if (searchFrom_ == sectorCount_)
        ++searchFrom_; // every sector below it stays in use
    *sector = sectorCount_++;
    return setNext(*sector, endOfChain);
}

Status Fat::learnCommittedTables() {
    if (tablesKnown_)
        return Status::ok;
    // Read on the first change only, so that opening to read costs no more for a large file.
    ENGINE_RETURN_IF_FAILED(locateAllPages());
    for (std::size_t i = 0; i < pagesOnDisk_; ++i)
        committedTables_.insert(locations_.at(i));
    committedTables_.insert(difatSectors_.begin(), difatSectors_.end());
    tablesKnown_ = true;
    return Status::ok;
}

Status Fat::isAvailable(std::uint32_t sector, bool* available) {
    *available = false;
    Page* page = nullptr;
    ENGINE_RETURN_IF_FAILED(pageFor(sector, &page));
    if (page->entries.at(sector & (entriesPerPage_ - 1)) != freeSector ||
        sector == rangeLockSector_)
        return Status::ok;
    bool used = false;
    ENGINE_RETURN_IF_FAILED(committedUses(sector, &used));
    *available = !used;
    return Status::ok;
}

Status Fat::findAvailable(std::uint32_t* sector) {
    for (std::uint32_t candidate = searchFrom_; candidate < sectorCount_; ++candidate) {
        bool available = false;
        ENGINE_RETURN_IF_FAILED(isAvailable(candidate, &available));
        if (available) {
            searchFrom_ = candidate;
            *sector = candidate;
            return Status::ok;
        }
    }
    searchFrom_ = sectorCount_;
    *sector = sectorCount_;
    return Status::ok;
}

Status Fat::take(std::uint32_t sector, std::uint32_t* taken) {
    if (sector == searchFrom_)
        ++searchFrom_;
    *taken = sector;
    return setNext(sector, endOfChain);
}

Status Fat::allocate(std::uint32_t* sector) {
    ENGINE_RETURN_IF_FAILED(learnCommittedTables());
    std::uint32_t lowest = 0;
    ENGINE_RETURN_IF_FAILED(findAvailable(&lowest));
    return lowest < sectorCount_ ? take(lowest, sector) : appendSector(sector);
}

Status Fat::findRun(std::uint64_t wanted, std::uint32_t* first) {
    std::uint32_t candidate = 0;
    ENGINE_RETURN_IF_FAILED(findAvailable(&candidate));
    while (candidate < sectorCount_) {
        std::uint32_t end = candidate + 1;
        bool available = true;
        while (end < sectorCount_ && end - candidate < wanted) {
            ENGINE_RETURN_IF_FAILED(isAvailable(end, &available));
            if (!available)
                break;
            ++end;
        }
        if (available) { // `wanted` sectors, or a run to the end of the file
            *first = candidate;
            return Status::ok;
        }
        for (candidate = end + 1; candidate < sectorCount_; ++candidate) {
            ENGINE_RETURN_IF_FAILED(isAvailable(candidate, &available));
            if (available)
                break;
        }
    }
    *first = sectorCount_;
    return Status::ok;
}

Status Fat::allocateForChain(std::uint32_t previous, std::uint64_t wanted, std::uint32_t* sector) {
    ENGINE_RETURN_IF_FAILED(learnCommittedTables());
    if (previous != endOfChain) {
        const std::uint64_t next = std::uint64_t{previous} + 1;
        if (next == sectorCount_)
            return appendSector(sector);
        bool available = false;
        if (next < sectorCount_)
            ENGINE_RETURN_IF_FAILED(isAvailable(static_cast<std::uint32_t>(next), &available));
        if (available)
            return take(static_cast<std::uint32_t>(next), sector);
    }
    // Holes too small for the sectors still wanted are left to the tables of the next commit
    // and to small streams.
    std::uint32_t first = 0;
    ENGINE_RETURN_IF_FAILED(findRun(wanted, &first));
    return first < sectorCount_ ? take(first, sector) : appendSector(sector);
}

Status Fat::appendRun(std::uint64_t wanted, std::uint32_t* appended) {
    *appended = 0;
    std::uint64_t count = std::min<std::uint64_t>(
        wanted, std::uint64_t{maxRegularSector} + 1 - std::min(sectorCount_, maxRegularSector + 1));
    if (sectorCount_ <= rangeLockSector_)
        count = std::min<std::uint64_t>(count, rangeLockSector_ - sectorCount_);
    const bool version3 = file_.sectorSize() == sectorSizeOf(Version::v3);
    const std::uint64_t total = sectorCount_ + count;
    if (count == 0 || (version3 && total + total / (entriesPerPage_ - 1) + 2 >= rangeLockSector_))
        return Status::ok; // appendSector says why, or steps over the range-lock sector
    // Consecutive sectors, each linked to the next, written page by page.
    const std::uint64_t end = total;
    for (std::uint64_t sector = sectorCount_; sector < end;) {
        Page* page = nullptr;
        ENGINE_RETURN_IF_FAILED(changedPageFor(static_cast<std::uint32_t>(sector), &page));
        const std::uint64_t pageEnd = std::min(end, ((sector >> pageShift_) + 1) << pageShift_);
        for (; sector < pageEnd; ++sector)
            page->entries.set(static_cast<std::uint32_t>(sector & (entriesPerPage_ - 1)),
                              sector + 1 < end ? static_cast<std::uint32_t>(sector + 1)
                                               : endOfChain);
    }
    *appended = static_cast<std::uint32_t>(count);
    if (searchFrom_ == sectorCount_)
        searchFrom_ = static_cast<std::uint32_t>(end);
    sectorCount_ = static_cast<std::uint32_t>(end);
    return Status::ok;
}

Status Fat::allocateRun(std::uint32_t previous, std::uint64_t wanted, std::uint32_t* first,
                        std::uint32_t* count) {
    ENGINE_RETURN_IF_FAILED(allocateForChain(previous, wanted, first));
    *count = 1;
    std::uint32_t last = *first;
    while (*count < wanted) {
        const std::uint64_t next = std::uint64_t{last} + 1;
        if (next == sectorCount_) {
            std::uint32_t appended = 0;
            ENGINE_RETURN_IF_FAILED(appendRun(wanted - *count, &appended));
            if (appended == 0)
                break;
            ENGINE_RETURN_IF_FAILED(setNext(last, static_cast<std::uint32_t>(next)));
            last += appended;
            *count += appended;
            continue;
        }
        bool available = false;
        if (next < sectorCount_)
            ENGINE_RETURN_IF_FAILED(isAvailable(static_cast<std::uint32_t>(next), &available));
        if (!available)
            break;
        std::uint32_t taken = 0;
        ENGINE_RETURN_IF_FAILED(take(static_cast<std::uint32_t>(next), &taken));
        ENGINE_RETURN_IF_FAILED(setNext(last, taken));
        last = taken;
        ++*count;
    }
    return Status::ok;
}

std::size_t Fat::difatSectorsNeeded() const {
    if (locations_.size() <= headerDifatEntries)
        return 0;
    const std::size_t perSector = entriesPerPage_ - 1;
    return (locations_.size() - headerDifatEntries + perSector - 1) / perSector;
}

Status Fat::relocateChangedPages(bool* moved) {
    // Relocating a page may change pages after it, which this loop then reaches.
    for (std::size_t i = 0; i < locations_.size(); ++i) {
        const Page* page = pages_.find(i);
        if (!page || !page->dirty)
            continue;
        const std::uint32_t old = locations_.at(i);
        bool usedByCommit = old == freeSector;
        if (!usedByCommit)
            ENGINE_RETURN_IF_FAILED(committedUses(old, &usedByCommit));
        if (!usedByCommit)
            continue;
        std::uint32_t fresh = 0;
        ENGINE_RETURN_IF_FAILED(allocate(&fresh));
        ENGINE_RETURN_IF_FAILED(setNext(fresh, fatSectorMark));
        if (old != freeSector)
            ENGINE_RETURN_IF_FAILED(release(old));
        locations_.set(i, fresh);
        difatChanged_ = true;
        *moved = true;
    }
    return Status::ok;
}

Status Fat::relocateDifat(bool* moved) {
    const std::size_t needed = difatSectorsNeeded();
    if (!difatChanged_ && difatSectors_.size() == needed)
        return Status::ok;
    difatChanged_ = true;
    for (std::uint32_t& sector : difatSectors_) {
        bool used = false;
        ENGINE_RETURN_IF_FAILED(committedUses(sector, &used));
        if (!used)
            continue;
        ENGINE_RETURN_IF_FAILED(release(sector));
        ENGINE_RETURN_IF_FAILED(allocate(&sector));
        ENGINE_RETURN_IF_FAILED(setNext(sector, difatSectorMark));
        *moved = true;
    }
    while (difatSectors_.size() < needed) {
        std::uint32_t sector = 0;
        ENGINE_RETURN_IF_FAILED(allocate(&sector));
        ENGINE_RETURN_IF_FAILED(setNext(sector, difatSectorMark));
        difatSectors_.push_back(sector);
        *moved = true;
    }
    while (difatSectors_.size() > needed) {
        ENGINE_RETURN_IF_FAILED(release(difatSectors_.back()));
        difatSectors_.pop_back();
        *moved = true;
    }
    return Status::ok;
}

Status Fat::writeDifat() {
    const std::size_t perSector = entriesPerPage_ - 1;
    std::vector<std::uint8_t> bytes(file_.sectorSize());
    for (std::size_t j = 0; j < difatSectors_.size(); ++j) {
        for (std::size_t k = 0; k < perSector; ++k) {
            const std::size_t page = headerDifatEntries + j * perSector + k;
            store32(bytes.data() + 4 * k,
                    page < locations_.size() ? locations_.at(page) : freeSector);
        }
        const std::uint32_t next = j + 1 < difatSectors_.size() ? difatSectors_[j + 1] : endOfChain;
        store32(bytes.data() + 4 * perSector, next);
        ENGINE_RETURN_IF_FAILED(
            file_.write(file_.offsetOf(difatSectors_[j]), bytes.data(), bytes.size()));
    }
    return Status::ok;
}

Status Fat::writeForCommit(Header* header) {
    ENGINE_RETURN_IF_FAILED(locateAllPages()); // the whole DIFAT is rewritten
    bool moved = true;
    while (moved) {
        moved = false;
        if (sectorCount_ > 0) {
            Page* last = nullptr; // creates the pages that cover every sector
            ENGINE_RETURN_IF_FAILED(pageFor(sectorCount_ - 1, &last));
        }
        ENGINE_RETURN_IF_FAILED(relocateChangedPages(&moved));
        ENGINE_RETURN_IF_FAILED(relocateDifat(&moved));
    }
    std::vector<std::uint8_t> bytes(file_.sectorSize());
    for (std::size_t i = 0; i < locations_.size(); ++i) {
        const Page* page = pages_.find(i);
        if (!page || !page->dirty)
            continue;
        for (std::uint32_t k = 0; k < entriesPerPage_; ++k)
            store32(bytes.data() + 4 * k, page->entries.at(k));
        ENGINE_RETURN_IF_FAILED(
            file_.write(file_.offsetOf(locations_.at(i)), bytes.data(), bytes.size()));
    }
    if (difatChanged_)
        ENGINE_RETURN_IF_FAILED(writeDifat());
    header->fatSectorCount = static_cast<std::uint32_t>(locations_.size());
    for (std::size_t i = 0; i < headerDifatEntries; ++i)
        header->difat[i] = i < locations_.size() ? locations_.at(i) : freeSector;
    header->firstDifatSector = difatSectors_.empty() ? endOfChain : difatSectors_.front();
    header->difatSectorCount = static_cast<std::uint32_t>(difatSectors_.size());
    return Status::ok;
}

void Fat::markCommitted() {
    pages_.forEach([](Page& page) {
        page.dirty = false;
        page.committed.reset();
    });
    difatChanged_ = false;
    aheadCount_ = 0; // the sectors it holds may be reused from now on
    pagesOnDisk_ = locations_.size();
    difatBytes_.clear(); // every DIFAT sector was taken before the commit wrote it
    difatParsed_.assign(difatSectors_.size(), true);
    committedTables_.clear();
    for (std::size_t i = 0; i < locations_.size(); ++i)
        committedTables_.insert(locations_.at(i));
    committedTables_.insert(difatSectors_.begin(), difatSectors_.end());
    tablesKnown_ = true;
    declaredDifatSectors_ = static_cast<std::uint32_t>(difatSectors_.size());
    committedCount_ = sectorCount_;
    searchFrom_ = 0;
}

// ---- MiniFat ----------------------------------------------------------------------------

void MiniFat::attach(const Header& header, std::uint32_t miniSectors) {
    entries_.clear();
    changed_ = false;
    searchFrom_ = 0;
    miniSectors_ = miniSectors;
    firstSector_ = header.firstMiniFatSector;
    sectorCount_ = header.miniFatSectorCount;
    if (sectorCount_ == 0 || firstSector_ == endOfChain) {
        firstSector_ = endOfChain;
        sectorCount_ = 0;
    }
    chain_ = std::make_unique<ChainMap>(firstSector_);
    loaded_ = sectorCount_ == 0;
}

Status MiniFat::load(SectorFile& file, Fat& fat) {
    if (loaded_)
        return Status::ok;
    entries_.clear();
    if (sectorCount_ > fat.sectorLimit())
        return fail(Status::docfileCorrupt,
                    describe("the header counts ", sectorCount_, " mini FAT sectors in a file of ",
                             fat.sectorLimit(), " sectors"));
    ENGINE_RETURN_IF_FAILED(chain_->mapUpTo(fat, sectorCount_));
    if (chain_->mappedCount() < sectorCount_)
        return fail(Status::docfileCorrupt,
                    describe("the mini FAT chain ends after ", chain_->mappedCount(), " of ",
                             sectorCount_, " sectors"));
    const std::uint32_t perSector = file.sectorSize() / 4;
    std::vector<std::uint8_t> bytes(file.sectorSize());
    entries_.reserve(static_cast<std::size_t>(sectorCount_) * perSector);
    for (std::uint32_t n = 0; n < sectorCount_; ++n) {
        ENGINE_RETURN_IF_FAILED(
            file.read(file.offsetOf(chain_->sectorAt(n)), bytes.data(), bytes.size()));
        for (std::uint32_t k = 0; k < perSector; ++k) {
            const auto index = static_cast<std::uint32_t>(entries_.size());
            // Entries beyond the mini stream have no mini sector behind them.
            entries_.push_back(index < miniSectors_ ? load32(bytes.data() + 4 * k) : freeSector);
        }
    }
    loaded_ = true;
    return Status::ok;
}

Status MiniFat::next(std::uint32_t sector, std::uint32_t* next) {
    *next = freeSector;
    if (sector >= entries_.size())
        return fail(Status::docfileCorrupt, describe("mini FAT lookup of mini sector ", sector,
                                                     " past the last ", entries_.size()));
    *next = entries_[sector];
    if (*next <= maxRegularSector && *next >= entries_.size())
        return fail(Status::docfileCorrupt,
                    describe("mini FAT entry ", sector, " points to mini sector ", *next,
                             ", past the last mini sector ", entries_.size()));
    return Status::ok;
}

Status MiniFat::setNext(std::uint32_t sector, std::uint32_t next) {
    if (sector >= entries_.size())
        return fail(Status::unexpected, describe("mini FAT change of mini sector ", sector,
                                                 " past the last ", entries_.size()));
    entries_[sector] = next;
    changed_ = true;
    return Status::ok;
}

Status MiniFat::allocate(std::uint32_t* sector) {
    for (std::uint32_t candidate = searchFrom_; candidate < entries_.size(); ++candidate) {
        if (entries_[candidate] == freeSector) {
            searchFrom_ = candidate + 1;
            *sector = candidate;
            return setNext(candidate, endOfChain);
        }
    }
    *sector = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(endOfChain);
    searchFrom_ = static_cast<std::uint32_t>(entries_.size());
    changed_ = true;
    return Status::ok;
}

Status MiniFat::allocateForChain(std::uint32_t previous, std::uint64_t, std::uint32_t* sector) {
    const std::uint64_t next = std::uint64_t{previous} + 1;
    if (previous != endOfChain && next < entries_.size() && entries_[next] == freeSector) {
        *sector = static_cast<std::uint32_t>(next);
        return setNext(*sector, endOfChain);
    }
    if (previous != endOfChain && next == entries_.size()) {
        *sector = static_cast<std::uint32_t>(next);
        entries_.push_back(endOfChain);
        changed_ = true;
        return Status::ok;
    }
    return allocate(sector);
}

Status MiniFat::release(std::uint32_t sector) {
    searchFrom_ = std::min(searchFrom_, sector);
    return setNext(sector, freeSector);
}

Status MiniFat::writeForCommit(SectorFile& file, Fat& fat, Header* header) {
    if (changed_) {
        ENGINE_RETURN_IF_FAILED(chain_->mapAll(fat));
        for (const Run& run : chain_->runs())
            for (std::uint32_t k = 0; k < run.count; ++k)
                ENGINE_RETURN_IF_FAILED(fat.release(run.first + k));
        const std::uint32_t perSector = file.sectorSize() / 4;
        sectorCount_ = static_cast<std::uint32_t>((entries_.size() + perSector - 1) / perSector);
        chain_ = std::make_unique<ChainMap>(endOfChain);
        std::vector<std::uint8_t> bytes(file.sectorSize());
        for (std::uint32_t n = 0; n < sectorCount_; ++n) {
            std::uint32_t sector = 0;
            ENGINE_RETURN_IF_FAILED(fat.allocate(&sector));
            if (n > 0)
                ENGINE_RETURN_IF_FAILED(fat.setNext(chain_->sectorAt(n - 1), sector));
            chain_->append(sector);
            for (std::uint32_t k = 0; k < perSector; ++k) {
                const std::size_t index = static_cast<std::size_t>(n) * perSector + k;
                store32(bytes.data() + 4 * k,
                        index < entries_.size() ? entries_[index] : freeSector);
            }
            ENGINE_RETURN_IF_FAILED(file.write(file.offsetOf(sector), bytes.data(), bytes.size()));
        }
        firstSector_ = sectorCount_ == 0 ? endOfChain : chain_->firstSector();
    }
    header->firstMiniFatSector = firstSector_;
    header->miniFatSectorCount = sectorCount_;
    return Status::ok;
}

} // namespace engine::cfb
