#include "lock_bytes_array.h"

#include <support/result_macros.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace provider {
namespace {

// ILockBytes counts bytes in ULONGs: larger requests go in pieces of this size.
constexpr std::size_t kLargestTransfer = 1u << 30;
// How much of the start of a file is read at once when a document is opened.
constexpr std::size_t kCacheSize = 64u << 10;

[[nodiscard]] engine::Status toStatus(HRESULT hr) {
    return static_cast<engine::Status>(static_cast<std::uint32_t>(hr));
}

} // namespace

ComPtr<ILockBytes> LockBytesByteArray::current() {
    std::lock_guard lock(mutex_);
    return lockBytes_;
}

ComPtr<ILockBytes> LockBytesByteArray::lockBytes() {
    return current();
}

std::shared_ptr<engine::cfb::MemoryByteArray> LockBytesByteArray::staged() {
    std::lock_guard lock(mutex_);
    return staged_;
}

void LockBytesByteArray::stageInMemory() {
    std::lock_guard lock(mutex_);
    staged_ = std::make_shared<engine::cfb::MemoryByteArray>();
    cache_.clear();
    cacheState_ = CacheState::dropped;
}

HRESULT LockBytesByteArray::takeSnapshot() {
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return STG_E_REVERTED;
    STATSTG stat{};
    RETURN_IF_FAILED(bytes->Stat(&stat, STATFLAG_NONAME));
    RETURN_HR_IF(STG_E_INSUFFICIENTMEMORY, stat.cbSize.QuadPart > SIZE_MAX);
    const auto size = static_cast<std::size_t>(stat.cbSize.QuadPart);
    std::vector<std::uint8_t> contents;
    try {
        contents.resize(size);
    } catch (const std::bad_alloc&) {
        return STG_E_INSUFFICIENTMEMORY;
    }
    std::size_t done = 0;
    while (done < size) {
        const auto piece = static_cast<ULONG>(std::min(size - done, kLargestTransfer));
        ULARGE_INTEGER at;
        at.QuadPart = done;
        ULONG read = 0;
        RETURN_IF_FAILED(bytes->ReadAt(at, contents.data() + done, piece, &read));
        if (read == 0)
            break; // the file ended sooner than its size said
        done += read;
    }
    contents.resize(done);
    std::lock_guard lock(mutex_);
    staged_ = std::make_shared<engine::cfb::MemoryByteArray>(std::move(contents));
    snapshot_ = true;
    changed_.clear();
    cache_.clear();
    cacheState_ = CacheState::dropped;
    return S_OK;
}

namespace {

// The header sector of a compound file: written last, so that the file names its old state
// until everything of the new one is in place.
constexpr std::uint64_t kHeaderSize = 512;

[[nodiscard]] HRESULT writeRange(ILockBytes* bytes, const std::vector<std::uint8_t>& contents,
                                 std::uint64_t start, std::uint64_t end) {
    for (std::uint64_t at = start; at < end;) {
        const auto piece = static_cast<ULONG>(std::min<std::uint64_t>(end - at, kLargestTransfer));
        ULARGE_INTEGER offset;
        offset.QuadPart = at;
        ULONG written = 0;
        RETURN_IF_FAILED(bytes->WriteAt(offset, contents.data() + at, piece, &written));
        RETURN_HR_IF(STG_E_WRITEFAULT, written != piece);
        at += piece;
    }
    return S_OK;
}

} // namespace

