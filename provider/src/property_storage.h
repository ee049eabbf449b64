// Simple property sets: IPropertyStorage over one section of a property-set stream, and the
// enumerators of properties (IEnumSTATPROPSTG) and of property sets (IEnumSTATPROPSETSTG).
//
// The document summary and the user-defined properties are the first and second sections of
// "\005DocumentSummaryInformation"; every other set is alone in the stream whose name its
// FMTID gives. Changes are buffered and written at Commit and Release (and before the file
// commits), or at once for PROPSETFLAG_UNBUFFERED; in transacted mode only at Commit.
#pragma once

#include "com_ptr.h"
#include "document.h"

#include <support/com_object.h>

#include <propset/property_set.h>

#include <propidl.h>

#include <atomic>
#include <memory>
#include <vector>

namespace provider {

struct PropertySetPlace {
    std::shared_ptr<Document> document;
    engine::cfb::Storage storage; // holds the stream
    std::shared_ptr<Scope> parentScope;
    std::u16string streamName;
    engine::propset::Guid formatId;
};

class PropertyStorage final : public support::ComObject<PropertyStorage, IPropertyStorage>,
                              public BufferedChanges {
public:
    // `set` is the stream's contents with this set's section in it.
    [[nodiscard]] static HRESULT create(PropertySetPlace place, engine::propset::PropertySet set,
                                        DWORD mode, DWORD flags,
                                        std::shared_ptr<OpenElements::Registration> registration,
                                        IPropertyStorage** result);

    ~PropertyStorage() override;
    // Buffered changes reach the stream when the last reference goes.
    void finalRelease();

    HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG count, const PROPSPEC* selectors,
                                           PROPVARIANT* values) override;
    HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG count, const PROPSPEC* selectors,
                                            const PROPVARIANT* values,
                                            PROPID firstNamedId) override;
    HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG count, const PROPSPEC* selectors) override;
    HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG count, const PROPID* ids,
                                                LPOLESTR* names) override;
    HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG count, const PROPID* ids,
                                                 const LPOLESTR* names) override;
    HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG count, const PROPID* ids) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG** enumerator) override;
    HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME* creation, const FILETIME* access,
                                       const FILETIME* modification) override;
    HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) override;
    HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG* stat) override;

    HRESULT writeBufferedChanges() override;

private:
    PropertyStorage(PropertySetPlace place, engine::propset::PropertySet set, DWORD mode,
                    DWORD flags, std::shared_ptr<OpenElements::Registration> registration);

    [[nodiscard]] HRESULT checkUsable() const;
    [[nodiscard]] HRESULT checkWritable() const;
    [[nodiscard]] engine::propset::Section& section();
    [[nodiscard]] HRESULT changed();
    [[nodiscard]] HRESULT writeSet();

    PropertySetPlace place_;
    std::shared_ptr<Scope> scope_;
    engine::propset::PropertySet set_;
    DWORD mode_;
    DWORD flags_;
    bool dirty_ = false;
    FILETIME accessTime_{};
    std::shared_ptr<OpenElements::Registration> registration_;
};

// Reads and parses a property-set stream.
[[nodiscard]] HRESULT readPropertySet(engine::cfb::Storage& storage, std::u16string_view name,
                                      engine::propset::PropertySet* set);
// Writes a property set to a stream, creating it when needed.
[[nodiscard]] HRESULT writePropertySet(Document& document, engine::cfb::Storage& storage,
                                       std::u16string_view name,
                                       const engine::propset::PropertySet& set);

[[nodiscard]] engine::propset::Guid toEngineGuid(const GUID& guid);
[[nodiscard]] GUID toGuid(const engine::propset::Guid& guid);
// PROPSETFLAG_ANSI and PROPSETFLAG_CASE_SENSITIVE as a section has them.
[[nodiscard]] DWORD flagsOf(const engine::propset::Section& section);

class PropertySetEnumerator final
    : public support::ComObject<PropertySetEnumerator, IEnumSTATPROPSETSTG> {
public:
    [[nodiscard]] static HRESULT create(std::shared_ptr<Document> document,
                                        std::vector<STATPROPSETSTG> sets,
                                        std::shared_ptr<Scope> scope, IEnumSTATPROPSETSTG** result);

    PropertySetEnumerator() = default;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, STATPROPSETSTG* sets, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATPROPSETSTG** clone) override;

private:
    std::shared_ptr<Document> document_;
    std::shared_ptr<Scope> scope_;
    std::vector<STATPROPSETSTG> sets_;
    std::size_t position_ = 0;
};

} // namespace provider
