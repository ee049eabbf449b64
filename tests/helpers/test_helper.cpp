// The one helper process of the Windows tests. It loads every library at run time, so that
// it can also run from a folder where some of them are missing, and so that a command
// starts no more than it needs. It prints "key=value" lines and exits with 0 when the
// command ran, 2 for a usage error, 3 when a library or entry point could not be found, 4 when
// a file could not be opened.
//
//   test_helper bridges                 which base library the bridges reach
//   test_helper delete PATH             delete a file through the library's bridge
//   test_helper move FROM TO            move a file through the library's bridge
//   test_helper write-log COUNT TAG     write COUNT entries to the base log directly
//   test_helper silent                  the base library's silent-mode answer
//   test_helper hold PATH MILLISECONDS  hold PATH open without sharing for a while
//   test_helper write-log-lines PATH COUNT SOURCE   append COUNT lines with WriteLog
//   test_helper try-lock PATH OFFSET    whether one byte at OFFSET can be locked now
//   test_helper create-storage PATH     QVStgCreateStorageW's result, QVStgOpenStorageW's
//                                       for reading, and CreateStream's in the opened storage
//   test_helper stg-serve               answers lines "open|create MODE provider|ole32 PATH"
//                                       with StgOpenStorage's or StgCreateDocfile's result,
//                                       "hr=XXXXXXXX", from z64STG.dll or Wine's ole32
//   test_helper unload-with-state       a thread makes its message state in z64EVEZE.dll, the
//                                       library is unloaded while that thread still runs, and
//                                       the thread then ends
#include "integration/base_library.h"

#include <support/com_ptr.h>
#include <support/unique_resource.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kUsageError = 2;
constexpr int kMissingLibrary = 3;
constexpr int kCannotOpen = 4;
constexpr char kCallerText[] = "test_helper : bridges";
constexpr int kCallerLine = 4242;

template <typename Function>
Function entryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const z64::integration::BaseLibraryBridges* libraryBridges(HMODULE library) {
    const auto get = entryPoint<z64::integration::GetBaseLibraryBridgesFunction>(
        library, MAKEINTRESOURCEA(z64::integration::kBaseLibraryBridgesOrdinal));
    return get ? get() : nullptr;
}

int runBridgeCommand(int argc, char** argv) {
    support::UniqueModule library(LoadLibraryA("z64EVEZE.dll"));
    if (!library)
        return kMissingLibrary;
    const z64::integration::BaseLibraryBridges* bridges = libraryBridges(library.get());
    if (!bridges)
        return kMissingLibrary;

    std::printf("base=%d\n", bridges->baseLibrary != nullptr ? 1 : 0);
    std::printf("guid-bound=%d\n", bridges->stringToGuid && bridges->guidToString ? 1 : 0);
    const std::string command = argv[1];
    if (command == "delete" && argc == 3) {
        std::printf("result=%d\n", bridges->deleteFile(argv[2], kCallerText, kCallerLine));
    } else if (command == "move" && argc == 4) {
        std::printf("result=%d\n", bridges->moveFile(argv[2], argv[3], kCallerText, kCallerLine));
    } else if (command != "bridges") {
        return kUsageError;
    }
    std::printf("error=%lu\n", GetLastError());
    return 0;
}

int writeLog(int count, const char* tag) {
    support::UniqueModule base(LoadLibraryA("x64Quorpb32.dll"));
    using WriteLog = BOOL (*)(const char*, int, const char*);
    const auto write = base ? entryPoint<WriteLog>(base.get(), "QVWriteLogA") : nullptr;
    if (!write)
        return kMissingLibrary;
    // Long entries make a torn write easy to see.
    const std::string body(300, tag[0]);
    int failures = 0;
    for (int index = 0; index < count; ++index) {
        const std::string text = std::string(tag) + " " + std::to_string(index) + " " + body;
        failures += write(tag, 1, text.c_str()) ? 0 : 1;
    }
    std::printf("failures=%d\n", failures);
    return 0;
}

int silentMode() {
    support::UniqueModule base(LoadLibraryA("x64Quorpb32.dll"));
    using IsSilent = BOOL (*)();
    const auto isSilent =
        base ? entryPoint<IsSilent>(base.get(), "IsRunningInSilentMode") : nullptr;
    if (!isSilent)
        return kMissingLibrary;
    std::printf("silent=%d\n", isSilent() ? 1 : 0);
    return 0;
}

