// The process's module state, the extension-library chain and resource lookup through it.
#include "framework_internal.h"

namespace {

HINSTANCE g_frameworkInstance = nullptr;

// Holds the module state's library lock for a scope.
class LibraryLock {
public:
    explicit LibraryLock(AFX_MODULE_STATE* state) : state_(state) {
        EnterCriticalSection(&state_->m_lockLibraries);
    }
    ~LibraryLock() { LeaveCriticalSection(&state_->m_lockLibraries); }
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;

private:
    AFX_MODULE_STATE* state_;
};

[[nodiscard]] bool holdsResource(HINSTANCE module, LPCSTR name, LPCSTR type) {
    return module != nullptr && FindResourceA(module, name, type) != nullptr;
}

[[nodiscard]] bool holdsString(HINSTANCE module, UINT id) {
    LPCWSTR text = nullptr;
    int length = 0;
    return module != nullptr && AfxLoadStringResource(module, id, &text, &length);
}

// Walks the candidate modules in lookup order: the current resource module, the chain's
// ordinary libraries, its system libraries, the framework itself.
template <typename Holds>
[[nodiscard]] HINSTANCE findInChain(Holds holds) {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    if (HINSTANCE current = state->m_hCurrentResourceHandle; holds(current))
        return current;
    {
        LibraryLock lock(state);
        for (const BOOL system : {FALSE, TRUE}) {
            for (CDynLinkLibrary* library = state->m_pFirstLibrary; library != nullptr;
                 library = library->m_pNextDLL) {
                if (library->m_bSystem == system && holds(library->m_hResource))
                    return library->m_hResource;
            }
        }
    }
    if (holds(g_frameworkInstance))
        return g_frameworkInstance;
    return state->m_hCurrentResourceHandle;
}

} // namespace

namespace z64mfc {

HINSTANCE frameworkInstance() {
    return g_frameworkInstance;
}

void setFrameworkInstance(HINSTANCE instance) {
    g_frameworkInstance = instance;
}

} // namespace z64mfc

AFX_MODULE_STATE::AFX_MODULE_STATE() {
    InitializeCriticalSection(&m_lockLibraries);
    m_hCurrentInstanceHandle = GetModuleHandleA(nullptr);
    m_hCurrentResourceHandle = m_hCurrentInstanceHandle;
}

// One state for the process: extension libraries share the application's state, and the
// framework never switches it. It lives until the process ends.
AFX_MODULE_STATE* AFXAPI AfxGetModuleState() {
    static AFX_MODULE_STATE* const state = new AFX_MODULE_STATE;
    return state;
}

AFX_MODULE_STATE* AFXAPI AfxGetAppModuleState() {
    return AfxGetModuleState();
}

CWinApp* AFXAPI AfxGetApp() {
    return AfxGetModuleState()->m_pCurrentWinApp;
}

CWinThread* AFXAPI AfxGetThread() {
    return z64mfc::threadState()->currentThread;
}

HINSTANCE AFXAPI AfxGetInstanceHandle() {
    return AfxGetModuleState()->m_hCurrentInstanceHandle;
}

HINSTANCE AFXAPI AfxGetResourceHandle() {
    return AfxGetModuleState()->m_hCurrentResourceHandle;
}

void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource) {
    ENSURE(hInstResource != nullptr);
    AfxGetModuleState()->m_hCurrentResourceHandle = hInstResource;
}

LPCSTR AFXAPI AfxGetAppName() {
    return AfxGetModuleState()->m_lpszCurrentAppName;
}

HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType) {
    return findInChain([&](HINSTANCE module) { return holdsResource(module, lpszName, lpszType); });
}

HINSTANCE AFXAPI AfxFindStringResourceHandle(UINT nID) {
    return findInChain([&](HINSTANCE module) { return holdsString(module, nID); });
}

BOOL AFXAPI AfxLoadStringResource(HINSTANCE hInstance, UINT nID, LPCWSTR* ppText, int* pLength) {
    constexpr UINT kStringsPerBlock = 16;
    *ppText = nullptr;
    *pLength = 0;
    if (hInstance == nullptr)
        return FALSE;
    HRSRC resource = FindResourceW(hInstance, MAKEINTRESOURCEW(nID / kStringsPerBlock + 1),
                                   reinterpret_cast<LPCWSTR>(RT_STRING));
    if (resource == nullptr)
        return FALSE;
    HGLOBAL loaded = LoadResource(hInstance, resource);
    const auto* entry = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
    if (entry == nullptr)
        return FALSE;
    // A block holds 16 strings, each its length followed by that many characters.
    for (UINT index = nID % kStringsPerBlock; index > 0; --index)
        entry += 1 + *entry;
    if (*entry == 0)
        return FALSE;
    *pLength = *entry;
    *ppText = entry + 1;
    return TRUE;
}

// ---------------------------------------------------------------------------------------
// Class lists and extension libraries
// ---------------------------------------------------------------------------------------

void AFXAPI AfxClassInit(CRuntimeClass* pNewClass) {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    LibraryLock lock(state);
    state->m_classList.AddHead(pNewClass);
}

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass) {
    AfxClassInit(pNewClass);
}

