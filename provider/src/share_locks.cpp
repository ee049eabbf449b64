#include "share_locks.h"

#include "modes.h"

#include <support/result_macros.h>

#include <new>
#include <utility>

namespace provider {
namespace {

// The range-lock sector: one byte per root in each range, ranges in ole32's order.
constexpr std::uint64_t kRangeLength = 20;
constexpr std::uint64_t kPriorityRange = 0x7FFFFF58;
constexpr std::uint64_t kNoSnapshotRange = 0x7FFFFF6C;
constexpr std::uint64_t kCommitByte = 0x7FFFFF80;
constexpr std::uint64_t kPriorityCommitRange = 0x7FFFFF81;
constexpr std::uint64_t kPriorityCommitLength = 17;
constexpr std::uint64_t kCheckByte = 0x7FFFFF92;
constexpr std::uint64_t kReadRange = 0x7FFFFF93;
constexpr std::uint64_t kWriteRange = 0x7FFFFFA7;
constexpr std::uint64_t kDenyReadRange = 0x7FFFFFBB;
constexpr std::uint64_t kDenyWriteRange = 0x7FFFFFCF;
static_assert(kWriteRange == kReadRange + kRangeLength &&
              kDenyWriteRange == kDenyReadRange + kRangeLength);

// A byte another root holds only for a moment (the check byte, the commit byte) is tried again
// this many times, this far apart.
constexpr int kLockAttempts = 50;
constexpr DWORD kLockRetryMilliseconds = 20;
// A single writer waiting for readers looks again this often.
constexpr DWORD kReaderPollMilliseconds = 10;

[[nodiscard]] ULARGE_INTEGER large(std::uint64_t value) {
    ULARGE_INTEGER result;
    result.QuadPart = value;
    return result;
}

// What a root does and denies, from its mode.
struct Intent {
    bool reads = false;
    bool writes = false;
    bool deniesRead = false;
    bool deniesWrite = false;
    bool noSnapshot = false;
    bool priority = false;
    bool holdsNothing = false;
};

[[nodiscard]] Intent intentOf(DWORD mode) {
    Intent intent;
    const DWORD share = shareOf(mode);
    intent.reads = canRead(mode);
    intent.writes = canWrite(mode);
    intent.noSnapshot = (mode & STGM_NOSNAPSHOT) != 0;
    intent.priority = (mode & STGM_PRIORITY) != 0;
    intent.deniesRead = share == STGM_SHARE_DENY_READ || share == STGM_SHARE_EXCLUSIVE;
    // A transacted root without a snapshot reads the file itself: nobody may change it.
    intent.deniesWrite =
        share == STGM_SHARE_DENY_WRITE || share == STGM_SHARE_EXCLUSIVE || intent.noSnapshot;
    intent.holdsNothing = !isTransacted(mode) && !intent.priority &&
                          (mode & STGM_DIRECT_SWMR) == 0 && accessOf(mode) == STGM_READ &&
                          share == STGM_SHARE_DENY_WRITE;
    return intent;
}

// Locks one byte, waiting a little while another root holds it.
[[nodiscard]] HRESULT lockWaiting(ILockBytes* bytes, std::uint64_t offset) {
    HRESULT hr = STG_E_LOCKVIOLATION;
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        hr = bytes->LockRegion(large(offset), large(1), LOCK_EXCLUSIVE);
        if (hr != STG_E_LOCKVIOLATION)
            return hr;
        Sleep(kLockRetryMilliseconds);
    }
    return hr;
}

} // namespace

HRESULT CommitByte::acquire(ComPtr<ILockBytes> bytes) {
    // Lock bytes that say they cannot lock are not asked to.
    STATSTG stat{};
    if (SUCCEEDED(bytes->Stat(&stat, STATFLAG_NONAME)) &&
        (stat.grfLocksSupported & LOCK_EXCLUSIVE) == 0)
        return S_OK;
    const HRESULT hr = lockWaiting(bytes.get(), kCommitByte);
    if (hr == STG_E_LOCKVIOLATION)
        return hr;
    if (SUCCEEDED(hr))
        held_ = std::move(bytes);
    return S_OK;
}

CommitByte::~CommitByte() {
    if (held_)
        (void)held_->UnlockRegion(large(kCommitByte), large(1), LOCK_EXCLUSIVE);
}

HRESULT ShareLocks::acquire(ComPtr<ILockBytes> bytes, DWORD mode,
                            std::unique_ptr<ShareLocks>* locks) {
    locks->reset();
    std::unique_ptr<ShareLocks> created(new (std::nothrow) ShareLocks(std::move(bytes)));
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, created);
    if (intentOf(mode).holdsNothing) {
        // Nothing to take, so nothing another opener could miss: no need for the check byte.
        RETURN_IF_FAILED(created->checkAndHold(mode));
        *locks = std::move(created);
        return S_OK;
    }
    // Checking and taking happen under the check byte, so that two openers cannot both find
    // the other's bytes missing.
    RETURN_IF_FAILED(lockWaiting(created->bytes_.get(), kCheckByte));
    const HRESULT hr = created->checkAndHold(mode);
    created->unlock(kCheckByte, 1);
    RETURN_IF_FAILED(hr);
    *locks = std::move(created);
    return S_OK;
}

ShareLocks::~ShareLocks() {
    releaseWriteAccess();
    for (const std::uint64_t byte : held_)
        unlock(byte, 1);
}

