// IStorage over the engine's storages.
#include "modes.h"
#include "element_objects.h"
#include "results.h"

#include <support/scope_exit.h>

#include <cfb/names.h>

#include <cstring>
#include <mutex>
#include <new>

namespace provider {
namespace {

constexpr DWORD kCommitFlags = STGC_OVERWRITE | STGC_ONLYIFCURRENT |
                               STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE | STGC_CONSOLIDATE;

using Lock = std::unique_lock<std::recursive_mutex>;

// Locks one document, or two in a fixed order.
class DocumentLocks {
public:
    DocumentLocks(Document& first, Document& second)
        : first_(first.mutex, std::defer_lock), second_(second.mutex, std::defer_lock) {
        if (&first == &second)
            first_.lock();
        else
            std::lock(first_, second_);
    }

private:
    Lock first_;
    Lock second_;
};

[[nodiscard]] engine::cfb::Clsid toEngineClsid(const CLSID& clsid) {
    engine::cfb::Clsid result;
    std::memcpy(result.data(), &clsid, sizeof(CLSID));
    return result;
}

[[nodiscard]] FILETIME now() {
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    return time;
}

// Names of an SNB, as element keys.
[[nodiscard]] std::vector<std::u16string> excludedKeys(SNB names) {
    std::vector<std::u16string> keys;
    for (SNB name = names; name && *name; ++name)
        keys.push_back(elementKey(asUtf16(*name)));
    return keys;
}

[[nodiscard]] bool contains(const std::vector<std::u16string>& keys, std::u16string_view name) {
    const std::u16string key = elementKey(name);
    for (const std::u16string& excluded : keys)
        if (excluded == key)
            return true;
    return false;
}

// What IStorage::CopyTo leaves out: the names at the top level only, the kinds of element
// (IID_IStream, IID_IStorage, IID_IPropertySetStorage) at every level.
struct CopyExclusions {
    std::vector<std::u16string> names;
    bool streams = false;
    bool storages = false;
    bool propertySets = false;

    [[nodiscard]] bool excludesKinds() const { return streams || storages || propertySets; }
    [[nodiscard]] CopyExclusions below() const { return {{}, streams, storages, propertySets}; }

