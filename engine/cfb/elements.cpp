// The handles of the element tree: CompoundFile, Storage and Stream over a FileCore.
#include "cfb/compound_file.h"

#include "cfb/file_core.h"
#include "common/error.h"

#include <algorithm>
#include <limits>

namespace engine::cfb {
namespace {

// Copies go through a buffer of this size, whatever the size of the stream.
constexpr std::size_t copyBufferSize = 256u << 10;

[[nodiscard]] Status revertedElement() {
    return fail(Status::reverted, "the element was deleted or its file reverted");
}

} // namespace

// ---- Stream -----------------------------------------------------------------------------

Status Stream::checkOpen() const {
    if (!core_)
        return fail(Status::invalidHandle, "the stream handle is not open");
    if (!core_->isCurrent(node_, generation_))
        return revertedElement();
    return Status::ok;
}

Status Stream::readAt(std::uint64_t offset, void* buffer, std::size_t count, std::size_t* read) {
    *read = 0;
    ENGINE_RETURN_IF_FAILED(checkOpen());
    return core_->readStream(node_, offset, buffer, count, read);
}

Status Stream::writeAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    return core_->writeStream(node_, offset, buffer, count);
}

Status Stream::read(void* buffer, std::size_t count, std::size_t* read) {
    ENGINE_RETURN_IF_FAILED(readAt(position_, buffer, count, read));
    position_ += *read;
    return Status::ok;
}

Status Stream::write(const void* buffer, std::size_t count, std::size_t* written) {
    *written = 0;
    ENGINE_RETURN_IF_FAILED(writeAt(position_, buffer, count));
    position_ += count;
    *written = count;
    return Status::ok;
}

Status Stream::seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* position) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    std::uint64_t base = 0;
    if (origin == SeekOrigin::current)
        base = position_;
    else if (origin == SeekOrigin::end)
        base = core_->node(node_).entry.size;
    const bool beforeStart = offset < 0 && static_cast<std::uint64_t>(-(offset + 1)) + 1 > base;
    if (beforeStart)
        return fail(Status::invalidFunction,
                    describe("seek by ", offset, " from ", base, " is before the start"));
    position_ = offset < 0 ? base - (static_cast<std::uint64_t>(-(offset + 1)) + 1)
                           : base + static_cast<std::uint64_t>(offset);
    if (position)
        *position = position_;
    return Status::ok;
}

Status Stream::setSize(std::uint64_t size) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    return core_->resizeStream(node_, size);
}

Status Stream::size(std::uint64_t* size) {
    *size = 0;
    ENGINE_RETURN_IF_FAILED(checkOpen());
    *size = core_->node(node_).entry.size;
    return Status::ok;
}

Status Stream::stat(ElementStat* stat) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    core_->fillStat(node_, stat);
    return Status::ok;
}

Status Stream::copyTo(Stream& destination, std::uint64_t count, std::uint64_t* read,
                      std::uint64_t* written) {
    *read = 0;
    *written = 0;
    ENGINE_RETURN_IF_FAILED(checkOpen());
    ENGINE_RETURN_IF_FAILED(destination.checkOpen());
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, copyBufferSize)));
    while (*read < count) {
        const auto chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - *read, buffer.size()));
        std::size_t got = 0;
        ENGINE_RETURN_IF_FAILED(this->read(buffer.data(), chunk, &got));
        *read += got;
        if (got == 0)
            break;
        std::size_t put = 0;
        ENGINE_RETURN_IF_FAILED(destination.write(buffer.data(), got, &put));
        *written += put;
    }
    return Status::ok;
}

// ---- Storage ----------------------------------------------------------------------------

Status Storage::checkOpen() const {
    if (!core_)
        return fail(Status::invalidHandle, "the storage handle is not open");
    if (!core_->isCurrent(node_, generation_))
        return revertedElement();
    return Status::ok;
}

Status Storage::childOf(std::u16string_view name, std::uint32_t* node) const {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    return core_->findChild(node_, name, node);
}

Status Storage::createStream(std::u16string_view name, Stream* stream) {
    *stream = Stream{};
    ENGINE_RETURN_IF_FAILED(checkOpen());
    std::uint32_t node = 0;
    ENGINE_RETURN_IF_FAILED(core_->addChild(node_, name, ObjectType::stream, &node));
    stream->core_ = core_;
    stream->node_ = node;
    stream->generation_ = core_->node(node).generation;
    return Status::ok;
}

Status Storage::createStorage(std::u16string_view name, Storage* storage) {
    *storage = Storage{};
    ENGINE_RETURN_IF_FAILED(checkOpen());
    std::uint32_t node = 0;
    ENGINE_RETURN_IF_FAILED(core_->addChild(node_, name, ObjectType::storage, &node));
    storage->core_ = core_;
    storage->node_ = node;
    storage->generation_ = core_->node(node).generation;
    return Status::ok;
}

