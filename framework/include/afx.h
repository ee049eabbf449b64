// The framework's core: objects and their run-time classes, archives and files,
// exceptions, per-thread objects, the module state and its extension-library chain, and
// the path functions. Every other framework header includes this one.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <new>

#include "z64mfc_api.h"

struct __POSITION {};
using POSITION = __POSITION*;

#ifndef BEFORE_START_POSITION
#define BEFORE_START_POSITION (reinterpret_cast<POSITION>(-1))
#endif

class CObject;
class CArchive;
class CDumpContext;
class CFile;
class CWinApp;
class CWinThread;
class CDynLinkLibrary;

// ---------------------------------------------------------------------------------------
// Run-time classes
// ---------------------------------------------------------------------------------------

struct Z64MFC_API CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema; // 0xFFFF for classes that cannot be serialised
    CObject*(PASCAL* m_pfnCreateObject)();
    CRuntimeClass*(PASCAL* m_pfnGetBaseClass)();
    CRuntimeClass* m_pNextClass; // the next class of the same class list

    [[nodiscard]] CObject* CreateObject() const;
    [[nodiscard]] BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

    // The serialisable class of that name: the application's classes first, then those of
    // each extension library in the chain.
    [[nodiscard]] static CRuntimeClass* PASCAL FromName(LPCSTR lpszClassName);
};

// Makes a serialisable class known to the current module state at static initialisation.
struct Z64MFC_API AFX_CLASSINIT {
    explicit AFX_CLASSINIT(CRuntimeClass* pNewClass);
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)                                                                \
public:                                                                                            \
    static CRuntimeClass* PASCAL GetThisClass();                                                   \
    CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                                              \
    DECLARE_DYNAMIC(class_name)                                                                    \
    static CObject* PASCAL CreateObject();

#define DECLARE_SERIAL(class_name) DECLARE_DYNCREATE(class_name)

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew)                       \
    CRuntimeClass* PASCAL class_name::GetThisClass() {                                             \
        static CRuntimeClass runtimeClass = {                                                      \
            #class_name, static_cast<int>(sizeof(class_name)), wSchema,                            \
            pfnNew,      &base_class_name::GetThisClass,       nullptr};                           \
        return &runtimeClass;                                                                      \
    }                                                                                              \
    CRuntimeClass* class_name::GetRuntimeClass() const {                                           \
        return class_name::GetThisClass();                                                         \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                             \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                           \
    CObject* PASCAL class_name::CreateObject() {                                                   \
        return new class_name;                                                                     \
    }                                                                                              \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema)                                     \
    CObject* PASCAL class_name::CreateObject() {                                                   \
        return new class_name;                                                                     \
    }                                                                                              \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, class_name::CreateObject)         \
    static const AFX_CLASSINIT _init_##class_name(class_name::GetThisClass());

#define DYNAMIC_DOWNCAST(class_name, object)                                                       \
    (static_cast<class_name*>(AfxDynamicDownCast(RUNTIME_CLASS(class_name), (object))))

// ---------------------------------------------------------------------------------------
// CObject
// ---------------------------------------------------------------------------------------

class Z64MFC_API CObject {
public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize(CArchive& ar);
    virtual void AssertValid() const;
    virtual void Dump(CDumpContext& dc) const;

    [[nodiscard]] BOOL IsKindOf(const CRuntimeClass* pClass) const;
    [[nodiscard]] BOOL IsSerializable() const;
    static CRuntimeClass* PASCAL GetThisClass();

protected:
    CObject() = default;

public:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

Z64MFC_API CObject* AFXAPI AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject);

// Diagnostic output (the debugger's output window).
class Z64MFC_API CDumpContext {
public:
    CDumpContext& operator<<(LPCSTR text);
    CDumpContext& operator<<(int value);
    CDumpContext& operator<<(const void* pointer);
};
extern Z64MFC_API CDumpContext afxDump;

// ---------------------------------------------------------------------------------------
// Exceptions: thrown as pointers, caught as CException* and released with Delete().
// ---------------------------------------------------------------------------------------

class Z64MFC_API CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    CException();
    explicit CException(BOOL bAutoDelete);
    ~CException() override = default;

    // Frees a heap-allocated exception; preallocated exceptions stay.
    void Delete();
    virtual BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError,
                                 PUINT pnHelpContext = nullptr) const;
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

    BOOL m_bAutoDelete;
};

