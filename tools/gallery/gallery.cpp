// gallery.exe: opens one window of the library in a representative state, with the texts
// an application would show, prints where it is on screen and closes it by itself, so that
// it can be photographed from a script.
//
//   gallery --list                 the names of the windows, one a line
//   gallery [--close-after MS] NAME   shows the window NAME for MS milliseconds (3000)
//   gallery --check                the layout check of every template and window (check.h);
//                                  the exit code is 1 when it found a fault
//
// Once the window is up, a line "NAME LEFT TOP WIDTH HEIGHT" (screen pixels) is printed.
#include "gallery.h"

#include "check.h"

#include <afxwin.h>
#include <z64eveze.h>

#include <support/unique_resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace gallery {
namespace {

constexpr DWORD kDefaultCloseAfter = 3000;
// The window is activated this long after it was opened (or sooner for short runs), and
// reported when its paint has settled.
constexpr DWORD kReportAfter = 700;
constexpr DWORD kSettleTime = 300;

// How long each window stays up during the layout check; it is checked halfway.
constexpr DWORD kCheckCloseAfter = 600;

struct Options {
    std::string name;
    DWORD closeAfter = kDefaultCloseAfter;
    bool check = false;
};
Options options;

HWND mainWindowHandle() {
    CWnd* main = AfxGetApp()->m_pMainWnd;
    return main != nullptr ? main->GetSafeHwnd() : nullptr;
}

// The topmost visible window of this thread other than the main window: the one shown.
HWND shownWindow() {
    for (HWND window = GetTopWindow(nullptr); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (window != mainWindowHandle() && IsWindowVisible(window) &&
            GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
            return window;
    }
    return nullptr;
}

// Prints the line "NAME LEFT TOP WIDTH HEIGHT" for `window` (zeros for none).
void printPlacement(HWND window) {
    RECT rect{};
    if (window != nullptr)
        GetWindowRect(window, &rect);
    std::printf("%s %ld %ld %ld %ld\n", options.name.c_str(), rect.left, rect.top,
                rect.right - rect.left, rect.bottom - rect.top);
    std::fflush(stdout);
}

void redrawWhole(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// Prints where the shown window is, once its last paint has had time to reach the screen.
void CALLBACK reportShownWindow(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    printPlacement(shownWindow());
}

// Makes the shown window the active, foreground one and draws it whole, as it would be
// after a click on it. Under Wine's X11 driver a modal box whose owner is hidden becomes
// the foreground window but keeps an inactive caption (the caption follows the last
// WM_NCACTIVATE, not the foreground), so the activation is also told to its frame.
void CALLBACK activateShownWindow(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND window = shownWindow(); window != nullptr) {
        SetForegroundWindow(window);
        SendMessageA(window, WM_NCACTIVATE, TRUE, 0);
        redrawWhole(window);
    }
    SetTimer(nullptr, 0, kSettleTime, reportShownWindow);
}

// Ends the modal window on top as if its Cancel button was pressed. The command serves
// every kind the gallery shows: the library's message boxes end on any command, the
// framework's dialogs run a modal loop of their own that ends on their Cancel command (not
// on EndDialog), and the shell's folder browser and the old-style file dialog end on it.
void CALLBACK cancelShownWindow(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND window = shownWindow(); window != nullptr)
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
}

void cancelLater() {
    SetTimer(nullptr, 0, options.closeAfter, cancelShownWindow);
}

void askQuestion(const char* text) {
    cancelLater();
    QVMessageBox(mainWindowHandle(), text, "Harbour Ledger", MB_YESNO);
}

void showQuestion() {
    askQuestion("{Y}Save the changes to the customer card before closing it?");
}
void showYesToAll() {
    askQuestion("{Y*}The file \"Invoices 2026.dat\" exists already. Replace it?");
}
void showYesToAllCancel() {
    askQuestion("{Y*C}The file \"Invoices 2026.dat\" exists already. Replace it?");
}
void showNoToAll() {
    askQuestion("{YN*}Invoice 1043 is already posted. Post it again?");
}
void showNoToAllCancel() {
    askQuestion("{YN*C}Invoice 1043 is already posted. Post it again?");
}

void showBalloon() {
    RECT anchor{40, 60, 240, 80};
    MapWindowPoints(mainWindowHandle(), nullptr, reinterpret_cast<POINT*>(&anchor), 2);
    QVSetBalloonMessagePosition(mainWindowHandle(), &anchor, 3);
    QVMessageBox(mainWindowHandle(),
                 "{OI}The company file was saved to the backup folder. You can go on working "
                 "while the copy is checked.",
                 "Backup Complete", MB_OK);
    pumpFor(options.closeAfter);
    if (HWND balloon = shownWindow(); balloon != nullptr)
        DestroyWindow(balloon);
    QVClearBalloonMessage();
}

void showProgress() {
    ProgressDialogInitOverWrite("Backing Up Company File", "Copying the general ledger...",
                                "Cancel", 100);
    ProgressDialogPos(40);
    pumpFor(options.closeAfter);
    ProgressDialogDelete();
}

void showImportStatus() {
    ProgressDialogInit("Importing Bank Statement", "Reading the statement...", 400);
    ImportUpdateStatus(nullptr, 250, 400, "Importing Bank Statement",
                       "Matching line 250 of 400 with the open invoices");
    pumpFor(options.closeAfter);
    ProgressDialogDelete();
}

void showRecords() {
    char title[] = "Posting Invoices";
    prgRecords(title, 0);
    for (int record = 0; record < 1043; ++record)
        prgRecords(title, 1);
    pumpFor(options.closeAfter);
    prgRecords(title, 2);
}

void showAddressPage() {
    showCustomerCard(0, ScrollLook::Raised);
}
void showTermsPagePressed() {
    showCustomerCard(1, ScrollLook::Pressed);
}
void showAddressPageDisabled() {
    showCustomerCard(0, ScrollLook::Disabled);
}

// The application dialogs, filled in shortly after they come up as a user would have.
constexpr UINT kTypeAfter = 200;
constexpr char kHarbourUserId[] = "ANNA", kHarbourPassword[] = "HARBOUR8";

// A text typed into one edit of the shown dialog.
struct TypedText {
    int controlId;
    const char* text;
};
std::vector<TypedText> textsToType;

void CALLBACK typeTexts(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND dialog = shownWindow(); dialog != nullptr)
        for (const TypedText& typed : textsToType)
            SetDlgItemTextA(dialog, typed.controlId, typed.text);
}

