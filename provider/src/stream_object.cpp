// IStream over the engine's streams.
#include "modes.h"
#include "element_objects.h"
#include "results.h"

#include <support/task_memory.h>

#include <cfb/names.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace provider {
namespace {

constexpr DWORD kCommitFlags = STGC_OVERWRITE | STGC_ONLYIFCURRENT |
                               STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE | STGC_CONSOLIDATE;
// Copies to streams of other implementations go through a buffer of this size.
constexpr std::size_t kForeignCopyBuffer = 1u << 20;
// Reads smaller than this are served from a block read ahead of them: kFirstReadAhead at
// first, twice as much each time the reads go on where the block ended, up to kReadAheadSize.
constexpr std::size_t kSmallRead = 16u << 10;
constexpr std::size_t kFirstReadAhead = 4u << 10;
constexpr std::size_t kReadAheadSize = 256u << 10;

} // namespace

StreamObject::StreamObject(std::shared_ptr<Document> document, engine::cfb::Stream stream,
                           std::shared_ptr<Scope> parentScope, DWORD mode,
                           std::shared_ptr<OpenElements::Registration> registration)
    : document_(std::move(document)), stream_(std::move(stream)),
      parentScope_(std::move(parentScope)), scope_(Scope::makeChild(parentScope_)), mode_(mode),
      registration_(std::move(registration)) {}

StreamObject::~StreamObject() = default;

HRESULT StreamObject::create(std::shared_ptr<Document> document, engine::cfb::Stream stream,
                             const std::shared_ptr<Scope>& parentScope, DWORD mode,
                             std::shared_ptr<OpenElements::Registration> registration,
                             IStream** result) {
    *result = nullptr;
    auto* object = new (std::nothrow) StreamObject(std::move(document), std::move(stream),
                                                   parentScope, mode, std::move(registration));
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, object);
    *result = object;
    return S_OK;
}

// Like ole32's compound-file streams, no ISequentialStream of its own: Read and Write come
// with IStream.
void* StreamObject::otherInterface(REFIID riid) {
    return riid == kIid ? this : nullptr;
}

void StreamObject::finalRelease() {
    std::lock_guard lock(document_->mutex);
    scope_->end();
    registration_.reset();
}

HRESULT StreamObject::checkUsable() const {
    RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
    return S_OK;
}

HRESULT StreamObject::Read(void* buffer, ULONG count, ULONG* read) {
    if (read)
        *read = 0;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, buffer);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canRead(mode_));
    std::size_t got = 0;
    if (count >= kSmallRead) {
        RETURN_IF_ENGINE_FAILED(stream_.read(buffer, count, &got));
    } else {
        std::uint64_t position = 0;
        RETURN_IF_ENGINE_FAILED(stream_.seek(0, engine::cfb::SeekOrigin::current, &position));
        const bool current = readAheadVersion_ == document_->dataVersion() &&
                             position >= readAheadOffset_ &&
                             position + count <= readAheadOffset_ + readAhead_.size();
        if (!current) {
            const bool sequential = readAheadVersion_ == document_->dataVersion() &&
                                    position == readAheadOffset_ + readAhead_.size();
            readAheadSize_ =
                sequential ? std::min(readAheadSize_ * 2, kReadAheadSize) : kFirstReadAhead;
            // No more than the stream holds: a block of zeros to fill costs more than the read.
            std::uint64_t size = 0;
            RETURN_IF_ENGINE_FAILED(stream_.size(&size));
            readAhead_.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(std::max(readAheadSize_, std::size_t{count}),
                                        size > position ? size - position : 0)));
            std::size_t filled = 0;
            RETURN_IF_ENGINE_FAILED(
                stream_.readAt(position, readAhead_.data(), readAhead_.size(), &filled));
            readAhead_.resize(filled);
            readAheadOffset_ = position;
            readAheadVersion_ = document_->dataVersion();
        }
        const std::uint64_t available = readAheadOffset_ + readAhead_.size() - position;
        got = static_cast<std::size_t>(std::min<std::uint64_t>(count, available));
        if (got > 0)
            std::memcpy(buffer, readAhead_.data() + (position - readAheadOffset_), got);
        RETURN_IF_ENGINE_FAILED(stream_.seek(static_cast<std::int64_t>(got),
                                             engine::cfb::SeekOrigin::current, nullptr));
    }
    if (read)
        *read = static_cast<ULONG>(got);
    return S_OK;
}

