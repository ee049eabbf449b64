// The Stg* entry points: the export tables of the provider and its two variants, and the
// documented checks and outcomes of creating and opening roots.
#include "provider_api.h"

#include "test_support.h"

#include <test_support.h>

#include <gtest/gtest.h>

#include <support/com_object.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

using namespace provider_test;
using test_support::TemporaryDirectory;
using EntryPoints = DocumentTest;

namespace {

const std::set<std::string> kClassicExports = {"StgCreateDocfile", "StgCreateDocfileOnILockBytes",
                                               "StgIsStorageFile", "StgIsStorageILockBytes",
                                               "StgOpenStorage",   "StgOpenStorageOnILockBytes"};
const std::set<std::string> kExExports = {"StgCreateStorageEx", "StgOpenStorageEx"};

std::set<std::string> unite(std::set<std::string> a, const std::set<std::string>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

std::wstring variantPath(const wchar_t* variant) {
    return test_support::programDirectory() + L"\\provider-variants\\" + variant + L"\\z64STG.dll";
}

// Major version and sector shift from a file's header.
std::pair<int, int> headerVersionAndShift(const std::wstring& path) {
    const std::string bytes = test_support::readFile(path);
    constexpr size_t kMajorVersionOffset = 26;
    constexpr size_t kSectorShiftOffset = 30;
    return {static_cast<unsigned char>(bytes.at(kMajorVersionOffset)),
            static_cast<unsigned char>(bytes.at(kSectorShiftOffset))};
}

} // namespace

TEST(ProviderExports, TheDllExportsExactlyTheDocumentedEntryPoints) {
    EXPECT_EQ(test_support::exportedNames(providerApi().module),
              unite(kClassicExports, kExExports));
}

TEST(ProviderExports, VariantsExportWhatTheirFoldersPromise) {
    // clang-format off
    struct Row { const char* label; const wchar_t* folder; std::set<std::string> exports; };
    const Row rows[] = {
        {"classic-only", L"classic-only", kClassicExports},
        {"ex-notimpl", L"ex-notimpl", unite(kClassicExports, kExExports)},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const HMODULE module = loadProvider(variantPath(row.folder)).module;
        ASSERT_NE(module, providerApi().module);
        EXPECT_EQ(test_support::exportedNames(module), row.exports);
        FreeLibrary(module);
    }
}

TEST_F(EntryPoints, TheNotImplementedVariantAnswersENotImplFromItsExEntryPoints) {
    const StorageApi api = loadProvider(variantPath(L"ex-notimpl"));
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(api.createStorageEx(path.c_str(), kCreateMode, STGFMT_DOCFILE, 0, nullptr, nullptr,
                                  IID_IStorage, &object),
              E_NOTIMPL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(api.openStorageEx(path.c_str(), kReadMode, STGFMT_ANY, 0, nullptr, nullptr,
                                IID_IStorage, &object),
              E_NOTIMPL);
    EXPECT_FALSE(test_support::fileExists(path));
    // The classic entry points of the same build work.
    ComPtr<IStorage> storage;
    EXPECT_EQ(api.createDocfile(path.c_str(), kCreateMode, 0, storage.put()), S_OK);
    storage.reset();
    FreeLibrary(api.module);
}

// StgIsStorageFile tells documents from other files; StgOpenStorage refuses the others.
TEST_F(EntryPoints, DocumentsAreToldFromOtherFiles) {
    constexpr HRESULT kNotAsked = E_NOTIMPL;
    createDocument(providerApi(), folder.file(L"doc.stg"));
    test_support::writeFile(folder.file(L"text.txt"), std::string(2048, 't'));
    test_support::writeFile(folder.file(L"short.bin"), "\xD0\xCF");
    test_support::writeFile(folder.file(L"empty.txt"), "");
    // clang-format off
    const struct { const char* label; std::wstring name; HRESULT isStorageFile; HRESULT openStorage; } rows[] = {
        {"document", folder.file(L"doc.stg"), S_OK, S_OK},
        {"text file", folder.file(L"text.txt"), S_FALSE, STG_E_FILEALREADYEXISTS},
        {"shorter than the signature", folder.file(L"short.bin"), S_FALSE, kNotAsked},
        {"empty file", folder.file(L"empty.txt"), kNotAsked, STG_E_FILEALREADYEXISTS},
        {"missing file", folder.file(L"missing.stg"), STG_E_FILENOTFOUND, STG_E_FILENOTFOUND},
        {"missing folder", folder.file(L"none\\doc.stg"), STG_E_PATHNOTFOUND, STG_E_PATHNOTFOUND},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        if (row.isStorageFile != kNotAsked) {
            EXPECT_EQ(providerApi().isStorageFile(row.name.c_str()), row.isStorageFile);
        }
        ComPtr<IStorage> storage;
        if (row.openStorage != kNotAsked) {
            EXPECT_EQ(providerApi().openStorage(row.name.c_str(), nullptr, kReadMode, nullptr, 0,
                                                storage.put()),
                      row.openStorage);
        }
    }
}

TEST(StgIsStorageILockBytes, ReadsTheSignatureThroughTheLockBytes) {
    ComPtr<ILockBytes> empty;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, empty.put()), S_OK);
    EXPECT_EQ(providerApi().isStorageLockBytes(empty.get()), S_FALSE);
    ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    ComPtr<IStorage> storage;
    ASSERT_EQ(providerApi().createDocfileOnLockBytes(bytes.get(), kCreateMode, 0, storage.put()),
              S_OK);
    EXPECT_EQ(providerApi().isStorageLockBytes(bytes.get()), S_OK);
}

