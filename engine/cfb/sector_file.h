// Byte access to a compound file through its ByteArray, with one write-behind buffer and
// one read-ahead block, so that the many small reads and writes of streams reach the
// ByteArray as few large calls.
#pragma once

#include "cfb/byte_array.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace engine::cfb {

class SectorFile {
public:
    SectorFile(std::shared_ptr<ByteArray> bytes, std::uint32_t sectorSize);

    [[nodiscard]] std::uint32_t sectorSize() const { return sectorSize_; }
    [[nodiscard]] std::uint64_t offsetOf(std::uint32_t sector) const {
        return (static_cast<std::uint64_t>(sector) + 1) * sectorSize_;
    }
    // The size of the underlying array when it was opened, grown by every write since.
    [[nodiscard]] std::uint64_t knownSize() const { return knownSize_; }

    [[nodiscard]] Status initialize();
    // Reads `count` bytes; bytes past the end of the array read as zero.
    [[nodiscard]] Status read(std::uint64_t offset, void* buffer, std::size_t count);
    // As read, straight into `buffer` and past the read-ahead block: for tables that are read
    // once and kept by the caller.
    [[nodiscard]] Status readOnce(std::uint64_t offset, void* buffer, std::size_t count);
    [[nodiscard]] Status write(std::uint64_t offset, const void* buffer, std::size_t count);
    // Sends buffered writes to the array, without asking it to make them durable.
    [[nodiscard]] Status writeBuffered();
    // Sends buffered writes, then makes everything durable.
    [[nodiscard]] Status flush();
    // Grows the array to at least `size` bytes.
    [[nodiscard]] Status ensureSize(std::uint64_t size);
    // Forgets buffered writes and cached bytes (after a failure or a revert).
    [[nodiscard]] Status reload();

    [[nodiscard]] ByteArray& bytes() { return *bytes_; }
    // True once a write failed: bytes the engine meant to write may be missing.
    [[nodiscard]] bool writeFailed() const { return writeFailed_; }

private:
    [[nodiscard]] bool overlapsPending(std::uint64_t offset, std::size_t count) const;
    [[nodiscard]] Status readThrough(std::uint64_t offset, void* buffer, std::size_t count);
    void updateCache(std::uint64_t offset, const std::uint8_t* data, std::size_t count);

    std::shared_ptr<ByteArray> bytes_;
    std::uint32_t sectorSize_;
    std::uint64_t knownSize_ = 0;

    bool writeFailed_ = false;
    std::uint64_t pendingOffset_ = 0;
    std::vector<std::uint8_t> pending_;

    std::uint64_t sequentialEnd_ = 0; // where the last read ended
    std::size_t blockSize_ = 0;       // size of the last block read ahead
    std::uint64_t cacheOffset_ = 0;
    std::size_t cacheLength_ = 0;
    std::size_t cacheCapacity_ = 0;
    std::unique_ptr<std::uint8_t[]> cache_;
};

} // namespace engine::cfb
