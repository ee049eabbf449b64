#include "cfb/file_core.h"

#include "common/error.h"

#include <algorithm>
#include <array>

namespace engine::cfb::detail {
namespace {

constexpr char16_t rootEntryName[] = u"Root Entry";
// The root keeps one generation for good, so that its handles outlive a revert.
constexpr std::uint64_t rootGeneration = 0;
// Nodes reserved ahead, for the entries of the directory sectors read, while a directory is
// read (most directories hold fewer entries; a damaged one whose entries refer far ahead must
// not make the engine reserve memory it would never use).
constexpr std::uint32_t nodesReservedAtMost = 1u << 18;
// Largest stream a version 3 file can describe (its sizes are 32-bit and it stays < 2 GiB).
constexpr std::uint64_t version3MaxStreamSize = version3MaxFileSize;

[[nodiscard]] std::uint64_t ceilDivide(std::uint64_t value, std::uint64_t unit) {
    return (value + unit - 1) / unit;
}

} // namespace

// ---- opening ----------------------------------------------------------------------------

Status FileCore::create(std::shared_ptr<ByteArray> bytes, Version version) {
    bytes_ = std::move(bytes);
    writable_ = true;
    ENGINE_RETURN_IF_FAILED(bytes_->setSize(0));
    header_ = Header{};
    header_.version = version;
    file_ = std::make_unique<SectorFile>(bytes_, header_.sectorSize());
    ENGINE_RETURN_IF_FAILED(file_->initialize());
    fat_ = std::make_unique<Fat>(*file_);
    fat_->createEmpty();
    miniFat_.attach(header_, 0);
    directoryChain_ = std::make_unique<ChainMap>(endOfChain);
    nodes_.clear();
    Node root;
    root.entry.type = ObjectType::root;
    root.entry.name = rootEntryName;
    root.generation = rootGeneration;
    nodes_.push_back(std::move(root));
    changed_ = true;
    // The empty document is written but not forced to the disk: a crash before the first
    // commit loses nothing worth keeping, and forcing a nearly empty file out first makes
    // the first commit of a large stream markedly slower. That commit makes both durable.
    return writeState(Durability::deferred);
}

Status FileCore::open(std::shared_ptr<ByteArray> bytes, OpenMode mode) {
    bytes_ = std::move(bytes);
    writable_ = mode == OpenMode::readWrite;
    return loadFromBytes();
}

Status FileCore::loadFromBytes() {
    std::uint64_t size = 0;
    ENGINE_RETURN_IF_FAILED(bytes_->size(&size));
    if (size < headerSize)
        return fail(Status::invalidHeader,
                    describe("a file of ", size, " bytes is shorter than the ", headerSize,
                             "-byte header"));
    std::uint8_t headerBytes[headerSize];
    std::size_t got = 0;
    ENGINE_RETURN_IF_FAILED(bytes_->readAt(0, headerBytes, headerSize, &got));
    if (got != headerSize)
        return fail(Status::readFault, describe("read ", got, " of the header's bytes"));
    ENGINE_RETURN_IF_FAILED(parseHeader(headerBytes, &header_));
    const std::uint32_t sectorSize = header_.sectorSize();
    file_ = std::make_unique<SectorFile>(bytes_, sectorSize);
    ENGINE_RETURN_IF_FAILED(file_->initialize());
    const std::uint64_t fileSectors =
        size <= sectorSize ? 0 : ceilDivide(size - sectorSize, sectorSize);
    fat_ = std::make_unique<Fat>(*file_);
    ENGINE_RETURN_IF_FAILED(fat_->load(header_, fileSectors));
    return loadDirectory();
}

Status FileCore::addLoadedEntry(const DirectoryEntry& entry, std::uint32_t parent, std::uint32_t id,
                                std::uint32_t* node) {
    if (entry.type != ObjectType::storage && entry.type != ObjectType::stream)
        return fail(Status::docfileCorrupt,
                    describe("directory entry ", id, " has object type ",
                             static_cast<unsigned>(entry.type), " where the children of node ",
                             parent, " belong"));
    *node = static_cast<std::uint32_t>(nodes_.size());
    if (!nodes_[parent].children.insert(FoldedKey(entry.name), *node, nameOf()))
        return fail(Status::docfileCorrupt,
                    describe("directory entry ", id, " repeats the name of a sibling"));
    Node added;
    added.entry = entry;
    added.parent = parent;
    added.generation = nextGeneration_++;
    nodes_.push_back(std::move(added));
    return Status::ok;
}

namespace {

// Reads directory entries for the tree walk at opening, mapping the directory chain and
// reading its sectors only as far as the entries reached need: a directory whose entries all
// lie in its first sector needs no FAT lookup at all.
class DirectoryReader {
public:
    DirectoryReader(SectorFile& file, Fat& fat, ChainMap& chain, Version version)
        : file_(file), fat_(fat), chain_(chain), version_(version) {}