// Lock bytes in memory that leave what they grow by full of 0xA5, as lock bytes of a caller
// may (nothing of it may reach a document), and that report no lock support (so nothing may
// ask them to lock).
class DirtyGrowthLockBytes final : public support::ComObject<DirtyGrowthLockBytes, ILockBytes> {
public:
    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count,
                                     ULONG* read) override {
        const std::size_t at = std::min<std::size_t>(offset.QuadPart, bytes.size());
        const std::size_t got = std::min<std::size_t>(count, bytes.size() - at);
        std::copy_n(bytes.begin() + at, got, static_cast<char*>(buffer));
        if (read)
            *read = static_cast<ULONG>(got);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count,
                                      ULONG* written) override {
        if (offset.QuadPart + count > bytes.size())
            bytes.resize(offset.QuadPart + count, '\xA5');
        std::copy_n(static_cast<const char*>(buffer), count, bytes.begin() + offset.QuadPart);
        if (written)
            *written = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Flush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        bytes.resize(size.QuadPart, '\xA5');
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        ++lockCalls;
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        ++lockCalls;
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        *stat = STATSTG{};
        stat->type = STGTY_LOCKBYTES;
        stat->cbSize.QuadPart = bytes.size();
        return S_OK;
    }

    std::string bytes;
    int lockCalls = 0;
};

TEST(StgOpenStorageOnILockBytes, LockBytesWithoutLockSupportAreNeverLocked) {
    // A transacted root that others may share takes the commit byte, where it can.
    constexpr DWORD kShared = STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_NONE;
    for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
        SCOPED_TRACE(api->label);
        auto lockBytes = support::makeComObject<DirtyGrowthLockBytes>();
        ComPtr<IStorage> storage;
        ASSERT_EQ(
            api->createDocfileOnLockBytes(lockBytes.get(), STGM_CREATE | kShared, 0, storage.put()),
            S_OK);
        writeStream(storage.get(), L"Data", "data");
        ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
        storage.reset();
        ASSERT_EQ(api->openStorageOnLockBytes(lockBytes.get(), nullptr, kShared, nullptr, 0,
                                              storage.put()),
                  S_OK);
        writeStream(storage.get(), L"More", "more");
        ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
        storage.reset();
        EXPECT_EQ(lockBytes->lockCalls, 0);
    }
}

