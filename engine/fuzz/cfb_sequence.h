// What the operation-sequence fuzz target does with each input, shared with the regression
// test that replays every input kept: the bytes are decoded into engine operations on one
// document (create and open storages and streams, write at offsets, set sizes, rename,
// remove, copy, commit, revert, reopen from the bytes), and the same operations run on a
// plain in-memory tree. Every operation must give the status the tree predicts; after each
// commit, revert and reopen the document must hold exactly the tree, and after each commit
// the file must pass the strict validator. A revert or a reopen brings back the tree of the
// last commit.
#pragma once

#include "cfb/compound_file.h"
#include "cfb/names.h"
#include "validator/validator.h"
#include "common/error.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace engine::cfb::fuzz {

// Bounds that keep one input quick: operations, elements, stream sizes.
inline constexpr std::size_t maxOperations = 96;
inline constexpr std::size_t maxChildren = 12;
inline constexpr std::uint64_t maxStreamSize = 12000; // past the mini-stream cut-off
inline constexpr std::uint64_t maxTotalBytes = 1u << 20;

// Names the sequences use: two pairs that differ only in case, a property-set name, one of
// the longest length and one of Latin-1 letters, so that lookups, renames and the
// directory's order meet their edge cases.
// clang-format off
inline const std::array<std::u16string, 8> namePool = {u"A", u"a", u"Data", u"DATA",
    u"\u0005SummaryInformation", u"Folder", u"Thirty-one units long name, ok.", u"\u00e9t\u00e9"};
// clang-format on

// A storage or a stream of the model, keyed among its siblings by the folded name.
struct ModelNode {
    bool isStorage = true;
    std::u16string name;
    std::vector<std::uint8_t> data;
    std::map<std::u16string, ModelNode> children;
};

using Path = std::vector<std::u16string>;