void AFXAPI AfxCoreInitExtensionLists() {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    LibraryLock lock(state);
    state->m_pClassInit = state->m_classList.m_pHead;
    state->m_classList.m_pHead = nullptr;
    state->m_pFactoryInit = state->m_factoryList.m_pHead;
    state->m_factoryList.m_pHead = nullptr;
    state->m_bListsSetAside = TRUE;
}

void AFXAPI AfxCoreEndExtensionLists() {
    AFX_MODULE_STATE* state = AfxGetModuleState();
    LibraryLock lock(state);
    if (!state->m_bListsSetAside)
        return;
    // The library never called AfxInitExtensionModule: whatever it registered stays
    // in front of the application's classes.
    CRuntimeClass** classTail = &state->m_classList.m_pHead;
    while (*classTail != nullptr)
        classTail = &(*classTail)->m_pNextClass;
    *classTail = state->m_pClassInit;
    AFX_FACTORY_RECORD** factoryTail = &state->m_factoryList.m_pHead;
    while (*factoryTail != nullptr)
        factoryTail = &(*factoryTail)->m_pNextFactory;
    *factoryTail = state->m_pFactoryInit;
    state->m_pClassInit = nullptr;
    state->m_pFactoryInit = nullptr;
    state->m_bListsSetAside = FALSE;
}

BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule) {
    if (state.bInitialized)
        return TRUE;
    AFX_MODULE_STATE* moduleState = AfxGetModuleState();
    LibraryLock lock(moduleState);
    state.hModule = hModule;
    state.hResource = hModule;
    // What registered itself since the raw entry hook cleared the lists is the library's.
    state.pFirstSharedClass = moduleState->m_classList.m_pHead;
    moduleState->m_classList.m_pHead = moduleState->m_pClassInit;
    moduleState->m_pClassInit = nullptr;
    state.pFirstSharedFactory = moduleState->m_factoryList.m_pHead;
    moduleState->m_factoryList.m_pHead = moduleState->m_pFactoryInit;
    moduleState->m_pFactoryInit = nullptr;
    moduleState->m_bListsSetAside = FALSE;
    state.bInitialized = TRUE;
    return TRUE;
}

void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll) {
    if (!state.bInitialized)
        return;
    AFX_MODULE_STATE* moduleState = AfxGetModuleState();
    for (;;) {
        CDynLinkLibrary* found = nullptr;
        {
            LibraryLock lock(moduleState);
            for (CDynLinkLibrary* library = moduleState->m_pFirstLibrary; library != nullptr;
                 library = library->m_pNextDLL) {
                if (bAll || library->m_hModule == state.hModule) {
                    found = library;
                    break;
                }
            }
        }
        if (found == nullptr)
            break;
        delete found; // unlinks itself
    }
    state.bInitialized = FALSE;
}

IMPLEMENT_DYNAMIC(CDynLinkLibrary, CObject)

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(bSystem),
      m_pNextDLL(nullptr) {
    m_classList.m_pHead = state.pFirstSharedClass;
    m_factoryList.m_pHead = state.pFirstSharedFactory;
    AFX_MODULE_STATE* moduleState = AfxGetModuleState();
    LibraryLock lock(moduleState);
    m_pNextDLL = moduleState->m_pFirstLibrary;
    moduleState->m_pFirstLibrary = this;
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource)
    : m_hModule(hModule), m_hResource(hResource), m_bSystem(FALSE), m_pNextDLL(nullptr) {
    AFX_MODULE_STATE* moduleState = AfxGetModuleState();
    LibraryLock lock(moduleState);
    m_pNextDLL = moduleState->m_pFirstLibrary;
    moduleState->m_pFirstLibrary = this;
}

CDynLinkLibrary::~CDynLinkLibrary() {
    AFX_MODULE_STATE* moduleState = AfxGetModuleState();
    LibraryLock lock(moduleState);
    for (CDynLinkLibrary** link = &moduleState->m_pFirstLibrary; *link != nullptr;
         link = &(*link)->m_pNextDLL) {
        if (*link == this) {
            *link = m_pNextDLL;
            break;
        }
    }
}

CRuntimeClass* PASCAL CRuntimeClass::FromName(LPCSTR lpszClassName) {
    if (lpszClassName == nullptr)
        return nullptr;
    AFX_MODULE_STATE* state = AfxGetModuleState();
    LibraryLock lock(state);
    for (CRuntimeClass* c = state->m_classList.m_pHead; c != nullptr; c = c->m_pNextClass)
        if (lstrcmpA(c->m_lpszClassName, lpszClassName) == 0)
            return c;
    for (CDynLinkLibrary* library = state->m_pFirstLibrary; library != nullptr;
         library = library->m_pNextDLL)
        for (CRuntimeClass* c = library->m_classList.m_pHead; c != nullptr; c = c->m_pNextClass)
            if (lstrcmpA(c->m_lpszClassName, lpszClassName) == 0)
                return c;
    return nullptr;
}
