#include "common/held_file.h"

#include <atomic>

namespace z64::common {
namespace {

std::atomic<int> g_retries{kHeldFileRetry.retries};
std::atomic<DWORD> g_delayMilliseconds{kHeldFileRetry.delayMilliseconds};

} // namespace

HeldFileRetry heldFileRetry() {
    return {g_retries.load(), g_delayMilliseconds.load()};
}

} // namespace z64::common

// Not part of the library's interface: the test programs shorten the waits for held files
// through this ordinal-only entry, and put the documented rule back afterwards.
extern "C" __declspec(dllexport) void SetHeldFileRetry(int retries, DWORD delayMilliseconds) {
    z64::common::g_retries = retries;
    z64::common::g_delayMilliseconds = delayMilliseconds;
}
