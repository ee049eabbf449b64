#include "base_log.h"
#include "x64Quorpb32.h"

#include <support/unique_resource.h>

#include <cstdio>
#include <string>

namespace quorpb {
namespace {

constexpr wchar_t kLogPathVariable[] = L"QV_BASE_LOG";
constexpr wchar_t kDefaultLogName[] = L"x64Quorpb32.log";

// Writers serialise on an exclusive lock of one byte far past any real log size: the lock
// orders writers of every process without ever covering the bytes readers look at.
constexpr DWORD kWriterLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kWriterLockLength = 1;

std::wstring logPath() {
    wchar_t configured[MAX_PATH * 4];
    const DWORD length =
        GetEnvironmentVariableW(kLogPathVariable, configured, ARRAYSIZE(configured));
    if (length > 0 && length < ARRAYSIZE(configured))
        return configured;

    wchar_t temporaryFolder[MAX_PATH + 1];
    const DWORD folderLength = GetTempPathW(ARRAYSIZE(temporaryFolder), temporaryFolder);
    if (folderLength == 0 || folderLength >= ARRAYSIZE(temporaryFolder))
        return kDefaultLogName;
    return std::wstring(temporaryFolder) + kDefaultLogName;
}

std::string formatEntry(std::string_view tag, int level, std::string_view text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu:%lu] %d ",
                  now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                  now.wMilliseconds, GetCurrentProcessId(), GetCurrentThreadId(), level);
    std::string entry(prefix);
    entry.append(tag);
    entry.append(": ");
    for (const char character : text)
        entry.push_back(character == '\r' || character == '\n' ? ' ' : character);
    entry.append("\r\n");
    return entry;
}

class WriterLock {
public:
    explicit WriterLock(HANDLE file) : file_(file) {
        OVERLAPPED region{};
        region.OffsetHigh = kWriterLockOffsetHigh;
        locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, kWriterLockLength, 0, &region);
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    ~WriterLock() {
        if (!locked_)
            return;
        OVERLAPPED region{};
        region.OffsetHigh = kWriterLockOffsetHigh;
        UnlockFileEx(file_, 0, kWriterLockLength, 0, &region);
    }
    [[nodiscard]] bool locked() const { return locked_; }

private:
    HANDLE file_;
    bool locked_ = false;
};

} // namespace

bool appendLogEntry(std::string_view tag, int level, std::string_view text) {
    const std::string entry = formatEntry(tag, level, text);
    support::UniqueFile log(CreateFileW(logPath().c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log)
        return false;

    WriterLock lock(log.get());
    if (!lock.locked())
        return false;
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(log.get(), end, nullptr, FILE_END))
        return false;
    DWORD written = 0;
    return WriteFile(log.get(), entry.data(), static_cast<DWORD>(entry.size()), &written,
                     nullptr) &&
           written == entry.size();
}

} // namespace quorpb

QUORPB_API BOOL QVWriteLogA(const char* tag, int level, const char* text) {
    return quorpb::appendLogEntry(tag ? tag : "", level, text ? text : "");
}
