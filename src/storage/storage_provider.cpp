#include "storage/storage_provider.h"

namespace z64::storage {
namespace {

HMODULE g_loadedProvider = nullptr;

} // namespace

void loadStorageProvider() {
    g_loadedProvider = LoadLibraryA(kStorageProviderName);
}

void releaseStorageProvider() {
    if (g_loadedProvider)
        FreeLibrary(g_loadedProvider);
    g_loadedProvider = nullptr;
}

HMODULE storageProvider() {
    return GetModuleHandleA(kStorageProviderName);
}

HRESULT isStorageILockBytes(ILockBytes* bytes) {
    const auto isStorage =
        providerEntry<StgIsStorageILockBytesFunction>(storageProvider(), "StgIsStorageILockBytes");
    return isStorage ? isStorage(bytes) : E_FAIL;
}

HRESULT openStorageOnILockBytes(ILockBytes* bytes, DWORD mode, IStorage** storage) {
    const auto open = providerEntry<StgOpenStorageOnILockBytesFunction>(
        storageProvider(), "StgOpenStorageOnILockBytes");
    return open ? open(bytes, nullptr, mode, nullptr, 0, storage) : E_FAIL;
}

} // namespace z64::storage
