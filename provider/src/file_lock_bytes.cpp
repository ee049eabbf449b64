#include "file_lock_bytes.h"

#include "modes.h"
#include "results.h"

#include <support/task_memory.h>

#include <cstring>
#include <new>

namespace provider {
namespace {

constexpr size_t kLongPathThreshold = MAX_PATH;
constexpr wchar_t kLongPathPrefix[] = L"\\\\?\\";
constexpr wchar_t kUncLongPathPrefix[] = L"\\\\?\\UNC\\";

[[nodiscard]] HRESULT lastFileError() {
    return fileErrorToHresult(GetLastError());
}

[[nodiscard]] OVERLAPPED overlappedAt(ULARGE_INTEGER offset) {
    OVERLAPPED overlapped{};
    overlapped.Offset = offset.LowPart;
    overlapped.OffsetHigh = offset.HighPart;
    return overlapped;
}

} // namespace

HRESULT fileErrorToHresult(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return STG_E_FILENOTFOUND;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return STG_E_PATHNOTFOUND;
    case ERROR_ACCESS_DENIED:
        return STG_E_ACCESSDENIED;
    case ERROR_SHARING_VIOLATION:
        return STG_E_SHAREVIOLATION;
    case ERROR_LOCK_VIOLATION:
        return STG_E_LOCKVIOLATION;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return STG_E_FILEALREADYEXISTS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return STG_E_MEDIUMFULL;
    case ERROR_WRITE_PROTECT:
        return STG_E_DISKISWRITEPROTECTED;
    case ERROR_TOO_MANY_OPEN_FILES:
        return STG_E_TOOMANYOPENFILES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return STG_E_INSUFFICIENTMEMORY;
    default:
        return HRESULT_FROM_WIN32(error);
    }
}

HRESULT fullFilePath(const wchar_t* name, std::wstring* path) {
    path->clear();
    RETURN_HR_IF(STG_E_INVALIDNAME, name == nullptr || *name == L'\0');
    if (std::wcsncmp(name, kLongPathPrefix, 4) == 0) {
        *path = name;
        return S_OK;
    }
    const DWORD needed = GetFullPathNameW(name, 0, nullptr, nullptr);
    RETURN_HR_IF(STG_E_INVALIDNAME, needed == 0);
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(name, needed, full.data(), nullptr);
    RETURN_HR_IF(STG_E_INVALIDNAME, length == 0 || length >= needed);
    full.resize(length);
    if (full.size() >= kLongPathThreshold) {
        if (full.rfind(L"\\\\", 0) == 0)
            full = kUncLongPathPrefix + full.substr(2);
        else
            full = kLongPathPrefix + full;
    }
    *path = std::move(full);
    return S_OK;
}

HRESULT FileLockBytes::open(const std::wstring& path, DWORD mode, FileDisposition disposition,
                            SECURITY_ATTRIBUTES* security, ComPtr<FileLockBytes>* result) {
    result->reset();
    DWORD creation = OPEN_EXISTING;
    if (disposition == FileDisposition::createNew)
        creation = CREATE_NEW;
    else if (disposition == FileDisposition::openOrCreate)
        creation = OPEN_ALWAYS;
    support::UniqueFile file(CreateFileW(path.c_str(), fileAccessOf(mode), fileShareOf(mode),
                                         security, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return lastFileError();
    *result = support::makeComObject<FileLockBytes>(std::move(file), path);
    RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, result->get());
    return S_OK;
}

bool FileLockBytes::moveTo(ULARGE_INTEGER offset) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset.QuadPart);
    return SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN) != FALSE;
}

HRESULT FileLockBytes::ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count, ULONG* read) {
    if (read)
        *read = 0;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, buffer);
    std::lock_guard lock(mutex_);
    RETURN_HR_IF(STG_E_READFAULT, !moveTo(offset));
    DWORD got = 0;
    if (!ReadFile(file_.get(), buffer, count, &got, nullptr) && GetLastError() != ERROR_HANDLE_EOF)
        return STG_E_READFAULT;
    if (read)
        *read = got;
    return S_OK;
}

HRESULT FileLockBytes::WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count,
                               ULONG* written) {
    if (written)
        *written = 0;
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, buffer);
    std::lock_guard lock(mutex_);
    RETURN_HR_IF(STG_E_MEDIUMFULL, offset.QuadPart + count > sizeLimit_);
    DWORD put = 0;
    if (!moveTo(offset) || !WriteFile(file_.get(), buffer, count, &put, nullptr)) {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED ? STG_E_ACCESSDENIED
               : error == ERROR_DISK_FULL   ? STG_E_MEDIUMFULL
                                            : STG_E_WRITEFAULT;
    }
    if (written)
        *written = put;
    return S_OK;
}

HRESULT FileLockBytes::Flush() {
    if (!flushToDisk_)
        return S_OK;
    if (!FlushFileBuffers(file_.get()) && GetLastError() != ERROR_ACCESS_DENIED)
        return STG_E_WRITEFAULT;
    return S_OK;
}

void FileLockBytes::refuseGrowth() {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file_.get(), &size))
        sizeLimit_ = static_cast<std::uint64_t>(size.QuadPart);
}

HRESULT FileLockBytes::SetSize(ULARGE_INTEGER size) {
    RETURN_HR_IF(STG_E_MEDIUMFULL, size.QuadPart > sizeLimit_);
    std::lock_guard lock(mutex_);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size.QuadPart);
    if (!SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &end, sizeof(end)))
        return GetLastError() == ERROR_DISK_FULL ? STG_E_MEDIUMFULL : lastFileError();
    return S_OK;
}

HRESULT FileLockBytes::LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) {
    RETURN_HR_IF(STG_E_INVALIDFUNCTION, lockType != LOCK_EXCLUSIVE && lockType != LOCK_ONLYONCE);
    OVERLAPPED overlapped = overlappedAt(offset);
    if (!LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                    count.LowPart, count.HighPart, &overlapped))
        return STG_E_LOCKVIOLATION;
    return S_OK;
}

HRESULT FileLockBytes::UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) {
    RETURN_HR_IF(STG_E_INVALIDFUNCTION, lockType != LOCK_EXCLUSIVE && lockType != LOCK_ONLYONCE);
    OVERLAPPED overlapped = overlappedAt(offset);
    if (!UnlockFileEx(file_.get(), 0, count.LowPart, count.HighPart, &overlapped))
        return STG_E_LOCKVIOLATION;
    return S_OK;
}

HRESULT FileLockBytes::Stat(STATSTG* stat, DWORD statFlag) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stat);
    *stat = STATSTG{};
    RETURN_HR_IF(STG_E_INVALIDFLAG, statFlag != STATFLAG_DEFAULT && statFlag != STATFLAG_NONAME);
    // GetFileSizeEx and GetFileTime rather than GetFileInformationByHandle, which costs
    // about half a millisecond under Wine and is called on every open.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size) ||
        !GetFileTime(file_.get(), &stat->ctime, &stat->atime, &stat->mtime))
        return lastFileError();
    stat->type = STGTY_LOCKBYTES;
    stat->cbSize.QuadPart = static_cast<ULONGLONG>(size.QuadPart);
    stat->grfLocksSupported = LOCK_EXCLUSIVE | LOCK_ONLYONCE;
    if (statFlag == STATFLAG_DEFAULT) {
        stat->pwcsName = support::copyToTaskMemory(path_).release();
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, stat->pwcsName);
    }
    return S_OK;
}

} // namespace provider
