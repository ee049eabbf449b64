#include "common/held_file.h"

#include <atomic>
#include <iterator>

namespace z64::common {
namespace {

struct RuleInForce {
    std::atomic<int> retries;
    std::atomic<DWORD> delayMilliseconds;
};

// Indexed by HeldFileKind.
RuleInForce g_rules[] = {
    {kHeldFileRetry.retries, kHeldFileRetry.delayMilliseconds},
    {kHeldLogRetry.retries, kHeldLogRetry.delayMilliseconds},
};

} // namespace

HeldFileRetry heldFileRetry(HeldFileKind kind) {
    const RuleInForce& rule = g_rules[static_cast<int>(kind)];
    return {rule.retries.load(), rule.delayMilliseconds.load()};
}

} // namespace z64::common

// Not part of the library's interface: the test programs shorten the waits for held files
// of one kind (0 plain files, 1 the log) through this ordinal-only entry, and put the
// documented rule back afterwards.
extern "C" __declspec(dllexport) void SetHeldFileRetry(int kind, int retries,
                                                       DWORD delayMilliseconds) {
    if (kind < 0 || kind >= static_cast<int>(std::size(z64::common::g_rules)))
        return;
    z64::common::g_rules[kind].retries = retries;
    z64::common::g_rules[kind].delayMilliseconds = delayMilliseconds;
}