    // The number of entries in the sectors read so far.
    [[nodiscard]] std::uint32_t entriesRead() const {
        return static_cast<std::uint32_t>(bytes_.size() / directoryEntrySize);
    }

    [[nodiscard]] Status read(std::uint32_t id, DirectoryEntry* entry) {
        const std::uint32_t sectorSize = file_.sectorSize();
        const std::uint64_t perSector = sectorSize / directoryEntrySize;
        const std::uint64_t sector = id / perSector;
        const std::uint64_t sectorsRead = bytes_.size() / sectorSize;
        if (sector >= sectorsRead) {
            ENGINE_RETURN_IF_FAILED(chain_.mapUpTo(fat_, sector + 1));
            if (chain_.mappedCount() <= sector)
                return fail(Status::docfileCorrupt,
                            describe("the directory refers to entry ", id, " of only ",
                                     chain_.mappedCount() * perSector));
            bytes_.resize(static_cast<std::size_t>((sector + 1) * sectorSize));
            for (std::uint64_t position = sectorsRead; position <= sector;) {
                const std::size_t index = chain_.runIndexOf(position);
                const Run& run = chain_.runs()[index];
                const std::uint64_t offset = position - chain_.runStart(index);
                const std::uint64_t count = std::min(run.count - offset, sector + 1 - position);
                ENGINE_RETURN_IF_FAILED(
                    file_.read(file_.offsetOf(run.first + static_cast<std::uint32_t>(offset)),
                               bytes_.data() + position * sectorSize,
                               static_cast<std::size_t>(count * sectorSize)));
                position += count;
            }
        }
        return parseDirectoryEntry(bytes_.data() + std::uint64_t{id} * directoryEntrySize, id,
                                   version_, entry);
    }

private:
    SectorFile& file_;
    Fat& fat_;
    ChainMap& chain_;
    Version version_;
    std::vector<std::uint8_t> bytes_; // the directory's first sectors, as far as read
};

} // namespace

Status FileCore::loadDirectory() {
    if (header_.firstDirectorySector == endOfChain)
        return fail(Status::docfileCorrupt, "the directory chain is empty");
    directoryChain_ = std::make_unique<ChainMap>(header_.firstDirectorySector);
    DirectoryReader directory(*file_, *fat_, *directoryChain_, header_.version);

    nodes_.clear();
    Node root;
    ENGINE_RETURN_IF_FAILED(directory.read(0, &root.entry));
    if (root.entry.type != ObjectType::root)
        return fail(Status::docfileCorrupt,
                    describe("directory entry 0 has object type ",
                             static_cast<unsigned>(root.entry.type), ", not the root's 5"));
    root.generation = rootGeneration;
    const std::uint64_t fileBytes =
        static_cast<std::uint64_t>(fat_->sectorCount()) * header_.sectorSize();
    if (root.entry.size > fileBytes)
        return fail(Status::docfileCorrupt, describe("the mini stream claims ", root.entry.size,
                                                     " bytes, more than the file's ", fileBytes));
    if (root.entry.size == 0)
        root.entry.startSector = endOfChain;
    nodes_.push_back(std::move(root));
    miniFat_.attach(header_,
                    static_cast<std::uint32_t>(ceilDivide(nodes_[0].entry.size, miniSectorSize)));

    // Walk the red-black trees without recursion: each entry may be reached only once.
    std::vector<bool> reached{true};
    struct Pending {
        std::uint32_t id;
        std::uint32_t parent;
    };
    std::vector<Pending> pending{{nodes_[0].entry.child, 0}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        if (next.id == noStream)
            continue;
        DirectoryEntry entry;
        ENGINE_RETURN_IF_FAILED(directory.read(next.id, &entry));
        const std::size_t entriesRead = directory.entriesRead();
        if (reached.size() < entriesRead) {
            reached.resize(entriesRead, false);
            if (nodes_.capacity() < entriesRead) // in steps that at least double it
                nodes_.reserve(std::min<std::size_t>(std::max(entriesRead, 2 * nodes_.capacity()),
                                                     nodesReservedAtMost));
        }
        if (reached[next.id])
            return fail(Status::docfileCorrupt,
                        describe("directory entry ", next.id,
                                 " is reached twice (a cycle or a shared child)"));
        reached[next.id] = true;
        std::uint32_t added = 0;
        ENGINE_RETURN_IF_FAILED(addLoadedEntry(entry, next.parent, next.id, &added));
        pending.push_back({entry.left, next.parent});
        pending.push_back({entry.right, next.parent});
        if (entry.type == ObjectType::storage)
            pending.push_back({entry.child, added});
    }
    return Status::ok;
}

Status FileCore::revert() {
    if (!bytes_)
        return Status::ok;
    ENGINE_RETURN_IF_FAILED(file_->reload());
    needsRevert_ = false;
    changed_ = false;
    return loadFromBytes();
}

// ---- elements ---------------------------------------------------------------------------

Status FileCore::checkWritable() const {
    if (!writable_)
        return fail(Status::accessDenied, "the file was opened read-only");
    if (needsRevert_ || file_->writeFailed())
        return fail(Status::reverted, "a failed write or commit left changes that must be "
                                      "reverted");
    return Status::ok;
}

Status FileCore::findChild(std::uint32_t storage, std::u16string_view name,
                           std::uint32_t* child) const {
    const std::uint32_t found = name.size() > maxNameUnits // no element has a longer name
                                    ? noStream
                                    : nodes_[storage].children.find(FoldedKey(name), nameOf());
    if (found == noStream)
        return fail(Status::fileNotFound, describe("no element '", toUtf8(name), "'"));
    *child = found;
    return Status::ok;
}

Status FileCore::addChild(std::uint32_t storage, std::u16string_view name, ObjectType type,
                          std::uint32_t* child) {
    ENGINE_RETURN_IF_FAILED(checkWritable());
    ENGINE_RETURN_IF_FAILED(checkName(name));
    const auto id = static_cast<std::uint32_t>(nodes_.size());
    if (!nodes_[storage].children.insert(FoldedKey(name), id, nameOf()))
        return fail(Status::fileAlreadyExists,
                    describe("an element '", toUtf8(name), "' already exists"));
    *child = id;
    Node added;
    added.entry.name = name;
    added.entry.type = type;
    added.parent = storage;
    added.generation = nextGeneration_++;
    nodes_.push_back(std::move(added));
    changed_ = true;
    return Status::ok;
}

Status FileCore::releaseSubtree(std::uint32_t top) {
    std::vector<std::uint32_t> pending{top};
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        Node& current = nodes_[id];
        if (current.entry.type == ObjectType::stream)
            ENGINE_RETURN_IF_FAILED(resizeStream(id, 0));
        current.children.forEach([&pending](std::uint32_t child) { pending.push_back(child); });
        nodes_[id].alive = false;
        nodes_[id].children.clear();
        nodes_[id].chain.reset();
    }
    return Status::ok;
}

