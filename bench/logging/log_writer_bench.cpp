// Lines per second appended by WriteLog, with one writer and with four writer processes on
// one file, against the same number of plain open-append-close cycles as the baseline.
//
//   log_writer_bench [LINES]             runs the whole comparison and prints a table
//   log_writer_bench write MODE PATH N   (internal) one writer process
#include "../common/stopwatch.h"

#include <support/unique_resource.h>
#include <z64eveze.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultLines = 2000;
constexpr int kWriterProcesses = 4;

// The baseline: what any appender must do at least, without formatting or retries.
void appendPlainLine(const char* path, const char* line) {
    for (;;) {
        support::UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            SetFilePointer(file.get(), 0, nullptr, FILE_END);
            DWORD written = 0;
            WriteFile(file.get(), line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
            return;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            return;
        Sleep(5);
    }
}

void writeLines(const std::string& mode, const char* path, int count) {
    const char* plainLine = "WS01            user1           bench:1         BENCH           "
                            "09:05:07   plain line\r\n";
    for (int index = 0; index < count; ++index) {
        if (mode == "log")
            WriteLog(path, 0, 0, "BENCH", "line %d", index);
        else
            appendPlainLine(path, plainLine);
    }
}

std::string ownPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

double timeWriterProcesses(const std::string& mode, const std::string& file, int processes,
                           int linesEach) {
    DeleteFileA(file.c_str());
    bool started = true;
    const double elapsed = bench::timed([&] {
        std::vector<support::UniqueHandle> writers;
        for (int index = 0; index < processes && started; ++index) {
            std::string commandLine = "\"" + ownPath() + "\" write " + mode + " \"" + file + "\" " +
                                      std::to_string(linesEach);
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION information{};
            started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &information);
            if (!started)
                break;
            CloseHandle(information.hThread);
            writers.emplace_back(information.hProcess);
        }
        for (const auto& writer : writers)
            WaitForSingleObject(writer.get(), INFINITE);
    });
    return started ? processes * linesEach / elapsed : 0;
}

double timeInProcess(const std::string& mode, const std::string& file, int lines) {
    DeleteFileA(file.c_str());
    return lines / bench::timed([&] { writeLines(mode, file.c_str(), lines); });
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "write") == 0) {
        writeLines(argv[2], argv[3], std::atoi(argv[4]));
        return 0;
    }
    const int lines = argc > 1 ? std::atoi(argv[1]) : kDefaultLines;
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string file = std::string(folder) + "z64-log-bench.log";

    std::printf("%-36s %14s %14s %8s\n", "case", "WriteLog l/s", "plain l/s", "ratio");
    const double singleLog = timeInProcess("log", file, lines);
    const double singlePlain = timeInProcess("plain", file, lines);
    std::printf("%-36s %14.0f %14.0f %8.2f\n", "1 writer (in process)", singleLog, singlePlain,
                singleLog / singlePlain);
    const double manyLog = timeWriterProcesses("log", file, kWriterProcesses, lines);
    const double manyPlain = timeWriterProcesses("plain", file, kWriterProcesses, lines);
    std::printf("%-36s %14.0f %14.0f %8.2f\n", "4 writer processes (total)", manyLog, manyPlain,
                manyLog / manyPlain);
    DeleteFileA(file.c_str());
    return 0;
}
