// Detecting, creating and opening compound files by narrow or wide path.
//
// Narrow paths are converted from the ANSI code page and passed to the wide forms. The
// detection functions give paths of 260 characters or more to the provider in their short
// form; creating and opening give every name the provider's own long-path form. The newer
// entry points of the provider are found at run time, with the classic ones as fall-back,
// and opening waits out a file that someone else holds.
#include "storage/storage_provider.h"

#include <d64avor.h>
#include <support/result_macros.h>
#include <z64eveze.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr DWORD kCreateMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr size_t kWidePathCapacity = 1024;
constexpr size_t kLongPathThreshold = MAX_PATH;
constexpr ULONG kSectorSize = 4096;
constexpr int kHeldStorageAttempts = 10;
constexpr DWORD kHeldStorageRetryMilliseconds = 100;
// A narrow path that does not fit the conversion buffer is refused rather than cut, since
// a cut path names another file.
constexpr HRESULT kPathTooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

// A narrow path as UTF-16 in a zero-filled buffer of 1024 characters.
class WidePath {
public:
    explicit WidePath(const char* path) {
        if (!path)
            return;
        const size_t length = std::strlen(path);
        if (length >= kWidePathCapacity) {
            tooLong_ = true;
            return;
        }
        MultiByteToWideChar(CP_ACP, 0, path, -1, text_, static_cast<int>(length + 1));
    }
    [[nodiscard]] bool tooLong() const { return tooLong_; }
    [[nodiscard]] const wchar_t* get() const { return text_; }

private:
    wchar_t text_[kWidePathCapacity] = {};
    bool tooLong_ = false;
};

// The name the detection functions give the provider: a long path in its short form, in a
// zero-filled buffer of MAX_PATH characters that stays empty when no short form fits.
class DetectionName {
public:
    explicit DetectionName(const wchar_t* path) {
        if (std::wcslen(path) < kLongPathThreshold) {
            name_ = path;
            return;
        }
        const CStringW longPath = MakeLongPath(path);
        GetShortPathNameW(longPath, shortName_, MAX_PATH);
        name_ = shortName_;
    }
    [[nodiscard]] const wchar_t* get() const { return name_; }

private:
    wchar_t shortName_[MAX_PATH] = {};
    const wchar_t* name_ = shortName_;
};

bool isHeldByOthers(HRESULT hr) {
    return hr == STG_E_ACCESSDENIED || hr == STG_E_SHAREVIOLATION || hr == STG_E_LOCKVIOLATION;
}

bool isUnimplemented(HRESULT hr) {
    return hr == E_NOTIMPL || hr == STG_E_UNIMPLEMENTEDFUNCTION;
}

// Calls `attempt` up to ten times, 100 ms apart, while the file is held by someone else.
template <typename Attempt>
HRESULT retryWhileHeld(Attempt attempt) {
    HRESULT hr = attempt();
    for (int made = 1; isHeldByOthers(hr) && made < kHeldStorageAttempts; ++made) {
        Sleep(kHeldStorageRetryMilliseconds);
        hr = attempt();
    }
    return hr;
}

// The storage options of every call, filled afresh: version 1, 4096-byte sectors.
STGOPTIONS documentOptions() {
    STGOPTIONS options{};
    options.usVersion = 1;
    options.reserved = 0;
    options.ulSectorSize = kSectorSize;
    options.pwcsTemplateFile = nullptr;
    return options;
}

HRESULT isStorageFile(const wchar_t* path) {
    const auto isStorage = z64::storage::providerEntry<z64::storage::StgIsStorageFileFunction>(
        z64::storage::storageProvider(), "StgIsStorageFile");
    RETURN_HR_IF_NULL(E_FAIL, isStorage);
    const DetectionName name(path);
    return isStorage(name.get());
}