class SequenceRun {
public:
    SequenceRun(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // Runs the whole input; the first difference between the document and the model, or
    // an empty text when there was none.
    std::string run() {
        // The operations, chosen by the input's next value; creating takes two values.
        using Operation = void (SequenceRun::*)();
        static constexpr Operation operations[] = {
            &SequenceRun::create, &SequenceRun::create, &SequenceRun::write, &SequenceRun::resize,
            &SequenceRun::rename, &SequenceRun::remove, &SequenceRun::copy,  &SequenceRun::commit,
            &SequenceRun::revert, &SequenceRun::reopen};
        const Version version = (byte() & 1) ? Version::v4 : Version::v3;
        bytes_ = std::make_shared<MemoryByteArray>();
        if (failed(CompoundFile::create(bytes_, version, &file_)))
            return "create failed: " + lastFailureMessage();
        committed_ = model_;
        for (std::size_t step = 0; step < maxOperations && at_ < size_ && problem_.empty(); ++step)
            (this->*operations[below(std::size(operations))])();
        if (problem_.empty())
            commit();
        return problem_;
    }

private:
    // The input, a byte at a time; every value past its end is 0.
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    // A value below `limit` from the next three bytes; 0, reading nothing, for limit 0.
    std::uint32_t below(std::uint64_t limit) {
        if (limit == 0)
            return 0;
        std::uint32_t value = 0;
        for (int i = 0; i < 3; ++i)
            value = (value << 8) | byte();
        return static_cast<std::uint32_t>(value % limit);
    }

    const std::u16string& pickName() { return namePool[below(namePool.size())]; }

    // One of the storages (or streams) among a node's children; null when it has none.
    ModelNode* pickChild(ModelNode& parent, bool storage) {
        std::vector<ModelNode*> found;
        for (auto& [key, child] : parent.children)
            if (child.isStorage == storage)
                found.push_back(&child);
        return found.empty() ? nullptr : found[below(found.size())];
    }

    // A storage of the model reached by walking down from the root, with its path.
    ModelNode* pickStorage(Path* path) {
        ModelNode* node = &model_;
        while (below(3) != 0) {
            ModelNode* next = pickChild(*node, true);
            if (!next)
                break;
            node = next;
            path->push_back(node->name);
        }
        return node;
    }

    // A stream of the model with its parent's path; null when the storage has none.
    ModelNode* pickStream(Path* path) { return pickChild(*pickStorage(path), false); }

    // The engine's storage at a path of names, and a stream in it.
    bool openPath(const Path& path, Storage* storage) {
        *storage = file_->root();
        for (const auto& name : path) {
            Storage inner;
            if (!expect(storage->openStorage(name, &inner), Status::ok, "open a storage"))
                return false;
            *storage = inner;
        }
        return true;
    }
    bool openStream(const Path& path, const ModelNode& node, Stream* stream) {
        Storage at;
        return openPath(path, &at) &&
               expect(at.openStream(node.name, stream), Status::ok, "open a stream");
    }

    static void adopt(ModelNode& parent, ModelNode node, const std::u16string& name) {
        node.name = name;
        parent.children[foldName(name)] = std::move(node);
    }

    void create() {
        const bool storage = below(2) == 1;
        Path path;
        ModelNode* parent = pickStorage(&path);
        const std::u16string name = pickName();
        Storage at;
        if (parent->children.size() >= maxChildren || !openPath(path, &at))
            return;
        const bool taken = parent->children.count(foldName(name)) != 0;
        Storage newStorage;
        Stream newStream;
        const Status status =
            storage ? at.createStorage(name, &newStorage) : at.createStream(name, &newStream);
        if (expect(status, taken ? Status::fileAlreadyExists : Status::ok, "create") && !taken)
            adopt(*parent, ModelNode{storage, name, {}, {}}, name);
    }

    void write() {
        Path path;
        ModelNode* stream = pickStream(&path);
        const std::uint64_t offset = below(maxStreamSize);
        const std::size_t count = below(maxStreamSize - offset);
        const std::uint8_t seed = byte();
        Stream at;
        if (!stream || totalBytes() + offset + count > maxTotalBytes ||
            !openStream(path, *stream, &at))
            return;
        std::vector<std::uint8_t> data(count);
        for (std::size_t i = 0; i < count; ++i)
            data[i] = static_cast<std::uint8_t>(seed + i * 31 + (i >> 8));
        if (!expect(at.writeAt(offset, data.data(), count), Status::ok, "write") || count == 0)
            return;
        stream->data.resize(std::max<std::size_t>(stream->data.size(), offset + count));
        std::copy(data.begin(), data.end(),
                  stream->data.begin() + static_cast<std::ptrdiff_t>(offset));
    }

    void resize() {
        Path path;
        ModelNode* stream = pickStream(&path);
        const std::uint64_t size = below(maxStreamSize);
        Stream at;
        if (stream && totalBytes() + size <= maxTotalBytes && openStream(path, *stream, &at) &&
            expect(at.setSize(size), Status::ok, "set a size"))
            stream->data.resize(size);
    }

    void rename() {
        Path path;
        ModelNode* parent = pickStorage(&path);
        const std::u16string oldName = pickName();
        const std::u16string newName = pickName();
        Storage at;
        if (!openPath(path, &at))
            return;
        const auto found = parent->children.find(foldName(oldName));
        const bool newTaken = foldName(newName) != foldName(oldName) &&
                              parent->children.count(foldName(newName)) != 0;
        const Status expected = found == parent->children.end() ? Status::fileNotFound
                                : newTaken                      ? Status::fileAlreadyExists
                                                                : Status::ok;
        if (!expect(at.rename(oldName, newName), expected, "rename") || expected != Status::ok)
            return;
        ModelNode moved = std::move(found->second);
        parent->children.erase(found);
        adopt(*parent, std::move(moved), newName);
    }

    void remove() {
        Path path;
        ModelNode* parent = pickStorage(&path);
        const std::u16string name = pickName();
        Storage at;
        if (!openPath(path, &at))
            return;
        const bool exists = parent->children.count(foldName(name)) != 0;
        if (expect(at.remove(name), exists ? Status::ok : Status::fileNotFound, "remove") && exists)
            parent->children.erase(foldName(name));
    }

    // Whether `path` lies in or below the storage at `prefix`.
    static bool isWithin(const Path& path, const Path& prefix) {
        return path.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), path.begin(),
                          [](const auto& a, const auto& b) { return foldName(a) == foldName(b); });
    }

    void copy() {
        Path fromPath;
        Path toPath;
        ModelNode* from = pickStorage(&fromPath);
        ModelNode* to = pickStorage(&toPath);
        const std::u16string name = pickName();
        const std::u16string newName = pickName();
        Storage source;
        Storage destination;
        if (to->children.size() >= maxChildren || !openPath(fromPath, &source) ||
            !openPath(toPath, &destination))
            return;
        const auto found = from->children.find(foldName(name));
        Status expected = Status::ok;
        if (found == from->children.end()) {
            expected = Status::fileNotFound;
        } else {
            fromPath.push_back(found->second.name);
            if (found->second.isStorage && isWithin(toPath, fromPath))
                expected = Status::accessDenied;
            else if (to->children.count(foldName(newName)) != 0)
                expected = Status::fileAlreadyExists;
            else if (totalBytes() + bytesBelow(found->second) > maxTotalBytes)
                return;
        }
        if (expect(source.copyElementTo(name, destination, newName), expected, "copy") &&
            expected == Status::ok)
            adopt(*to, found->second, newName);
    }

    void commit() {
        if (!expect(file_->commit(), Status::ok, "commit"))
            return;
        committed_ = model_;
        compare("after a commit");
        std::vector<std::string> problems;
        if (failed(validateFile(*bytes_, &problems)))
            fault("the committed file fails the validator: " + problems.front());
    }

    void revert() {
        expect(file_->revert(), Status::ok, "revert");
        model_ = committed_;
        compare("after a revert");
    }

    void reopen() {
        file_.reset();
        if (!expect(CompoundFile::open(bytes_, OpenMode::readWrite, &file_), Status::ok, "reopen"))
            return;
        model_ = committed_;
        compare("after a reopen");
    }

    static std::uint64_t bytesBelow(const ModelNode& node) {
        std::uint64_t total = node.data.size();
        for (const auto& [key, child] : node.children)
            total += bytesBelow(child);
        return total;
    }
    [[nodiscard]] std::uint64_t totalBytes() const { return bytesBelow(model_); }

    void compare(const char* when) {
        Storage root = file_->root();
        compareStorage(root, model_, std::string(when) + ", in /");
    }

    // Compares a storage's children with the model's, down to the last byte of every stream.
    void compareStorage(Storage& storage, const ModelNode& node, const std::string& where) {
        std::vector<ElementStat> children;
        if (!expect(storage.list(&children), Status::ok, "list"))
            return;
        if (children.size() != node.children.size())
            return fault(where + ": " + std::to_string(children.size()) +
                         " children, the model has " + std::to_string(node.children.size()));
        for (const ElementStat& child : children) {
            const auto found = node.children.find(foldName(child.name));
            const std::string here = where + toUtf8(child.name);
            const bool isStorage = child.type == ElementType::storage;
            if (found == node.children.end() || found->second.name != child.name ||
                found->second.isStorage != isStorage)
                return fault(here + ": not in the model as it is in the document");
            const std::vector<std::uint8_t>& expected = found->second.data;
            std::vector<std::uint8_t> data(std::min<std::uint64_t>(child.size, maxTotalBytes + 1));
            std::size_t read = 0;
            Storage inner;
            Stream stream;
            if (isStorage && expect(storage.openStorage(child.name, &inner), Status::ok, "open"))
                compareStorage(inner, found->second, here + "/");
            else if (!isStorage &&
                     expect(storage.openStream(child.name, &stream), Status::ok, "open") &&
                     expect(stream.readAt(0, data.data(), data.size(), &read), Status::ok,
                            "read") &&
                     (read != child.size || data != expected))
                fault(here + ": " + std::to_string(child.size) + " bytes, the model has " +
                      std::to_string(expected.size()) + "; the bytes read differ");
            if (!problem_.empty())
                return;
        }
    }

    bool expect(Status status, Status expected, const char* what) {
        if (status == expected)
            return true;
        fault(std::string(what) + " gave status " +
              std::to_string(static_cast<std::uint32_t>(status)) + ", the model expects " +
              std::to_string(static_cast<std::uint32_t>(expected)) + " (" + lastFailureMessage() +
              ")");
        return false;
    }

    void fault(const std::string& text) {
        if (problem_.empty())
            problem_ = text;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::shared_ptr<MemoryByteArray> bytes_;
    std::unique_ptr<CompoundFile> file_;
    ModelNode model_;
    ModelNode committed_;
    std::string problem_;
};

// Runs one input; the first difference found, or an empty text.
inline std::string runSequence(const std::uint8_t* data, std::size_t size) {
    return SequenceRun(data, size).run();
}

} // namespace engine::cfb::fuzz
