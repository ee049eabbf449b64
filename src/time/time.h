// The time subsystem's header for the rest of the library: the values that stand for no
// date and for the latest date.
#pragma once

#include <windows.h>

namespace z64::time {

// 30 December 1899 00:00, the zero of the variant time: a FILETIME that holds no date.
inline constexpr ULONGLONG kEmptyDateTicks = 0x014F35A9A90CC000ULL;
inline constexpr FILETIME kEmptyDate = {0xA90CC000, 0x014F35A9};

// 1 March 1900 00:00: a variant time that holds no date.
inline constexpr double kEmptyVariantTime = 61.0;

// 31 December 30827 00:00, the last day a SYSTEMTIME can hold: later than any real date.
inline constexpr ULONGLONG kLatestDateTicks = 0x7FFF352BC602C000ULL;
inline constexpr FILETIME kLatestDate = {0xC602C000, 0x7FFF352B};

[[nodiscard]] constexpr ULONGLONG ticksOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

[[nodiscard]] constexpr FILETIME fileTimeOf(ULONGLONG ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

static_assert(ticksOf(kEmptyDate) == kEmptyDateTicks);
static_assert(ticksOf(kLatestDate) == kLatestDateTicks);

} // namespace z64::time
