// IStorage and IEnumSTATSTG: argument checks, elements, copies and moves, transactions and
// reverted objects. Argument tables run against Wine's ole32 as well, so that the provider's
// answers are compared with an independent implementation row by row.
#include "provider_api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace provider_test;
using test_support::TemporaryDirectory;
using Storages = DocumentTest;

namespace {

constexpr DWORD kChildMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kSharedWriter = STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_NONE;

// A document holding a stream "Existing" (5 bytes) and a storage "Folder" holding a stream
// "Inner".
ComPtr<IStorage> makeSample(const StorageApi& api, const std::wstring& path,
                            DWORD mode = kCreateMode) {
    ComPtr<IStorage> root = createDocument(api, path, mode);
    writeStream(root.get(), L"Existing", "12345");
    ComPtr<IStorage> folder;
    if (FAILED(root->CreateStorage(L"Folder", kChildMode, 0, 0, folder.put())))
        throw std::runtime_error("cannot create a storage");
    writeStream(folder.get(), L"Inner", "inner");
    return root;
}

using StorageCall = std::function<HRESULT(IStorage*)>;

// clang-format off
struct ArgumentRow { const char* label; StorageCall call; HRESULT expected; /* Why Wine's ole32 answers otherwise, when it does; empty when it agrees. */ const char* wineDiffers = ""; };
// clang-format on

HRESULT createStream(IStorage* storage, const wchar_t* name, DWORD mode) {
    ComPtr<IStream> stream;
    return storage->CreateStream(name, mode, 0, 0, stream.put());
}

HRESULT openStream(IStorage* storage, const wchar_t* name, DWORD mode) {
    ComPtr<IStream> stream;
    return storage->OpenStream(name, nullptr, mode, 0, stream.put());
}

HRESULT createStorage(IStorage* storage, const wchar_t* name, DWORD mode) {
    ComPtr<IStorage> child;
    return storage->CreateStorage(name, mode, 0, 0, child.put());
}

HRESULT openStorage(IStorage* storage, const wchar_t* name, DWORD mode) {
    ComPtr<IStorage> child;
    return storage->OpenStorage(name, nullptr, mode, nullptr, 0, child.put());
}

void runArgumentRows(const std::vector<ArgumentRow>& rows, DWORD documentMode = kReadWriteMode) {
    for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
        for (const ArgumentRow& row : rows) {
            SCOPED_TRACE(std::string(api->label) + ": " + row.label);
            TemporaryDirectory folder;
            const std::wstring path = folder.file(L"args.stg");
            makeSample(*api, path).reset();
            ComPtr<IStorage> root = openDocument(*api, path, documentMode);
            const HRESULT hr = row.call(root.get());
            if (api == &providerApi() || *row.wineDiffers == '\0') {
                EXPECT_EQ(hr, row.expected);
            } else {
                EXPECT_NE(hr, row.expected) << "Wine now agrees: " << row.wineDiffers;
            }
        }
    }
}

// The answer of asking `object` for interface `iid`.
HRESULT query(IUnknown* object, const IID& iid) {
    ComPtr<IUnknown> answer;
    return object->QueryInterface(iid, answer.putVoid());
}

ComPtr<IStorage> childStorage(IStorage* storage, const wchar_t* name, DWORD mode = kChildMode) {
    ComPtr<IStorage> child;
    if (FAILED(storage->OpenStorage(name, nullptr, mode, nullptr, 0, child.put())))
        throw std::runtime_error("cannot open a storage");
    return child;
}

ComPtr<IStream> childStream(IStorage* storage, const wchar_t* name) {
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, nullptr, kChildMode, 0, stream.put())))
        throw std::runtime_error("cannot open a stream");
    return stream;
}

std::wstring statName(IStorage* storage) {
    STATSTG stat{};
    if (FAILED(storage->Stat(&stat, STATFLAG_DEFAULT)))
        return L"";
    std::wstring name = stat.pwcsName ? stat.pwcsName : L"";
    CoTaskMemFree(stat.pwcsName);
    return name;
}

// What one Next of `count` entries answers, with each entry as "s:Name=size" for a stream
// or "d:Name" for a storage, and "not zeroed" when the entry after the last one filled is not.
using Fetched = std::pair<HRESULT, Names>;
Fetched fetch(IEnumSTATSTG* elements, ULONG count) {
    std::vector<STATSTG> stats(count);
    std::memset(stats.data(), 0xA5, count * sizeof(STATSTG));
    ULONG fetched = 0;
    Fetched result{elements->Next(count, stats.data(), &fetched), {}};
    const STATSTG zero{};
    for (ULONG index = 0; index < count; ++index) {
        const STATSTG& stat = stats[index];
        if (index >= fetched) {
            if (index == fetched && std::memcmp(&stat, &zero, sizeof zero) != 0)
                result.second.push_back(L"not zeroed");
            continue;
        }
        result.second.push_back(stat.type == STGTY_STREAM
                                    ? L"s:" + std::wstring(stat.pwcsName) + L"=" +
                                          std::to_wstring(stat.cbSize.QuadPart)
                                    : L"d:" + std::wstring(stat.pwcsName));
        CoTaskMemFree(stat.pwcsName);
    }
    return result;
}

