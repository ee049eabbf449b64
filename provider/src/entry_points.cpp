// The Stg* functions of the provider, exported under ole32's names (see the .def files).
#include "file_lock_bytes.h"
#include "lock_bytes_array.h"
#include "modes.h"
#include "element_objects.h"
#include "results.h"
#include "share_locks.h"

#include <support/task_memory.h>

#include <cfb/constants.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace provider {
namespace {

constexpr std::size_t kSignatureSize = engine::cfb::headerSignature.size();
constexpr ULONG kSmallSectorSize = 512;
constexpr ULONG kLargeSectorSize = 4096;
constexpr USHORT kNewestOptionsVersion = 2;
constexpr wchar_t kTemporaryPrefix[] = L"~DF";
// A converted file keeps its former contents in this stream.
constexpr wchar_t kConvertedStreamName[] = L"CONTENTS";

enum class Access { read, create };

[[nodiscard]] HRESULT readSignature(ILockBytes* bytes, bool* isStorage) {
    *isStorage = false;
    STATSTG stat{};
    RETURN_IF_FAILED(bytes->Stat(&stat, STATFLAG_NONAME));
    if (stat.cbSize.QuadPart < kSignatureSize)
        return S_OK;
    std::array<std::uint8_t, kSignatureSize> signature{};
    ULONG read = 0;
    ULARGE_INTEGER start{};
    RETURN_IF_FAILED(bytes->ReadAt(start, signature.data(), kSignatureSize, &read));
    *isStorage =
        read == kSignatureSize &&
        std::memcmp(signature.data(), engine::cfb::headerSignature.data(), kSignatureSize) == 0;
    return S_OK;
}

[[nodiscard, maybe_unused]] HRESULT checkInterface(REFIID riid) {
    RETURN_HR_IF(E_NOINTERFACE, riid != IID_IStorage && riid != IID_IPropertySetStorage);
    return S_OK;
}

[[nodiscard, maybe_unused]] HRESULT queryResult(IStorage* storage, REFIID riid, void** result) {
    const ComPtr<IStorage> owner = ComPtr<IStorage>::attach(storage);
    return owner->QueryInterface(riid, result);
}

// Empties the elements an SNB names, at the top level of a root just opened.
[[nodiscard]] HRESULT excludeElements(Document& document, SNB exclude) {
    engine::cfb::Storage root = document.file().root();
    for (SNB name = exclude; name && *name; ++name) {
        const std::u16string_view elementName = asUtf16(*name);
        engine::cfb::ElementStat element;
        if (engine::failed(root.statChild(elementName, &element)))
            continue;
        if (element.type == engine::cfb::ElementType::stream) {
            engine::cfb::Stream stream;
            RETURN_IF_ENGINE_FAILED(root.openStream(elementName, &stream));
            RETURN_IF_ENGINE_FAILED(stream.setSize(0));
            continue;
        }
        engine::cfb::Storage storage;
        RETURN_IF_ENGINE_FAILED(root.openStorage(elementName, &storage));
        std::vector<engine::cfb::ElementStat> children;
        RETURN_IF_ENGINE_FAILED(storage.list(&children));
        for (const auto& child : children)
            RETURN_IF_ENGINE_FAILED(storage.remove(child.name));
    }
    return S_OK;
}

// Whether a root opened with `mode` reads the file's structure under the commit byte: a
// transacted root that others may be committing to.
[[nodiscard]] bool opensUnderCommitByte(DWORD mode) {
    const DWORD share = shareOf(mode);
    return isTransacted(mode) && (mode & STGM_NOSNAPSHOT) == 0 &&
           (share == STGM_SHARE_DENY_NONE || share == STGM_SHARE_DENY_READ);
}

[[nodiscard]] HRESULT openCompoundFile(const std::shared_ptr<LockBytesByteArray>& bytes, DWORD mode,
                                       SNB exclude,
                                       std::unique_ptr<engine::cfb::CompoundFile>* file) {
    const ComPtr<ILockBytes> lockBytes = bytes->lockBytes();
    CommitByte commitByte;
    if (opensUnderCommitByte(mode)) {
        RETURN_IF_FAILED(commitByte.acquire(lockBytes));
        // A root that others may commit to works on a copy of the document as the last
        // commit left it: later commits reuse the sectors of the state it reads, and what it
        // writes before its own commit would go to free sectors that another writer uses too.
        RETURN_IF_FAILED(bytes->takeSnapshot());
    }
    // Through the byte array, whose first read brings in the start of the file at once.
    std::array<std::uint8_t, kSignatureSize> signature{};
    std::size_t read = 0;
    RETURN_IF_ENGINE_FAILED(bytes->readAt(0, signature.data(), kSignatureSize, &read));
    const bool isStorage =
        read == kSignatureSize &&
        std::memcmp(signature.data(), engine::cfb::headerSignature.data(), kSignatureSize) == 0;
    RETURN_HR_IF(STG_E_FILEALREADYEXISTS, !isStorage);
    const bool needsWrites = canWrite(mode) || exclude != nullptr;
    RETURN_IF_ENGINE_FAILED(engine::cfb::CompoundFile::open(
        bytes, needsWrites ? engine::cfb::OpenMode::readWrite : engine::cfb::OpenMode::readOnly,
        file));
    return S_OK;
}

// A new, empty compound file on `bytes`. What the bytes held goes at once in direct mode; in
// transacted mode the new file lives in memory until the root commits.
[[nodiscard]] HRESULT createCompoundFile(const std::shared_ptr<LockBytesByteArray>& bytes,
                                         DWORD mode, engine::cfb::Version version,
                                         std::unique_ptr<engine::cfb::CompoundFile>* file) {
    std::uint64_t size = 0;
    RETURN_IF_ENGINE_FAILED(bytes->size(&size));
    if (size != 0) {
        if (isTransacted(mode))
            bytes->stageInMemory();
        else
            RETURN_IF_ENGINE_FAILED(bytes->setSize(0));
    }
    RETURN_IF_ENGINE_FAILED(engine::cfb::CompoundFile::create(bytes, version, file));
    return S_OK;
}

// Opens or creates the compound file on `lockBytes` and wraps its root, which keeps `locks`
// (those of a file of the root's own) until it is released.
[[nodiscard]] HRESULT rootOnLockBytes(const ComPtr<ILockBytes>& lockBytes, DWORD mode,
                                      Access access, engine::cfb::Version version, SNB exclude,
                                      std::unique_ptr<ShareLocks> locks, RootDetails details,
                                      IStorage** storage) {
    *storage = nullptr;
    auto bytes = std::make_shared<LockBytesByteArray>(lockBytes);
    if (details.file)
        bytes->setGrowsWithZeros();
    // The file's share flags keep every other writer out.
    if (shareOf(mode) == STGM_SHARE_EXCLUSIVE || shareOf(mode) == STGM_SHARE_DENY_WRITE)
        bytes->setUnchangedByOthers();
    std::unique_ptr<engine::cfb::CompoundFile> file;
    if (access == Access::create)
        RETURN_IF_FAILED(createCompoundFile(bytes, mode, version, &file));
    else
        RETURN_IF_FAILED(openCompoundFile(bytes, mode, exclude, &file));
    const bool commitsOnChange = !isTransacted(mode) && canWrite(mode);
    auto document = std::make_shared<Document>(bytes, std::move(file), commitsOnChange);
    document->adoptShareLocks(std::move(locks));
    if (isSingleWriter(mode))
        document->requireWriteAccess();
    const bool othersMayWrite =
        shareOf(mode) == STGM_SHARE_DENY_NONE || shareOf(mode) == STGM_SHARE_DENY_READ;
    if (isTransacted(mode) && canWrite(mode) && othersMayWrite)
        RETURN_IF_FAILED(document->guardAgainstOtherWriters());
    if (exclude)
        RETURN_IF_FAILED(excludeElements(*document, exclude));
    details.lockBytes = lockBytes;
    details.simpleMode = (mode & STGM_SIMPLE) != 0;
    return StorageObject::createRoot(std::move(document), mode, std::move(details), storage);
}

[[nodiscard]] HRESULT temporaryFileName(std::wstring* path) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    RETURN_HR_IF(STG_E_PATHNOTFOUND, length == 0 || length > MAX_PATH);
    wchar_t name[MAX_PATH + 1];
    if (GetTempFileNameW(folder, kTemporaryPrefix, 0, name) == 0)
        return fileErrorToHresult(GetLastError());
    *path = name;
    return S_OK;
}