// One attempt to open: the newer entry point when there is one, else (or when it is not
// implemented) the classic one with the same path and mode.
HRESULT openOnce(HMODULE provider, z64::storage::StgOpenStorageExFunction openEx,
                 const wchar_t* path, DWORD mode, IStorage** storage) {
    if (openEx) {
        STGOPTIONS options = documentOptions();
        const HRESULT hr = openEx(MakeStgFilePath(path), mode, STGFMT_DOCFILE, 0, &options, nullptr,
                                  IID_IStorage, reinterpret_cast<void**>(storage));
        if (!isUnimplemented(hr))
            return hr;
    }
    const auto open = z64::storage::providerEntry<z64::storage::StgOpenStorageFunction>(
        provider, "StgOpenStorage");
    RETURN_HR_IF_NULL(E_FAIL, open);
    return open(MakeStgFilePath(path), nullptr, mode, nullptr, 0, storage);
}

} // namespace

Z64EVEZE_API long QVStgIsStorageFileW(const wchar_t* path) {
    RETURN_HR_IF_NULL(E_POINTER, path);
    return isStorageFile(path);
}

Z64EVEZE_API long QVStgIsStorageFile(const char* path) {
    const WidePath wide(path);
    RETURN_HR_IF(kPathTooLong, wide.tooLong());
    return QVStgIsStorageFileW(wide.get());
}

Z64EVEZE_API long QVStgIsStorageFileExW(const wchar_t* path) {
    RETURN_HR_IF_NULL(E_POINTER, path);
    return retryWhileHeld([path] { return isStorageFile(path); });
}

Z64EVEZE_API long QVStgIsStorageFileEx(const char* path) {
    RETURN_HR_IF_NULL(E_POINTER, path);
    const WidePath wide(path);
    RETURN_HR_IF(kPathTooLong, wide.tooLong());
    return QVStgIsStorageFileExW(wide.get());
}

Z64EVEZE_API long QVStgCreateStorageW(const wchar_t* path, IStorage** storage) {
    RETURN_HR_IF_NULL(E_POINTER, storage);
    RETURN_HR_IF_NULL(E_POINTER, path);
    const HMODULE provider = z64::storage::storageProvider();
    RETURN_HR_IF_NULL(E_FAIL, provider);
    if (const auto createEx = z64::storage::providerEntry<z64::storage::StgCreateStorageExFunction>(
            provider, "StgCreateStorageEx")) {
        STGOPTIONS options = documentOptions();
        const HRESULT hr = createEx(MakeStgFilePath(path), kCreateMode, STGFMT_DOCFILE, 0, &options,
                                    nullptr, IID_IStorage, reinterpret_cast<void**>(storage));
        if (!isUnimplemented(hr))
            return hr;
    }
    const auto create = z64::storage::providerEntry<z64::storage::StgCreateDocfileFunction>(
        provider, "StgCreateDocfile");
    RETURN_HR_IF_NULL(E_FAIL, create);
    return create(MakeStgFilePath(path), kCreateMode, 0, storage);
}

Z64EVEZE_API long QVStgCreateStorage(const char* path, IStorage** storage) {
    RETURN_HR_IF_NULL(E_POINTER, storage);
    const WidePath wide(path);
    RETURN_HR_IF(kPathTooLong, wide.tooLong());
    return QVStgCreateStorageW(wide.get(), storage);
}

Z64EVEZE_API long QVStgOpenStorageW(const wchar_t* path, IStorage** storage, unsigned long mode) {
    RETURN_HR_IF_NULL(E_POINTER, storage);
    RETURN_HR_IF_NULL(E_POINTER, path);
    const HMODULE provider = z64::storage::storageProvider();
    RETURN_HR_IF_NULL(E_FAIL, provider);
    // Looked up once, before the first attempt.
    const auto openEx = z64::storage::providerEntry<z64::storage::StgOpenStorageExFunction>(
        provider, "StgOpenStorageEx");
    return retryWhileHeld([&] { return openOnce(provider, openEx, path, mode, storage); });
}

Z64EVEZE_API long QVStgOpenStorage(const char* path, IStorage** storage, unsigned long mode) {
    RETURN_HR_IF_NULL(E_POINTER, storage);
    const WidePath wide(path);
    RETURN_HR_IF(kPathTooLong, wide.tooLong());
    return QVStgOpenStorageW(wide.get(), storage, mode);
}