Status Storage::openStream(std::u16string_view name, Stream* stream) {
    *stream = Stream{};
    std::uint32_t node = 0;
    ENGINE_RETURN_IF_FAILED(childOf(name, &node));
    if (core_->node(node).entry.type != ObjectType::stream)
        return fail(Status::fileNotFound, describe("'", toUtf8(name), "' is not a stream"));
    ENGINE_RETURN_IF_FAILED(core_->checkStream(node));
    stream->core_ = core_;
    stream->node_ = node;
    stream->generation_ = core_->node(node).generation;
    return Status::ok;
}

Status Storage::openStorage(std::u16string_view name, Storage* storage) {
    *storage = Storage{};
    std::uint32_t node = 0;
    ENGINE_RETURN_IF_FAILED(childOf(name, &node));
    if (core_->node(node).entry.type != ObjectType::storage)
        return fail(Status::fileNotFound, describe("'", toUtf8(name), "' is not a storage"));
    storage->core_ = core_;
    storage->node_ = node;
    storage->generation_ = core_->node(node).generation;
    return Status::ok;
}

Status Storage::remove(std::u16string_view name) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    return core_->removeChild(node_, name);
}

Status Storage::rename(std::u16string_view oldName, std::u16string_view newName) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    return core_->renameChild(node_, oldName, newName);
}

Status Storage::list(std::vector<ElementStat>* children) {
    children->clear();
    ENGINE_RETURN_IF_FAILED(checkOpen());
    for (const std::uint32_t child : core_->sortedChildren(node_)) {
        children->emplace_back();
        core_->fillStat(child, &children->back());
    }
    return Status::ok;
}

Status Storage::stat(ElementStat* stat) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    core_->fillStat(node_, stat);
    return Status::ok;
}

Status Storage::statChild(std::u16string_view name, ElementStat* stat) {
    std::uint32_t node = 0;
    ENGINE_RETURN_IF_FAILED(childOf(name, &node));
    core_->fillStat(node, stat);
    return Status::ok;
}

Status Storage::setClass(const Clsid& clsid) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    ENGINE_RETURN_IF_FAILED(core_->checkWritable());
    core_->node(node_).entry.clsid = clsid;
    core_->noteChange();
    return Status::ok;
}

Status Storage::setStateBits(std::uint32_t bits, std::uint32_t mask) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    ENGINE_RETURN_IF_FAILED(core_->checkWritable());
    std::uint32_t& state = core_->node(node_).entry.stateBits;
    state = (state & ~mask) | (bits & mask);
    core_->noteChange();
    return Status::ok;
}

Status Storage::setChildTimes(std::u16string_view name, std::optional<std::uint64_t> creationTime,
                              std::optional<std::uint64_t> modifiedTime) {
    std::uint32_t node = 0;
    ENGINE_RETURN_IF_FAILED(childOf(name, &node));
    ENGINE_RETURN_IF_FAILED(core_->checkWritable());
    DirectoryEntry& entry = core_->node(node).entry;
    entry.creationTime = creationTime.value_or(entry.creationTime);
    entry.modifiedTime = modifiedTime.value_or(entry.modifiedTime);
    core_->noteChange();
    return Status::ok;
}

Status Storage::setTimes(std::optional<std::uint64_t> creationTime,
                         std::optional<std::uint64_t> modifiedTime) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    ENGINE_RETURN_IF_FAILED(core_->checkWritable());
    DirectoryEntry& entry = core_->node(node_).entry;
    entry.creationTime = creationTime.value_or(entry.creationTime);
    entry.modifiedTime = modifiedTime.value_or(entry.modifiedTime);
    core_->noteChange();
    return Status::ok;
}

