#include "storage_test_support.h"

#include <support/com_ptr.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using support::ComPtr;
using test_support::TemporaryDirectory;

constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;
constexpr HRESULT kPathTooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

// The sector shift of a compound file's header: 9 for 512-byte sectors, 12 for 4096.
int sectorShift(const std::wstring& path) {
    const std::string header = test_support::readFile(path).substr(0, 32);
    return header.size() == 32 ? static_cast<unsigned char>(header[30]) : -1;
}

// A path of exactly `length` characters inside the folder, in components short enough for
// any file system (a sub-folder is made when one component would not do).
std::wstring pathOfLength(const TemporaryDirectory& folder, size_t length) {
    constexpr size_t kComponent = 200;
    std::wstring path = folder.path() + L"\\";
    while (length - path.size() > kComponent + 5) {
        path += std::wstring(kComponent, L'd');
        CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
        path += L"\\";
    }
    path += std::wstring(length - path.size() - 4, L'p') + L".cfs";
    return path;
}

// Creates an empty document at `path` through the library and closes it again.
std::wstring emptyDocument(const std::wstring& path) {
    ComPtr<IStorage> storage;
    EXPECT_EQ(QVStgCreateStorageW(path.c_str(), storage.put()), S_OK);
    return path;
}

bool isHeldResult(HRESULT hr) {
    return hr == STG_E_SHAREVIOLATION || hr == STG_E_ACCESSDENIED || hr == STG_E_LOCKVIOLATION;
}

class StorageFileTest : public ::testing::Test {
protected:
    TemporaryDirectory folder_;
};

TEST_F(StorageFileTest, CreatesDetectsAndOpensDocuments) {
    const std::wstring path = folder_.file(L"doc.cfs");
    test_support::writeFile(path, "old flat content that is replaced");
    ComPtr<IStorage> created;
    ASSERT_EQ(QVStgCreateStorageW(path.c_str(), created.put()), S_OK);
    storage_test::writeStream(created.get(), L"QuorvaneDocument", "X8.99");
    ASSERT_EQ(created->Commit(STGC_DEFAULT), S_OK);
    created.reset();
    EXPECT_EQ(sectorShift(path), 12);

    EXPECT_EQ(QVStgIsStorageFileW(path.c_str()), S_OK);
    EXPECT_EQ(QVStgIsStorageFile(test_support::narrow(path).c_str()), S_OK);
    EXPECT_EQ(QVStgIsStorageFileExW(path.c_str()), S_OK);
    EXPECT_EQ(QVStgIsStorageFileEx(test_support::narrow(path).c_str()), S_OK);

    ComPtr<IStorage> opened;
    ASSERT_EQ(QVStgOpenStorage(test_support::narrow(path).c_str(), opened.put(), kReadExclusive),
              S_OK);
    EXPECT_EQ(storage_test::streamContent(opened.get(), L"QuorvaneDocument"), "X8.99");
    // The mode is the caller's: a document opened for reading takes no new stream.
    ComPtr<IStream> refused;
    EXPECT_EQ(opened->CreateStream(L"New", STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0,
                                   0, refused.put()),
              STG_E_ACCESSDENIED);
}

TEST_F(StorageFileTest, PlainFilesAreNoCompoundFiles) {
    const std::wstring path = folder_.file(L"plain.txt");
    test_support::writeFile(path, "X8.99 a flat document");
    EXPECT_EQ(QVStgIsStorageFileW(path.c_str()), S_FALSE);
    EXPECT_EQ(QVStgIsStorageFileExW(path.c_str()), S_FALSE);
    ComPtr<IStorage> storage;
    EXPECT_TRUE(FAILED(QVStgOpenStorageW(path.c_str(), storage.put(), kReadExclusive)));
    EXPECT_EQ(
        QVStgOpenStorageW(folder_.file(L"missing.cfs").c_str(), storage.put(), kReadExclusive),
        STG_E_FILENOTFOUND);
}

TEST_F(StorageFileTest, RefusesNullAndOverLongArguments) {
    ComPtr<IStorage> storage;
    EXPECT_EQ(QVStgIsStorageFileW(nullptr), E_POINTER);
    EXPECT_EQ(QVStgIsStorageFileExW(nullptr), E_POINTER);
    EXPECT_EQ(QVStgIsStorageFileEx(nullptr), E_POINTER);
    EXPECT_EQ(QVStgCreateStorageW(folder_.file(L"x.cfs").c_str(), nullptr), E_POINTER);
    EXPECT_EQ(QVStgCreateStorage("x.cfs", nullptr), E_POINTER);
    EXPECT_EQ(QVStgOpenStorage("x.cfs", nullptr, kReadExclusive), E_POINTER);
    EXPECT_EQ(QVStgCreateStorageW(nullptr, storage.put()), E_POINTER);
    EXPECT_EQ(QVStgOpenStorageW(nullptr, storage.put(), kReadExclusive), E_POINTER);
    // A null narrow path asks about the empty name.
    EXPECT_EQ(QVStgIsStorageFile(nullptr), QVStgIsStorageFileW(L""));

    const std::string tooLong(1024, 'a');
    EXPECT_EQ(QVStgIsStorageFile(tooLong.c_str()), kPathTooLong);
    EXPECT_EQ(QVStgCreateStorage(tooLong.c_str(), storage.put()), kPathTooLong);
    EXPECT_EQ(QVStgOpenStorage(tooLong.c_str(), storage.put(), kReadExclusive), kPathTooLong);
    // A mode the provider rejects comes back as the provider's failure.
    const std::wstring path = emptyDocument(folder_.file(L"doc.cfs"));
    EXPECT_EQ(QVStgOpenStorageW(path.c_str(), storage.put(), 0xFFFFFFFF), STG_E_INVALIDFLAG);
}