HRESULT ShareLocks::lock(std::uint64_t offset, std::uint64_t count) {
    return bytes_->LockRegion(large(offset), large(count), LOCK_EXCLUSIVE);
}

void ShareLocks::unlock(std::uint64_t offset, std::uint64_t count) {
    (void)bytes_->UnlockRegion(large(offset), large(count), LOCK_EXCLUSIVE);
}

HRESULT ShareLocks::rangeIsFree(std::uint64_t first, std::uint64_t count) {
    if (count == 0)
        return S_OK;
    const HRESULT hr = lock(first, count);
    if (hr == STG_E_LOCKVIOLATION)
        return S_FALSE;
    RETURN_IF_FAILED(hr);
    unlock(first, count);
    return S_OK;
}

HRESULT ShareLocks::pairIsFree(std::uint64_t first, bool checkFirst, bool checkSecond) {
    const std::uint64_t start = checkFirst ? first : first + kRangeLength;
    const std::uint64_t ranges = (checkFirst ? 1 : 0) + (checkSecond ? 1 : 0);
    return rangeIsFree(start, ranges * kRangeLength);
}

HRESULT ShareLocks::holdOneOf(std::uint64_t first, std::uint64_t count, std::uint64_t* byte) {
    for (std::uint64_t offset = first; offset < first + count; ++offset) {
        const HRESULT hr = lock(offset, 1);
        if (hr == STG_E_LOCKVIOLATION)
            continue;
        RETURN_IF_FAILED(hr);
        held_.push_back(offset);
        if (byte)
            *byte = offset;
        return S_OK;
    }
    // As many roots of this kind as the range has bytes are open already.
    return STG_E_LOCKVIOLATION;
}

HRESULT ShareLocks::checkAndHold(DWORD mode) {
    const Intent intent = intentOf(mode);
    if (intent.priority)
        RETURN_HR_IF(STG_E_LOCKVIOLATION, rangeIsFree(kCommitByte, 1) != S_OK);
    // The ranges that must be free, merged where they touch so that each run costs one lock
    // and one unlock: deny-read, deny-write (access), then read, write (what is denied).
    // Every root that writes holds a write handle, so the file's share flags already refuse
    // writers to a root whose share mode denies writing; only a root without snapshot, which
    // shares the file with writers, looks at the write range.
    const bool deniedWriters = intent.deniesWrite && !intent.noSnapshot;
    RETURN_HR_IF(STG_E_SHAREVIOLATION,
                 pairIsFree(kDenyReadRange, intent.reads, intent.writes) != S_OK);
    RETURN_HR_IF(STG_E_LOCKVIOLATION, pairIsFree(kReadRange, intent.deniesRead,
                                                 intent.deniesWrite && !deniedWriters) != S_OK);
    if (intent.holdsNothing)
        return S_OK;
    if (intent.priority) {
        RETURN_IF_FAILED(holdOneOf(kPriorityRange, kRangeLength));
        RETURN_IF_FAILED(holdOneOf(kPriorityCommitRange, kPriorityCommitLength));
    }
    if (intent.noSnapshot)
        RETURN_IF_FAILED(holdOneOf(kNoSnapshotRange, kRangeLength));
    if (intent.reads)
        RETURN_IF_FAILED(holdOneOf(kReadRange, kRangeLength, &readByte_));
    if (intent.writes)
        RETURN_IF_FAILED(holdOneOf(kWriteRange, kRangeLength));
    if (intent.deniesRead)
        RETURN_IF_FAILED(holdOneOf(kDenyReadRange, kRangeLength));
    if (intent.deniesWrite)
        RETURN_IF_FAILED(holdOneOf(kDenyWriteRange, kRangeLength));
    return S_OK;
}

HRESULT ShareLocks::checkNoPriorityReader() {
    const HRESULT hr = rangeIsFree(kPriorityCommitRange, kPriorityCommitLength);
    RETURN_IF_FAILED(hr);
    return hr == S_OK ? S_OK : STG_E_LOCKVIOLATION;
}

HRESULT ShareLocks::otherReadersGone() {
    if (readByte_ == kNoByte)
        return rangeIsFree(kReadRange, kRangeLength);
    const HRESULT before = rangeIsFree(kReadRange, readByte_ - kReadRange);
    if (before != S_OK)
        return before;
    return rangeIsFree(readByte_ + 1, kReadRange + kRangeLength - readByte_ - 1);
}

HRESULT ShareLocks::takeWriteAccess(DWORD timeoutMs) {
    if (hasWriteAccess())
        return S_OK;
    std::uint64_t byte = kNoByte;
    for (std::uint64_t offset = kDenyReadRange; offset < kDenyReadRange + kRangeLength; ++offset) {
        if (SUCCEEDED(lock(offset, 1))) {
            byte = offset;
            break;
        }
    }
    RETURN_HR_IF(STG_E_LOCKVIOLATION, byte == kNoByte);
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const HRESULT gone = otherReadersGone();
        if (gone == S_OK) {
            writeAccessByte_ = byte;
            return S_OK;
        }
        const ULONGLONG waited = GetTickCount64() - start;
        if (FAILED(gone) || (timeoutMs != INFINITE && waited >= timeoutMs)) {
            unlock(byte, 1);
            return FAILED(gone) ? gone : STG_E_INUSE;
        }
        Sleep(kReaderPollMilliseconds);
    }
}

void ShareLocks::releaseWriteAccess() {
    if (!hasWriteAccess())
        return;
    unlock(writeAccessByte_, 1);
    writeAccessByte_ = kNoByte;
}

} // namespace provider