    [[nodiscard]] bool excludes(const engine::cfb::ElementStat& element) const {
        if (contains(names, element.name))
            return true;
        if (propertySets && !element.name.empty() && element.name[0] == u'\005')
            return true;
        return element.type == engine::cfb::ElementType::stream ? streams : storages;
    }
};

// Copies one element of an engine storage into a storage of any implementation.
[[nodiscard]] HRESULT copyElementToForeign(engine::cfb::Storage& source,
                                           const engine::cfb::ElementStat& element,
                                           IStorage* destination, std::u16string_view targetName,
                                           const CopyExclusions& exclusions);

[[nodiscard]] HRESULT copyContentsToForeign(engine::cfb::Storage& source, IStorage* destination,
                                            const CopyExclusions& exclusions) {
    engine::cfb::ElementStat self;
    RETURN_IF_ENGINE_FAILED(source.stat(&self));
    CLSID clsid;
    std::memcpy(&clsid, self.clsid.data(), sizeof(CLSID));
    RETURN_IF_FAILED(destination->SetClass(clsid));
    RETURN_IF_FAILED(destination->SetStateBits(self.stateBits, 0xFFFFFFFFu));
    std::vector<engine::cfb::ElementStat> children;
    RETURN_IF_ENGINE_FAILED(source.list(&children));
    for (const engine::cfb::ElementStat& child : children) {
        if (!exclusions.excludes(child))
            RETURN_IF_FAILED(
                copyElementToForeign(source, child, destination, child.name, exclusions.below()));
    }
    return S_OK;
}

HRESULT copyElementToForeign(engine::cfb::Storage& source, const engine::cfb::ElementStat& element,
                             IStorage* destination, std::u16string_view targetName,
                             const CopyExclusions& exclusions) {
    const std::wstring name(targetName.begin(), targetName.end());
    constexpr DWORD kChildMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (element.type == engine::cfb::ElementType::stream) {
        engine::cfb::Stream stream;
        RETURN_IF_ENGINE_FAILED(source.openStream(element.name, &stream));
        ComPtr<IStream> target;
        RETURN_IF_FAILED(
            destination->CreateStream(name.c_str(), kChildMode | STGM_CREATE, 0, 0, target.put()));
        std::vector<std::uint8_t> buffer(std::min<std::uint64_t>(element.size, 1u << 20));
        for (std::uint64_t done = 0; done < element.size;) {
            std::size_t got = 0;
            RETURN_IF_ENGINE_FAILED(stream.read(buffer.data(), buffer.size(), &got));
            RETURN_HR_IF(STG_E_DOCFILECORRUPT, got == 0);
            ULONG written = 0;
            RETURN_IF_FAILED(target->Write(buffer.data(), static_cast<ULONG>(got), &written));
            done += got;
        }
        return S_OK;
    }
    engine::cfb::Storage child;
    RETURN_IF_ENGINE_FAILED(source.openStorage(element.name, &child));
    ComPtr<IStorage> target;
    HRESULT hr =
        destination->OpenStorage(name.c_str(), nullptr, kChildMode, nullptr, 0, target.put());
    if (FAILED(hr))
        RETURN_IF_FAILED(
            destination->CreateStorage(name.c_str(), kChildMode | STGM_CREATE, 0, 0, target.put()));
    return copyContentsToForeign(child, target.get(), exclusions);
}

// Copies a child storage into a storage of the same name, merging into it when it exists.
[[nodiscard]] HRESULT copyChildStorage(engine::cfb::Storage& source,
                                       const engine::cfb::ElementStat& child,
                                       engine::cfb::Storage& destination, bool exists,
                                       const CopyExclusions& exclusions);

// The engine's copy: streams replace streams of the same name, storages merge into storages
// of the same name.
[[nodiscard]] HRESULT copyContents(engine::cfb::Storage& source, engine::cfb::Storage& destination,
                                   const CopyExclusions& exclusions) {
    engine::cfb::ElementStat self;
    RETURN_IF_ENGINE_FAILED(source.stat(&self));
    RETURN_IF_ENGINE_FAILED(destination.setClass(self.clsid));
    RETURN_IF_ENGINE_FAILED(destination.setStateBits(self.stateBits, 0xFFFFFFFFu));
    std::vector<engine::cfb::ElementStat> children;
    RETURN_IF_ENGINE_FAILED(source.list(&children));
    for (const engine::cfb::ElementStat& child : children) {
        if (exclusions.excludes(child))
            continue;
        engine::cfb::ElementStat existing;
        const bool exists = engine::succeeded(destination.statChild(child.name, &existing));
        const bool isStorage = child.type != engine::cfb::ElementType::stream;
        const bool bothStorages =
            isStorage && exists && existing.type != engine::cfb::ElementType::stream;
        if (exists && !bothStorages)
            RETURN_IF_ENGINE_FAILED(destination.remove(child.name));
        if (isStorage && (bothStorages || exclusions.excludesKinds()))
            RETURN_IF_FAILED(
                copyChildStorage(source, child, destination, bothStorages, exclusions.below()));
        else
            RETURN_IF_ENGINE_FAILED(source.copyElementTo(child.name, destination, child.name));
    }
    return S_OK;
}

HRESULT copyChildStorage(engine::cfb::Storage& source, const engine::cfb::ElementStat& child,
                         engine::cfb::Storage& destination, bool exists,
                         const CopyExclusions& exclusions) {
    engine::cfb::Storage from;
    engine::cfb::Storage into;
    RETURN_IF_ENGINE_FAILED(source.openStorage(child.name, &from));
    if (exists) {
        RETURN_IF_ENGINE_FAILED(destination.openStorage(child.name, &into));
    } else {
        RETURN_IF_ENGINE_FAILED(destination.createStorage(child.name, &into));
        RETURN_IF_ENGINE_FAILED(
            destination.setChildTimes(child.name, child.creationTime, child.modifiedTime));
    }
    if (!exclusions.excludesKinds())
        return hresultOf(from.copyTo(into));
    return copyContents(from, into, exclusions);
}

// Empties every child of a storage.
[[nodiscard]] HRESULT removeAllChildren(engine::cfb::Storage& storage) {
    std::vector<engine::cfb::ElementStat> children;
    RETURN_IF_ENGINE_FAILED(storage.list(&children));
    for (const engine::cfb::ElementStat& child : children)
        RETURN_IF_ENGINE_FAILED(storage.remove(child.name));
    return S_OK;
}

} // namespace

// ---- life -------------------------------------------------------------------------------

StorageObject::StorageObject(std::shared_ptr<Document> document, engine::cfb::Storage storage,
                             std::shared_ptr<Scope> scope, DWORD mode)
    : document_(std::move(document)), storage_(std::move(storage)), scope_(std::move(scope)),
      mode_(mode) {}

StorageObject::~StorageObject() = default;

HRESULT StorageObject::createRoot(std::shared_ptr<Document> document, DWORD mode,
                                  RootDetails details, IStorage** storage) {
    *storage = nullptr;
    engine::cfb::Storage root = document->file().root();
    auto* object = new (std::nothrow)
        StorageObject(std::move(document), std::move(root), Scope::makeRoot(), mode);
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, object);
    object->root_ = std::make_unique<RootDetails>(std::move(details));
    *storage = static_cast<IStorage*>(object);
    return S_OK;
}

