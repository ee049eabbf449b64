#include "document.h"

#include "results.h"

#include <cfb/names.h>

#include <algorithm>

namespace provider {
namespace {

constexpr std::size_t kHeaderSize = 512;
// Commits of transacted writers lock this byte, far past any data of a version 3 file.
constexpr std::uint64_t kCommitLockOffset = 0x7FFFFF00;
constexpr int kCommitLockAttempts = 50;
constexpr DWORD kCommitLockRetryMilliseconds = 20;

} // namespace

// ---- Scope ------------------------------------------------------------------------------

std::shared_ptr<Scope> Scope::makeRoot() {
    return std::make_shared<Scope>();
}

std::shared_ptr<Scope> Scope::makeChild(const std::shared_ptr<Scope>& parent) {
    auto scope = std::make_shared<Scope>();
    scope->parent_ = parent;
    scope->parentEpoch_ = parent->epoch_;
    return scope;
}

bool Scope::valid() const {
    const Scope* child = this;
    if (!child->alive_)
        return false;
    for (const Scope* parent = parent_.get(); parent; parent = parent->parent_.get()) {
        if (!parent->alive_ || parent->epoch_ != child->parentEpoch_)
            return false;
        child = parent;
    }
    return true;
}

// ---- Document ---------------------------------------------------------------------------

Document::Document(std::shared_ptr<LockBytesByteArray> bytes,
                   std::unique_ptr<engine::cfb::CompoundFile> file, bool commitsOnChange)
    : bytes_(std::move(bytes)), file_(std::move(file)), commitsOnChange_(commitsOnChange) {}

void Document::addBuffered(BufferedChanges* changes) {
    std::lock_guard lock(mutex);
    buffered_.push_back(changes);
}

void Document::removeBuffered(BufferedChanges* changes) {
    std::lock_guard lock(mutex);
    buffered_.erase(std::remove(buffered_.begin(), buffered_.end(), changes), buffered_.end());
}

HRESULT Document::writeBufferedChanges() {
    std::lock_guard lock(mutex);
    const std::vector<BufferedChanges*> pending = buffered_;
    for (BufferedChanges* changes : pending)
        RETURN_IF_FAILED(changes->writeBufferedChanges());
    return S_OK;
}

HRESULT Document::commit() {
    std::lock_guard lock(mutex);
    RETURN_HR_IF(STG_E_REVERTED, closed_);
    RETURN_IF_FAILED(writeBufferedChanges());
    if (guarded_)
        return commitGuarded();
    RETURN_IF_ENGINE_FAILED(file_->commit());
    return S_OK;
}

HRESULT Document::revert() {
    std::lock_guard lock(mutex);
    RETURN_HR_IF(STG_E_REVERTED, closed_);
    if (bytes_)
        bytes_->dropCache();
    RETURN_IF_ENGINE_FAILED(file_->revert());
    if (guarded_)
        RETURN_IF_FAILED(readHeader(&knownHeader_));
    return S_OK;
}

HRESULT Document::readHeader(std::vector<std::uint8_t>* header) {
    // From the file itself, never from a cache: this looks for other writers' commits.
    const ComPtr<ILockBytes> lockBytes = bytes_->lockBytes();
    RETURN_HR_IF(STG_E_REVERTED, !lockBytes);
    header->assign(kHeaderSize, 0);
    ULONG read = 0;
    ULARGE_INTEGER start{};
    RETURN_IF_FAILED(lockBytes->ReadAt(start, header->data(), kHeaderSize, &read));
    header->resize(read);
    return S_OK;
}

HRESULT Document::guardAgainstOtherWriters() {
    std::lock_guard lock(mutex);
    guarded_ = true;
    return readHeader(&knownHeader_);
}

HRESULT Document::commitGuarded() {
    const ComPtr<ILockBytes> lockBytes = bytes_->lockBytes();
    RETURN_HR_IF(STG_E_REVERTED, !lockBytes);
    ULARGE_INTEGER offset;
    offset.QuadPart = kCommitLockOffset;
    ULARGE_INTEGER length;
    length.QuadPart = 1;
    HRESULT locked = STG_E_LOCKVIOLATION;
    for (int attempt = 0; attempt < kCommitLockAttempts; ++attempt) {
        locked = lockBytes->LockRegion(offset, length, LOCK_EXCLUSIVE);
        if (locked != STG_E_LOCKVIOLATION)
            break;
        Sleep(kCommitLockRetryMilliseconds);
    }
    // Lock bytes that cannot lock (memory) have no other writers to fear.
    RETURN_HR_IF(locked, locked == STG_E_LOCKVIOLATION);
    const bool holdsLock = SUCCEEDED(locked);
    auto unlock = [&] {
        if (holdsLock)
            (void)lockBytes->UnlockRegion(offset, length, LOCK_EXCLUSIVE);
    };
    std::vector<std::uint8_t> header;
    HRESULT hr = readHeader(&header);
    if (SUCCEEDED(hr) && header != knownHeader_)
        hr = STG_E_NOTCURRENT;
    if (SUCCEEDED(hr))
        hr = hresultOf(file_->commit());
    if (SUCCEEDED(hr))
        hr = readHeader(&knownHeader_);
    unlock();
    return hr;
}

void Document::close() {
    std::lock_guard lock(mutex);
    closed_ = true;
    if (bytes_)
        bytes_->detach();
}

// ---- OpenElements -----------------------------------------------------------------------

std::u16string elementKey(std::u16string_view name) {
    return engine::cfb::foldName(name);
}

std::shared_ptr<OpenElements::Registration>
OpenElements::add(const std::shared_ptr<OpenElements>& set, const std::u16string& key) {
    std::lock_guard lock(set->mutex_);
    if (set->open_.count(key) != 0)
        return nullptr;
    const std::uint64_t token = set->nextToken_++;
    set->open_.emplace(key, token);
    return std::make_shared<Registration>(set, key, token);
}

bool OpenElements::contains(const std::u16string& key) {
    std::lock_guard lock(mutex_);
    return open_.count(key) != 0;
}

void OpenElements::forget(const std::u16string& key) {
    std::lock_guard lock(mutex_);
    open_.erase(key);
}

OpenElements::Registration::~Registration() {
    std::lock_guard lock(set_->mutex_);
    const auto it = set_->open_.find(key_);
    if (it != set_->open_.end() && it->second == token_)
        set_->open_.erase(it);
}

} // namespace provider
