// The micro-scroll control: window class "MicroScroll", two arrows that step an unsigned
// 16-bit position through a range and report each step to a notify window.
//
// A press on an arrow takes one step at once, captures the mouse and starts the delay
// timer; when it fires, the repeat timer takes one step every 50 ms until the button is
// released, the mode is cancelled or another window takes the capture. While the pointer
// is outside the held arrow the repeat pauses and the arrow is drawn raised.
#include "micro_scroll.h"

#include <windowsx.h>

#include <optional>

namespace z64::dialogs {
namespace {

constexpr char kClassName[] = "MicroScroll";
constexpr UINT kClassStyle = CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
constexpr int kWindowExtraBytes = sizeof(MICROSCROLLDATA*);
constexpr INT_PTR kBackgroundBrush = COLOR_BTNTEXT + 1;

constexpr UINT_PTR kDelayTimer = 500;
constexpr UINT kDelayMilliseconds = 400;
constexpr UINT_PTR kRepeatTimer = 501;
constexpr UINT kRepeatMilliseconds = 50;

constexpr WORD kDefaultMin = 0, kDefaultMax = 9, kDefaultPos = 5;
constexpr WORD kUnreadableField = 0xFFFF;
constexpr WORD kCodeFirstArrow = SB_LINEUP, kCodeSecondArrow = SB_LINEDOWN;
constexpr WORD kCodeSet = SB_THUMBTRACK;
constexpr LRESULT kRefused = -1;

ATOM g_microScrollAtom = 0;

MICROSCROLLDATA* dataOf(HWND window) {
    return reinterpret_cast<MICROSCROLLDATA*>(GetWindowLongPtrA(window, 0));
}

// A 32-bit result, sign-extended as the control's callers read it.
LRESULT result32(DWORD value) {
    return static_cast<LRESULT>(static_cast<LONG>(value));
}

WORD middleOf(WORD low, WORD high) {
    return static_cast<WORD>((static_cast<unsigned>(low) + high) / 2);
}

struct Range {
    WORD min, max, pos;
};

// "min,max,pos": decimal fields read modulo 65536; a field with another character reads
// 65535 and stops the reading there. Nothing when the text ends before the third field.
std::optional<Range> parseRangeText(const char* text) {
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    WORD fields[3] = {};
    const char* cursor = text;
    for (int index = 0; index < 3; ++index) {
        if (index > 0 && *cursor == '\0')
            return std::nullopt;
        unsigned value = 0;
        while (*cursor != '\0' && *cursor != ',') {
            if (*cursor < '0' || *cursor > '9') {
                value = kUnreadableField;
                break;
            }
            value = (value * 10 + static_cast<unsigned>(*cursor - '0')) & 0xFFFF;
            ++cursor;
        }
        fields[index] = static_cast<WORD>(value);
        if (*cursor == ',')
            ++cursor;
    }
    Range range{fields[0], fields[1], fields[2]};
    if (range.pos < range.min || range.pos > range.max)
        range.pos = middleOf(range.min, range.max);
    return range;
}

void sendCommand(HWND window, HWND target, WORD code) {
    const auto id = static_cast<WORD>(GetWindowLongPtrA(window, GWLP_ID));
    SendMessageA(target, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(window));
}

void sendScroll(HWND window, const MICROSCROLLDATA& data, WORD code) {
    SendMessageA(data.hwndNotify, isVertical(data) ? WM_VSCROLL : WM_HSCROLL,
                 MAKEWPARAM(code, data.wPos), reinterpret_cast<LPARAM>(window));
}

RECT arrowHalf(HWND window, const MICROSCROLLDATA& data, bool first) {
    RECT half{};
    GetClientRect(window, &half);
    if (isVertical(data)) {
        const int middle = half.bottom / 2;
        (first ? half.bottom : half.top) = first ? middle + 1 : middle;
    } else {
        const int middle = half.right / 2;
        (first ? half.right : half.left) = first ? middle + 1 : middle;
    }
    return half;
}

void repaintHalf(HWND window, const MICROSCROLLDATA& data, bool first) {
    const RECT half = arrowHalf(window, data, first);
    InvalidateRect(window, &half, TRUE);
    UpdateWindow(window);
}

void repaintAll(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

// One step of the arrow: toward wMin for the first arrow, toward wMax for the second (the
// other way round when reversed). At the bound the position stays, and the message is sent
// again unless the control stops at its limits.
void step(HWND window, MICROSCROLLDATA& data, bool first) {
    const bool increase = first == ((data.dwStyle & MSCS_REVERSED) != 0);
    const bool atLimit = increase ? data.wPos >= data.wMax : data.wPos <= data.wMin;
    if (atLimit && (data.dwStyle & MSCS_STOPATLIMIT) != 0)
        return;
    if (!atLimit)
        data.wPos = static_cast<WORD>(increase ? data.wPos + 1 : data.wPos - 1);
    sendScroll(window, data, first ? kCodeFirstArrow : kCodeSecondArrow);
}

bool heldArrow(const MICROSCROLLDATA& data, bool& first) {
    first = (data.wState & kScrollFirstHeld) != 0;
    return (data.wState & (kScrollFirstHeld | kScrollSecondHeld)) != 0;
}

void killTimers(HWND window) {
    KillTimer(window, kDelayTimer);
    KillTimer(window, kRepeatTimer);
}

// Ends a hold without a button-up: the mode was cancelled or the capture went elsewhere.
void endHold(HWND window, MICROSCROLLDATA& data) {
    data.wState &=
        static_cast<WORD>(~(kScrollFirstHeld | kScrollSecondHeld | kScrollPointerOutside));
    killTimers(window);
}

void onCreate(HWND window, MICROSCROLLDATA& data, const CREATESTRUCTA& create) {
    data.hwndNotify = GetParent(window);
    data.dwStyle = static_cast<DWORD>(create.style);
    if ((data.dwStyle & MSCS_VERTICAL) != 0)
        data.dwStyle &= ~static_cast<DWORD>(MSCS_HORIZONTAL);
    Range range{kDefaultMin, kDefaultMax, kDefaultPos};
    if ((data.dwStyle & MSCS_TEXTRANGE) != 0)
        range = parseRangeText(create.lpszName).value_or(range);
    data.wMin = range.min;
    data.wMax = range.max;
    data.wPos = range.pos;
    data.wState = 0;
    for (COLORREF& colour : data.rgColor)
        colour = kScrollDefaultColour;
}

void onButtonDown(HWND window, MICROSCROLLDATA& data, LPARAM position) {
    RECT client{};
    GetClientRect(window, &client);
    const bool second = isVertical(data) ? GET_Y_LPARAM(position) > client.bottom / 2
                                         : GET_X_LPARAM(position) > client.right / 2;
    data.wState &=
        static_cast<WORD>(~(kScrollFirstHeld | kScrollSecondHeld | kScrollPointerOutside));
    data.wState |= second ? kScrollSecondHeld : kScrollFirstHeld;
    repaintHalf(window, data, !second);
    step(window, data, !second);
    SetCapture(window);
    SetTimer(window, kDelayTimer, kDelayMilliseconds, nullptr);
}

void onTimer(HWND window, MICROSCROLLDATA& data, UINT_PTR timer) {
    if (timer != kDelayTimer && timer != kRepeatTimer)
        return;
    bool first = false;
    if (!heldArrow(data, first)) {
        killTimers(window);
        return;
    }
    if (timer == kDelayTimer) {
        KillTimer(window, kDelayTimer);
        SetTimer(window, kRepeatTimer, kRepeatMilliseconds, nullptr);
    }
    if ((data.wState & kScrollPointerOutside) == 0)
        step(window, data, first);
}

void onMouseMove(HWND window, MICROSCROLLDATA& data, LPARAM position) {
    bool first = false;
    if (!heldArrow(data, first))
        return;
    const RECT half = arrowHalf(window, data, first);
    const POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    const WORD before = data.wState;
    if (PtInRect(&half, point))
        data.wState &= static_cast<WORD>(~kScrollPointerOutside);
    else
        data.wState |= kScrollPointerOutside;
    if (data.wState != before)
        repaintHalf(window, data, first);
}

void onButtonUp(HWND window, MICROSCROLLDATA& data) {
    bool first = false;
    const bool held = heldArrow(data, first);
    // The flags go before ReleaseCapture, whose WM_CAPTURECHANGED arrives at once.
    data.wState &=
        static_cast<WORD>(~(kScrollFirstHeld | kScrollSecondHeld | kScrollPointerOutside));
    killTimers(window);
    ReleaseCapture();
    if (held)
        if (MICROSCROLLDATA* still = dataOf(window))
            repaintHalf(window, *still, first);
}

LRESULT setNotifyWindow(HWND window, MICROSCROLLDATA& data, WPARAM wParam) {
    HWND next = reinterpret_cast<HWND>(wParam);
    if (!IsWindow(next))
        return kRefused;
    HWND previous = data.hwndNotify;
    sendCommand(window, previous, MSCN_NOTIFYLOST);
    if (MICROSCROLLDATA* still = dataOf(window)) {
        still->hwndNotify = next;
        sendCommand(window, next, MSCN_NOTIFYGAINED);
    }
    return reinterpret_cast<LRESULT>(previous);
}

LRESULT setRange(HWND window, MICROSCROLLDATA& data, LPARAM lParam) {
    const WORD min = LOWORD(lParam), max = HIWORD(lParam);
    if (min >= max)
        return kRefused;
    const DWORD previous = MAKELONG(data.wMin, data.wMax);
    sendCommand(window, data.hwndNotify, MSCN_RANGECHANGING);
    MICROSCROLLDATA* still = dataOf(window);
    if (still == nullptr)
        return result32(previous);
    still->wMin = min;
    still->wMax = max;
    if (still->wPos <= min || still->wPos >= max) {
        still->wPos = middleOf(min, max);
        sendScroll(window, *still, kCodeSet);
    }
    return result32(previous);
}

LRESULT setPosition(HWND window, MICROSCROLLDATA& data, WPARAM wParam) {
    if (wParam < data.wMin || wParam > data.wMax)
        return kRefused;
    const WORD previous = data.wPos;
    data.wPos = static_cast<WORD>(wParam);
    sendScroll(window, data, kCodeSet);
    return previous;
}

LRESULT setStyleFlag(MICROSCROLLDATA& data, DWORD flag, WPARAM wParam) {
    const bool previous = (data.dwStyle & flag) != 0;
    if (static_cast<DWORD>(wParam) != 0)
        data.dwStyle |= flag;
    else
        data.dwStyle &= ~flag;
    return previous ? 1 : 0;
}

LRESULT setColour(HWND window, MICROSCROLLDATA& data, WPARAM slot, LPARAM colour) {
    if (slot >= kScrollColourSlots)
        return 0;
    const COLORREF previous = data.rgColor[slot];
    data.rgColor[slot] = static_cast<COLORREF>(colour);
    repaintAll(window);
    return result32(previous);
}

LRESULT controlMessage(HWND window, MICROSCROLLDATA& data, UINT message, WPARAM wParam,
                       LPARAM lParam) {
    switch (message) {
    case MSCM_SETNOTIFYWND:
        return setNotifyWindow(window, data, wParam);
    case MSCM_GETNOTIFYWND:
        return reinterpret_cast<LRESULT>(data.hwndNotify);
    case MSCM_SETRANGE:
        return setRange(window, data, lParam);
    case MSCM_GETRANGE:
        return result32(MAKELONG(data.wMin, data.wMax));
    case MSCM_SETPOS:
        return setPosition(window, data, wParam);
    case MSCM_GETPOS:
        return data.wPos;
    case MSCM_SETSTOPATLIMIT:
        return setStyleFlag(data, MSCS_STOPATLIMIT, wParam);
    case MSCM_GETSTOPATLIMIT:
        return data.dwStyle & MSCS_STOPATLIMIT;
    case MSCM_SETREVERSED:
        return setStyleFlag(data, MSCS_REVERSED, wParam);
    case MSCM_GETREVERSED:
        return data.dwStyle & MSCS_REVERSED;
    case MSCM_SETCOLOR:
        return setColour(window, data, wParam, lParam);
    case MSCM_GETCOLOR:
        return wParam < kScrollColourSlots ? result32(data.rgColor[wParam]) : 0;
    default:
        return 0;
    }
}

LRESULT windowMessage(HWND window, MICROSCROLLDATA& data, UINT message, WPARAM wParam,
                      LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        onCreate(window, data, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        onButtonDown(window, data, lParam);
        return 0;
    case WM_TIMER:
        onTimer(window, data, wParam);
        return 0;
    case WM_MOUSEMOVE:
        onMouseMove(window, data, lParam);
        return 0;
    case WM_LBUTTONUP:
        onButtonUp(window, data);
        return 0;
    case WM_CANCELMODE:
        endHold(window, data);
        ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window)
            endHold(window, data);
        return 0;
    case WM_ENABLE:
        if (wParam == 0)
            data.wState |= kScrollDisabled;
        else
            data.wState &= static_cast<WORD>(~kScrollDisabled);
        repaintAll(window);
        return 0;
    case WM_SHOWWINDOW:
    case WM_ERASEBKGND:
        return 0;
    case WM_PAINT:
        paintMicroScroll(window, data);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, 0, 0);
        LocalFree(&data);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK microScrollProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        void* data = LocalAlloc(LMEM_ZEROINIT, sizeof(MICROSCROLLDATA));
        if (data == nullptr)
            return FALSE;
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(data));
        return TRUE;
    }
    MICROSCROLLDATA* data = dataOf(window);
    if (data == nullptr) // before WM_NCCREATE or after WM_NCDESTROY
        return message < WM_USER ? DefWindowProcA(window, message, wParam, lParam) : 0;
    if (message >= WM_USER)
        return controlMessage(window, *data, message, wParam, lParam);
    return windowMessage(window, *data, message, wParam, lParam);
}

} // namespace
} // namespace z64::dialogs

extern "C" int FRegisterControl(HINSTANCE instance) {
    using namespace z64::dialogs;
    if (g_microScrollAtom != 0)
        return g_microScrollAtom;
    WNDCLASSA windowClass{};
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = microScrollProcedure;
    windowClass.cbWndExtra = kWindowExtraBytes;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(kBackgroundBrush);
    windowClass.lpszClassName = kClassName;
    g_microScrollAtom = RegisterClassA(&windowClass);
    return g_microScrollAtom;
}
