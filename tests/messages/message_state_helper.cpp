// A helper process for the message-state tests: a thread makes its message state in
// z64EVEZE.dll, the library is unloaded while that thread still runs, and the thread then
// ends. Exit code 0 when all went well, 3 when the library or an export is missing.
#include <support/unique_resource.h>

#include <windows.h>

#include <cstdio>

namespace {

support::UniqueHandle g_stateMade{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
support::UniqueHandle g_libraryGone{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
void (*g_clear)(int) = nullptr;
int (*g_messageBox)(HWND, const char*, const char*, unsigned int) = nullptr;
const char* (*g_errorList)() = nullptr;
char g_collected[64] = {};

DWORD WINAPI holdAState(void*) {
    g_clear(1);
    g_messageBox(nullptr, "kept", nullptr, MB_OK);
    std::snprintf(g_collected, sizeof g_collected, "%s", g_errorList());
    SetEvent(g_stateMade.get());
    WaitForSingleObject(g_libraryGone.get(), INFINITE);
    return 0; // the thread's framework data is released after the library has gone
}

template <typename Function>
void load(Function& function, HMODULE module, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

int main() {
    HMODULE library = LoadLibraryA("z64EVEZE.dll");
    if (library == nullptr)
        return 3;
    load(g_clear, library, "QVClearErrorList");
    load(g_messageBox, library, "QVMessageBox");
    load(g_errorList, library, "QVErrorList");
    if (!g_clear || !g_messageBox || !g_errorList)
        return 3;
    support::UniqueHandle thread(CreateThread(nullptr, 0, holdAState, nullptr, 0, nullptr));
    WaitForSingleObject(g_stateMade.get(), INFINITE);
    std::printf("collected=%s\n", g_collected);
    FreeLibrary(library);
    std::printf("unloaded=%d\n", GetModuleHandleA("z64EVEZE.dll") == nullptr ? 1 : 0);
    SetEvent(g_libraryGone.get());
    const bool ended = WaitForSingleObject(thread.get(), 10000) == WAIT_OBJECT_0;
    std::printf("thread-ended=%d\n", ended ? 1 : 0);
    std::fflush(stdout);
    return 0;
}
