#include "test_host.h"

#include "ui_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace test_host {

namespace {
constexpr int kMainWindowWidth = 400;
constexpr int kMainWindowHeight = 300;
} // namespace

HostApplication::HostApplication(LPCSTR name) : CWinApp(name) {}

BOOL HostApplication::InitInstance() {
    LPCSTR windowClass = AfxRegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW),
                                             reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    if (!mainWindow_.CreateEx(0, windowClass, m_pszAppName, WS_OVERLAPPEDWINDOW, 0, 0,
                              kMainWindowWidth, kMainWindowHeight, nullptr, nullptr))
        return FALSE;
    m_pMainWnd = &mainWindow_;
    mainWindow_.ShowWindow(SW_SHOW);
    mainWindow_.UpdateWindow();
    armStrayWindowGuard();
    // The message loop ends with the tests' result.
    PostQuitMessage(RUN_ALL_TESTS());
    return TRUE;
}

int HostApplication::ExitInstance() {
    const int exitCode = CWinApp::ExitInstance();
    if (mainWindow_.GetSafeHwnd() != nullptr)
        mainWindow_.DestroyWindow();
    return exitCode;
}

HostApplication& application() {
    return *static_cast<HostApplication*>(AfxGetApp());
}

} // namespace test_host

// The program's entry: GoogleTest takes its options, then the framework runs the host.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return AfxWinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
}
