// The application and module state, run-time classes, exceptions, path functions and the
// _bstr_t support.
#include <afxwin.h>
#include <comutil.h>
#include <gtest/gtest.h>

#include "test_host.h"

#include <string>
#include <tuple>
#include <vector>
#include <thread>

// The program is the framework's test host.
TEST_HOST_APPLICATION("framework_tests");

namespace {

TEST(Application, TheHostIsTheApplicationAndItsThread) {
    test_host::HostApplication& host = test_host::application();
    CWinApp* const app = &host;
    CWnd* const mainWindow = &host.mainWindow();
    const HINSTANCE module = GetModuleHandleA(nullptr);
    EXPECT_EQ(std::tuple(AfxGetApp(), AfxGetModuleState()->m_pCurrentWinApp, AfxGetThread()),
              std::tuple(app, app, app));
    EXPECT_EQ(std::tuple(host.m_nThreadID, AfxGetMainWnd(), AfxGetThread()->GetMainWnd()),
              std::tuple(GetCurrentThreadId(), mainWindow, mainWindow));
    EXPECT_EQ(std::tuple(AfxGetInstanceHandle(), AfxGetResourceHandle(), host.m_hInstance),
              std::tuple(module, module, module));
    EXPECT_EQ(std::tuple(std::string(host.m_pszAppName), std::string(AfxGetAppName()),
                         std::string(host.m_pszExeName)),
              std::tuple("framework_tests", "framework_tests", "framework_tests"));
}

TEST(Application, OtherThreadsShareTheApplicationButHaveNoThreadObject) {
    CWinApp* app = nullptr;
    CWinThread* thread = reinterpret_cast<CWinThread*>(1);
    CWnd* mainWindow = reinterpret_cast<CWnd*>(1);
    std::thread([&] {
        app = AfxGetApp();
        thread = AfxGetThread();
        mainWindow = AfxGetMainWnd();
    }).join();
    EXPECT_EQ(std::tuple(app, thread, mainWindow), std::tuple(AfxGetApp(), nullptr, nullptr));
}

TEST(RuntimeClasses, KindsAndDowncasts) {
    CDialog dialog;
    CWnd* window = &dialog;
    // clang-format off
    struct Case { const char* label; BOOL result; BOOL expected; };
    const Case cases[] = {
        {"dialog is a dialog", dialog.IsKindOf(RUNTIME_CLASS(CDialog)), TRUE},
        {"dialog is a window", dialog.IsKindOf(RUNTIME_CLASS(CWnd)), TRUE},
        {"dialog is an object", dialog.IsKindOf(RUNTIME_CLASS(CObject)), TRUE},
        {"dialog is not a static", dialog.IsKindOf(RUNTIME_CLASS(CStatic)), FALSE},
        {"window class is not serialisable", dialog.IsSerializable(), FALSE},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(c.result, c.expected) << c.label;
    EXPECT_EQ(std::tuple(DYNAMIC_DOWNCAST(CDialog, window), DYNAMIC_DOWNCAST(CStatic, window)),
              std::tuple(&dialog, nullptr));
    EXPECT_STREQ(dialog.GetRuntimeClass()->m_lpszClassName, "CDialog");
}

TEST(Exceptions, StatusCodesAndDeletion) {
    // clang-format off
    struct Case { const char* label; void (*raise)(); SCODE expected; };
    const Case cases[] = {
        {"memory", [] { AfxThrowMemoryException(); }, E_OUTOFMEMORY},
        {"memory again", [] { AfxThrowMemoryException(); }, E_OUTOFMEMORY},
        {"OLE", [] { AfxThrowOleException(STG_E_ACCESSDENIED); }, STG_E_ACCESSDENIED},
        {"invalid argument", [] { AfxThrowInvalidArgException(); }, E_INVALIDARG},
        {"user", [] { AfxThrowUserException(); }, E_UNEXPECTED},
    };
    // clang-format on
    std::vector<CException*> raised;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SCODE code = S_OK;
        try {
            c.raise();
        } catch (CException* exception) {
            code = COleException::Process(exception);
            raised.push_back(exception);
            exception->Delete();
        }
        EXPECT_EQ(code, c.expected);
    }
    // The memory exception is preallocated: Delete keeps it for the next time.
    ASSERT_EQ(raised.size(), std::size(cases));
    CException* const memory = raised[0];
    EXPECT_EQ(std::tuple(raised[1], memory->m_bAutoDelete), std::tuple(memory, FALSE));
    char text[64] = {};
    EXPECT_TRUE(memory->GetErrorMessage(text, sizeof text));
    EXPECT_STREQ(text, "Out of memory.");
}

TEST(Paths, FileNameAndRoot) {
    // clang-format off
    struct NameCase { const char* path; const char* name; };
    const NameCase names[] = {{"C:\\dir1\\dir2\\file.txt", "file.txt"},
                              {"C:file.txt", "file.txt"},
                              {"dir/sub/name", "name"},
                              {"plain", "plain"},
                              {"C:\\dir\\", ""}};
    // clang-format on
    for (const NameCase& c : names) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(AfxGetFileName(c.path, nullptr, 0), strlen(c.name) + 1);
        char buffer[MAX_PATH] = "x";
        EXPECT_EQ(AfxGetFileName(c.path, buffer, sizeof buffer), 0u);
        EXPECT_STREQ(buffer, c.name);
    }
    char small[4] = {};
    AfxGetFileName("C:\\longname.txt", small, sizeof small);
    EXPECT_STREQ(small, "lon");

    // clang-format off
    struct RootCase { const char* path; const char* root; };
    const RootCase roots[] = {{"C:\\dir\\file.txt", "C:\\"},
                              {"\\\\server\\share\\dir\\file", "\\\\server\\share\\"},
                              {"\\\\server\\share", "\\\\server\\share"},
                              {"C:", "C:"}};
    // clang-format on
    for (const RootCase& c : roots) {
        SCOPED_TRACE(c.path);
        CString root;
        AfxGetRoot(c.path, root);
        EXPECT_STREQ(root, c.root);
    }
}

TEST(ComSupport, BstrConversionsRoundTripThroughTheAnsiCodePage) {
    // clang-format off
    struct Case { const char* narrow; const wchar_t* wide; };
    const Case cases[] = {{"", L""},
                          {"Ledger", L"Ledger"},
                          {"Gr\xfc\xdf"
                           "e \x80",
                           L"Gr\u00fc\u00dfe \u20ac"}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.narrow);
        BSTR wide = _com_util::ConvertStringToBSTR(c.narrow);
        ASSERT_NE(wide, nullptr);
        EXPECT_STREQ(wide, c.wide);
        EXPECT_EQ(SysStringLen(wide), wcslen(c.wide));
        char* narrow = _com_util::ConvertBSTRToString(wide);
        EXPECT_STREQ(narrow, c.narrow);
        delete[] narrow;
        SysFreeString(wide);
        const _bstr_t text(c.narrow);
        EXPECT_STREQ(static_cast<const wchar_t*>(text), c.wide);
        EXPECT_STREQ(static_cast<const char*>(text), c.narrow);
    }
    EXPECT_EQ(_com_util::ConvertStringToBSTR(nullptr), nullptr);
    EXPECT_EQ(_com_util::ConvertBSTRToString(nullptr), nullptr);
}

} // namespace

// Raises an error the way comutil.h's own users do (this file does not include comdef.h,
// so the library's _com_issue_error is the one called).
void issueComErrorThroughComutil(HRESULT hr) {
    _com_issue_error(hr);
}
