// IPropertyStorage over one section of a simple property-set stream.
#include "property_storage.h"

#include "modes.h"
#include "element_objects.h"
#include "property_conversion.h"
#include "results.h"

#include <support/task_memory.h>

#include <propset/constants.h>

#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <optional>

namespace provider {
namespace {

namespace ps = engine::propset;

constexpr DWORD kCommitFlags = STGC_OVERWRITE | STGC_ONLYIFCURRENT |
                               STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE | STGC_CONSOLIDATE;

[[nodiscard]] bool isNormalId(PROPID id) {
    return id >= ps::kFirstNormalPropertyId && id <= ps::kLastNormalPropertyId;
}

[[nodiscard]] bool isEmptySet(const ps::Section& section) {
    return section.properties.empty() && section.names.empty();
}

// A PROPSPEC resolved to an identifier; nullopt for a name the set does not have.
[[nodiscard]] HRESULT resolve(const ps::Section& section, const PROPSPEC& selector,
                              std::optional<PROPID>* id) {
    id->reset();
    if (selector.ulKind == PRSPEC_PROPID) {
        *id = selector.propid;
        return S_OK;
    }
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, selector.ulKind != PRSPEC_LPWSTR);
    RETURN_HR_IF_NULL(STG_E_INVALIDPARAMETER, selector.lpwstr);
    *id = section.findName(asUtf16(selector.lpwstr));
    return S_OK;
}

// The special properties that ReadMultiple reports from the section's fields.
[[nodiscard]] std::optional<ps::Value> specialValue(const ps::Section& section, PROPID id) {
    switch (id) {
    case ps::kCodePagePropertyId:
        return ps::Value::i2(static_cast<std::int16_t>(section.codePage));
    case ps::kLocalePropertyId:
        if (section.locale)
            return ps::Value::ui4(*section.locale);
        return std::nullopt;
    case ps::kBehaviorPropertyId:
        if (section.caseSensitive)
            return ps::Value::ui4(ps::kBehaviorCaseSensitive);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

struct PropertyEntry {
    std::optional<std::u16string> name;
    PROPID id;
    VARTYPE type;
};

class PropertyEnumerator final : public support::ComObject<PropertyEnumerator, IEnumSTATPROPSTG> {
public:
    PropertyEnumerator(std::shared_ptr<Document> document, std::shared_ptr<Scope> scope,
                       std::vector<PropertyEntry> entries)
        : document_(std::move(document)), scope_(std::move(scope)), entries_(std::move(entries)) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, STATPROPSTG* items, ULONG* fetched) override {
        if (fetched)
            *fetched = 0;
        RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, items);
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, fetched == nullptr && count != 1);
        RETURN_IF_FAILED(checkUsable());
        const std::size_t done = std::min<std::size_t>(count, entries_.size() - position_);
        std::vector<support::UniqueTaskString> names(done);
        for (std::size_t index = 0; index < done; ++index) {
            const PropertyEntry& entry = entries_[position_ + index];
            if (!entry.name)
                continue;
            names[index] = support::copyToTaskMemory(*entry.name);
            RETURN_HR_IF(STG_E_INSUFFICIENTMEMORY, !names[index]);
        }
        for (std::size_t index = 0; index < done; ++index) {
            const PropertyEntry& entry = entries_[position_ + index];
            items[index].lpwstrName = names[index].release();
            items[index].propid = entry.id;
            items[index].vt = entry.type;
        }
        position_ += done;
        if (fetched)
            *fetched = static_cast<ULONG>(done);
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        RETURN_IF_FAILED(checkUsable());
        const std::size_t left = entries_.size() - position_;
        position_ += std::min<std::size_t>(left, count);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        RETURN_IF_FAILED(checkUsable());
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATPROPSTG** clone) override {
        RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, clone);
        *clone = nullptr;
        RETURN_IF_FAILED(checkUsable());
        auto* copy = new (std::nothrow) PropertyEnumerator(document_, scope_, entries_);
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, copy);
        copy->position_ = position_;
        *clone = copy;
        return S_OK;
    }

private:
    [[nodiscard]] HRESULT checkUsable() const {
        RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
        return S_OK;
    }

    std::shared_ptr<Document> document_;
    std::shared_ptr<Scope> scope_;
    std::vector<PropertyEntry> entries_;
    std::size_t position_ = 0;
};

} // namespace

