// A helper process for the message-state tests: a thread makes its message state in
// z64EVEZE.dll, the library is unloaded while that thread still runs, and the thread then
// ends. Exit code 0 when all went well, 3 when the library or an export is missing.
#include <support/unique_resource.h>

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

using ClearErrorList = void (*)(int);
using MessageBoxFunction = int (*)(HWND, const char*, const char*, unsigned int);
using ErrorList = const char* (*)();

struct Shared {
    ClearErrorList clear = nullptr;
    MessageBoxFunction messageBox = nullptr;
    ErrorList errorList = nullptr;
    support::UniqueHandle stateMade{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    support::UniqueHandle libraryGone{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    char collected[64] = {};
};

DWORD WINAPI holdAState(void* parameter) {
    auto* shared = static_cast<Shared*>(parameter);
    shared->clear(1);
    shared->messageBox(nullptr, "kept", nullptr, MB_OK);
    std::strncpy(shared->collected, shared->errorList(), sizeof shared->collected - 1);
    SetEvent(shared->stateMade.get());
    WaitForSingleObject(shared->libraryGone.get(), INFINITE);
    return 0; // the thread's framework data is released after the library has gone
}

template <typename Function>
Function entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

int main() {
    HMODULE library = LoadLibraryA("z64EVEZE.dll");
    if (library == nullptr)
        return 3;
    Shared shared;
    shared.clear = entry<ClearErrorList>(library, "QVClearErrorList");
    shared.messageBox = entry<MessageBoxFunction>(library, "QVMessageBox");
    shared.errorList = entry<ErrorList>(library, "QVErrorList");
    if (!shared.clear || !shared.messageBox || !shared.errorList)
        return 3;
    support::UniqueHandle thread(CreateThread(nullptr, 0, holdAState, &shared, 0, nullptr));
    WaitForSingleObject(shared.stateMade.get(), INFINITE);
    std::printf("collected=%s\n", shared.collected);
    FreeLibrary(library);
    std::printf("unloaded=%d\n", GetModuleHandleA("z64EVEZE.dll") == nullptr ? 1 : 0);
    SetEvent(shared.libraryGone.get());
    const bool ended = WaitForSingleObject(thread.get(), 10000) == WAIT_OBJECT_0;
    std::printf("thread-ended=%d\n", ended ? 1 : 0);
    std::fflush(stdout);
    return 0;
}
