// Documents for the storage tests, made through the storage provider the library loads.
#pragma once

#include "test_support.h"

#include <support/com_ptr.h>

#include <objbase.h>

#include <string>

namespace storage_test {

// A new compound file (replacing any file of that name), open read-write and exclusive.
support::ComPtr<IStorage> createDocument(const std::wstring& path);
// An existing compound file opened with `mode`; null when it cannot be opened.
support::ComPtr<IStorage> openDocument(const std::wstring& path, DWORD mode);

// The property set `format` of a storage, created when missing.
support::ComPtr<IPropertyStorage> propertySet(IStorage* storage, REFFMTID format);

// A stream's whole content; "<missing>" when it cannot be opened.
std::string streamContent(IStorage* storage, const wchar_t* name);
void writeStream(IStorage* storage, const wchar_t* name, const std::string& content);

} // namespace storage_test
