// The per-thread message state: the error list and the suppress mode, one per thread.
#include "test_support.h"

#include <z64eveze.h>

#include <gtest/gtest.h>

#include <psapi.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Collects texts on the calling thread as a suppressed message box does.
void collect(const std::vector<std::string>& texts) {
    for (const std::string& text : texts)
        EXPECT_EQ(QVMessageBox(nullptr, text.c_str(), nullptr, MB_OK), IDRETRY);
}

template <typename Body>
void onNewThread(Body body) {
    std::thread worker(body);
    worker.join();
}

class ErrorListTest : public ::testing::Test {
protected:
    void TearDown() override { QVClearErrorList(0); }
};

TEST_F(ErrorListTest, FreshThreadHasNoListAndNoSuppression) {
    onNewThread([] {
        EXPECT_EQ(QVMessageSupressMode(), 0);
        const char* list = QVErrorList();
        ASSERT_NE(list, nullptr);
        EXPECT_STREQ(list, "");
        EXPECT_EQ(QVBalloonMessageMode(), 0);
    });
}

TEST_F(ErrorListTest, JoinsCollectedTextsWithLineFeeds) {
    const struct {
        const char* label;
        std::vector<std::string> texts;
        const char* list;
    } rows[] = {
        {"one", {"First"}, "First"},
        {"two", {"First", "Second"}, "First\nSecond"},
        {"empty first", {"", "B"}, "B"},
        {"empty inside", {"A", "", "B"}, "A\n\nB"},
        {"prefix removed", {"{O}A", "{}B"}, "A\nB"},
        {"yes/no questions only answered", {"{Y}A", "{Y*}B", "C"}, "C"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QVClearErrorList(1);
        collect(row.texts);
        EXPECT_STREQ(QVErrorList(), row.list);
    }
}

TEST_F(ErrorListTest, ReadingEndsSuppressionButKeepsTheList) {
    QVClearErrorList(5);
    EXPECT_EQ(QVMessageSupressMode(), 5);
    collect({"kept"});
    EXPECT_STREQ(QVErrorList(), "kept");
    EXPECT_EQ(QVMessageSupressMode(), 0);
    EXPECT_STREQ(QVErrorList(), "kept");
    QVClearErrorList(-2); // any non-zero mode suppresses
    EXPECT_EQ(QVMessageSupressMode(), -2);
    EXPECT_STREQ(QVErrorList(), "");
    QVClearErrorList(-2);
    collect({"negative"});
    EXPECT_STREQ(QVErrorList(), "negative");
    QVClearErrorList(0);
    EXPECT_EQ(QVMessageSupressMode(), 0);
    EXPECT_STREQ(QVErrorList(), "");
}

TEST_F(ErrorListTest, ClearingWithoutAListOnlySetsTheMode) {
    onNewThread([] {
        QVClearErrorList(7);
        EXPECT_EQ(QVMessageSupressMode(), 7);
        EXPECT_STREQ(QVErrorList(), "");
    });
}

TEST_F(ErrorListTest, ThreadsAreIsolated) {
    QVClearErrorList(3);
    collect({"host"});
    onNewThread([] {
        EXPECT_EQ(QVMessageSupressMode(), 0);
        EXPECT_STREQ(QVErrorList(), "");
        // Another thread never shows anything: it collects even without suppression.
        collect({"worker"});
        EXPECT_STREQ(QVErrorList(), "worker");
    });
    EXPECT_EQ(QVMessageSupressMode(), 3);
    EXPECT_STREQ(QVErrorList(), "host");
}

SIZE_T privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
}

TEST_F(ErrorListTest, EndedThreadsLeaveNothingBehind) {
    constexpr int kThreads = 1000;
    constexpr int kTextsPerThread = 64;
    const std::string text(255, 'x'); // 16 KB a thread: 16 MB if states were kept
    const auto leaveAList = [&] {
        QVClearErrorList(1);
        for (int index = 0; index < kTextsPerThread; ++index)
            QVMessageBox(nullptr, text.c_str(), nullptr, MB_OK);
    };
    for (int index = 0; index < 50; ++index)
        onNewThread(leaveAList);
    const SIZE_T before = privateBytes();
    for (int index = 0; index < kThreads; ++index)
        onNewThread(leaveAList);
    const SIZE_T after = privateBytes();
    EXPECT_LT(after, before + 4 * 1024 * 1024) << "before " << before << ", after " << after;
}

TEST_F(ErrorListTest, LibraryUnloadsWhileAThreadHoldsAState) {
    const auto result = test_support::runProgram(
        test_support::programDirectory() + L"\\message_state_helper.exe", L"");
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_EQ(test_support::splitLines(result.output),
              (std::vector<std::string>{"collected=kept", "unloaded=1", "thread-ended=1"}));
}

} // namespace