// Each row's steps on the sample, opened as a root in the row's mode, give what it expects.
template <typename Rows>
void runOnSample(const std::wstring& path, const Rows& rows) {
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        makeSample(providerApi(), path).reset();
        ComPtr<IStorage> root = openDocument(providerApi(), path, row.mode);
        EXPECT_EQ(row.steps(root), row.expected);
    }
}

const wchar_t kLongName[] = L"abcdefghijklmnopqrstuvwxyz012345"; // 32 characters

} // namespace

TEST(StorageArguments, AnswerAsDocumented) {
    // clang-format off
    runArgumentRows({
        // IStorage::CreateStream and OpenStream
        {"create", [](IStorage* s) { return createStream(s, L"New", kChildMode); }, S_OK},
        {"create without out-parameter", [](IStorage* s) { return s->CreateStream(L"New", kChildMode, 0, 0, nullptr); }, STG_E_INVALIDPOINTER},
        {"create without name", [](IStorage* s) { return createStream(s, nullptr, kChildMode); }, STG_E_INVALIDNAME},
        {"create with a 32-character name", [](IStorage* s) { return createStream(s, kLongName, kChildMode); }, STG_E_INVALIDNAME},
        {"create with '!' in the name", [](IStorage* s) { return createStream(s, L"a!b", kChildMode); }, STG_E_INVALIDNAME, "it accepts the characters the format forbids"},
        {"create with reserved values", [](IStorage* s) { ComPtr<IStream> stream; return s->CreateStream(L"New", kChildMode, 1, 0, stream.put()); }, STG_E_INVALIDPARAMETER},
        {"create without exclusive sharing", [](IStorage* s) { return createStream(s, L"New", STGM_READWRITE); }, STG_E_INVALIDFUNCTION, "it answers STG_E_INVALIDFLAG"},
        {"create transacted", [](IStorage* s) { return createStream(s, L"New", kChildMode | STGM_TRANSACTED); }, STG_E_INVALIDFUNCTION},
        {"create over an existing stream", [](IStorage* s) { return createStream(s, L"Existing", kChildMode); }, STG_E_FILEALREADYEXISTS},
        {"create replacing an existing stream", [](IStorage* s) { return createStream(s, L"existing", kChildMode | STGM_CREATE); }, S_OK},
        {"create replacing a storage", [](IStorage* s) { return createStream(s, L"Folder", kChildMode | STGM_CREATE); }, S_OK},
        {"create replacing an open stream", [](IStorage* s) { ComPtr<IStream> open; s->OpenStream(L"Existing", nullptr, kChildMode, 0, open.put()); return createStream(s, L"Existing", kChildMode | STGM_CREATE); }, STG_E_ACCESSDENIED, "it replaces the open stream"},
        {"open", [](IStorage* s) { return openStream(s, L"Existing", kChildMode); }, S_OK},
        {"open in another letter case", [](IStorage* s) { return openStream(s, L"EXISTING", kChildMode); }, S_OK},
        {"open a missing stream", [](IStorage* s) { return openStream(s, L"None", kChildMode); }, STG_E_FILENOTFOUND},
        {"open a storage as a stream", [](IStorage* s) { return openStream(s, L"Folder", kChildMode); }, STG_E_FILENOTFOUND},
        {"open with reserved pointer", [](IStorage* s) { ComPtr<IStream> stream; int reserved = 0; return s->OpenStream(L"Existing", &reserved, kChildMode, 0, stream.put()); }, STG_E_INVALIDPARAMETER, "it ignores the reserved pointer"},
        {"open without exclusive sharing", [](IStorage* s) { return openStream(s, L"Existing", STGM_READ | STGM_SHARE_DENY_WRITE); }, STG_E_INVALIDFUNCTION, "it answers STG_E_INVALIDFLAG"},
        {"open twice", [](IStorage* s) { ComPtr<IStream> first; s->OpenStream(L"Existing", nullptr, kChildMode, 0, first.put()); return openStream(s, L"Existing", kChildMode); }, STG_E_ACCESSDENIED},
        {"open with create", [](IStorage* s) { return openStream(s, L"Existing", kChildMode | STGM_CREATE); }, STG_E_INVALIDFLAG, "it ignores STGM_CREATE"},
        // IStorage::CreateStorage and OpenStorage
        {"create", [](IStorage* s) { return createStorage(s, L"New", kChildMode); }, S_OK},
        {"create transacted", [](IStorage* s) { return createStorage(s, L"New", kChildMode | STGM_TRANSACTED); }, S_OK},
        {"create without out-parameter", [](IStorage* s) { return s->CreateStorage(L"New", kChildMode, 0, 0, nullptr); }, STG_E_INVALIDPOINTER},
        {"create with a 32-character name", [](IStorage* s) { return createStorage(s, kLongName, kChildMode); }, STG_E_INVALIDNAME},
        {"create over an existing storage", [](IStorage* s) { return createStorage(s, L"Folder", kChildMode); }, STG_E_FILEALREADYEXISTS},
        {"create replacing a stream", [](IStorage* s) { return createStorage(s, L"Existing", kChildMode | STGM_CREATE); }, S_OK},
        {"create deleting on release", [](IStorage* s) { return createStorage(s, L"New", kChildMode | STGM_DELETEONRELEASE); }, STG_E_INVALIDFLAG},
        {"create without exclusive sharing", [](IStorage* s) { return createStorage(s, L"New", STGM_READWRITE); }, STG_E_INVALIDFUNCTION, "it answers STG_E_INVALIDFLAG"},
        {"open", [](IStorage* s) { return openStorage(s, L"Folder", kChildMode); }, S_OK},
        {"open a missing storage", [](IStorage* s) { return openStorage(s, L"None", kChildMode); }, STG_E_FILENOTFOUND},
        {"open a stream as a storage", [](IStorage* s) { return openStorage(s, L"Existing", kChildMode); }, STG_E_FILENOTFOUND},
        {"open twice", [](IStorage* s) { ComPtr<IStorage> first; s->OpenStorage(L"Folder", nullptr, kChildMode, nullptr, 0, first.put()); return openStorage(s, L"Folder", kChildMode); }, STG_E_ACCESSDENIED},
        {"open with a priority storage", [](IStorage* s) { ComPtr<IStorage> child; return s->OpenStorage(L"Folder", s, kChildMode, nullptr, 0, child.put()); }, STG_E_INVALIDPARAMETER, "it ignores the priority storage"},
        {"open with exclusions", [](IStorage* s) { ComPtr<IStorage> child; wchar_t inner[] = L"Inner"; wchar_t* names[] = {inner, nullptr}; return s->OpenStorage(L"Folder", nullptr, kChildMode, names, 0, child.put()); }, STG_E_INVALIDPARAMETER},
        // Destroy, rename, times, stat, commit, enumerate, move, copy and interfaces
        {"destroy a stream", [](IStorage* s) { return s->DestroyElement(L"Existing"); }, S_OK},
        {"destroy a storage", [](IStorage* s) { return s->DestroyElement(L"folder"); }, S_OK},
        {"destroy a missing element", [](IStorage* s) { return s->DestroyElement(L"None"); }, STG_E_FILENOTFOUND},
        {"destroy without a name", [](IStorage* s) { return s->DestroyElement(nullptr); }, STG_E_INVALIDNAME, "it answers STG_E_INVALIDPOINTER"},
        {"rename", [](IStorage* s) { return s->RenameElement(L"Existing", L"Renamed"); }, S_OK},
        {"rename onto an existing name", [](IStorage* s) { return s->RenameElement(L"Existing", L"Folder"); }, STG_E_FILEALREADYEXISTS},
        {"rename a missing element", [](IStorage* s) { return s->RenameElement(L"None", L"Other"); }, STG_E_FILENOTFOUND},
        {"rename to a bad name", [](IStorage* s) { return s->RenameElement(L"Existing", kLongName); }, STG_E_INVALIDNAME, "it accepts names longer than 31 characters when renaming"},
        {"set times of an element", [](IStorage* s) { FILETIME time{1, 2}; return s->SetElementTimes(L"Folder", &time, nullptr, &time); }, S_OK},
        {"set times of a missing element", [](IStorage* s) { FILETIME time{1, 2}; return s->SetElementTimes(L"None", &time, nullptr, &time); }, STG_E_FILENOTFOUND, "it answers S_OK for an element that does not exist"},
        {"stat without structure", [](IStorage* s) { return s->Stat(nullptr, STATFLAG_DEFAULT); }, STG_E_INVALIDPOINTER, "it answers E_INVALIDARG"},
        {"stat with an unknown flag", [](IStorage* s) { STATSTG stat{}; return s->Stat(&stat, 7); }, STG_E_INVALIDFLAG, "it accepts unknown flags"},
        {"commit with an unknown flag", [](IStorage* s) { return s->Commit(0x100); }, STG_E_INVALIDFLAG, "it accepts unknown flags"},
        {"enumerate with reserved values", [](IStorage* s) { ComPtr<IEnumSTATSTG> elements; return s->EnumElements(1, nullptr, 0, elements.put()); }, STG_E_INVALIDPARAMETER, "it ignores the reserved values"},
        {"move with an unknown flag", [](IStorage* s) { return s->MoveElementTo(L"Existing", s, L"Moved", 7); }, STG_E_INVALIDFLAG, "it answers E_NOTIMPL"},
        {"copy into itself", [](IStorage* s) { return s->CopyTo(0, nullptr, nullptr, s); }, STG_E_ACCESSDENIED},
        {"copy into its own child", [](IStorage* s) { ComPtr<IStorage> child; s->OpenStorage(L"Folder", nullptr, kChildMode, nullptr, 0, child.put()); return s->CopyTo(0, nullptr, nullptr, child.get()); }, STG_E_ACCESSDENIED},
        {"copy into nothing", [](IStorage* s) { return s->CopyTo(0, nullptr, nullptr, nullptr); }, STG_E_INVALIDPOINTER},
        {"query IUnknown", [](IStorage* s) { return query(s, IID_IUnknown); }, S_OK},
        {"query IStorage", [](IStorage* s) { return query(s, IID_IStorage); }, S_OK},
        {"query IPropertySetStorage", [](IStorage* s) { return query(s, IID_IPropertySetStorage); }, S_OK},
        {"query IStream", [](IStorage* s) { return query(s, IID_IStream); }, E_NOINTERFACE},
        {"query IPersist", [](IStorage* s) { return query(s, IID_IPersist); }, E_NOINTERFACE},
        {"query a stream's ISequentialStream", [](IStorage* s) { ComPtr<IStream> stream; s->OpenStream(L"Existing", nullptr, kChildMode, 0, stream.put()); return query(stream.get(), IID_ISequentialStream); }, E_NOINTERFACE, "it answers S_OK, as IStream derives from ISequentialStream"},
        {"copy into a transacted grandchild", [](IStorage* s) { ComPtr<IStorage> child; ComPtr<IStorage> grandchild; s->OpenStorage(L"Folder", nullptr, kChildMode, nullptr, 0, child.put()); child->CreateStorage(L"Below", kChildMode | STGM_TRANSACTED, 0, 0, grandchild.put()); return s->CopyTo(0, nullptr, nullptr, grandchild.get()); }, STG_E_ACCESSDENIED},
    });
    // A read-only document refuses changes.
    runArgumentRows({
        {"read-only: create stream", [](IStorage* s) { return createStream(s, L"New", kChildMode); }, STG_E_ACCESSDENIED},
        {"read-only: open stream for writing", [](IStorage* s) { return openStream(s, L"Existing", kChildMode); }, STG_E_ACCESSDENIED, "it answers STG_E_INVALIDFLAG"},
        {"read-only: open stream for reading", [](IStorage* s) { return openStream(s, L"Existing", kReadMode); }, S_OK},
        {"read-only: create storage", [](IStorage* s) { return createStorage(s, L"New", kChildMode); }, STG_E_ACCESSDENIED},
        {"read-only: destroy", [](IStorage* s) { return s->DestroyElement(L"Existing"); }, STG_E_ACCESSDENIED},
        {"read-only: rename", [](IStorage* s) { return s->RenameElement(L"Existing", L"Other"); }, STG_E_ACCESSDENIED, "it tries to write and answers STG_E_WRITEFAULT"},
        {"read-only: set class", [](IStorage* s) { return s->SetClass(IID_IStorage); }, STG_E_ACCESSDENIED, "it tries to write and answers STG_E_WRITEFAULT"},
        {"read-only: set state bits", [](IStorage* s) { return s->SetStateBits(1, 1); }, STG_E_ACCESSDENIED, "it accepts the change on a read-only storage"},
        {"read-only: commit", [](IStorage* s) { return s->Commit(STGC_DEFAULT); }, S_OK},
    }, kReadMode);
    // Simple mode has its own rules.
    runArgumentRows({
        {"simple: create a stream", [](IStorage* s) { return createStream(s, L"New", kChildMode); }, S_OK},
        {"simple: create a new stream with STGM_CREATE", [](IStorage* s) { return createStream(s, L"New", kChildMode | STGM_CREATE); }, S_OK, "it refuses STGM_CREATE in simple mode even for a new name"},
        {"simple: create over an existing stream", [](IStorage* s) { return createStream(s, L"Existing", kChildMode); }, STG_E_FILEALREADYEXISTS},
        {"simple: replace an existing stream", [](IStorage* s) { return createStream(s, L"Existing", kChildMode | STGM_CREATE); }, STG_E_INVALIDFLAG},
        {"simple: create a storage", [](IStorage* s) { return createStorage(s, L"New", kChildMode); }, STG_E_INVALIDFUNCTION},
        {"simple: open a storage", [](IStorage* s) { return openStorage(s, L"Folder", kChildMode); }, STG_E_INVALIDFUNCTION},
    }, STGM_SIMPLE | kReadWriteMode);
    // clang-format on
}

