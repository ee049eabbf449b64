// The conversions and the error function behind the compiler's _bstr_t (comutil.h), which
// MinGW declares without providing a library.
#include <windows.h>
#include <oleauto.h>

// comdef.h defines _com_issue_error inline for its own users, while comutil.h alone only
// declares it; the inline one is renamed here so that this file can give the library
// definition that comutil.h users link to.
#define _com_issue_error z64mfcInlineComIssueError
#include <comdef.h>
#undef _com_issue_error

#include <new>

void WINAPI _com_issue_error(HRESULT hr);
__declspec(dllexport) void WINAPI _com_issue_error(HRESULT hr) {
    throw _com_error(hr);
}

namespace _com_util {

// A BSTR of the ANSI text; null for null.
__declspec(dllexport) BSTR WINAPI ConvertStringToBSTR(const char* pSrc) {
    if (pSrc == nullptr)
        return nullptr;
    const int length = MultiByteToWideChar(CP_ACP, 0, pSrc, -1, nullptr, 0);
    if (length == 0)
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (result == nullptr)
        _com_issue_error(E_OUTOFMEMORY);
    if (MultiByteToWideChar(CP_ACP, 0, pSrc, -1, result, length) == 0) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        SysFreeString(result);
        _com_issue_error(hr);
    }
    return result;
}

// The ANSI text of a BSTR, allocated with new[] (the caller frees it with delete[]); null
// for null.
__declspec(dllexport) char* WINAPI ConvertBSTRToString(BSTR pSrc) {
    if (pSrc == nullptr)
        return nullptr;
    const int wideLength = static_cast<int>(SysStringLen(pSrc)) + 1;
    const int length =
        WideCharToMultiByte(CP_ACP, 0, pSrc, wideLength, nullptr, 0, nullptr, nullptr);
    if (length == 0)
        _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
    char* result = new (std::nothrow) char[static_cast<size_t>(length)];
    if (result == nullptr)
        _com_issue_error(E_OUTOFMEMORY);
    WideCharToMultiByte(CP_ACP, 0, pSrc, wideLength, result, length, nullptr, nullptr);
    return result;
}

} // namespace _com_util