// The former contents of a file being converted, or an empty optional when it does not exist.
[[nodiscard]] HRESULT readWholeFile(const std::wstring& path, bool* exists,
                                    std::vector<std::uint8_t>* contents) {
    *exists = false;
    contents->clear();
    support::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return S_OK;
        return fileErrorToHresult(error);
    }
    LARGE_INTEGER size{};
    RETURN_HR_IF(STG_E_READFAULT, !GetFileSizeEx(file.get(), &size));
    RETURN_HR_IF(STG_E_INSUFFICIENTMEMORY, size.QuadPart > 0x7FFFFFFF);
    contents->resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!contents->empty() && !ReadFile(file.get(), contents->data(),
                                        static_cast<DWORD>(contents->size()), &read, nullptr))
        return STG_E_READFAULT;
    *exists = true;
    return S_OK;
}

[[nodiscard]] HRESULT writeConvertedContents(IStorage* storage,
                                             const std::vector<std::uint8_t>& contents) {
    ComPtr<IStream> stream;
    RETURN_IF_FAILED(storage->CreateStream(
        kConvertedStreamName, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put()));
    ULONG written = 0;
    if (!contents.empty())
        RETURN_IF_FAILED(
            stream->Write(contents.data(), static_cast<ULONG>(contents.size()), &written));
    return S_OK;
}