HRESULT LockBytesByteArray::publishChanges(ILockBytes* bytes,
                                           const engine::cfb::MemoryByteArray& image) {
    std::map<std::uint64_t, std::uint64_t> changed;
    {
        std::lock_guard lock(mutex_);
        changed.swap(changed_);
    }
    const std::vector<std::uint8_t>& contents = image.bytes();
    const std::uint64_t size = contents.size();
    bool headerChanged = false;
    STATSTG stat{};
    HRESULT hr = bytes->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr) && stat.cbSize.QuadPart < size) {
        ULARGE_INTEGER newSize;
        newSize.QuadPart = size;
        hr = bytes->SetSize(newSize);
        if (SUCCEEDED(hr) && !growsWithZeros_)
            hr = writeRange(bytes, contents, stat.cbSize.QuadPart, size);
    }
    for (const auto& [start, end] : changed) {
        headerChanged = headerChanged || start < kHeaderSize;
        const std::uint64_t from = std::max(start, kHeaderSize);
        const std::uint64_t to = std::min(end, size);
        if (SUCCEEDED(hr) && from < to)
            hr = writeRange(bytes, contents, from, to);
    }
    if (SUCCEEDED(hr))
        hr = bytes->Flush();
    if (SUCCEEDED(hr) && headerChanged)
        hr = writeRange(bytes, contents, 0, std::min(kHeaderSize, size));
    const bool shrinks = stat.cbSize.QuadPart > size;
    if (SUCCEEDED(hr) && shrinks) {
        ULARGE_INTEGER newSize;
        newSize.QuadPart = size;
        hr = bytes->SetSize(newSize); // only once the header no longer needs what is cut off
    }
    // Durable already when neither the header nor the size changed after the first flush.
    if (SUCCEEDED(hr) && (headerChanged || shrinks))
        hr = bytes->Flush();
    if (FAILED(hr)) {
        // Written again by the next attempt, with whatever changes meanwhile.
        std::lock_guard lock(mutex_);
        for (const auto& [start, end] : changed)
            changed_[start] = std::max(changed_[start], end);
    }
    return hr;
}

void LockBytesByteArray::noteChange(std::uint64_t start, std::uint64_t end) {
    std::lock_guard lock(mutex_);
    if (!snapshot_)
        return;
    // Merge with the ranges it touches, so that a sequential writer keeps one range.
    auto next = changed_.upper_bound(start);
    if (next != changed_.begin() && std::prev(next)->second >= start)
        --next;
    while (next != changed_.end() && next->first <= end) {
        start = std::min(start, next->first);
        end = std::max(end, next->second);
        next = changed_.erase(next);
    }
    changed_.emplace(start, end);
}

bool LockBytesByteArray::isSnapshot() {
    std::lock_guard lock(mutex_);
    return snapshot_;
}

bool LockBytesByteArray::staging() {
    return staged() != nullptr;
}

HRESULT LockBytesByteArray::publish() {
    const std::shared_ptr<engine::cfb::MemoryByteArray> image = staged();
    if (!image)
        return S_OK;
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return STG_E_REVERTED;
    if (isSnapshot())
        return publishChanges(bytes.get(), *image);
    const std::vector<std::uint8_t>& contents = image->bytes();
    ULARGE_INTEGER size;
    size.QuadPart = contents.size();
    HRESULT hr = bytes->SetSize(size);
    for (std::size_t done = 0; SUCCEEDED(hr) && done < contents.size();) {
        const auto piece = static_cast<ULONG>(std::min(contents.size() - done, kLargestTransfer));
        ULARGE_INTEGER at;
        at.QuadPart = done;
        ULONG written = 0;
        hr = bytes->WriteAt(at, contents.data() + done, piece, &written);
        if (SUCCEEDED(hr) && written != piece)
            hr = STG_E_WRITEFAULT;
        done += piece;
    }
    if (SUCCEEDED(hr))
        hr = bytes->Flush();
    if (FAILED(hr))
        return hr;
    std::lock_guard lock(mutex_);
    staged_.reset();
    return S_OK;
}

void LockBytesByteArray::detach() {
    ComPtr<ILockBytes> released;
    std::lock_guard lock(mutex_);
    released = std::move(lockBytes_);
    cache_.clear();
}

void LockBytesByteArray::dropCache() {
    std::lock_guard lock(mutex_);
    cache_.clear();
    cacheState_ = CacheState::dropped; // once dropped, never loaded again
}

bool LockBytesByteArray::readFromCache(std::uint64_t offset, void* buffer, std::size_t count,
                                       std::size_t* read) {
    // Under the mutex: serves the read from the cache when it holds the bytes, or holds the
    // whole file and the read reaches past its end.
    auto serve = [&]() {
        if (offset + count <= cache_.size() && cacheState_ == CacheState::loaded) {
            std::memcpy(buffer, cache_.data() + offset, count);
            *read = count;
            return true;
        }
        if (!cacheIsWholeFile())
            return false;
        const std::size_t available =
            offset < cache_.size() ? cache_.size() - static_cast<std::size_t>(offset) : 0;
        const std::size_t part = std::min(count, available);
        if (part > 0)
            std::memcpy(buffer, cache_.data() + offset, part);
        *read = part;
        return true;
    };
    ComPtr<ILockBytes> bytes;
    {
        std::lock_guard lock(mutex_);
        if (cacheState_ != CacheState::unloaded || offset != 0 || !lockBytes_)
            return serve();
        bytes = lockBytes_;
        cacheState_ = CacheState::loaded;
    }
    std::vector<std::uint8_t> start(kCacheSize);
    ULONG got = 0;
    ULARGE_INTEGER zero{};
    if (FAILED(bytes->ReadAt(zero, start.data(), static_cast<ULONG>(start.size()), &got))) {
        std::lock_guard lock(mutex_);
        cacheState_ = CacheState::dropped;
        return false;
    }
    start.resize(got);
    std::lock_guard lock(mutex_);
    cache_ = std::move(start);
    cacheReachesEnd_ = got < kCacheSize;
    return serve();
}