bool StorageObject::answersInterface(REFIID riid) const {
    return riid != IID_IDirectWriterLock || (root_ && isSingleWriter(mode_));
}

void* StorageObject::otherInterface(REFIID riid) {
    return riid == kIid ? this : nullptr;
}

void StorageObject::finalRelease() {
    std::lock_guard lock(document_->mutex);
    if (root_)
        releaseRoot();
    scope_->end();
}

void StorageObject::releaseRoot() {
    const bool usable = !document_->closed() && scope_->valid();
    if (usable && document_->commitsOnChange() && canWrite(mode_))
        (void)document_->commit();
    document_->close();
    // Let go of the file handle now, even while children are still referenced.
    root_->lockBytes.reset();
    root_->file.reset();
    if (root_->deleteOnRelease && !root_->fileName.empty())
        DeleteFileW(root_->fileName.c_str());
}

HRESULT StorageObject::checkUsable() const {
    RETURN_HR_IF(STG_E_REVERTED, document_->closed() || !scope_->valid());
    if (transacted_)
        RETURN_HR_IF(STG_E_REVERTED, transacted_->parentDocument->closed());
    return S_OK;
}

HRESULT StorageObject::checkWritable() const {
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canWrite(mode_));
    return S_OK;
}

HRESULT StorageObject::lockForChange(DocumentLock* lock) {
    *lock = DocumentLock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(checkWritable());
    return document_->beginChange();
}

HRESULT StorageObject::replaceExistingChild(std::u16string_view name, DWORD mode) {
    engine::cfb::ElementStat existing;
    if (engine::failed(storage_.statChild(name, &existing)))
        return S_OK;
    RETURN_HR_IF(STG_E_FILEALREADYEXISTS, !(mode & STGM_CREATE));
    RETURN_HR_IF(STG_E_INVALIDFLAG, isSimple());
    RETURN_HR_IF(STG_E_ACCESSDENIED, openChildren_->contains(elementKey(name)));
    RETURN_IF_ENGINE_FAILED(storage_.remove(name));
    return S_OK;
}

// ---- streams ----------------------------------------------------------------------------

HRESULT StorageObject::CreateStream(const OLECHAR* name, DWORD mode, DWORD reserved1,
                                    DWORD reserved2, IStream** stream) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stream);
    *stream = nullptr;
    RETURN_IF_FAILED(checkElementName(name));
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved1 != 0 || reserved2 != 0);
    RETURN_IF_FAILED(checkMode(mode, ModeUse::createStream, mode_));
    DocumentLock lock;
    RETURN_IF_FAILED(lockForChange(&lock));
    const std::u16string_view elementName = asUtf16(name);
    const std::u16string key = elementKey(elementName);
    RETURN_IF_FAILED(replaceExistingChild(elementName, mode));
    auto registration = OpenElements::add(openChildren_, key);
    RETURN_HR_IF_NULL(STG_E_ACCESSDENIED, registration);
    engine::cfb::Stream created;
    RETURN_IF_ENGINE_FAILED(storage_.createStream(elementName, &created));
    return StreamObject::create(document_, std::move(created), scope_, mode,
                                std::move(registration), stream);
}

