// The state behind a CompoundFile and its handles: the sector file, the allocation tables,
// and the element tree held in memory as nodes whose children are found through a hash
// index of their upper-cased names and put in the directory's name order when listed or
// written.
//
// Streams are read and written through their chains mapped as runs of sectors; data the
// last committed state holds is never overwritten (a written sector that the committed state
// uses is first moved to a free one). The directory is written whole at each commit, each
// storage's children emitted as a balanced red-black tree.
#pragma once

#include "cfb/allocation.h"
#include "cfb/child_index.h"
#include "cfb/compound_file.h"
#include "cfb/names.h"
#include "cfb/sector_file.h"

#include <memory>
#include <string_view>
#include <vector>

namespace engine::cfb::detail {

struct Node {
    DirectoryEntry entry; // name, type, class, state bits, times, start sector and size
    std::uint32_t parent = noStream;
    std::uint64_t generation = 0;
    bool alive = true;
    ChildIndex children;
    std::unique_ptr<ChainMap> chain; // mapped on first access
};

class FileCore {
public:
    [[nodiscard]] Status create(std::shared_ptr<ByteArray> bytes, Version version);
    [[nodiscard]] Status open(std::shared_ptr<ByteArray> bytes, OpenMode mode);
    [[nodiscard]] Status commit();
    [[nodiscard]] Status revert();

    [[nodiscard]] Version version() const { return header_.version; }
    [[nodiscard]] bool writable() const { return writable_; }
    [[nodiscard]] Status checkWritable() const;
    // Records that something differs from the committed state, so that commit writes.
    void noteChange() { changed_ = true; }

    [[nodiscard]] bool isCurrent(std::uint32_t node, std::uint64_t generation) const {
        return node < nodes_.size() && nodes_[node].alive && nodes_[node].generation == generation;
    }
    [[nodiscard]] Node& node(std::uint32_t id) { return nodes_[id]; }

    [[nodiscard]] Status findChild(std::uint32_t storage, std::u16string_view name,
                                   std::uint32_t* child) const;
    [[nodiscard]] Status addChild(std::uint32_t storage, std::u16string_view name, ObjectType type,
                                  std::uint32_t* child);
    [[nodiscard]] Status removeChild(std::uint32_t storage, std::u16string_view name);
    [[nodiscard]] Status renameChild(std::uint32_t storage, std::u16string_view oldName,
                                     std::u16string_view newName);
    [[nodiscard]] bool isWithin(std::uint32_t node, std::uint32_t ancestor) const;

    // Checks what can be checked of a stream before its first use.
    [[nodiscard]] Status checkStream(std::uint32_t stream);
    [[nodiscard]] Status readStream(std::uint32_t stream, std::uint64_t offset, void* buffer,
                                    std::size_t count, std::size_t* read);
    [[nodiscard]] Status writeStream(std::uint32_t stream, std::uint64_t offset, const void* buffer,
                                     std::size_t count);
    [[nodiscard]] Status resizeStream(std::uint32_t stream, std::uint64_t size);

    void fillStat(std::uint32_t node, ElementStat* stat) const;
    // The children of a storage in the directory's name order.
    [[nodiscard]] std::vector<std::uint32_t> sortedChildren(std::uint32_t storage) const;

private:
    [[nodiscard]] Status loadFromBytes();
    [[nodiscard]] Status loadDirectory();
    [[nodiscard]] Status addLoadedEntry(const DirectoryEntry& entry, std::uint32_t parent,
                                        std::uint32_t id, std::uint32_t* node);
    // Whether a written state must reach the disk before writeState returns: commits force
    // the new state out before the header that points to it, and the header after it.
    enum class Durability { forced, deferred };
    [[nodiscard]] Status writeState(Durability durability);
    [[nodiscard]] Status writeDirectory(Header* next);
    [[nodiscard]] Status failCommit(Status status);
    [[nodiscard]] Status keepConsistent(Status status);
    [[nodiscard]] Status checkStreamSize(std::uint64_t size) const;
    // Resizes a stream whose bytes from `dataStart` on are about to be written.
    [[nodiscard]] Status changeStreamSize(std::uint32_t stream, std::uint64_t size,
                                          std::uint64_t dataStart);
    [[nodiscard]] Status prepareEnd(std::uint32_t stream, std::uint64_t from, std::uint64_t size);
    [[nodiscard]] Status zeroGap(std::uint32_t stream, std::uint64_t from, std::uint64_t to);
    [[nodiscard]] Status resizeKeepingBytes(std::uint32_t stream, std::uint64_t size);

    // What the child indexes read the names of nodes through.
    [[nodiscard]] auto nameOf() const {
        return [this](std::uint32_t id) {
            return std::u16string_view(nodes_[id].entry.name);
        };
    }
    [[nodiscard]] bool isMini(const Node& node) const {
        return node.entry.type == ObjectType::stream && node.entry.size < miniStreamCutoffValue;
    }
    [[nodiscard]] ChainMap& chainOf(std::uint32_t node);
    [[nodiscard]] Status readRegular(std::uint32_t node, std::uint64_t offset, void* buffer,
                                     std::size_t count);
    [[nodiscard]] Status writeRegular(std::uint32_t node, std::uint64_t offset, const void* buffer,
                                      std::size_t count);
    [[nodiscard]] Status readMini(std::uint32_t node, std::uint64_t offset, void* buffer,
                                  std::size_t count);
    [[nodiscard]] Status writeMini(std::uint32_t node, std::uint64_t offset, const void* buffer,
                                   std::size_t count);
    // Moves the committed sectors holding [offset, offset + count) to free ones, where
    // `sectorsToFollow` more sectors can follow them.
    [[nodiscard]] Status makeWritable(std::uint32_t node, std::uint64_t offset, std::size_t count,
                                      std::uint64_t sectorsToFollow = 0);
    [[nodiscard]] Status moveSector(std::uint32_t node, std::uint64_t position,
                                    std::uint64_t wanted, bool keepBytes);
    [[nodiscard]] Status resizeChain(std::uint32_t node, ChainLinks& links, std::uint64_t units);
    [[nodiscard]] Status resizeInPlace(std::uint32_t node, std::uint64_t size);
    [[nodiscard]] Status growMiniStream(std::uint32_t miniSectors);
    [[nodiscard]] Status releaseSubtree(std::uint32_t node);

    std::shared_ptr<ByteArray> bytes_;
    std::unique_ptr<SectorFile> file_;
    std::unique_ptr<Fat> fat_;
    MiniFat miniFat_;
    Header header_;
    std::unique_ptr<ChainMap> directoryChain_;
    std::vector<Node> nodes_;
    std::uint64_t nextGeneration_ = 1;
    bool writable_ = false;
    bool needsRevert_ = false;
    bool changed_ = false;
};

} // namespace engine::cfb::detail
