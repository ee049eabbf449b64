// CFileLockBytes: an ILockBytes over a file handle that the caller opened, so that a
// compound file can live on that handle (with the caller's own path rules, sharing and
// access), at a base offset inside a larger file.
#pragma once

#include <support/com_object.h>

#include <objidl.h>

// The reference count, the first field after the virtual table, is the COM base's: it starts
// at 0 and CreateFileLockBytes's QueryInterface raises it to 1.
class CFileLockBytes final : public support::ComObject<CFileLockBytes, ILockBytes> {
public:
    // The longest name the object keeps, terminator included.
    static constexpr size_t kNameCapacity = 1024;

    CFileLockBytes(const char* name, HANDLE file, unsigned long access, unsigned long fixedSize,
                   __int64 baseOffset);
    CFileLockBytes(const CFileLockBytes&) = delete;
    CFileLockBytes& operator=(const CFileLockBytes&) = delete;

    // ILockBytes. Offsets of ReadAt, WriteAt and SetSize count from the base offset; those
    // of LockRegion and UnlockRegion are absolute file positions.
    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count,
                                     ULONG* read) override;
    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count,
                                      ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                         DWORD lockType) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                           DWORD lockType) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;

private:
    [[nodiscard]] HRESULT positionAt(ULARGE_INTEGER offset) const;
    [[nodiscard]] ULONGLONG fileSize() const;

    HANDLE m_hFile;               // borrowed: the caller closes it
    char m_szName[kNameCapacity]; // as the caller gave it, in the ANSI code page
    unsigned long m_dwAccess;     // kept, not consulted
    unsigned long m_dwFixedSize;  // non-zero: SetSize is refused
    __int64 m_nBaseOffset;
};
