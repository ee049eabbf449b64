// Opening a file that another process may hold for a moment.
//
// The application's processes open documents and logs exclusively for short spans; an
// open that meets such a hold waits and tries again instead of failing at once.
#pragma once

#include <windows.h>

namespace z64::common {

// How often, and how long apart, an open that meets a held file tries again.
struct HeldFileRetry {
    int retries;
    DWORD delayMilliseconds;
};

// The waits of the library that a rule governs.
enum class HeldFileKind { plainFile = 0, logFile = 1 };

// Plain file opening: sharing and lock violations are retried every 200 ms, 500 times.
inline constexpr HeldFileRetry kHeldFileRetry{500, 200};
// The log file: sharing violations are retried every 5 ms, 2000 times.
inline constexpr HeldFileRetry kHeldLogRetry{2000, 5};

// The rule in force for one kind: its documented rule, unless the test programs have set a
// shorter one through the library's ordinal-only entry, so that their holds last milliseconds.
[[nodiscard]] HeldFileRetry heldFileRetry(HeldFileKind kind = HeldFileKind::plainFile);

[[nodiscard]] inline bool isHeldFileError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// One budget of retries, which several opens of the same file may share.
class HeldFileRetries {
public:
    // After a failed open: when the failure means a hold and the budget is not spent, waits
    // the interval and answers true. The last error is left as the open set it.
    [[nodiscard]] bool waitBeforeRetry() {
        const DWORD error = GetLastError();
        if (!isHeldFileError(error) || used_ >= rule_.retries)
            return false;
        ++used_;
        Sleep(rule_.delayMilliseconds);
        SetLastError(error);
        return true;
    }

private:
    HeldFileRetry rule_ = heldFileRetry();
    int used_ = 0;
};

// Calls `open` (which returns a file handle or INVALID_HANDLE_VALUE with the last error
// set) until it succeeds, fails for another reason, or the budget runs out. The last error
// of the final attempt is left for the caller.
template <typename Open>
[[nodiscard]] HANDLE openRetryingWhileHeld(Open open, HeldFileRetries& budget) {
    HANDLE file = open();
    while (file == INVALID_HANDLE_VALUE && budget.waitBeforeRetry())
        file = open();
    return file;
}

template <typename Open>
[[nodiscard]] HANDLE openRetryingWhileHeld(Open open) {
    HeldFileRetries budget;
    return openRetryingWhileHeld(open, budget);
}

} // namespace z64::common
