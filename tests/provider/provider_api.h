// The Stg* functions of one structured-storage implementation, found with GetProcAddress:
// the provider (z64STG.dll) or Wine's ole32, so that tests can run the same case against
// both and compare.
#pragma once

#include <com_ptr.h>
#include <test_support.h>

#include <objbase.h>
#include <propidl.h>

#include <string>
#include <vector>

namespace provider_test {

using provider::ComPtr;

struct StorageApi {
    const char* label = "";
    HMODULE module = nullptr;
    decltype(&StgCreateDocfile) createDocfile = nullptr;
    decltype(&StgCreateDocfileOnILockBytes) createDocfileOnLockBytes = nullptr;
    decltype(&StgOpenStorage) openStorage = nullptr;
    decltype(&StgOpenStorageOnILockBytes) openStorageOnLockBytes = nullptr;
    decltype(&StgIsStorageFile) isStorageFile = nullptr;
    decltype(&StgIsStorageILockBytes) isStorageLockBytes = nullptr;
    decltype(&StgCreateStorageEx) createStorageEx = nullptr;
    decltype(&StgOpenStorageEx) openStorageEx = nullptr;
};

// z64STG.dll from the program's folder (or `folder` when given).
const StorageApi& providerApi();
StorageApi loadProvider(const std::wstring& dllPath);
// Wine's ole32.
const StorageApi& ole32Api();

// Short forms for the common cases.
constexpr DWORD kCreateMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kReadWriteMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kReadMode = STGM_READ | STGM_SHARE_EXCLUSIVE;

ComPtr<IStorage> createDocument(const StorageApi& api, const std::wstring& path,
                                DWORD mode = kCreateMode);
ComPtr<IStorage> openDocument(const StorageApi& api, const std::wstring& path,
                              DWORD mode = kReadWriteMode);
void writeStream(IStorage* storage, const wchar_t* name, const std::string& bytes);
std::string readStream(IStorage* storage, const wchar_t* name);
std::string readAll(IStream* stream);
// The names of a storage's children, in enumeration order, with a type mark: "s:" for a
// stream, "d:" for a storage.
std::vector<std::wstring> listElements(IStorage* storage);
using test_support::patternBytes;

// A property named by identifier or by name.
PROPSPEC byId(PROPID id);
PROPSPEC byName(const wchar_t* name);

} // namespace provider_test