// ---- helpers ----------------------------------------------------------------------------

ps::Guid toEngineGuid(const GUID& guid) {
    ps::Guid result;
    std::memcpy(result.bytes.data(), &guid, sizeof(GUID));
    return result;
}

GUID toGuid(const ps::Guid& guid) {
    GUID result;
    std::memcpy(&result, guid.bytes.data(), sizeof(GUID));
    return result;
}

DWORD flagsOf(const ps::Section& section) {
    DWORD flags = 0;
    if (section.codePage != ps::kCodePageUnicode)
        flags |= PROPSETFLAG_ANSI;
    if (section.caseSensitive)
        flags |= PROPSETFLAG_CASE_SENSITIVE;
    return flags;
}

HRESULT readPropertySet(engine::cfb::Storage& storage, std::u16string_view name,
                        ps::PropertySet* set) {
    *set = ps::PropertySet{};
    engine::cfb::Stream stream;
    RETURN_IF_ENGINE_FAILED(storage.openStream(name, &stream));
    std::uint64_t size = 0;
    RETURN_IF_ENGINE_FAILED(stream.size(&size));
    RETURN_HR_IF(STG_E_INVALIDHEADER, size > ps::kMaxPropertySetStreamSize * 16);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t read = 0;
    RETURN_IF_ENGINE_FAILED(stream.readAt(0, bytes.data(), bytes.size(), &read));
    // The codec also reads the sets of writers that leave out the padding of the last value.
    return hresultOf(ps::parsePropertySet(bytes, *set, windowsCodePages()));
}

HRESULT writePropertySet(Document& document, engine::cfb::Storage& storage,
                         std::u16string_view name, const ps::PropertySet& set) {
    RETURN_IF_FAILED(document.beginChange());
    std::vector<std::uint8_t> bytes;
    RETURN_IF_ENGINE_FAILED(ps::writePropertySet(set, bytes, windowsCodePages()));
    engine::cfb::Stream stream;
    if (engine::failed(storage.openStream(name, &stream)))
        RETURN_IF_ENGINE_FAILED(storage.createStream(name, &stream));
    RETURN_IF_ENGINE_FAILED(stream.writeAt(0, bytes.data(), bytes.size()));
    RETURN_IF_ENGINE_FAILED(stream.setSize(bytes.size()));
    return S_OK;
}

// ---- PropertyStorage --------------------------------------------------------------------

PropertyStorage::PropertyStorage(PropertySetPlace place, ps::PropertySet set, DWORD mode,
                                 DWORD flags,
                                 std::shared_ptr<OpenElements::Registration> registration)
    : place_(std::move(place)), scope_(Scope::makeChild(place_.parentScope)), set_(std::move(set)),
      mode_(mode), flags_(flags), registration_(std::move(registration)) {
    GetSystemTimeAsFileTime(&accessTime_);
    place_.document->addBuffered(this);
}

PropertyStorage::~PropertyStorage() {
    place_.document->removeBuffered(this);
}

HRESULT PropertyStorage::create(PropertySetPlace place, ps::PropertySet set, DWORD mode,
                                DWORD flags,
                                std::shared_ptr<OpenElements::Registration> registration,
                                IPropertyStorage** result) {
    *result = nullptr;
    auto* object = new (std::nothrow)
        PropertyStorage(std::move(place), std::move(set), mode, flags, std::move(registration));
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, object);
    *result = object;
    return S_OK;
}

void PropertyStorage::finalRelease() {
    std::lock_guard lock(place_.document->mutex);
    if (dirty_ && !isTransacted(mode_) && SUCCEEDED(checkUsable()))
        (void)writeSet();
    scope_->end();
}

HRESULT PropertyStorage::checkUsable() const {
    RETURN_HR_IF(STG_E_REVERTED, place_.document->closed() || !scope_->valid());
    return S_OK;
}

ps::Section& PropertyStorage::section() {
    return set_.sectionFor(place_.formatId);
}