Status FileCore::removeChild(std::uint32_t storage, std::u16string_view name) {
    ENGINE_RETURN_IF_FAILED(checkWritable());
    std::uint32_t child = 0;
    ENGINE_RETURN_IF_FAILED(findChild(storage, name, &child));
    changed_ = true;
    ENGINE_RETURN_IF_FAILED(keepConsistent(releaseSubtree(child)));
    nodes_[storage].children.erase(FoldedKey(name), nameOf());
    return Status::ok;
}

Status FileCore::renameChild(std::uint32_t storage, std::u16string_view oldName,
                             std::u16string_view newName) {
    ENGINE_RETURN_IF_FAILED(checkWritable());
    ENGINE_RETURN_IF_FAILED(checkName(newName));
    std::uint32_t child = 0;
    ENGINE_RETURN_IF_FAILED(findChild(storage, oldName, &child));
    ChildIndex& children = nodes_[storage].children;
    const FoldedKey newKey(newName);
    const std::uint32_t existing = children.find(newKey, nameOf());
    if (existing != noStream && existing != child)
        return fail(Status::fileAlreadyExists,
                    describe("an element '", toUtf8(newName), "' already exists"));
    children.erase(FoldedKey(oldName), nameOf());
    nodes_[child].entry.name = newName;
    (void)children.insert(newKey, child, nameOf()); // the name was just found free
    changed_ = true;
    return Status::ok;
}

namespace {

// A child's place in the directory's order packed into words that compare as unsigned
// integers: the name's length, then its upper-cased units, four units to a word. Two keys
// then compare in at most eight word comparisons, most often one or two.
struct SortKey {
    static constexpr std::size_t wordCount = (maxNameUnits + 1 + 3) / 4;
    std::array<std::uint64_t, wordCount> words;
    std::uint32_t node;

    SortKey(std::u16string_view name, std::uint32_t id) : words{}, node(id) {
        const std::size_t length = std::min(name.size(), maxNameUnits);
        words[0] = std::uint64_t{length} << 48;
        for (std::size_t i = 0; i < length; ++i) {
            const std::size_t position = i + 1; // after the length
            words[position / 4] |= std::uint64_t{upperCaseUnit(name[i])}
                                   << (48 - 16 * (position % 4));
        }
    }

    friend bool operator<(const SortKey& left, const SortKey& right) {
        for (std::size_t i = 0; i < wordCount; ++i)
            if (left.words[i] != right.words[i])
                return left.words[i] < right.words[i];
        return false;
    }
};

} // namespace

