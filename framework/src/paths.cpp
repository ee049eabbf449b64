// The path functions: a path's file name and its root.
#include "framework_internal.h"

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
