#include "test_support.h"

#include <support/com_ptr.h>
#include <x64qvatl.h>

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

using support::ComPtr;

ULARGE_INTEGER at(ULONGLONG offset) {
    return ULARGE_INTEGER{.QuadPart = offset};
}

ULONG referencesOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

ComPtr<IStream> memoryStream(const std::string& content) {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write(content.data(), static_cast<ULONG>(content.size()), &written), S_OK);
    return stream;
}

ComPtr<IStream> fileStream(const std::wstring& path, const std::string& content) {
    test_support::writeFile(path, content);
    ComPtr<IStream> stream;
    EXPECT_EQ(SHCreateStreamOnFileEx(path.c_str(), STGM_READWRITE | STGM_SHARE_DENY_WRITE,
                                     FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, stream.put()),
              S_OK);
    return stream;
}

ComPtr<ILockBytes> lockBytesOn(IStream* stream, DWORD access) {
    ILockBytes* lockBytes = nullptr;
    EXPECT_NE(CreateLockBytesOnStream(stream, access, &lockBytes), 0);
    return ComPtr<ILockBytes>::attach(lockBytes);
}

// What a read at `offset` gives; every read succeeds, even one past the end.
std::string readAt(ILockBytes* lockBytes, ULONGLONG offset, ULONG count) {
    std::string buffer(count, '\0');
    ULONG read = 12345;
    EXPECT_EQ(lockBytes->ReadAt(at(offset), buffer.data(), count, &read), S_OK);
    buffer.resize(std::min(read, count));
    return buffer;
}

class LockBytesOnStreamTest : public ::testing::TestWithParam<const char*> {
protected:
    ComPtr<IStream> makeStream(const std::string& content) {
        return std::string(GetParam()) == "memory" ? memoryStream(content)
                                                   : fileStream(folder_.file(L"data.bin"), content);
    }
    test_support::TemporaryDirectory folder_;
};

TEST_P(LockBytesOnStreamTest, WritesAtOffsetsAndSetsTheSize) {
    ComPtr<IStream> stream = makeStream("0123456789");
    ComPtr<ILockBytes> lockBytes = lockBytesOn(stream.get(), GENERIC_READ | GENERIC_WRITE);
    ULONG written = 0;
    ASSERT_EQ(lockBytes->WriteAt(at(2), "ab", 2, &written), S_OK);
    EXPECT_EQ(written, 2u);
    ASSERT_EQ(lockBytes->WriteAt(at(12), "zz", 2, nullptr), S_OK);
    EXPECT_EQ(readAt(lockBytes.get(), 0, 14).substr(0, 10), "01ab456789");
    EXPECT_EQ(readAt(lockBytes.get(), 12, 2), "zz");

    ASSERT_EQ(lockBytes->SetSize(at(5)), S_OK);
    STATSTG stat{}, streamStat{};
    ASSERT_EQ(lockBytes->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(std::tuple(stat.cbSize.QuadPart, stat.type, stat.pwcsName),
              std::tuple(5ull, DWORD{STGTY_LOCKBYTES}, nullptr));
    EXPECT_EQ(lockBytes->Flush(), S_OK);
    // The stream itself holds what was written.
    ASSERT_EQ(stream->Stat(&streamStat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(streamStat.cbSize.QuadPart, 5u);
}

TEST_P(LockBytesOnStreamTest, ReadOnlyAccessReadsFromTheBeginningAndRefusesWritesAndLocks) {
    ComPtr<IStream> stream = makeStream("0123456789");
    ComPtr<ILockBytes> lockBytes = lockBytesOn(stream.get(), GENERIC_READ);
    ULONG written = 99;
    EXPECT_EQ(lockBytes->WriteAt(at(0), "x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(lockBytes->SetSize(at(1)), STG_E_ACCESSDENIED);
    // Region locks are refused, as compound-file streams refuse them.
    EXPECT_EQ(lockBytes->LockRegion(at(0), at(4), LOCK_EXCLUSIVE), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(lockBytes->UnlockRegion(at(0), at(4), LOCK_EXCLUSIVE), STG_E_INVALIDFUNCTION);
    // The stream was left at its end by writing its content; reads still count from its
    // beginning, and find it unchanged.
    const std::vector<std::string> reads = {
        readAt(lockBytes.get(), 0, 4), readAt(lockBytes.get(), 6, 4),
        readAt(lockBytes.get(), 8, 10), readAt(lockBytes.get(), 50, 4)};
    EXPECT_EQ(reads, (std::vector<std::string>{"0123", "6789", "89", ""}));
}

INSTANTIATE_TEST_SUITE_P(Streams, LockBytesOnStreamTest, ::testing::Values("memory", "file"));

// The lock bytes keep the stream while they live and let go of it when they go.
TEST(LockBytesOnStream, ReleasesTheStreamWithTheLastReference) {
    ComPtr<IStream> stream = memoryStream("abc");
    const ULONG before = referencesOf(stream.get());
    ComPtr<ILockBytes> lockBytes = lockBytesOn(stream.get(), GENERIC_READ);
    EXPECT_GT(referencesOf(stream.get()), before);
    lockBytes.reset();
    EXPECT_EQ(referencesOf(stream.get()), before);
}

TEST(LockBytesOnStream, RefusesBadArguments) {
    ComPtr<IStream> stream = memoryStream("abc");
    ILockBytes* lockBytes = reinterpret_cast<ILockBytes*>(0x1);
    // clang-format off
    const struct { const char* label; IStream* stream; DWORD access; } cases[] = {
        {"null stream", nullptr, GENERIC_READ}, {"no access", stream.get(), 0},
        {"execute access", stream.get(), GENERIC_EXECUTE}, {"all access", stream.get(), GENERIC_ALL}};
    // clang-format on
    for (const auto& row : cases) {
        lockBytes = reinterpret_cast<ILockBytes*>(0x1);
        EXPECT_EQ(CreateLockBytesOnStream(row.stream, row.access, &lockBytes), 0) << row.label;
        EXPECT_EQ(lockBytes, nullptr) << row.label;
    }
    EXPECT_EQ(CreateLockBytesOnStream(stream.get(), GENERIC_READ, nullptr), 0);
}

} // namespace
