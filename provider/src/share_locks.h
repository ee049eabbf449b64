// How the roots open on one file keep to each other's STGM share modes.
//
// The file itself is opened with share flags that keep out other writers only when the share
// mode denies writing (fileShareOf in modes.h). Everything else is said with byte-range locks
// in the file's range-lock sector, the last 256 bytes below 2 GiB, which never hold data: each
// root locks one byte in the range of every thing it does (reads, writes) and of every thing it
// denies (reading, writing). The ranges and their order are those of ole32's compound files,
// so that roots of both on the same file respect each other.
//
// A later opener checks the ranges before it takes its own bytes:
//   - it reads while a root denies reading, or writes while one denies writing:
//     STG_E_SHAREVIOLATION;
//   - it denies reading while a root reads, or denies writing while one writes:
//     STG_E_LOCKVIOLATION;
//   - it opens in priority mode while a root commits: STG_E_LOCKVIOLATION.
// A direct reader that denies writing takes no byte at all, as with ole32: the file's share
// flags already keep writers out, and nothing it does can be disturbed by other readers.
#pragma once

#include "com_ptr.h"

#include <objidl.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace provider {

class ShareLocks {
public:
    // Checks the roots already open on `bytes` against a root opened with `mode`, then takes
    // the bytes that tell later openers what this one does and denies.
    [[nodiscard]] static HRESULT acquire(ComPtr<ILockBytes> bytes, DWORD mode,
                                         std::unique_ptr<ShareLocks>* locks);
    ShareLocks(const ShareLocks&) = delete;
    ShareLocks& operator=(const ShareLocks&) = delete;
    // Lets go of every byte this root holds.
    ~ShareLocks();

    // STG_E_LOCKVIOLATION while a root of this file is open in priority mode (no one commits
    // while a priority reader is open).
    [[nodiscard]] HRESULT checkNoPriorityReader();

    // The single writer of STGM_DIRECT_SWMR: from now on, new readers are refused; waits up to
    // `timeoutMs` for the readers already open to go. STG_E_INUSE when they stay, in which
    // case new readers are let in again.
    [[nodiscard]] HRESULT takeWriteAccess(DWORD timeoutMs);
    void releaseWriteAccess();
    [[nodiscard]] bool hasWriteAccess() const { return writeAccessByte_ != kNoByte; }

private:
    static constexpr std::uint64_t kNoByte = ~0ull;

    explicit ShareLocks(ComPtr<ILockBytes> bytes) : bytes_(std::move(bytes)) {}

    [[nodiscard]] HRESULT lock(std::uint64_t offset, std::uint64_t count);
    void unlock(std::uint64_t offset, std::uint64_t count);
    // Whether none of the bytes is locked by another root (S_OK, S_FALSE when one is).
    [[nodiscard]] HRESULT rangeIsFree(std::uint64_t first, std::uint64_t count);
    // Whether the chosen ones of two adjacent ranges (the one at `first` and the one after
    // it) are free, checked in one call when both are chosen.
    [[nodiscard]] HRESULT pairIsFree(std::uint64_t first, bool checkFirst, bool checkSecond);
    // Locks the first free byte of a range, remembering it; `*byte` receives its offset.
    [[nodiscard]] HRESULT holdOneOf(std::uint64_t first, std::uint64_t count,
                                    std::uint64_t* byte = nullptr);
    // Locks one byte, waiting a little while another root holds it.
    [[nodiscard]] HRESULT checkAndHold(DWORD mode);
    // Whether a reader other than this root holds a byte of the read range.
    [[nodiscard]] HRESULT otherReadersGone();

    ComPtr<ILockBytes> bytes_;
    std::vector<std::uint64_t> held_;
    std::uint64_t readByte_ = kNoByte;
    std::uint64_t writeAccessByte_ = kNoByte;
};

// The commit byte of any lock bytes, held while a transacted root commits and while a root
// that others may write reads the file's structure: waits a little while another root holds
// it, then STG_E_LOCKVIOLATION. `*held` stays false for lock bytes that cannot lock (memory),
// which no other root shares.
class CommitByte {
public:
    CommitByte() = default;
    CommitByte(const CommitByte&) = delete;
    CommitByte& operator=(const CommitByte&) = delete;
    ~CommitByte();
    // Takes the commit byte of `bytes` until this object goes.
    [[nodiscard]] HRESULT acquire(ComPtr<ILockBytes> bytes);

private:
    ComPtr<ILockBytes> held_; // null while nothing is held
};

} // namespace provider