TEST_F(Storages, EnumerationListsChildrenInDirectoryOrder) {
    ComPtr<IStorage> root = makeSample(providerApi(), path);
    writeStream(root.get(), L"B", "");
    writeStream(root.get(), L"aa", "");
    EXPECT_EQ(listElements(root.get()), (Names{L"s:B", L"s:aa", L"d:Folder", L"s:Existing"}));
    ComPtr<IEnumSTATSTG> elements;
    ASSERT_EQ(root->EnumElements(0, nullptr, 0, elements.put()), S_OK);
    STATSTG stats[3];
    EXPECT_EQ(elements->Next(3, stats, nullptr), STG_E_INVALIDPARAMETER);
    EXPECT_EQ(elements->Skip(1), S_OK);
    EXPECT_EQ(fetch(elements.get(), 2), (Fetched{S_OK, {L"s:aa=0", L"d:Folder"}}));
    ComPtr<IEnumSTATSTG> clone;
    ASSERT_EQ(elements->Clone(clone.put()), S_OK);
    EXPECT_EQ(fetch(elements.get(), 3), (Fetched{S_FALSE, {L"s:Existing=5"}}));
    EXPECT_EQ(elements->Skip(1), S_FALSE);
    EXPECT_EQ(elements->Reset(), S_OK);
    EXPECT_EQ(elements->Skip(4), S_OK);
    // The clone kept its own position.
    EXPECT_EQ(fetch(clone.get(), 1), (Fetched{S_OK, {L"s:Existing=5"}}));
}

