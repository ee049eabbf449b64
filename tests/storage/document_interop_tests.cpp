// Documents made through the library's own functions, read by other software: Wine's ole32
// in this process, and python3-olefile and libgsf's gsf natively afterwards
// (check_documents.py reads the documents this test leaves in library-interop/ beside it).
#include "storage_test_support.h"

#include <storage_views.h>

#include <support/com_ptr.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using support::ComPtr;

constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;

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
    const std::string flat = "X8.99" + test_support::patternBytes(3000, 1);
    ULONG written = 0;
    ASSERT_EQ(body->Write(flat.data(), static_cast<ULONG>(flat.size()), &written), S_OK);
    body.reset();
    test_support::writeFile(attachment, test_support::patternBytes(2500, 2));
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

struct View {
    std::vector<std::string> tree, summary, userDefined;
};

View describe(IStorage* storage) {
    return {storage_views::treeOf(storage),
            storage_views::propertiesOf(storage, FMTID_SummaryInformation),
            storage_views::propertiesOf(storage, FMTID_UserDefinedProperties)};
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
    test_support::writeFile(converted, "X8.97" + test_support::patternBytes(5000, 3));
    std::string directory = test_support::narrow(folder) + "\\";
    std::string name = "converted";
    std::string extension = "ac";
    ASSERT_EQ(UpdateAcFileToCompoundFile(directory.data(), name.data(), extension.data()), 1);
    expectWineReadsAsTheLibrary(converted, false);
}

} // namespace
