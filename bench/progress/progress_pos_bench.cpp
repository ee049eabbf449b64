// ProgressDialogPos with an empty message queue: the time per call without and with the
// shell stand-in loaded, against a bare PBM_SETPOS plus PeekMessage loop on a progress bar of
// the same size, so that what the shell state bracket's lookups cost per call shows.
//
//   progress_pos_bench [CALLS]   calls per measurement (2000 unless given); prints a table
#include <afxwin.h>
#include <commctrl.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include "../common/stopwatch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kDefaultCalls = 2000;
constexpr int kRounds = 5; // the best of five rounds
constexpr int kRange = 1000;

// What the library's pump does for one position, written by hand: set the bar, then take
// every message below WM_USER that is waiting (none).
void bareLoop(HWND bar, int calls) {
    for (int call = 0; call < calls; ++call) {
        SendMessageA(bar, PBM_SETPOS, call % kRange, 0);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, WM_USER - 1, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void libraryLoop(int calls) {
    for (int call = 0; call < calls; ++call)
        ProgressDialogPos(call % kRange);
}

void printRow(const char* label, double elapsed, int calls, double baseline) {
    std::printf("%-34s %12.0f %10.2f %8.2f\n", label, calls / elapsed, elapsed * 1e6 / calls,
                elapsed / baseline);
}

// The three loops run in turn, round by round, so that a slow spell of the machine falls on
// all of them alike; each keeps its best round.
int runBenchmark(int calls) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const support::UniqueWindow bar(CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP | WS_VISIBLE,
                                                    0, 0, 300, 20, nullptr, nullptr,
                                                    GetModuleHandleA(nullptr), nullptr));
    SendMessageA(bar.get(), PBM_SETRANGE32, 0, kRange);
    ProgressDialogInit("Posting the journal", "Record 1 of 1000", kRange);
    if (!bar || !ProgressDialogExists())
        return 1;
    double bare = 1e30, withoutShell = 1e30, withShell = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        bare = std::min(bare, bench::timed([&] { bareLoop(bar.get(), calls); }));
        withoutShell = std::min(withoutShell, bench::timed([&] { libraryLoop(calls); }));
        const support::UniqueModule shell(LoadLibraryA("x64TRSHELL.dll"));
        if (!shell)
            return 1;
        withShell = std::min(withShell, bench::timed([&] { libraryLoop(calls); }));
    }
    ProgressDialogDelete();
    std::printf("%-34s %12s %10s %8s\n", "", "calls/s", "us/call", "ratio");
    printRow("PBM_SETPOS + PeekMessage loop", bare, calls, bare);
    printRow("ProgressDialogPos, no shell", withoutShell, calls, bare);
    printRow("ProgressDialogPos, shell loaded", withShell, calls, bare);
    std::printf("the bracket's lookups and calls: %.2f us per call\n",
                (withShell - withoutShell) * 1e6 / calls);
    return 0;
}

// The library shows progress boxes only on the thread of the calling application's object,
// so the benchmark runs inside one, as the application's code would.
class BenchmarkApplication : public CWinApp {
public:
    BOOL InitInstance() override {
        result = runBenchmark(__argc > 1 ? std::atoi(__argv[1]) : kDefaultCalls);
        return FALSE;
    }
    int ExitInstance() override { return result; }

private:
    int result = 1;
};

BenchmarkApplication theApplication;

} // namespace

int main() {
    return AfxWinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
}
