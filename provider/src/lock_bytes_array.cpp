#include "lock_bytes_array.h"

#include <algorithm>

namespace provider {
namespace {

// ILockBytes counts bytes in ULONGs: larger requests go in pieces of this size.
constexpr std::size_t kLargestTransfer = 1u << 30;

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

void LockBytesByteArray::detach() {
    ComPtr<ILockBytes> released;
    std::lock_guard lock(mutex_);
    released.swap(lockBytes_);
}

engine::Status LockBytesByteArray::readAt(std::uint64_t offset, void* buffer, std::size_t count,
                                          std::size_t* read) {
    *read = 0;
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
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
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
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
    ULARGE_INTEGER newSize;
    newSize.QuadPart = size;
    return toStatus(bytes->SetSize(newSize));
}

engine::Status LockBytesByteArray::flush() {
    const ComPtr<ILockBytes> bytes = current();
    if (!bytes)
        return engine::Status::reverted;
    return toStatus(bytes->Flush());
}

} // namespace provider
