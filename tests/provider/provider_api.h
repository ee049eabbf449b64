// The Stg* functions of one structured-storage implementation, found with GetProcAddress:
// the provider (z64STG.dll) or Wine's ole32, so that tests can run the same case against
// both and compare.
#pragma once

#include <com_ptr.h>
#include <test_support.h>

#include <gtest/gtest.h>

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

// z64STG.dll from the program's folder, and a provider DLL of the given path (a variant
// in a folder of its own finds its dependencies there).
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
// A document of the provider with sectors of that size (StgCreateStorageEx).
ComPtr<IStorage> createDocumentWithSectors(const std::wstring& path, ULONG sectorSize);
ComPtr<IStorage> openDocument(const StorageApi& api, const std::wstring& path,
                              DWORD mode = kReadWriteMode);
void writeStream(IStorage* storage, const wchar_t* name, const std::string& bytes);
std::string readStream(IStorage* storage, const wchar_t* name);
std::string readAll(IStream* stream);
// The names of a storage's children, in enumeration order, with a type mark: "s:" for a
// stream, "d:" for a storage.
using Names = std::vector<std::wstring>;
Names listElements(IStorage* storage);
using test_support::patternBytes;

// The set-up most tests share: a temporary folder, removed with everything in it, and the
// path of a document there.
class DocumentTest : public testing::Test {
protected:
    test_support::TemporaryDirectory folder;
    const std::wstring path = folder.file(L"document.stg");
};

// A PROPVARIANT of `type` holding `value` in the member that type uses (text is borrowed).
template <typename T>
PROPVARIANT valueOf(VARTYPE type, T PROPVARIANT::*member, T value) {
    PROPVARIANT variant{};
    variant.vt = type;
    variant.*member = value;
    return variant;
}

// A property named by identifier or by name.
PROPSPEC byId(PROPID id);
PROPSPEC byName(const wchar_t* name);

} // namespace provider_test
