#include "test_support.h"

#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <ctime>
#include <map>
#include <regex>
#include <set>

namespace {

using test_support::TemporaryDirectory;

std::string padded(const std::string& text, size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    return field;
}

// The computer's or the user's name, from the function that gives it.
std::string nameFrom(BOOL(WINAPI* get)(LPSTR, LPDWORD)) {
    char name[MAX_PATH] = {};
    DWORD size = sizeof name;
    get(name, &size);
    return name;
}

int writeWithList(const char* path, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = WriteLog(path, 0, 0, "LIST", format, reinterpret_cast<char*>(arguments));
    va_end(arguments);
    return result;
}

class LogWriterTest : public ::testing::Test {
protected:
    std::string logPath() const { return folder_.narrowFile(L"trace.log"); }
    std::vector<std::string> lines() const {
        return test_support::splitLines(test_support::readFile(folder_.file(L"trace.log")));
    }
    TemporaryDirectory folder_;
};

TEST_F(LogWriterTest, WritesTheFixedWidthColumnsFieldByField) {
    struct Written {
        std::string path;
        DWORD thread = 0;
        int result = 0;
    } written{logPath()};
    // A thread of its own, so that the thread column is known.
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID context) -> DWORD {
            auto* state = static_cast<Written*>(context);
            state->thread = GetCurrentThreadId();
            state->result = WriteLog(state->path.c_str(), 0, 0, "IMPORT_SOURCE_TEXT", "started");
            return 0;
        },
        &written, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_EQ(written.result, 1);

    const std::string content = test_support::readFile(folder_.file(L"trace.log"));
    ASSERT_GE(content.size(), 75u);
    // Every column but the time is known; a 20-character source is cut to 15.
    const std::string time = content.substr(64, 10);
    EXPECT_EQ(content, padded(nameFrom(GetComputerNameA), 15) + " " +
                           padded(nameFrom(GetUserNameA), 15) + " " +
                           padded("z64eveze_tests:" + std::to_string(written.thread), 15) +
                           " IMPORT_SOURCE_T " + time + " started\r\n");
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d\d:\d\d:\d\d  )"))) << time;
    const __time64_t now = _time64(nullptr);
    struct tm utc {};
    _gmtime64_s(&utc, &now);
    const int seconds = std::stoi(time.substr(0, 2)) * 3600 + std::stoi(time.substr(3, 2)) * 60 +
                        std::stoi(time.substr(6, 2));
    const int expected = utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
    EXPECT_LE((expected - seconds + 86400) % 86400, 5) << "the time column is not UTC";
}

TEST_F(LogWriterTest, FormatsArgumentsThroughBothForms) {
    EXPECT_EQ(WriteLog(logPath().c_str(), 0, 0, "ARGS", "%d-%s-%.1f", 7, "x", 2.5), 1);
    EXPECT_EQ(writeWithList(logPath().c_str(), "%s=%d", "count", 12), 1);
    const auto written = lines();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].substr(75), "7-x-2.5");
    // The program's name is looked up once per process, the thread for every line.
    EXPECT_EQ(written[0].substr(32, 15),
              padded("z64eveze_tests:" + std::to_string(GetCurrentThreadId()), 15));
    EXPECT_EQ(written[1].substr(48, 15), padded("LIST", 15));
    EXPECT_EQ(written[1].substr(75), "count=12");
}

TEST_F(LogWriterTest, TruncateStartsTheLogAnew) {
    ASSERT_EQ(WriteLog(logPath().c_str(), 0, 0, "A", "first"), 1);
    ASSERT_EQ(WriteLog(logPath().c_str(), 0, 0, "A", "second"), 1);
    ASSERT_EQ(WriteLog(logPath().c_str(), 1, 0, "A", "anew"), 1);
    const auto written = lines();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].substr(75), "anew");
}

