// Documents made through the library's own functions, read by other software: Wine's ole32
// in this process, and python3-olefile and libgsf's gsf natively afterwards
// (check_documents.py reads the documents this test leaves in library-interop/ beside it).
#include "storage_test_support.h"

#include <support/com_ptr.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using support::ComPtr;

constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;

// The bytes check_documents.py expects: ((index * 7 + seed) & 0xFF).
std::string pattern(size_t count, unsigned seed) {
    std::string bytes(count, '\0');
    for (size_t index = 0; index < count; ++index)
        bytes[index] = static_cast<char>((index * 7 + seed) & 0xFF);
    return bytes;
}

std::wstring interopFolder() {
    const std::wstring folder = test_support::programDirectory() + L"\\library-interop";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void* propertyId(PROPID id) {
    return reinterpret_cast<void*>(static_cast<ULONG_PTR>(id));
}
void* propertyName(const wchar_t* name) {
    return const_cast<wchar_t*>(name);
}

// A document filled only through the library: a document stream, a packed file, summary
// information and user-defined properties.
void makeDocument(const std::wstring& path, const std::wstring& attachment) {
    ComPtr<IStorage> storage;
    ASSERT_EQ(QVStgCreateStorageW(path.c_str(), storage.put()), S_OK);
    ComPtr<IStream> body;
    ASSERT_EQ(QVStgOpenStream(storage.get(), L"QuorvaneDocument", body.put()), S_OK);
    const std::string flat = "X8.99" + pattern(3000, 1);
    ULONG written = 0;
    ASSERT_EQ(body->Write(flat.data(), static_cast<ULONG>(flat.size()), &written), S_OK);
    body.reset();
    test_support::writeFile(attachment, pattern(2500, 2));
    ASSERT_EQ(QVStgPackFile(storage.get(), L"Attachment", test_support::narrow(attachment).c_str()),
              0);

    ComPtr<IPropertyStorage> summary;
    ASSERT_EQ(QVStgOpenPropertyStorage(storage.get(), FMTID_SummaryInformation, summary.put()),
              S_OK);
    EXPECT_EQ(QVStgWriteProperty(summary.get(), propertyId(PIDSI_TITLE), L"Quarterly ledger"),
              S_OK);
    EXPECT_EQ(QVStgWriteProperty(summary.get(), propertyId(PIDSI_PAGECOUNT), 7L), S_OK);
    ASSERT_EQ(summary->Commit(STGC_DEFAULT), S_OK);
    summary.reset();

    ComPtr<IPropertyStorage> userDefined;
    ASSERT_EQ(
        QVStgOpenPropertyStorage(storage.get(), FMTID_UserDefinedProperties, userDefined.put()),
        S_OK);
    EXPECT_EQ(QVStgWriteProperty(userDefined.get(), propertyName(L"Client"), L"M\u00fcller & Co"),
              S_OK);
    EXPECT_EQ(QVStgWriteProperty(userDefined.get(), propertyName(L"Amount"), 1234.5), S_OK);
    EXPECT_EQ(QVStgWriteProperty(userDefined.get(), propertyName(L"Paid"), 1), S_OK);
    EXPECT_EQ(QVStgWriteProperty(userDefined.get(), propertyName(L"Invoices"), 42L), S_OK);
    ASSERT_EQ(userDefined->Commit(STGC_DEFAULT), S_OK);
    userDefined.reset();
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
}

std::string describeValue(const PROPVARIANT& value) {
    char text[64];
    switch (value.vt) {
    case VT_LPWSTR:
        return "wide:" + test_support::narrow(value.pwszVal);
    case VT_LPSTR:
        return std::string("text:") + value.pszVal;
    case VT_I4:
        return "i4:" + std::to_string(value.lVal);
    case VT_BOOL:
        return "bool:" + std::to_string(value.boolVal);
    case VT_R8:
        std::snprintf(text, sizeof text, "r8:%.17g", value.dblVal);
        return text;
    case VT_FILETIME:
        std::snprintf(text, sizeof text, "filetime:%08lx%08lx", value.filetime.dwHighDateTime,
                      value.filetime.dwLowDateTime);
        return text;
    default:
        return "vt:" + std::to_string(value.vt);
    }
}

// Every property of one set as "id|name|value", sorted; or the reason it cannot be read.
std::vector<std::string> describeSet(IStorage* storage, REFFMTID format) {
    ComPtr<IPropertySetStorage> sets;
    ComPtr<IPropertyStorage> set;
    HRESULT hr = storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid());
    if (SUCCEEDED(hr))
        hr = sets->Open(format, kReadExclusive, set.put());
    ComPtr<IEnumSTATPROPSTG> properties;
    if (SUCCEEDED(hr))
        hr = set->Enum(properties.put());
    if (FAILED(hr)) {
        char text[32];
        std::snprintf(text, sizeof text, "cannot open: %08lx", static_cast<unsigned long>(hr));
        return {text};
    }
    std::vector<std::string> lines;
    STATPROPSTG entry;
    while (properties->Next(1, &entry, nullptr) == S_OK) {
        PROPSPEC property{};
        property.ulKind = PRSPEC_PROPID;
        property.propid = entry.propid;
        PROPVARIANT value;
        PropVariantInit(&value);
        set->ReadMultiple(1, &property, &value);
        lines.push_back(std::to_string(entry.propid) + "|" +
                        (entry.lpwstrName ? test_support::narrow(entry.lpwstrName) : "") + "|" +
                        describeValue(value));
        PropVariantClear(&value);
        CoTaskMemFree(entry.lpwstrName);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Every element below `storage` as "path=content" (streams) or "path/" (storages), sorted.
void describeTree(IStorage* storage, const std::string& prefix, std::vector<std::string>& lines) {
    ComPtr<IEnumSTATSTG> elements;
    ASSERT_EQ(storage->EnumElements(0, nullptr, 0, elements.put()), S_OK);
    STATSTG entry;
    while (elements->Next(1, &entry, nullptr) == S_OK) {
        const std::string path = prefix + test_support::narrow(entry.pwcsName);
        if (entry.type == STGTY_STREAM) {
            lines.push_back(path + "=" + storage_test::streamContent(storage, entry.pwcsName));
        } else {
            lines.push_back(path + "/");
            ComPtr<IStorage> child;
            ASSERT_EQ(storage->OpenStorage(entry.pwcsName, nullptr, kReadExclusive, nullptr, 0,
                                           child.put()),
                      S_OK);
            describeTree(child.get(), path + "/", lines);
        }
        CoTaskMemFree(entry.pwcsName);
    }
    std::sort(lines.begin(), lines.end());
}

struct View {
    std::vector<std::string> tree, summary, userDefined;
};

View describe(IStorage* storage) {
    View view;
    describeTree(storage, "", view.tree);
    view.summary = describeSet(storage, FMTID_SummaryInformation);
    view.userDefined = describeSet(storage, FMTID_UserDefinedProperties);
    return view;
}

// The same document through the provider the library loads and through Wine's ole32.
void expectWineReadsAsTheLibrary(const std::wstring& path, bool hasUserDefinedSet) {
    ComPtr<IStorage> mine = storage_test::openDocument(path, kReadExclusive);
    ASSERT_TRUE(mine);
    const View expected = describe(mine.get());
    mine.reset();
    ComPtr<IStorage> wine;
    ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kReadExclusive, nullptr, 0, wine.put()), S_OK);
    const View seen = describe(wine.get());
    EXPECT_EQ(seen.tree, expected.tree);
    EXPECT_EQ(seen.summary, expected.summary);
    if (hasUserDefinedSet) {
        // Wine's ole32 refuses a document-summary stream with a second section
        // (STG_E_INVALIDPOINTER) instead of reading the user-defined properties from it.
        EXPECT_EQ(seen.userDefined, std::vector<std::string>{"cannot open: 80030009"});
        EXPECT_EQ(expected.userDefined.size(), 4u);
    }
}

TEST(DocumentInterop, LibraryDocumentsReadTheSameInWineOle32) {
    const std::wstring folder = interopFolder();
    const std::wstring made = folder + L"\\made-by-library.ac";
    makeDocument(made, folder + L"\\attachment.bin");
    expectWineReadsAsTheLibrary(made, true);

    // A converted flat document, with the metadata library loaded as the application does.
    support::UniqueModule metadata(
        LoadLibraryW((test_support::programDirectory() + L"\\x64qv42.dll").c_str()));
    ASSERT_TRUE(metadata.valid());
    const std::wstring converted = folder + L"\\converted.ac";
    test_support::writeFile(converted, "X8.97" + pattern(5000, 3));
    std::string directory = test_support::narrow(folder) + "\\";
    std::string name = "converted";
    std::string extension = "ac";
    ASSERT_EQ(UpdateAcFileToCompoundFile(directory.data(), name.data(), extension.data()), 1);
    expectWineReadsAsTheLibrary(converted, false);
}

} // namespace