void typeLater(std::initializer_list<TypedText> texts) {
    textsToType = texts;
    SetTimer(nullptr, 0, kTypeAfter, typeTexts);
}

void showLogIn() {
    typeLater({{1004, kHarbourUserId}, {1005, kHarbourPassword}});
    cancelLater();
    char userId[5] = {}, password[9] = {};
    LoginDialog(userId, password);
}

void showChangePassword() {
    typeLater({{1060, kHarbourPassword}, {1061, kHarbourPassword}});
    cancelLater();
    char newPassword[9] = {}, confirmation[9] = {};
    SetPassDialog(newPassword, confirmation);
}

void showProtection() {
    cancelLater();
    int enforce = 1;
    PassOptDialog(&enforce);
}

void showTaxCode() {
    typeLater({{1001, "Reduced rate, food and books"}});
    cancelLater();
    char description[80] = {};
    callTaxCodeDlg("VAT7", description);
}

void showCopyMap() {
    cancelLater();
    callCopyMapDlg();
}

// The folder picker's window depends on the system version the process reports: the
// browser from 4.0 to 6.0, the legacy directory dialog before 4.0. These exhibits therefore
// show their window in a copy of this program, gallery-VERSION.exe, whose reported version
// is set under HKCU\Software\Wine\AppDefaults (Wine reads it for new processes). The copy
// runs the same exhibit and shows the picker, its own output discarded; this process waits
// for the copy's window and reports it (the browser takes longer to come up than the usual
// report waits). This process's own report never comes: it ends before it pumps messages.
constexpr DWORD kCopyWindowWait = 15000;
constexpr DWORD kCopyPollInterval = 50;

bool reportsVersionBelow(BYTE major) {
    return LOBYTE(LOWORD(GetVersion())) < major;
}

// A visible top-level window of the process, or null.
HWND visibleWindowOf(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& wanted = *reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != wanted.processId || !IsWindowVisible(window))
                return TRUE;
            wanted.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void reportWindowOf(HANDLE child, DWORD processId) {
    for (DWORD waited = 0; waited < kCopyWindowWait; waited += kCopyPollInterval) {
        if (WaitForSingleObject(child, kCopyPollInterval) == WAIT_OBJECT_0)
            return;
        HWND window = visibleWindowOf(processId);
        if (window == nullptr)
            continue;
        Sleep(kReportAfter); // its first paint
        SetForegroundWindow(window);
        Sleep(kCopyPollInterval);
        redrawWhole(window);
        printPlacement(window);
        return;
    }
}

void runInCopy(const char* version) {
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string copy = program;
    copy.resize(copy.rfind('\\') + 1);
    const std::string copyName = std::string("gallery-") + version + ".exe";
    copy += copyName;
    if (!CopyFileA(program, copy.c_str(), FALSE))
        return;
    support::UniqueRegistryKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + copyName).c_str(), 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) == ERROR_SUCCESS)
        RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(std::strlen(version) + 1));
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const support::UniqueFile discarded(
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = discarded.get();
    startup.hStdError = discarded.get();
    std::string commandLine =
        "\"" + copy + "\" --close-after " + std::to_string(options.closeAfter) + " " + options.name;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &process)) {
        const support::UniqueHandle thread(process.hThread), child(process.hProcess);
        reportWindowOf(child.get(), process.dwProcessId);
        WaitForSingleObject(child.get(), INFINITE);
    }
    DeleteFileA(copy.c_str());
}