TEST_F(LogWriterTest, RefusesPathsThatCannotBeWritten) {
    EXPECT_EQ(WriteLog(folder_.narrowFile(L"no-such-folder\\trace.log").c_str(), 0, 0, "A", "x"),
              0);
    EXPECT_EQ(WriteLog("", 0, 0, "A", "x"), 0);
    EXPECT_EQ(WriteLog(nullptr, 0, 0, "A", "x"), 0);
    EXPECT_FALSE(test_support::fileExists(folder_.file(L"trace.log")));
}

TEST_F(LogWriterTest, CutsOverLongMessagesAndKeepsTheLineEnd) {
    const std::string longText(3000, 'm');
    ASSERT_EQ(WriteLog(logPath().c_str(), 0, 0, nullptr, "%s", longText.c_str()), 1);
    ASSERT_EQ(WriteLog(logPath().c_str(), 0, 0, nullptr, nullptr), 1);
    const auto written = lines();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0].size() + 2, 1023u);
    EXPECT_EQ(written[0].substr(75), std::string(1023 - 2 - 75, 'm'));
    EXPECT_EQ(written[0].substr(48, 15), std::string(15, ' '));
    EXPECT_EQ(written[1].size(), 75u);
}

TEST_F(LogWriterTest, WaitsForAWriterThatHoldsTheFile) {
    test_support::writeFile(folder_.file(L"trace.log"), "");
    {
        test_support::HeldFile held(folder_.file(L"trace.log"), 100);
        EXPECT_EQ(WriteLog(logPath().c_str(), 0, 0, "HELD", "after the hold"), 1);
    }
    const auto written = lines();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].substr(75), "after the hold");
}

TEST_F(LogWriterTest, GivesUpWhenTheRetriesRunOut) {
    // The documented 2000 retries of 5 ms, shortened to 40 so that the hold surely outlasts
    // them however busy the machine is.
    const test_support::ShortHeldFileWaits waits(40, 5, test_support::HeldWaitKind::logFile);
    test_support::writeFile(folder_.file(L"trace.log"), "");
    test_support::HeldFile held(folder_.file(L"trace.log"), 3000);
    const DWORD start = GetTickCount();
    EXPECT_EQ(WriteLog(logPath().c_str(), 0, 0, "HELD", "never"), 0);
    EXPECT_GE(GetTickCount() - start, 180u);
}

TEST_F(LogWriterTest, FourProcessesAppendEveryLineWholeAndOnce) {
    constexpr int kLinesPerWriter = 500;
    const std::wstring helper = test_support::programDirectory() + L"\\test_helper.exe";
    std::vector<support::UniqueHandle> writers;
    for (const wchar_t* source : {L"W1", L"W2", L"W3", L"W4"}) {
        writers.emplace_back(test_support::startProgram(
            helper, L"write-log-lines \"" + folder_.file(L"trace.log") + L"\" " +
                        std::to_wstring(kLinesPerWriter) + L" " + source));
    }
    for (const auto& writer : writers)
        ASSERT_EQ(WaitForSingleObject(writer.get(), 120000), WAIT_OBJECT_0);

    std::map<std::string, std::set<int>> seen;
    const std::regex message(R"((W\d) line (\d+) of 500)");
    const auto written = lines();
    for (const std::string& line : written) {
        ASSERT_GE(line.size(), 75u) << line;
        std::smatch parts;
        const std::string text = line.substr(75);
        ASSERT_TRUE(std::regex_match(text, parts, message)) << line;
        EXPECT_EQ(line.substr(48, 15), padded(parts[1], 15)) << line;
        EXPECT_TRUE(seen[parts[1]].insert(std::stoi(parts[2])).second) << "twice: " << line;
    }
    EXPECT_EQ(written.size(), 4u * kLinesPerWriter);
    for (const auto& [writer, indexes] : seen)
        EXPECT_EQ(indexes.size(), static_cast<size_t>(kLinesPerWriter)) << writer;
}

} // namespace