int holdFile(const char* path, DWORD milliseconds) {
    // The test probes the file until it is held, so a first attempt may meet the probe.
    constexpr int kOpenAttempts = 5000;
    support::UniqueFile file;
    for (int attempt = 0; attempt < kOpenAttempts && !file; ++attempt) {
        file.reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        if (!file)
            Sleep(1);
    }
    if (!file)
        return kCannotOpen;
    Sleep(milliseconds);
    return 0;
}

// The library's entry points this program calls, under their decorated export names.
using WriteLogFunction = int (*)(const char*, int, int, const char*, const char*, ...);
using CreateStorageFunction = long (*)(const wchar_t*, IStorage**);
using OpenStorageFunction = long (*)(const wchar_t*, IStorage**, unsigned long);
constexpr char kWriteLogName[] = "_Z8WriteLogPKciiS0_S0_z";
constexpr char kCreateStorageName[] = "_Z19QVStgCreateStorageWPKwPP8IStorage";
constexpr char kOpenStorageName[] = "_Z17QVStgOpenStorageWPKwPP8IStoragem";

int writeLogLines(const char* path, int count, const char* source) {
    support::UniqueModule library(LoadLibraryA("z64EVEZE.dll"));
    const auto write =
        library ? entryPoint<WriteLogFunction>(library.get(), kWriteLogName) : nullptr;
    if (!write)
        return kMissingLibrary;
    int failures = 0;
    for (int index = 0; index < count; ++index)
        failures += write(path, 0, 0, source, "%s line %d of %d", source, index, count) ? 0 : 1;
    std::printf("failures=%d\n", failures);
    return 0;
}

int tryLock(const char* path, ULONGLONG offset) {
    support::UniqueFile file(CreateFileA(path, GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return kCannotOpen;
    OVERLAPPED region{};
    region.Offset = static_cast<DWORD>(offset);
    region.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const BOOL locked = LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                                   0, 1, 0, &region);
    if (locked)
        UnlockFileEx(file.get(), 0, 1, 0, &region);
    std::printf("locked=%d\n", locked ? 1 : 0);
    return 0;
}

std::wstring widened(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    return wide;
}

int createStorage(const char* path) {
    support::UniqueModule library(LoadLibraryA("z64EVEZE.dll"));
    const auto createStorageW =
        library ? entryPoint<CreateStorageFunction>(library.get(), kCreateStorageName) : nullptr;
    const auto openStorageW =
        library ? entryPoint<OpenStorageFunction>(library.get(), kOpenStorageName) : nullptr;
    if (!createStorageW || !openStorageW)
        return kMissingLibrary;
    const std::wstring wide = widened(path);
    support::ComPtr<IStorage> storage;
    std::printf("create=0x%08lX\n",
                static_cast<unsigned long>(createStorageW(wide.c_str(), storage.put())));
    storage.reset();
    std::printf("open=0x%08lX\n",
                static_cast<unsigned long>(
                    openStorageW(wide.c_str(), storage.put(), STGM_READ | STGM_SHARE_EXCLUSIVE)));
    if (storage) {
        // A storage opened for reading refuses new streams: the mode reached the provider.
        support::ComPtr<IStream> stream;
        std::printf("write=0x%08lX\n",
                    static_cast<unsigned long>(storage->CreateStream(
                        L"Probe", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put())));
    }
    return 0;
}

// The share-mode tests' second opener: one line "open|create MODE provider|ole32 PATH" (MODE
// in hexadecimal) at a time, each answered with StgOpenStorage's or StgCreateDocfile's result
// as "hr=XXXXXXXX", until the input ends. Every call opens and releases its own storage, so
// that nothing is held between calls.
HRESULT storageCall(HMODULE library, const std::string& call, DWORD mode,
                    const std::wstring& path) {
    const auto open = entryPoint<decltype(&StgOpenStorage)>(library, "StgOpenStorage");
    const auto create = entryPoint<decltype(&StgCreateDocfile)>(library, "StgCreateDocfile");
    support::ComPtr<IStorage> storage;
    if (open && call == "open")
        return open(path.c_str(), nullptr, mode, nullptr, 0, storage.put());
    return create && call == "create" ? create(path.c_str(), mode, 0, storage.put()) : E_INVALIDARG;
}

int serveStorageCalls() {
    support::UniqueModule provider(LoadLibraryA("z64STG.dll"));
    support::UniqueModule ole32(LoadLibraryA("ole32.dll"));
    if (!provider || !ole32)
        return kMissingLibrary;
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        char call[16] = {}, api[16] = {};
        unsigned long mode = 0;
        int pathStart = 0;
        HRESULT hr = E_INVALIDARG;
        if (std::sscanf(line, "%15s %lx %15s %n", call, &mode, api, &pathStart) == 3) {
            std::string path = line + pathStart;
            path.erase(path.find_last_not_of("\r\n") + 1);
            hr = storageCall(std::strcmp(api, "ole32") == 0 ? ole32.get() : provider.get(), call,
                             static_cast<DWORD>(mode), widened(path.c_str()));
        }
        std::printf("hr=%08lX\n", static_cast<unsigned long>(hr));
        std::fflush(stdout);
    }
    return 0;
}

