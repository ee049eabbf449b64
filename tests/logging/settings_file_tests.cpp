#include "test_support.h"

#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string binFolder() {
    return test_support::narrow(test_support::programDirectory()) + "\\";
}
using test_support::SettingsFile;

TEST(SettingsFileTest, LivesBesideTheLibrary) {
    char directory[MAX_PATH] = {}, settings[MAX_PATH] = {};
    GetSystemFilePaths(directory, settings);
    EXPECT_STREQ(directory, binFolder().c_str());
    EXPECT_EQ(std::string(settings), binFolder() + "tq.ver");
}

TEST(SettingsFileTest, WithoutSettingsTheDefaultsApply) {
    ASSERT_FALSE(test_support::fileExists(SettingsFile::path()));
    char path[519];
    EXPECT_EQ(DetermineLogPath("log", "dir", "file", "trace.log", path), path);
    EXPECT_EQ(std::string(path), binFolder() + "trace.log");
    EXPECT_EQ(GetLogTypeEnabled("version", "DisableProgressBar", 0), 0);
    EXPECT_EQ(GetLogTypeEnabled("version", "DisableProgressBar", 7), 7);
}

TEST(SettingsFileTest, SettingsNameTheFolderAndFileWithoutASeparator) {
    SettingsFile settings("[log]\r\ndir=D:\\logs\r\nfile=import.log\r\n"
                          "[other]\r\ndir=\r\n"
                          "[version]\r\nDisableProgressBar=1\r\n");
    char path[519];
    DetermineLogPath("log", "dir", "missing", "trace.log", path);
    EXPECT_STREQ(path, "D:\\logstrace.log");
    DetermineLogPath("log", "dir", "file", "trace.log", path);
    EXPECT_STREQ(path, "D:\\logsimport.log");
    // An empty folder setting counts as none.
    DetermineLogPath("other", "dir", "file", "trace.log", path);
    EXPECT_EQ(std::string(path), binFolder() + "trace.log");
    EXPECT_EQ(GetLogTypeEnabled("version", "DisableProgressBar", 0), 1);
}

TEST(SettingsFileTest, LongSettingsStayWithinThePathBuffer) {
    const std::string longFolder(300, 'd');
    const std::string longFile(300, 'f');
    SettingsFile settings("[log]\r\ndir=" + longFolder + "\r\nfile=" + longFile + "\r\n");
    char path[519 + 16];
    std::memset(path, '#', sizeof path);
    DetermineLogPath("log", "dir", "file", "trace.log", path);
    EXPECT_EQ(std::string(path).size(), 518u);
    EXPECT_EQ(path[519], '#');
}

} // namespace
