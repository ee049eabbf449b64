// Objects and run-time classes, diagnostics, exceptions, files and archives, node blocks
// and the path functions.
#include "framework_internal.h"

#include <afxtempl.h>

#include <cstdio>

// ---------------------------------------------------------------------------------------
// Run-time classes and CObject
// ---------------------------------------------------------------------------------------

CObject* CRuntimeClass::CreateObject() const {
    return m_pfnCreateObject != nullptr ? m_pfnCreateObject() : nullptr;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    for (const CRuntimeClass* c = this; c != nullptr;
         c = c->m_pfnGetBaseClass != nullptr ? c->m_pfnGetBaseClass() : nullptr) {
        if (c == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

CRuntimeClass* PASCAL CObject::GetThisClass() {
    static CRuntimeClass runtimeClass = {
        "CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr, nullptr, nullptr};
    return &runtimeClass;
}

CRuntimeClass* CObject::GetRuntimeClass() const {
    return GetThisClass();
}

void CObject::Serialize(CArchive&) {}
void CObject::AssertValid() const {}
void CObject::Dump(CDumpContext& dc) const {
    dc << "a " << GetRuntimeClass()->m_lpszClassName << " at " << static_cast<const void*>(this)
       << "\n";
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const {
    return GetRuntimeClass()->m_wSchema != 0xFFFF;
}

CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject) {
    return pObject != nullptr && pObject->IsKindOf(pClass) ? pObject : nullptr;
}

CDumpContext afxDump;

CDumpContext& CDumpContext::operator<<(LPCSTR text) {
    OutputDebugStringA(text != nullptr ? text : "(null)");
    return *this;
}

CDumpContext& CDumpContext::operator<<(int value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return *this << text;
}

CDumpContext& CDumpContext::operator<<(const void* pointer) {
    char text[24];
    snprintf(text, sizeof text, "%p", pointer);
    return *this << text;
}

// ---------------------------------------------------------------------------------------
// Untracked objects
// ---------------------------------------------------------------------------------------

void* PASCAL CNoTrackObject::operator new(size_t nSize) {
    void* p = LocalAlloc(LPTR, nSize);
    if (p == nullptr)
        AfxThrowMemoryException();
    return p;
}

void PASCAL CNoTrackObject::operator delete(void* p) {
    if (p != nullptr)
        LocalFree(p);
}

// ---------------------------------------------------------------------------------------
// Exceptions
// ---------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CSimpleException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CSimpleException)
IMPLEMENT_DYNAMIC(COleException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)

namespace {

BOOL copyMessage(LPCSTR text, LPSTR buffer, UINT size, PUINT pnHelpContext) {
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (buffer == nullptr || size == 0)
        return FALSE;
    lstrcpynA(buffer, text, static_cast<int>(size));
    return TRUE;
}

// The framework's string nID, from its own string table.
CString frameworkString(UINT nID) {
    CString text;
    if (!text.LoadString(z64mfc::frameworkInstance(), nID))
        text.LoadString(nID);
    return text;
}

} // namespace

CException::CException() : m_bAutoDelete(TRUE) {}
CException::CException(BOOL bAutoDelete) : m_bAutoDelete(bAutoDelete) {}

void CException::Delete() {
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (lpszError != nullptr && nMaxError > 0)
        *lpszError = '\0';
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
    char text[512];
    if (GetErrorMessage(text, sizeof text))
        return AfxMessageBox(text, nType);
    if (nMessageID == 0)
        nMessageID = AFX_IDP_NO_ERROR_AVAILABLE;
    return AfxMessageBox(nMessageID, nType);
}

BOOL CMemoryException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelp) const {
    return copyMessage(frameworkString(AFX_IDS_MEMORY_EXCEPTION), lpszError, nMaxError, pnHelp);
}

BOOL CInvalidArgException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelp) const {
    return copyMessage(frameworkString(AFX_IDS_INVALID_ARG_EXCEPTION), lpszError, nMaxError,
                       pnHelp);
}

BOOL COleException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, PUINT pnHelp) const {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(m_sc), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length == 0)
        return CException::GetErrorMessage(lpszError, nMaxError, pnHelp);
    const BOOL copied = copyMessage(text, lpszError, nMaxError, pnHelp);
    LocalFree(text);
    return copied;
}

