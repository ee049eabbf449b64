// Conversions between FILETIME and variant times, file time stamps, and the diagnostic
// date formatter. No conversion between local time and UTC is made: every function works
// on the clock it is given.
#include "common/held_file.h"
#include "time/time.h"

#include <d64avor.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <oleauto.h>

#include <cstring>
#include <mutex>

namespace {

constexpr int kDiagnosticTextSize = 128;

[[nodiscard]] bool holdsNoDate(const FILETIME& time) {
    const ULONGLONG ticks = z64::time::ticksOf(time);
    return ticks == 0 || ticks == z64::time::kEmptyDateTicks;
}

// GetFileTime on a handle opened for reading without sharing; each out pointer may be null.
int readFileTimes(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
    support::UniqueFile owned(file);
    if (!owned)
        return 0;
    return GetFileTime(owned.get(), creation, lastAccess, lastWrite);
}

} // namespace

Z64EVEZE_API void MaxFileTime(FILETIME* time) {
    if (time)
        *time = z64::time::kLatestDate;
}

Z64EVEZE_API int FileTimeToVariantTime(FILETIME* time, double* variantTime) {
    if (!time || !variantTime)
        return 0;
    if (holdsNoDate(*time)) {
        *variantTime = z64::time::kEmptyVariantTime;
        return 1;
    }
    SYSTEMTIME systemTime;
    if (!FileTimeToSystemTime(time, &systemTime))
        return 0;
    return SystemTimeToVariantTime(&systemTime, variantTime);
}

Z64EVEZE_API int VariantTimeToFileTime(double variantTime, FILETIME* time) {
    SYSTEMTIME systemTime;
    if (!time || !VariantTimeToSystemTime(variantTime, &systemTime))
        return 0;
    return SystemTimeToFileTime(&systemTime, time);
}

Z64EVEZE_API void SetEmptyVariantTime(double* variantTime) {
    if (variantTime)
        *variantTime = z64::time::kEmptyVariantTime;
}

Z64EVEZE_API void PropvariantToFiletime(FILETIME* time, PROPVARIANT* value) {
    *time = value->vt == VT_FILETIME ? value->filetime : z64::time::kEmptyDate;
}

Z64EVEZE_API FILETIME* DateTimeAdd(__int64 ticks, long count, FILETIME* time) {
    if (!time)
        return nullptr;
    // Signed 64-bit arithmetic that wraps on overflow, done on unsigned values.
    const ULONGLONG step =
        static_cast<ULONGLONG>(ticks) * static_cast<ULONGLONG>(static_cast<__int64>(count));
    *time = z64::time::fileTimeOf(z64::time::ticksOf(*time) + step);
    return time;
}

Z64EVEZE_API int QVGetFileTime(const char* path, FILETIME* creation, FILETIME* lastAccess,
                               FILETIME* lastWrite) {
    if (!path)
        return 0;
    const HANDLE file = z64::common::openRetryingWhileHeld([path] {
        return CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    });
    return readFileTimes(file, creation, lastAccess, lastWrite);
}

Z64EVEZE_API int QVGetFileTimeW(const wchar_t* path, FILETIME* creation, FILETIME* lastAccess,
                                FILETIME* lastWrite) {
    if (!path)
        return 0;
    // The long path is made anew for every attempt.
    const HANDLE file = z64::common::openRetryingWhileHeld([path] {
        return CreateFileW(MakeLongPath(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    });
    return readFileTimes(file, creation, lastAccess, lastWrite);
}

Z64EVEZE_API const char* DebugGetDateTimeString(FILETIME* time) {
    (void)time;
    return "";
}

Z64EVEZE_API const char* DebugGetDateTimeString(double variantTime) {
    static std::once_flag formatsFetched;
    static char dateFormat[kDiagnosticTextSize];
    static char timeFormat[kDiagnosticTextSize];
    static std::mutex resultLock;
    static char result[kDiagnosticTextSize];

    std::call_once(formatsFetched, [] {
        GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_SLONGDATE, dateFormat, kDiagnosticTextSize);
        GetLocaleInfoA(GetUserDefaultLCID(), LOCALE_STIMEFORMAT, timeFormat, kDiagnosticTextSize);
    });

    SYSTEMTIME systemTime{};
    VariantTimeToSystemTime(variantTime, &systemTime);
    // The text is composed in local buffers and copied into the shared result under a lock,
    // so that callers on several threads can never make it overflow or lose its terminator.
    char text[kDiagnosticTextSize] = {};
    char timeText[kDiagnosticTextSize] = {};
    if (!GetDateFormatA(GetUserDefaultLCID(), 0, &systemTime, dateFormat, text,
                        kDiagnosticTextSize))
        text[0] = '\0';
    if (!GetTimeFormatA(GetUserDefaultLCID(), 0, &systemTime, timeFormat, timeText,
                        kDiagnosticTextSize))
        timeText[0] = '\0';
    strncat_s(text, kDiagnosticTextSize, " ", _TRUNCATE);
    strncat_s(text, kDiagnosticTextSize, timeText, _TRUNCATE);

    std::lock_guard lock(resultLock);
    std::memcpy(result, text, sizeof result);
    return result;
}
