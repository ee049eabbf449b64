#include "storage/file_lock_bytes.h"

#include <support/result_macros.h>
#include <support/task_memory.h>
#include <z64eveze.h>

#include <cstring>
#include <new>

namespace {

// A failed system call as the HRESULT that OLE expects from lock bytes.
HRESULT lastErrorResult() {
    switch (GetLastError()) {
    case ERROR_SUCCESS:
        return S_OK;
    case ERROR_ACCESS_DENIED:
        return STG_E_ACCESSDENIED;
    case ERROR_INVALID_HANDLE:
        return STG_E_INVALIDHANDLE;
    case ERROR_HANDLE_DISK_FULL:
        return STG_E_MEDIUMFULL;
    default:
        return E_FAIL;
    }
}

OVERLAPPED regionOf(ULARGE_INTEGER offset) {
    OVERLAPPED region{};
    region.Offset = offset.LowPart;
    region.OffsetHigh = offset.HighPart;
    return region;
}

} // namespace

CFileLockBytes::CFileLockBytes(const char* name, HANDLE file, unsigned long access,
                               unsigned long fixedSize, __int64 baseOffset)
    : ComObject(0), m_hFile(file), m_dwAccess(access), m_dwFixedSize(fixedSize),
      m_nBaseOffset(baseOffset) {
    strncpy_s(m_szName, name, _TRUNCATE);
    (void)m_dwAccess;
}

HRESULT CFileLockBytes::positionAt(ULARGE_INTEGER offset) const {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset.QuadPart) + m_nBaseOffset;
    return SetFilePointerEx(m_hFile, position, nullptr, FILE_BEGIN) ? S_OK : lastErrorResult();
}

HRESULT CFileLockBytes::ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count, ULONG* read) {
    // A synchronous handle needs a byte count; a caller that wants none gets a local one.
    ULONG ignored = 0;
    ULONG* bytesRead = read ? read : &ignored;
    *bytesRead = 0;
    RETURN_IF_FAILED(positionAt(offset));
    return ReadFile(m_hFile, buffer, count, bytesRead, nullptr) ? S_OK : lastErrorResult();
}

HRESULT CFileLockBytes::WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count,
                                ULONG* written) {
    ULONG ignored = 0;
    ULONG* bytesWritten = written ? written : &ignored;
    *bytesWritten = 0;
    RETURN_IF_FAILED(positionAt(offset));
    return WriteFile(m_hFile, buffer, count, bytesWritten, nullptr) ? S_OK : lastErrorResult();
}

HRESULT CFileLockBytes::Flush() {
    return S_OK;
}

HRESULT CFileLockBytes::SetSize(ULARGE_INTEGER size) {
    RETURN_HR_IF(STG_E_ACCESSDENIED, m_dwFixedSize != 0);
    RETURN_IF_FAILED(positionAt(size));
    return SetEndOfFile(m_hFile) ? S_OK : lastErrorResult();
}

HRESULT CFileLockBytes::LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) {
    // Every lock is exclusive and waits for the region, whatever type was asked for.
    (void)lockType;
    OVERLAPPED region = regionOf(offset);
    return LockFileEx(m_hFile, LOCKFILE_EXCLUSIVE_LOCK, 0, count.LowPart, count.HighPart, &region)
               ? S_OK
               : lastErrorResult();
}

HRESULT CFileLockBytes::UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, DWORD lockType) {
    (void)lockType;
    OVERLAPPED region = regionOf(offset);
    return UnlockFileEx(m_hFile, 0, count.LowPart, count.HighPart, &region) ? S_OK
                                                                            : lastErrorResult();
}

// The file's size, learned the first way that works; 0 when none does.
ULONGLONG CFileLockBytes::fileSize() const {
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(m_hFile, &information))
        return (static_cast<ULONGLONG>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    LARGE_INTEGER size;
    if (GetFileSizeEx(m_hFile, &size))
        return static_cast<ULONGLONG>(size.QuadPart);
    LARGE_INTEGER none{};
    if (SetFilePointerEx(m_hFile, none, &size, FILE_END))
        return static_cast<ULONGLONG>(size.QuadPart);
    return 0;
}

HRESULT CFileLockBytes::Stat(STATSTG* stat, DWORD flags) {
    RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stat);
    if ((flags & STATFLAG_NONAME) == 0) {
        const int units = MultiByteToWideChar(CP_ACP, 0, m_szName, -1, nullptr, 0);
        stat->pwcsName =
            support::allocateTaskMemory<WCHAR>(static_cast<std::size_t>(units)).release();
        RETURN_HR_IF_NULL(STG_E_INSUFFICIENTMEMORY, stat->pwcsName);
        MultiByteToWideChar(CP_ACP, 0, m_szName, -1, stat->pwcsName, units);
    }
    stat->type = STGTY_LOCKBYTES;
    // A file shorter than the base offset holds none of the byte array.
    const ULONGLONG size = fileSize();
    const ULONGLONG base = static_cast<ULONGLONG>(m_nBaseOffset);
    stat->cbSize.QuadPart = size > base ? size - base : 0;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(m_hFile, &information))
        information = {};
    stat->mtime = information.ftLastWriteTime;
    stat->ctime = information.ftCreationTime;
    stat->atime = information.ftLastAccessTime;
    stat->grfMode = STGM_READWRITE;
    stat->grfLocksSupported = 0;
    stat->clsid = CLSID_NULL;
    stat->grfStateBits = 0;
    stat->reserved = 0;
    return S_OK;
}

Z64EVEZE_API BOOL CreateFileLockBytes(const char* name, HANDLE file, unsigned long access,
                                      unsigned long fixedSize, __int64 baseOffset,
                                      ILockBytes** lockBytes) {
    if (!lockBytes)
        return FALSE;
    *lockBytes = nullptr;
    // A name must be given, and it must fit: a cut name would name another file.
    if (!name || std::strlen(name) >= CFileLockBytes::kNameCapacity)
        return FALSE;
    auto* object = new (std::nothrow) CFileLockBytes(name, file, access, fixedSize, baseOffset);
    if (!object)
        return FALSE;
    LARGE_INTEGER base;
    base.QuadPart = baseOffset;
    SetFilePointerEx(file, base, nullptr, FILE_BEGIN);
    return SUCCEEDED(object->QueryInterface(IID_ILockBytes, reinterpret_cast<void**>(lockBytes)));
}
