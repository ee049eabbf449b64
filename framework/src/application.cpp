// Threads and the application object: the message loop, the program's entry, message
// boxes, and the application's settings in the registry or its profile file.
#include "framework_internal.h"

#include <support/unique_resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using support::UniqueRegistryKey;

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

// ---------------------------------------------------------------------------------------
// CWinThread
// ---------------------------------------------------------------------------------------

CWinThread::CWinThread()
    : m_pMainWnd(nullptr), m_pActiveWnd(nullptr), m_bAutoDelete(FALSE), m_hThread(nullptr),
      m_nThreadID(0), m_msgCur{} {}

CWinThread::~CWinThread() = default;

CWnd* CWinThread::GetMainWnd() {
    return m_pActiveWnd != nullptr ? m_pActiveWnd : m_pMainWnd;
}

BOOL CWinThread::InitInstance() {
    return FALSE;
}

int CWinThread::Run() {
    for (;;) {
        for (LONG idleCount = 0;
             !::PeekMessageA(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE) && OnIdle(idleCount);
             ++idleCount) {
        }
        if (!PumpMessage())
            return ExitInstance();
    }
}

BOOL CWinThread::PumpMessage() {
    if (!::GetMessageA(&m_msgCur, nullptr, 0, 0))
        return FALSE;
    if (!PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageA(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg) {
    return CWnd::WalkPreTranslateTree(GetMainWnd()->GetSafeHwnd(), pMsg);
}

// The first idle moment frees the thread's temporary objects; no further idle work.
BOOL CWinThread::OnIdle(LONG lCount) {
    if (lCount == 0)
        CWnd::DeleteTempMap();
    return FALSE;
}

BOOL CWinThread::IsIdleMessage(MSG* pMsg) {
    return pMsg->message != WM_PAINT && pMsg->message != WM_TIMER;
}

// The exit code is that of the WM_QUIT that ended the loop.
int CWinThread::ExitInstance() {
    return static_cast<int>(m_msgCur.wParam);
}

// ---------------------------------------------------------------------------------------
// CWinApp
// ---------------------------------------------------------------------------------------

namespace {

LPCSTR duplicate(LPCSTR text) {
    if (text == nullptr)
        return nullptr;
    char* copy = _strdup(text);
    if (copy == nullptr)
        AfxThrowMemoryException();
    return copy;
}

void replace(LPCSTR& field, LPCSTR text) {
    LPCSTR copy = duplicate(text);
    free(const_cast<char*>(field));
    field = copy;
}

// The default icon of a message box without one, by its buttons.
UINT withDefaultIcon(UINT nType) {
    if (nType & MB_ICONMASK)
        return nType;
    switch (nType & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
        return nType | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return nType | MB_ICONQUESTION;
    default:
        return nType | MB_ICONSTOP;
    }
}

int showMessageBox(LPCSTR text, UINT nType, LPCSTR caption) {
    HWND top = nullptr;
    HWND owner = CWnd::GetSafeOwner_(nullptr, &top);
    const int result = ::MessageBoxA(owner, text, caption, withDefaultIcon(nType));
    if (top != nullptr)
        ::EnableWindow(top, TRUE);
    return result;
}

CString loadFrameworkOrApplicationString(UINT nID) {
    CString text;
    text.LoadString(nID);
    return text;
}

} // namespace

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pszAppName(duplicate(lpszAppName)), m_pszRegistryKey(nullptr), m_pszProfileName(nullptr),
      m_pszExeName(nullptr), m_pszHelpFilePath(nullptr), m_hInstance(GetModuleHandleA(nullptr)),
      m_lpCmdLine(nullptr), m_nCmdShow(SW_SHOWNORMAL) {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    state->m_pCurrentWinApp = this;
    state->m_lpszCurrentAppName = m_pszAppName;
    z64mfc::threadState()->currentThread = this;
    m_nThreadID = GetCurrentThreadId();
    m_hThread = GetCurrentThread();
}

CWinApp::~CWinApp() {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    if (state->m_pCurrentWinApp == this) {
        state->m_pCurrentWinApp = nullptr;
        state->m_lpszCurrentAppName = nullptr;
    }
    if (z64mfc::ThreadState* thread = z64mfc::threadState(); thread->currentThread == this)
        thread->currentThread = nullptr;
    for (LPCSTR* field :
         {&m_pszAppName, &m_pszRegistryKey, &m_pszProfileName, &m_pszExeName, &m_pszHelpFilePath})
        replace(*field, nullptr);
}

void CWinApp::SetCurrentHandles() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(m_hInstance, path, static_cast<DWORD>(sizeof path - 1));
    CString full(path);
    CString stem = full;
    if (const int dot = stem.ReverseFind('.'); dot > stem.ReverseFind('\\'))
        stem = stem.Left(dot);
    const CString exeName = stem.Mid(stem.ReverseFind('\\') + 1);
    if (m_pszExeName == nullptr)
        replace(m_pszExeName, exeName);
    if (m_pszAppName == nullptr) {
        CString title;
        if (!title.LoadString(m_hInstance, AFX_IDS_APP_TITLE))
            title = exeName;
        replace(m_pszAppName, title);
    }
    AfxGetModuleState()->m_lpszCurrentAppName = m_pszAppName;
    if (m_pszProfileName == nullptr)
        replace(m_pszProfileName, exeName + ".INI");
    if (m_pszHelpFilePath == nullptr)
        replace(m_pszHelpFilePath, stem + ".HLP");
}

BOOL CWinApp::InitApplication() {
    return TRUE;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return CWinThread::ExitInstance();
}

// Without a main window there is nothing to run: the loop ends at once.
int CWinApp::Run() {
    if (m_pMainWnd == nullptr)
        ::PostQuitMessage(0);
    return CWinThread::Run();
}

int CWinApp::DoMessageBox(LPCSTR lpszPrompt, UINT nType, UINT) {
    return showMessageBox(lpszPrompt, nType, m_pszAppName);
}

void CWinApp::WinHelp(DWORD_PTR, UINT) {}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) {
    ENSURE(lpszRegistryKey != nullptr);
    if (m_pszAppName == nullptr)
        SetCurrentHandles();
    replace(m_pszRegistryKey, lpszRegistryKey);
    replace(m_pszProfileName, m_pszAppName);
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey) {
    CString key;
    ENSURE(key.LoadString(nIDRegistryKey));
    SetRegistryKey(key);
}

