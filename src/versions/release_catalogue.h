// The release catalogue: one constant record per release of the application, newest first,
// tying the document version number a release writes to its label for people and to the
// window class of its main window.
#pragma once

#include <cstddef>

struct RELEASEINFO {
    double dVersion;       // the document version number the release writes
    char szLabel[16];      // the release label shown to people, "2026.00"
    char szClassName[32];  // the window class of the release's main window
    char szSystemName[32]; // the release's system name
};
static_assert(sizeof(RELEASEINFO) == 88);
static_assert(offsetof(RELEASEINFO, szLabel) == 8);
static_assert(offsetof(RELEASEINFO, szClassName) == 24);
static_assert(offsetof(RELEASEINFO, szSystemName) == 56);

inline constexpr std::size_t kReleaseCount = 28;

// Sorted by dVersion, strictly descending; lookups scan from row 0 and stop at the first
// hit, so the order is part of the behaviour.
extern const RELEASEINFO g_ReleaseTable[kReleaseCount];

namespace z64::versions {

// The newest document version number this build understands.
inline constexpr double kNewestVersion = 8.99;
// Versions above this are not plausible.
inline constexpr double kPlausibilityCeiling = 20.0;
// The calling application's text for a version older than every release.
inline constexpr unsigned kOlderThanEveryReleaseString = 870;

// The first row whose version is at or below `version`, or null (older than every row,
// zero, negative or NaN).
[[nodiscard]] const RELEASEINFO* releaseFor(double version);

} // namespace z64::versions