TEST(StorageElements, EnumerationFollowsTheStorageAsItChanges) {
    // Each Next goes on in name order after the last name returned, over the elements there
    // are at that moment. The sample's names in order: Folder, Existing.
    using Steps = std::function<Fetched(IStorage*, IEnumSTATSTG*)>;
    auto rest = [](IEnumSTATSTG* elements) {
        return fetch(elements, 9);
    };
    // clang-format off
    struct Row { const char* label; Steps steps; Fetched expected; };
    const Row rows[] = {
        {"more than there are, the rest zeroed", [&](IStorage*, IEnumSTATSTG* e) { return fetch(e, 3); }, {S_FALSE, {L"d:Folder", L"s:Existing=5"}}},
        {"destroyed before the first Next", [&](IStorage* s, IEnumSTATSTG* e) { s->DestroyElement(L"Existing"); return rest(e); }, {S_FALSE, {L"d:Folder"}}},
        {"created before the first Next", [&](IStorage* s, IEnumSTATSTG* e) { writeStream(s, L"New", ""); return rest(e); }, {S_FALSE, {L"s:New=0", L"d:Folder", L"s:Existing=5"}}},
        {"created after the end and Reset", [&](IStorage* s, IEnumSTATSTG* e) { rest(e); writeStream(s, L"New", ""); e->Reset(); return rest(e); }, {S_FALSE, {L"s:New=0", L"d:Folder", L"s:Existing=5"}}},
        {"created before and after the last name returned", [&](IStorage* s, IEnumSTATSTG* e) { e->Skip(1); writeStream(s, L"A", ""); writeStream(s, L"Following", ""); return rest(e); }, {S_FALSE, {L"s:Existing=5", L"s:Following=0"}}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
            SCOPED_TRACE(api->label);
            TemporaryDirectory folder;
            ComPtr<IStorage> root = makeSample(*api, folder.file(L"live.stg"));
            ComPtr<IEnumSTATSTG> elements;
            ASSERT_EQ(root->EnumElements(0, nullptr, 0, elements.put()), S_OK);
            EXPECT_EQ(row.steps(root.get(), elements.get()), row.expected);
        }
    }
}

