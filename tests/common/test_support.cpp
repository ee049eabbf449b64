#include "test_support.h"

#include <support/unique_resource.h>

#include <psapi.h>

#include <atomic>
#include <map>
#include <stdexcept>

namespace test_support {
namespace {

std::atomic<unsigned> g_directoryCounter{0};
constexpr DWORD kConversationEndMilliseconds = 10000;

void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    support::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (find) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &entry));
    }
    find.reset();
    RemoveDirectoryW(folder.c_str());
}

// The parent's environment with the overrides applied, as a block for CreateProcessW.
std::wstring environmentBlock(const EnvironmentOverrides& overrides) {
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            const std::wstring text = entry;
            const size_t equals = text.find(L'=', 1);
            if (equals != std::wstring::npos)
                variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : overrides) {
        if (value.empty())
            variables.erase(name);
        else
            variables[name] = value;
    }
    std::wstring block;
    for (const auto& [name, value] : variables)
        block += name + L"=" + value + L'\0';
    block += L'\0';
    return block;
}

struct StartedProcess {
    support::UniqueHandle process;
    support::UniqueHandle outputReader;
    support::UniqueHandle inputWriter;
};

// A pipe for a child: the end the child gets is inheritable, the end kept here is not.
void createPipe(support::UniqueHandle& reader, support::UniqueHandle& writer, bool keepReader) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    if (!CreatePipe(reader.put(), writer.put(), &inheritable, 0))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(keepReader ? reader.get() : writer.get(), HANDLE_FLAG_INHERIT, 0);
}

StartedProcess start(const std::wstring& program, const std::wstring& arguments,
                     const EnvironmentOverrides& overrides, bool captureOutput,
                     bool feedInput = false) {
    StartedProcess started;
    support::UniqueHandle outputWriter, inputReader;
    if (captureOutput)
        createPipe(started.outputReader, outputWriter, true);
    if (feedInput)
        createPipe(inputReader, started.inputWriter, false);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (captureOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = outputWriter.get();
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = feedInput ? inputReader.get() : GetStdHandle(STD_INPUT_HANDLE);
    }
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    std::wstring environment = environmentBlock(overrides);
    const std::wstring folder = program.substr(0, program.find_last_of(L"\\/"));
    PROCESS_INFORMATION information{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, captureOutput,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), folder.c_str(), &startup,
                        &information))
        throw std::runtime_error("CreateProcessW failed for " + narrow(program) + ", error " +
                                 std::to_string(GetLastError()));
    CloseHandle(information.hThread);
    started.process.reset(information.hProcess);
    return started;
}

std::string readAll(HANDLE pipe) {
    std::string output;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &read, nullptr) && read > 0)
        output.append(chunk, read);
    return output;
}

} // namespace

std::wstring programDirectory() {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring full(path, length);
    return full.substr(0, full.find_last_of(L"\\/"));
}

