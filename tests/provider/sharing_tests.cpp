// Share modes: a document held open with one mode, and a second opener with another, in this
// process and in another one, through the provider and through Wine's ole32.
//
// A second opener that would read (write) while the first denies reading (writing) gets
// STG_E_SHAREVIOLATION; one that would deny reading (writing) while the first reads (writes)
// gets STG_E_LOCKVIOLATION, unless the file's own share flags already refused it (they keep
// out writers of a root that denies writing). Where Wine's ole32 answers otherwise, the row
// says what Wine answers and why.
#include "provider_api.h"

#include <cstdio>

using namespace provider_test;
using test_support::TemporaryDirectory;
using ShareModes = DocumentTest;

namespace {

constexpr DWORD kRead = STGM_READ;
constexpr DWORD kReadWrite = STGM_READWRITE;
constexpr DWORD kTransacted = STGM_TRANSACTED;
constexpr DWORD kDenyNone = STGM_SHARE_DENY_NONE;
constexpr DWORD kDenyRead = STGM_SHARE_DENY_READ;
constexpr DWORD kDenyWrite = STGM_SHARE_DENY_WRITE;
constexpr DWORD kExclusive = STGM_SHARE_EXCLUSIVE;
constexpr DWORD kSingleWriter = STGM_DIRECT_SWMR | kReadWrite | kDenyWrite;
constexpr DWORD kSingleWriterReader = STGM_DIRECT_SWMR | kRead | kDenyNone;

enum class Call { open, create };

// The second opener in another process: one helper answers every call of a test, opening and
// releasing its own storage each time.
class OtherProcess {
public:
    HRESULT call(const StorageApi& api, const std::wstring& path, DWORD mode, Call call) {
        char request[48];
        std::snprintf(request, sizeof request, "%s %lX %s ", call == Call::open ? "open" : "create",
                      static_cast<unsigned long>(mode), &api == &ole32Api() ? "ole32" : "provider");
        unsigned long hr = 0;
        if (std::sscanf(helper_.ask(request + test_support::narrow(path)).c_str(), "hr=%lX", &hr) !=
            1)
            return E_UNEXPECTED;
        return static_cast<HRESULT>(hr);
    }

private:
    test_support::ConversingProgram helper_{test_support::programDirectory() + L"\\test_helper.exe",
                                            L"stg-serve"};
};

HRESULT callHere(const StorageApi& api, const std::wstring& path, DWORD mode, Call call) {
    ComPtr<IStorage> storage;
    if (call == Call::create)
        return api.createDocfile(path.c_str(), mode, 0, storage.put());
    return api.openStorage(path.c_str(), nullptr, mode, nullptr, 0, storage.put());
}

// clang-format off
struct ShareRow { const char* label; DWORD held; DWORD second; Call call; HRESULT expected; /* Where Wine's ole32 answers otherwise: why, and what it answers. */ const char* wineDiffers = nullptr; HRESULT wine = S_OK; };
// clang-format on

constexpr Call kOpen = Call::open;
constexpr Call kCreate = Call::create;
constexpr DWORD kCreateExclusive = STGM_CREATE | kReadWrite | kExclusive;
constexpr const char* kWineDenyReadShareFlags =
    "Wine opens a root that denies reading with FILE_SHARE_WRITE only, so CreateFile refuses "
    "the second opener first; ole32 lets other handles read the file (Wine's own test_access "
    "tables) and leaves denying reads to its byte-range locks";

constexpr const char* kWineLocksDirectReader =
    "a direct reader denying writers holds no byte-range lock in ole32 (Wine's test_locking "
    "table: no_locked_bytes), only the file's share flags; Wine 8.0 locks a read and a "
    "deny-write byte for it";
constexpr const char* kWineCreateFails =
    "Wine's StgCreateDocfile answers E_FAIL for every CreateFile failure but ERROR_FILE_EXISTS";
constexpr DWORD kTransactedReader = kTransacted | kRead | kDenyNone;
constexpr DWORD kTransactedWriter = kTransacted | kReadWrite | kDenyNone;

const ShareRow kShareRows[] = {
    // clang-format off
    {"two readers denying writers", kRead | kDenyWrite, kRead | kDenyWrite, kOpen, S_OK},
    {"reader denying writers, then an exclusive writer", kRead | kDenyWrite, kReadWrite | kExclusive, kOpen, STG_E_SHAREVIOLATION},
    {"reader denying writers, then a transacted writer", kRead | kDenyWrite, kTransactedWriter, kOpen, STG_E_SHAREVIOLATION},
    {"reader denying writers, then an exclusive reader", kRead | kDenyWrite, kRead | kExclusive, kOpen, S_OK, kWineLocksDirectReader, STG_E_LOCKVIOLATION},
    {"exclusive writer, then a transacted reader", kReadWrite | kExclusive, kTransactedReader, kOpen, STG_E_SHAREVIOLATION},
    {"exclusive reader, then a reader denying writers", kRead | kExclusive, kRead | kDenyWrite, kOpen, STG_E_SHAREVIOLATION},
    {"transacted reader, then an exclusive reader", kTransactedReader, kRead | kExclusive, kOpen, STG_E_LOCKVIOLATION},
    {"transacted reader, then an exclusive writer", kTransactedReader, kReadWrite | kExclusive, kOpen, STG_E_LOCKVIOLATION},
    {"transacted reader denying writers, then a transacted exclusive reader", kTransacted | kRead | kDenyWrite, kTransacted | kRead | kExclusive, kOpen, STG_E_LOCKVIOLATION},
    {"transacted reader, then a transacted reader denying readers", kTransactedReader, kTransacted | kRead | kDenyRead, kOpen, STG_E_LOCKVIOLATION, kWineDenyReadShareFlags, STG_E_SHAREVIOLATION},
    {"transacted reader denying readers, then a reader", kTransacted | kRead | kDenyRead, kTransactedReader, kOpen, STG_E_SHAREVIOLATION},
    {"transacted reader denying readers, then a writer that does not read", kTransacted | kRead | kDenyRead, kTransacted | STGM_WRITE | kDenyNone, kOpen, S_OK, kWineDenyReadShareFlags, STG_E_SHAREVIOLATION},
    {"two transacted writers sharing everything", kTransactedWriter, kTransactedWriter, kOpen, S_OK},
    {"transacted writer, then a transacted writer without snapshot", kTransactedWriter, kTransactedWriter | STGM_NOSNAPSHOT, kOpen, STG_E_LOCKVIOLATION},
    {"transacted writer denying writers, then a transacted reader", kTransacted | kReadWrite | kDenyWrite, kTransactedReader, kOpen, S_OK},
    {"two transacted writers denying writers", kTransacted | kReadWrite | kDenyWrite, kTransacted | kReadWrite | kDenyWrite, kOpen, STG_E_SHAREVIOLATION},
    {"priority reader, then an exclusive writer", STGM_PRIORITY | kRead, kReadWrite | kExclusive, kOpen, STG_E_LOCKVIOLATION},
    {"priority reader, then a transacted writer", STGM_PRIORITY | kRead, kTransactedWriter, kOpen, S_OK},
    {"single writer, then one of its readers", kSingleWriter, kSingleWriterReader, kOpen, S_OK},
    {"reader of a single writer, then the writer", kSingleWriterReader, kSingleWriter, kOpen, S_OK},
    {"single writer, then a reader denying writers", kSingleWriter, kRead | kDenyWrite, kOpen, STG_E_SHAREVIOLATION},
    {"creating over a transacted reader", kTransactedReader, kCreateExclusive, kCreate, STG_E_LOCKVIOLATION},
    {"creating over an exclusive writer", kReadWrite | kExclusive, kCreateExclusive, kCreate, STG_E_SHAREVIOLATION, kWineCreateFails, E_FAIL},
    // clang-format on
};

// A document with one stream, "S" = "shared".
void makeSharedDocument(const std::wstring& path) {
    writeStream(createDocument(providerApi(), path).get(), L"S", "shared");
}

} // namespace

