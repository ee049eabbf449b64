// Helpers shared by the Windows test programs.
#pragma once

#include <windows.h>

#include <support/unique_resource.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

// The folder of the running program: bin/ of the build tree, where every DLL lies.
std::wstring programDirectory();

// A new, empty folder under the temporary folder, removed with its contents at the end.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();

    [[nodiscard]] const std::wstring& path() const { return path_; }
    [[nodiscard]] std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
    [[nodiscard]] std::string narrowFile(const std::wstring& name) const;

private:
    std::wstring path_;
};

std::string narrow(const std::wstring& text);
std::wstring widen(const std::string& text);

// Bytes (index * 7 + seed) & 0xFF: content whose every offset is told apart from its
// neighbours, and which the native readers' scripts can make again.
std::string patternBytes(size_t count, unsigned seed = 0);

// A FILETIME and its 64-bit count of 100-nanosecond ticks.
inline FILETIME fileTimeOf(ULONGLONG ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
inline ULONGLONG ticksOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool fileExists(const std::wstring& path);
std::string readFile(const std::wstring& path);
void writeFile(const std::wstring& path, const std::string& content);

// Whether this process may open a file with the read-only attribute for writing all the same
// (Wine running as root may), which takes away what tests of read-only files rely on.
bool readOnlyFilesAreWritable(const TemporaryDirectory& folder);

struct ProcessResult {
    DWORD exitCode = 0;
    std::string output; // what the program wrote to its standard output
};

using EnvironmentOverrides = std::vector<std::pair<std::wstring, std::wstring>>;

// Runs a program to its end (at most `timeoutMilliseconds`, after which it is terminated
// and the exit code is WAIT_TIMEOUT) and collects its standard output. The child gets the
// parent's environment with `overrides` applied, and the program's own folder as its
// current folder (so a DLL search never falls back to the parent's folder).
ProcessResult runProgram(const std::wstring& program, const std::wstring& arguments,
                         const EnvironmentOverrides& overrides = {},
                         DWORD timeoutMilliseconds = 60000);

// Fills `folder` with a copy of `program` and every DLL of bin/ but `leftOut`; with `provider`,
// that variant's z64STG.dll (from bin/provider-variants/) takes the full provider's place.
// A program run from there finds only what lies beside it.
void copyProgramFolder(const TemporaryDirectory& folder, const std::wstring& program,
                       const std::wstring& leftOut = L"", const std::wstring& provider = L"");

// Starts a program without waiting for it; the caller waits on the returned handle.
HANDLE startProgram(const std::wstring& program, const std::wstring& arguments,
                    const EnvironmentOverrides& overrides = {});

// A program that answers each line written to its standard input with one line on its
// standard output, kept running across many questions. The destructor closes its input,
// which ends it.
class ConversingProgram {
public:
    ConversingProgram(const std::wstring& program, const std::wstring& arguments);
    ConversingProgram(const ConversingProgram&) = delete;
    ConversingProgram& operator=(const ConversingProgram&) = delete;
    ~ConversingProgram();

    // Sends `line` and returns the answer without its line end; "" when none comes within
    // `timeoutMilliseconds`, after which the program is ended and every later question fails.
    std::string ask(const std::string& line, DWORD timeoutMilliseconds = 20000);

private:
    support::UniqueHandle process_;
    support::UniqueHandle input_;
    support::UniqueHandle output_;
};

// A file that another process (the helper program) holds open without sharing for a
// while. The constructor returns once the file is held; the destructor waits for the
// helper to end.
class HeldFile {
public:
    HeldFile(const std::wstring& path, DWORD milliseconds);
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

private:
    HANDLE helper_;
};

// The library's waits for held files: plain files (500 times every 200 ms) and the log file
// (2000 times every 5 ms).
enum class HeldWaitKind { plainFile = 0, logFile = 1 };

// For its lifetime, z64EVEZE.dll (when loaded) waits for held files of one kind `retries`
// times every `delayMilliseconds` instead of its documented rule, so that tests of held files
// keep their meaning and take milliseconds.
class ShortHeldFileWaits {
public:
    ShortHeldFileWaits(int retries, DWORD delayMilliseconds,
                       HeldWaitKind kind = HeldWaitKind::plainFile);
    ShortHeldFileWaits(const ShortHeldFileWaits&) = delete;
    ShortHeldFileWaits& operator=(const ShortHeldFileWaits&) = delete;
    ~ShortHeldFileWaits();

private:
    HeldWaitKind kind_;
};

// This process's private memory in bytes, for tests that look for memory left behind.
SIZE_T privateBytes();

// Writes the settings file beside the library ("tq.ver" in bin/) for one test and removes it
// afterwards.
class SettingsFile {
public:
    explicit SettingsFile(const std::string& content) { writeFile(path(), content); }
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;
    ~SettingsFile() { DeleteFileW(path().c_str()); }
    static std::wstring path() { return programDirectory() + L"\\tq.ver"; }
};

// The names in a loaded module's export directory, as stored (C++ names decorated).
std::set<std::string> exportedNames(HMODULE module);

// Splits text into lines, dropping the line ends ("\r\n" or "\n").
std::vector<std::string> splitLines(const std::string& text);

} // namespace test_support
