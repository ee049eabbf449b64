#include "versions/release_catalogue.h"

#include <afxwin.h>
#include <z64eveze.h>

#include <mbstring.h>

#include <cstring>
#include <cwchar>

const RELEASEINFO g_ReleaseTable[kReleaseCount] = {
    {8.99, "2026.00", "QuorvaneClass260", "QuorvaneSystem260"},
    {8.98, "2025.00", "QuorvaneClass250", "QuorvaneSystem250"},
    {8.97, "2024.00", "QuorvaneClass240", "QuorvaneSystem240"},
    {8.96, "2023.00", "QuorvaneClass230", "QuorvaneSystem230"},
    {8.95, "2022.00", "QuorvaneClass220", "QuorvaneSystem220"},
    {8.94, "2021.00", "QuorvaneClass210", "QuorvaneSystem210"},
    {8.90, "2020.00", "QuorvaneClass200", "QuorvaneSystem200"},
    {8.88, "2019.00", "QuorvaneClass190", "QuorvaneSystem190"},
    {8.85, "2018.00", "QuorvaneClass180", "QuorvaneSystem180"},
    {8.83, "2017.00", "QuorvaneClass170", "QuorvaneSystem170"},
    {8.82, "2016.00", "QuorvaneClass160", "QuorvaneSystem160"},
    {8.81, "2015.00", "QuorvaneClass150", "QuorvaneSystem150"},
    {8.78, "2014.00", "QuorvaneClass131", "QuorvaneSystem131"},
    {8.76, "2013.00", "QuorvaneClass130", "QuorvaneSystem130"},
    {8.70, "2012.00", "QuorvaneClass120", "QuorvaneSystem120"},
    {8.63, "2011.00", "QuorvaneClass110", "QuorvaneSystem110"},
    {8.48, "2010.00", "QuorvaneClass100", "QuorvaneSystem100"},
    {8.39, "2009.00", "QuorvaneClass80", "QuorvaneSystem80"},
    {8.28, "2008.50", "QuorvaneClass72", "QuorvaneSystem72"},
    {8.27, "2008.00", "QuorvaneClass71", "QuorvaneSystem71"},
    {8.10, "2007.00", "QuorvaneClass70", "QuorvaneSystem70"},
    {8.01, "2006.50", "QuorvaneClass55", "QuorvaneSystem55"},
    {7.83, "2006.00", "QuorvaneClass50", "QuorvaneSystem50"},
    {7.50, "2005.00", "QuorvaneClass46", "QuorvaneSystem46"},
    {7.25, "2004.50", "QuorvaneClass45", "QuorvaneSystem45"},
    {6.78, "2004.00", "QuorvaneClass44", "QuorvaneSystem44"},
    {6.62, "2003.00", "QuorvaneClass43", "System"},
    {6.31, "2001.00", "QuorvaneClass42", "System"},
};

namespace z64::versions {
namespace {

constexpr unsigned kPrivateTextLength = 256;
constexpr unsigned kLabelCapacity = sizeof(RELEASEINFO::szLabel);

// The label as UTF-16. Labels are short ANSI texts; a conversion that fails anyway raises
// the framework's OLE exception with the failure.
void wideLabel(const RELEASEINFO& release, wchar_t (&label)[kLabelCapacity]) {
    if (MultiByteToWideChar(CP_ACP, 0, release.szLabel, -1, label, kLabelCapacity) == 0)
        AfxThrowOleException(HRESULT_FROM_WIN32(GetLastError()));
}

} // namespace

const RELEASEINFO* releaseFor(double version) {
    for (const RELEASEINFO& release : g_ReleaseTable)
        if (version >= release.dVersion)
            return &release;
    return nullptr;
}

} // namespace z64::versions

Z64EVEZE_API int IsKnownFileVersion(double version) {
    return version > 0.0 && version <= z64::versions::kPlausibilityCeiling ? 1 : 0;
}

Z64EVEZE_API void GetUserFriendlyFileVersionW(double version, wchar_t* buffer,
                                              unsigned int bufferLen) {
    // A zero length leaves no room even for the terminator.
    if (!buffer || bufferLen == 0)
        return;
    if (const RELEASEINFO* release = z64::versions::releaseFor(version)) {
        wchar_t label[z64::versions::kLabelCapacity];
        z64::versions::wideLabel(*release, label);
        std::wcsncpy(buffer, label, bufferLen);
    } else {
        // From the module state of the caller: the application's own string table.
        LoadStringW(AfxGetModuleState()->m_hCurrentInstanceHandle,
                    z64::versions::kOlderThanEveryReleaseString, buffer,
                    static_cast<int>(bufferLen));
    }
    buffer[bufferLen - 1] = L'\0';
}

Z64EVEZE_API void GetUserFriendlyFileVersion(double version, char* buffer, unsigned int bufferLen) {
    if (!buffer || bufferLen == 0)
        return;
    wchar_t text[z64::versions::kPrivateTextLength] = {};
    GetUserFriendlyFileVersionW(version, text, z64::versions::kPrivateTextLength);
    char narrow[2 * z64::versions::kPrivateTextLength] = {};
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr) == 0)
        AfxThrowOleException(HRESULT_FROM_WIN32(GetLastError()));
    _mbsnbcpy(reinterpret_cast<unsigned char*>(buffer),
              reinterpret_cast<const unsigned char*>(narrow), bufferLen);
    buffer[bufferLen - 1] = '\0';
}

Z64EVEZE_API void GetFileVersionGroup(double version, double* group) {
    if (!group)
        return;
    const RELEASEINFO* release = z64::versions::releaseFor(version);
    *group = release ? release->dVersion : 0.0;
}

Z64EVEZE_API double GetMaxUserFriendlyCompatibleFileVersion() {
    return z64::versions::kNewestVersion;
}