TEST_F(ShareModes, SecondOpenersAnswerAsOle32Does) {
    OtherProcess other;
    for (const ShareRow& row : kShareRows) {
        SCOPED_TRACE(row.label);
        makeSharedDocument(path);
        const HRESULT wine = row.wineDiffers ? row.wine : row.expected;
        for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
            SCOPED_TRACE(api->label);
            const HRESULT expected = api == &providerApi() ? row.expected : wine;
            ComPtr<IStorage> held;
            ASSERT_EQ(api->openStorage(path.c_str(), nullptr, row.held, nullptr, 0, held.put()),
                      S_OK);
            EXPECT_EQ(callHere(*api, path, row.second, row.call), expected) << "in this process";
            EXPECT_EQ(other.call(*api, path, row.second, row.call), expected)
                << "in another process";
            // Both keep their locks where ole32 keeps them, so a document held by one is
            // refused to the other alike.
            const StorageApi& otherApi = api == &providerApi() ? ole32Api() : providerApi();
            if (!row.wineDiffers && row.call == kOpen) {
                EXPECT_EQ(callHere(otherApi, path, row.second, row.call), expected)
                    << "through the other implementation";
            }
            // A refused creation leaves the document as it was (Wine's ole32 empties it first).
            if (api == &providerApi() && row.call == kCreate) {
                held.reset();
                EXPECT_EQ(
                    readStream(openDocument(providerApi(), path, kRead | kDenyWrite).get(), L"S"),
                    "shared");
            }
        }
    }
}