HRESULT StorageObject::OpenStream(const OLECHAR* name, void* reserved1, DWORD mode, DWORD reserved2,
                                  IStream** stream) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stream);
    *stream = nullptr;
    RETURN_IF_FAILED(checkElementName(name));
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved1 != nullptr || reserved2 != 0);
    RETURN_IF_FAILED(checkMode(mode, ModeUse::openStream, mode_));
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    const std::u16string_view elementName = asUtf16(name);
    engine::cfb::Stream opened;
    RETURN_IF_ENGINE_FAILED(storage_.openStream(elementName, &opened));
    auto registration = OpenElements::add(openChildren_, elementKey(elementName));
    RETURN_HR_IF_NULL(STG_E_ACCESSDENIED, registration);
    return StreamObject::create(document_, std::move(opened), scope_, mode, std::move(registration),
                                stream);
}

// ---- nested storages --------------------------------------------------------------------

HRESULT StorageObject::CreateStorage(const OLECHAR* name, DWORD mode, DWORD reserved1,
                                     DWORD reserved2, IStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_IF_FAILED(checkElementName(name));
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved1 != 0 || reserved2 != 0);
    RETURN_IF_FAILED(checkMode(mode, ModeUse::createStorage, mode_));
    return openChildStorage(name, mode, true, storage);
}

HRESULT StorageObject::OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode, SNB exclude,
                                   DWORD reserved, IStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_IF_FAILED(checkElementName(name));
    RETURN_HR_IF(STG_E_INVALIDPARAMETER,
                 priority != nullptr || exclude != nullptr || reserved != 0);
    RETURN_IF_FAILED(checkMode(mode, ModeUse::openStorage, mode_));
    return openChildStorage(name, mode, false, storage);
}

HRESULT StorageObject::openChildStorage(const OLECHAR* name, DWORD mode, bool create,
                                        IStorage** storage) {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    RETURN_HR_IF(STG_E_INVALIDFUNCTION, isSimple());
    const std::u16string_view elementName = asUtf16(name);
    const std::u16string key = elementKey(elementName);
    engine::cfb::Storage child;
    if (create) {
        RETURN_IF_FAILED(checkWritable());
        RETURN_IF_FAILED(document_->beginChange());
        RETURN_IF_FAILED(replaceExistingChild(elementName, mode));
        auto registration = OpenElements::add(openChildren_, key);
        RETURN_HR_IF_NULL(STG_E_ACCESSDENIED, registration);
        RETURN_IF_ENGINE_FAILED(storage_.createStorage(elementName, &child));
        const std::uint64_t created = fileTimeValue(now());
        RETURN_IF_ENGINE_FAILED(storage_.setChildTimes(elementName, created, created));
        return wrapChildStorage(std::move(child), elementName, mode, std::move(registration),
                                storage);
    }
    RETURN_IF_ENGINE_FAILED(storage_.openStorage(elementName, &child));
    auto registration = OpenElements::add(openChildren_, key);
    RETURN_HR_IF_NULL(STG_E_ACCESSDENIED, registration);
    return wrapChildStorage(std::move(child), elementName, mode, std::move(registration), storage);
}