TEST_F(StorageFileTest, LongPathsAreTestedInTheirShortForm) {
    EXPECT_EQ(QVStgIsStorageFileW(emptyDocument(pathOfLength(folder_, 259)).c_str()), S_OK);

    // Creating and opening take any length through the provider's long-path form.
    const std::wstring longPath = emptyDocument(pathOfLength(folder_, 300));
    ComPtr<IStorage> storage;
    ASSERT_EQ(QVStgOpenStorageW(longPath.c_str(), storage.put(), kReadExclusive), S_OK);
    storage.reset();
    // Without 8.3 names the short form does not fit, and the empty name is tested instead.
    wchar_t shortForm[MAX_PATH] = {};
    const std::wstring prefixed = L"\\\\?\\" + longPath;
    if (GetShortPathNameW(prefixed.c_str(), shortForm, MAX_PATH) == 0 ||
        std::wstring(shortForm).size() >= MAX_PATH) {
        EXPECT_EQ(QVStgIsStorageFileW(longPath.c_str()), QVStgIsStorageFileW(L""));
    } else {
        EXPECT_EQ(QVStgIsStorageFileW(longPath.c_str()), S_OK);
    }
}

TEST_F(StorageFileTest, OpeningWaitsForAShortHold) {
    const std::wstring path = emptyDocument(folder_.file(L"held.cfs"));
    ComPtr<IStorage> storage;
    {
        test_support::HeldFile held(path, 300);
        EXPECT_EQ(QVStgOpenStorageW(path.c_str(), storage.put(), kReadExclusive), S_OK);
    }
    storage.reset();
    {
        test_support::HeldFile held(path, 300);
        EXPECT_EQ(QVStgIsStorageFileExW(path.c_str()), S_OK);
    }
    {
        test_support::HeldFile held(path, 300);
        EXPECT_TRUE(isHeldResult(QVStgIsStorageFileW(path.c_str())));
    }
}

TEST_F(StorageFileTest, GivesTheTenthResultAfterALongHold) {
    const std::wstring path = emptyDocument(folder_.file(L"held.cfs"));
    ComPtr<IStorage> storage;
    test_support::HeldFile held(path, 3000);
    const DWORD start = GetTickCount();
    const HRESULT hr = QVStgOpenStorageW(path.c_str(), storage.put(), kReadExclusive);
    const DWORD waited = GetTickCount() - start;
    EXPECT_TRUE(isHeldResult(hr)) << std::hex << hr;
    EXPECT_GE(waited, 850u); // nine waits of 100 ms between ten attempts
    EXPECT_LT(waited, 2900u);
}

// Runs the helper from a folder holding everything of bin/ with a variant of the provider.
std::string createWithProvider(const std::wstring& variant, const std::wstring& document) {
    const TemporaryDirectory folder;
    test_support::copyProgramFolder(folder, L"test_helper.exe", L"", variant);
    return test_support::runProgram(folder.file(L"test_helper.exe"),
                                    L"create-storage \"" + document + L"\"")
        .output;
}

TEST_F(StorageFileTest, FallsBackToTheClassicEntryPointsWithTheSameMode) {
    // Missing newer entry points, or ones that say they are not implemented, leave the work to
    // the classic ones, which make 512-byte sectors and get the caller's mode unchanged.
    for (const wchar_t* variant : {L"classic-only", L"ex-notimpl", L"ex-unimplemented"}) {
        const std::wstring document = folder_.file(std::wstring(variant) + L".cfs");
        const std::string output = createWithProvider(variant, document);
        EXPECT_NE(output.find("create=0x00000000"), std::string::npos) << output;
        EXPECT_NE(output.find("open=0x00000000"), std::string::npos) << output;
        EXPECT_NE(output.find("write=0x80030005"), std::string::npos) << output;
        EXPECT_EQ(sectorShift(document), 9) << test_support::narrow(variant);
    }
}

TEST_F(StorageFileTest, ReportsOtherFailuresOfTheNewerEntryPoints) {
    // A newer entry point that fails for another reason is final: the classic ones would have
    // replaced the document and opened it, so the document must be as it was.
    const std::wstring document = folder_.file(L"kept.cfs");
    ComPtr<IStorage> storage;
    ASSERT_EQ(QVStgCreateStorageW(document.c_str(), storage.put()), S_OK);
    storage_test::writeStream(storage.get(), L"Kept", "unchanged");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    storage.reset();

    const std::string output = createWithProvider(L"ex-disk-full", document);
    EXPECT_NE(output.find("create=0x80030070"), std::string::npos) << output;
    EXPECT_NE(output.find("open=0x80030070"), std::string::npos) << output;
    EXPECT_EQ(output.find("write="), std::string::npos) << output;
    ASSERT_EQ(QVStgOpenStorageW(document.c_str(), storage.put(), kReadExclusive), S_OK);
    EXPECT_EQ(storage_test::streamContent(storage.get(), L"Kept"), "unchanged");
    storage.reset();
    EXPECT_EQ(sectorShift(document), 12);
}

} // namespace
