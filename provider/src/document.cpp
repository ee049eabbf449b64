#include "document.h"

#include "results.h"

#include <cfb/names.h>

#include <algorithm>

namespace provider {
namespace {

constexpr std::size_t kHeaderSize = 512;

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

bool Scope::isWithin(const Scope& ancestor) const {
    for (const Scope* scope = this; scope; scope = scope->parent_.get())
        if (scope == &ancestor)
            return true;
    return false;
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

HRESULT Document::checkChangeAllowed() const {
    RETURN_HR_IF(STG_E_ACCESSDENIED, requiresWriteAccess_ && !(locks_ && locks_->hasWriteAccess()));
    return S_OK;
}

HRESULT Document::beginChange() {
    RETURN_IF_FAILED(checkChangeAllowed());
    ++dataVersion_;
    return S_OK;
}

HRESULT Document::commit() {
    std::lock_guard lock(mutex);
    RETURN_HR_IF(STG_E_REVERTED, closed_);
    RETURN_IF_FAILED(writeBufferedChanges());
    if (guarded_ || (locks_ && !commitsOnChange_))
        return commitShared();
    return commitFile();
}

HRESULT Document::commitFile() {
    RETURN_IF_ENGINE_FAILED(file_->commit());
    if (bytes_ && bytes_->staging())
        RETURN_IF_FAILED(bytes_->publish());
    return S_OK;
}

HRESULT Document::revert() {
    std::lock_guard lock(mutex);
    RETURN_HR_IF(STG_E_REVERTED, closed_);
    if (bytes_ && bytes_->isSnapshot())
        return revertToNewSnapshot();
    if (bytes_)
        bytes_->dropCache();
    RETURN_IF_ENGINE_FAILED(file_->revert());
    if (guarded_)
        RETURN_IF_FAILED(readHeader(&knownHeader_));
    return S_OK;
}

HRESULT Document::revertToNewSnapshot() {
    // The file as the last commit of any root left it, taken as for an open.
    const ComPtr<ILockBytes> lockBytes = bytes_->lockBytes();
    RETURN_HR_IF(STG_E_REVERTED, !lockBytes);
    CommitByte commitByte;
    RETURN_IF_FAILED(commitByte.acquire(lockBytes));
    RETURN_IF_FAILED(bytes_->takeSnapshot());
    RETURN_IF_ENGINE_FAILED(file_->revert());
    if (guarded_)
        RETURN_IF_FAILED(snapshotHeader(&knownHeader_));
    return S_OK;
}

HRESULT Document::snapshotHeader(std::vector<std::uint8_t>* header) {
    header->assign(kHeaderSize, 0);
    std::size_t read = 0;
    RETURN_IF_ENGINE_FAILED(bytes_->readAt(0, header->data(), kHeaderSize, &read));
    header->resize(read);
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
    // A snapshot knows the commit it was taken from; the file may have moved on since.
    return bytes_->isSnapshot() ? snapshotHeader(&knownHeader_) : readHeader(&knownHeader_);
}

HRESULT Document::commitShared() {
    const ComPtr<ILockBytes> lockBytes = bytes_->lockBytes();
    RETURN_HR_IF(STG_E_REVERTED, !lockBytes);
    CommitByte commitByte;
    RETURN_IF_FAILED(commitByte.acquire(lockBytes));
    if (locks_)
        RETURN_IF_FAILED(locks_->checkNoPriorityReader());
    if (guarded_) {
        std::vector<std::uint8_t> header;
        RETURN_IF_FAILED(readHeader(&header));
        RETURN_HR_IF(STG_E_NOTCURRENT, header != knownHeader_);
    }
    RETURN_IF_FAILED(commitFile());
    if (guarded_)
        RETURN_IF_FAILED(readHeader(&knownHeader_));
    return S_OK;
}

void Document::close() {
    std::lock_guard lock(mutex);
    closed_ = true;
    locks_.reset();
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
