// IStream: reading and writing across the mini-stream cut-off, seeking, sizes, clones,
// copies to streams of this and other implementations, and the documented refusals.
#include "provider_api.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using namespace provider_test;
using test_support::TemporaryDirectory;
using Streams = DocumentTest;

namespace {

constexpr DWORD kChildMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

ComPtr<IStream> newStream(IStorage* storage, const wchar_t* name, DWORD mode = kChildMode) {
    ComPtr<IStream> stream;
    if (FAILED(storage->CreateStream(name, mode | STGM_CREATE, 0, 0, stream.put())))
        throw std::runtime_error("cannot create a stream");
    return stream;
}

ULONGLONG seekTo(IStream* stream, LONGLONG offset, DWORD origin) {
    LARGE_INTEGER move;
    move.QuadPart = offset;
    ULARGE_INTEGER position{};
    if (FAILED(stream->Seek(move, origin, &position)))
        throw std::runtime_error("cannot seek");
    return position.QuadPart;
}

} // namespace

TEST_F(Streams, SizesAroundTheCutOffsSurviveReopening) {
    const size_t sizes[] = {0, 1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 65536, 300001};
    for (const DWORD sector : {512u, 4096u}) {
        {
            ComPtr<IStorage> root = createDocumentWithSectors(path, sector);
            for (size_t size : sizes)
                writeStream(root.get(), (L"S" + std::to_wstring(size)).c_str(),
                            patternBytes(size, static_cast<unsigned>(size)));
        }
        for (const StorageApi* api : {&providerApi(), &ole32Api()}) {
            ComPtr<IStorage> root = openDocument(*api, path, kReadMode);
            for (size_t size : sizes) {
                SCOPED_TRACE(std::string(api->label) + " sector " + std::to_string(sector) +
                             " size " + std::to_string(size));
                EXPECT_EQ(readStream(root.get(), (L"S" + std::to_wstring(size)).c_str()),
                          patternBytes(size, static_cast<unsigned>(size)));
            }
        }
    }
}

TEST_F(Streams, SeekMovesAsDocumented) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IStream> stream = newStream(root.get(), L"Seek");
    ASSERT_EQ(stream->Write("0123456789", 10, nullptr), S_OK);
    // clang-format off
    struct Row { const char* label; LONGLONG move; DWORD origin; HRESULT expected; ULONGLONG position; };
    const Row rows[] = {
        {"from the start", 3, STREAM_SEEK_SET, S_OK, 3},
        {"forward from here", 2, STREAM_SEEK_CUR, S_OK, 5},
        {"back from here", -4, STREAM_SEEK_CUR, S_OK, 1},
        {"back from the end", -2, STREAM_SEEK_END, S_OK, 8},
        {"past the end", 5, STREAM_SEEK_END, S_OK, 15},
        {"before the start", -1, STREAM_SEEK_SET, STG_E_INVALIDFUNCTION, 15},
        {"unknown origin", 0, 3, STG_E_INVALIDFUNCTION, 15},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        LARGE_INTEGER move;
        move.QuadPart = row.move;
        EXPECT_EQ(stream->Seek(move, row.origin, nullptr), row.expected);
        EXPECT_EQ(seekTo(stream.get(), 0, STREAM_SEEK_CUR), row.position);
    }
}

TEST_F(Streams, ReadWriteAndStatFollowTheOpenMode) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    writeStream(root.get(), L"Data", "data");
    // clang-format off
    struct Row { const char* label; DWORD mode; HRESULT read; HRESULT write; HRESULT setSize; };
    const Row rows[] = {
        {"read", STGM_READ | STGM_SHARE_EXCLUSIVE, S_OK, STG_E_ACCESSDENIED, STG_E_ACCESSDENIED},
        {"write", STGM_WRITE | STGM_SHARE_EXCLUSIVE, STG_E_ACCESSDENIED, S_OK, S_OK},
        {"read-write", kChildMode, S_OK, S_OK, S_OK},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<IStream> stream;
        ASSERT_EQ(root->OpenStream(L"Data", nullptr, row.mode, 0, stream.put()), S_OK);
        char buffer[4];
        ULONG done = 0;
        STATSTG stat{};
        // In this order: a braced list evaluates from left to right.
        const std::tuple<HRESULT, HRESULT, HRESULT, HRESULT> answers{
            stream->Read(buffer, sizeof buffer, &done), stream->Write("data", 4, &done),
            stream->SetSize(ULARGE_INTEGER{{4, 0}}), stream->Stat(&stat, STATFLAG_DEFAULT)};
        EXPECT_EQ(answers, std::make_tuple(row.read, row.write, row.setSize, S_OK));
        const std::wstring name = stat.pwcsName ? stat.pwcsName : L"";
        CoTaskMemFree(stat.pwcsName);
        EXPECT_EQ(std::make_tuple(name, stat.grfMode, stat.type, stat.cbSize.QuadPart,
                                  stat.grfLocksSupported),
                  std::make_tuple(L"Data", row.mode, DWORD{STGTY_STREAM}, 4ull, 0ul));
    }
}

