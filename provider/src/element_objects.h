// The COM objects of the element tree: storages (IStorage with IPropertySetStorage), streams
// (IStream) and element enumerators (IEnumSTATSTG), each over the engine's handles.
#pragma once

#include "com_ptr.h"
#include "document.h"
#include "file_lock_bytes.h"

#include <support/com_object.h>

#include <cfb/compound_file.h>

#include <objidl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace provider {

// Interface identifiers that only the provider's own objects answer, so that one object can
// reach another of its kind directly (copies between provider documents go through the
// engine). QueryInterface with them gives the object itself, with a reference.
// {8D6C2E4B-51A3-4F0B-9E26-3C0F1B7A5D21}
inline constexpr GUID kProviderStorageIid = {
    0x8d6c2e4b, 0x51a3, 0x4f0b, {0x9e, 0x26, 0x3c, 0x0f, 0x1b, 0x7a, 0x5d, 0x21}};
// {8D6C2E4B-51A3-4F0B-9E26-3C0F1B7A5D22}
inline constexpr GUID kProviderStreamIid = {
    0x8d6c2e4b, 0x51a3, 0x4f0b, {0x9e, 0x26, 0x3c, 0x0f, 0x1b, 0x7a, 0x5d, 0x22}};

class StreamObject;
class StorageObject;

// What a root storage needs beyond a nested one.
struct RootDetails {
    std::wstring fileName;        // reported by Stat; empty for lock bytes of a caller
    ComPtr<ILockBytes> lockBytes; // for the file's own times in Stat
    ComPtr<FileLockBytes> file;   // the same, when the root is on a file of its own
    bool deleteOnRelease = false; // STGM_DELETEONRELEASE: the file goes with the root
    bool simpleMode = false;      // STGM_SIMPLE: no nested storages
};

// A nested storage opened in transacted mode works on a copy of its contents in memory, held
// as a document of its own; Commit copies the contents back into `target`.
struct TransactedDetails {
    std::shared_ptr<Document> parentDocument;
    engine::cfb::Storage target;
};

// Roots also answer IDirectWriterLock when they are the single writer of STGM_DIRECT_SWMR.
class StorageObject final
    : public support::ComObject<StorageObject, IStorage, IPropertySetStorage, IDirectWriterLock> {
public:
    static constexpr const GUID& kIid = kProviderStorageIid;
    // The root storage of `document`.
    [[nodiscard]] static HRESULT createRoot(std::shared_ptr<Document> document, DWORD mode,
                                            RootDetails details, IStorage** storage);
    ~StorageObject();

    // What the COM base answers beyond its list, and what it runs at the last Release.
    [[nodiscard]] bool answersInterface(REFIID riid) const;
    [[nodiscard]] void* otherInterface(REFIID riid);
    void finalRelease();

    // IStorage
    HRESULT STDMETHODCALLTYPE CreateStream(const OLECHAR* name, DWORD mode, DWORD reserved1,
                                           DWORD reserved2, IStream** stream) override;
    HRESULT STDMETHODCALLTYPE OpenStream(const OLECHAR* name, void* reserved1, DWORD mode,
                                         DWORD reserved2, IStream** stream) override;
    HRESULT STDMETHODCALLTYPE CreateStorage(const OLECHAR* name, DWORD mode, DWORD reserved1,
                                            DWORD reserved2, IStorage** storage) override;
    HRESULT STDMETHODCALLTYPE OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode,
                                          SNB exclude, DWORD reserved, IStorage** storage) override;
    HRESULT STDMETHODCALLTYPE CopyTo(DWORD excludedIidCount, const IID* excludedIids,
                                     SNB excludedNames, IStorage* destination) override;
    HRESULT STDMETHODCALLTYPE MoveElementTo(const OLECHAR* name, IStorage* destination,
                                            const OLECHAR* newName, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                                           IEnumSTATSTG** enumerator) override;
    HRESULT STDMETHODCALLTYPE DestroyElement(const OLECHAR* name) override;
    HRESULT STDMETHODCALLTYPE RenameElement(const OLECHAR* oldName,
                                            const OLECHAR* newName) override;
    HRESULT STDMETHODCALLTYPE SetElementTimes(const OLECHAR* name, const FILETIME* creation,
                                              const FILETIME* access,
                                              const FILETIME* modification) override;
    HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) override;
    HRESULT STDMETHODCALLTYPE SetStateBits(DWORD bits, DWORD mask) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;

    // IPropertySetStorage
    HRESULT STDMETHODCALLTYPE Create(REFFMTID formatId, const CLSID* clsid, DWORD flags, DWORD mode,
                                     IPropertyStorage** storage) override;
    HRESULT STDMETHODCALLTYPE Open(REFFMTID formatId, DWORD mode,
                                   IPropertyStorage** storage) override;
    HRESULT STDMETHODCALLTYPE Delete(REFFMTID formatId) override;
    HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSETSTG** enumerator) override;

    // IDirectWriterLock: the single writer changes nothing until it has write access, which
    // waits for the readers open to go and keeps new ones out; releasing it commits.
    HRESULT STDMETHODCALLTYPE WaitForWriteAccess(DWORD timeoutMs) override;
    HRESULT STDMETHODCALLTYPE ReleaseWriteAccess() override;
    HRESULT STDMETHODCALLTYPE HaveWriteAccess() override;

    [[nodiscard]] const std::shared_ptr<Document>& document() const { return document_; }
    [[nodiscard]] engine::cfb::Storage& engineStorage() { return storage_; }
    [[nodiscard]] const std::shared_ptr<Scope>& scope() const { return scope_; }
    [[nodiscard]] DWORD mode() const { return mode_; }
    // STG_E_REVERTED once this storage or one above it was released or reverted.
    [[nodiscard]] HRESULT checkUsable() const;