HKEY CWinApp::GetAppRegistryKey(CAtlTransactionManager*) {
    if (m_pszRegistryKey == nullptr)
        return nullptr;
    if (m_pszProfileName == nullptr)
        SetCurrentHandles();
    constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
    UniqueRegistryKey software, company;
    HKEY application = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, kAccess, software.put()) != ERROR_SUCCESS ||
        RegCreateKeyExA(software.get(), m_pszRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        kAccess, nullptr, company.put(), nullptr) != ERROR_SUCCESS ||
        RegCreateKeyExA(company.get(), m_pszProfileName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        kAccess, nullptr, &application, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return application;
}

HKEY CWinApp::GetSectionKey(LPCSTR lpszSection, CAtlTransactionManager* pTM) {
    ENSURE(lpszSection != nullptr);
    UniqueRegistryKey application(GetAppRegistryKey(pTM));
    if (!application)
        return nullptr;
    HKEY section = nullptr;
    if (RegCreateKeyExA(application.get(), lpszSection, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &section, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return section;
}

UINT CWinApp::GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault) {
    ENSURE(lpszSection != nullptr && lpszEntry != nullptr);
    if (m_pszProfileName == nullptr)
        SetCurrentHandles();
    if (m_pszRegistryKey == nullptr)
        return ::GetPrivateProfileIntA(lpszSection, lpszEntry, nDefault, m_pszProfileName);
    UniqueRegistryKey section(GetSectionKey(lpszSection));
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!section ||
        RegQueryValueExA(section.get(), lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return static_cast<UINT>(nDefault);
    return value;
}

BOOL CWinApp::WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue) {
    ENSURE(lpszSection != nullptr && lpszEntry != nullptr);
    if (m_pszProfileName == nullptr)
        SetCurrentHandles();
    if (m_pszRegistryKey == nullptr) {
        char text[16];
        snprintf(text, sizeof text, "%d", nValue);
        return ::WritePrivateProfileStringA(lpszSection, lpszEntry, text, m_pszProfileName);
    }
    UniqueRegistryKey section(GetSectionKey(lpszSection));
    const DWORD value = static_cast<DWORD>(nValue);
    return section &&
           RegSetValueExA(section.get(), lpszEntry, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) {
    ENSURE(lpszSection != nullptr && lpszEntry != nullptr);
    if (m_pszProfileName == nullptr)
        SetCurrentHandles();
    const CString fallback(lpszDefault != nullptr ? lpszDefault : "");
    if (m_pszRegistryKey == nullptr) {
        // Grow the buffer until the text fits with room to spare.
        constexpr int kInitialSize = 256;
        CString text;
        for (int size = kInitialSize;; size *= 2) {
            const DWORD copied =
                ::GetPrivateProfileStringA(lpszSection, lpszEntry, fallback, text.GetBuffer(size),
                                           static_cast<DWORD>(size), m_pszProfileName);
            text.ReleaseBuffer(static_cast<int>(copied));
            if (static_cast<int>(copied) < size - 1)
                return text;
        }
    }
    UniqueRegistryKey section(GetSectionKey(lpszSection));
    DWORD type = 0;
    DWORD size = 0;
    if (!section ||
        RegQueryValueExA(section.get(), lpszEntry, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return fallback;
    CString text;
    char* buffer = text.GetBuffer(static_cast<int>(size));
    if (RegQueryValueExA(section.get(), lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS) {
        text.ReleaseBuffer(0);
        return fallback;
    }
    buffer[size] = '\0';
    text.ReleaseBuffer();
    return text;
}

BOOL CWinApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
    ENSURE(lpszSection != nullptr);
    if (m_pszProfileName == nullptr)
        SetCurrentHandles();
    if (m_pszRegistryKey == nullptr)
        return ::WritePrivateProfileStringA(lpszSection, lpszEntry, lpszValue, m_pszProfileName);
    if (lpszEntry == nullptr) {
        UniqueRegistryKey application(GetAppRegistryKey());
        return application && RegDeleteTreeA(application.get(), lpszSection) == ERROR_SUCCESS;
    }
    UniqueRegistryKey section(GetSectionKey(lpszSection));
    if (!section)
        return FALSE;
    if (lpszValue == nullptr) {
        return RegDeleteValueA(section.get(), lpszEntry) == ERROR_SUCCESS;
    }
    return RegSetValueExA(section.get(), lpszEntry, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(lpszValue),
                          static_cast<DWORD>(strlen(lpszValue) + 1)) == ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------------------
// Global functions
// ---------------------------------------------------------------------------------------

CWnd* AFXAPI AfxGetMainWnd() {
    CWinThread* thread = AfxGetThread();
    return thread != nullptr ? thread->GetMainWnd() : nullptr;
}

int AFXAPI AfxMessageBox(LPCSTR lpszText, UINT nType, UINT nIDHelp) {
    if (CWinApp* app = AfxGetApp())
        return app->DoMessageBox(lpszText, nType, nIDHelp);
    return showMessageBox(lpszText, nType, AfxGetAppName());
}

int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp) {
    const CString prompt = loadFrameworkOrApplicationString(nIDPrompt);
    return AfxMessageBox(prompt, nType, nIDHelp == static_cast<UINT>(-1) ? nIDPrompt : nIDHelp);
}

void AFXAPI AfxFormatString1(CString& rString, UINT nIDS, LPCSTR lpsz1) {
    rString = loadFrameworkOrApplicationString(nIDS);
    rString.Replace("%1", lpsz1 != nullptr ? lpsz1 : "");
}

BOOL AFXAPI AfxPumpMessage() {
    if (CWinThread* thread = AfxGetThread())
        return thread->PumpMessage();
    MSG msg;
    if (!::GetMessageA(&msg, nullptr, 0, 0))
        return FALSE;
    if (!AfxPreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return TRUE;
}

BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg) {
    if (CWinThread* thread = AfxGetThread())
        return thread->PreTranslateMessage(pMsg);
    return CWnd::WalkPreTranslateTree(nullptr, pMsg);
}

BOOL AFXAPI AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow) {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    state->m_hCurrentInstanceHandle = hInstance;
    state->m_hCurrentResourceHandle = hInstance;
    if (CWinApp* app = AfxGetApp()) {
        app->m_hInstance = hInstance;
        app->m_lpCmdLine = lpCmdLine;
        app->m_nCmdShow = nCmdShow;
        app->SetCurrentHandles();
    }
    return TRUE;
}

void AFXAPI AfxWinTerm() {
    CWnd::DeleteTempMap();
}

int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    constexpr int kStartFailure = -1;
    CWinThread* thread = AfxGetThread();
    CWinApp* app = AfxGetApp();
    if (thread == nullptr || !AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow) ||
        (app != nullptr && !app->InitApplication())) {
        AfxWinTerm();
        return kStartFailure;
    }
    int exitCode = 0;
    if (!thread->InitInstance()) {
        if (thread->m_pMainWnd != nullptr)
            thread->m_pMainWnd->DestroyWindow();
        exitCode = thread->ExitInstance();
    } else {
        exitCode = thread->Run();
    }
    AfxWinTerm();
    return exitCode;
}
