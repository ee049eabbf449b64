// A helper process for the Windows tests. It loads every library at run time, so that it
// can also run from a folder where some of them are missing. It prints "key=value" lines
// and exits with 0 when the command ran, 2 for a usage error, 3 when a library or entry
// point could not be found, 4 when a file could not be opened.
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
#include "integration/base_library.h"

#include <support/unique_resource.h>
#include <z64eveze.h>

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

int writeLogLines(const char* path, int count, const char* source) {
    int failures = 0;
    for (int index = 0; index < count; ++index)
        failures += WriteLog(path, 0, 0, source, "%s line %d of %d", source, index, count) ? 0 : 1;
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

int createStorage(const char* path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
    IStorage* storage = nullptr;
    std::printf("create=0x%08lX\n",
                static_cast<unsigned long>(QVStgCreateStorageW(wide.c_str(), &storage)));
    if (storage)
        storage->Release();
    storage = nullptr;
    std::printf("open=0x%08lX\n", static_cast<unsigned long>(QVStgOpenStorageW(
                                      wide.c_str(), &storage, STGM_READ | STGM_SHARE_EXCLUSIVE)));
    if (storage) {
        // A storage opened for reading refuses new streams: the mode reached the provider.
        IStream* stream = nullptr;
        std::printf("write=0x%08lX\n",
                    static_cast<unsigned long>(storage->CreateStream(
                        L"Probe", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream)));
        if (stream)
            stream->Release();
        storage->Release();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
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
    return runBridgeCommand(argc, argv);
}