HRESULT StorageObject::wrapChildStorage(engine::cfb::Storage child, std::u16string_view, DWORD mode,
                                        std::shared_ptr<OpenElements::Registration> registration,
                                        IStorage** storage) {
    auto scope = Scope::makeChild(scope_);
    if (!isTransacted(mode)) {
        auto* object = new (std::nothrow) StorageObject(document_, std::move(child), scope, mode);
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, object);
        object->registration_ = std::move(registration);
        *storage = static_cast<IStorage*>(object);
        return S_OK;
    }
    // Transacted: work on a copy in memory until Commit.
    std::unique_ptr<engine::cfb::CompoundFile> copy;
    RETURN_IF_ENGINE_FAILED(engine::cfb::CompoundFile::create(
        std::make_shared<engine::cfb::MemoryByteArray>(), document_->file().version(), &copy));
    engine::cfb::Storage copyRoot = copy->root();
    RETURN_IF_ENGINE_FAILED(child.copyTo(copyRoot));
    RETURN_IF_ENGINE_FAILED(copy->commit());
    auto copyDocument = std::make_shared<Document>(nullptr, std::move(copy), false);
    engine::cfb::Storage workingRoot = copyDocument->file().root();
    auto* object = new (std::nothrow)
        StorageObject(std::move(copyDocument), std::move(workingRoot), scope, mode);
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, object);
    object->registration_ = std::move(registration);
    object->transacted_ = std::make_unique<TransactedDetails>();
    object->transacted_->parentDocument = document_;
    object->transacted_->target = std::move(child);
    *storage = static_cast<IStorage*>(object);
    return S_OK;
}

// ---- copies and moves -------------------------------------------------------------------

HRESULT StorageObject::CopyTo(DWORD excludedIidCount, const IID* excludedIids, SNB excludedNames,
                              IStorage* destination) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, destination);
    RETURN_HR_IF(STG_E_INVALIDPOINTER, excludedIidCount != 0 && excludedIids == nullptr);
    CopyExclusions exclusions;
    exclusions.names = excludedKeys(excludedNames);
    for (DWORD index = 0; index < excludedIidCount; ++index) {
        exclusions.streams |= excludedIids[index] == IID_IStream;
        exclusions.storages |= excludedIids[index] == IID_IStorage;
        exclusions.propertySets |= excludedIids[index] == IID_IPropertySetStorage;
    }
    const ComPtr<StorageObject> target = providerObject<StorageObject>(destination);
    if (!target) {
        std::lock_guard lock(document_->mutex);
        RETURN_IF_FAILED(checkUsable());
        return copyContentsToForeign(storage_, destination, exclusions);
    }
    DocumentLocks locks(*document_, *target->document_);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(target->checkUsable());
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canWrite(target->mode_));
    // Into itself or anything opened below it, transacted copies included: the copy would
    // never end.
    RETURN_HR_IF(STG_E_ACCESSDENIED, target->scope_->isWithin(*scope_));
    RETURN_IF_FAILED(target->document_->beginChange());
    return copyContents(storage_, target->storage_, exclusions);
}

HRESULT StorageObject::MoveElementTo(const OLECHAR* name, IStorage* destination,
                                     const OLECHAR* newName, DWORD flags) {
    RETURN_IF_FAILED(checkElementName(name));
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, destination);
    RETURN_IF_FAILED(checkElementName(newName));
    RETURN_HR_IF(STG_E_INVALIDFLAG, flags != STGMOVE_MOVE && flags != STGMOVE_COPY);
    const std::u16string_view elementName = asUtf16(name);
    const ComPtr<StorageObject> target = providerObject<StorageObject>(destination);
    if (!target) {
        std::lock_guard lock(document_->mutex);
        RETURN_IF_FAILED(checkUsable());
        engine::cfb::ElementStat element;
        RETURN_IF_ENGINE_FAILED(storage_.statChild(elementName, &element));
        if (flags == STGMOVE_MOVE) {
            RETURN_IF_FAILED(checkWritable());
            RETURN_IF_FAILED(document_->beginChange());
            RETURN_HR_IF(STG_E_ACCESSDENIED, openChildren_->contains(elementKey(elementName)));
        }
        // A foreign destination takes the element under its new name through its own methods.
        RETURN_IF_FAILED(copyElementToForeign(storage_, element, destination, asUtf16(newName),
                                              CopyExclusions{}));
        if (flags == STGMOVE_MOVE)
            RETURN_IF_ENGINE_FAILED(storage_.remove(elementName));
        return S_OK;
    }
    DocumentLocks locks(*document_, *target->document_);
    RETURN_IF_FAILED(checkUsable());
    RETURN_IF_FAILED(target->checkUsable());
    engine::cfb::ElementStat element;
    RETURN_IF_ENGINE_FAILED(storage_.statChild(elementName, &element));
    RETURN_HR_IF(STG_E_ACCESSDENIED, !canWrite(target->mode_));
    if (flags == STGMOVE_MOVE) {
        RETURN_IF_FAILED(checkWritable());
        RETURN_IF_FAILED(document_->beginChange());
        RETURN_HR_IF(STG_E_ACCESSDENIED, openChildren_->contains(elementKey(elementName)));
    }
    RETURN_IF_FAILED(target->document_->beginChange());
    RETURN_IF_ENGINE_FAILED(
        storage_.copyElementTo(elementName, target->storage_, asUtf16(newName)));
    if (flags == STGMOVE_MOVE)
        RETURN_IF_ENGINE_FAILED(storage_.remove(elementName));
    return S_OK;
}