std::vector<std::uint32_t> FileCore::sortedChildren(std::uint32_t storage) const {
    // The nodes are visited in the order they lie in memory, not in the index's hash order:
    // for a storage with many children that saves a cache miss or two per child.
    const ChildIndex& index = nodes_[storage].children;
    std::vector<std::uint32_t> children;
    children.reserve(index.size());
    index.forEach([&children](std::uint32_t child) { children.push_back(child); });
    std::sort(children.begin(), children.end());
    std::vector<SortKey> keys;
    keys.reserve(children.size());
    for (const std::uint32_t child : children)
        keys.emplace_back(nodes_[child].entry.name, child);
    std::sort(keys.begin(), keys.end());
    std::vector<std::uint32_t> sorted;
    sorted.reserve(keys.size());
    for (const SortKey& key : keys)
        sorted.push_back(key.node);
    return sorted;
}

bool FileCore::isWithin(std::uint32_t node, std::uint32_t ancestor) const {
    for (std::uint32_t at = node; at != noStream; at = nodes_[at].parent)
        if (at == ancestor)
            return true;
    return false;
}

void FileCore::fillStat(std::uint32_t id, ElementStat* stat) const {
    const DirectoryEntry& entry = nodes_[id].entry;
    stat->name = entry.name;
    stat->type = static_cast<ElementType>(entry.type);
    stat->size = entry.type == ObjectType::stream ? entry.size : 0;
    stat->clsid = entry.clsid;
    stat->stateBits = entry.stateBits;
    stat->creationTime = entry.creationTime;
    stat->modifiedTime = entry.modifiedTime;
}

// ---- stream data ------------------------------------------------------------------------

ChainMap& FileCore::chainOf(std::uint32_t id) {
    Node& current = nodes_[id];
    if (!current.chain)
        current.chain = std::make_unique<ChainMap>(
            current.entry.size == 0 ? endOfChain : current.entry.startSector);
    return *current.chain;
}

Status FileCore::checkStream(std::uint32_t id) {
    const Node& current = nodes_[id];
    if (isMini(current))
        return Status::ok;
    const std::uint64_t fileBytes =
        static_cast<std::uint64_t>(fat_->sectorCount()) * header_.sectorSize();
    if (current.entry.size > fileBytes)
        return fail(Status::docfileCorrupt,
                    describe("stream '", toUtf8(current.entry.name), "' claims ",
                             current.entry.size, " bytes, more than the file's ", fileBytes));
    return Status::ok;
}

namespace {

// Calls `visit(address, done, length)` for each stretch of consecutive units that holds
// [offset, offset + count) of a chain, where `address` is the byte address of the stretch
// counted in units from unit 0 and `done` the bytes of the range before it.
template <typename Visit>
[[nodiscard]] Status forEachStretch(ChainMap& chain, ChainLinks& links, std::uint32_t unitSize,
                                    std::uint64_t offset, std::uint64_t count, Visit visit) {
    if (count == 0)
        return Status::ok;
    const std::uint64_t firstUnit = offset / unitSize;
    const std::uint64_t unitsNeeded = (offset + count - 1) / unitSize + 1;
    ENGINE_RETURN_IF_FAILED(chain.mapUpTo(links, unitsNeeded));
    if (chain.mappedCount() < unitsNeeded)
        return fail(Status::docfileCorrupt,
                    describe(links.tableName(), " chain starting at ", chain.firstSector(),
                             " ends after ", chain.mappedCount(), " sectors, but ", unitsNeeded,
                             " are needed"));
    std::uint64_t position = offset;
    std::uint64_t remaining = count;
    for (std::size_t index = chain.runIndexOf(firstUnit); remaining > 0; ++index) {
        const Run& run = chain.runs()[index];
        const std::uint64_t runStartByte = chain.runStart(index) * unitSize;
        const std::uint64_t runEndByte =
            runStartByte + static_cast<std::uint64_t>(run.count) * unitSize;
        const std::uint64_t length = std::min(remaining, runEndByte - position);
        const std::uint64_t address =
            static_cast<std::uint64_t>(run.first) * unitSize + (position - runStartByte);
        ENGINE_RETURN_IF_FAILED(visit(address, position - offset, length));
        position += length;
        remaining -= length;
    }
    return Status::ok;
}

} // namespace

Status FileCore::readRegular(std::uint32_t id, std::uint64_t offset, void* buffer,
                             std::size_t count) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const std::uint32_t sectorSize = header_.sectorSize();
    return forEachStretch(chainOf(id), *fat_, sectorSize, offset, count,
                          [&](std::uint64_t address, std::uint64_t done, std::uint64_t length) {
                              return file_->read(sectorSize + address, bytes + done,
                                                 static_cast<std::size_t>(length));
                          });
}

Status FileCore::readMini(std::uint32_t id, std::uint64_t offset, void* buffer, std::size_t count) {
    ENGINE_RETURN_IF_FAILED(miniFat_.load(*file_, *fat_));
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const std::uint64_t miniStreamSize = nodes_[0].entry.size;
    return forEachStretch(
        chainOf(id), miniFat_, miniSectorSize, offset, count,
        [&](std::uint64_t address, std::uint64_t done, std::uint64_t length) {
            if (address + length > miniStreamSize)
                return fail(Status::docfileCorrupt, describe("mini sectors at ", address,
                                                             " reach past the mini "
                                                             "stream's ",
                                                             miniStreamSize, " bytes"));
            return readRegular(0, address, bytes + done, static_cast<std::size_t>(length));
        });
}