HRESULT PropertyStorage::writeSet() {
    ps::PropertySet stored = set_;
    if (set_.sections.size() > 1 || place_.formatId == ps::kFormatIdUserDefinedProperties ||
        place_.formatId == ps::kFormatIdDocSummaryInformation) {
        // The other section of the document-summary stream may have changed through its own
        // property storage since this one was opened: take it as the stream has it now.
        ps::PropertySet current;
        if (SUCCEEDED(readPropertySet(place_.storage, place_.streamName, &current))) {
            stored = current;
            stored.classId = set_.classId;
            ps::Section* mine = stored.findSection(place_.formatId);
            if (mine)
                *mine = section();
            else
                stored.sections.push_back(section());
            if (stored.sections.size() == 2 &&
                stored.sections[0].formatId == ps::kFormatIdUserDefinedProperties)
                std::swap(stored.sections[0], stored.sections[1]);
        }
    }
    RETURN_IF_FAILED(writePropertySet(*place_.document, place_.storage, place_.streamName, stored));
    dirty_ = false;
    return S_OK;
}

HRESULT PropertyStorage::writeBufferedChanges() {
    std::lock_guard lock(place_.document->mutex);
    if (!dirty_ || isTransacted(mode_) || FAILED(checkUsable()))
        return S_OK;
    return writeSet();
}

HRESULT PropertyStorage::checkWritable() const {
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canWrite(mode_));
    return place_.document->checkChangeAllowed();
}

HRESULT PropertyStorage::changed() {
    dirty_ = true;
    if ((flags_ & PROPSETFLAG_UNBUFFERED) && !isTransacted(mode_))
        return writeSet();
    return S_OK;
}

HRESULT PropertyStorage::ReadMultiple(ULONG count, const PROPSPEC* selectors, PROPVARIANT* values) {
    if (count == 0)
        return S_FALSE;
    RETURN_HR_IF(E_INVALIDARG, selectors == nullptr || values == nullptr);
    for (ULONG index = 0; index < count; ++index)
        PropVariantInit(&values[index]);
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canRead(mode_));
    const ps::Section& current = section();
    // Handed to the caller only when every value converted.
    std::vector<support::UniquePropVariant> read(count);
    bool found = false;
    for (ULONG index = 0; index < count; ++index) {
        std::optional<PROPID> id;
        RETURN_IF_FAILED(resolve(current, selectors[index], &id));
        std::optional<ps::Value> special;
        const ps::Value* value = nullptr;
        if (id) {
            special = specialValue(current, *id);
            value = special ? &*special : current.find(*id);
        }
        if (value)
            RETURN_IF_FAILED(propVariantFromValue(*value, current.codePage, read[index].put()));
        found |= value != nullptr;
    }
    for (ULONG index = 0; index < count; ++index)
        values[index] = read[index].release();
    return found ? S_OK : S_FALSE;
}

HRESULT PropertyStorage::WriteMultiple(ULONG count, const PROPSPEC* selectors,
                                       const PROPVARIANT* values, PROPID firstNamedId) {
    if (count == 0)
        return S_OK;
    RETURN_HR_IF(E_INVALIDARG, selectors == nullptr || values == nullptr);
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    // Check and convert everything first, so that a refused property leaves the set as it
    // was without copying the set for every call.
    struct Change {
        std::optional<PROPID> id; // empty: a new name, given an identifier when applied
        ps::Value value;
    };
    ps::Section& current = section();
    std::vector<Change> changes(count);
    for (ULONG index = 0; index < count; ++index) {
        Change& change = changes[index];
        RETURN_IF_FAILED(resolve(current, selectors[index], &change.id));
        if (!change.id)
            RETURN_HR_IF(STG_E_INVALIDPARAMETER, !isNormalId(firstNamedId));
        else if (*change.id == PID_ILLEGAL)
            continue;
        RETURN_IF_FAILED(valueFromPropVariant(values[index], current.codePage, &change.value));
        if (!change.id)
            continue;
        if (*change.id == ps::kCodePagePropertyId)
            RETURN_HR_IF(STG_E_INVALIDPARAMETER,
                         !isEmptySet(current) || change.value.type() != VT_I2);
        else if (*change.id == ps::kLocalePropertyId)
            RETURN_HR_IF(STG_E_INVALIDPARAMETER,
                         !isEmptySet(current) || change.value.type() != VT_UI4);
        else
            RETURN_HR_IF(STG_E_INVALIDPARAMETER, !isNormalId(*change.id));
    }
    for (ULONG index = 0; index < count; ++index) {
        Change& change = changes[index];
        if (!change.id) {
            const std::u16string name(asUtf16(selectors[index].lpwstr));
            change.id = current.findName(name); // named twice in one call
            if (!change.id) {
                change.id = current.firstUnusedId(firstNamedId);
                RETURN_HR_IF(STG_E_INSUFFICIENTMEMORY, !change.id);
                RETURN_IF_ENGINE_FAILED(current.setName(*change.id, name));
            }
        }
        if (*change.id == PID_ILLEGAL)
            continue;
        if (*change.id == ps::kCodePagePropertyId)
            current.codePage = static_cast<ps::CodePage>(change.value.asSigned());
        else if (*change.id == ps::kLocalePropertyId)
            current.locale = static_cast<std::uint32_t>(change.value.asUnsigned());
        else if (change.value.type() == VT_EMPTY)
            current.properties.erase(*change.id); // an empty value is nothing to store
        else
            current.properties[*change.id] = std::move(change.value);
    }
    return changed();
}

