// The log writer: one fixed-width line per call, appended to a file that every thread of
// every process may write at the same time. Each writer opens the file without sharing,
// appends its line and closes it, so exclusion comes from the file system alone.
#include "common/held_file.h"

#include <support/unique_resource.h>
#include <z64eveze.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr size_t kMessageSize = 1024;
constexpr size_t kLineSize = 1024;
constexpr DWORD kComputerNameSize = MAX_COMPUTERNAME_LENGTH + 1;
constexpr DWORD kUserNameSize = MAX_PATH;
constexpr char kLineEnd[] = "\r\n";

// The names that stay the same for the whole life of a process: the computer's name (a
// new name takes effect only at the next start of the system) and the executable's. They
// are looked up once, by the first line of the process; the user name is looked up for
// every line, since a thread may impersonate another user.
struct ProcessNames {
    bool known = false;
    char computer[kComputerNameSize] = {};
    char program[_MAX_FNAME] = {};
};

bool readComputerName(ProcessNames& names) {
    DWORD size = kComputerNameSize;
    return GetComputerNameA(names.computer, &size) != FALSE;
}

// The executable's name without folder and extension.
bool readProgramName(ProcessNames& names) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0)
        return false;
    path[length] = '\0'; // a cut name is left unterminated by some systems
    return _splitpath_s(path, nullptr, 0, nullptr, 0, names.program, sizeof names.program, nullptr,
                        0) == 0;
}

const ProcessNames& processNames() {
    static const ProcessNames names = [] {
        ProcessNames read;
        read.known = readComputerName(read) && readProgramName(read);
        return read;
    }();
    return names;
}

struct LineFields {
    const char* computer = "";
    char user[kUserNameSize] = {};
    char programAndThread[MAX_PATH + 16] = {};
    char time[16] = {};
};

void readUserName(LineFields& fields) {
    DWORD size = kUserNameSize;
    if (!GetUserNameA(fields.user, &size))
        fields.user[0] = '\0';
}

// "program:thread".
void formatProgramAndThread(const ProcessNames& names, LineFields& fields) {
    std::snprintf(fields.programAndThread, sizeof fields.programAndThread, "%s:%lu", names.program,
                  GetCurrentThreadId());
}

// The time of day in UTC: eight characters and a space.
void readTimeOfDay(LineFields& fields) {
    const __time64_t now = _time64(nullptr);
    struct tm utc {};
    _gmtime64_s(&utc, &now);
    std::snprintf(fields.time, sizeof fields.time, "%.2d:%.2d:%.2d ", utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
}

// The caller's message, cut to 1023 characters.
std::string formatMessage(const char* format, va_list arguments) {
    if (!format)
        return {};
    char message[kMessageSize];
    if (_vsnprintf_s(message, sizeof message, _TRUNCATE, format, arguments) < 0 &&
        message[0] == '\0')
        return {};
    return message;
}

// The whole line. A line longer than the 1024-character buffer is cut inside the message,
// and still ends with its line break.
std::string formatLine(const LineFields& fields, const char* source, const std::string& message) {
    char head[kLineSize];
    const int headLength = std::snprintf(
        head, sizeof head, "%-15.15s %-15.15s %-15.15s %-15.15s %-10.10s ", fields.computer,
        fields.user, fields.programAndThread, source ? source : "", fields.time);
    std::string line(head, static_cast<size_t>(headLength));
    const size_t room = kLineSize - 1 - line.size() - (sizeof kLineEnd - 1);
    line.append(message, 0, room);
    line.append(kLineEnd);
    return line;
}

HANDLE openLogExclusively(const char* path) {
    const z64::common::HeldFileRetry rule =
        z64::common::heldFileRetry(z64::common::HeldFileKind::logFile);
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt <= rule.retries; ++attempt) {
        if (attempt > 0)
            Sleep(rule.delayMilliseconds);
        file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
            break;
    }
    return file;
}

void appendLine(HANDLE file, bool truncate, const std::string& line) {
    if (truncate) {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace

Z64EVEZE_API int WriteLog(const char* path, int truncate, int reserved, const char* source,
                          const char* format, char* arguments) {
    (void)reserved;
    if (!path || path[0] == '\0')
        return 0;
    const ProcessNames& names = processNames();
    if (!names.known)
        return 0;
    LineFields fields;
    fields.computer = names.computer;
    formatProgramAndThread(names, fields);
    readUserName(fields);
    readTimeOfDay(fields);

    support::UniqueFile file(openLogExclusively(path));
    if (!file)
        return 0;
    const std::string message = formatMessage(format, reinterpret_cast<va_list>(arguments));
    appendLine(file.get(), truncate != 0, formatLine(fields, source, message));
    return 1;
}

Z64EVEZE_API int WriteLog(const char* path, int truncate, int reserved, const char* source,
                          const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result =
        WriteLog(path, truncate, reserved, source, format, reinterpret_cast<char*>(arguments));
    va_end(arguments);
    return result;
}