TEST_F(Storages, StatReportsNameTypeClassAndStateBits) {
    ComPtr<IStorage> root = makeSample(providerApi(), path);
    ComPtr<IStorage> child = childStorage(root.get(), L"Folder");
    ASSERT_EQ(child->SetClass(IID_IPropertySetStorage), S_OK);
    ASSERT_EQ(child->SetStateBits(0xF0F0, 0x00FF), S_OK);
    ASSERT_EQ(child->SetStateBits(0x0F0F, 0xFF00), S_OK);
    const FILETIME created{0x11111111, 0x01D00000}, modified{0x22222222, 0x01D00000};
    ASSERT_EQ(root->SetElementTimes(L"Folder", &created, nullptr, &modified), S_OK);
    STATSTG stat{};
    stat.pwcsName = const_cast<wchar_t*>(L"left alone");
    ASSERT_EQ(child->Stat(&stat, STATFLAG_NONAME), S_OK);
    using test_support::ticksOf;
    EXPECT_EQ(std::make_tuple(stat.pwcsName, stat.type, stat.clsid, stat.grfStateBits, stat.grfMode,
                              ticksOf(stat.ctime), ticksOf(stat.mtime)),
              std::make_tuple(nullptr, DWORD{STGTY_STORAGE}, IID_IPropertySetStorage, DWORD{0x0FF0},
                              kChildMode, ticksOf(created), ticksOf(modified)));
    EXPECT_EQ(statName(child.get()), L"Folder");
    EXPECT_EQ(statName(root.get()), path);
}