TEST_F(EntryPoints, ReportsTheModeTheRootIsOpenFor) {
    // STGM_CREATE says how a root came to be, not what it is open for.
    // clang-format off
    struct Row { const char* label; bool onLockBytes; DWORD mode; DWORD expected; };
    const Row rows[] = {
        {"file", false, kCreateMode, kReadWriteMode},
        {"file, transacted", false, kCreateMode | STGM_TRANSACTED, kReadWriteMode | STGM_TRANSACTED},
        {"lock bytes", true, kCreateMode, kReadWriteMode},
        {"lock bytes, transacted", true, kCreateMode | STGM_TRANSACTED, kReadWriteMode | STGM_TRANSACTED},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
            SCOPED_TRACE(api->label);
            ComPtr<ILockBytes> lockBytes;
            ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, lockBytes.put()), S_OK);
            ComPtr<IStorage> storage;
            const HRESULT created =
                row.onLockBytes
                    ? api->createDocfileOnLockBytes(lockBytes.get(), row.mode, 0, storage.put())
                    : api->createDocfile(folder.file(L"stat.stg").c_str(), row.mode, 0,
                                         storage.put());
            ASSERT_EQ(created, S_OK);
            STATSTG stat{};
            ASSERT_EQ(storage->Stat(&stat, STATFLAG_NONAME), S_OK);
            EXPECT_EQ(stat.grfMode, row.expected);
        }
    }
}

TEST(StgCreateDocfileOnILockBytes, WritesWhatLockBytesGrowByAsZeros) {
    auto lockBytes = support::makeComObject<DirtyGrowthLockBytes>();
    {
        ComPtr<IStorage> storage;
        ASSERT_EQ(
            providerApi().createDocfileOnLockBytes(lockBytes.get(), kCreateMode, 0, storage.put()),
            S_OK);
        writeStream(storage.get(), L"Small", patternBytes(100, 1));
        writeStream(storage.get(), L"Large", patternBytes(70000, 2));
        ComPtr<IStream> grown;
        ASSERT_EQ(storage->CreateStream(L"Grown", kCreateMode, 0, 0, grown.put()), S_OK);
        ULARGE_INTEGER size;
        size.QuadPart = 10000;
        ASSERT_EQ(grown->SetSize(size), S_OK);
        ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    }
    EXPECT_EQ(lockBytes->bytes.find(std::string(16, '\xA5')), std::string::npos);
    ComPtr<IStorage> reopened;
    ASSERT_EQ(providerApi().openStorageOnLockBytes(lockBytes.get(), nullptr, kReadMode, nullptr, 0,
                                                   reopened.put()),
              S_OK);
    EXPECT_TRUE(readStream(reopened.get(), L"Large") == patternBytes(70000, 2));
    EXPECT_TRUE(readStream(reopened.get(), L"Grown") == std::string(10000, '\0'));
}

