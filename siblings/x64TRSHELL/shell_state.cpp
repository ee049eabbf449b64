// The shell's state bracket, as far as callers can observe it: each "saveste" opens one
// level on the calling thread and each "restste" closes one.
#include "x64TRSHELL.h"

#include <atomic>

namespace {

std::atomic<long> g_saves{0};
std::atomic<long> g_restores{0};
thread_local int t_depth = 0;

} // namespace

TRSHELL_API int saveste() {
    ++g_saves;
    ++t_depth;
    return 1;
}

TRSHELL_API int restste() {
    ++g_restores;
    --t_depth;
    return 1;
}

extern "C" void GetShellStateCounts(ShellStateCounts* counts) {
    if (counts == nullptr)
        return;
    counts->saves = g_saves.load();
    counts->restores = g_restores.load();
    counts->depth = t_depth;
}
