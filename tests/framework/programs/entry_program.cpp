// A framework application that defines only its application object: the framework's
// WinMain runs it. The command line chooses how it ends:
//   refuse     InitInstance fails; the exit code is ExitInstance's (7)
//   quit <n>   a main window is created and WM_QUIT <n> posted; the exit code is <n>
//   close      the main window is destroyed; the loop ends with 0
// It prints the application's names, so that their defaults can be checked.
#include <afxwin.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kRefusedExitCode = 7;

class EntryApplication : public CWinApp {
public:
    BOOL InitInstance() override {
        printf("app=%s exe=%s profile=%s\n", m_pszAppName, m_pszExeName, m_pszProfileName);
        fflush(stdout);
        const CString command(m_lpCmdLine);
        if (command.Find("refuse") == 0) {
            refused_ = true;
            return FALSE;
        }
        if (!window_.CreateEx(0, AfxRegisterWndClass(0), "entry", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                              100, nullptr, nullptr))
            return FALSE;
        m_pMainWnd = &window_;
        if (command.Find("quit ") == 0)
            PostQuitMessage(atoi(command.Mid(5)));
        else if (command.Find("close") == 0)
            window_.PostMessage(WM_CLOSE);
        return TRUE;
    }

    int ExitInstance() override {
        const int code = CWinApp::ExitInstance();
        return refused_ ? kRefusedExitCode : code;
    }

private:
    CWnd window_;
    bool refused_ = false;
};

EntryApplication theApplication;

} // namespace
