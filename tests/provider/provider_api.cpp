#include "provider_api.h"

#include <stdexcept>

namespace provider_test {
namespace {

template <typename Function>
void bind(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

StorageApi bindAll(const char* label, HMODULE module) {
    StorageApi api;
    api.label = label;
    api.module = module;
    bind(module, "StgCreateDocfile", &api.createDocfile);
    bind(module, "StgCreateDocfileOnILockBytes", &api.createDocfileOnLockBytes);
    bind(module, "StgOpenStorage", &api.openStorage);
    bind(module, "StgOpenStorageOnILockBytes", &api.openStorageOnLockBytes);
    bind(module, "StgIsStorageFile", &api.isStorageFile);
    bind(module, "StgIsStorageILockBytes", &api.isStorageLockBytes);
    bind(module, "StgCreateStorageEx", &api.createStorageEx);
    bind(module, "StgOpenStorageEx", &api.openStorageEx);
    return api;
}

} // namespace

StorageApi loadProvider(const std::wstring& dllPath) {
    HMODULE module = LoadLibraryExW(dllPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        throw std::runtime_error("cannot load the provider");
    return bindAll("provider", module);
}

const StorageApi& providerApi() {
    static const StorageApi api = loadProvider(test_support::programDirectory() + L"\\z64STG.dll");
    return api;
}

const StorageApi& ole32Api() {
    static const StorageApi api = bindAll("ole32", LoadLibraryW(L"ole32.dll"));
    return api;
}

ComPtr<IStorage> createDocument(const StorageApi& api, const std::wstring& path, DWORD mode) {
    ComPtr<IStorage> storage;
    const HRESULT hr = api.createDocfile(path.c_str(), mode, 0, storage.put());
    if (FAILED(hr))
        throw std::runtime_error("cannot create a document");
    return storage;
}

ComPtr<IStorage> createDocumentWithSectors(const std::wstring& path, ULONG sectorSize) {
    STGOPTIONS options{1, 0, sectorSize, nullptr};
    ComPtr<IStorage> storage;
    if (FAILED(providerApi().createStorageEx(path.c_str(), kCreateMode, STGFMT_DOCFILE, 0, &options,
                                             nullptr, IID_IStorage, storage.putVoid())))
        throw std::runtime_error("cannot create a document with those sectors");
    return storage;
}

ComPtr<IStorage> openDocument(const StorageApi& api, const std::wstring& path, DWORD mode) {
    ComPtr<IStorage> storage;
    const HRESULT hr = api.openStorage(path.c_str(), nullptr, mode, nullptr, 0, storage.put());
    if (FAILED(hr))
        throw std::runtime_error("cannot open a document");
    return storage;
}

void writeStream(IStorage* storage, const wchar_t* name, const std::string& bytes) {
    ComPtr<IStream> stream;
    if (FAILED(storage->CreateStream(name, kCreateMode, 0, 0, stream.put())))
        throw std::runtime_error("cannot create a stream");
    ULONG written = 0;
    if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) ||
        written != bytes.size())
        throw std::runtime_error("cannot write a stream");
}

std::string readAll(IStream* stream) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        ULONG read = 0;
        if (FAILED(stream->Read(buffer, sizeof buffer, &read)))
            throw std::runtime_error("cannot read a stream");
        if (read == 0)
            return bytes;
        bytes.append(buffer, read);
    }
}

std::string readStream(IStorage* storage, const wchar_t* name) {
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, nullptr, kReadMode, 0, stream.put())))
        throw std::runtime_error("cannot open a stream");
    return readAll(stream.get());
}

std::vector<std::wstring> listElements(IStorage* storage) {
    std::vector<std::wstring> names;
    ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, elements.put())))
        throw std::runtime_error("cannot enumerate");
    STATSTG stat;
    while (elements->Next(1, &stat, nullptr) == S_OK) {
        names.push_back((stat.type == STGTY_STREAM ? L"s:" : L"d:") + std::wstring(stat.pwcsName));
        CoTaskMemFree(stat.pwcsName);
    }
    return names;
}

PROPSPEC byId(PROPID id) {
    PROPSPEC selector;
    selector.ulKind = PRSPEC_PROPID;
    selector.propid = id;
    return selector;
}

PROPSPEC byName(const wchar_t* name) {
    PROPSPEC selector;
    selector.ulKind = PRSPEC_LPWSTR;
    selector.lpwstr = const_cast<wchar_t*>(name);
    return selector;
}

} // namespace provider_test