// ---- transactions -----------------------------------------------------------------------

HRESULT StorageObject::Commit(DWORD flags) {
    RETURN_HR_IF(STG_E_INVALIDFLAG, (flags & ~kCommitFlags) != 0);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    if (!canWrite(mode_))
        return S_OK;
    if (transacted_)
        return commitTransactedChild(flags);
    if (root_ && root_->file && (flags & STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE)) {
        // The caller accepts a commit that the system may still hold in its cache.
        root_->file->setFlushToDisk(false);
        const support::ScopeExit restore([&] { root_->file->setFlushToDisk(true); });
        return document_->commit();
    }
    if (root_ || document_->commitsOnChange())
        return document_->commit();
    // A direct storage inside a transaction: its changes already belong to the enclosing one.
    return document_->writeBufferedChanges();
}

HRESULT StorageObject::commitTransactedChild(DWORD) {
    Document& parent = *transacted_->parentDocument;
    std::lock_guard parentLock(parent.mutex);
    RETURN_IF_FAILED(parent.beginChange());
    RETURN_IF_FAILED(document_->writeBufferedChanges());
    engine::cfb::Storage& target = transacted_->target;
    RETURN_IF_FAILED(removeAllChildren(target));
    RETURN_IF_ENGINE_FAILED(storage_.copyTo(target));
    RETURN_IF_ENGINE_FAILED(document_->file().commit());
    if (parent.commitsOnChange())
        RETURN_IF_FAILED(parent.commit());
    return S_OK;
}

HRESULT StorageObject::Revert() {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    if (!isTransacted(mode_) || !canWrite(mode_))
        return S_OK;
    scope_->revertChildren();
    RETURN_IF_FAILED(document_->beginChange());
    RETURN_IF_FAILED(document_->revert());
    storage_ = document_->file().root();
    openChildren_ = std::make_shared<OpenElements>();
    return S_OK;
}

// ---- the single writer ------------------------------------------------------------------

HRESULT StorageObject::WaitForWriteAccess(DWORD timeoutMs) {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    ShareLocks* locks = document_->shareLocks();
    RETURN_HR_IF_NULL(STG_E_INVALIDFUNCTION, locks);
    if (locks->hasWriteAccess())
        return S_FALSE;
    return locks->takeWriteAccess(timeoutMs);
}

HRESULT StorageObject::ReleaseWriteAccess() {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    ShareLocks* locks = document_->shareLocks();
    if (!locks || !locks->hasWriteAccess())
        return S_FALSE;
    // Readers let in from now on find every change in the file.
    const HRESULT committed = document_->commit();
    locks->releaseWriteAccess();
    return committed;
}

HRESULT StorageObject::HaveWriteAccess() {
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    const ShareLocks* locks = document_->shareLocks();
    return locks && locks->hasWriteAccess() ? S_OK : S_FALSE;
}

// ---- elements ---------------------------------------------------------------------------

HRESULT StorageObject::EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                                    IEnumSTATSTG** enumerator) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, enumerator);
    *enumerator = nullptr;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved1 != 0 || reserved2 != nullptr || reserved3 != 0);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    return ElementEnumerator::create(document_, storage_, scope_, enumerator);
}

HRESULT StorageObject::DestroyElement(const OLECHAR* name) {
    RETURN_IF_FAILED(checkElementName(name));
    DocumentLock lock;
    RETURN_IF_FAILED(lockForChange(&lock));
    const std::u16string_view elementName = asUtf16(name);
    RETURN_IF_ENGINE_FAILED(storage_.remove(elementName));
    openChildren_->forget(elementKey(elementName));
    return S_OK;
}

