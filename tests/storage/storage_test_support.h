// Documents for the storage tests, made through the storage provider the library loads.
#pragma once

#include "test_support.h"

#include <support/com_ptr.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace storage_test {

// The property argument of the property functions: an identifier, or a name.
inline void* byId(PROPID id) {
    return reinterpret_cast<void*>(static_cast<ULONG_PTR>(id));
}
inline void* named(const wchar_t* name) {
    return const_cast<wchar_t*>(name);
}

// A new compound file (replacing any file of that name), open read-write and exclusive.
support::ComPtr<IStorage> createDocument(const std::wstring& path);
// An existing compound file opened with `mode`; null when it cannot be opened.
support::ComPtr<IStorage> openDocument(const std::wstring& path, DWORD mode);

// The property set `format` of a storage, created when missing.
support::ComPtr<IPropertyStorage> propertySet(IStorage* storage, REFFMTID format);

// A stream's whole content; "<missing>" when it cannot be opened.
std::string streamContent(IStorage* storage, const wchar_t* name);
void writeStream(IStorage* storage, const wchar_t* name, const std::string& content);
// The stream "QuorvaneDocument" of the document at `path`, opened for reading only while it
// is read; "<cannot open>" when the document cannot be opened.
std::string documentStream(const std::wstring& path);

// The identifiers and names of the properties a set lists, in its order (empty names for
// unnamed ones).
std::vector<std::pair<PROPID, std::wstring>> listedProperties(IPropertyStorage* set);

// A temporary folder holding a new document "doc.cfs", open read-write and exclusive.
class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        document_ = createDocument(folder_.file(L"doc.cfs"));
        ASSERT_TRUE(document_);
    }
    test_support::TemporaryDirectory folder_;
    support::ComPtr<IStorage> document_;
};

} // namespace storage_test
