// The windows of d64avor.dll as other code sees them: window classes, private messages and
// control ids. Plain Win32, so that it can be used without the framework.
#pragma once

#include <windows.h>

// The window class of balloon tips and the private messages they answer. A balloon is a top-level
// popup of the thread that launched it, owned by the top-level window of its parent (so it goes
// with it), shown without activation. Its window text is the title; the content is read with
// D64AVOR_BALLOON_GETCONTENT and the standard icon with WM_GETICON. WM_PRINTCLIENT draws the
// balloon into the device context given, as WM_PAINT draws it on the screen.
#define D64AVOR_BALLOON_CLASS L"D64AvorBalloon"
// wParam: size of the buffer in wide characters (with the terminator); lParam: the buffer
// (wchar_t*), or null to ask for the length. Answers the content's length in characters.
#define D64AVOR_BALLOON_GETCONTENT (WM_USER + 1)
// lParam: RECT* that receives the close button's rectangle in client coordinates. Answers
// TRUE when the balloon shows a close button (the rectangle is empty otherwise).
#define D64AVOR_BALLOON_GETCLOSEBUTTON (WM_USER + 2)
// Answers the options the balloon was launched with.
#define D64AVOR_BALLOON_GETOPTIONS (WM_USER + 3)

// The window class of dock frames; the ids of the status area's controls.
#define D64AVOR_DOCK_FRAME_CLASS "D64AvorDockFrame"
#define D64AVOR_DOCK_FRAME_PROGRESS_ID 0xE801 // progress bar (msctls_progress32)
#define D64AVOR_DOCK_FRAME_STATUS_ID 0xE802   // status text ("position of upper bound")
