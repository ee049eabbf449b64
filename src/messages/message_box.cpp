// QVMessageBox and its presenters: the system's message box, the library's yes/no-to-all
// dialogs, the balloon tip and the silent log; and the process-wide default caption.
#include "common/library_resources.h"
#include "integration/base_library.h"
#include "messages/api_state.h"
#include "messages/message_options.h"

#include <afxwin.h>
#include <d64avor.h>
#include <z64eveze.h>

#include <cstring>

namespace {

constexpr size_t kCaptionBufferSize = 256;
constexpr char kSilentLogTag[] = "Suppressed";
constexpr int kSilentLogLevel = 2;

} // namespace

// The caption of messages that come without one; shared by every thread, written without
// a lock (only the application's thread sets it).
char g_szDefaultCaption[kCaptionBufferSize] = "";

namespace z64::messages {

// What the yes/no-to-all dialog procedure receives as its initialisation parameter.
struct YESNOALLPARAM {
    const char* pszCaption;
    const char* pszText;
    short nDefaultId;
    HICON hIcon;
};

INT_PTR CALLBACK YesNoAllDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* param = reinterpret_cast<const YESNOALLPARAM*>(lParam);
        SetWindowTextA(hDlg, param->pszCaption);
        SetDlgItemTextA(hDlg, IDC_MESSAGE_TEXT, param->pszText);
        SendDlgItemMessageA(hDlg, IDC_MESSAGE_ICON, STM_SETIMAGE, IMAGE_ICON,
                            reinterpret_cast<LPARAM>(param->hIcon));
        SendDlgItemMessageA(hDlg, param->nDefaultId, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
        SetFocus(GetDlgItem(hDlg, param->nDefaultId));
        return FALSE;
    }
    case WM_COMMAND:
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(hDlg, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

namespace {

// Only the thread of the calling application's CWinApp shows messages, and only while the
// thread does not suppress them.
bool mayShowMessages() {
    const CWinApp* application = AfxGetModuleState()->m_pCurrentWinApp;
    return application != nullptr && application->m_nThreadID == GetCurrentThreadId() &&
           GetApiThreadState()->m_nSuppressMode == 0;
}

HWND ownerWindow(HWND hWnd) {
    HWND owner = GetActiveVisibleWnd(hWnd);
    return owner != nullptr ? owner : hWnd;
}

void logSuppressed(const char* text) {
    integration::writeBaseLog(kSilentLogTag, kSilentLogLevel, text);
}

// Everything a presenter needs to know about one message.
struct MessageCall {
    HWND hWnd;
    const char* lpCaption; // as the caller gave it
    const char* caption;   // the caption shown
    unsigned int uType;
    ReadMessage message;
    AnswerPair answers;
    int answer; // the default answer
};

int showBalloon(const MessageCall& call) {
    const BalloonText text = splitBalloonText(call.lpCaption, call.message.text);
    if (integration::isRunningInSilentMode()) {
        logSuppressed(call.message.text);
        return call.answer;
    }
    MessageBeep(MB_OK);
    const unsigned int closingOptions =
        CBalloonHelp::unCLOSE_ON_LBUTTON_DOWN | CBalloonHelp::unCLOSE_ON_KEYPRESS |
        CBalloonHelp::unSHOW_CLOSE_BUTTON | CBalloonHelp::unCLOSE_ON_RBUTTON_DOWN |
        CBalloonHelp::unCLOSE_ON_MBUTTON_DOWN;
    CBalloonHelp::LaunchBalloon(text.title.c_str(), text.body, &GetApiThreadState()->m_rcBalloon,
                                MAKEINTRESOURCEA(standardIconId(call.message.presentation.icon)),
                                GetApiThreadState()->m_nBalloonOptions | closingOptions,
                                CWnd::FromHandle(GetApiThreadState()->m_hBalloonWnd), nullptr, 0,
                                nullptr, 0, 0);
    return call.answer;
}

int present(const MessageCall& call) {
    if (GetApiThreadState()->m_nBalloonMode != 0 && takesBalloon(call.message, call.uType))
        return showBalloon(call);
    if (integration::isRunningInSilentMode()) {
        logSuppressed(call.message.text);
        return call.answer;
    }
    const int result = MessageBoxA(ownerWindow(call.hWnd), call.message.text, call.caption,
                                   presentationStyle(call.message, call.uType));
    return mapResult(result, call.message.presentation, call.answers);
}

int showYesNoAllDialog(const MessageCall& call) {
    if (integration::isRunningInSilentMode()) {
        logSuppressed(call.message.text);
        return call.answer;
    }
    const Presentation& p = call.message.presentation;
    YESNOALLPARAM param = {call.caption, call.message.text, yesNoAllDefaultId(p.defaultButton),
                           LoadIconA(nullptr, MAKEINTRESOURCEA(standardIconId(p.icon)))};
    const INT_PTR result =
        DialogBoxParamA(z64::common::libraryModule(), MAKEINTRESOURCEA(p.kind),
                        ownerWindow(call.hWnd), YesNoAllDlgProc, reinterpret_cast<LPARAM>(&param));
    return mapResult(static_cast<int>(result), p, call.answers);
}

} // namespace
} // namespace z64::messages

int QVMessageBox(HWND hWnd, const char* lpText, const char* lpCaption, unsigned int uType) {
    using namespace z64::messages;
    const bool mayShow = mayShowMessages();
    MessageCall call{hWnd,
                     lpCaption,
                     lpCaption != nullptr ? lpCaption : g_szDefaultCaption,
                     uType,
                     readMessage(lpText, uType),
                     callerAnswers(uType),
                     0};
    call.answer = defaultAnswer(call.message.presentation, call.answers);
    switch (chooseRoute(call.message, mayShow)) {
    case Route::CollectAndAnswer:
        collectMessageText(call.message.text);
        return call.answer;
    case Route::Answer:
        return call.answer;
    case Route::YesNoAllDialog:
        return showYesNoAllDialog(call);
    case Route::Present:
        return present(call);
    }
    return call.answer;
}

void QVSetDefaultMessageCaption(const char* lpCaption) {
    const std::string caption = z64::messages::leadingWholeCharacters(
        lpCaption != nullptr ? lpCaption : "", kCaptionBufferSize - 1);
    std::memcpy(g_szDefaultCaption, caption.c_str(), caption.size() + 1);
}