TEST_F(Streams, RefusalsAreTheDocumentedOnes) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IStream> stream = newStream(root.get(), L"Args");
    ULARGE_INTEGER zero{};
    ULARGE_INTEGER ten;
    ten.QuadPart = 10;
    STATSTG stat{};
    EXPECT_EQ(stream->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Write(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Stat(nullptr, STATFLAG_DEFAULT), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Stat(&stat, 5), STG_E_INVALIDFLAG);
    EXPECT_EQ(stream->Clone(nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->CopyTo(nullptr, ten, nullptr, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Commit(0x100), STG_E_INVALIDFLAG);
    // Compound-file streams do not lock regions.
    for (DWORD lock : {LOCK_WRITE, LOCK_EXCLUSIVE, LOCK_ONLYONCE}) {
        SCOPED_TRACE(lock);
        EXPECT_EQ(stream->LockRegion(zero, ten, lock), STG_E_INVALIDFUNCTION);
        EXPECT_EQ(stream->UnlockRegion(zero, ten, lock), STG_E_INVALIDFUNCTION);
    }
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(stream->Revert(), S_OK);
}

TEST_F(Streams, ClonesShareTheDataAndKeepTheirOwnPosition) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IStream> stream = newStream(root.get(), L"Shared");
    ASSERT_EQ(stream->Write("abcdef", 6, nullptr), S_OK);
    seekTo(stream.get(), 2, STREAM_SEEK_SET);
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.put()), S_OK);
    EXPECT_EQ(seekTo(clone.get(), 0, STREAM_SEEK_CUR), 2u);
    ASSERT_EQ(clone->Write("XY", 2, nullptr), S_OK);
    EXPECT_EQ(seekTo(stream.get(), 0, STREAM_SEEK_CUR), 2u);
    EXPECT_EQ(readAll(stream.get()), "XYef");
    stream.reset();
    // The clone outlives the stream it came from and keeps the element open.
    ComPtr<IStream> again;
    EXPECT_EQ(root->OpenStream(L"Shared", nullptr, kChildMode, 0, again.put()), STG_E_ACCESSDENIED);
    seekTo(clone.get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(readAll(clone.get()), "abXYef");
    clone.reset();
    EXPECT_EQ(root->OpenStream(L"Shared", nullptr, kChildMode, 0, again.put()), S_OK);
}

TEST_F(Streams, CopyToReachesStreamsOfEveryKind) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    const std::string bytes = patternBytes(200000, 3);
    ComPtr<IStream> source = newStream(root.get(), L"Source");
    ASSERT_EQ(source->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr), S_OK);
    ComPtr<IStorage> other = createDocument(providerApi(), folder.file(L"other.stg"));
    ComPtr<IStorage> wine = createDocument(ole32Api(), folder.file(L"wine.stg"));
    ComPtr<IStream> memory;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, memory.put()), S_OK);
    // clang-format off
    struct Row { const char* label; ComPtr<IStream> target; ULONGLONG start; ULONGLONG count; ULONGLONG copied; };
    const Row rows[] = {
        {"same document", newStream(root.get(), L"Target"), 0, 200000, 200000},
        {"another document, part", newStream(other.get(), L"Target"), 1000, 5000, 5000},
        {"Wine's ole32, past the end", newStream(wine.get(), L"Target"), 150000, 100000, 50000},
        {"memory", memory, 0, ~0ull, 200000},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        seekTo(source.get(), static_cast<LONGLONG>(row.start), STREAM_SEEK_SET);
        ULARGE_INTEGER count;
        count.QuadPart = row.count;
        ULARGE_INTEGER read{};
        ULARGE_INTEGER written{};
        ASSERT_EQ(source->CopyTo(row.target.get(), count, &read, &written), S_OK);
        EXPECT_EQ(read.QuadPart, row.copied);
        EXPECT_EQ(written.QuadPart, row.copied);
        EXPECT_EQ(seekTo(source.get(), 0, STREAM_SEEK_CUR), row.start + row.copied);
        seekTo(row.target.get(), 0, STREAM_SEEK_SET);
        EXPECT_EQ(readAll(row.target.get()),
                  bytes.substr(static_cast<size_t>(row.start), static_cast<size_t>(row.copied)));
    }
}

TEST_F(Streams, SmallReadsSeeEveryWriteMadeSince) {
    ComPtr<IStorage> root = createDocument(providerApi(), path);
    ComPtr<IStream> stream = newStream(root.get(), L"Fresh");
    const std::string bytes = patternBytes(100000, 9);
    ASSERT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr), S_OK);
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.put()), S_OK);
    // clang-format off
    // Each row reads 8 bytes where it changed the stream.
    struct Row { const char* label; std::function<void()> change; ULONGLONG at; std::string expected; };
    const Row rows[] = {
        {"a write through a clone", [&] { seekTo(clone.get(), 50000, STREAM_SEEK_SET); clone->Write("CLONE", 5, nullptr); }, 50000, "CLONE" + bytes.substr(50005, 3)},
        {"a write through the stream itself", [&] { seekTo(stream.get(), 60000, STREAM_SEEK_SET); stream->Write("SELF", 4, nullptr); }, 60000, "SELF" + bytes.substr(60004, 4)},
        {"a smaller size, read at its end", [&] { clone->SetSize(ULARGE_INTEGER{{70002, 0}}); }, 70000, bytes.substr(70000, 2)},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        // Read a little first, so that what follows lies in the block read ahead.
        seekTo(stream.get(), 10, STREAM_SEEK_SET);
        std::string got(8, '\0');
        ULONG read = 0;
        ASSERT_EQ(stream->Read(got.data(), 8, &read), S_OK);
        row.change();
        seekTo(stream.get(), static_cast<LONGLONG>(row.at), STREAM_SEEK_SET);
        ASSERT_EQ(stream->Read(got.data(), 8, &read), S_OK);
        EXPECT_EQ(got.substr(0, read), row.expected);
        EXPECT_EQ(seekTo(stream.get(), 0, STREAM_SEEK_CUR), row.at + read);
    }
}