private:
    StorageObject(std::shared_ptr<Document> document, engine::cfb::Storage storage,
                  std::shared_ptr<Scope> scope, DWORD mode);

    [[nodiscard]] HRESULT openChildStorage(const OLECHAR* name, DWORD mode, bool create,
                                           IStorage** storage);
    [[nodiscard]] HRESULT wrapChildStorage(engine::cfb::Storage child, std::u16string_view name,
                                           DWORD mode,
                                           std::shared_ptr<OpenElements::Registration> registration,
                                           IStorage** storage);
    [[nodiscard]] HRESULT commitTransactedChild(DWORD flags);
    [[nodiscard]] HRESULT checkWritable() const;
    using DocumentLock = std::unique_lock<std::recursive_mutex>;
    // Locks the document for a change of this storage: usable, writable, and the change begun
    // (document.h, beginChange).
    [[nodiscard]] HRESULT lockForChange(DocumentLock* lock);
    // Makes room for a new child `name`: STG_E_FILEALREADYEXISTS without STGM_CREATE,
    // STG_E_INVALIDFLAG in simple mode, STG_E_ACCESSDENIED while it is open; else it goes.
    [[nodiscard]] HRESULT replaceExistingChild(std::u16string_view name, DWORD mode);
    // A root opened or created with STGM_SIMPLE (modes.h lists what it refuses).
    [[nodiscard]] bool isSimple() const { return root_ && root_->simpleMode; }
    void releaseRoot();

    std::shared_ptr<Document> document_;
    engine::cfb::Storage storage_;
    std::shared_ptr<Scope> scope_;
    DWORD mode_;
    std::shared_ptr<OpenElements> openChildren_ = std::make_shared<OpenElements>();
    std::shared_ptr<OpenElements::Registration> registration_; // in the parent
    std::unique_ptr<RootDetails> root_;
    std::unique_ptr<TransactedDetails> transacted_;
};

class StreamObject final : public support::ComObject<StreamObject, IStream> {
public:
    static constexpr const GUID& kIid = kProviderStreamIid;
    ~StreamObject();

