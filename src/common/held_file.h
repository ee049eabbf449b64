// Opening a file that another process may hold for a moment.
//
// The application's processes open documents and logs exclusively for short spans; an
// open that meets such a hold waits and tries again instead of failing at once.
#pragma once

#include <windows.h>

namespace z64::common {

// Plain file opening: sharing and lock violations are retried every 200 ms, 500 times.
inline constexpr DWORD kHeldFileRetryDelayMilliseconds = 200;
inline constexpr int kHeldFileRetries = 500;

[[nodiscard]] inline bool isHeldFileError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Calls `open` (which returns a file handle or INVALID_HANDLE_VALUE with the last error
// set) until it succeeds, fails for another reason, or the retries run out. The last
// error of the final attempt is left for the caller.
template <typename Open>
[[nodiscard]] HANDLE openRetryingWhileHeld(Open open) {
    HANDLE file = open();
    for (int retry = 0; file == INVALID_HANDLE_VALUE && isHeldFileError(GetLastError()) &&
                        retry < kHeldFileRetries;
         ++retry) {
        Sleep(kHeldFileRetryDelayMilliseconds);
        file = open();
    }
    return file;
}

} // namespace z64::common