engine::Status LockBytesByteArray::readAt(std::uint64_t offset, void* buffer, std::size_t count,
                                          std::size_t* read) {
    *read = 0;
    if (const auto image = staged())
        return image->readAt(offset, buffer, count, read);
    if (readFromCache(offset, buffer, count, read))
        return engine::Status::ok;
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
    auto* target = static_cast<std::uint8_t*>(buffer);
    while (*read < count) {
        const auto piece = static_cast<ULONG>(std::min(count - *read, kLargestTransfer));
        ULARGE_INTEGER at;
        at.QuadPart = offset + *read;
        ULONG got = 0;
        const HRESULT hr = bytes->ReadAt(at, target + *read, piece, &got);
        if (FAILED(hr))
            return toStatus(hr);
        *read += got;
        if (got < piece)
            break;
    }
    return engine::Status::ok;
}

engine::Status LockBytesByteArray::writeAt(std::uint64_t offset, const void* buffer,
                                           std::size_t count) {
    if (const auto image = staged()) {
        const engine::Status status = image->writeAt(offset, buffer, count);
        if (status == engine::Status::ok && count > 0)
            noteChange(offset, offset + count);
        return status;
    }
    dropCache();
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
    if (!growsWithZeros_) {
        // A write past the end leaves a gap that these lock bytes may not fill with zeros.
        STATSTG stat{};
        if (SUCCEEDED(bytes->Stat(&stat, STATFLAG_NONAME)) && offset > stat.cbSize.QuadPart) {
            const engine::Status filled = setSize(offset);
            if (filled != engine::Status::ok)
                return filled;
        }
    }
    const auto* source = static_cast<const std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto piece = static_cast<ULONG>(std::min(count - done, kLargestTransfer));
        ULARGE_INTEGER at;
        at.QuadPart = offset + done;
        ULONG written = 0;
        const HRESULT hr = bytes->WriteAt(at, source + done, piece, &written);
        if (FAILED(hr))
            return toStatus(hr);
        if (written != piece)
            return engine::Status::writeFault;
        done += written;
    }
    return engine::Status::ok;
}

engine::Status LockBytesByteArray::size(std::uint64_t* size) {
    *size = 0;
    if (const auto image = staged())
        return image->size(size);
    {
        std::lock_guard lock(mutex_);
        if (cacheIsWholeFile()) {
            *size = cache_.size();
            return engine::Status::ok;
        }
    }
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
    STATSTG stat{};
    const HRESULT hr = bytes->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr))
        return toStatus(hr);
    *size = stat.cbSize.QuadPart;
    return engine::Status::ok;
}

engine::Status LockBytesByteArray::setSize(std::uint64_t size) {
    if (const auto image = staged())
        return image->setSize(size);
    dropCache();
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
    STATSTG stat{};
    if (!growsWithZeros_ && FAILED(bytes->Stat(&stat, STATFLAG_NONAME)))
        stat.cbSize.QuadPart = 0;
    ULARGE_INTEGER newSize;
    newSize.QuadPart = size;
    const HRESULT hr = bytes->SetSize(newSize);
    if (FAILED(hr) || growsWithZeros_ || size <= stat.cbSize.QuadPart)
        return toStatus(hr);
    // Other lock bytes leave what they grow by undefined; the engine reads it as zeros.
    static const std::vector<std::uint8_t> zeros(64u << 10, 0);
    for (std::uint64_t at = stat.cbSize.QuadPart; at < size;) {
        const auto piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - at, zeros.size()));
        const engine::Status status = writeAt(at, zeros.data(), piece);
        if (status != engine::Status::ok)
            return status;
        at += piece;
    }
    return engine::Status::ok;
}

engine::Status LockBytesByteArray::flush() {
    if (staged())
        return engine::Status::ok;
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
    return toStatus(bytes->Flush());
}

} // namespace provider
