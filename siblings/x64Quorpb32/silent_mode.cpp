// Silent mode: the application runs without a user interface, so nothing may wait for a
// person. It is on when the process was started with a "/silent" (or "-silent") argument
// or with the environment variable QV_SILENT_MODE set to "1"; QVSetSilentMode changes it.
#include "x64Quorpb32.h"

#include <atomic>

namespace {

constexpr wchar_t kSilentModeVariable[] = L"QV_SILENT_MODE";
constexpr wchar_t kSilentSwitch[] = L"silent";

bool startedWithSilentVariable() {
    wchar_t value[8];
    const DWORD length = GetEnvironmentVariableW(kSilentModeVariable, value, ARRAYSIZE(value));
    return length == 1 && value[0] == L'1';
}

bool startedWithSilentSwitch() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return false;
    bool found = false;
    for (int index = 1; index < count && !found; ++index) {
        const wchar_t* argument = arguments[index];
        found = (argument[0] == L'/' || argument[0] == L'-') &&
                lstrcmpiW(argument + 1, kSilentSwitch) == 0;
    }
    LocalFree(arguments);
    return found;
}

enum class SilentState { unknown, off, on };

std::atomic<SilentState> g_silentState{SilentState::unknown};

SilentState stateAtStart() {
    return startedWithSilentVariable() || startedWithSilentSwitch() ? SilentState::on
                                                                    : SilentState::off;
}

} // namespace

QUORPB_API BOOL IsRunningInSilentMode() {
    SilentState state = g_silentState.load();
    if (state == SilentState::unknown) {
        SilentState expected = SilentState::unknown;
        g_silentState.compare_exchange_strong(expected, stateAtStart());
        state = g_silentState.load();
    }
    return state == SilentState::on;
}

QUORPB_API void QVSetSilentMode(BOOL silent) {
    g_silentState.store(silent ? SilentState::on : SilentState::off);
}
