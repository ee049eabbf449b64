#include "cfb/sector_file.h"

#include "common/error.h"

#include <algorithm>
#include <cstring>

namespace engine::cfb {
namespace {

// Writes are gathered until this many contiguous bytes are pending.
constexpr std::size_t writeBufferCapacity = 1u << 20;
// Reads smaller than this are served from a block read ahead of them. The block starts at
// one sector and doubles while reads continue where the last one ended, so that scattered
// reads of metadata stay small and sequential reads of streams become large.
constexpr std::size_t readAheadSize = 256u << 10;

} // namespace

SectorFile::SectorFile(std::shared_ptr<ByteArray> bytes, std::uint32_t sectorSize)
    : bytes_(std::move(bytes)), sectorSize_(sectorSize) {}

Status SectorFile::initialize() {
    return reload();
}

Status SectorFile::reload() {
    pending_.clear();
    writeFailed_ = false;
    cacheLength_ = 0;
    sequentialEnd_ = 0;
    return bytes_->size(&knownSize_);
}

bool SectorFile::overlapsPending(std::uint64_t offset, std::size_t count) const {
    return !pending_.empty() && offset < pendingOffset_ + pending_.size() &&
           pendingOffset_ < offset + count;
}

Status SectorFile::readThrough(std::uint64_t offset, void* buffer, std::size_t count) {
    std::size_t got = 0;
    ENGINE_RETURN_IF_FAILED(bytes_->readAt(offset, buffer, count, &got));
    if (got < count)
        std::memset(static_cast<std::uint8_t*>(buffer) + got, 0, count - got);
    return Status::ok;
}

Status SectorFile::read(std::uint64_t offset, void* buffer, std::size_t count) {
    if (count == 0)
        return Status::ok;
    if (overlapsPending(offset, count))
        ENGINE_RETURN_IF_FAILED(writeBuffered());
    const bool sequential = offset == sequentialEnd_;
    sequentialEnd_ = offset + count;
    if (count >= readAheadSize)
        return readThrough(offset, buffer, count);
    const bool cached = offset >= cacheOffset_ && offset + count <= cacheOffset_ + cacheLength_;
    if (!cached) {
        blockSize_ = sequential ? std::min(readAheadSize, 2 * blockSize_) : sectorSize_;
        const std::size_t block = std::max<std::size_t>(blockSize_, count);
        if (overlapsPending(offset, block))
            ENGINE_RETURN_IF_FAILED(writeBuffered());
        if (cacheCapacity_ < block) {
            cache_ = std::make_unique_for_overwrite<std::uint8_t[]>(block);
            cacheCapacity_ = block;
        }
        cacheOffset_ = offset;
        cacheLength_ = 0;
        ENGINE_RETURN_IF_FAILED(readThrough(offset, cache_.get(), block));
        cacheLength_ = block;
    }
    std::memcpy(buffer, cache_.get() + (offset - cacheOffset_), count);
    return Status::ok;
}

Status SectorFile::readOnce(std::uint64_t offset, void* buffer, std::size_t count) {
    if (count == 0)
        return Status::ok;
    if (overlapsPending(offset, count))
        ENGINE_RETURN_IF_FAILED(writeBuffered());
    sequentialEnd_ = offset + count;
    return readThrough(offset, buffer, count);
}

void SectorFile::updateCache(std::uint64_t offset, const std::uint8_t* data, std::size_t count) {
    const std::uint64_t begin = std::max(offset, cacheOffset_);
    const std::uint64_t end = std::min(offset + count, cacheOffset_ + cacheLength_);
    if (begin < end)
        std::memcpy(cache_.get() + (begin - cacheOffset_), data + (begin - offset), end - begin);
}

Status SectorFile::write(std::uint64_t offset, const void* buffer, std::size_t count) {
    if (count == 0)
        return Status::ok;
    const auto* data = static_cast<const std::uint8_t*>(buffer);
    updateCache(offset, data, count);
    knownSize_ = std::max(knownSize_, offset + count);
    const std::uint64_t pendingEnd = pendingOffset_ + pending_.size();
    if (!pending_.empty() && offset >= pendingOffset_ && offset + count <= pendingEnd) {
        std::memcpy(pending_.data() + (offset - pendingOffset_), data, count);
        return Status::ok;
    }
    if (!pending_.empty() && offset == pendingEnd &&
        pending_.size() + count <= writeBufferCapacity) {
        pending_.insert(pending_.end(), data, data + count);
        return Status::ok;
    }
    ENGINE_RETURN_IF_FAILED(writeBuffered());
    if (count >= writeBufferCapacity) {
        const Status status = bytes_->writeAt(offset, data, count);
        writeFailed_ = writeFailed_ || failed(status);
        return status;
    }
    if (pending_.capacity() < writeBufferCapacity)
        pending_.reserve(writeBufferCapacity);
    pendingOffset_ = offset;
    pending_.assign(data, data + count);
    return Status::ok;
}

Status SectorFile::writeBuffered() {
    if (pending_.empty())
        return Status::ok;
    const Status status = bytes_->writeAt(pendingOffset_, pending_.data(), pending_.size());
    pending_.clear();
    writeFailed_ = writeFailed_ || failed(status);
    return status;
}

Status SectorFile::flush() {
    ENGINE_RETURN_IF_FAILED(writeBuffered());
    return bytes_->flush();
}

Status SectorFile::ensureSize(std::uint64_t size) {
    ENGINE_RETURN_IF_FAILED(writeBuffered());
    std::uint64_t current = 0;
    ENGINE_RETURN_IF_FAILED(bytes_->size(&current));
    if (current < size)
        ENGINE_RETURN_IF_FAILED(bytes_->setSize(size));
    knownSize_ = std::max(knownSize_, size);
    return Status::ok;
}

} // namespace engine::cfb