HRESULT PropertyStorage::DeleteMultiple(ULONG count, const PROPSPEC* selectors) {
    if (count == 0)
        return S_OK;
    RETURN_HR_IF_NULL(E_INVALIDARG, selectors);
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    ps::Section updated = section();
    for (ULONG index = 0; index < count; ++index) {
        std::optional<PROPID> id;
        RETURN_IF_FAILED(resolve(updated, selectors[index], &id));
        if (!id || *id == PID_ILLEGAL)
            continue;
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, !isNormalId(*id));
        updated.properties.erase(*id);
    }
    section() = std::move(updated);
    return changed();
}

HRESULT PropertyStorage::ReadPropertyNames(ULONG count, const PROPID* ids, LPOLESTR* names) {
    if (count == 0)
        return S_FALSE;
    RETURN_HR_IF(E_INVALIDARG, ids == nullptr || names == nullptr);
    for (ULONG index = 0; index < count; ++index)
        names[index] = nullptr;
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canRead(mode_));
    const ps::Section& current = section();
    std::vector<support::UniqueTaskString> copies(count);
    bool found = false;
    for (ULONG index = 0; index < count; ++index) {
        const auto name = current.names.find(ids[index]);
        if (name == current.names.end())
            continue;
        copies[index] = support::copyToTaskMemory(name->second);
        RETURN_HR_IF(STG_E_INSUFFICIENTMEMORY, !copies[index]);
        found = true;
    }
    for (ULONG index = 0; index < count; ++index)
        names[index] = copies[index].release();
    return found ? S_OK : S_FALSE;
}

HRESULT PropertyStorage::WritePropertyNames(ULONG count, const PROPID* ids, const LPOLESTR* names) {
    if (count == 0)
        return S_OK;
    RETURN_HR_IF(E_INVALIDARG, ids == nullptr || names == nullptr);
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    ps::Section updated = section();
    for (ULONG index = 0; index < count; ++index) {
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, !isNormalId(ids[index]) || names[index] == nullptr);
        RETURN_IF_ENGINE_FAILED(updated.setName(ids[index], std::u16string(asUtf16(names[index]))));
    }
    section() = std::move(updated);
    return changed();
}

HRESULT PropertyStorage::DeletePropertyNames(ULONG count, const PROPID* ids) {
    if (count == 0)
        return S_OK;
    RETURN_HR_IF_NULL(E_INVALIDARG, ids);
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    ps::Section updated = section();
    for (ULONG index = 0; index < count; ++index) {
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, !isNormalId(ids[index]));
        updated.names.erase(ids[index]);
    }
    section() = std::move(updated);
    return changed();
}

HRESULT PropertyStorage::Commit(DWORD flags) {
    RETURN_HR_IF(STG_E_INVALIDFLAG, (flags & ~kCommitFlags) != 0);
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    if (!dirty_ || !canWrite(mode_))
        return S_OK;
    return writeSet();
}

HRESULT PropertyStorage::Revert() {
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    if (!isTransacted(mode_) || !dirty_)
        return S_OK;
    ps::PropertySet stored;
    RETURN_IF_FAILED(readPropertySet(place_.storage, place_.streamName, &stored));
    RETURN_HR_IF(STG_E_REVERTED, stored.findSection(place_.formatId) == nullptr);
    set_ = std::move(stored);
    dirty_ = false;
    return S_OK;
}