SCODE PASCAL COleException::Process(const CException* pAnyException) {
    if (pAnyException == nullptr)
        return E_UNEXPECTED;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(COleException)))
        return static_cast<const COleException*>(pAnyException)->m_sc;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(CMemoryException)))
        return E_OUTOFMEMORY;
    if (pAnyException->IsKindOf(RUNTIME_CLASS(CInvalidArgException)))
        return E_INVALIDARG;
    return E_UNEXPECTED;
}

// Memory exceptions are preallocated: throwing one needs no memory, and Delete keeps it.
void AFXAPI AfxThrowMemoryException() {
    static CMemoryException preallocated(FALSE);
    throw &preallocated;
}

void AFXAPI AfxThrowOleException(SCODE sc) {
    auto* exception = new COleException;
    exception->m_sc = sc;
    throw exception;
}

void AFXAPI AfxThrowInvalidArgException() {
    throw new CInvalidArgException;
}

void AFXAPI AfxThrowArchiveException(int cause) {
    throw new CArchiveException(cause);
}

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

// ---------------------------------------------------------------------------------------
// Node blocks of the collections
// ---------------------------------------------------------------------------------------

CPlex* PASCAL CPlex::Create(CPlex*& head, UINT_PTR nMax, UINT_PTR cbElement) {
    ENSURE(nMax > 0 && cbElement > 0);
    if (nMax > (SIZE_MAX - sizeof(CPlex)) / cbElement)
        AfxThrowMemoryException();
    auto* block = static_cast<CPlex*>(malloc(sizeof(CPlex) + nMax * cbElement));
    if (block == nullptr)
        AfxThrowMemoryException();
    block->pNext = head;
    head = block;
    return block;
}

void CPlex::FreeDataChain() {
    for (CPlex* block = this; block != nullptr;) {
        CPlex* next = block->pNext;
        free(block);
        block = next;
    }
}

// ---------------------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------------------

namespace {

[[nodiscard]] bool isSeparator(wchar_t ch) {
    return ch == L'\\' || ch == L'/';
}

// The length of the root of a path: a network path keeps "\\server\share\", any other
// path its first component with its separator ("C:\"); a path without separator is its own
// root. Works on a wide copy, so that the trail bytes of double-byte characters are never
// taken for backslashes.
int rootLength(const CStringW& path) {
    const int length = path.GetLength();
    int index = 0;
    if (length >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        index = 2;
        while (index < length && !isSeparator(path[index]))
            ++index; // the server name
        if (index < length)
            ++index;
    }
    while (index < length && !isSeparator(path[index]))
        ++index;
    return index < length ? index + 1 : length;
}

} // namespace

UINT AFXAPI AfxGetFileName(LPCSTR lpszPathName, LPSTR lpszTitle, UINT nMax) {
    ENSURE(lpszPathName != nullptr);
    // The name starts after the last separator or drive colon, stepping whole characters.
    LPCSTR name = lpszPathName;
    for (LPCSTR p = lpszPathName; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':')
            name = CharNextA(p);
    }
    const UINT size = static_cast<UINT>(lstrlenA(name)) + 1;
    if (lpszTitle == nullptr)
        return size;
    lstrcpynA(lpszTitle, name, static_cast<int>(nMax));
    return 0;
}

UINT AFXAPI AfxGetFileTitle(LPCSTR lpszPathName, LPSTR lpszTitle, UINT nMax) {
    return AfxGetFileName(lpszPathName, lpszTitle, nMax);
}

void AFXAPI AfxGetRoot(LPCWSTR lpszPath, CStringW& strRoot) {
    ENSURE(lpszPath != nullptr);
    const CStringW path(lpszPath);
    strRoot = path.Left(rootLength(path));
}

void AFXAPI AfxGetRoot(LPCSTR lpszPath, CString& strRoot) {
    ENSURE(lpszPath != nullptr);
    CStringW root;
    AfxGetRoot(CStringW(lpszPath), root);
    strRoot = root;
}
