#include "../storage/storage_test_support.h"

#include <storage_views.h>

#include <support/com_ptr.h>
#include <support/scope_exit.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using support::ComPtr;
using test_support::TemporaryDirectory;

constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;

// Loads a metadata library (the full one or a variant) for one test, as the application
// would, and unloads it afterwards.
class LoadedMetadataLibrary {
public:
    explicit LoadedMetadataLibrary(const std::wstring& variant = L"") {
        const std::wstring folder = test_support::programDirectory() +
                                    (variant.empty() ? L"" : L"\\x64qv42-variants\\" + variant);
        module_.reset(LoadLibraryW((folder + L"\\x64qv42.dll").c_str()));
    }
    [[nodiscard]] bool loaded() const { return module_.valid(); }

private:
    support::UniqueModule module_;
};

class FlatConversionTest : public ::testing::Test {
protected:
    std::string folder() const { return test_support::narrow(folder_.path()) + "\\"; }
    std::string document(const char* name) const { return folder() + name; }
    int convert(const char* name, const char* extension) {
        std::string directory = folder();
        std::string base = name;
        std::string ext = extension;
        return UpdateAcFileToCompoundFile(directory.data(), base.data(), ext.data());
    }
    TemporaryDirectory folder_;
};

TEST_F(FlatConversionTest, ConvertsAFlatDocumentInPlace) {
    LoadedMetadataLibrary metadata;
    ASSERT_TRUE(metadata.loaded());
    const std::string flat = "X8.99 " + std::string(5000, 'f');
    test_support::writeFile(folder_.file(L"report.ac"), flat);

    EXPECT_EQ(convert("report", "ac"), 1);
    EXPECT_FALSE(test_support::fileExists(folder_.file(L"report.accf")));
    ComPtr<IStorage> converted =
        storage_test::openDocument(folder_.file(L"report.ac"), kReadExclusive);
    ASSERT_TRUE(converted);
    EXPECT_EQ(storage_test::streamContent(converted.get(), L"QuorvaneDocument"), flat);
    // The collected metadata went in as summary information.
    const auto summary = storage_views::propertiesOf(converted.get(), FMTID_SummaryInformation);
    EXPECT_EQ(std::count(summary.begin(), summary.end(), "2||lpstr:report.ac"), 1)
        << ::testing::PrintToString(summary);
    converted.reset();
    char version[20];
    EXPECT_EQ(GetQVVersionFromFileW(folder_.file(L"report.ac").c_str(), version), S_OK);
    EXPECT_STREQ(version, "8.99");

    // A compound document keeps its content and gets its metadata written again.
    converted = storage_test::openDocument(folder_.file(L"report.ac"),
                                           STGM_READWRITE | STGM_SHARE_EXCLUSIVE);
    ASSERT_TRUE(converted);
    ASSERT_EQ(converted->DestroyElement(L"\005SummaryInformation"), S_OK);
    ASSERT_EQ(converted->Commit(STGC_DEFAULT), S_OK);
    converted.reset();
    EXPECT_EQ(convert("report", "ac"), 0);
    EXPECT_EQ(storage_test::documentStream(folder_.file(L"report.ac")), flat);
    converted = storage_test::openDocument(folder_.file(L"report.ac"), kReadExclusive);
    ASSERT_TRUE(converted);
    EXPECT_NE(storage_test::streamContent(converted.get(), L"\005SummaryInformation"), "<missing>");
}

TEST_F(FlatConversionTest, CompressedDocumentsNeedNoMetadata) {
    LoadedMetadataLibrary metadata;
    SetEnvironmentVariableW(L"QV_METADATA_FAIL", L"collect");
    test_support::writeFile(folder_.file(L"packed.ac_"), "X8.98 packed");
    EXPECT_EQ(convert("packed", "ac_"), 1);
    test_support::writeFile(folder_.file(L"plain.ac"), "X8.98 plain");
    EXPECT_EQ(convert("plain", "ac"), 4);
    SetEnvironmentVariableW(L"QV_METADATA_FAIL", nullptr);
    EXPECT_EQ(test_support::readFile(folder_.file(L"plain.ac")), "X8.98 plain");
}

TEST_F(FlatConversionTest, IsNotAttemptedWithoutTheWholeMetadataLibrary) {
    test_support::writeFile(folder_.file(L"report.ac"), "X8.99 body");
    EXPECT_EQ(convert("report", "ac"), 3); // not loaded
    for (const wchar_t* variant : {L"no-collect", L"no-write", L"no-clear"}) {
        LoadedMetadataLibrary partial(variant);
        ASSERT_TRUE(partial.loaded());
        EXPECT_EQ(convert("report", "ac"), 3) << test_support::narrow(variant);
    }
    LoadedMetadataLibrary metadata;
    std::string directory = folder();
    EXPECT_EQ(UpdateAcFileToCompoundFile(directory.data(), nullptr, nullptr), 3);
    EXPECT_EQ(test_support::readFile(folder_.file(L"report.ac")), "X8.99 body");
}

