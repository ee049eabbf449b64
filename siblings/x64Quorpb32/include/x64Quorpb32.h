// x64Quorpb32.dll: the application's base library.
//
// Every export has C linkage and an undecorated name. The file operations take a caller
// text and a line number after their platform arguments; they serve only the diagnostic
// line each operation writes to the base log.
//
// Settings (read on every call, so that a process may change them at run time):
//   QV_BASE_LOG     environment variable: full path of the base log file. Without it the
//                   log is "x64Quorpb32.log" in the user's temporary folder.
//   QV_SILENT_MODE  environment variable: "1" at process start turns silent mode on; so does
//                   a "/silent" argument on the command line. QVSetSilentMode changes it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#ifdef QUORPB_BUILDING
#define QUORPB_API extern "C" __declspec(dllexport)
#else
#define QUORPB_API extern "C" __declspec(dllimport)
#endif

// File operations. Each performs the platform operation, writes one diagnostic line naming
// the operation, its arguments, the caller text, the line number and the outcome, and
// returns what the platform call returned (the last error is kept for the caller).
QUORPB_API BOOL QVDeleteFile(const char* path, const char* callerText, int lineNumber);
QUORPB_API BOOL QVMoveFile(const char* from, const char* to, const char* callerText,
                           int lineNumber);
QUORPB_API BOOL QVMoveFileEx(const char* from, const char* to, DWORD flags, const char* callerText,
                             int lineNumber);
QUORPB_API int QVSHFileOperation(SHFILEOPSTRUCTA* operation, const char* callerText,
                                 int lineNumber);

// Identifier texts in the registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
// GUIDToString writes 39 bytes (upper-case digits and the terminator) into a buffer the
// caller sizes for at least that. StringToGUID accepts the form with or without braces, in
// either case; a null or malformed text gives the all-zero identifier and FALSE.
QUORPB_API BOOL GUIDToString(const GUID* id, char* buffer);
QUORPB_API BOOL StringToGUID(const char* text, GUID* id);

// Appends one line "date time [process:thread] level tag: text" to the base log. Lines
// written by several processes at once never interleave. Returns FALSE when the log file
// cannot be written.
QUORPB_API BOOL QVWriteLogA(const char* tag, int level, const char* text);

// Nonzero while the application runs without a user interface.
QUORPB_API BOOL IsRunningInSilentMode();
QUORPB_API void QVSetSilentMode(BOOL silent);

// As GetLocaleInfoA, except that for the user's default locale a regional override set by
// the application wins over the system's value. Flags in the high bits of `type`
// (LOCALE_NOUSEROVERRIDE, LOCALE_RETURN_NUMBER) bypass the overrides.
QUORPB_API int QVGetLocaleInfoA(LCID locale, LCTYPE type, char* buffer, int size);

// The application's regional overrides: a null value removes one item's override.
QUORPB_API BOOL QVSetLocaleOverrideA(LCTYPE type, const char* value);
QUORPB_API void QVClearLocaleOverrides();
