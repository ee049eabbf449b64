#include "integration/base_library.h"

HMODULE g_hBaseLibrary = nullptr;
QVDeleteFileFunction g_pfnDeleteFile = nullptr;
QVMoveFileFunction g_pfnMoveFile = nullptr;
QVMoveFileExFunction g_pfnMoveFileEx = nullptr;
QVSHFileOperationFunction g_pfnSHFileOperation = nullptr;
StringToGUIDFunction g_pfnStringToGUID = nullptr;
GUIDToStringFunction g_pfnGUIDToString = nullptr;

namespace z64::integration {
namespace {

constexpr char kBaseLibraryName[] = "x64Quorpb32.dll";

using QVWriteLogAFunction = BOOL (*)(const char* tag, int level, const char* text);
using IsRunningInSilentModeFunction = BOOL (*)();
using QVGetLocaleInfoAFunction = int (*)(LCID locale, LCTYPE type, char* buffer, int size);

QVWriteLogAFunction g_pfnWriteLog = nullptr;
IsRunningInSilentModeFunction g_pfnIsRunningInSilentMode = nullptr;
QVGetLocaleInfoAFunction g_pfnGetLocaleInfo = nullptr;

// The platform fallbacks ignore the caller text and line number, which only serve the
// base library's diagnostics.
BOOL deleteFileFallback(const char* path, const char*, int) {
    return DeleteFileA(path);
}

BOOL moveFileFallback(const char* from, const char* to, const char*, int) {
    return MoveFileA(from, to);
}

BOOL moveFileExFallback(const char* from, const char* to, DWORD flags, const char*, int) {
    return MoveFileExA(from, to, flags);
}

int shFileOperationFallback(SHFILEOPSTRUCTA* operation, const char*, int) {
    return SHFileOperationA(operation);
}

template <typename Function>
void bind(Function* pointer, const char* name) {
    if (FARPROC address = GetProcAddress(g_hBaseLibrary, name))
        *pointer = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

template <typename Function>
void fallBackIfUnbound(Function* pointer, Function fallback) {
    if (*pointer == nullptr)
        *pointer = fallback;
}

} // namespace

void bindBaseLibrary() {
    g_hBaseLibrary = LoadLibraryA(kBaseLibraryName);
    if (g_hBaseLibrary) {
        bind(&g_pfnDeleteFile, "QVDeleteFile");
        bind(&g_pfnMoveFile, "QVMoveFile");
        bind(&g_pfnMoveFileEx, "QVMoveFileEx");
        bind(&g_pfnSHFileOperation, "QVSHFileOperation");
        bind(&g_pfnStringToGUID, "StringToGUID");
        bind(&g_pfnGUIDToString, "GUIDToString");
        bind(&g_pfnWriteLog, "QVWriteLogA");
        bind(&g_pfnIsRunningInSilentMode, "IsRunningInSilentMode");
        bind(&g_pfnGetLocaleInfo, "QVGetLocaleInfoA");
    }
    fallBackIfUnbound(&g_pfnDeleteFile, &deleteFileFallback);
    fallBackIfUnbound(&g_pfnMoveFile, &moveFileFallback);
    fallBackIfUnbound(&g_pfnMoveFileEx, &moveFileExFallback);
    fallBackIfUnbound(&g_pfnSHFileOperation, &shFileOperationFallback);
}

void releaseBaseLibrary() {
    if (!g_hBaseLibrary)
        return;
    FreeLibrary(g_hBaseLibrary);
    g_hBaseLibrary = nullptr;
}

void writeBaseLog(const char* tag, int level, const char* text) {
    if (g_pfnWriteLog)
        g_pfnWriteLog(tag, level, text);
}

bool isRunningInSilentMode() {
    return g_pfnIsRunningInSilentMode && g_pfnIsRunningInSilentMode() != FALSE;
}

int getLocaleInfo(LCID locale, LCTYPE type, char* buffer, int size) {
    if (g_pfnGetLocaleInfo)
        return g_pfnGetLocaleInfo(locale, type, buffer, size);
    return GetLocaleInfoA(locale, type, buffer, size);
}

} // namespace z64::integration

// Ordinal-only entry for the test programs; see kBaseLibraryBridgesOrdinal.
extern "C" __declspec(
    dllexport) const z64::integration::BaseLibraryBridges* GetBaseLibraryBridges() {
    static const z64::integration::BaseLibraryBridges bridges = {
        g_hBaseLibrary,
        g_pfnDeleteFile,
        g_pfnMoveFile,
        g_pfnMoveFileEx,
        g_pfnSHFileOperation,
        g_pfnStringToGUID,
        g_pfnGUIDToString,
        &z64::integration::writeBaseLog,
        &z64::integration::isRunningInSilentMode,
        &z64::integration::getLocaleInfo};
    return &bridges;
}