HRESULT StreamObject::Write(const void* buffer, ULONG count, ULONG* written) {
    if (written)
        *written = 0;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, buffer);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canWrite(mode_));
    RETURN_IF_FAILED(document_->beginChange());
    std::size_t put = 0;
    RETURN_IF_ENGINE_FAILED(stream_.write(buffer, count, &put));
    if (written)
        *written = static_cast<ULONG>(put);
    return S_OK;
}

HRESULT StreamObject::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    if (position)
        position->QuadPart = 0;
    RETURN_HR_IF(STG_E_INVALIDFUNCTION, origin != STREAM_SEEK_SET && origin != STREAM_SEEK_CUR &&
                                            origin != STREAM_SEEK_END);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    const engine::cfb::SeekOrigin from = origin == STREAM_SEEK_SET ? engine::cfb::SeekOrigin::begin
                                         : origin == STREAM_SEEK_CUR
                                             ? engine::cfb::SeekOrigin::current
                                             : engine::cfb::SeekOrigin::end;
    std::uint64_t at = 0;
    RETURN_IF_ENGINE_FAILED(stream_.seek(move.QuadPart, from, &at));
    if (position)
        position->QuadPart = at;
    return S_OK;
}

HRESULT StreamObject::SetSize(ULARGE_INTEGER size) {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canWrite(mode_));
    RETURN_IF_FAILED(document_->beginChange());
    RETURN_IF_ENGINE_FAILED(stream_.setSize(size.QuadPart));
    return S_OK;
}

HRESULT StreamObject::copyToForeign(IStream* destination, std::uint64_t count, std::uint64_t* read,
                                    std::uint64_t* written) {
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, kForeignCopyBuffer)));
    while (*read < count) {
        const auto chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - *read, buffer.size()));
        std::size_t got = 0;
        {
            std::lock_guard lock(document_->mutex);
            RETURN_IF_FAILED(checkUsable());
            RETURN_IF_ENGINE_FAILED(stream_.read(buffer.data(), chunk, &got));
        }
        if (got == 0)
            break;
        *read += got;
        ULONG put = 0;
        RETURN_IF_FAILED(destination->Write(buffer.data(), static_cast<ULONG>(got), &put));
        *written += put;
    }
    return S_OK;
}

HRESULT StreamObject::CopyTo(IStream* destination, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                             ULARGE_INTEGER* written) {
    if (read)
        read->QuadPart = 0;
    if (written)
        written->QuadPart = 0;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, destination);
    std::uint64_t done = 0;
    std::uint64_t put = 0;
    const ComPtr<StreamObject> target = providerObject<StreamObject>(destination);
    HRESULT hr = S_OK;
    if (!target) {
        {
            std::lock_guard lock(document_->mutex);
            RETURN_IF_FAILED(checkUsable());
            RETURN_HR_IF(STG_E_ACCESSDENIED, !canRead(mode_));
        }
        hr = copyToForeign(destination, count.QuadPart, &done, &put);
    } else {
        std::unique_lock first(document_->mutex, std::defer_lock);
        std::unique_lock second(target->document_->mutex, std::defer_lock);
        if (document_ == target->document_)
            first.lock();
        else
            std::lock(first, second);
        RETURN_IF_FAILED(checkUsable());
        RETURN_IF_FAILED(target->checkUsable());
        RETURN_HR_IF(STG_E_ACCESSDENIED, !canRead(mode_) || !canWrite(target->mode_));
        RETURN_IF_FAILED(target->document_->beginChange());
        hr = hresultOf(stream_.copyTo(target->stream_, count.QuadPart, &done, &put));
    }
    if (read)
        read->QuadPart = done;
    if (written)
        written->QuadPart = put;
    return hr;
}

HRESULT StreamObject::Commit(DWORD flags) {
    RETURN_HR_IF(STG_E_INVALIDFLAG, (flags & ~kCommitFlags) != 0);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    // Streams have no transactions of their own; in a direct-mode file, committing a stream
    // makes the file's changes durable.
    if (canWrite(mode_) && document_->commitsOnChange())
        return document_->commit();
    return S_OK;
}

HRESULT StreamObject::Revert() {
    std::lock_guard lock(document_->mutex);
    return checkUsable();
}

HRESULT StreamObject::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    return STG_E_INVALIDFUNCTION;
}

HRESULT StreamObject::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    return STG_E_INVALIDFUNCTION;
}