TEST_F(FlatConversionTest, AFailedMetadataWriteLeavesTheDocument) {
    LoadedMetadataLibrary metadata;
    test_support::writeFile(folder_.file(L"report.ac"), "X8.99 body");
    SetEnvironmentVariableW(L"QV_METADATA_FAIL", L"write");
    EXPECT_EQ(convert("report", "ac"), 2);
    SetEnvironmentVariableW(L"QV_METADATA_FAIL", nullptr);
    EXPECT_EQ(test_support::readFile(folder_.file(L"report.ac")), "X8.99 body");
    // Metadata of a missing document cannot be collected; without metadata it cannot be opened.
    EXPECT_EQ(convert("missing", "ac"), 4);
    EXPECT_EQ(convert("missing", "ac_"), 2);
}

TEST_F(FlatConversionTest, WaitsForADocumentHeldByAnotherProcess) {
    LoadedMetadataLibrary metadata;
    const std::string flat = "X8.95 held body";
    test_support::writeFile(folder_.file(L"held.ac"), flat);
    {
        const test_support::ShortHeldFileWaits waits(200, 5);
        const test_support::HeldFile held(folder_.file(L"held.ac"), 100);
        EXPECT_EQ(convert("held", "ac"), 1);
    }
    EXPECT_EQ(storage_test::documentStream(folder_.file(L"held.ac")), flat);
}

TEST_F(FlatConversionTest, AReadOnlyDocumentKeepsItsConvertedCopyBesideIt) {
    // A document that opens only for reading is converted into the temporary file, which then
    // takes the document's place by delete and move. A read-only file cannot be deleted, so
    // the conversion fails with the converted copy left beside the untouched document. A
    // process that may write read-only files anyway (Wine running as root) cannot take this
    // road at all.
    if (test_support::readOnlyFilesAreWritable(folder_))
        GTEST_SKIP() << "this process may write read-only files";
    LoadedMetadataLibrary metadata;
    const std::wstring path = folder_.file(L"locked.ac");
    test_support::writeFile(path, "X8.96 read-only body");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const support::ScopeExit writable([&] { SetFileAttributesW(path.c_str(), 0); });
    EXPECT_EQ(convert("locked", "ac"), 2);
    EXPECT_EQ(test_support::readFile(path), "X8.96 read-only body");
    EXPECT_EQ(storage_test::documentStream(folder_.file(L"locked.accf")), "X8.96 read-only body");
}

TEST_F(FlatConversionTest, CopiesFilesOverHandlesExactly) {
    test_support::writeFile(folder_.file(L"target.bin"), std::string(3000, 't'));
    test_support::writeFile(folder_.file(L"source.bin"), std::string(700, 's'));
    support::UniqueFile target(CreateFileW(folder_.file(L"target.bin").c_str(),
                                           GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                           0, nullptr));
    ASSERT_TRUE(target);
    EXPECT_TRUE(CopyFileToHandle(target.get(), document("source.bin").c_str()));
    EXPECT_FALSE(CopyFileToHandle(target.get(), document("missing.bin").c_str()));
    target.reset();
    EXPECT_EQ(test_support::readFile(folder_.file(L"target.bin")), std::string(700, 's'));
}

TEST_F(FlatConversionTest, CopiesFlatBytesIntoEitherShape) {
    test_support::writeFile(folder_.file(L"new.bin"), "X8.97 new content");
    test_support::writeFile(folder_.file(L"flat.ac"), "X8.90 an old and longer flat content");
    std::string flatPath = document("flat.ac");
    EXPECT_EQ(QVCopyAC(flatPath.data(), document("new.bin").c_str()), 0);
    EXPECT_EQ(test_support::readFile(folder_.file(L"flat.ac")), "X8.97 new content");

    {
        ComPtr<IStorage> compound = storage_test::createDocument(folder_.file(L"doc.ac"));
        storage_test::writeStream(compound.get(), L"QuorvaneDocument", "X8.90 longer old stream");
        compound->Commit(STGC_DEFAULT);
    }
    std::string compoundPath = document("doc.ac");
    EXPECT_EQ(QVCopyAC(compoundPath.data(), document("new.bin").c_str()), 0);
    EXPECT_EQ(storage_test::documentStream(folder_.file(L"doc.ac")), "X8.97 new content");
    std::string missing = document("missing.ac");
    EXPECT_EQ(QVCopyAC(missing.data(), document("new.bin").c_str()), 1);
}

TEST(QVGetFileTimeW, ReadsThroughTheLongPathForm) {
    TemporaryDirectory folder;
    const std::wstring deep = folder.path() + L"\\" + std::wstring(200, L'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    const std::wstring path = deep + L"\\" + std::wstring(100, L'f') + L".txt";
    test_support::writeFile(L"\\\\?\\" + path, "x");
    FILETIME write{};
    EXPECT_NE(QVGetFileTimeW(path.c_str(), nullptr, nullptr, &write), 0);
    EXPECT_NE(write.dwHighDateTime, 0u);
    EXPECT_EQ(QVGetFileTimeW(nullptr, nullptr, nullptr, &write), 0);
}

} // namespace