TEST(StgCreateDocfile, AcceptsAndRefusesModesAsDocumented) {
    // clang-format off
    struct Row { const char* label; DWORD mode; HRESULT expected; };
    const Row rows[] = {
        {"direct exclusive", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, S_OK},
        {"write-only exclusive", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, S_OK},
        {"transacted deny-none", STGM_CREATE | STGM_TRANSACTED | STGM_READWRITE, S_OK},
        {"transacted deny-write", STGM_CREATE | STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE, S_OK},
        {"transacted no scratch", STGM_CREATE | STGM_TRANSACTED | STGM_NOSCRATCH | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, S_OK},
        {"simple", STGM_SIMPLE | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, S_OK},
        {"read only", STGM_CREATE | STGM_READ | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"direct deny-write", STGM_CREATE | STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
        {"access 3", STGM_CREATE | 3 | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"share 0x50", STGM_CREATE | STGM_READWRITE | 0x50, STG_E_INVALIDFLAG},
        {"create and convert", STGM_CREATE | STGM_CONVERT | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"priority", STGM_PRIORITY | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"no scratch in direct mode", STGM_NOSCRATCH | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"single writer", STGM_DIRECT_SWMR | STGM_CREATE | STGM_READWRITE | STGM_SHARE_DENY_WRITE, S_OK},
        {"single writer, exclusive", STGM_DIRECT_SWMR | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"simple deny-write", STGM_SIMPLE | STGM_CREATE | STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
        {"unknown bit", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | 0x80, STG_E_INVALIDFLAG},
    };
    // clang-format on
    TemporaryDirectory folder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<IStorage> storage;
        EXPECT_EQ(providerApi().createDocfile(folder.file(L"modes.stg").c_str(), row.mode, 0,
                                              storage.put()),
                  row.expected);
        EXPECT_EQ(storage.get() != nullptr, SUCCEEDED(row.expected));
    }
}

// Each row passes one argument wrong, on a path where no file exists yet.
TEST_F(EntryPoints, ChecksItsArguments) {
    const StorageApi& api = providerApi();
    const std::wstring inMissingFolder = folder.file(L"none\\args.stg");
    ComPtr<IStorage> storage;
    // clang-format off
    struct Row { const char* label; std::function<HRESULT()> call; HRESULT expected; };
    const Row rows[] = {
        {"is-storage without a name", [&] { return api.isStorageFile(nullptr); }, STG_E_INVALIDNAME},
        {"is-storage without lock bytes", [&] { return api.isStorageLockBytes(nullptr); }, STG_E_INVALIDPOINTER},
        {"open without a name", [&] { return api.openStorage(nullptr, nullptr, kReadMode, nullptr, 0, storage.put()); }, STG_E_INVALIDNAME},
        {"open without out-parameter", [&] { return api.openStorage(path.c_str(), nullptr, kReadMode, nullptr, 0, nullptr); }, STG_E_INVALIDPOINTER},
        {"open with a reserved value", [&] { return api.openStorage(path.c_str(), nullptr, kReadMode, nullptr, 1, storage.put()); }, STG_E_INVALIDPARAMETER},
        {"create without out-parameter", [&] { return api.createDocfile(path.c_str(), kCreateMode, 0, nullptr); }, STG_E_INVALIDPOINTER},
        {"create with a reserved value", [&] { return api.createDocfile(path.c_str(), kCreateMode, 1, storage.put()); }, STG_E_INVALIDPARAMETER},
        {"create in a missing folder", [&] { return api.createDocfile(inMissingFolder.c_str(), kCreateMode, 0, storage.put()); }, STG_E_PATHNOTFOUND},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(row.call(), row.expected);
    }
}

TEST_F(EntryPoints, FailIfThereRefusesAndCreateReplaces) {
    {
        ComPtr<IStorage> storage = createDocument(providerApi(), path);
        writeStream(storage.get(), L"Old", "old contents");
    }
    ComPtr<IStorage> storage;
    EXPECT_EQ(providerApi().createDocfile(path.c_str(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                          storage.put()),
              STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(readStream(openDocument(providerApi(), path, kReadMode).get(), L"Old"),
              "old contents");
    ASSERT_EQ(providerApi().createDocfile(path.c_str(), kCreateMode, 0, storage.put()), S_OK);
    EXPECT_TRUE(listElements(storage.get()).empty());
}

// As documented for StgCreateDocfile (Wine's ole32 empties the file at once instead).
TEST_F(EntryPoints, TransactedCreateReplacesTheFileWhenTheRootCommits) {
    {
        ComPtr<IStorage> storage = createDocument(providerApi(), path);
        writeStream(storage.get(), L"Old", "old contents");
    }
    constexpr DWORD kReplace =
        STGM_CREATE | STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE;
    constexpr DWORD kOtherReader = STGM_TRANSACTED | STGM_READ | STGM_SHARE_DENY_NONE;
    ComPtr<IStorage> storage = createDocument(providerApi(), path, kReplace);
    EXPECT_TRUE(listElements(storage.get()).empty());
    EXPECT_EQ(readStream(openDocument(providerApi(), path, kOtherReader).get(), L"Old"),
              "old contents");
    writeStream(storage.get(), L"New", "new contents");
    ASSERT_EQ(storage->Revert(), S_OK);
    EXPECT_TRUE(listElements(storage.get()).empty());
    writeStream(storage.get(), L"New", "new contents");
    storage.reset();
    EXPECT_EQ(listElements(openDocument(providerApi(), path, kOtherReader).get()), Names{L"s:Old"});
    storage = createDocument(providerApi(), path, kReplace);
    writeStream(storage.get(), L"New", "new contents");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    writeStream(storage.get(), L"Later", "later");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(listElements(openDocument(providerApi(), path, kOtherReader).get()),
              (Names{L"s:New", L"s:Later"}));
}

TEST_F(EntryPoints, ConvertKeepsTheFormerFileInAContentsStream) {
    test_support::writeFile(path, "a flat file's bytes");
    ComPtr<IStorage> storage;
    ASSERT_EQ(providerApi().createDocfile(path.c_str(),
                                          STGM_CONVERT | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                          storage.put()),
              STG_S_CONVERTED);
    EXPECT_EQ(readStream(storage.get(), L"CONTENTS"), "a flat file's bytes");
    storage.reset();
    EXPECT_EQ(providerApi().isStorageFile(path.c_str()), S_OK);
    // Converting a name that does not exist simply creates.
    EXPECT_EQ(providerApi().createDocfile(folder.file(L"new.stg").c_str(),
                                          STGM_CONVERT | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                          storage.put()),
              S_OK);
}

TEST_F(EntryPoints, TemporaryAndDeleteOnReleaseFilesGoWithTheRoot) {
    // clang-format off
    struct Row { const char* label; bool named; };
    // clang-format on
    for (const Row& row : {Row{"no name", false}, Row{"delete on release", true}}) {
        SCOPED_TRACE(row.label);
        ComPtr<IStorage> storage;
        ASSERT_EQ(providerApi().createDocfile(row.named ? path.c_str() : nullptr,
                                              kCreateMode | STGM_DELETEONRELEASE, 0, storage.put()),
                  S_OK);
        STATSTG stat{};
        ASSERT_EQ(storage->Stat(&stat, STATFLAG_DEFAULT), S_OK);
        const std::wstring name = stat.pwcsName;
        CoTaskMemFree(stat.pwcsName);
        EXPECT_TRUE(test_support::fileExists(name));
        writeStream(storage.get(), L"S", "x");
        // A child still referenced does not keep the file.
        ComPtr<IStream> child;
        ASSERT_EQ(storage->OpenStream(L"S", nullptr, kReadWriteMode, 0, child.put()), S_OK);
        storage.reset();
        EXPECT_FALSE(test_support::fileExists(name));
        EXPECT_EQ(child->Write("y", 1, nullptr), STG_E_REVERTED);
    }
}

TEST_F(EntryPoints, AcceptsAndRefusesModesAsDocumented) {
    createDocument(providerApi(), path);
    // clang-format off
    struct Row { const char* label; DWORD mode; HRESULT expected; };
    const Row rows[] = {
        {"read deny-write", STGM_READ | STGM_SHARE_DENY_WRITE, S_OK},
        {"read exclusive", STGM_READ | STGM_SHARE_EXCLUSIVE, S_OK},
        {"read-write exclusive", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, S_OK},
        {"single writer", STGM_DIRECT_SWMR | STGM_READWRITE | STGM_SHARE_DENY_WRITE, S_OK},
        {"reader of a single writer", STGM_DIRECT_SWMR | STGM_READ | STGM_SHARE_DENY_NONE, S_OK},
        {"transacted read-write deny-none", STGM_TRANSACTED | STGM_READWRITE, S_OK},
        {"transacted no snapshot", STGM_TRANSACTED | STGM_NOSNAPSHOT | STGM_READWRITE | STGM_SHARE_DENY_NONE, S_OK},
        {"priority read", STGM_PRIORITY | STGM_READ, S_OK},
        {"simple read", STGM_SIMPLE | STGM_READ | STGM_SHARE_EXCLUSIVE, S_OK},
        {"direct read-write deny-none", STGM_READWRITE | STGM_SHARE_DENY_NONE, STG_E_INVALIDFLAG},
        {"direct read-write deny-write", STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
        {"direct read deny-none", STGM_READ | STGM_SHARE_DENY_NONE, STG_E_INVALIDFLAG},
        {"single writer, transacted", STGM_DIRECT_SWMR | STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
        {"single writer's reader denying writers", STGM_DIRECT_SWMR | STGM_READ | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
        {"direct read deny-read", STGM_READ | STGM_SHARE_DENY_READ, STG_E_INVALIDFLAG},
        {"create", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"convert", STGM_CONVERT | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"delete on release", STGM_DELETEONRELEASE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
        {"priority transacted", STGM_PRIORITY | STGM_TRANSACTED | STGM_READ, STG_E_INVALIDFLAG},
        {"no snapshot deny-write", STGM_TRANSACTED | STGM_NOSNAPSHOT | STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
        {"simple deny-none", STGM_SIMPLE | STGM_READ, STG_E_INVALIDFLAG},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<IStorage> storage;
        EXPECT_EQ(
            providerApi().openStorage(path.c_str(), nullptr, row.mode, nullptr, 0, storage.put()),
            row.expected);
        EXPECT_EQ(storage.get() != nullptr, SUCCEEDED(row.expected));
    }
}

TEST_F(EntryPoints, ExcludedElementsAreOpenedEmpty) {
    {
        ComPtr<IStorage> storage = createDocument(providerApi(), path);
        writeStream(storage.get(), L"Kept", "kept");
        writeStream(storage.get(), L"Dropped", "dropped");
    }
    wchar_t dropped[] = L"Dropped";
    wchar_t* names[] = {dropped, nullptr};
    ComPtr<IStorage> storage;
    EXPECT_EQ(
        providerApi().openStorage(path.c_str(), nullptr, kReadWriteMode, names, 0, storage.put()),
        STG_E_INVALIDFLAG);
    ASSERT_EQ(providerApi().openStorage(path.c_str(), nullptr, kReadWriteMode | STGM_TRANSACTED,
                                        names, 0, storage.put()),
              S_OK);
    EXPECT_EQ(readStream(storage.get(), L"Kept"), "kept");
    EXPECT_EQ(readStream(storage.get(), L"Dropped"), "");
}

TEST_F(EntryPoints, PriorityStorageIsReplacedByTheNewOpening) {
    {
        ComPtr<IStorage> storage = createDocument(providerApi(), path);
        writeStream(storage.get(), L"S", "priority");
    }
    IStorage* priority = nullptr;
    ASSERT_EQ(providerApi().openStorage(path.c_str(), nullptr, STGM_PRIORITY | STGM_READ, nullptr,
                                        0, &priority),
              S_OK);
    ComPtr<IStorage> storage;
    ASSERT_EQ(providerApi().openStorage(nullptr, priority, kReadMode, nullptr, 0, storage.put()),
              S_OK);
    EXPECT_EQ(readStream(storage.get(), L"S"), "priority");
}

TEST(StgOnILockBytes, CreatesAndReopensDocumentsInMemory) {
    ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    {
        ComPtr<IStorage> storage;
        ASSERT_EQ(
            providerApi().createDocfileOnLockBytes(bytes.get(), kCreateMode, 0, storage.put()),
            S_OK);
        writeStream(storage.get(), L"Memory", "in memory");
        ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    }
    ComPtr<IStorage> storage;
    EXPECT_EQ(providerApi().createDocfileOnLockBytes(bytes.get(), kReadWriteMode, 0, storage.put()),
              STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(providerApi().createDocfileOnLockBytes(nullptr, kCreateMode, 0, storage.put()),
              STG_E_INVALIDPOINTER);
    ASSERT_EQ(providerApi().openStorageOnLockBytes(bytes.get(), nullptr, kReadMode, nullptr, 0,
                                                   storage.put()),
              S_OK);
    EXPECT_EQ(readStream(storage.get(), L"Memory"), "in memory");
    // Wine's ole32 reads what the provider wrote on the same lock bytes.
    storage.reset();
    ASSERT_EQ(ole32Api().openStorageOnLockBytes(bytes.get(), nullptr, kReadMode, nullptr, 0,
                                                storage.put()),
              S_OK);
    EXPECT_EQ(readStream(storage.get(), L"Memory"), "in memory");
}

TEST_F(EntryPoints, ChecksFormatOptionsAndInterface) {
    STGOPTIONS large{1, 0, 4096, nullptr};
    STGOPTIONS odd{1, 0, 1024, nullptr};
    STGOPTIONS future{3, 0, 512, nullptr};
    // clang-format off
    struct Row { const char* label; DWORD format; DWORD attributes; STGOPTIONS* options; const IID* iid; HRESULT expected; };
    const Row rows[] = {
        {"docfile", STGFMT_DOCFILE, 0, nullptr, &IID_IStorage, S_OK},
        {"storage", STGFMT_STORAGE, 0, nullptr, &IID_IStorage, S_OK},
        {"property set storage", STGFMT_DOCFILE, 0, nullptr, &IID_IPropertySetStorage, S_OK},
        {"large sectors", STGFMT_DOCFILE, 0, &large, &IID_IStorage, S_OK},
        {"any", STGFMT_ANY, 0, nullptr, &IID_IStorage, STG_E_INVALIDPARAMETER},
        {"flat file", STGFMT_FILE, 0, nullptr, &IID_IStorage, STG_E_INVALIDPARAMETER},
        {"sector of 1024", STGFMT_DOCFILE, 0, &odd, &IID_IStorage, STG_E_INVALIDPARAMETER},
        {"options version 3", STGFMT_DOCFILE, 0, &future, &IID_IStorage, STG_E_INVALIDPARAMETER},
        {"attributes", STGFMT_DOCFILE, FILE_ATTRIBUTE_HIDDEN, nullptr, &IID_IStorage, STG_E_INVALIDPARAMETER},
        {"stream interface", STGFMT_DOCFILE, 0, nullptr, &IID_IStream, E_NOINTERFACE},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<IUnknown> object;
        EXPECT_EQ(providerApi().createStorageEx(path.c_str(), kCreateMode, row.format,
                                                row.attributes, row.options, nullptr, *row.iid,
                                                object.putVoid()),
                  row.expected);
        EXPECT_EQ(object.get() != nullptr, SUCCEEDED(row.expected));
    }
}

TEST_F(EntryPoints, SectorSizeSelectsTheFileVersion) {
    // clang-format off
    struct Row { const char* label; ULONG sectorSize; int major; int shift; };
    // clang-format on
    for (const Row& row : {Row{"512", 512, 3, 9}, Row{"4096", 4096, 4, 12}}) {
        SCOPED_TRACE(row.label);
        writeStream(createDocumentWithSectors(path, row.sectorSize).get(), L"Big",
                    patternBytes(10000));
        EXPECT_EQ(headerVersionAndShift(path), std::make_pair(row.major, row.shift));
        ComPtr<IStorage> reopened;
        ASSERT_EQ(providerApi().openStorageEx(path.c_str(), kReadMode, STGFMT_ANY, 0, nullptr,
                                              nullptr, IID_IStorage, reopened.putVoid()),
                  S_OK);
        EXPECT_EQ(readStream(reopened.get(), L"Big"), patternBytes(10000));
        reopened.reset();
        ASSERT_EQ(
            ole32Api().openStorage(path.c_str(), nullptr, kReadMode, nullptr, 0, reopened.put()),
            S_OK);
        EXPECT_EQ(readStream(reopened.get(), L"Big"), patternBytes(10000));
    }
}

TEST_F(EntryPoints, ChecksFormatAndInterface) {
    createDocument(providerApi(), path);
    int reservedValue = 0;
    // clang-format off
    struct Row { const char* label; DWORD format; void* reserved; const IID* iid; HRESULT expected; };
    const Row rows[] = {
        {"any", STGFMT_ANY, nullptr, &IID_IStorage, S_OK},
        {"docfile", STGFMT_DOCFILE, nullptr, &IID_IStorage, S_OK},
        {"storage", STGFMT_STORAGE, nullptr, &IID_IStorage, S_OK},
        {"property sets", STGFMT_ANY, nullptr, &IID_IPropertySetStorage, S_OK},
        {"flat", STGFMT_FILE, nullptr, &IID_IStorage, STG_E_INVALIDPARAMETER},
        {"reserved", STGFMT_ANY, &reservedValue, &IID_IStorage, STG_E_INVALIDPARAMETER},
        {"stream", STGFMT_ANY, nullptr, &IID_IStream, E_NOINTERFACE},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<IUnknown> object;
        EXPECT_EQ(providerApi().openStorageEx(path.c_str(), kReadMode, row.format, 0, nullptr,
                                              row.reserved, *row.iid, object.putVoid()),
                  row.expected);
    }
}

TEST_F(EntryPoints, DocumentsBeyondMaxPathAreCreatedAndOpened) {
    std::wstring deep = L"\\\\?\\" + folder.path();
    while (deep.size() < 300) {
        deep += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    const std::wstring file = deep + L"\\long.stg";
    ASSERT_GE(file.size(), 260u);
    {
        ComPtr<IStorage> storage = createDocument(providerApi(), file);
        writeStream(storage.get(), L"Long", "far away");
    }
    EXPECT_EQ(providerApi().isStorageFile(file.c_str()), S_OK);
    ComPtr<IStorage> storage = openDocument(providerApi(), file, kReadMode);
    EXPECT_EQ(readStream(storage.get(), L"Long"), "far away");
    storage.reset();
    // Clean up the deep folders, which the temporary folder's removal cannot reach.
    DeleteFileW(file.c_str());
    while (deep.size() > folder.path().size() + 4) {
        RemoveDirectoryW(deep.c_str());
        deep.erase(deep.find_last_of(L'\\'));
    }
}
