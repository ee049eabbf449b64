// The application's settings: round trips through the registry (after SetRegistryKey) and
// through the profile file.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <support/unique_resource.h>

#include "test_support.h"

#include <cstdlib>
#include <string>

namespace {

constexpr char kRegistryKey[] = "Z64 Framework Tests";

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

    // Exercises the profile functions the same way for both stores.
    void roundTrips() {
        // clang-format off
        struct Case { const char* label; const char* entry; const char* value; };
        const Case texts[] = {{"plain text", "Name", "Quorvane Ledger"},
                              {"empty text", "Empty", ""},
                              {"accented text", "Accents",
                               "Gr\xfc\xdf"
                               "e"}};
        // clang-format on
        for (const Case& c : texts) {
            SCOPED_TRACE(c.label);
            EXPECT_TRUE(app->WriteProfileString("General", c.entry, c.value));
            EXPECT_STREQ(app->GetProfileString("General", c.entry, "default"), c.value);
        }
        // clang-format off
        struct IntCase { const char* label; int value; };
        // clang-format on
        for (const IntCase& c :
             {IntCase{"zero", 0}, IntCase{"positive", 9999999}, IntCase{"negative", -42}}) {
            SCOPED_TRACE(c.label);
            EXPECT_TRUE(app->WriteProfileInt("Numbers", "Value", c.value));
            EXPECT_EQ(static_cast<int>(app->GetProfileInt("Numbers", "Value", 5)), c.value);
        }
        EXPECT_STREQ(app->GetProfileString("General", "Missing", "fallback"), "fallback");
        EXPECT_STREQ(app->GetProfileString("General", "Missing"), "");
        EXPECT_EQ(app->GetProfileInt("Numbers", "Missing", -5), static_cast<UINT>(-5));
        EXPECT_STREQ(app->GetProfileString("Nowhere", "Name", "fallback"), "fallback");

        // A null value deletes the entry; a null entry deletes the section.
        EXPECT_TRUE(app->WriteProfileString("General", "Name", nullptr));
        EXPECT_STREQ(app->GetProfileString("General", "Name", "gone"), "gone");
        EXPECT_STREQ(app->GetProfileString("General", "Empty", "kept"), "");
        EXPECT_TRUE(app->WriteProfileString("General", nullptr, nullptr));
        EXPECT_STREQ(app->GetProfileString("General", "Accents", "gone"), "gone");
    }

    CWinApp* app = nullptr;
    LPCSTR savedRegistryKey = nullptr;
    LPCSTR savedProfileName = nullptr;
    test_support::TemporaryDirectory folder;
    std::string profilePath;
};

TEST_F(ProfileTest, WithoutRegistryKeyTheProfileFileHoldsTheSettings) {
    EXPECT_EQ(app->GetAppRegistryKey(), nullptr);
    roundTrips();
    app->WriteProfileString("Section", "Entry", "value");
    app->WriteProfileInt("Section", "Count", 12);
    const std::string content = test_support::readFile(test_support::widen(profilePath));
    EXPECT_NE(content.find("[Section]"), std::string::npos) << content;
    EXPECT_NE(content.find("Entry=value"), std::string::npos) << content;
    EXPECT_NE(content.find("Count=12"), std::string::npos) << content;
}

TEST_F(ProfileTest, WithARegistryKeyTheUsersKeyHoldsTheSettings) {
    const std::string appName = app->m_pszAppName;
    app->SetRegistryKey(kRegistryKey);
    EXPECT_STREQ(app->m_pszRegistryKey, kRegistryKey);
    EXPECT_STREQ(app->m_pszProfileName, appName.c_str()) << "the profile name is the app name";
    roundTrips();

    app->WriteProfileString("Section", "Entry", "value");
    app->WriteProfileInt("Section", "Count", 12);
    const std::string path =
        std::string("Software\\") + kRegistryKey + "\\" + appName + "\\Section";
    support::UniqueRegistryKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    char text[32] = {};
    DWORD size = sizeof text;
    DWORD type = 0;
    ASSERT_EQ(
        RegQueryValueExA(key.get(), "Entry", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(text, "value");
    DWORD count = 0;
    size = sizeof count;
    ASSERT_EQ(RegQueryValueExA(key.get(), "Count", nullptr, &type, reinterpret_cast<BYTE*>(&count),
                               &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(count, 12u);

    support::UniqueRegistryKey appKey(app->GetAppRegistryKey());
    ASSERT_TRUE(appKey);
    support::UniqueRegistryKey sectionKey(app->GetSectionKey("Section"));
    ASSERT_TRUE(sectionKey);
    EXPECT_EQ(RegQueryValueExA(sectionKey.get(), "Entry", nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_FALSE(test_support::fileExists(test_support::widen(profilePath)))
        << "nothing goes to a profile file";
}

TEST_F(ProfileTest, TextStoredWhereAnIntegerIsReadGivesTheDefault) {
    app->SetRegistryKey(kRegistryKey);
    app->WriteProfileString("Numbers", "Text", "12");
    EXPECT_EQ(app->GetProfileInt("Numbers", "Text", 3), 3u);
    app->WriteProfileInt("Numbers", "Number", 4);
    EXPECT_STREQ(app->GetProfileString("Numbers", "Number", "none"), "none");
}

} // namespace
