// What the fuzz target does with each input, shared with the regression test that replays
// every input the fuzzer ever found crashing: open the bytes as a compound file, walk every
// element, read every stream (parsing and rewriting the property sets among them), then
// change the file and commit the change to memory.
#pragma once

#include "cfb/compound_file.h"
#include "propset/propset.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace engine::cfb::fuzz {

// Reads at most this many bytes of any one stream, in chunks of the second size, and visits
// at most this many elements, so that huge streams and directories stay quick.
inline constexpr std::size_t maxBytesPerStream = 1u << 20;
inline constexpr std::size_t readChunk = 4096;
inline constexpr std::size_t maxElements = 10000;

// Reads a stream through, then its last byte. A property set that parses is written again,
// and the rewrite parsed once more.
inline void readStream(Stream& stream, bool propertySet) {
    std::vector<std::uint8_t> chunk(readChunk);
    std::vector<std::uint8_t> whole;
    std::size_t total = 0;
    std::size_t read = 0;
    while (total < maxBytesPerStream && succeeded(stream.read(chunk.data(), chunk.size(), &read)) &&
           read > 0) {
        total += read;
        if (propertySet)
            whole.insert(whole.end(), chunk.begin(), chunk.begin() + read);
    }
    propset::PropertySet set;
    propset::PropertySet again;
    std::vector<std::uint8_t> rewritten;
    if (propertySet && succeeded(propset::parsePropertySet(whole, set)) &&
        succeeded(propset::writePropertySet(set, rewritten)))
        (void)propset::parsePropertySet(rewritten, again);
    std::uint64_t position = 0;
    (void)stream.seek(-1, SeekOrigin::end, &position);
    (void)stream.read(chunk.data(), 1, &read);
}

inline void walkTree(Storage root) {
    std::vector<Storage> pending{root};
    std::size_t visited = 0;
    while (!pending.empty() && visited < maxElements) {
        Storage storage = pending.back();
        pending.pop_back();
        std::vector<ElementStat> children;
        if (failed(storage.list(&children)))
            continue;
        for (const ElementStat& child : children) {
            if (++visited > maxElements)
                break;
            if (child.type == ElementType::storage) {
                Storage inner;
                if (succeeded(storage.openStorage(child.name, &inner)))
                    pending.push_back(inner);
            } else {
                Stream stream;
                if (succeeded(storage.openStream(child.name, &stream)))
                    readStream(stream, !child.name.empty() && child.name.front() == u'\x0005');
            }
        }
    }
}

// Changes an opened file: grows, shrinks and adds streams, removes an element, commits.
inline void changeAndCommit(CompoundFile& file) {
    Storage root = file.root();
    std::vector<ElementStat> children;
    if (failed(root.list(&children)))
        return;
    std::vector<std::uint8_t> bytes(5000, 0x5A);
    for (const ElementStat& child : children) {
        if (child.type != ElementType::stream)
            continue;
        Stream stream;
        if (failed(root.openStream(child.name, &stream)))
            continue;
        (void)stream.writeAt(child.size / 2, bytes.data(), 100);
        (void)stream.setSize(child.size < 4096 ? 5000 : 100);
        break;
    }
    if (!children.empty())
        (void)root.remove(children.front().name);
    Stream added;
    if (succeeded(root.createStream(u"added by the fuzzer", &added)))
        (void)added.writeAt(0, bytes.data(), bytes.size());
    if (succeeded(file.commit()))
        walkTree(file.root());
}

inline void exercise(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> copy(data, data + size);
    std::unique_ptr<CompoundFile> file;
    if (succeeded(
            CompoundFile::open(std::make_shared<MemoryByteArray>(copy), OpenMode::readOnly, &file)))
        walkTree(file->root());
    if (succeeded(CompoundFile::open(std::make_shared<MemoryByteArray>(std::move(copy)),
                                     OpenMode::readWrite, &file)))
        changeAndCommit(*file);
}

} // namespace engine::cfb::fuzz