    [[nodiscard]] const std::shared_ptr<Document>& document() const { return document_; }
    [[nodiscard]] engine::cfb::Stream& engineStream() { return stream_; }
    [[nodiscard]] DWORD mode() const { return mode_; }
    [[nodiscard]] static HRESULT create(std::shared_ptr<Document> document,
                                        engine::cfb::Stream stream,
                                        const std::shared_ptr<Scope>& parentScope, DWORD mode,
                                        std::shared_ptr<OpenElements::Registration> registration,
                                        IStream** result);

    [[nodiscard]] void* otherInterface(REFIID riid);
    void finalRelease();

    // ISequentialStream
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG count, ULONG* written) override;
    // IStream
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* destination, ULARGE_INTEGER count,
                                     ULARGE_INTEGER* read, ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                         DWORD lockType) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                           DWORD lockType) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override;

private:
    StreamObject(std::shared_ptr<Document> document, engine::cfb::Stream stream,
                 std::shared_ptr<Scope> parentScope, DWORD mode,
                 std::shared_ptr<OpenElements::Registration> registration);

public:
    [[nodiscard]] HRESULT checkUsable() const;

private:
    [[nodiscard]] HRESULT copyToForeign(IStream* destination, std::uint64_t count,
                                        std::uint64_t* read, std::uint64_t* written);

    std::shared_ptr<Document> document_;
    engine::cfb::Stream stream_;
    std::shared_ptr<Scope> parentScope_;
    std::shared_ptr<Scope> scope_;
    DWORD mode_;
    std::shared_ptr<OpenElements::Registration> registration_; // shared with clones
    // Small reads are served from a block read ahead of them, valid while the document's
    // data version is unchanged; the block grows while the reads go on where it ended.
    std::vector<std::uint8_t> readAhead_;
    std::size_t readAheadSize_ = 0;
    std::uint64_t readAheadOffset_ = 0;
    std::uint64_t readAheadVersion_ = ~0ull;
};

// IEnumSTATSTG over a storage's children as they are at each call: every Next and Skip goes
// on, in the directory's name order, after the last name it passed, so that elements destroyed
// since are not returned and elements created since are.
class ElementEnumerator final : public support::ComObject<ElementEnumerator, IEnumSTATSTG> {
public:
    [[nodiscard]] static HRESULT create(std::shared_ptr<Document> document,
                                        engine::cfb::Storage storage,
                                        const std::shared_ptr<Scope>& parentScope,
                                        IEnumSTATSTG** result);

    HRESULT STDMETHODCALLTYPE Next(ULONG count, STATSTG* elements, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumSTATSTG** clone) override;

    ElementEnumerator() = default;

private:
    [[nodiscard]] HRESULT checkUsable() const;
    // The children after the last name passed, in name order, at most `count` of them.
    [[nodiscard]] HRESULT nextElements(ULONG count, std::vector<engine::cfb::ElementStat>* next);

    std::shared_ptr<Document> document_;
    engine::cfb::Storage storage_;
    std::shared_ptr<Scope> parentScope_;
    std::shared_ptr<Scope> scope_;
    std::optional<std::u16string> lastName_; // empty at the start
};

// Shared by the objects: STATSTG from an engine stat (the name copied with CoTaskMemAlloc
// unless STATFLAG_NONAME).
[[nodiscard]] HRESULT fillStatStg(const engine::cfb::ElementStat& element, DWORD flags,
                                  STATSTG* stat);
[[nodiscard]] std::u16string_view asUtf16(const wchar_t* text);
// Checks a name passed to an IStorage method: STG_E_INVALIDNAME for null, empty, too long or
// containing a character the format forbids.
[[nodiscard]] HRESULT checkElementName(const OLECHAR* name);
[[nodiscard]] std::uint64_t fileTimeValue(const FILETIME& time);
[[nodiscard]] FILETIME toFileTime(std::uint64_t value);

// The provider object behind an interface pointer, or null when it is someone else's.
template <typename Object>
[[nodiscard]] ComPtr<Object> providerObject(IUnknown* unknown) {
    ComPtr<Object> object;
    if (unknown &&
        SUCCEEDED(unknown->QueryInterface(Object::kIid, reinterpret_cast<void**>(object.put()))))
        return object;
    return {};
}

} // namespace provider
