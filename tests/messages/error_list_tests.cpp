// The per-thread message state: the error list and the suppress mode, one per thread.
#include "test_support.h"

#include <z64eveze.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// Collects texts on the calling thread as a suppressed message box does.
void collect(const std::vector<std::string>& texts) {
    for (const std::string& text : texts)
        EXPECT_EQ(QVMessageBox(nullptr, text.c_str(), nullptr, MB_OK), IDRETRY);
}

void onNewThread(const std::function<void()>& body) {
    std::thread(body).join();
}

class ErrorListTest : public ::testing::Test {
protected:
    void TearDown() override { QVClearErrorList(0); }
};

// Any non-zero mode suppresses and collects; reading the list ends suppression, not the list.
TEST_F(ErrorListTest, CollectsJoinsAndKeepsTexts) {
    // clang-format off
    const struct { const char* label; int mode; std::vector<std::string> texts; const char* list; } rows[] = {
        {"two", 5, {"First", "Second"}, "First\nSecond"},
        {"empty first", 1, {"", "B"}, "B"},
        {"empty inside", 1, {"A", "", "B"}, "A\n\nB"},
        {"prefix removed", 1, {"{O}A", "{}B"}, "A\nB"},
        {"yes/no questions only answered", 1, {"{Y}A", "{Y*}B", "C"}, "C"},
        {"negative mode", -2, {"negative"}, "negative"},
        {"mode 0 empties the list", 0, {}, ""},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        QVClearErrorList(row.mode);
        collect(row.texts);
        const int mode = QVMessageSupressMode();
        const std::string list = QVErrorList();
        EXPECT_EQ(std::tuple(mode, list, QVMessageSupressMode(), std::string(QVErrorList())),
                  std::tuple(row.mode, row.list, 0, row.list));
    }
}

TEST_F(ErrorListTest, ThreadsStartFreshAndStayApart) {
    QVClearErrorList(3);
    collect({"host"});
    onNewThread([] {
        EXPECT_EQ(QVMessageSupressMode(), 0);
        EXPECT_EQ(QVBalloonMessageMode(), 0);
        ASSERT_NE(QVErrorList(), nullptr);
        EXPECT_STREQ(QVErrorList(), "");
        collect({"worker"}); // another thread never shows: it collects without suppression
        EXPECT_STREQ(QVErrorList(), "worker");
    });
    onNewThread([] { // clearing on a thread without a list only sets the mode
        QVClearErrorList(7);
        EXPECT_EQ(QVMessageSupressMode(), 7);
        EXPECT_STREQ(QVErrorList(), "");
    });
    EXPECT_EQ(QVMessageSupressMode(), 3);
    EXPECT_STREQ(QVErrorList(), "host");
}

TEST_F(ErrorListTest, EndedThreadsLeaveNothingBehind) {
    const auto leaveAList = [] { // 4 texts of 16 KB: 12.8 MB over 200 threads if kept
        QVClearErrorList(1);
        collect(std::vector<std::string>(4, std::string(16 * 1024, 'x')));
    };
    for (int index = 0; index < 20; ++index)
        onNewThread(leaveAList);
    const SIZE_T before = test_support::privateBytes();
    for (int index = 0; index < 200; ++index)
        onNewThread(leaveAList);
    EXPECT_LT(test_support::privateBytes(), before + 4 * 1024 * 1024) << "before " << before;
}

TEST_F(ErrorListTest, LibraryUnloadsWhileAThreadHoldsAState) {
    const auto result = test_support::runProgram(
        test_support::programDirectory() + L"\\test_helper.exe", L"unload-with-state");
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_EQ(test_support::splitLines(result.output),
              (std::vector<std::string>{"collected=kept", "unloaded=1", "thread-ended=1"}));
}

} // namespace