Status FileCore::readStream(std::uint32_t id, std::uint64_t offset, void* buffer, std::size_t count,
                            std::size_t* read) {
    *read = 0;
    const std::uint64_t size = nodes_[id].entry.size;
    if (offset >= size || count == 0)
        return Status::ok;
    const auto available = static_cast<std::size_t>(std::min<std::uint64_t>(count, size - offset));
    ENGINE_RETURN_IF_FAILED(isMini(nodes_[id]) ? readMini(id, offset, buffer, available)
                                               : readRegular(id, offset, buffer, available));
    *read = available;
    return Status::ok;
}

// Moves the sector at `position` of a chain to a sector the committed state does not use,
// one that can start a run of `wanted` sectors for the positions moved after it.
Status FileCore::moveSector(std::uint32_t id, std::uint64_t position, std::uint64_t wanted,
                            bool keepBytes) {
    ChainMap& chain = chainOf(id);
    const std::uint32_t old = chain.sectorAt(position);
    std::uint32_t fresh = 0;
    ENGINE_RETURN_IF_FAILED(fat_->allocateForChain(
        position > 0 ? chain.sectorAt(position - 1) : endOfChain, wanted, &fresh));
    if (keepBytes) {
        std::vector<std::uint8_t> bytes(header_.sectorSize());
        ENGINE_RETURN_IF_FAILED(file_->read(file_->offsetOf(old), bytes.data(), bytes.size()));
        ENGINE_RETURN_IF_FAILED(file_->write(file_->offsetOf(fresh), bytes.data(), bytes.size()));
    }
    std::uint32_t next = 0;
    ENGINE_RETURN_IF_FAILED(fat_->next(old, &next));
    ENGINE_RETURN_IF_FAILED(fat_->setNext(fresh, next));
    if (position > 0)
        ENGINE_RETURN_IF_FAILED(fat_->setNext(chain.sectorAt(position - 1), fresh));
    else
        nodes_[id].entry.startSector = fresh;
    ENGINE_RETURN_IF_FAILED(fat_->release(old));
    chain.replace(position, fresh);
    return Status::ok;
}

Status FileCore::makeWritable(std::uint32_t id, std::uint64_t offset, std::size_t count,
                              std::uint64_t sectorsToFollow) {
    const std::uint32_t sectorSize = header_.sectorSize();
    const std::uint64_t first = offset / sectorSize;
    const std::uint64_t last = (offset + count - 1) / sectorSize;
    ChainMap& chain = chainOf(id);
    ENGINE_RETURN_IF_FAILED(chain.mapUpTo(*fat_, last + 1));
    if (chain.mappedCount() <= last)
        return fail(Status::docfileCorrupt,
                    describe("the chain starting at ", chain.firstSector(), " ends after ",
                             chain.mappedCount(), " sectors, but ", last + 1, " are needed"));
    for (std::uint64_t position = first; position <= last; ++position) {
        const std::size_t run = chain.runIndexOf(position);
        const std::uint32_t sector =
            chain.runs()[run].first + static_cast<std::uint32_t>(position - chain.runStart(run));
        if (sector >= fat_->committedCount()) {
            // Neither this sector nor the higher ones after it in its run are committed.
            position = chain.runStart(run) + chain.runs()[run].count - 1;
            continue;
        }
        bool used = false;
        ENGINE_RETURN_IF_FAILED(fat_->committedUses(sector, &used));
        if (!used)
            continue;
        const std::uint64_t sectorStart = position * sectorSize;
        const bool wholeSector =
            offset <= sectorStart && offset + count >= sectorStart + sectorSize;
        ENGINE_RETURN_IF_FAILED(
            moveSector(id, position, last - position + 1 + sectorsToFollow, !wholeSector));
    }
    return Status::ok;
}

Status FileCore::writeRegular(std::uint32_t id, std::uint64_t offset, const void* buffer,
                              std::size_t count) {
    if (count == 0)
        return Status::ok;
    ENGINE_RETURN_IF_FAILED(makeWritable(id, offset, count));
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::uint32_t sectorSize = header_.sectorSize();
    return forEachStretch(chainOf(id), *fat_, sectorSize, offset, count,
                          [&](std::uint64_t address, std::uint64_t done, std::uint64_t length) {
                              return file_->write(sectorSize + address, bytes + done,
                                                  static_cast<std::size_t>(length));
                          });
}