HRESULT StorageObject::RenameElement(const OLECHAR* oldName, const OLECHAR* newName) {
    RETURN_IF_FAILED(checkElementName(oldName));
    RETURN_IF_FAILED(checkElementName(newName));
    DocumentLock lock;
    RETURN_IF_FAILED(lockForChange(&lock));
    engine::cfb::ElementStat element;
    RETURN_IF_ENGINE_FAILED(storage_.statChild(asUtf16(oldName), &element));
    RETURN_HR_IF(STG_E_ACCESSDENIED, openChildren_->contains(elementKey(asUtf16(oldName))));
    RETURN_IF_ENGINE_FAILED(storage_.rename(asUtf16(oldName), asUtf16(newName)));
    return S_OK;
}

HRESULT StorageObject::SetElementTimes(const OLECHAR* name, const FILETIME* creation,
                                       const FILETIME*, const FILETIME* modification) {
    if (name)
        RETURN_IF_FAILED(checkElementName(name));
    DocumentLock lock;
    RETURN_IF_FAILED(lockForChange(&lock));
    std::optional<std::uint64_t> created;
    std::optional<std::uint64_t> modified;
    if (creation)
        created = fileTimeValue(*creation);
    if (modification)
        modified = fileTimeValue(*modification);
    if (!name) {
        RETURN_IF_ENGINE_FAILED(storage_.setTimes(created, modified));
        return S_OK;
    }
    RETURN_IF_ENGINE_FAILED(storage_.setChildTimes(asUtf16(name), created, modified));
    return S_OK;
}

HRESULT StorageObject::SetClass(REFCLSID clsid) {
    DocumentLock lock;
    RETURN_IF_FAILED(lockForChange(&lock));
    RETURN_IF_ENGINE_FAILED(storage_.setClass(toEngineClsid(clsid)));
    return S_OK;
}

HRESULT StorageObject::SetStateBits(DWORD bits, DWORD mask) {
    DocumentLock lock;
    RETURN_IF_FAILED(lockForChange(&lock));
    RETURN_IF_ENGINE_FAILED(storage_.setStateBits(bits, mask));
    return S_OK;
}

HRESULT StorageObject::Stat(STATSTG* stat, DWORD flags) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stat);
    *stat = STATSTG{};
    RETURN_HR_IF(STG_E_INVALIDFLAG, flags != STATFLAG_DEFAULT && flags != STATFLAG_NONAME);
    std::lock_guard lock(document_->mutex);
    RETURN_IF_FAILED(checkUsable());
    engine::cfb::ElementStat element;
    RETURN_IF_ENGINE_FAILED(transacted_ ? transacted_->target.stat(&element)
                                        : storage_.stat(&element));
    if (transacted_) {
        // The working copy's class and state bits are the ones this object shows.
        engine::cfb::ElementStat working;
        RETURN_IF_ENGINE_FAILED(storage_.stat(&working));
        element.clsid = working.clsid;
        element.stateBits = working.stateBits;
    }
    if (root_) {
        element.name = std::u16string(root_->fileName.begin(), root_->fileName.end());
        STATSTG file{};
        if (root_->lockBytes && SUCCEEDED(root_->lockBytes->Stat(&file, STATFLAG_NONAME))) {
            if (element.creationTime == 0)
                element.creationTime = fileTimeValue(file.ctime);
            if (element.modifiedTime == 0)
                element.modifiedTime = fileTimeValue(file.mtime);
            stat->atime = file.atime;
        }
    }
    const FILETIME access = stat->atime;
    // A root on a caller's lock bytes has no name to report.
    const bool nameless = root_ && root_->fileName.empty();
    RETURN_IF_FAILED(fillStatStg(element, nameless ? DWORD{STATFLAG_NONAME} : flags, stat));
    stat->atime = access;
    stat->type = STGTY_STORAGE;
    // What the storage is open for: STGM_CREATE only said how it came to be.
    stat->grfMode = mode_ & ~STGM_CREATE;
    return S_OK;
}

} // namespace provider