class Z64MFC_API CSimpleException : public CException {
    DECLARE_DYNAMIC(CSimpleException)
public:
    CSimpleException() = default;
    explicit CSimpleException(BOOL bAutoDelete) : CException(bAutoDelete) {}
};

class Z64MFC_API CMemoryException : public CSimpleException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    CMemoryException() = default;
    explicit CMemoryException(BOOL bAutoDelete) : CSimpleException(bAutoDelete) {}
    BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError,
                         PUINT pnHelpContext = nullptr) const override;
};

class Z64MFC_API CInvalidArgException : public CSimpleException {
    DECLARE_DYNAMIC(CInvalidArgException)
public:
    CInvalidArgException() = default;
    explicit CInvalidArgException(BOOL bAutoDelete) : CSimpleException(bAutoDelete) {}
    BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError,
                         PUINT pnHelpContext = nullptr) const override;
};

class Z64MFC_API COleException : public CException {
    DECLARE_DYNAMIC(COleException)
public:
    COleException() = default;
    // The status code carried by an exception: m_sc of an OLE exception, E_OUTOFMEMORY for a
    // memory exception, E_INVALIDARG for an invalid argument, E_UNEXPECTED otherwise.
    [[nodiscard]] static SCODE PASCAL Process(const CException* pAnyException);
    BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError,
                         PUINT pnHelpContext = nullptr) const override;

    SCODE m_sc = S_OK;
};

class Z64MFC_API CArchiveException : public CException {
    DECLARE_DYNAMIC(CArchiveException)
public:
    enum { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };
    explicit CArchiveException(int cause = none) : m_cause(cause) {}
    int m_cause;
};

[[noreturn]] Z64MFC_API void AFXAPI AfxThrowMemoryException();
[[noreturn]] Z64MFC_API void AFXAPI AfxThrowOleException(SCODE sc);
[[noreturn]] Z64MFC_API void AFXAPI AfxThrowInvalidArgException();
[[noreturn]] Z64MFC_API void AFXAPI AfxThrowArchiveException(int cause);

#define ENSURE(condition)                                                                          \
    do {                                                                                           \
        if (!(condition))                                                                          \
            AfxThrowInvalidArgException();                                                         \
    } while (false)
#define ENSURE_ARG(condition) ENSURE(condition)
#define ASSERT(condition) ((void)0)
#define VERIFY(expression) ((void)(expression))
#define ASSERT_VALID(object) ((void)0)
#define TRACE(...) ((void)0)

// ---------------------------------------------------------------------------------------
// Files and archives
// ---------------------------------------------------------------------------------------

class Z64MFC_API CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };

    CFile();
    CFile(LPCSTR lpszFileName, UINT nOpenFlags);
    ~CFile() override;

    virtual BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags);
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    virtual ULONGLONG GetLength() const;
    virtual void Close();
    ULONGLONG SeekToBegin() { return Seek(0, begin); }

    HANDLE m_hFile;
};

// A file in memory that grows as it is written.
class Z64MFC_API CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    explicit CMemFile(UINT nGrowBytes = 1024);
    ~CMemFile() override;

    BOOL Open(LPCSTR, UINT) override { return FALSE; }
    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetLength() const override { return m_nFileSize; }
    void Close() override;

    // The bytes written so far (valid until the next write).
    [[nodiscard]] const BYTE* GetData() const { return m_lpBuffer; }

private:
    UINT m_nGrowBytes;
    SIZE_T m_nPosition = 0;
    SIZE_T m_nBufferSize = 0;
    SIZE_T m_nFileSize = 0;
    BYTE* m_lpBuffer = nullptr;
};

// A binary stream of values over a file, storing or loading.
class Z64MFC_API CArchive {
public:
    enum Mode { store = 0, load = 1 };

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = nullptr);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    [[nodiscard]] BOOL IsLoading() const { return m_nMode == load; }
    [[nodiscard]] BOOL IsStoring() const { return m_nMode == store; }
    [[nodiscard]] CFile* GetFile() const { return m_pFile; }

    UINT Read(void* lpBuf, UINT nMax);
    void Write(const void* lpBuf, UINT nMax);
    void Flush();
    void Close();

    // Counts are written compactly: a WORD below 0xFFFF, else 0xFFFF and a DWORD below
    // 0xFFFFFFFF, else 0xFFFF, 0xFFFFFFFF and a 64-bit count.
    void WriteCount(DWORD_PTR dwCount);
    DWORD_PTR ReadCount();

    CArchive& operator<<(BYTE value) { return writeValue(value); }
    CArchive& operator<<(WORD value) { return writeValue(value); }
    CArchive& operator<<(LONG value) { return writeValue(value); }
    CArchive& operator<<(DWORD value) { return writeValue(value); }
    CArchive& operator<<(int value) { return writeValue(value); }
    CArchive& operator<<(LONGLONG value) { return writeValue(value); }
    CArchive& operator<<(ULONGLONG value) { return writeValue(value); }
    CArchive& operator>>(BYTE& value) { return readValue(value); }
    CArchive& operator>>(WORD& value) { return readValue(value); }
    CArchive& operator>>(LONG& value) { return readValue(value); }
    CArchive& operator>>(DWORD& value) { return readValue(value); }
    CArchive& operator>>(int& value) { return readValue(value); }
    CArchive& operator>>(LONGLONG& value) { return readValue(value); }
    CArchive& operator>>(ULONGLONG& value) { return readValue(value); }