Status FileCore::writeMini(std::uint32_t id, std::uint64_t offset, const void* buffer,
                           std::size_t count) {
    ENGINE_RETURN_IF_FAILED(miniFat_.load(*file_, *fat_));
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    // A write that ends the stream fills its last mini sector up with zeros: the mini sectors
    // of streams written one after the other then reach the file as one contiguous write.
    std::vector<std::uint8_t> padded;
    const std::uint64_t end = offset + count;
    if (end == nodes_[id].entry.size && end % miniSectorSize != 0) {
        padded.assign(bytes, bytes + count);
        padded.resize(count + (miniSectorSize - end % miniSectorSize), 0);
        bytes = padded.data();
        count = padded.size();
    }
    return forEachStretch(chainOf(id), miniFat_, miniSectorSize, offset, count,
                          [&](std::uint64_t address, std::uint64_t done, std::uint64_t length) {
                              return writeRegular(0, address, bytes + done,
                                                  static_cast<std::size_t>(length));
                          });
}

Status FileCore::writeStream(std::uint32_t id, std::uint64_t offset, const void* buffer,
                             std::size_t count) {
    ENGINE_RETURN_IF_FAILED(checkWritable());
    if (count == 0)
        return Status::ok;
    const std::uint64_t end = offset + count;
    if (end < offset)
        return fail(Status::invalidParameter, "a write ends past 2^64 bytes");
    if (end > nodes_[id].entry.size) {
        ENGINE_RETURN_IF_FAILED(checkStreamSize(end));
        changed_ = true;
        ENGINE_RETURN_IF_FAILED(keepConsistent(changeStreamSize(id, end, offset)));
    }
    changed_ = true;
    return keepConsistent(isMini(nodes_[id]) ? writeMini(id, offset, buffer, count)
                                             : writeRegular(id, offset, buffer, count));
}

// Makes a chain exactly `units` long, allocating or releasing at its end.
Status FileCore::resizeChain(std::uint32_t id, ChainLinks& links, std::uint64_t units) {
    ChainMap& chain = chainOf(id);
    ENGINE_RETURN_IF_FAILED(chain.mapAll(links));
    const std::uint64_t have = chain.mappedCount();
    if (units < have) {
        for (std::uint64_t position = units; position < have; ++position)
            ENGINE_RETURN_IF_FAILED(links.release(chain.sectorAt(position)));
        if (units > 0)
            ENGINE_RETURN_IF_FAILED(links.setNext(chain.sectorAt(units - 1), endOfChain));
        chain.truncate(units);
    }
    for (std::uint64_t position = have; position < units;) {
        const std::uint32_t previous = position > 0 ? chain.sectorAt(position - 1) : endOfChain;
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        ENGINE_RETURN_IF_FAILED(links.allocateRun(previous, units - position, &first, &count));
        if (position > 0)
            ENGINE_RETURN_IF_FAILED(links.setNext(previous, first));
        chain.appendRun(first, count);
        position += count;
    }
    nodes_[id].entry.startSector = chain.mappedCount() == 0 ? endOfChain : chain.firstSector();
    return Status::ok;
}

Status FileCore::growMiniStream(std::uint32_t miniSectors) {
    const std::uint64_t needed = static_cast<std::uint64_t>(miniSectors) * miniSectorSize;
    Node& root = nodes_[0];
    if (root.entry.size >= needed)
        return Status::ok;
    ENGINE_RETURN_IF_FAILED(resizeChain(0, *fat_, ceilDivide(needed, header_.sectorSize())));
    nodes_[0].entry.size = needed;
    return Status::ok;
}

Status FileCore::resizeInPlace(std::uint32_t id, std::uint64_t size) {
    if (!isMini(nodes_[id])) {
        ENGINE_RETURN_IF_FAILED(resizeChain(id, *fat_, ceilDivide(size, header_.sectorSize())));
        nodes_[id].entry.size = size;
        return Status::ok;
    }
    ENGINE_RETURN_IF_FAILED(miniFat_.load(*file_, *fat_));
    ENGINE_RETURN_IF_FAILED(resizeChain(id, miniFat_, ceilDivide(size, miniSectorSize)));
    nodes_[id].entry.size = size;
    return growMiniStream(miniFat_.sectorLimit());
}

Status FileCore::checkStreamSize(std::uint64_t size) const {
    const std::uint64_t maxSize = header_.version == Version::v3
                                      ? version3MaxStreamSize
                                      : std::uint64_t{maxRegularSector} * header_.sectorSize();
    if (size > maxSize)
        return fail(Status::docfileTooLarge,
                    describe("a stream of ", size, " bytes exceeds the largest of ", maxSize));
    return Status::ok;
}

Status FileCore::resizeStream(std::uint32_t id, std::uint64_t size) {
    ENGINE_RETURN_IF_FAILED(checkWritable());
    ENGINE_RETURN_IF_FAILED(checkStreamSize(size));
    changed_ = true;
    return keepConsistent(changeStreamSize(id, size, size));
}

