#include "storage_test_support.h"

#include <storage_views.h>

#include <support/task_memory.h>

#include <gtest/gtest.h>

namespace storage_test {
namespace {

constexpr DWORD kCreateMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kStreamMode = STGM_SHARE_EXCLUSIVE | STGM_READWRITE;

template <typename Function>
Function providerEntry(const char* name) {
    HMODULE provider = GetModuleHandleA("z64STG.dll");
    EXPECT_NE(provider, nullptr) << "the storage provider is not loaded";
    return provider
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(provider, name)))
               : nullptr;
}

} // namespace

support::ComPtr<IStorage> createDocument(const std::wstring& path) {
    using Create = HRESULT(WINAPI*)(const WCHAR*, DWORD, DWORD, IStorage**);
    support::ComPtr<IStorage> storage;
    if (const auto create = providerEntry<Create>("StgCreateDocfile")) {
        EXPECT_EQ(create(path.c_str(), kCreateMode, 0, storage.put()), S_OK);
    }
    return storage;
}

support::ComPtr<IStorage> openDocument(const std::wstring& path, DWORD mode) {
    using Open = HRESULT(WINAPI*)(const WCHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**);
    support::ComPtr<IStorage> storage;
    if (const auto open = providerEntry<Open>("StgOpenStorage"))
        open(path.c_str(), nullptr, mode, nullptr, 0, storage.put());
    return storage;
}

support::ComPtr<IPropertyStorage> propertySet(IStorage* storage, REFFMTID format) {
    support::ComPtr<IPropertySetStorage> sets;
    EXPECT_EQ(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid()), S_OK);
    support::ComPtr<IPropertyStorage> set;
    if (sets && FAILED(sets->Open(format, kStreamMode, set.put()))) {
        EXPECT_EQ(sets->Create(format, nullptr, PROPSETFLAG_DEFAULT, kCreateMode, set.put()), S_OK);
    }
    return set;
}

std::string streamContent(IStorage* storage, const wchar_t* name) {
    return storage_views::streamBytes(storage, name).value_or("<missing>");
}

std::string documentStream(const std::wstring& path) {
    const support::ComPtr<IStorage> document = openDocument(path, STGM_READ | STGM_SHARE_EXCLUSIVE);
    return document ? streamContent(document.get(), L"QuorvaneDocument") : "<cannot open>";
}

void writeStream(IStorage* storage, const wchar_t* name, const std::string& content) {
    support::ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(name, kCreateMode, 0, 0, stream.put()), S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write(content.data(), static_cast<ULONG>(content.size()), &written), S_OK);
}

std::vector<std::pair<PROPID, std::wstring>> listedProperties(IPropertyStorage* set) {
    std::vector<std::pair<PROPID, std::wstring>> names;
    support::ComPtr<IEnumSTATPROPSTG> entries;
    EXPECT_EQ(set->Enum(entries.put()), S_OK);
    STATPROPSTG entry{};
    while (entries && entries->Next(1, &entry, nullptr) == S_OK) {
        const support::UniqueTaskString name(entry.lpwstrName);
        names.emplace_back(entry.propid, name ? name.get() : L"");
    }
    return names;
}

} // namespace storage_test
