// The test host application: a framework application (a CWinApp with a main window) that
// runs the program's GoogleTest tests on its user-interface thread, inside InitInstance,
// and ends with their result as its exit code.
//
// A test program declares it once, in one of its source files:
//
//     TEST_HOST_APPLICATION("framework_tests");
//
// and links the `test_host` library, which supplies main() and the host's resources.
#pragma once

#include <afxwin.h>

namespace test_host {

class HostApplication : public CWinApp {
public:
    explicit HostApplication(LPCSTR name);

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The main window, created before the tests run.
    [[nodiscard]] CWnd& mainWindow() { return mainWindow_; }

private:
    CWnd mainWindow_;
};

// The running host.
[[nodiscard]] HostApplication& application();

} // namespace test_host

#define TEST_HOST_APPLICATION(name) test_host::HostApplication theTestHostApplication(name)
