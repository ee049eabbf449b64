// Files (CFile on a handle, CMemFile in memory) and the archives that serialise through them.
#include "framework_internal.h"

#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CFile, CObject)
IMPLEMENT_DYNAMIC(CMemFile, CFile)

CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CFile::CFile(LPCSTR lpszFileName, UINT nOpenFlags) : CFile() {
    if (!Open(lpszFileName, nOpenFlags))
        AfxThrowArchiveException(CArchiveException::genericException);
}

CFile::~CFile() {
    if (m_hFile != INVALID_HANDLE_VALUE)
        Close();
}

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags) {
    constexpr UINT kAccessMask = 0x3;
    constexpr UINT kShareMask = 0x70;
    DWORD access = GENERIC_READ;
    if ((nOpenFlags & kAccessMask) == modeWrite)
        access = GENERIC_WRITE;
    else if ((nOpenFlags & kAccessMask) == modeReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = 0;
    switch (nOpenFlags & kShareMask) {
    case shareDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        share = FILE_SHARE_WRITE;
        break;
    case shareDenyNone:
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    default:
        break;
    }
    DWORD creation = OPEN_EXISTING;
    if (nOpenFlags & modeCreate)
        creation = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    m_hFile =
        CreateFileA(lpszFileName, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_hFile != INVALID_HANDLE_VALUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    DWORD read = 0;
    if (!ReadFile(m_hFile, lpBuf, nCount, &read, nullptr))
        AfxThrowArchiveException(CArchiveException::genericException);
    return read;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    DWORD written = 0;
    if (!WriteFile(m_hFile, lpBuf, nCount, &written, nullptr) || written != nCount)
        AfxThrowArchiveException(CArchiveException::genericException);
}

ULONGLONG CFile::Seek(LONGLONG lOff, UINT nFrom) {
    LARGE_INTEGER distance;
    distance.QuadPart = lOff;
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(m_hFile, distance, &position, nFrom))
        AfxThrowArchiveException(CArchiveException::genericException);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER size{};
    GetFileSizeEx(m_hFile, &size);
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::Close() {
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

CMemFile::CMemFile(UINT nGrowBytes) : m_nGrowBytes(nGrowBytes == 0 ? 1024 : nGrowBytes) {}

CMemFile::~CMemFile() {
    CMemFile::Close();
}

UINT CMemFile::Read(void* lpBuf, UINT nCount) {
    if (m_nPosition >= m_nFileSize)
        return 0;
    const SIZE_T available = m_nFileSize - m_nPosition;
    const UINT count = static_cast<UINT>(nCount < available ? nCount : available);
    memcpy(lpBuf, m_lpBuffer + m_nPosition, count);
    m_nPosition += count;
    return count;
}

void CMemFile::Write(const void* lpBuf, UINT nCount) {
    const SIZE_T end = m_nPosition + nCount;
    if (end > m_nBufferSize) {
        SIZE_T size = m_nBufferSize;
        while (size < end)
            size += m_nGrowBytes;
        auto* grown = static_cast<BYTE*>(realloc(m_lpBuffer, size));
        if (grown == nullptr)
            AfxThrowMemoryException();
        m_lpBuffer = grown;
        m_nBufferSize = size;
    }
    memcpy(m_lpBuffer + m_nPosition, lpBuf, nCount);
    m_nPosition = end;
    if (m_nPosition > m_nFileSize)
        m_nFileSize = m_nPosition;
}

ULONGLONG CMemFile::Seek(LONGLONG lOff, UINT nFrom) {
    LONGLONG base = 0;
    if (nFrom == current)
        base = static_cast<LONGLONG>(m_nPosition);
    else if (nFrom == end)
        base = static_cast<LONGLONG>(m_nFileSize);
    const LONGLONG position = base + lOff;
    if (position < 0)
        AfxThrowArchiveException(CArchiveException::badIndex);
    m_nPosition = static_cast<SIZE_T>(position);
    return static_cast<ULONGLONG>(position);
}

void CMemFile::Close() {
    free(m_lpBuffer);
    m_lpBuffer = nullptr;
    m_nBufferSize = m_nFileSize = m_nPosition = 0;
}

// ---------------------------------------------------------------------------------------
// Archives
// ---------------------------------------------------------------------------------------

CArchive::CArchive(CFile* pFile, UINT nMode, int, void*) : m_pFile(pFile), m_nMode(nMode & 1) {
    ENSURE(pFile != nullptr);
}

CArchive::~CArchive() = default;

UINT CArchive::Read(void* lpBuf, UINT nMax) {
    if (!IsLoading())
        AfxThrowArchiveException(CArchiveException::writeOnly);
    return nMax == 0 ? 0 : m_pFile->Read(lpBuf, nMax);
}

void CArchive::Write(const void* lpBuf, UINT nMax) {
    if (!IsStoring())
        AfxThrowArchiveException(CArchiveException::readOnly);
    if (nMax > 0)
        m_pFile->Write(lpBuf, nMax);
}

void CArchive::Flush() {}
void CArchive::Close() {}

void CArchive::WriteCount(DWORD_PTR dwCount) {
    constexpr DWORD_PTR kWordEscape = 0xFFFF;
    constexpr DWORD_PTR kDwordEscape = 0xFFFFFFFF;
    if (dwCount < kWordEscape) {
        *this << static_cast<WORD>(dwCount);
        return;
    }
    *this << static_cast<WORD>(kWordEscape);
    if (dwCount < kDwordEscape) {
        *this << static_cast<DWORD>(dwCount);
        return;
    }
    *this << static_cast<DWORD>(kDwordEscape) << static_cast<ULONGLONG>(dwCount);
}

DWORD_PTR CArchive::ReadCount() {
    WORD shortCount = 0;
    *this >> shortCount;
    if (shortCount != 0xFFFF)
        return shortCount;
    DWORD count = 0;
    *this >> count;
    if (count != 0xFFFFFFFF)
        return count;
    ULONGLONG longCount = 0;
    *this >> longCount;
    return static_cast<DWORD_PTR>(longCount);
}