HRESULT StreamObject::Stat(STATSTG* stat, DWORD flags) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stat);
    *stat = STATSTG{};
    RETURN_HR_IF(STG_E_INVALIDFLAG, flags != STATFLAG_DEFAULT && flags != STATFLAG_NONAME);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    engine::cfb::ElementStat element;
    RETURN_IF_ENGINE_FAILED(stream_.stat(&element));
    RETURN_IF_FAILED(fillStatStg(element, flags, stat));
    stat->grfMode = mode_;
    return S_OK;
}

HRESULT StreamObject::Clone(IStream** clone) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, clone);
    *clone = nullptr;
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    return create(document_, stream_, parentScope_, mode_, registration_, clone);
}

// ---- IEnumSTATSTG -----------------------------------------------------------------------

HRESULT ElementEnumerator::create(std::shared_ptr<Document> document, engine::cfb::Storage storage,
                                  const std::shared_ptr<Scope>& parentScope,
                                  IEnumSTATSTG** result) {
    *result = nullptr;
    auto* enumerator = new (std::nothrow) ElementEnumerator();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, enumerator);
    enumerator->document_ = std::move(document);
    enumerator->storage_ = std::move(storage);
    enumerator->parentScope_ = parentScope;
    enumerator->scope_ = Scope::makeChild(parentScope);
    *result = enumerator;
    return S_OK;
}

HRESULT ElementEnumerator::checkUsable() const {
    RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
    return S_OK;
}

HRESULT ElementEnumerator::nextElements(ULONG count, std::vector<engine::cfb::ElementStat>* next) {
    next->clear();
    std::vector<engine::cfb::ElementStat> children;
    RETURN_IF_ENGINE_FAILED(storage_.list(&children));
    const auto byName = [](const engine::cfb::ElementStat& left,
                           const engine::cfb::ElementStat& right) {
        return engine::cfb::compareNames(left.name, right.name) < 0;
    };
    std::sort(children.begin(), children.end(), byName);
    auto first = children.begin();
    if (lastName_)
        first = std::find_if(children.begin(), children.end(), [&](const auto& child) {
            return engine::cfb::compareNames(child.name, *lastName_) > 0;
        });
    const std::size_t left = static_cast<std::size_t>(children.end() - first);
    next->assign(first, first + static_cast<std::ptrdiff_t>(std::min<std::size_t>(left, count)));
    return S_OK;
}

HRESULT ElementEnumerator::Next(ULONG count, STATSTG* elements, ULONG* fetched) {
    if (fetched)
        *fetched = 0;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, elements);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, fetched == nullptr && count != 1);
    // Entries left unfilled read as zeros, so that a caller may free every name.
    std::fill_n(elements, count, STATSTG{});
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    std::vector<engine::cfb::ElementStat> next;
    RETURN_IF_FAILED(nextElements(count, &next));
    // Names are handed out only once every one of them was copied.
    std::vector<support::UniqueTaskString> names(next.size());
    for (std::size_t index = 0; index < next.size(); ++index) {
        names[index] = support::copyToTaskMemory(next[index].name);
        RETURN_HR_IF(STG_E_INSUFFICIENTMEMORY, !names[index]);
    }
    for (std::size_t index = 0; index < next.size(); ++index)
        RETURN_IF_FAILED(fillStatStg(next[index], STATFLAG_NONAME, &elements[index]));
    for (std::size_t index = 0; index < next.size(); ++index)
        elements[index].pwcsName = names[index].release();
    if (!next.empty())
        lastName_ = next.back().name;
    const auto done = static_cast<ULONG>(next.size());
    if (fetched)
        *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT ElementEnumerator::Skip(ULONG count) {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    std::vector<engine::cfb::ElementStat> next;
    RETURN_IF_FAILED(nextElements(count, &next));
    if (!next.empty())
        lastName_ = next.back().name;
    return next.size() == count ? S_OK : S_FALSE;
}

HRESULT ElementEnumerator::Reset() {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    lastName_.reset();
    return S_OK;
}

HRESULT ElementEnumerator::Clone(IEnumSTATSTG** clone) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, clone);
    *clone = nullptr;
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    auto* copy = new (std::nothrow) ElementEnumerator();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, copy);
    copy->document_ = document_;
    copy->storage_ = storage_;
    copy->parentScope_ = parentScope_;
    copy->scope_ = Scope::makeChild(parentScope_);
    copy->lastName_ = lastName_;
    *clone = copy;
    return S_OK;
}

} // namespace provider