// StgCreateDocfile and StgCreateStorageEx on a file name.
[[nodiscard]] HRESULT createRootFile(const WCHAR* name, DWORD mode, engine::cfb::Version version,
                                     SECURITY_ATTRIBUTES* security, IStorage** storage) {
    RETURN_IF_FAILED(checkMode(mode, ModeUse::createRoot));
    std::wstring path;
    bool temporary = false;
    if (name == nullptr) {
        RETURN_IF_FAILED(temporaryFileName(&path));
        temporary = true;
    } else {
        RETURN_IF_FAILED(fullFilePath(name, &path));
    }
    std::vector<std::uint8_t> former;
    bool converting = false;
    if (mode & STGM_CONVERT)
        RETURN_IF_FAILED(readWholeFile(path, &converting, &former));
    const FileDisposition disposition = temporary || (mode & (STGM_CREATE | STGM_CONVERT))
                                            ? FileDisposition::openOrCreate
                                            : FileDisposition::createNew;
    ComPtr<FileLockBytes> file;
    RETURN_IF_FAILED(FileLockBytes::open(path, mode, disposition, security, &file));
    const ComPtr<ILockBytes> lockBytes(static_cast<ILockBytes*>(file.get()));
    // The roots open on the file have their say before anything of it is replaced.
    std::unique_ptr<ShareLocks> locks;
    RETURN_IF_FAILED(ShareLocks::acquire(lockBytes, mode, &locks));
    if (isSingleWriter(mode)) {
        // The single writer that creates the file writes it at once: no reader may be open.
        const HRESULT access = locks->takeWriteAccess(0);
        RETURN_HR_IF(STG_E_LOCKVIOLATION, access == STG_E_INUSE);
        RETURN_IF_FAILED(access);
    }
    RootDetails details;
    details.fileName = path;
    details.deleteOnRelease = temporary || (mode & STGM_DELETEONRELEASE) != 0;
    details.file = std::move(file);
    RETURN_IF_FAILED(rootOnLockBytes(lockBytes, mode, Access::create, version, nullptr,
                                     std::move(locks), std::move(details), storage));
    if (!converting)
        return S_OK;
    const HRESULT hr = writeConvertedContents(*storage, former);
    if (FAILED(hr)) {
        (*storage)->Release();
        *storage = nullptr;
        return hr;
    }
    return STG_S_CONVERTED;
}

[[nodiscard]] HRESULT openRootFile(const WCHAR* name, DWORD mode, SNB exclude, IStorage** storage) {
    RETURN_IF_FAILED(checkMode(mode, ModeUse::openRoot));
    RETURN_HR_IF(STG_E_INVALIDFLAG, exclude != nullptr && !isTransacted(mode));
    std::wstring path;
    RETURN_IF_FAILED(fullFilePath(name, &path));
    ComPtr<FileLockBytes> file;
    RETURN_IF_FAILED(
        FileLockBytes::open(path, mode, FileDisposition::openExisting, nullptr, &file));
#ifdef Z64STG_DISK_FULL
    // A disk with no room left: what is opened may be rewritten but never grow.
    file->refuseGrowth();
#endif
    const ComPtr<ILockBytes> lockBytes(static_cast<ILockBytes*>(file.get()));
    std::unique_ptr<ShareLocks> locks;
    RETURN_IF_FAILED(ShareLocks::acquire(lockBytes, mode, &locks));
    RootDetails details;
    details.fileName = path;
    details.file = std::move(file);
    return rootOnLockBytes(lockBytes, mode, Access::read, engine::cfb::Version::v3, exclude,
                           std::move(locks), std::move(details), storage);
}