private:
    template <typename T>
    CArchive& writeValue(const T& value) {
        Write(&value, sizeof value);
        return *this;
    }
    template <typename T>
    CArchive& readValue(T& value) {
        if (Read(&value, sizeof value) != sizeof value)
            AfxThrowArchiveException(CArchiveException::endOfFile);
        return *this;
    }

    CFile* m_pFile;
    UINT m_nMode;
};

// ---------------------------------------------------------------------------------------
// Untracked objects and per-thread objects
// ---------------------------------------------------------------------------------------

// An object allocated outside the tracked heap (per-thread and process-wide framework
// state), so that it is never reported as a leak.
class Z64MFC_API CNoTrackObject {
public:
    void* PASCAL operator new(size_t nSize);
    void PASCAL operator delete(void* p);
    virtual ~CNoTrackObject() = default;
};

// One slot of per-thread data: every thread that asks gets its own object, created on its
// first access. A thread's object is destroyed when the thread ends; every thread's object
// is destroyed when the holder is destroyed (for a holder in a library: when it unloads).
class Z64MFC_API CThreadLocalObject {
public:
    CNoTrackObject* GetData(CNoTrackObject*(AFXAPI* pfnCreateObject)());
    // The calling thread's object, or null when it has none yet.
    [[nodiscard]] CNoTrackObject* GetDataNA();
    ~CThreadLocalObject();

    int m_nSlot; // 0 until the first access allocates a slot
};

template <class TYPE>
class CThreadLocal : public CThreadLocalObject {
public:
    TYPE* GetData() {
        TYPE* pData = static_cast<TYPE*>(CThreadLocalObject::GetData(&CreateObject));
        ENSURE(pData != nullptr);
        return pData;
    }
    TYPE* GetDataNA() { return static_cast<TYPE*>(CThreadLocalObject::GetDataNA()); }
    operator TYPE*() { return GetData(); }
    TYPE* operator->() { return GetData(); }

    static CNoTrackObject* AFXAPI CreateObject() { return new TYPE; }
};

#define THREAD_LOCAL(class_name, ident_name) CThreadLocal<class_name> ident_name;
#define EXTERN_THREAD_LOCAL(class_name, ident_name) extern CThreadLocal<class_name> ident_name;

// ---------------------------------------------------------------------------------------
// The module state and the extension-library chain
// ---------------------------------------------------------------------------------------

// A singly linked list threaded through a member of its elements (run-time classes
// through m_pNextClass, libraries through m_pNextDLL).
template <class TYPE, TYPE* TYPE::*pNext>
struct CTypedSimpleList {
    TYPE* m_pHead = nullptr;

    [[nodiscard]] TYPE* GetHead() const { return m_pHead; }
    [[nodiscard]] static TYPE* GetNext(TYPE* p) { return p->*pNext; }
    void AddHead(TYPE* p) {
        p->*pNext = m_pHead;
        m_pHead = p;
    }
    BOOL Remove(TYPE* p) {
        for (TYPE** link = &m_pHead; *link != nullptr; link = &((*link)->*pNext)) {
            if (*link == p) {
                *link = p->*pNext;
                return TRUE;
            }
        }
        return FALSE;
    }
    [[nodiscard]] BOOL IsEmpty() const { return m_pHead == nullptr; }
};

// The factory records of the module; kept for the layout extension libraries rely on.
struct AFX_FACTORY_RECORD {
    AFX_FACTORY_RECORD* m_pNextFactory;
};

class Z64MFC_API AFX_MODULE_STATE : public CNoTrackObject {
public:
    AFX_MODULE_STATE();

