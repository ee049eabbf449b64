// The framework's exceptions: their run-time classes, messages and status codes, and the
// functions that throw them.
#include "framework_internal.h"

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
