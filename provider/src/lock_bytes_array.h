// The engine's ByteArray over any ILockBytes: the provider's own file lock bytes, or one a
// caller hands to StgCreateDocfileOnILockBytes / StgOpenStorageOnILockBytes.
#pragma once

#include "com_ptr.h"

#include <cfb/byte_array.h>

#include <objidl.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace provider {

class LockBytesByteArray final : public engine::cfb::ByteArray {
public:
    explicit LockBytesByteArray(ComPtr<ILockBytes> lockBytes) : lockBytes_(std::move(lockBytes)) {}

    [[nodiscard]] engine::Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                                        std::size_t* read) override;
    [[nodiscard]] engine::Status writeAt(std::uint64_t offset, const void* buffer,
                                         std::size_t count) override;
    [[nodiscard]] engine::Status size(std::uint64_t* size) override;
    [[nodiscard]] engine::Status setSize(std::uint64_t size) override;
    [[nodiscard]] engine::Status flush() override;

    // Nobody else writes these bytes while the array is used (the root's share mode denies
    // writing): the start of the file read at once may stand for the whole file, its size
    // included, until this array writes.
    void setUnchangedByOthers() { unchangedByOthers_ = true; }
    // The lock bytes are a file's, which reads what it grows by as zeros; other lock bytes
    // (memory, a caller's) have their growth written with zeros, as the engine expects.
    void setGrowsWithZeros() { growsWithZeros_ = true; }
    // Releases the lock bytes; later calls fail with STG_E_REVERTED.
    void detach();
    // Forgets the bytes kept from the start of the array (after a revert, or when another
    // writer may have changed them).
    void dropCache();
    [[nodiscard]] ComPtr<ILockBytes> lockBytes();

    // From now until publish(), the array lives in memory and the lock bytes are left alone:
    // a transacted root created over an existing file replaces it only when it commits.
    void stageInMemory();
    [[nodiscard]] bool staging();
    // Writes the array held in memory over the lock bytes (sized, written, flushed); from
    // then on reads and writes go to the lock bytes again. For a snapshot, writes only what
    // changed since it was taken, the header last, and goes on working on the snapshot.
    [[nodiscard]] HRESULT publish();
    // Copies the whole of the lock bytes into memory and works on the copy from then on:
    // a transacted root that others may commit to keeps seeing the document as it was when
    // it opened, whatever later commits overwrite, and what it writes before its own commit
    // stays out of the file, where another writer may use the same free sectors. Taken under
    // the commit byte; taken again by a revert.
    [[nodiscard]] HRESULT takeSnapshot();
    [[nodiscard]] bool isSnapshot();

private:
    [[nodiscard]] ComPtr<ILockBytes> current();
    [[nodiscard]] HRESULT publishChanges(ILockBytes* bytes,
                                         const engine::cfb::MemoryByteArray& image);
    void noteChange(std::uint64_t start, std::uint64_t end);
    [[nodiscard]] std::shared_ptr<engine::cfb::MemoryByteArray> staged();

    // The first bytes of the array, read in one call the first time the header is read and
    // kept until the first write: opening a document then costs one read of the file instead
    // of one for each of the header, allocation tables, directory and mini stream.
    [[nodiscard]] bool readFromCache(std::uint64_t offset, void* buffer, std::size_t count,
                                     std::size_t* read);
    // Whether the cache holds the whole file, as it is for as long as the cache is kept.
    [[nodiscard]] bool cacheIsWholeFile() const {
        return unchangedByOthers_ && cacheState_ == CacheState::loaded && cacheReachesEnd_;
    }

    std::mutex mutex_;
    ComPtr<ILockBytes> lockBytes_;
    enum class CacheState { unloaded, loaded, dropped };
    std::vector<std::uint8_t> cache_;
    CacheState cacheState_ = CacheState::unloaded;
    bool cacheReachesEnd_ = false; // the file ended within the bytes read
    bool unchangedByOthers_ = false;
    bool growsWithZeros_ = false;
    std::shared_ptr<engine::cfb::MemoryByteArray> staged_;
    bool snapshot_ = false;
    std::map<std::uint64_t, std::uint64_t> changed_; // ranges written to a snapshot: start, end
};

} // namespace provider