    CWinApp* m_pCurrentWinApp = nullptr;
    HINSTANCE m_hCurrentInstanceHandle = nullptr;
    HINSTANCE m_hCurrentResourceHandle = nullptr;
    LPCSTR m_lpszCurrentAppName = nullptr;
    BOOL m_bDLL = FALSE;
    BOOL m_bSystem = FALSE;

    // Serialisable classes of the application (and of statically linked code).
    CTypedSimpleList<CRuntimeClass, &CRuntimeClass::m_pNextClass> m_classList;
    CTypedSimpleList<AFX_FACTORY_RECORD, &AFX_FACTORY_RECORD::m_pNextFactory> m_factoryList;
    // Where an extension library's raw entry hook keeps the application's list heads
    // while the library's own static objects register themselves.
    CRuntimeClass* m_pClassInit = nullptr;
    AFX_FACTORY_RECORD* m_pFactoryInit = nullptr;
    BOOL m_bListsSetAside = FALSE;

    CDynLinkLibrary* m_pFirstLibrary = nullptr; // the extension-library chain, newest first
    CRITICAL_SECTION m_lockLibraries;
};

Z64MFC_API AFX_MODULE_STATE* AFXAPI AfxGetModuleState();
Z64MFC_API AFX_MODULE_STATE* AFXAPI AfxGetAppModuleState();

Z64MFC_API CWinApp* AFXAPI AfxGetApp();
Z64MFC_API CWinThread* AFXAPI AfxGetThread();
Z64MFC_API HINSTANCE AFXAPI AfxGetInstanceHandle();
Z64MFC_API HINSTANCE AFXAPI AfxGetResourceHandle();
Z64MFC_API void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource);
Z64MFC_API LPCSTR AFXAPI AfxGetAppName();
// The module that holds a resource: the current resource module, then each extension
// library of the chain, then the current resource module again as the fallback.
Z64MFC_API HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
Z64MFC_API HINSTANCE AFXAPI AfxFindStringResourceHandle(UINT nID);
Z64MFC_API void AFXAPI AfxClassInit(CRuntimeClass* pNewClass);

// An extension library's record of itself.
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
    CRuntimeClass* pFirstSharedClass;
    AFX_FACTORY_RECORD* pFirstSharedFactory;
};

// One extension library in the application's chain: its resources and classes are found
// by id and name from the application. Created with new by the library's DllMain; deleted
// by AfxTermExtensionModule.
class Z64MFC_API CDynLinkLibrary : public CObject {
    DECLARE_DYNAMIC(CDynLinkLibrary)
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource);
    ~CDynLinkLibrary() override;

    HMODULE m_hModule;
    HMODULE m_hResource;
    CTypedSimpleList<CRuntimeClass, &CRuntimeClass::m_pNextClass> m_classList;
    CTypedSimpleList<AFX_FACTORY_RECORD, &AFX_FACTORY_RECORD::m_pNextFactory> m_factoryList;
    BOOL m_bSystem;
    CDynLinkLibrary* m_pNextDLL;
};

// Records the library's module and takes over the classes its static objects registered.
// Answers TRUE (also when called again for the same library).
Z64MFC_API BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
// Removes the library's CDynLinkLibrary objects from the chain and deletes them; with
// bAll, every library of the chain.
Z64MFC_API void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);
// What an extension library's raw entry hook does before the library's static objects are
// initialised (DLL_PROCESS_ATTACH): keeps the module state's class and factory list heads
// aside and clears them. AfxInitExtensionModule takes the new entries and restores them.
Z64MFC_API void AFXAPI AfxCoreInitExtensionLists();
// After the library's entry: restores the lists if AfxInitExtensionModule did not.
Z64MFC_API void AFXAPI AfxCoreEndExtensionLists();

// ---------------------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------------------

// The file-name part of lpszPathName (after the last '\\', '/' or ':') copied into
// lpszTitle; the result is the size that part needs with its terminator. With a null
// buffer only the size is returned.
Z64MFC_API UINT AFXAPI AfxGetFileName(LPCSTR lpszPathName, LPSTR lpszTitle, UINT nMax);
Z64MFC_API UINT AFXAPI AfxGetFileTitle(LPCSTR lpszPathName, LPSTR lpszTitle, UINT nMax);

#include "afxstr.h"

// The root of a path: "C:\" for a drive path, "\\server\share\" for a network path.
Z64MFC_API void AFXAPI AfxGetRoot(LPCSTR lpszPath, CString& strRoot);
Z64MFC_API void AFXAPI AfxGetRoot(LPCWSTR lpszPath, CStringW& strRoot);