Status FileCore::keepConsistent(Status status) {
    // A change that fails half way may leave chains, tables and sizes out of step: nothing
    // more may change, nor be committed, until the file is reverted.
    if (failed(status))
        needsRevert_ = true;
    return status;
}

Status FileCore::changeStreamSize(std::uint32_t id, std::uint64_t size, std::uint64_t dataStart) {
    const std::uint64_t oldSize = nodes_[id].entry.size;
    if (size > oldSize && !isMini(nodes_[id]))
        ENGINE_RETURN_IF_FAILED(prepareEnd(id, std::min(dataStart, oldSize), size));
    ENGINE_RETURN_IF_FAILED(resizeKeepingBytes(id, size));
    if (dataStart > oldSize && size > oldSize)
        return zeroGap(id, oldSize, std::min(dataStart, size));
    return Status::ok;
}

// Before a regular stream grows to `size` bytes, the committed sectors from `from` to the end
// of its last sector move to free ones (keeping only bytes before `from`) where the sectors
// it grows by can follow them.
Status FileCore::prepareEnd(std::uint32_t id, std::uint64_t from, std::uint64_t size) {
    const std::uint32_t sectorSize = header_.sectorSize();
    const std::uint64_t sectors = ceilDivide(nodes_[id].entry.size, sectorSize);
    const std::uint64_t end = sectors * sectorSize;
    if (from >= end)
        return Status::ok;
    return makeWritable(id, from, static_cast<std::size_t>(end - from),
                        ceilDivide(size, sectorSize) - sectors);
}

// Bytes a stream grows by without being written read as zeros, whatever the sectors they
// land in held before (a deleted stream's data, say). Regular sectors at or past the end of
// the file already read as zeros and are left alone, so that a stream grown by setSize and
// then written costs no second write.
Status FileCore::zeroGap(std::uint32_t id, std::uint64_t from, std::uint64_t to) {
    static constexpr std::array<std::uint8_t, 64u << 10> zeros{};
    if (isMini(nodes_[id])) {
        for (std::uint64_t at = from; at < to;) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(to - at, zeros.size()));
            ENGINE_RETURN_IF_FAILED(writeMini(id, at, zeros.data(), length));
            at += length;
        }
        return Status::ok;
    }
    const std::uint32_t sectorSize = header_.sectorSize();
    const std::uint64_t fileEnd = file_->knownSize();
    return forEachStretch(chainOf(id), *fat_, sectorSize, from, to - from,
                          [&](std::uint64_t address, std::uint64_t, std::uint64_t length) {
                              const std::uint64_t begin = sectorSize + address;
                              const std::uint64_t end = std::min(begin + length, fileEnd);
                              for (std::uint64_t at = begin; at < end;) {
                                  const auto piece = static_cast<std::size_t>(
                                      std::min<std::uint64_t>(end - at, zeros.size()));
                                  ENGINE_RETURN_IF_FAILED(file_->write(at, zeros.data(), piece));
                                  at += piece;
                              }
                              return Status::ok;
                          });
}

Status FileCore::resizeKeepingBytes(std::uint32_t id, std::uint64_t size) {
    const Node& current = nodes_[id];
    const bool wasMini = isMini(current);
    const bool willBeMini = size < miniStreamCutoffValue;
    if (wasMini == willBeMini)
        return resizeInPlace(id, size);
    // Crossing the cut-off: move the bytes kept (fewer than 4096) between the mini stream
    // and regular sectors.
    std::vector<std::uint8_t> kept(static_cast<std::size_t>(std::min(current.entry.size, size)));
    std::size_t read = 0;
    ENGINE_RETURN_IF_FAILED(readStream(id, 0, kept.data(), kept.size(), &read));
    ENGINE_RETURN_IF_FAILED(resizeInPlace(id, 0));
    nodes_[id].chain.reset();
    nodes_[id].entry.size = willBeMini ? 0 : miniStreamCutoffValue; // selects the new kind
    nodes_[id].entry.startSector = endOfChain;
    ENGINE_RETURN_IF_FAILED(resizeInPlace(id, size));
    if (kept.empty())
        return Status::ok;
    return willBeMini ? writeMini(id, 0, kept.data(), kept.size())
                      : writeRegular(id, 0, kept.data(), kept.size());
}

// ---- commit -----------------------------------------------------------------------------

namespace {

// Emits the sorted ids [begin, end) as a balanced binary tree: every path from the root to
// a missing child passes through the same number of black nodes when the nodes of the
// deepest level are red, which makes it a valid red-black tree.
std::uint32_t buildBalancedTree(std::vector<DirectoryEntry>& entries,
                                const std::vector<std::uint32_t>& ids, std::size_t begin,
                                std::size_t end, int depth, int deepest) {
    if (begin >= end)
        return noStream;
    const std::size_t middle = begin + (end - begin) / 2;
    const std::uint32_t id = ids[middle];
    entries[id].left = buildBalancedTree(entries, ids, begin, middle, depth + 1, deepest);
    entries[id].right = buildBalancedTree(entries, ids, middle + 1, end, depth + 1, deepest);
    entries[id].colour = depth == deepest && depth > 1 ? Colour::red : Colour::black;
    return id;
}

[[nodiscard]] int balancedTreeHeight(std::size_t count) {
    int height = 0;
    while (count > 0) {
        ++height;
        count /= 2;
    }
    return height;
}

} // namespace