TEST_F(Storages, CopyToHonoursExclusions) {
    // Names are left out at the top level only, kinds of element at every level.
    wchar_t existing[] = L"Existing";
    wchar_t* excludeExisting[] = {existing, nullptr};
    wchar_t inner[] = L"Inner";
    wchar_t* excludeInner[] = {inner, nullptr};
    // clang-format off
    struct Row { const char* label; std::vector<IID> iids; SNB names; Names expected; Names expectedInFolder; /* Why Wine's ole32, copying into its own documents, answers otherwise. */ const char* wineDiffers = ""; };
    const Row rows[] = {
        {"everything", {}, nullptr, {L"s:Old", L"s:\005Set", L"d:Folder", L"s:Existing"}, {L"s:Inner"}},
        {"no streams", {IID_IStream}, nullptr, {L"s:Old", L"d:Folder"}, {}},
        {"no storages", {IID_IStorage}, nullptr, {L"s:Old", L"s:\005Set", L"s:Existing"}, {}},
        {"no property sets", {IID_IPropertySetStorage}, nullptr, {L"s:Old", L"d:Folder", L"s:Existing"}, {L"s:Inner"}, "it copies the property sets"},
        {"not by name", {}, excludeExisting, {L"s:Old", L"s:\005Set", L"d:Folder"}, {L"s:Inner"}},
        {"not by a nested name", {}, excludeInner, {L"s:Old", L"s:\005Set", L"d:Folder", L"s:Existing"}, {L"s:Inner"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        // The provider into its own documents (the engine's copy) and into ole32's (through
        // IStorage), and ole32 into its own, as the independent answer.
        const std::pair<const StorageApi*, const StorageApi*> pairs[] = {
            {&providerApi(), &providerApi()},
            {&providerApi(), &ole32Api()},
            {&ole32Api(), &ole32Api()}};
        for (const auto& [from, into] : pairs) {
            SCOPED_TRACE(std::string(from->label) + " into " + into->label);
            ComPtr<IStorage> source = makeSample(*from, folder.file(L"source.stg"));
            writeStream(source.get(), L"\005Set", "set");
            ASSERT_EQ(source->SetClass(IID_IStorage), S_OK);
            ComPtr<IStorage> target = createDocument(*into, folder.file(L"target.stg"));
            writeStream(target.get(), L"Old", "old");
            ASSERT_EQ(source->CopyTo(static_cast<DWORD>(row.iids.size()), row.iids.data(),
                                     row.names, target.get()),
                      S_OK);
            if (from == &ole32Api() && *row.wineDiffers != '\0') {
                EXPECT_NE(listElements(target.get()), row.expected)
                    << "Wine now agrees: " << row.wineDiffers;
                continue;
            }
            EXPECT_EQ(listElements(target.get()), row.expected);
            ComPtr<IStorage> copied;
            if (SUCCEEDED(target->OpenStorage(L"Folder", nullptr, kChildMode, nullptr, 0,
                                              copied.put()))) {
                EXPECT_EQ(listElements(copied.get()), row.expectedInFolder);
            }
            STATSTG stat{};
            ASSERT_EQ(target->Stat(&stat, STATFLAG_NONAME), S_OK);
            EXPECT_EQ(stat.clsid, IID_IStorage);
        }
    }
}

TEST_F(Storages, CopyToMergesStoragesAndReplacesStreams) {
    ComPtr<IStorage> source = makeSample(providerApi(), folder.file(L"source.stg"));
    ComPtr<IStorage> target = createDocument(providerApi(), folder.file(L"target.stg"));
    writeStream(target.get(), L"Existing", "a much longer former stream");
    ComPtr<IStorage> targetFolder;
    ASSERT_EQ(target->CreateStorage(L"Folder", kChildMode, 0, 0, targetFolder.put()), S_OK);
    writeStream(targetFolder.get(), L"Kept", "kept");
    targetFolder.reset();
    ASSERT_EQ(source->CopyTo(0, nullptr, nullptr, target.get()), S_OK);
    EXPECT_EQ(readStream(target.get(), L"Existing"), "12345");
    EXPECT_EQ(listElements(childStorage(target.get(), L"Folder").get()),
              (Names{L"s:Kept", L"s:Inner"}));
}

TEST_F(Storages, MoveElementToMovesCopiesAndRenames) {
    // clang-format off
    struct Row { const char* label; const wchar_t* name; const wchar_t* newName; DWORD flags; bool intoOtherDocument; HRESULT expected; Names sourceAfter; Names targetAfter; };
    const Row rows[] = {
        {"move a stream", L"Existing", L"Moved", STGMOVE_MOVE, true, S_OK, {L"d:Folder"}, {L"s:Moved"}},
        {"copy a storage", L"Folder", L"Copy", STGMOVE_COPY, true, S_OK, {L"d:Folder", L"s:Existing"}, {L"d:Copy"}},
        {"rename within", L"Existing", L"Renamed", STGMOVE_MOVE, false, S_OK, {L"d:Folder", L"s:Renamed"}, {}},
        {"missing source", L"None", L"X", STGMOVE_MOVE, true, STG_E_FILENOTFOUND, {L"d:Folder", L"s:Existing"}, {}},
        {"onto an existing name", L"Existing", L"Folder", STGMOVE_COPY, false, STG_E_FILEALREADYEXISTS, {L"d:Folder", L"s:Existing"}, {}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<IStorage> source = makeSample(providerApi(), folder.file(L"source.stg"));
        ComPtr<IStorage> target = createDocument(providerApi(), folder.file(L"target.stg"));
        IStorage* destination = row.intoOtherDocument ? target.get() : source.get();
        EXPECT_EQ(source->MoveElementTo(row.name, destination, row.newName, row.flags),
                  row.expected);
        EXPECT_EQ(listElements(source.get()), row.sourceAfter);
        if (row.intoOtherDocument) {
            EXPECT_EQ(listElements(target.get()), row.targetAfter);
        }
    }
}

// Each row opens the sample as its root, changes it and gives the names seen afterwards, by
// the root itself or by another reader opened then.
TEST_F(Storages, RootsShowChangesAsTheirModeSays) {
    constexpr DWORD kTransacted = STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE;
    auto reader = [&] {
        return listElements(
            openDocument(providerApi(), path, STGM_TRANSACTED | STGM_READ | STGM_SHARE_DENY_NONE)
                .get());
    };
    // clang-format off
    struct Row { const char* label; DWORD mode; std::function<Names(ComPtr<IStorage>&)> steps; Names expected; };
    const Row rows[] = {
        {"transacted, uncommitted, to another reader", kTransacted, [&](auto& r) { writeStream(r.get(), L"Added", "added"); r->DestroyElement(L"Existing"); return reader(); }, {L"d:Folder", L"s:Existing"}},
        {"transacted, reverted, to the root", kTransacted, [&](auto& r) { writeStream(r.get(), L"Added", "added"); r->DestroyElement(L"Existing"); return r->Revert() == S_OK ? listElements(r.get()) : Names{}; }, {L"d:Folder", L"s:Existing"}},
        {"transacted, committed to the system's cache, to another reader", kTransacted, [&](auto& r) { writeStream(r.get(), L"Added", "added"); r->Commit(STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE); return reader(); }, {L"s:Added", L"d:Folder", L"s:Existing"}},
        {"transacted, released after a commit and a further change", kTransacted, [&](auto& r) { writeStream(r.get(), L"Added", "added"); r->Commit(STGC_DEFAULT); writeStream(r.get(), L"Later", "uncommitted"); r.reset(); return reader(); }, {L"s:Added", L"d:Folder", L"s:Existing"}},
        {"direct, committed, reverted (no effect), changed and released", kReadWriteMode, [&](auto& r) { writeStream(r.get(), L"First", "first"); const bool answered = r->Commit(STGC_DEFAULT) == S_OK && r->Revert() == S_OK; writeStream(r.get(), L"Second", "second"); r.reset(); return answered ? reader() : Names{}; }, {L"s:First", L"d:Folder", L"s:Second", L"s:Existing"}},
    };
    // clang-format on
    runOnSample(path, rows);
}

TEST_F(Storages, TransactedNestedStorageCommitsIntoItsParent) {
    ComPtr<IStorage> root = makeSample(providerApi(), path);
    ComPtr<IStorage> child = childStorage(root.get(), L"Folder", kChildMode | STGM_TRANSACTED);
    writeStream(child.get(), L"Draft", "draft");
    ASSERT_EQ(child->DestroyElement(L"Inner"), S_OK);
    ASSERT_EQ(child->Revert(), S_OK);
    // The storage goes on after a revert, with its elements as they were; released without
    // Commit, the parent never sees the changes, and committed, it does.
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit ? "committed" : "released");
        EXPECT_EQ(listElements(child.get()), (Names{L"s:Inner"}));
        writeStream(child.get(), L"Final", "final");
        ASSERT_EQ(child->SetClass(IID_IStream), S_OK);
        ASSERT_EQ(commit ? child->Commit(STGC_DEFAULT) : S_OK, S_OK);
        child.reset();
        child = childStorage(root.get(), L"Folder", kChildMode | (commit ? 0 : STGM_TRANSACTED));
    }
    EXPECT_EQ(listElements(child.get()), (Names{L"s:Final", L"s:Inner"}));
    STATSTG stat{};
    ASSERT_EQ(child->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.clsid, IID_IStream);
}

// Each row opens objects from the sample, then releases, destroys or reverts what holds them,
// and gives the answer of the object left behind (or a check of what remains usable).
TEST_F(Storages, ObjectsWhoseElementIsGoneAreReverted) {
    using Steps = std::function<HRESULT(ComPtr<IStorage>&)>;
    char buffer[8];
    ULONG read = 0;
    STATSTG stat{};
    auto readFrom = [&](IStream* stream) {
        return stream->Read(buffer, sizeof buffer, &read);
    };
    // clang-format off
    struct Row { const char* label; DWORD mode; Steps steps; HRESULT expected; };
    const Row rows[] = {
        {"read a stream of a released storage", kReadWriteMode, [&](auto& r) { auto c = childStorage(r.get(), L"Folder"); auto s = childStream(c.get(), L"Inner"); c.reset(); return readFrom(s.get()); }, STG_E_REVERTED},
        {"write a stream of a released storage", kReadWriteMode, [&](auto& r) { auto c = childStorage(r.get(), L"Folder"); auto s = childStream(c.get(), L"Inner"); c.reset(); return s->Write("x", 1, nullptr); }, STG_E_REVERTED},
        {"stat a stream of a released storage", kReadWriteMode, [&](auto& r) { auto c = childStorage(r.get(), L"Folder"); auto s = childStream(c.get(), L"Inner"); c.reset(); return s->Stat(&stat, STATFLAG_NONAME); }, STG_E_REVERTED},
        {"reset an enumerator of a released storage", kReadWriteMode, [&](auto& r) { auto c = childStorage(r.get(), L"Folder"); ComPtr<IEnumSTATSTG> e; c->EnumElements(0, nullptr, 0, e.put()); c.reset(); return e->Reset(); }, STG_E_REVERTED},
        {"read a sibling opened from the root", kReadWriteMode, [&](auto& r) { auto s = childStream(r.get(), L"Existing"); childStorage(r.get(), L"Folder").reset(); return readFrom(s.get()); }, S_OK},
        {"open a released storage again", kReadWriteMode, [&](auto& r) { childStorage(r.get(), L"Folder").reset(); return openStorage(r.get(), L"Folder", kChildMode); }, S_OK},
        {"read a stream of a released root", kReadWriteMode, [&](auto& r) { auto s = childStream(r.get(), L"Existing"); r.reset(); return readFrom(s.get()); }, STG_E_REVERTED},
        {"stat a storage of a released root", kReadWriteMode, [&](auto& r) { auto c = childStorage(r.get(), L"Folder"); r.reset(); return c->Stat(&stat, STATFLAG_NONAME); }, STG_E_REVERTED},
        {"create in a storage of a released root", kReadWriteMode, [&](auto& r) { auto c = childStorage(r.get(), L"Folder"); r.reset(); return createStream(c.get(), L"Late", kChildMode); }, STG_E_REVERTED},
        {"read a destroyed stream", kReadWriteMode, [&](auto& r) { auto s = childStream(r.get(), L"Existing"); r->DestroyElement(L"Existing"); return readFrom(s.get()); }, STG_E_REVERTED},
        {"stat a destroyed storage", kReadWriteMode, [&](auto& r) { auto c = childStorage(r.get(), L"Folder"); r->DestroyElement(L"Folder"); return c->Stat(&stat, STATFLAG_NONAME); }, STG_E_REVERTED},
        {"create over the name of a destroyed open stream", kReadWriteMode, [&](auto& r) { auto s = childStream(r.get(), L"Existing"); r->DestroyElement(L"Existing"); return createStream(r.get(), L"Existing", kChildMode); }, S_OK},
        {"write a stream of a reverted root", kReadWriteMode | STGM_TRANSACTED, [&](auto& r) { auto s = childStream(r.get(), L"Existing"); s->Write("abc", 3, nullptr); r->Revert(); return s->Write("abc", 3, nullptr); }, STG_E_REVERTED},
        {"a reverted root keeps its bytes and name", kReadWriteMode | STGM_TRANSACTED, [&](auto& r) { childStream(r.get(), L"Existing")->Write("abc", 3, nullptr); r->Revert(); return readStream(r.get(), L"Existing") == "12345" && statName(r.get()) == path ? S_OK : E_FAIL; }, S_OK},
        {"read a stream of a reverted transacted storage", kReadWriteMode, [&](auto& r) { ComPtr<IStorage> c; r->OpenStorage(L"Folder", nullptr, kChildMode | STGM_TRANSACTED, nullptr, 0, c.put()); writeStream(c.get(), L"Draft", "draft"); auto s = childStream(c.get(), L"Draft"); c->Revert(); return readFrom(s.get()); }, STG_E_REVERTED},
    };
    // clang-format on
    runOnSample(path, rows);
}

TEST_F(Storages, AReaderKeepsTheDocumentItOpenedWhileAWriterCommits) {
    // The writer's later commits reuse the sectors of the state the reader opened; the reader
    // works on a snapshot taken at its open and sees none of it.
    makeSample(providerApi(), path).reset();
    constexpr DWORD kSharedReader = STGM_TRANSACTED | STGM_READ | STGM_SHARE_DENY_NONE;
    ComPtr<IStorage> writer = openDocument(providerApi(), path, kSharedWriter);
    ASSERT_TRUE(writer);
    writeStream(writer.get(), L"Data", patternBytes(200000, 1));
    ASSERT_EQ(writer->Commit(STGC_DEFAULT), S_OK);
    ComPtr<IStorage> reader = openDocument(providerApi(), path, kSharedReader);
    ASSERT_TRUE(reader);
    const Names opened = listElements(reader.get());
    for (unsigned seed = 2; seed < 5; ++seed) {
        ASSERT_EQ(writer->DestroyElement(L"Data"), S_OK);
        writeStream(writer.get(), L"Data", patternBytes(200000, seed));
        writeStream(writer.get(), std::to_wstring(seed).c_str(), patternBytes(5000, seed));
        ASSERT_EQ(writer->Commit(STGC_DEFAULT), S_OK);
    }
    EXPECT_EQ(listElements(reader.get()), opened);
    EXPECT_TRUE(readStream(reader.get(), L"Data") == patternBytes(200000, 1))
        << "the reader sees bytes of the writer's later commits";
    EXPECT_EQ(reader->Commit(STGC_DEFAULT), S_OK); // nothing of a reader's reaches the file
    reader.reset();
    writer.reset();
    ComPtr<IStorage> check = openDocument(providerApi(), path, kReadMode);
    EXPECT_TRUE(readStream(check.get(), L"Data") == patternBytes(200000, 4));
}

TEST_F(Storages, ASecondWriterCannotCommitOverAFileItNoLongerKnows) {
    makeSample(providerApi(), path).reset();
    ComPtr<IStorage> first = openDocument(providerApi(), path, kSharedWriter);
    ComPtr<IStorage> second = openDocument(providerApi(), path, kSharedWriter);
    // Large enough for both writers' uncommitted bytes to leave memory: they must not meet in
    // the same free sectors of the file.
    writeStream(first.get(), L"First", patternBytes(3000000, 1));
    writeStream(second.get(), L"Second", patternBytes(3000000, 2));
    ASSERT_EQ(first->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(second->Commit(STGC_DEFAULT), STG_E_NOTCURRENT);
    EXPECT_EQ(second->Commit(STGC_ONLYIFCURRENT), STG_E_NOTCURRENT);
    // After a revert the second writer knows the file again and may commit.
    ASSERT_EQ(second->Revert(), S_OK);
    EXPECT_EQ(listElements(second.get()), (Names{L"s:First", L"d:Folder", L"s:Existing"}));
    writeStream(second.get(), L"Second", "second");
    EXPECT_EQ(second->Commit(STGC_DEFAULT), S_OK);
    first.reset();
    second.reset();
    ComPtr<IStorage> check = openDocument(providerApi(), path, kReadMode);
    EXPECT_TRUE(readStream(check.get(), L"First") == patternBytes(3000000, 1));
    EXPECT_EQ(readStream(check.get(), L"Second"), "second");
}