// The message-state command: what the thread collected, and its events.
struct HeldState {
    support::UniqueHandle made{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    support::UniqueHandle libraryGone{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    void (*clear)(int) = nullptr;
    int (*messageBox)(HWND, const char*, const char*, unsigned int) = nullptr;
    const char* (*errorList)() = nullptr;
    char collected[64] = {};
};

DWORD WINAPI holdAState(void* parameter) {
    auto* state = static_cast<HeldState*>(parameter);
    state->clear(1);
    state->messageBox(nullptr, "kept", nullptr, MB_OK);
    std::snprintf(state->collected, sizeof state->collected, "%s", state->errorList());
    SetEvent(state->made.get());
    WaitForSingleObject(state->libraryGone.get(), INFINITE);
    return 0; // the thread's framework data is released after the library has gone
}

int unloadWithState() {
    HMODULE library = LoadLibraryA("z64EVEZE.dll");
    if (library == nullptr)
        return kMissingLibrary;
    HeldState state;
    state.clear = entryPoint<decltype(state.clear)>(library, "QVClearErrorList");
    state.messageBox = entryPoint<decltype(state.messageBox)>(library, "QVMessageBox");
    state.errorList = entryPoint<decltype(state.errorList)>(library, "QVErrorList");
    if (!state.clear || !state.messageBox || !state.errorList)
        return kMissingLibrary;
    support::UniqueHandle thread(CreateThread(nullptr, 0, holdAState, &state, 0, nullptr));
    WaitForSingleObject(state.made.get(), INFINITE);
    std::printf("collected=%s\n", state.collected);
    FreeLibrary(library);
    std::printf("unloaded=%d\n", GetModuleHandleA("z64EVEZE.dll") == nullptr ? 1 : 0);
    SetEvent(state.libraryGone.get());
    const bool ended = WaitForSingleObject(thread.get(), 10000) == WAIT_OBJECT_0;
    std::printf("thread-ended=%d\n", ended ? 1 : 0);
    std::fflush(stdout);
    return 0;
}

int runCommand(int argc, char** argv) {
    if (argc < 2)
        return kUsageError;
    const std::string command = argv[1];
    if (command == "write-log" && argc == 4)
        return writeLog(std::atoi(argv[2]), argv[3]);
    if (command == "silent")
        return silentMode();
    if (command == "write-log-lines" && argc == 5)
        return writeLogLines(argv[2], std::atoi(argv[3]), argv[4]);
    if (command == "create-storage" && argc == 3)
        return createStorage(argv[2]);
    if (command == "try-lock" && argc == 4)
        return tryLock(argv[2], std::strtoull(argv[3], nullptr, 10));
    if (command == "hold" && argc == 4)
        return holdFile(argv[2], static_cast<DWORD>(std::atoi(argv[3])));
    if (command == "unload-with-state")
        return unloadWithState();
    if (command == "stg-serve")
        return serveStorageCalls();
    return runBridgeCommand(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    return runCommand(argc, argv);
}
