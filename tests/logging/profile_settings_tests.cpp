#include "test_support.h"

#include <afxwin.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kRegistryKey[] = "QuorvaneTests";
constexpr char kSection[] = "Settings";

// Switches the host application between its registry key and a profile file, and puts
// its names back afterwards.
class ApplicationSettings {
public:
    ApplicationSettings() : application_(AfxGetApp()) {
        savedProfile_ = textOf(application_->m_pszProfileName);
        savedKey_ = textOf(application_->m_pszRegistryKey);
    }
    ~ApplicationSettings() {
        replace(&application_->m_pszProfileName,
                savedProfile_.empty() ? nullptr : savedProfile_.c_str());
        replace(&application_->m_pszRegistryKey, savedKey_.empty() ? nullptr : savedKey_.c_str());
    }
    void useRegistry() {
        replace(&application_->m_pszRegistryKey, kRegistryKey);
        replace(&application_->m_pszProfileName, application_->m_pszAppName);
    }
    void useProfileFile(const std::string& path) {
        replace(&application_->m_pszRegistryKey, nullptr);
        replace(&application_->m_pszProfileName, path.c_str());
    }
    CWinApp* application() const { return application_; }

private:
    static std::string textOf(LPCSTR text) { return text ? text : ""; }
    static void replace(LPCSTR* field, const char* value) {
        std::free(const_cast<char*>(*field));
        *field = value ? _strdup(value) : nullptr;
    }
    CWinApp* application_;
    std::string savedProfile_, savedKey_;
};

// A REG_SZ value below `key`; "<not text>" when there is none or it is not text.
std::string registryText(HKEY key, const char* subkey, const char* entry) {
    char value[64] = {};
    DWORD size = sizeof value;
    return RegGetValueA(key, subkey, entry, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS
               ? value
               : "<not text>";
}

// A value of the settings section in the application's registry key.
std::string registryText(const char* entry) {
    const std::string path = std::string("Software\\") + kRegistryKey + "\\" +
                             AfxGetApp()->m_pszProfileName + "\\" + kSection;
    return registryText(HKEY_CURRENT_USER, path.c_str(), entry);
}

class ProfileSettingsTest : public ::testing::Test {
protected:
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\") + kRegistryKey).c_str());
    }
    ApplicationSettings settings_;
};

// Integers are kept as decimal text (not as DWORD values) and read back whole.
TEST_F(ProfileSettingsTest, EveryIntegerRoundTripsAsDecimalText) {
    settings_.useRegistry();
    for (const int value :
         {42, 0, -999999, 9999999, 10000000, -1000000, 2147483647, -2147483647 - 1}) {
        ASSERT_TRUE(WriteUserProfileInt(kSection, "Value", value)) << value;
        EXPECT_EQ(registryText("Value"), std::to_string(value));
        EXPECT_EQ(GetUserProfileInt(kSection, "Value", 0), value);
        EXPECT_EQ(GetUserProfileInt(kSection, "Missing", value), value);
    }
}

TEST_F(ProfileSettingsTest, ReadsTextAsNumbersTheWayAtoiDoes) {
    settings_.useRegistry();
    ASSERT_TRUE(WriteUserProfileString(kSection, "Twelve", "12"));
    ASSERT_TRUE(WriteUserProfileString(kSection, "Word", "twelve"));
    ASSERT_TRUE(WriteUserProfileString(kSection, "Mixed", "7 days"));
    EXPECT_EQ(GetUserProfileInt(kSection, "Twelve", 0), 12);
    EXPECT_EQ(GetUserProfileInt(kSection, "Word", 5), 0);
    EXPECT_EQ(GetUserProfileInt(kSection, "Mixed", 0), 7);
    EXPECT_EQ(GetUserProfileInt(kSection, "Missing", -5), -5);
}

TEST_F(ProfileSettingsTest, StringsAreCutToTheBuffer) {
    settings_.useRegistry();
    ASSERT_TRUE(WriteUserProfileString(kSection, "Long", "0123456789"));
    char buffer[8] = "#######";
    EXPECT_EQ(GetUserProfileString(kSection, "Long", "", buffer, 4), 3);
    EXPECT_STREQ(buffer, "012");
    EXPECT_EQ(GetUserProfileString(kSection, "Missing", "fallback", buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "fallbac");
}

TEST_F(ProfileSettingsTest, WithoutARegistryKeyTheProfileFileHoldsTheSettings) {
    test_support::TemporaryDirectory folder;
    const std::string file = folder.narrowFile(L"settings.ini");
    settings_.useProfileFile(file);
    ASSERT_TRUE(WriteUserProfileInt(kSection, "Count", 2048));
    char raw[32] = {};
    GetPrivateProfileStringA(kSection, "Count", "", raw, sizeof raw, file.c_str());
    EXPECT_STREQ(raw, "2048");
    EXPECT_EQ(GetUserProfileInt(kSection, "Count", 0), 2048);
    EXPECT_EQ(GetUserRegistryKey(), nullptr);
}

TEST_F(ProfileSettingsTest, TheUserKeyIsTheApplicationsKey) {
    settings_.useRegistry();
    ASSERT_TRUE(WriteUserProfileString(kSection, "Probe", "here"));
    support::UniqueRegistryKey key(GetUserRegistryKey());
    ASSERT_TRUE(key);
    EXPECT_EQ(registryText(key.get(), kSection, "Probe"), "here");
}

TEST_F(ProfileSettingsTest, TheMachineKeyIsNamedByTheProfileName) {
    const std::string machinePath =
        std::string("software\\Quorvane\\") + AfxGetApp()->m_pszProfileName;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "software\\Quorvane");
    EXPECT_EQ(GetMachineRegistryKey(), nullptr);

    ASSERT_EQ(
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, machinePath.c_str(), "Installed", REG_SZ, "yes", 4),
        ERROR_SUCCESS);

    support::UniqueRegistryKey key(GetMachineRegistryKey());
    ASSERT_TRUE(key);
    EXPECT_EQ(registryText(key.get(), nullptr, "Installed"), "yes");
    // Opened for reading only.
    EXPECT_NE(RegSetValueExA(key.get(), "Other", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_SUCCESS);
    key.reset();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "software\\Quorvane");
}

} // namespace
