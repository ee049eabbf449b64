// File operations of the base library: each does the platform operation and records one
// diagnostic line that names it, its arguments, the caller and the outcome.
#include "base_log.h"
#include "x64Quorpb32.h"

#include <cstdio>
#include <string>

namespace {

constexpr char kFileOperationTag[] = "FileOperation";
constexpr int kDiagnosticLevel = 3;

std::string quoted(const char* text) {
    return text ? "\"" + std::string(text) + "\"" : std::string("null");
}

std::string hexadecimal(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string outcome(bool succeeded, DWORD error) {
    return succeeded ? "succeeded" : "failed with error " + std::to_string(error);
}

// Writes the diagnostic line and leaves the operation's last error as it was.
void recordOperation(const std::string& call, const char* callerText, int lineNumber,
                     bool succeeded) {
    const DWORD error = succeeded ? ERROR_SUCCESS : GetLastError();
    const std::string line = call + " from " + (callerText ? callerText : "(unknown caller)") +
                             ", line " + std::to_string(lineNumber) + ": " +
                             outcome(succeeded, error);
    (void)quorpb::appendLogEntry(kFileOperationTag, kDiagnosticLevel, line);
    SetLastError(error);
}

} // namespace

QUORPB_API BOOL QVDeleteFile(const char* path, const char* callerText, int lineNumber) {
    const BOOL deleted = path ? DeleteFileA(path) : FALSE;
    if (!path)
        SetLastError(ERROR_INVALID_PARAMETER);
    recordOperation("QVDeleteFile(" + quoted(path) + ")", callerText, lineNumber, deleted);
    return deleted;
}

QUORPB_API BOOL QVMoveFile(const char* from, const char* to, const char* callerText,
                           int lineNumber) {
    const BOOL moved = from && to ? MoveFileA(from, to) : FALSE;
    if (!from || !to)
        SetLastError(ERROR_INVALID_PARAMETER);
    recordOperation("QVMoveFile(" + quoted(from) + ", " + quoted(to) + ")", callerText, lineNumber,
                    moved);
    return moved;
}

QUORPB_API BOOL QVMoveFileEx(const char* from, const char* to, DWORD flags, const char* callerText,
                             int lineNumber) {
    // A null destination is meaningful here: with MOVEFILE_DELAY_UNTIL_REBOOT it deletes.
    const BOOL moved = from ? MoveFileExA(from, to, flags) : FALSE;
    if (!from)
        SetLastError(ERROR_INVALID_PARAMETER);
    recordOperation("QVMoveFileEx(" + quoted(from) + ", " + quoted(to) + ", " + hexadecimal(flags) +
                        ")",
                    callerText, lineNumber, moved);
    return moved;
}

QUORPB_API int QVSHFileOperation(SHFILEOPSTRUCTA* operation, const char* callerText,
                                 int lineNumber) {
    if (!operation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        recordOperation("QVSHFileOperation(null)", callerText, lineNumber, false);
        return ERROR_INVALID_PARAMETER;
    }
    const int result = SHFileOperationA(operation);
    if (result != 0)
        SetLastError(static_cast<DWORD>(result));
    recordOperation("QVSHFileOperation(function " + std::to_string(operation->wFunc) + ", " +
                        quoted(operation->pFrom) + ")",
                    callerText, lineNumber, result == 0);
    return result;
}
