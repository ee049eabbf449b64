// The functions of the sibling base library x64Quorpb32.dll that the library uses.
//
// The base library is loaded and its functions bound when the library attaches to the
// process, and freed at detach. Binding at run time lets the library load without the
// base library: the four file operations then fall back to the plain platform calls, the
// two identifier conversions stay null, and the three services (log, silent mode, locale
// information) answer as the platform would: no log, never silent, the system's locale.
#pragma once

#include <windows.h>
#include <shellapi.h>

using QVDeleteFileFunction = BOOL (*)(const char* path, const char* callerText, int lineNumber);
using QVMoveFileFunction = BOOL (*)(const char* from, const char* to, const char* callerText,
                                    int lineNumber);
using QVMoveFileExFunction = BOOL (*)(const char* from, const char* to, DWORD flags,
                                      const char* callerText, int lineNumber);
using QVSHFileOperationFunction = int (*)(SHFILEOPSTRUCTA* operation, const char* callerText,
                                          int lineNumber);
using StringToGUIDFunction = BOOL (*)(const char* text, GUID* id);
using GUIDToStringFunction = BOOL (*)(const GUID* id, char* buffer);

// Set once at process attach and never changed afterwards; read without a lock.
extern HMODULE g_hBaseLibrary;
extern QVDeleteFileFunction g_pfnDeleteFile;
extern QVMoveFileFunction g_pfnMoveFile;
extern QVMoveFileExFunction g_pfnMoveFileEx;
extern QVSHFileOperationFunction g_pfnSHFileOperation;
extern StringToGUIDFunction g_pfnStringToGUID; // null without the base library
extern GUIDToStringFunction g_pfnGUIDToString; // null without the base library

namespace z64::integration {

// The size of the narrow buffer that GUIDToString writes into.
inline constexpr int kGuidTextBufferSize = 1024;

// Loads the base library and binds its functions, putting the platform fallback into
// every file operation that could not be bound. Called at process attach.
void bindBaseLibrary();

// Frees the base library. Called at process detach.
void releaseBaseLibrary();

// Services the base library offers to the rest of the library.
void writeBaseLog(const char* tag, int level, const char* text);
[[nodiscard]] bool isRunningInSilentMode();
int getLocaleInfo(LCID locale, LCTYPE type, char* buffer, int size);

// What the ordinal-only test entry hands out: every bound function as the library sees it.
struct BaseLibraryBridges {
    HMODULE baseLibrary;
    QVDeleteFileFunction deleteFile;
    QVMoveFileFunction moveFile;
    QVMoveFileExFunction moveFileEx;
    QVSHFileOperationFunction shFileOperation;
    StringToGUIDFunction stringToGuid;
    GUIDToStringFunction guidToString;
    void (*writeLog)(const char* tag, int level, const char* text);
    bool (*silentMode)();
    int (*localeInfo)(LCID locale, LCTYPE type, char* buffer, int size);
};

// The ordinal of the test entry in the library's export table.
inline constexpr WORD kBaseLibraryBridgesOrdinal = 1000;
using GetBaseLibraryBridgesFunction = const BaseLibraryBridges* (*)();

} // namespace z64::integration
