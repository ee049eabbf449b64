// Export and calling-convention macros of the framework DLL (z64mfc.dll).
//
// The framework's own classes and functions are exported with Z64MFC_API. Extension
// libraries built on the framework export theirs with AFX_EXT_CLASS, which exports when the
// library defines _AFXEXT while it is built and imports everywhere else.
#pragma once

#if defined(Z64MFC_BUILDING)
#define Z64MFC_API __declspec(dllexport)
#else
#define Z64MFC_API __declspec(dllimport)
#endif

#if defined(_AFXEXT)
#define AFX_EXT_CLASS __declspec(dllexport)
#define AFX_EXT_API __declspec(dllexport)
#define AFX_EXT_DATA __declspec(dllexport)
#else
#define AFX_EXT_CLASS __declspec(dllimport)
#define AFX_EXT_API __declspec(dllimport)
#define AFX_EXT_DATA __declspec(dllimport)
#endif

#define AFXAPI __stdcall
#define AFX_CDECL __cdecl
#define AFX_INLINE inline
#define AFX_MSG_CALL
#define afx_msg
#define PASCAL __stdcall
