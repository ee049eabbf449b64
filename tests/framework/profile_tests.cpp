// The application's settings through the registry (after SetRegistryKey) and through the
// profile file: integers, deleting entries and sections, and the form each store keeps.
// Plain text round trips through both stores are covered where the library's profile
// functions are tested.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <support/unique_resource.h>

#include "test_support.h"

#include <cstdlib>
#include <string>
#include <utility>

namespace {

constexpr char kRegistryKey[] = "Z64 Framework Tests";

// The type and bytes of a value below HKEY_CURRENT_USER.
std::pair<DWORD, std::string> userValue(const std::string& path, const char* name) {
    char data[32] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, &type, data, &size) !=
        ERROR_SUCCESS)
        size = 0;
    return {type, std::string(data, size)};
}

// Gives each test a clean application object: no registry key, and a profile file of its
// own; the previous names come back afterwards.
class ProfileTest : public testing::Test {
protected:
    void SetUp() override {
        app = AfxGetApp();
        ASSERT_NE(app, nullptr);
        savedRegistryKey = app->m_pszRegistryKey;
        savedProfileName = app->m_pszProfileName;
        app->m_pszRegistryKey = nullptr;
        profilePath = folder.narrowFile(L"settings.ini");
        app->m_pszProfileName = _strdup(profilePath.c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\") + kRegistryKey).c_str());
    }
    void TearDown() override {
        free(const_cast<char*>(app->m_pszRegistryKey));
        free(const_cast<char*>(app->m_pszProfileName));
        app->m_pszRegistryKey = savedRegistryKey;
        app->m_pszProfileName = savedProfileName;
        RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\") + kRegistryKey).c_str());
    }

    CWinApp* app = nullptr;
    LPCSTR savedRegistryKey = nullptr;
    LPCSTR savedProfileName = nullptr;
    test_support::TemporaryDirectory folder;
    std::string profilePath;
};

// In the profile file the same rules are the system's private-profile functions, called
// one to one; in the registry they are the framework's own.
TEST_F(ProfileTest, TheRegistryKeepsIntegersAndDeletesEntriesAndSections) {
    app->SetRegistryKey(kRegistryKey);
    for (const int value : {0, 9999999, -42}) {
        EXPECT_TRUE(app->WriteProfileInt("Numbers", "Value", value));
        EXPECT_EQ(static_cast<int>(app->GetProfileInt("Numbers", "Value", 5)), value);
    }
    EXPECT_EQ(app->GetProfileInt("Numbers", "Missing", -5), static_cast<UINT>(-5));
    ASSERT_TRUE(app->WriteProfileString("General", "Name", "Ledger"));
    ASSERT_TRUE(app->WriteProfileString("General", "Empty", ""));
    EXPECT_STREQ(app->GetProfileString("Nowhere", "Name", "fallback"), "fallback");
    // A null value deletes the entry; a null entry deletes the section.
    EXPECT_TRUE(app->WriteProfileString("General", "Name", nullptr));
    EXPECT_STREQ(app->GetProfileString("General", "Name", "gone"), "gone");
    EXPECT_STREQ(app->GetProfileString("General", "Empty", "kept"), "");
    EXPECT_TRUE(app->WriteProfileString("General", nullptr, nullptr));
    EXPECT_STREQ(app->GetProfileString("General", "Empty", "gone"), "gone");
}

TEST_F(ProfileTest, TheFileKeepsTextLinesAndTheRegistryTypedValues) {
    const auto writeBoth = [this] {
        app->WriteProfileString("Section", "Entry", "12");
        app->WriteProfileInt("Section", "Count", 12);
    };
    writeBoth();
    const std::string content = test_support::readFile(test_support::widen(profilePath));
    for (const char* line : {"[Section]", "Entry=12", "Count=12"})
        EXPECT_NE(content.find(line), std::string::npos) << content;
    DeleteFileA(profilePath.c_str());

    const std::string appName = app->m_pszAppName;
    app->SetRegistryKey(kRegistryKey);
    EXPECT_STREQ(app->m_pszProfileName, appName.c_str()) << "the profile name is the app name";
    writeBoth();
    const std::string section =
        std::string("Software\\") + kRegistryKey + "\\" + appName + "\\Section";
    EXPECT_EQ(userValue(section, "Entry"), std::pair(DWORD{REG_SZ}, std::string("12", 3)));
    EXPECT_EQ(userValue(section, "Count"),
              std::pair(DWORD{REG_DWORD}, std::string("\x0c\0\0\0", 4)));
    EXPECT_TRUE(support::UniqueRegistryKey(app->GetSectionKey("Section")));
    EXPECT_FALSE(test_support::fileExists(test_support::widen(profilePath)))
        << "nothing goes to a profile file";
    // Each reader takes only its own type: even numeric text read as an integer gives the default.
    EXPECT_EQ(app->GetProfileInt("Section", "Entry", 3), 3u);
    EXPECT_STREQ(app->GetProfileString("Section", "Count", "none"), "none");
}

} // namespace