TEST_F(ShareModes, ReleasingTheRootLetsOthersIn) {
    OtherProcess other;
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IStream> child;
    ASSERT_EQ(root->CreateStream(L"S", kCreateMode, 0, 0, child.put()), S_OK);
    EXPECT_EQ(other.call(providerApi(), path, kRead | kDenyWrite, kOpen), STG_E_SHAREVIOLATION);
    root.reset();
    // The stream is still referenced, but the file and its locks go with the root.
    EXPECT_EQ(other.call(providerApi(), path, kRead | kExclusive, kOpen), S_OK);
    EXPECT_EQ(child->Write("x", 1, nullptr), STG_E_REVERTED);
}

TEST_F(ShareModes, TheSingleWriterChangesNothingWithoutWriteAccess) {
    OtherProcess other;
    makeSharedDocument(path);
    ComPtr<IStorage> writer = openDocument(providerApi(), path, kSingleWriter);
    ComPtr<IStorage> reader = openDocument(providerApi(), path, kSingleWriterReader);
    ComPtr<IDirectWriterLock> lock;
    ASSERT_EQ(writer->QueryInterface(IID_IDirectWriterLock, lock.putVoid()), S_OK);
    ComPtr<IDirectWriterLock> readerLock;
    EXPECT_EQ(reader->QueryInterface(IID_IDirectWriterLock, readerLock.putVoid()), E_NOINTERFACE);

    ComPtr<IStream> stream;
    EXPECT_EQ(writer->CreateStream(L"New", kCreateMode, 0, 0, stream.put()), STG_E_ACCESSDENIED);
    EXPECT_EQ(lock->HaveWriteAccess(), S_FALSE);
    EXPECT_EQ(lock->WaitForWriteAccess(0), STG_E_INUSE) << "a reader is open";
    EXPECT_EQ(readStream(reader.get(), L"S"), "shared");
    reader.reset();
    ASSERT_EQ(lock->WaitForWriteAccess(0), S_OK);
    EXPECT_EQ(lock->WaitForWriteAccess(0), S_FALSE);
    EXPECT_EQ(lock->HaveWriteAccess(), S_OK);
    EXPECT_EQ(other.call(providerApi(), path, kSingleWriterReader, kOpen), STG_E_SHAREVIOLATION)
        << "new readers wait for the writer";
    writeStream(writer.get(), L"New", "written");
    ASSERT_EQ(lock->ReleaseWriteAccess(), S_OK);
    EXPECT_EQ(lock->ReleaseWriteAccess(), S_FALSE);
    // Readers let in again find the writer's changes.
    reader = openDocument(providerApi(), path, kSingleWriterReader);
    EXPECT_EQ(readStream(reader.get(), L"New"), "written");
    reader.reset();

    // The single writer that creates a document has write access from the start.
    writer.reset();
    lock.reset();
    ComPtr<IStorage> creator = createDocument(providerApi(), path, STGM_CREATE | kSingleWriter);
    ASSERT_EQ(creator->QueryInterface(IID_IDirectWriterLock, lock.putVoid()), S_OK);
    EXPECT_EQ(lock->HaveWriteAccess(), S_OK);
    writeStream(creator.get(), L"Created", "created");
}

TEST_F(ShareModes, FoldersAndReadOnlyFilesAreRefusedAccess) {
    createDocument(providerApi(), path).reset();
    for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
        SCOPED_TRACE(api->label);
        EXPECT_EQ(callHere(*api, folder.path(), kRead | kDenyWrite, kOpen), STG_E_ACCESSDENIED);
    }
    // Wine maps the attribute to Unix permissions, which do not stop the superuser.
    if (test_support::readOnlyFilesAreWritable(folder))
        GTEST_SKIP() << "the system lets this user write read-only files";
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(callHere(providerApi(), path, kReadWrite | kExclusive, kOpen), STG_E_ACCESSDENIED);
    EXPECT_EQ(callHere(providerApi(), path, kRead | kDenyWrite, kOpen), S_OK);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ShareModes, NobodyCommitsWhileAPriorityReaderIsOpen) {
    // Wine's ole32 gives the same answer to its own commits, after retrying for 20 seconds.
    for (const StorageApi* reader : {&providerApi(), &ole32Api()}) {
        SCOPED_TRACE(reader->label);
        makeSharedDocument(path);
        ComPtr<IStorage> priority;
        ASSERT_EQ(reader->openStorage(path.c_str(), nullptr, STGM_PRIORITY | kRead, nullptr, 0,
                                      priority.put()),
                  S_OK);
        ComPtr<IStorage> root =
            openDocument(providerApi(), path, kTransacted | kReadWrite | kDenyNone);
        writeStream(root.get(), L"New", "new");
        EXPECT_EQ(root->Commit(STGC_DEFAULT), STG_E_LOCKVIOLATION);
        priority.reset();
        EXPECT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    }
}
