#include "test_support.h"

#include <support/unique_resource.h>
#include <x64Quorpb32.h>

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace {

using test_support::TemporaryDirectory;

class BaseLogTest : public ::testing::Test {
protected:
    void SetUp() override { SetEnvironmentVariableW(L"QV_BASE_LOG", logPath().c_str()); }
    void TearDown() override { SetEnvironmentVariableW(L"QV_BASE_LOG", nullptr); }

    std::wstring logPath() const { return folder_.file(L"base.log"); }
    std::vector<std::string> entries() const {
        return test_support::splitLines(test_support::readFile(logPath()));
    }

    TemporaryDirectory folder_;
};

const std::regex
    kEntryShape(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+:\d+\] (-?\d+) ([^:]*): (.*))");

TEST_F(BaseLogTest, AppendsOneLineForEachEntry) {
    ASSERT_TRUE(QVWriteLogA("Suppressed", 2, "first message"));
    ASSERT_TRUE(QVWriteLogA("Other", -1, "second\r\nmessage"));
    ASSERT_TRUE(QVWriteLogA(nullptr, 0, nullptr));

    const auto lines = entries();
    ASSERT_EQ(lines.size(), 3u);
    // The level, the tag and the text of each line.
    const std::vector<std::vector<std::string>> expected = {
        {"2", "Suppressed", "first message"}, {"-1", "Other", "second  message"}, {"0", "", ""}};
    for (size_t index = 0; index < lines.size(); ++index) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(lines[index], parts, kEntryShape)) << lines[index];
        EXPECT_EQ((std::vector<std::string>{parts[1], parts[2], parts[3]}), expected[index]);
    }
}

TEST_F(BaseLogTest, FailsWhenTheLogCannotBeWritten) {
    SetEnvironmentVariableW(L"QV_BASE_LOG", folder_.file(L"no-such-folder\\base.log").c_str());
    EXPECT_FALSE(QVWriteLogA("Tag", 1, "text"));
}

TEST_F(BaseLogTest, TwoProcessesWritingAtOnceNeverTearALine) {
    constexpr int kEntriesPerProcess = 250;
    const std::wstring helper = test_support::programDirectory() + L"\\test_helper.exe";
    const test_support::EnvironmentOverrides environment = {{L"QV_BASE_LOG", logPath()}};
    const std::wstring count = std::to_wstring(kEntriesPerProcess);
    support::UniqueHandle first(
        test_support::startProgram(helper, L"write-log " + count + L" A", environment));
    support::UniqueHandle second(
        test_support::startProgram(helper, L"write-log " + count + L" B", environment));
    ASSERT_EQ(WaitForSingleObject(first.get(), 60000), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(second.get(), 60000), WAIT_OBJECT_0);

    std::map<std::string, int> nextIndex = {{"A", 0}, {"B", 0}};
    const std::regex body(R"(([AB]) (\d+) ([AB]{300}))");
    for (const std::string& line : entries()) {
        std::smatch entry, text;
        ASSERT_TRUE(std::regex_match(line, entry, kEntryShape)) << line;
        const std::string message = entry[3];
        ASSERT_TRUE(std::regex_match(message, text, body)) << line;
        const std::string writer = text[1];
        EXPECT_EQ(entry[2], writer);
        EXPECT_EQ(text[3].str(), std::string(300, writer[0])) << line;
        // Each process's entries arrive whole and in its own order.
        EXPECT_EQ(std::stoi(text[2]), nextIndex[writer]++) << line;
    }
    EXPECT_EQ(nextIndex["A"], kEntriesPerProcess);
    EXPECT_EQ(nextIndex["B"], kEntriesPerProcess);
}

} // namespace
