// The per-thread message state: every thread that uses the message functions has one
// _QVAPI_STATE, created on its first use and destroyed with the thread's framework data.
// It holds the thread's error list (texts collected instead of shown), its suppress mode
// and its balloon settings. Every operation fetches the state through GetApiThreadState()
// each time it touches a field; no state is ever shared between threads, so none is locked.
#pragma once

#include <afx.h>

struct _QVAPI_STATE : public CNoTrackObject {
    _QVAPI_STATE() = default;
    ~_QVAPI_STATE() override;
    _QVAPI_STATE(const _QVAPI_STATE&) = delete;
    _QVAPI_STATE& operator=(const _QVAPI_STATE&) = delete;

    CString* m_pErrorList = nullptr;             // owned; null until the first text is collected
    int m_nSuppressMode = 0;                     // non-zero: collect instead of showing
    int m_nBalloonMode = 0;                      // non-zero: eligible notices become balloons
    RECT m_rcBalloon = {};                       // the balloons' anchor, as the caller gave it
    HWND m_hBalloonWnd = nullptr;                // the window that owns the balloons
    unsigned int m_nBalloonOptions = 0xFFFFFFFF; // the quadrant option; all bits until set
};

// The library's holder of every thread's state; destroyed when the library unloads.
extern CThreadLocal<_QVAPI_STATE> g_apiThreadState;

// The calling thread's state, created on first use. Raises the framework's invalid-argument
// exception when no state can be had for the thread.
_QVAPI_STATE* GetApiThreadState();

namespace z64::messages {

// Appends a text to the calling thread's error list: the list is created empty on first
// use, and a line feed separates the text from what the list already holds.
void collectMessageText(const char* text);

} // namespace z64::messages