void pickFolder(BYTE belowMajor, const char* version) {
    if (!reportsVersionBelow(belowMajor)) {
        runInCopy(version);
        return;
    }
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    std::strcat(folder, "Harbour Ledger Backups");
    CreateDirectoryA(folder, nullptr);
    // Listed once, so that the folder's item lists (which carry its last access time) stay
    // the same while the browser looks for it.
    for (const std::string& listed : {std::string(folder), std::string(folder) + "\\.."}) {
        WIN32_FIND_DATAA found;
        const support::UniqueFind listing(FindFirstFileA((listed + "\\*").c_str(), &found));
    }
    // The legacy dialog shows the current directory.
    SetCurrentDirectoryA(folder);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    cancelLater();
    SelectDirFolder(AfxGetMainWnd(), folder,
                    "Choose the folder for the company's backups:", "Back Up Company File", false,
                    true, true);
    CoUninitialize();
}

void showFolderBrowser() {
    pickFolder(6, "winxp");
}
void showLegacyDirectory() {
    pickFolder(4, "nt351");
}

struct Exhibit {
    const char* name;
    void (*show)();
};
constexpr Exhibit kExhibits[] = {
    {"question", showQuestion},
    {"yes-to-all", showYesToAll},
    {"yes-to-all-cancel", showYesToAllCancel},
    {"no-to-all", showNoToAll},
    {"no-to-all-cancel", showNoToAllCancel},
    {"balloon", showBalloon},
    {"progress", showProgress},
    {"import-status", showImportStatus},
    {"records", showRecords},
    {"page-address", showAddressPage},
    {"page-terms-pressed", showTermsPagePressed},
    {"page-address-disabled", showAddressPageDisabled},
    {"progress-embedded", showEmbeddedProgress},
    {"zip", showZipProgress},
    {"unzip", showUnzipProgress},
    {"login", showLogIn},
    {"change-password", showChangePassword},
    {"protection", showProtection},
    {"tax-code", showTaxCode},
    {"copy-map", showCopyMap},
    {"folder-browser", showFolderBrowser},
    {"legacy-directory", showLegacyDirectory},
};

int layoutFaults = 0;

void CALLBACK checkShownWindowNow(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    layoutFaults += checkShownWindow(options.name.c_str(), shownWindow());
}

void checkEveryWindow() {
    layoutFaults += checkLibraryTemplates(mainWindowHandle());
    options.closeAfter = kCheckCloseAfter;
    for (const Exhibit& exhibit : kExhibits) {
        options.name = exhibit.name;
        SetTimer(nullptr, 0, kCheckCloseAfter / 2, checkShownWindowNow);
        exhibit.show();
    }
    std::printf("checked %zu windows: %d faults\n", std::size(kExhibits), layoutFaults);
}

const Exhibit* findExhibit(const std::string& name) {
    for (const Exhibit& exhibit : kExhibits)
        if (name == exhibit.name)
            return &exhibit;
    return nullptr;
}

class GalleryApplication : public CWinApp {
public:
    GalleryApplication() : CWinApp("Harbour Ledger") {}

    BOOL InitInstance() override {
        LPCSTR windowClass = AfxRegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW),
                                                 reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        if (!mainWindow_.CreateEx(0, windowClass, m_pszAppName, WS_OVERLAPPEDWINDOW, 0, 0, 640, 400,
                                  nullptr, nullptr))
            return FALSE;
        // The main window owns the windows shown but stays hidden: under Wine's X11 driver
        // without a window manager, windows over a visible one of the same thread stay
        // unpainted.
        m_pMainWnd = &mainWindow_;
        if (options.check) {
            checkEveryWindow();
        } else {
            SetTimer(nullptr, 0,
                     options.closeAfter < 2 * kReportAfter ? options.closeAfter / 2 : kReportAfter,
                     activateShownWindow);
            findExhibit(options.name)->show();
        }
        PostQuitMessage(0);
        return TRUE;
    }

    int ExitInstance() override {
        const int exitCode = layoutFaults > 0 ? 1 : CWinApp::ExitInstance();
        if (mainWindow_.GetSafeHwnd() != nullptr)
            mainWindow_.DestroyWindow();
        return exitCode;
    }

private:
    CWnd mainWindow_;
};

GalleryApplication application;

int usage() {
    std::fputs("usage: gallery --list | gallery --check | gallery [--close-after MILLISECONDS] "
               "NAME\n",
               stderr);
    return 2;
}

} // namespace

DWORD closeAfter() {
    return options.closeAfter;
}

INT_PTR CALLBACK quietProcedure(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

void pumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (LONG left = static_cast<LONG>(milliseconds); left > 0;
         left = static_cast<LONG>(end - GetTickCount())) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

} // namespace gallery

int main(int argc, char** argv) {
    using namespace gallery;
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const Exhibit& exhibit : kExhibits)
            std::puts(exhibit.name);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--check") == 0) {
        options.check = true;
        return AfxWinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
    }
    int next = 1;
    if (argc == 4 && std::strcmp(argv[1], "--close-after") == 0) {
        options.closeAfter = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
        next = 3;
    }
    if (next != argc - 1 || findExhibit(argv[next]) == nullptr)
        return usage();
    options.name = argv[next];
    return AfxWinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL);
}
