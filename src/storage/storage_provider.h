// The structured-storage provider, z64STG.dll: the library's only implementation of
// compound files, with ole32's entry points under ole32's names.
//
// The provider is loaded when the library attaches to the process and freed at detach.
// Every call looks the module up by name (never loading it) and finds its entry points at
// run time, so that a process may run with a provider that lacks the newer ones.
#pragma once

#include "common/module_entry.h"

#include <objbase.h>

namespace z64::storage {

inline constexpr char kStorageProviderName[] = "z64STG.dll";

void loadStorageProvider();
void releaseStorageProvider();

// The provider's module when it is present in the process, else null.
[[nodiscard]] HMODULE storageProvider();

// An entry point of the provider, or null when the provider or the name is missing.
template <typename Function>
[[nodiscard]] Function providerEntry(HMODULE provider, const char* name) {
    return common::moduleEntry<Function>(provider, name);
}

using StgIsStorageFileFunction = HRESULT(WINAPI*)(const WCHAR* name);
using StgIsStorageILockBytesFunction = HRESULT(WINAPI*)(ILockBytes* bytes);
using StgCreateDocfileFunction = HRESULT(WINAPI*)(const WCHAR* name, DWORD mode, DWORD reserved,
                                                  IStorage** storage);
using StgCreateStorageExFunction = HRESULT(WINAPI*)(const WCHAR* name, DWORD mode, DWORD format,
                                                    DWORD attributes, STGOPTIONS* options,
                                                    PSECURITY_DESCRIPTOR security, REFIID iid,
                                                    void** object);
using StgOpenStorageFunction = HRESULT(WINAPI*)(const WCHAR* name, IStorage* priority, DWORD mode,
                                                SNB exclude, DWORD reserved, IStorage** storage);
using StgOpenStorageExFunction = HRESULT(WINAPI*)(const WCHAR* name, DWORD mode, DWORD format,
                                                  DWORD attributes, STGOPTIONS* options,
                                                  PSECURITY_DESCRIPTOR security, REFIID iid,
                                                  void** object);
using StgOpenStorageOnILockBytesFunction = HRESULT(WINAPI*)(ILockBytes* bytes, IStorage* priority,
                                                            DWORD mode, SNB exclude, DWORD reserved,
                                                            IStorage** storage);

// The provider's answers for lock bytes; E_FAIL when it is missing.
[[nodiscard]] HRESULT isStorageILockBytes(ILockBytes* bytes);
[[nodiscard]] HRESULT openStorageOnILockBytes(ILockBytes* bytes, DWORD mode, IStorage** storage);

} // namespace z64::storage
