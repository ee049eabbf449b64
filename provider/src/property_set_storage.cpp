// IPropertySetStorage of the provider's storages: simple property sets kept in streams.
#include "modes.h"
#include "element_objects.h"
#include "property_conversion.h"
#include "property_storage.h"
#include "results.h"

#include <propset/stream_name.h>

#include <mutex>

namespace provider {
namespace {

namespace ps = engine::propset;

constexpr DWORD kKnownSetFlags =
    PROPSETFLAG_NONSIMPLE | PROPSETFLAG_ANSI | PROPSETFLAG_UNBUFFERED | PROPSETFLAG_CASE_SENSITIVE;

[[nodiscard]] bool sharesDocumentSummaryStream(const ps::Guid& formatId) {
    return formatId == ps::kFormatIdDocSummaryInformation ||
           formatId == ps::kFormatIdUserDefinedProperties;
}

// The key under which a property set is open in its storage: the stream's for every set but
// the user-defined one, which shares the document-summary stream and is open on its own.
[[nodiscard]] std::u16string setKey(const std::u16string& streamName, const ps::Guid& formatId) {
    std::u16string key = elementKey(streamName);
    if (formatId == ps::kFormatIdUserDefinedProperties)
        key += u"\001user-defined";
    return key;
}

[[nodiscard]] ps::CodePage ansiCodePage() {
    return static_cast<ps::CodePage>(GetACP());
}

} // namespace

HRESULT StorageObject::Create(REFFMTID formatId, const CLSID* clsid, DWORD flags, DWORD mode,
                              IPropertyStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_HR_IF(E_INVALIDARG, isNullReference(formatId));
    RETURN_HR_IF(STG_E_INVALIDFLAG, (flags & ~kKnownSetFlags) != 0);
    // Non-simple property sets (a storage with a "CONTENTS" stream) are not offered.
    RETURN_HR_IF(STG_E_INVALIDFLAG, (flags & PROPSETFLAG_NONSIMPLE) != 0);
    RETURN_IF_FAILED(checkMode(mode, ModeUse::createPropertySet, mode_));
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    const ps::Guid id = toEngineGuid(formatId);
    const std::u16string streamName = ps::streamNameForFormatId(id);
    engine::cfb::ElementStat existing;
    const bool exists = engine::succeeded(storage_.statChild(streamName, &existing));
    ps::PropertySet set;
    if (exists) {
        // A storage of the set's stream name: there, but not replaceable by a set.
        RETURN_HR_IF(STG_E_FILEALREADYEXISTS,
                     existing.type != engine::cfb::ElementType::stream && !(mode & STGM_CREATE));
        RETURN_HR_IF(STG_E_ACCESSDENIED, existing.type != engine::cfb::ElementType::stream);
        ps::PropertySet stored;
        const bool readable = SUCCEEDED(readPropertySet(storage_, streamName, &stored));
        const bool hasSet = !readable || stored.findSection(id) != nullptr;
        RETURN_HR_IF(STG_E_FILEALREADYEXISTS, hasSet && !(mode & STGM_CREATE));
        if (readable && sharesDocumentSummaryStream(id)) {
            set = std::move(stored);
            std::erase_if(set.sections, [&](const ps::Section& s) { return s.formatId == id; });
        }
    }
    auto registration = OpenElements::add(openChildren_, setKey(streamName, id));
    RETURN_HR_IF_NULL(STG_E_ACCESSDENIED, registration);
    if (clsid)
        set.classId = toEngineGuid(*clsid);
    ps::Section& section =
        set.sectionFor(id, (flags & PROPSETFLAG_ANSI) ? ansiCodePage() : ps::kCodePageUnicode);
    section.caseSensitive = (flags & PROPSETFLAG_CASE_SENSITIVE) != 0;
    if (set.sections.size() == 2 && set.sections[0].formatId == ps::kFormatIdUserDefinedProperties)
        std::swap(set.sections[0], set.sections[1]);
    RETURN_IF_FAILED(writePropertySet(*document_, storage_, streamName, set));
    PropertySetPlace place{document_, storage_, scope_, streamName, id};
    return PropertyStorage::create(std::move(place), std::move(set), mode, flags,
                                   std::move(registration), storage);
}

HRESULT StorageObject::Open(REFFMTID formatId, DWORD mode, IPropertyStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_HR_IF(E_INVALIDARG, isNullReference(formatId));
    RETURN_IF_FAILED(checkMode(mode, ModeUse::openPropertySet, mode_));
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    const ps::Guid id = toEngineGuid(formatId);
    const std::u16string streamName = ps::streamNameForFormatId(id);
    engine::cfb::ElementStat existing;
    RETURN_IF_ENGINE_FAILED(storage_.statChild(streamName, &existing));
    RETURN_HR_IF(STG_E_FILENOTFOUND, existing.type != engine::cfb::ElementType::stream);
    ps::PropertySet set;
    RETURN_IF_FAILED(readPropertySet(storage_, streamName, &set));
    const ps::Section* section = set.findSection(id);
    RETURN_HR_IF_NULL(STG_E_FILENOTFOUND, section);
    const DWORD flags = flagsOf(*section);
    auto registration = OpenElements::add(openChildren_, setKey(streamName, id));
    RETURN_HR_IF_NULL(STG_E_ACCESSDENIED, registration);
    PropertySetPlace place{document_, storage_, scope_, streamName, id};
    return PropertyStorage::create(std::move(place), std::move(set), mode, flags,
                                   std::move(registration), storage);
}

HRESULT StorageObject::Delete(REFFMTID formatId) {
    RETURN_HR_IF(E_INVALIDARG, isNullReference(formatId));
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    const ps::Guid id = toEngineGuid(formatId);
    const std::u16string streamName = ps::streamNameForFormatId(id);
    engine::cfb::ElementStat existing;
    RETURN_IF_ENGINE_FAILED(storage_.statChild(streamName, &existing));
    RETURN_HR_IF(STG_E_ACCESSDENIED, openChildren_->contains(setKey(streamName, id)));
    if (sharesDocumentSummaryStream(id)) {
        ps::PropertySet set;
        if (SUCCEEDED(readPropertySet(storage_, streamName, &set))) {
            RETURN_HR_IF(STG_E_FILENOTFOUND, set.findSection(id) == nullptr);
            std::erase_if(set.sections, [&](const ps::Section& s) { return s.formatId == id; });
            const bool othersRemain =
                set.findSection(ps::kFormatIdUserDefinedProperties) != nullptr;
            if (othersRemain)
                return writePropertySet(*document_, storage_, streamName, set);
        }
    }
    RETURN_IF_ENGINE_FAILED(storage_.remove(streamName));
    return S_OK;
}

HRESULT StorageObject::Enum(IEnumSTATPROPSETSTG** enumerator) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, enumerator);
    *enumerator = nullptr;
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    std::vector<engine::cfb::ElementStat> children;
    RETURN_IF_ENGINE_FAILED(storage_.list(&children));
    std::vector<STATPROPSETSTG> sets;
    for (const engine::cfb::ElementStat& child : children) {
        if (child.type != engine::cfb::ElementType::stream ||
            !ps::isPropertySetStreamName(child.name))
            continue;
        ps::PropertySet set;
        if (FAILED(readPropertySet(storage_, child.name, &set)))
            continue;
        for (const ps::Section& section : set.sections) {
            STATPROPSETSTG stat{};
            stat.fmtid = toGuid(section.formatId);
            stat.clsid = toGuid(set.classId);
            stat.grfFlags = flagsOf(section);
            stat.ctime = toFileTime(child.creationTime);
            stat.mtime = toFileTime(child.modifiedTime);
            stat.dwOSVersion = set.systemIdentifier;
            sets.push_back(stat);
        }
    }
    return PropertySetEnumerator::create(document_, std::move(sets), Scope::makeChild(scope_),
                                         enumerator);
}

} // namespace provider
