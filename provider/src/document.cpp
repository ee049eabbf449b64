#include "document.h"

#include "results.h"

#include <cfb/names.h>

#include <algorithm>

namespace provider {

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
    RETURN_IF_ENGINE_FAILED(file_->commit());
    return S_OK;
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