// The name of a root storage, for reopening it (the pstgPriority parameter).
[[nodiscard]] HRESULT takePriorityName(IStorage* priority, std::wstring* name) {
    STATSTG stat{};
    RETURN_IF_FAILED(priority->Stat(&stat, STATFLAG_DEFAULT));
    const support::UniqueTaskString statName(stat.pwcsName);
    if (statName)
        *name = statName.get();
    priority->Release();
    RETURN_HR_IF(STG_E_INVALIDNAME, name->empty());
    return S_OK;
}

[[nodiscard, maybe_unused]] HRESULT checkCreateOptions(const STGOPTIONS* options,
                                                       engine::cfb::Version* version) {
    *version = engine::cfb::Version::v3;
    if (!options)
        return S_OK;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER,
                 options->usVersion > kNewestOptionsVersion || options->reserved != 0);
    if (options->usVersion == 0)
        return S_OK;
    if (options->ulSectorSize == kLargeSectorSize)
        *version = engine::cfb::Version::v4;
    else
        RETURN_HR_IF(STG_E_INVALIDPARAMETER, options->ulSectorSize != kSmallSectorSize);
    return S_OK;
}

[[nodiscard, maybe_unused]] HRESULT checkFormat(DWORD format, bool creating) {
    switch (format) {
    case STGFMT_STORAGE:
    case STGFMT_DOCFILE:
        return S_OK;
    case STGFMT_ANY:
        return creating ? STG_E_INVALIDPARAMETER : S_OK;
    default:
        // Flat files and native structured storage are not offered.
        return STG_E_INVALIDPARAMETER;
    }
}

[[nodiscard, maybe_unused]] HRESULT checkAttributes(DWORD attributes) {
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, attributes != 0 && attributes != FILE_FLAG_NO_BUFFERING);
    return S_OK;
}

} // namespace
} // namespace provider

using namespace provider;

extern "C" {

HRESULT WINAPI providerStgIsStorageFile(const WCHAR* name) {
    RETURN_HR_IF(STG_E_INVALIDNAME, name == nullptr || *name == L'\0');
    std::wstring path;
    RETURN_IF_FAILED(fullFilePath(name, &path));
    support::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return fileErrorToHresult(GetLastError());
    std::array<std::uint8_t, kSignatureSize> signature{};
    DWORD read = 0;
    RETURN_HR_IF(STG_E_READFAULT,
                 !ReadFile(file.get(), signature.data(), kSignatureSize, &read, nullptr));
    const bool isStorage =
        read == kSignatureSize &&
        std::memcmp(signature.data(), engine::cfb::headerSignature.data(), kSignatureSize) == 0;
    return isStorage ? S_OK : S_FALSE;
}

HRESULT WINAPI providerStgIsStorageILockBytes(ILockBytes* lockBytes) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, lockBytes);
    bool isStorage = false;
    RETURN_IF_FAILED(readSignature(lockBytes, &isStorage));
    return isStorage ? S_OK : S_FALSE;
}

HRESULT WINAPI providerStgCreateDocfile(const WCHAR* name, DWORD mode, DWORD reserved,
                                        IStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved != 0);
    return createRootFile(name, mode, engine::cfb::Version::v3, nullptr, storage);
}

HRESULT WINAPI providerStgCreateDocfileOnILockBytes(ILockBytes* lockBytes, DWORD mode,
                                                    DWORD reserved, IStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, lockBytes);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved != 0);
    RETURN_IF_FAILED(checkMode(mode & ~STGM_DELETEONRELEASE, ModeUse::createRoot));
    STATSTG stat{};
    RETURN_IF_FAILED(lockBytes->Stat(&stat, STATFLAG_NONAME));
    RETURN_HR_IF(STG_E_FILEALREADYEXISTS,
                 stat.cbSize.QuadPart != 0 && !(mode & (STGM_CREATE | STGM_CONVERT)));
    return rootOnLockBytes(ComPtr<ILockBytes>(lockBytes), mode & ~STGM_DELETEONRELEASE,
                           Access::create, engine::cfb::Version::v3, nullptr, nullptr,
                           RootDetails{}, storage);
}

