#include "test_support.h"

#include <support/com_ptr.h>
#include <support/task_memory.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using support::ComPtr;

constexpr size_t kFileSize = 4096;
constexpr __int64 kBase = 512;

ULARGE_INTEGER at(ULONGLONG offset) {
    ULARGE_INTEGER value;
    value.QuadPart = offset;
    return value;
}

std::string pattern(size_t size) {
    return test_support::patternBytes(size, 3);
}

ULONGLONG filePointer(HANDLE file) {
    LARGE_INTEGER none{}, position{};
    SetFilePointerEx(file, none, &position, FILE_CURRENT);
    return static_cast<ULONGLONG>(position.QuadPart);
}

class FileLockBytesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = folder_.file(L"document.bin");
        test_support::writeFile(path_, pattern(kFileSize));
        file_.reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file_);
    }

    ComPtr<ILockBytes> create(__int64 base, unsigned long fixedSize = 0, HANDLE file = nullptr) {
        ILockBytes* lockBytes = nullptr;
        EXPECT_TRUE(CreateFileLockBytes(test_support::narrow(path_).c_str(),
                                        file ? file : file_.get(), GENERIC_READ | GENERIC_WRITE,
                                        fixedSize, base, &lockBytes));
        return ComPtr<ILockBytes>::attach(lockBytes);
    }

    ULONGLONG sizeOnDisk() const {
        LARGE_INTEGER size{};
        GetFileSizeEx(file_.get(), &size);
        return static_cast<ULONGLONG>(size.QuadPart);
    }

    test_support::TemporaryDirectory folder_;
    std::wstring path_;
    support::UniqueFile file_;
};

TEST_F(FileLockBytesTest, CountsOffsetsFromTheBase) {
    ComPtr<ILockBytes> lockBytes = create(kBase);
    EXPECT_EQ(filePointer(file_.get()), static_cast<ULONGLONG>(kBase)) << "moved to the base";
    char buffer[16] = {};
    ULONG read = 0;
    ASSERT_EQ(lockBytes->ReadAt(at(0), buffer, sizeof buffer, &read), S_OK);
    EXPECT_EQ(std::string(buffer, read), pattern(kFileSize).substr(kBase, 16));

    STATSTG stat{};
    ASSERT_EQ(lockBytes->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    const support::UniqueTaskString name(stat.pwcsName);
    EXPECT_EQ(std::make_tuple(stat.cbSize.QuadPart, stat.type, stat.grfMode,
                              std::wstring(name ? name.get() : L"<none>")),
              std::make_tuple(ULONGLONG{kFileSize - kBase}, DWORD{STGTY_LOCKBYTES},
                              DWORD{STGM_READWRITE}, path_));

    ASSERT_EQ(lockBytes->WriteAt(at(4), "abcd", 4, nullptr), S_OK);
    ASSERT_EQ(lockBytes->SetSize(at(100)), S_OK);
    EXPECT_EQ(sizeOnDisk(), 612u);
    EXPECT_EQ(test_support::readFile(path_).substr(kBase + 4, 4), "abcd");
}

TEST_F(FileLockBytesTest, ReadsAtAndPastTheEndGiveWhatIsThere) {
    ComPtr<ILockBytes> lockBytes = create(kBase);
    char buffer[64];
    const struct {
        const char* label;
        ULONGLONG offset;
        ULONG expected;
    } cases[] = {
        {"straddling the end", kFileSize - kBase - 10, 10},
        {"at the end", kFileSize - kBase, 0},
        {"past the end", kFileSize, 0},
    };
    for (const auto& row : cases) {
        ULONG read = 999;
        EXPECT_EQ(lockBytes->ReadAt(at(row.offset), buffer, sizeof buffer, &read), S_OK)
            << row.label;
        EXPECT_EQ(read, row.expected) << row.label;
    }
    // No byte count is needed by the caller.
    EXPECT_EQ(lockBytes->ReadAt(at(0), buffer, 8, nullptr), S_OK);
}

TEST_F(FileLockBytesTest, RegionLocksUseAbsolutePositionsAndExcludeOtherProcesses) {
    ComPtr<ILockBytes> lockBytes = create(kBase);
    ASSERT_EQ(lockBytes->LockRegion(at(100), at(1), LOCK_ONLYONCE), S_OK);
    const std::wstring helper = test_support::programDirectory() + L"\\test_helper.exe";
    auto tryLock = [&](ULONGLONG offset) {
        return test_support::runProgram(helper,
                                        L"try-lock \"" + path_ + L"\" " + std::to_wstring(offset))
            .output;
    };
    EXPECT_NE(tryLock(100).find("locked=0"), std::string::npos);
    EXPECT_NE(tryLock(612).find("locked=1"), std::string::npos);
    ASSERT_EQ(lockBytes->UnlockRegion(at(100), at(1), LOCK_ONLYONCE), S_OK);
    EXPECT_NE(tryLock(100).find("locked=1"), std::string::npos);
}

TEST_F(FileLockBytesTest, FixedSizeRefusesSetSize) {
    ComPtr<ILockBytes> lockBytes = create(kBase, 1);
    EXPECT_EQ(lockBytes->SetSize(at(100)), STG_E_ACCESSDENIED);
    EXPECT_EQ(sizeOnDisk(), kFileSize);
}

// It answers for its own interfaces only, and the handle it borrowed outlives it.
TEST_F(FileLockBytesTest, AnswersForItsInterfacesAndLeavesTheHandleOpen) {
    ComPtr<ILockBytes> lockBytes = create(0);
    IStream* stream = reinterpret_cast<IStream*>(0x1);
    EXPECT_EQ(lockBytes->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream)),
              E_NOINTERFACE);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(lockBytes.detach()->Release(), 0u);
    EXPECT_EQ(sizeOnDisk(), kFileSize);
    EXPECT_TRUE(CloseHandle(file_.release()));
}

TEST_F(FileLockBytesTest, MapsAWriteOnAReadOnlyHandle) {
    support::UniqueFile readOnly(CreateFileW(path_.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(readOnly);
    ComPtr<ILockBytes> lockBytes = create(0, 0, readOnly.get());
    ULONG written = 5;
    EXPECT_EQ(lockBytes->WriteAt(at(0), "x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
}

TEST_F(FileLockBytesTest, RefusesMissingOrOverLongNamesAndNullOutPointers) {
    SetFilePointer(file_.get(), 77, nullptr, FILE_BEGIN);
    EXPECT_FALSE(CreateFileLockBytes("x", file_.get(), GENERIC_READ, 0, kBase, nullptr));
    EXPECT_EQ(filePointer(file_.get()), 77u);

    const struct {
        const char* label;
        std::string name;
        bool accepted;
    } cases[] = {
        {"1023 characters", std::string(1023, 'n'), true},
        {"1024 characters", std::string(1024, 'n'), false},
        {"empty", "", true},
    };
    for (const auto& row : cases) {
        ILockBytes* lockBytes = reinterpret_cast<ILockBytes*>(0x1);
        EXPECT_EQ(CreateFileLockBytes(row.name.c_str(), file_.get(), GENERIC_READ, 0, 0,
                                      &lockBytes) != FALSE,
                  row.accepted)
            << row.label;
        EXPECT_EQ(lockBytes != nullptr, row.accepted) << row.label;
        if (lockBytes)
            lockBytes->Release();
    }
    ILockBytes* lockBytes = reinterpret_cast<ILockBytes*>(0x1);
    EXPECT_FALSE(CreateFileLockBytes(nullptr, file_.get(), GENERIC_READ, 0, 0, &lockBytes));
    EXPECT_EQ(lockBytes, nullptr);
}

} // namespace