HRESULT PropertyStorage::Enum(IEnumSTATPROPSTG** enumerator) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, enumerator);
    *enumerator = nullptr;
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    const ps::Section& current = section();
    std::vector<PropertyEntry> entries;
    entries.reserve(current.properties.size());
    for (const auto& [id, value] : current.properties) {
        PropertyEntry entry{std::nullopt, id, value.type()};
        if (const auto name = current.names.find(id); name != current.names.end())
            entry.name = name->second;
        entries.push_back(std::move(entry));
    }
    auto* object = new (std::nothrow)
        PropertyEnumerator(place_.document, Scope::makeChild(scope_), std::move(entries));
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, object);
    *enumerator = object;
    return S_OK;
}

HRESULT PropertyStorage::SetTimes(const FILETIME* creation, const FILETIME* access,
                                  const FILETIME* modification) {
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    std::optional<std::uint64_t> created;
    std::optional<std::uint64_t> modified;
    if (creation)
        created = fileTimeValue(*creation);
    if (modification)
        modified = fileTimeValue(*modification);
    // The times are those of the stream that holds the set.
    RETURN_IF_ENGINE_FAILED(place_.storage.setChildTimes(place_.streamName, created, modified));
    if (access)
        accessTime_ = *access;
    return S_OK;
}

HRESULT PropertyStorage::SetClass(REFCLSID clsid) {
    RETURN_HR_IF(E_INVALIDARG, isNullReference(clsid));
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    set_.classId = toEngineGuid(clsid);
    return changed();
}

HRESULT PropertyStorage::Stat(STATPROPSETSTG* stat) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stat);
    *stat = STATPROPSETSTG{};
    std::lock_guard lock(place_.document->mutex);
    RETURN_IF_FAILED(checkUsable());
    stat->fmtid = toGuid(place_.formatId);
    stat->clsid = toGuid(set_.classId);
    stat->grfFlags = flagsOf(section());
    stat->dwOSVersion = set_.systemIdentifier;
    engine::cfb::ElementStat element;
    if (engine::succeeded(place_.storage.statChild(place_.streamName, &element))) {
        stat->ctime = toFileTime(element.creationTime);
        stat->mtime = toFileTime(element.modifiedTime);
    }
    stat->atime = accessTime_;
    return S_OK;
}

// ---- IEnumSTATPROPSETSTG ----------------------------------------------------------------

HRESULT PropertySetEnumerator::create(std::shared_ptr<Document> document,
                                      std::vector<STATPROPSETSTG> sets,
                                      std::shared_ptr<Scope> scope, IEnumSTATPROPSETSTG** result) {
    *result = nullptr;
    auto* object = new (std::nothrow) PropertySetEnumerator();
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, object);
    object->document_ = std::move(document);
    object->sets_ = std::move(sets);
    object->scope_ = std::move(scope);
    *result = object;
    return S_OK;
}

HRESULT PropertySetEnumerator::Next(ULONG count, STATPROPSETSTG* sets, ULONG* fetched) {
    if (fetched)
        *fetched = 0;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, sets);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, fetched == nullptr && count != 1);
    RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
    ULONG done = 0;
    for (; done < count && position_ < sets_.size(); ++done, ++position_)
        sets[done] = sets_[position_];
    if (fetched)
        *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT PropertySetEnumerator::Skip(ULONG count) {
    RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
    const std::size_t left = sets_.size() - position_;
    position_ += std::min<std::size_t>(left, count);
    return count <= left ? S_OK : S_FALSE;
}

HRESULT PropertySetEnumerator::Reset() {
    RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
    position_ = 0;
    return S_OK;
}

HRESULT PropertySetEnumerator::Clone(IEnumSTATPROPSETSTG** clone) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, clone);
    *clone = nullptr;
    RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
    IEnumSTATPROPSETSTG* copy = nullptr;
    RETURN_IF_FAILED(create(document_, sets_, scope_, &copy));
    static_cast<PropertySetEnumerator*>(copy)->position_ = position_;
    *clone = copy;
    return S_OK;
}

} // namespace provider