HRESULT WINAPI providerStgOpenStorage(const WCHAR* name, IStorage* priority, DWORD mode,
                                      SNB exclude, DWORD reserved, IStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved != 0);
    std::wstring priorityName;
    if (priority) {
        RETURN_IF_FAILED(takePriorityName(priority, &priorityName));
        name = priorityName.c_str();
        mode &= ~STGM_PRIORITY;
    }
    RETURN_HR_IF(STG_E_INVALIDNAME, name == nullptr);
    return openRootFile(name, mode, exclude, storage);
}

HRESULT WINAPI providerStgOpenStorageOnILockBytes(ILockBytes* lockBytes, IStorage* priority,
                                                  DWORD mode, SNB exclude, DWORD reserved,
                                                  IStorage** storage) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, storage);
    *storage = nullptr;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, lockBytes);
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved != 0 || priority != nullptr);
    RETURN_IF_FAILED(checkMode(mode, ModeUse::openRoot));
    RETURN_HR_IF(STG_E_INVALIDFLAG, exclude != nullptr && !isTransacted(mode));
    return rootOnLockBytes(ComPtr<ILockBytes>(lockBytes), mode, Access::read,
                           engine::cfb::Version::v3, exclude, nullptr, RootDetails{}, storage);
}

#ifndef Z64STG_EX_ANSWER

HRESULT WINAPI providerStgCreateStorageEx(const WCHAR* name, DWORD mode, DWORD format,
                                          DWORD attributes, STGOPTIONS* options,
                                          PSECURITY_DESCRIPTOR securityDescriptor, REFIID riid,
                                          void** object) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, object);
    *object = nullptr;
    RETURN_IF_FAILED(checkFormat(format, true));
    RETURN_IF_FAILED(checkAttributes(attributes));
    RETURN_IF_FAILED(checkInterface(riid));
    engine::cfb::Version version = engine::cfb::Version::v3;
    RETURN_IF_FAILED(checkCreateOptions(options, &version));
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), securityDescriptor, FALSE};
    IStorage* storage = nullptr;
    const HRESULT created =
        createRootFile(name, mode, version, securityDescriptor ? &security : nullptr, &storage);
    RETURN_IF_FAILED(created);
    RETURN_IF_FAILED(queryResult(storage, riid, object));
    return created;
}

HRESULT WINAPI providerStgOpenStorageEx(const WCHAR* name, DWORD mode, DWORD format,
                                        DWORD attributes, STGOPTIONS* options, void* reserved,
                                        REFIID riid, void** object) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, object);
    *object = nullptr;
    RETURN_HR_IF(STG_E_INVALIDNAME, name == nullptr);
    RETURN_IF_FAILED(checkFormat(format, false));
    RETURN_IF_FAILED(checkAttributes(attributes));
    RETURN_HR_IF(STG_E_INVALIDPARAMETER, reserved != nullptr);
    RETURN_IF_FAILED(checkInterface(riid));
    if (options)
        RETURN_HR_IF(STG_E_INVALIDPARAMETER,
                     options->usVersion > kNewestOptionsVersion || options->reserved != 0);
    IStorage* storage = nullptr;
    RETURN_IF_FAILED(openRootFile(name, mode, nullptr, &storage));
    return queryResult(storage, riid, object);
}

#else

// Builds of the provider for tests of callers that must cope with a provider whose newer
// entry points exist but give the one answer Z64STG_EX_ANSWER to every call: E_NOTIMPL or
// STG_E_UNIMPLEMENTEDFUNCTION for an older system, any other failure for a provider that
// callers must not work around.
HRESULT WINAPI providerStgCreateStorageEx(const WCHAR*, DWORD, DWORD, DWORD, STGOPTIONS*,
                                          PSECURITY_DESCRIPTOR, REFIID, void** object) {
    if (object)
        *object = nullptr;
    return Z64STG_EX_ANSWER;
}

HRESULT WINAPI providerStgOpenStorageEx(const WCHAR*, DWORD, DWORD, DWORD, STGOPTIONS*, void*,
                                        REFIID, void** object) {
    if (object)
        *object = nullptr;
    return Z64STG_EX_ANSWER;
}

#endif

} // extern "C"
