// Per-user settings through the calling application's CWinApp (its registry key or its
// profile file), and the machine-wide and per-user registry keys of the application.
//
// The functions act on the application object of the module state current at the call,
// which is the calling application's: the library never switches module state here.
#include <afxwin.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kMachineSoftwareKey[] = "software";
constexpr char kMachineProductKey[] = "Quorvane";
// Wide enough for every int in decimal, sign and terminator included.
constexpr size_t kDecimalTextSize = 12;

CWinApp* currentApplication() {
    return AfxGetModuleState()->m_pCurrentWinApp;
}

struct DecimalText {
    explicit DecimalText(int value) { std::snprintf(text, sizeof text, "%d", value); }
    char text[kDecimalTextSize];
};

// Opens `name` below `parent` for reading; null when it cannot be opened.
support::UniqueRegistryKey openForReading(HKEY parent, const char* name) {
    support::UniqueRegistryKey key;
    if (parent == nullptr || name == nullptr ||
        RegOpenKeyExA(parent, name, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

} // namespace

Z64EVEZE_C_API BOOL WriteUserProfileString(const char* section, const char* entry,
                                           const char* value) {
    CWinApp* application = currentApplication();
    return application ? application->WriteProfileString(section, entry, value) : FALSE;
}

Z64EVEZE_C_API BOOL WriteUserProfileInt(const char* section, const char* entry, int value) {
    const DecimalText text(value);
    return WriteUserProfileString(section, entry, text.text);
}

Z64EVEZE_C_API int GetUserProfileString(const char* section, const char* entry,
                                        const char* defaultValue, char* buffer, int size) {
    if (!buffer || size <= 0)
        return 0;
    CWinApp* application = currentApplication();
    const CString text = application ? application->GetProfileString(section, entry, defaultValue)
                                     : CString(defaultValue);
    lstrcpynA(buffer, text, size);
    return lstrlenA(buffer);
}

Z64EVEZE_C_API int GetUserProfileInt(const char* section, const char* entry, int defaultValue) {
    const DecimalText fallback(defaultValue);
    CWinApp* application = currentApplication();
    if (!application)
        return defaultValue;
    return std::atoi(application->GetProfileString(section, entry, fallback.text));
}

Z64EVEZE_C_API HKEY GetMachineRegistryKey() {
    CWinApp* application = currentApplication();
    if (!application)
        return nullptr;
    const support::UniqueRegistryKey software =
        openForReading(HKEY_LOCAL_MACHINE, kMachineSoftwareKey);
    const support::UniqueRegistryKey product = openForReading(software.get(), kMachineProductKey);
    support::UniqueRegistryKey applicationKey =
        openForReading(product.get(), application->m_pszProfileName);
    return applicationKey.release();
}

Z64EVEZE_C_API HKEY GetUserRegistryKey() {
    CWinApp* application = currentApplication();
    return application ? application->GetAppRegistryKey(nullptr) : nullptr;
}
