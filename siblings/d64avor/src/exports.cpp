// The library's plain exports: paths, balloon tips, the modal parent, control exchange and
// window update flushing, each over the Win32 code that does the work.
#include "../include/d64avor.h"

#include "balloon_window.h"
#include "long_path.h"
#include "thread_windows.h"

#include <string>

namespace {

CStringW toCString(const std::wstring& text) {
    return CStringW(text.c_str(), static_cast<int>(text.size()));
}

std::wstring widen(const char* text) {
    if (text == nullptr || *text == '\0')
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

// A standard icon (shared: never destroyed), or null.
HICON standardIcon(const char* icon) {
    return icon != nullptr ? LoadIconA(nullptr, icon) : nullptr;
}

} // namespace

CStringW MakeLongPath(const wchar_t* path) {
    return toCString(d64avor::extendedLengthPath(path));
}

CStringW MakeStgFilePath(const wchar_t* path) {
    return toCString(d64avor::storageFilePath(path));
}

using d64avor::BalloonOption;
const unsigned int CBalloonHelp::unCLOSE_ON_LBUTTON_DOWN = BalloonOption::closeOnLeftButton;
const unsigned int CBalloonHelp::unCLOSE_ON_MBUTTON_DOWN = BalloonOption::closeOnMiddleButton;
const unsigned int CBalloonHelp::unCLOSE_ON_RBUTTON_DOWN = BalloonOption::closeOnRightButton;
const unsigned int CBalloonHelp::unCLOSE_ON_KEYPRESS = BalloonOption::closeOnKeyPress;
const unsigned int CBalloonHelp::unSHOW_CLOSE_BUTTON = BalloonOption::showCloseButton;
const unsigned int CBalloonHelp::unFORCE_QUADRANT_TOPLEFT = BalloonOption::forceTopLeft;
const unsigned int CBalloonHelp::unFORCE_QUADRANT_TOPRIGHT = BalloonOption::forceTopRight;
const unsigned int CBalloonHelp::unFORCE_QUADRANT_BOTTOMLEFT = BalloonOption::forceBottomLeft;
const unsigned int CBalloonHelp::unFORCE_QUADRANT_BOTTOMRIGHT = BalloonOption::forceBottomRight;

void CBalloonHelp::LaunchBalloon(const char* title, const char* content, const tagRECT* anchor,
                                 const char* icon, unsigned int options, CWnd* parent,
                                 const char* /*url*/, unsigned int timeout,
                                 void (*callback)(unsigned __int64), unsigned __int64 callbackData,
                                 unsigned long /*reserved*/) {
    d64avor::BalloonRequest request;
    request.title = widen(title);
    request.content = widen(content);
    if (anchor != nullptr)
        request.anchor = *anchor;
    request.icon = standardIcon(icon);
    request.options = options;
    request.parent = parent->GetSafeHwnd();
    request.timeoutMilliseconds = timeout;
    request.callback = callback;
    request.callbackData = callbackData;
    d64avor::launchBalloon(request);
}

CWnd* GetModalParent() {
    return CWnd::FromHandle(d64avor::findModalParent());
}

void DDX_ControlWP(CDataExchange* pDX, int nIDC, CWnd& control) {
    ENSURE(pDX != nullptr);
    if (control.m_hWnd != nullptr)
        return; // attached on an earlier exchange
    HWND item = pDX->PrepareCtrl(nIDC);
    if (!control.SubclassWindow(item))
        AfxThrowInvalidArgException();
}

int FlushWindowUpdates() {
    return d64avor::flushThreadWindowUpdates();
}