TemporaryDirectory::TemporaryDirectory() {
    wchar_t temporary[MAX_PATH + 1];
    GetTempPathW(ARRAYSIZE(temporary), temporary);
    std::wstring base = temporary;
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    for (;;) {
        path_ = base + L"\\z64test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(g_directoryCounter++);
        if (CreateDirectoryW(path_.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create a temporary folder");
    }
}

TemporaryDirectory::~TemporaryDirectory() {
    removeTree(path_);
}

std::string TemporaryDirectory::narrowFile(const std::wstring& name) const {
    return narrow(file(name));
}

std::string narrow(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring widen(const std::string& text) {
    if (text.empty())
        return {};
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(size, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

std::string patternBytes(size_t count, unsigned seed) {
    std::string bytes(count, '\0');
    for (size_t index = 0; index < count; ++index)
        bytes[index] = static_cast<char>((index * 7 + seed) & 0xFF);
    return bytes;
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool readOnlyFilesAreWritable(const TemporaryDirectory& folder) {
    const std::wstring probe = folder.file(L"read-only probe");
    writeFile(probe, "probe");
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_READONLY);
    const bool writable = support::UniqueFile(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr,
                                                          OPEN_EXISTING, 0, nullptr))
                              .valid();
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(probe.c_str());
    return writable;
}

std::string readFile(const std::wstring& path) {
    support::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        throw std::runtime_error("cannot open " + narrow(path));
    return readAll(file.get());
}

void writeFile(const std::wstring& path, const std::string& content) {
    support::UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr) ||
        written != content.size())
        throw std::runtime_error("cannot write " + narrow(path));
}

ProcessResult runProgram(const std::wstring& program, const std::wstring& arguments,
                         const EnvironmentOverrides& overrides, DWORD timeoutMilliseconds) {
    StartedProcess started = start(program, arguments, overrides, true);
    ProcessResult result;
    result.output = readAll(started.outputReader.get());
    if (WaitForSingleObject(started.process.get(), timeoutMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(started.process.get(), WAIT_TIMEOUT);
        WaitForSingleObject(started.process.get(), INFINITE);
    }
    GetExitCodeProcess(started.process.get(), &result.exitCode);
    return result;
}

void copyProgramFolder(const TemporaryDirectory& folder, const std::wstring& program,
                       const std::wstring& leftOut, const std::wstring& provider) {
    const std::wstring bin = programDirectory();
    WIN32_FIND_DATAW entry;
    support::UniqueFind find(FindFirstFileW((bin + L"\\*.dll").c_str(), &entry));
    do {
        if (lstrcmpiW(entry.cFileName, leftOut.c_str()) != 0)
            CopyFileW((bin + L"\\" + entry.cFileName).c_str(), folder.file(entry.cFileName).c_str(),
                      FALSE);
    } while (find && FindNextFileW(find.get(), &entry));
    CopyFileW((bin + L"\\" + program).c_str(), folder.file(program).c_str(), FALSE);
    if (!provider.empty())
        CopyFileW((bin + L"\\provider-variants\\" + provider + L"\\z64STG.dll").c_str(),
                  folder.file(L"z64STG.dll").c_str(), FALSE);
}

HANDLE startProgram(const std::wstring& program, const std::wstring& arguments,
                    const EnvironmentOverrides& overrides) {
    return start(program, arguments, overrides, false).process.release();
}

ConversingProgram::ConversingProgram(const std::wstring& program, const std::wstring& arguments) {
    StartedProcess started = start(program, arguments, {}, true, true);
    process_ = std::move(started.process);
    input_ = std::move(started.inputWriter);
    output_ = std::move(started.outputReader);
}

ConversingProgram::~ConversingProgram() {
    input_.reset();
    if (WaitForSingleObject(process_.get(), kConversationEndMilliseconds) != WAIT_OBJECT_0)
        TerminateProcess(process_.get(), WAIT_TIMEOUT);
}

std::string ConversingProgram::ask(const std::string& line, DWORD timeoutMilliseconds) {
    const std::string sent = line + "\n";
    DWORD count = 0;
    if (!WriteFile(input_.get(), sent.data(), static_cast<DWORD>(sent.size()), &count, nullptr))
        return {};
    // Anonymous pipes have no timed read: look at what is waiting until the line end comes.
    std::string answer;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start <= timeoutMilliseconds) {
        char next = 0;
        if (!PeekNamedPipe(output_.get(), nullptr, 0, nullptr, &count, nullptr))
            return {};
        if (count == 0) {
            Sleep(1);
            continue;
        }
        if (!ReadFile(output_.get(), &next, 1, &count, nullptr))
            return {};
        if (next == '\n')
            return answer;
        if (next != '\r')
            answer += next;
    }
    TerminateProcess(process_.get(), WAIT_TIMEOUT);
    return {};
}

namespace {

bool isHeldByAnother(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

constexpr DWORD kHolderStartLimitMilliseconds = 20000;

} // namespace

HeldFile::HeldFile(const std::wstring& path, DWORD milliseconds)
    : helper_(startProgram(programDirectory() + L"\\test_helper.exe",
                           L"hold \"" + path + L"\" " + std::to_wstring(milliseconds))) {
    const DWORD start = GetTickCount();
    while (!isHeldByAnother(path)) {
        if (WaitForSingleObject(helper_, 0) == WAIT_OBJECT_0 ||
            GetTickCount() - start > kHolderStartLimitMilliseconds)
            throw std::runtime_error("the helper did not hold " + narrow(path));
        Sleep(1);
    }
}

HeldFile::~HeldFile() {
    WaitForSingleObject(helper_, INFINITE);
    CloseHandle(helper_);
}

namespace {

// The library's ordinal-only entry that sets its waits for held files, and the documented rule.
constexpr WORD kSetHeldFileRetryOrdinal = 1001;
struct DocumentedRule {
    int retries;
    DWORD delayMilliseconds;
};
// Indexed by HeldWaitKind: plain files every 200 ms 500 times, the log every 5 ms 2000 times.
constexpr DocumentedRule kDocumentedRules[] = {{500, 200}, {2000, 5}};

void setHeldFileRetry(HeldWaitKind kind, int retries, DWORD delayMilliseconds) {
    using SetHeldFileRetry = void (*)(int, int, DWORD);
    const HMODULE library = GetModuleHandleW(L"z64EVEZE.dll");
    const auto set = library
                         ? reinterpret_cast<SetHeldFileRetry>(reinterpret_cast<void*>(
                               GetProcAddress(library, MAKEINTRESOURCEA(kSetHeldFileRetryOrdinal))))
                         : nullptr;
    if (!set)
        throw std::runtime_error("z64EVEZE.dll does not offer its held-file waits");
    set(static_cast<int>(kind), retries, delayMilliseconds);
}

} // namespace

ShortHeldFileWaits::ShortHeldFileWaits(int retries, DWORD delayMilliseconds, HeldWaitKind kind)
    : kind_(kind) {
    setHeldFileRetry(kind, retries, delayMilliseconds);
}

ShortHeldFileWaits::~ShortHeldFileWaits() {
    const DocumentedRule& rule = kDocumentedRules[static_cast<int>(kind_)];
    setHeldFileRetry(kind_, rule.retries, rule.delayMilliseconds);
}

SIZE_T privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
}

std::set<std::string> exportedNames(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0)
        return {};
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> result;
    for (DWORD index = 0; index < exports->NumberOfNames; ++index)
        result.insert(reinterpret_cast<const char*>(base + names[index]));
    return result;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        begin = end + 1;
    }
    return lines;
}

} // namespace test_support