Status FileCore::writeDirectory(Header* next) {
    // Number the live elements breadth first, root first, each storage's children in order.
    std::vector<DirectoryEntry> entries;
    std::vector<std::uint32_t> order{0};
    std::vector<std::uint32_t> childIds;
    entries.push_back(nodes_[0].entry);
    for (std::size_t at = 0; at < order.size(); ++at) {
        const std::uint32_t storageNode = order[at];
        const auto storageId = static_cast<std::uint32_t>(at);
        childIds.clear();
        for (const std::uint32_t child : sortedChildren(storageNode)) {
            childIds.push_back(static_cast<std::uint32_t>(order.size()));
            order.push_back(child);
            DirectoryEntry entry = nodes_[child].entry;
            entry.left = entry.right = entry.child = noStream;
            if (entry.type == ObjectType::storage) {
                entry.startSector = 0;
                entry.size = 0;
            } else if (entry.size == 0) {
                entry.startSector = endOfChain;
            }
            entries.push_back(std::move(entry));
        }
        entries[storageId].child = buildBalancedTree(entries, childIds, 0, childIds.size(), 1,
                                                     balancedTreeHeight(childIds.size()));
    }
    DirectoryEntry& root = entries[0];
    root.colour = Colour::black;
    root.left = root.right = noStream;
    if (root.size == 0)
        root.startSector = endOfChain;

    const std::uint32_t sectorSize = header_.sectorSize();
    const std::size_t perSector = sectorSize / directoryEntrySize;
    const std::size_t sectors = ceilDivide(entries.size(), perSector);
    std::vector<std::uint8_t> bytes(sectors * sectorSize);
    DirectoryEntry unused;
    unused.startSector = 0;
    for (std::size_t i = 0; i < sectors * perSector; ++i)
        serializeDirectoryEntry(i < entries.size() ? entries[i] : unused,
                                bytes.data() + i * directoryEntrySize);

    ENGINE_RETURN_IF_FAILED(directoryChain_->mapAll(*fat_));
    for (const Run& run : directoryChain_->runs())
        for (std::uint32_t k = 0; k < run.count; ++k)
            ENGINE_RETURN_IF_FAILED(fat_->release(run.first + k));
    directoryChain_ = std::make_unique<ChainMap>(endOfChain);
    for (std::size_t n = 0; n < sectors; ++n) {
        std::uint32_t sector = 0;
        ENGINE_RETURN_IF_FAILED(fat_->allocate(&sector));
        if (n > 0)
            ENGINE_RETURN_IF_FAILED(fat_->setNext(directoryChain_->sectorAt(n - 1), sector));
        directoryChain_->append(sector);
        ENGINE_RETURN_IF_FAILED(
            file_->write(file_->offsetOf(sector), bytes.data() + n * sectorSize, sectorSize));
    }
    next->firstDirectorySector = directoryChain_->firstSector();
    next->directorySectorCount =
        header_.version == Version::v3 ? 0 : static_cast<std::uint32_t>(sectors);
    return Status::ok;
}

Status FileCore::failCommit(Status status) {
    needsRevert_ = true;
    return status;
}

Status FileCore::commit() {
    if (!writable_)
        return fail(Status::accessDenied, "the file was opened read-only");
    ENGINE_RETURN_IF_FAILED(checkWritable());
    if (!changed_)
        return Status::ok; // nothing to write: the file stays exactly as it is
    return writeState(Durability::forced);
}

Status FileCore::writeState(Durability durability) {
    const bool forced = durability == Durability::forced;
    Header next = header_;
    Status status = miniFat_.writeForCommit(*file_, *fat_, &next);
    if (succeeded(status))
        status = writeDirectory(&next);
    if (succeeded(status))
        status = fat_->writeForCommit(&next);
    const std::uint64_t fileSize =
        (static_cast<std::uint64_t>(fat_->sectorCount()) + 1) * header_.sectorSize();
    if (succeeded(status))
        status = file_->ensureSize(fileSize);
    if (succeeded(status))
        status = forced ? file_->flush() : file_->writeBuffered();
    std::uint8_t headerBytes[headerSize];
    serializeHeader(next, headerBytes);
    if (succeeded(status))
        status = bytes_->writeAt(0, headerBytes, headerSize);
    if (succeeded(status) && forced)
        status = bytes_->flush();
    if (failed(status))
        return failCommit(status);
    header_ = next;
    fat_->markCommitted();
    miniFat_.markCommitted();
    changed_ = false;
    return file_->reload();
}

} // namespace engine::cfb::detail