namespace {

[[nodiscard]] Status copyStreamBytes(Stream& source, Stream& target) {
    std::uint64_t size = 0;
    ENGINE_RETURN_IF_FAILED(source.size(&size));
    ENGINE_RETURN_IF_FAILED(target.setSize(0));
    ENGINE_RETURN_IF_FAILED(source.seek(0, SeekOrigin::begin, nullptr));
    ENGINE_RETURN_IF_FAILED(target.seek(0, SeekOrigin::begin, nullptr));
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    ENGINE_RETURN_IF_FAILED(source.copyTo(target, size, &read, &written));
    if (read != size)
        return fail(Status::docfileCorrupt,
                    describe("copied ", read, " of a stream's ", size, " bytes"));
    return Status::ok;
}

[[nodiscard]] Status copyAttributes(const ElementStat& stat, Storage& target,
                                    std::u16string_view name) {
    return target.setChildTimes(name, stat.creationTime, stat.modifiedTime);
}

struct StoragePair {
    Storage from;
    Storage to;
};

// Copies the children of `from` into `to` and returns the pairs of storages whose children
// are still to be copied; the caller keeps them on a list rather than the call stack, so
// that storages nested thousands deep copy as well as flat ones.
[[nodiscard]] Status copyOneLevel(Storage& from, Storage& to, std::vector<StoragePair>* deeper) {
    ElementStat self;
    ENGINE_RETURN_IF_FAILED(from.stat(&self));
    ENGINE_RETURN_IF_FAILED(to.setClass(self.clsid));
    ENGINE_RETURN_IF_FAILED(to.setStateBits(self.stateBits, 0xFFFFFFFFu));
    std::vector<ElementStat> children;
    ENGINE_RETURN_IF_FAILED(from.list(&children));
    for (const ElementStat& child : children) {
        ElementStat existing;
        const bool exists = succeeded(to.statChild(child.name, &existing));
        const bool merge =
            exists && existing.type == ElementType::storage && child.type == ElementType::storage;
        if (exists && !merge)
            ENGINE_RETURN_IF_FAILED(to.remove(child.name));
        if (child.type == ElementType::stream) {
            Stream source;
            Stream target;
            ENGINE_RETURN_IF_FAILED(from.openStream(child.name, &source));
            ENGINE_RETURN_IF_FAILED(to.createStream(child.name, &target));
            ENGINE_RETURN_IF_FAILED(copyStreamBytes(source, target));
        } else {
            StoragePair pair;
            ENGINE_RETURN_IF_FAILED(from.openStorage(child.name, &pair.from));
            if (merge)
                ENGINE_RETURN_IF_FAILED(to.openStorage(child.name, &pair.to));
            else
                ENGINE_RETURN_IF_FAILED(to.createStorage(child.name, &pair.to));
            deeper->push_back(std::move(pair));
        }
        ENGINE_RETURN_IF_FAILED(copyAttributes(child, to, child.name));
    }
    return Status::ok;
}

} // namespace

Status Storage::copyTo(Storage& destination) {
    ENGINE_RETURN_IF_FAILED(checkOpen());
    ENGINE_RETURN_IF_FAILED(destination.checkOpen());
    if (destination.core_ == core_ && core_->isWithin(destination.node_, node_))
        return fail(Status::accessDenied, "a storage cannot be copied into itself");
    std::vector<StoragePair> pending{{*this, destination}};
    while (!pending.empty()) {
        StoragePair pair = std::move(pending.back());
        pending.pop_back();
        ENGINE_RETURN_IF_FAILED(copyOneLevel(pair.from, pair.to, &pending));
    }
    return Status::ok;
}

Status Storage::copyElementTo(std::u16string_view name, Storage& destination,
                              std::u16string_view newName) {
    ElementStat stat;
    ENGINE_RETURN_IF_FAILED(statChild(name, &stat));
    ENGINE_RETURN_IF_FAILED(destination.checkOpen());
    if (stat.type == ElementType::stream) {
        Stream source;
        Stream target;
        ENGINE_RETURN_IF_FAILED(openStream(name, &source));
        ENGINE_RETURN_IF_FAILED(destination.createStream(newName, &target));
        ENGINE_RETURN_IF_FAILED(copyStreamBytes(source, target));
        return copyAttributes(stat, destination, newName);
    }
    Storage source;
    ENGINE_RETURN_IF_FAILED(openStorage(name, &source));
    if (destination.core_ == core_ && core_->isWithin(destination.node_, source.node_))
        return fail(Status::accessDenied, "a storage cannot be copied into itself");
    Storage target;
    ENGINE_RETURN_IF_FAILED(destination.createStorage(newName, &target));
    ENGINE_RETURN_IF_FAILED(source.copyTo(target));
    return copyAttributes(stat, destination, newName);
}

// ---- CompoundFile -----------------------------------------------------------------------

CompoundFile::CompoundFile(std::shared_ptr<detail::FileCore> core) : core_(std::move(core)) {}
CompoundFile::~CompoundFile() = default;

Status CompoundFile::create(std::shared_ptr<ByteArray> bytes, Version version,
                            std::unique_ptr<CompoundFile>* file) {
    file->reset();
    auto core = std::make_shared<detail::FileCore>();
    ENGINE_RETURN_IF_FAILED(core->create(std::move(bytes), version));
    file->reset(new CompoundFile(std::move(core)));
    return Status::ok;
}

Status CompoundFile::open(std::shared_ptr<ByteArray> bytes, OpenMode mode,
                          std::unique_ptr<CompoundFile>* file) {
    file->reset();
    auto core = std::make_shared<detail::FileCore>();
    ENGINE_RETURN_IF_FAILED(core->open(std::move(bytes), mode));
    file->reset(new CompoundFile(std::move(core)));
    return Status::ok;
}

Storage CompoundFile::root() const {
    Storage storage;
    storage.core_ = core_;
    storage.node_ = 0;
    storage.generation_ = core_->node(0).generation;
    return storage;
}

Version CompoundFile::version() const {
    return core_->version();
}
bool CompoundFile::writable() const {
    return core_->writable();
}
Status CompoundFile::commit() {
    return core_->commit();
}
Status CompoundFile::revert() {
    return core_->revert();
}

} // namespace engine::cfb
