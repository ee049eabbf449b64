// The Stg* entry points: the export tables of the provider and its two variants, and the
// documented checks and outcomes of creating and opening roots.
#include "provider_api.h"

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
const std::set<std::string> kAllExports = {"StgCreateDocfile",   "StgCreateDocfileOnILockBytes",
                                           "StgIsStorageFile",   "StgIsStorageILockBytes",
                                           "StgOpenStorage",     "StgOpenStorageOnILockBytes",
                                           "StgCreateStorageEx", "StgOpenStorageEx"};

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

TEST(ProviderExports, EachBuildExportsWhatItsFolderPromises) {
    EXPECT_EQ(test_support::exportedNames(providerApi().module), kAllExports);
    for (const auto& [folder, exports] :
         {std::pair{L"classic-only", kClassicExports}, std::pair{L"ex-notimpl", kAllExports}}) {
        SCOPED_TRACE(test_support::narrow(folder));
        const HMODULE module = loadProvider(variantPath(folder)).module;
        ASSERT_NE(module, providerApi().module);
        EXPECT_EQ(test_support::exportedNames(module), exports);
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
    EXPECT_NO_THROW(createDocument(api, path));
    FreeLibrary(api.module);
}

// Each row makes one call in a folder that holds a document at `path` (streams "Kept" and
// "Dropped") and a few other files; what it opens or creates is released at once, and a
// call gives a root exactly when it answers S_OK.
TEST_F(EntryPoints, AnswerTheDocumentedCodes) {
    const StorageApi& api = providerApi();
    {
        ComPtr<IStorage> document = createDocument(api, path);
        writeStream(document.get(), L"Kept", "kept");
        writeStream(document.get(), L"Dropped", "dropped");
    }
    test_support::writeFile(folder.file(L"text.txt"), std::string(2048, 't'));
    test_support::writeFile(folder.file(L"short.bin"), "\xD0\xCF");
    test_support::writeFile(folder.file(L"empty.txt"), "");
    const std::wstring created = folder.file(L"created.stg");
    ComPtr<IStorage> storage; // a root of a classic entry point
    ComPtr<IUnknown> object;  // an object of an Ex entry point
    ComPtr<ILockBytes> emptyBytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, emptyBytes.put()), S_OK);
    wchar_t dropped[] = L"Dropped";
    wchar_t* exclusions[] = {dropped, nullptr};
    STGOPTIONS large{1, 0, 4096, nullptr}, odd{1, 0, 1024, nullptr}, future{3, 0, 512, nullptr};
    int reservedValue = 0;
    // clang-format off
    using Call = std::function<HRESULT()>;
    auto create = [&](DWORD mode) -> Call { return [&, mode] { return api.createDocfile(created.c_str(), mode, 0, storage.put()); }; };
    auto openAt = [&](const wchar_t* name, DWORD mode) -> Call { return [&, name, mode] { return api.openStorage(folder.file(name).c_str(), nullptr, mode, nullptr, 0, storage.put()); }; };
    auto open = [&](DWORD mode) { return openAt(L"document.stg", mode); };
    auto isStorage = [&](const wchar_t* name) -> Call { return [&, name] { return api.isStorageFile(folder.file(name).c_str()); }; };
    auto createEx = [&](DWORD format, DWORD attributes, STGOPTIONS* options, const IID& iid) -> Call { return [&, format, attributes, options] { return api.createStorageEx(created.c_str(), kCreateMode, format, attributes, options, nullptr, iid, object.putVoid()); }; };
    auto openEx = [&](DWORD format, void* reserved, const IID& iid) -> Call { return [&, format, reserved] { return api.openStorageEx(path.c_str(), kReadMode, format, 0, nullptr, reserved, iid, object.putVoid()); }; };
    struct Row { const char* label; Call call; HRESULT expected; };
    const Row rows[] = {
        // StgIsStorageFile and StgOpenStorage tell documents from other files.
        {"is a text file", isStorage(L"text.txt"), S_FALSE},
        {"is a file shorter than the signature", isStorage(L"short.bin"), S_FALSE},
        {"is a missing file", isStorage(L"missing.stg"), STG_E_FILENOTFOUND},
        {"is in a missing folder", isStorage(L"none\\doc.stg"), STG_E_PATHNOTFOUND},
        {"open a text file", openAt(L"text.txt", kReadMode), STG_E_FILEALREADYEXISTS},
        {"open an empty file", openAt(L"empty.txt", kReadMode), STG_E_FILEALREADYEXISTS},
        {"open a missing file", openAt(L"missing.stg", kReadMode), STG_E_FILENOTFOUND},
        {"open in a missing folder", openAt(L"none\\doc.stg", kReadMode), STG_E_PATHNOTFOUND},
        // StgCreateDocfile's modes
        {"create direct exclusive", create(STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK},
        {"create write-only exclusive", create(STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE), S_OK},
        {"create transacted deny-none", create(STGM_CREATE | STGM_TRANSACTED | STGM_READWRITE), S_OK},
        {"create transacted deny-write", create(STGM_CREATE | STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE), S_OK},
        {"create transacted no scratch", create(STGM_CREATE | STGM_TRANSACTED | STGM_NOSCRATCH | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK},
        {"create simple", create(STGM_SIMPLE | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK},
        {"create read only", create(STGM_CREATE | STGM_READ | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"create direct deny-write", create(STGM_CREATE | STGM_READWRITE | STGM_SHARE_DENY_WRITE), STG_E_INVALIDFLAG},
        {"create access 3", create(STGM_CREATE | 3 | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"create share 0x50", create(STGM_CREATE | STGM_READWRITE | 0x50), STG_E_INVALIDFLAG},
        {"create and convert", create(STGM_CREATE | STGM_CONVERT | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"create priority", create(STGM_PRIORITY | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"create no scratch in direct mode", create(STGM_NOSCRATCH | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"create single writer", create(STGM_DIRECT_SWMR | STGM_CREATE | STGM_READWRITE | STGM_SHARE_DENY_WRITE), S_OK},
        {"create single writer, exclusive", create(STGM_DIRECT_SWMR | STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"create simple deny-write", create(STGM_SIMPLE | STGM_CREATE | STGM_READWRITE | STGM_SHARE_DENY_WRITE), STG_E_INVALIDFLAG},
        {"create unknown bit", create(STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | 0x80), STG_E_INVALIDFLAG},
        {"create without STGM_CREATE over a document", [&] { return api.createDocfile(path.c_str(), kReadWriteMode, 0, storage.put()); }, STG_E_FILEALREADYEXISTS},
        // StgOpenStorage's modes
        {"open read deny-write", open(STGM_READ | STGM_SHARE_DENY_WRITE), S_OK},
        {"open read exclusive", open(STGM_READ | STGM_SHARE_EXCLUSIVE), S_OK},
        {"open read-write exclusive", open(STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK},
        {"open single writer", open(STGM_DIRECT_SWMR | STGM_READWRITE | STGM_SHARE_DENY_WRITE), S_OK},
        {"open reader of a single writer", open(STGM_DIRECT_SWMR | STGM_READ | STGM_SHARE_DENY_NONE), S_OK},
        {"open transacted read-write deny-none", open(STGM_TRANSACTED | STGM_READWRITE), S_OK},
        {"open transacted no snapshot", open(STGM_TRANSACTED | STGM_NOSNAPSHOT | STGM_READWRITE | STGM_SHARE_DENY_NONE), S_OK},
        {"open priority read", open(STGM_PRIORITY | STGM_READ), S_OK},
        {"open simple read", open(STGM_SIMPLE | STGM_READ | STGM_SHARE_EXCLUSIVE), S_OK},
        {"open direct read-write deny-none", open(STGM_READWRITE | STGM_SHARE_DENY_NONE), STG_E_INVALIDFLAG},
        {"open direct read-write deny-write", open(STGM_READWRITE | STGM_SHARE_DENY_WRITE), STG_E_INVALIDFLAG},
        {"open direct read deny-none", open(STGM_READ | STGM_SHARE_DENY_NONE), STG_E_INVALIDFLAG},
        {"open single writer, transacted", open(STGM_DIRECT_SWMR | STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE), STG_E_INVALIDFLAG},
        {"open single writer's reader denying writers", open(STGM_DIRECT_SWMR | STGM_READ | STGM_SHARE_DENY_WRITE), STG_E_INVALIDFLAG},
        {"open direct read deny-read", open(STGM_READ | STGM_SHARE_DENY_READ), STG_E_INVALIDFLAG},
        {"open create", open(STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"open convert", open(STGM_CONVERT | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"open delete on release", open(STGM_DELETEONRELEASE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_INVALIDFLAG},
        {"open priority transacted", open(STGM_PRIORITY | STGM_TRANSACTED | STGM_READ), STG_E_INVALIDFLAG},
        {"open no snapshot deny-write", open(STGM_TRANSACTED | STGM_NOSNAPSHOT | STGM_READWRITE | STGM_SHARE_DENY_WRITE), STG_E_INVALIDFLAG},
        {"open simple deny-none", open(STGM_SIMPLE | STGM_READ), STG_E_INVALIDFLAG},
        {"open with exclusions, direct", [&] { return api.openStorage(path.c_str(), nullptr, kReadWriteMode, exclusions, 0, storage.put()); }, STG_E_INVALIDFLAG},
        // Arguments
        {"is-storage without a name", [&] { return api.isStorageFile(nullptr); }, STG_E_INVALIDNAME},
        {"is-storage without lock bytes", [&] { return api.isStorageLockBytes(nullptr); }, STG_E_INVALIDPOINTER},
        {"is-storage on lock bytes holding nothing", [&] { return api.isStorageLockBytes(emptyBytes.get()); }, S_FALSE},
        {"open without a name", [&] { return api.openStorage(nullptr, nullptr, kReadMode, nullptr, 0, storage.put()); }, STG_E_INVALIDNAME},
        {"open without out-parameter", [&] { return api.openStorage(path.c_str(), nullptr, kReadMode, nullptr, 0, nullptr); }, STG_E_INVALIDPOINTER},
        {"open with a reserved value", [&] { return api.openStorage(path.c_str(), nullptr, kReadMode, nullptr, 1, storage.put()); }, STG_E_INVALIDPARAMETER},
        {"create without out-parameter", [&] { return api.createDocfile(created.c_str(), kCreateMode, 0, nullptr); }, STG_E_INVALIDPOINTER},
        {"create with a reserved value", [&] { return api.createDocfile(created.c_str(), kCreateMode, 1, storage.put()); }, STG_E_INVALIDPARAMETER},
        {"create in a missing folder", [&] { return api.createDocfile(folder.file(L"none\\new.stg").c_str(), kCreateMode, 0, storage.put()); }, STG_E_PATHNOTFOUND},
        {"create on no lock bytes", [&] { return api.createDocfileOnLockBytes(nullptr, kCreateMode, 0, storage.put()); }, STG_E_INVALIDPOINTER},
        // StgCreateStorageEx: format, options and interface
        {"create-ex docfile", createEx(STGFMT_DOCFILE, 0, nullptr, IID_IStorage), S_OK},
        {"create-ex storage", createEx(STGFMT_STORAGE, 0, nullptr, IID_IStorage), S_OK},
        {"create-ex property set storage", createEx(STGFMT_DOCFILE, 0, nullptr, IID_IPropertySetStorage), S_OK},
        {"create-ex large sectors", createEx(STGFMT_DOCFILE, 0, &large, IID_IStorage), S_OK},
        {"create-ex any", createEx(STGFMT_ANY, 0, nullptr, IID_IStorage), STG_E_INVALIDPARAMETER},
        {"create-ex flat file", createEx(STGFMT_FILE, 0, nullptr, IID_IStorage), STG_E_INVALIDPARAMETER},
        {"create-ex sector of 1024", createEx(STGFMT_DOCFILE, 0, &odd, IID_IStorage), STG_E_INVALIDPARAMETER},
        {"create-ex options version 3", createEx(STGFMT_DOCFILE, 0, &future, IID_IStorage), STG_E_INVALIDPARAMETER},
        {"create-ex attributes", createEx(STGFMT_DOCFILE, FILE_ATTRIBUTE_HIDDEN, nullptr, IID_IStorage), STG_E_INVALIDPARAMETER},
        {"create-ex stream interface", createEx(STGFMT_DOCFILE, 0, nullptr, IID_IStream), E_NOINTERFACE},
        // StgOpenStorageEx: format and interface
        {"open-ex any", openEx(STGFMT_ANY, nullptr, IID_IStorage), S_OK},
        {"open-ex docfile", openEx(STGFMT_DOCFILE, nullptr, IID_IStorage), S_OK},
        {"open-ex storage", openEx(STGFMT_STORAGE, nullptr, IID_IStorage), S_OK},
        {"open-ex property sets", openEx(STGFMT_ANY, nullptr, IID_IPropertySetStorage), S_OK},
        {"open-ex flat", openEx(STGFMT_FILE, nullptr, IID_IStorage), STG_E_INVALIDPARAMETER},
        {"open-ex reserved", openEx(STGFMT_ANY, &reservedValue, IID_IStorage), STG_E_INVALIDPARAMETER},
        {"open-ex stream", openEx(STGFMT_ANY, nullptr, IID_IStream), E_NOINTERFACE},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(row.call(), row.expected);
        EXPECT_EQ(storage || object, row.expected == S_OK);
        storage.reset();
        object.reset();
    }
    // None of them changed the document; it is one, opening with exclusions shows the excluded
    // empty, and a priority root hands its file over to the opening that names it.
    EXPECT_EQ(api.isStorageFile(path.c_str()), S_OK);
    ASSERT_EQ(api.openStorage(path.c_str(), nullptr, kReadWriteMode | STGM_TRANSACTED, exclusions,
                              0, storage.put()),
              S_OK);
    EXPECT_EQ(readStream(storage.get(), L"Kept") + "|" + readStream(storage.get(), L"Dropped"),
              "kept|");
    storage.reset();
    IStorage* priority = nullptr;
    ASSERT_EQ(
        api.openStorage(path.c_str(), nullptr, STGM_PRIORITY | STGM_READ, nullptr, 0, &priority),
        S_OK);
    ASSERT_EQ(api.openStorage(nullptr, priority, kReadMode, nullptr, 0, storage.put()), S_OK);
    EXPECT_EQ(readStream(storage.get(), L"Dropped"), "dropped");
    storage.reset();
    // With STGM_CREATE a new document replaces it.
    EXPECT_TRUE(listElements(createDocument(api, path).get()).empty());
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

TEST_F(EntryPoints, ReportsTheModeTheRootIsOpenFor) {
    // STGM_CREATE says how a root came to be, not what it is open for.
    for (const DWORD transacted : {DWORD{0}, DWORD{STGM_TRANSACTED}}) {
        for (const bool onLockBytes : {false, true}) {
            for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
                SCOPED_TRACE(std::string(api->label) + (onLockBytes ? " lock bytes" : " file") +
                             (transacted ? ", transacted" : ""));
                ComPtr<ILockBytes> bytes;
                ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
                const DWORD mode = kCreateMode | transacted;
                ComPtr<IStorage> root;
                const std::wstring file = folder.file(L"stat.stg");
                ASSERT_EQ(onLockBytes
                              ? api->createDocfileOnLockBytes(bytes.get(), mode, 0, root.put())
                              : api->createDocfile(file.c_str(), mode, 0, root.put()),
                          S_OK);
                STATSTG stat{};
                ASSERT_EQ(root->Stat(&stat, STATFLAG_NONAME), S_OK);
                EXPECT_EQ(stat.grfMode, kReadWriteMode | transacted);
            }
        }
    }
}

// A document written on lock bytes that grow dirty and cannot lock, created, then opened
// again and changed, holds none of those bytes, is never locked (a transacted root that others
// may share takes the commit byte where it can) and reads the same through both.
TEST(StgOnILockBytes, DirtyGrowthNeverReachesTheDocumentAndNothingLocks) {
    constexpr DWORD kShared = STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_NONE;
    const std::pair<const StorageApi*, DWORD> writers[] = {
        {&providerApi(), kReadWriteMode}, {&providerApi(), kShared}, {&ole32Api(), kShared}};
    for (const auto& [writer, mode] : writers) {
        SCOPED_TRACE(std::string(writer->label) + (mode == kShared ? " shared" : " exclusive"));
        auto lockBytes = support::makeComObject<DirtyGrowthLockBytes>();
        ComPtr<IStorage> storage;
        ASSERT_EQ(
            writer->createDocfileOnLockBytes(lockBytes.get(), STGM_CREATE | mode, 0, storage.put()),
            S_OK);
        writeStream(storage.get(), L"Small", patternBytes(100, 1));
        writeStream(storage.get(), L"Large", patternBytes(70000, 2));
        ComPtr<IStream> grown;
        ASSERT_EQ(storage->CreateStream(L"Grown", kCreateMode, 0, 0, grown.put()), S_OK);
        ASSERT_EQ(grown->SetSize(ULARGE_INTEGER{{10000, 0}}), S_OK);
        grown.reset();
        ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
        ASSERT_EQ(writer->openStorageOnLockBytes(lockBytes.get(), nullptr, mode, nullptr, 0,
                                                 storage.put()),
                  S_OK);
        writeStream(storage.get(), L"More", "more");
        ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
        storage.reset();
        EXPECT_EQ(lockBytes->lockCalls, 0);
        if (writer == &providerApi()) { // Wine's ole32 leaves what the lock bytes grew by
            EXPECT_EQ(lockBytes->bytes.find(std::string(16, '\xA5')), std::string::npos);
        }
        EXPECT_EQ(providerApi().isStorageLockBytes(lockBytes.get()), S_OK);
        EXPECT_EQ(providerApi().createDocfileOnLockBytes(lockBytes.get(), kReadWriteMode, 0,
                                                         storage.put()),
                  STG_E_FILEALREADYEXISTS);
        for (const StorageApi* reader : {&providerApi(), &ole32Api()}) {
            SCOPED_TRACE(std::string("read by ") + reader->label);
            ASSERT_EQ(reader->openStorageOnLockBytes(lockBytes.get(), nullptr, kReadMode, nullptr,
                                                     0, storage.put()),
                      S_OK);
            EXPECT_TRUE(
                readStream(storage.get(), L"Small") + readStream(storage.get(), L"Large") +
                    readStream(storage.get(), L"Grown") + readStream(storage.get(), L"More") ==
                patternBytes(100, 1) + patternBytes(70000, 2) + std::string(10000, '\0') + "more");
        }
    }
}

// As documented for StgCreateDocfile (Wine's ole32 empties the file at once instead).
TEST_F(EntryPoints, TransactedCreateReplacesTheFileWhenTheRootCommits) {
    writeStream(createDocument(providerApi(), path).get(), L"Old", "old contents");
    constexpr DWORD kReplace =
        STGM_CREATE | STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE;
    auto seenByAnother = [&] {
        return listElements(
            openDocument(providerApi(), path, STGM_TRANSACTED | STGM_READ | STGM_SHARE_DENY_NONE)
                .get());
    };
    ComPtr<IStorage> storage = createDocument(providerApi(), path, kReplace);
    EXPECT_TRUE(listElements(storage.get()).empty());
    EXPECT_EQ(seenByAnother(), Names{L"s:Old"});
    writeStream(storage.get(), L"New", "new contents");
    ASSERT_EQ(storage->Revert(), S_OK);
    EXPECT_TRUE(listElements(storage.get()).empty());
    writeStream(storage.get(), L"New", "new contents");
    storage.reset();
    EXPECT_EQ(seenByAnother(), Names{L"s:Old"});
    storage = createDocument(providerApi(), path, kReplace);
    writeStream(storage.get(), L"New", "new contents");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    writeStream(storage.get(), L"Later", "later");
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(seenByAnother(), (Names{L"s:New", L"s:Later"}));
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
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "delete on release" : "no name");
        ComPtr<IStorage> storage;
        ASSERT_EQ(providerApi().createDocfile(named ? path.c_str() : nullptr,
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

TEST_F(EntryPoints, DocumentsBeyondMaxPathAreCreatedAndOpened) {
    std::wstring deep = L"\\\\?\\" + folder.path();
    while (deep.size() < 300) {
        deep += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    const std::wstring file = deep + L"\\long.stg";
    ASSERT_GE(file.size(), 260u);
    writeStream(createDocument(providerApi(), file).get(), L"Long", "far away");
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
