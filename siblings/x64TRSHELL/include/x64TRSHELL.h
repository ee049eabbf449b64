// x64TRSHELL.dll, the application's shell: "saveste" saves the shell's state before the
// caller lets messages run, "restste" restores it afterwards. Neither takes an argument
// and their results mean nothing to callers.
//
// The stand-in keeps what tests need to see that callers pair them: process-wide counts
// of both calls and the calling thread's nesting depth (saves minus restores on that
// thread), read through the ordinal-only entry kShellStateCountsOrdinal.
#pragma once

#include <windows.h>

#ifdef TRSHELL_BUILDING
// The module definition files choose what each build exports.
#define TRSHELL_API extern "C"
#else
#define TRSHELL_API extern "C" __declspec(dllimport)
#endif

TRSHELL_API int saveste();
TRSHELL_API int restste();

struct ShellStateCounts {
    long saves;    // "saveste" calls in the process
    long restores; // "restste" calls in the process
    int depth;     // the calling thread's saves not yet restored
};

// Not part of the shell's interface: fills the counts (a null pointer is ignored).
using GetShellStateCountsFunction = void (*)(ShellStateCounts* counts);
inline constexpr WORD kShellStateCountsOrdinal = 1000;
