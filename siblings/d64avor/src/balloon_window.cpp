// A balloon is a WS_POPUP of the launching thread with a window region in the shape of a
// rounded body and a tail. It never takes the activation (WS_EX_NOACTIVATE, answers
// MA_NOACTIVATE), so the user keeps working where they were. Closing on clicks and keys
// "anywhere in the thread" is done by one WH_GETMESSAGE hook per thread, installed while
// the thread has balloons: it sees every input message the thread's loops take from the
// queue (real input and posted alike), and asks the balloons that want it to close.
#include "balloon_window.h"

#include "../include/d64avor_windows.h"
#include "balloon_layout.h"
#include "module.h"

#include <support/gdi_resources.h>

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace d64avor {

using support::PaintDC;
using support::SelectedObject;
using support::UniqueFont;
using support::UniquePen;
using support::UniqueRegion;
using support::WindowDC;

namespace {

constexpr UINT_PTR kTimeoutTimerId = 1;
constexpr int kCloseButtonSize = 14;
constexpr int kCloseCrossInset = 3;
constexpr int kCloseCrossThickness = 2;
constexpr DWORD kBalloonStyle = WS_POPUP;
constexpr DWORD kBalloonExtendedStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
constexpr UINT kContentFormat = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
constexpr UINT kTitleFormat = DT_SINGLELINE | DT_NOPREFIX;

// ---------------------------------------------------------------------------------------
// The thread's balloons and its input hook
// ---------------------------------------------------------------------------------------

struct ThreadBalloons {
    std::vector<HWND> windows;
    support::UniqueHook inputHook;
};

thread_local ThreadBalloons t_balloons;

// The option bit that names the input message, or 0.
unsigned closingOptionFor(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        return BalloonOption::closeOnLeftButton;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONDBLCLK:
        return BalloonOption::closeOnMiddleButton;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONDBLCLK:
        return BalloonOption::closeOnRightButton;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return BalloonOption::closeOnKeyPress;
    default:
        return 0;
    }
}

LRESULT CALLBACK inputHook(int code, WPARAM removal, LPARAM lParam) {
    // A message only looked at (PM_NOREMOVE) comes again when it is taken.
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (const unsigned option = closingOptionFor(message->message); option != 0) {
            for (HWND balloon : t_balloons.windows) {
                const auto options =
                    static_cast<unsigned>(SendMessageW(balloon, D64AVOR_BALLOON_GETOPTIONS, 0, 0));
                if (options & option)
                    PostMessageW(balloon, WM_CLOSE, 0, 0);
            }
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

void registerThreadBalloon(HWND balloon) {
    t_balloons.windows.push_back(balloon);
    if (!t_balloons.inputHook)
        t_balloons.inputHook.reset(
            SetWindowsHookExW(WH_GETMESSAGE, &inputHook, nullptr, GetCurrentThreadId()));
}

void unregisterThreadBalloon(HWND balloon) {
    std::erase(t_balloons.windows, balloon);
    if (t_balloons.windows.empty())
        t_balloons.inputHook.reset();
}

void closeThreadBalloons() {
    const std::vector<HWND> earlier = t_balloons.windows;
    for (HWND balloon : earlier)
        DestroyWindow(balloon);
}

// ---------------------------------------------------------------------------------------
// Fonts and measuring
// ---------------------------------------------------------------------------------------

LOGFONTW messageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return metrics.lfMessageFont;
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    return font;
}

struct BalloonFonts {
    UniqueFont title;
    UniqueFont content;
};

BalloonFonts createFonts() {
    LOGFONTW font = messageFont();
    BalloonFonts fonts;
    fonts.content.reset(CreateFontIndirectW(&font));
    font.lfWeight = FW_BOLD;
    fonts.title.reset(CreateFontIndirectW(&font));
    return fonts;
}

void drawText(HDC dc, HFONT font, const std::wstring& text, RECT rect, UINT format) {
    if (text.empty())
        return;
    SelectedObject selected(dc, font);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

// A cross in the text colour, drawn with lines so that it needs no symbol font.
void drawCloseButton(HDC dc, const RECT& button) {
    UniquePen pen(CreatePen(PS_SOLID, kCloseCrossThickness, GetSysColor(COLOR_INFOTEXT)));
    SelectedObject selected(dc, pen.get());
    const RECT cross{button.left + kCloseCrossInset, button.top + kCloseCrossInset,
                     button.right - kCloseCrossInset, button.bottom - kCloseCrossInset};
    MoveToEx(dc, cross.left, cross.top, nullptr);
    LineTo(dc, cross.right, cross.bottom);
    MoveToEx(dc, cross.right - 1, cross.top, nullptr);
    LineTo(dc, cross.left - 1, cross.bottom);
}

SIZE measureText(HDC dc, HFONT font, const std::wstring& text, UINT format, int maximumWidth) {
    if (text.empty())
        return {};
    SelectedObject selected(dc, font);
    RECT bounds{0, 0, maximumWidth, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, format | DT_CALCRECT);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

// ---------------------------------------------------------------------------------------
// Placement
// ---------------------------------------------------------------------------------------

// The quadrant that exactly one forcing bit names; none for no bit or several.
std::optional<Quadrant> forcedQuadrant(unsigned options) {
    constexpr std::array<std::pair<unsigned, Quadrant>, 4> kForcing{{
        {BalloonOption::forceBottomRight, Quadrant::bottomRight},
        {BalloonOption::forceBottomLeft, Quadrant::bottomLeft},
        {BalloonOption::forceTopRight, Quadrant::topRight},
        {BalloonOption::forceTopLeft, Quadrant::topLeft},
    }};
    std::optional<Quadrant> forced;
    for (const auto& [bit, quadrant] : kForcing) {
        if (!(options & bit))
            continue;
        if (forced)
            return std::nullopt;
        forced = quadrant;
    }
    return forced;
}

RECT workAreaAt(POINT point) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

bool fitsIn(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

Quadrant chooseQuadrant(const BalloonContentSizes& sizes, const RECT& anchor, unsigned options) {
    if (const auto forced = forcedQuadrant(options))
        return *forced;
    constexpr std::array kPreference{Quadrant::bottomRight, Quadrant::bottomLeft,
                                     Quadrant::topRight, Quadrant::topLeft};
    for (const Quadrant quadrant : kPreference) {
        const POINT point = anchorPoint(anchor, quadrant);
        if (fitsIn(placeBalloon(layOutBalloon(sizes, quadrant), point), workAreaAt(point)))
            return quadrant;
    }
    return kPreference.front();
}

// A rectangle of no size at a point.
RECT pointRect(POINT point) {
    return RECT{point.x, point.y, point.x, point.y};
}

RECT effectiveAnchor(const BalloonRequest& request) {
    if (request.anchor)
        return *request.anchor;
    if (request.parent != nullptr) {
        RECT window{};
        GetWindowRect(request.parent, &window);
        return pointRect(POINT{(window.left + window.right) / 2, (window.top + window.bottom) / 2});
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    return pointRect(cursor);
}

// ---------------------------------------------------------------------------------------
// The balloon window
// ---------------------------------------------------------------------------------------

class Balloon {
public:
    explicit Balloon(const BalloonRequest& request)
        : title_(request.title), content_(request.content), icon_(request.icon),
          options_(request.options), callback_(request.callback),
          callbackData_(request.callbackData), fonts_(createFonts()) {}

    // Makes and shows the window; the object then belongs to it.
    static HWND create(std::unique_ptr<Balloon> balloon, const BalloonRequest& request);

private:
    static const wchar_t* registerClass();
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    BalloonContentSizes measure() const;
    [[nodiscard]] UniqueRegion shape() const;
    void paint();
    void draw(HDC dc) const;
    void onLeftButtonDown(POINT point);
    void onNcDestroy();
    LRESULT copyContent(size_t capacity, wchar_t* buffer) const;
    LRESULT copyCloseButton(RECT* rect) const;

    HWND window_ = nullptr;
    std::wstring title_;
    std::wstring content_;
    HICON icon_;
    unsigned options_;
    BalloonCallback callback_;
    unsigned long long callbackData_;
    BalloonFonts fonts_;
    BalloonLayout layout_;
    bool created_ = false; // CreateWindowExW has returned the window
};

const wchar_t* Balloon::registerClass() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DROPSHADOW;
        windowClass.lpfnWndProc = &Balloon::windowProcedure;
        windowClass.hInstance = moduleInstance();
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = D64AVOR_BALLOON_CLASS;
        RegisterClassExW(&windowClass);
    });
    return D64AVOR_BALLOON_CLASS;
}

BalloonContentSizes Balloon::measure() const {
    BalloonContentSizes sizes;
    WindowDC screen(nullptr);
    sizes.title = measureText(screen.get(), fonts_.title.get(), title_, kTitleFormat, 0);
    sizes.content = measureText(screen.get(), fonts_.content.get(), content_, kContentFormat,
                                BalloonMetrics::maximumContentWidth);
    if (icon_ != nullptr)
        sizes.icon = SIZE{GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
    if (options_ & BalloonOption::showCloseButton)
        sizes.closeButton = SIZE{kCloseButtonSize, kCloseButtonSize};
    return sizes;
}

HWND Balloon::create(std::unique_ptr<Balloon> balloon, const BalloonRequest& request) {
    const BalloonContentSizes sizes = balloon->measure();
    const RECT anchor = effectiveAnchor(request);
    const Quadrant quadrant = chooseQuadrant(sizes, anchor, request.options);
    balloon->layout_ = layOutBalloon(sizes, quadrant);
    const RECT placed = placeBalloon(balloon->layout_, anchorPoint(anchor, quadrant));
    HWND owner = request.parent != nullptr ? GetAncestor(request.parent, GA_ROOT) : nullptr;

    HWND window = CreateWindowExW(kBalloonExtendedStyle, registerClass(), balloon->title_.c_str(),
                                  kBalloonStyle, placed.left, placed.top,
                                  placed.right - placed.left, placed.bottom - placed.top, owner,
                                  nullptr, moduleInstance(), balloon.get());
    if (window == nullptr)
        return nullptr;                   // a window that failed on the way did not take the object
    Balloon* created = balloon.release(); // the window owns it now, until WM_NCDESTROY
    created->created_ = true;
    if (UniqueRegion region = created->shape(); SetWindowRgn(window, region.get(), FALSE))
        (void)region.release(); // the system owns the region now
    registerThreadBalloon(window);
    if (request.timeoutMilliseconds != 0)
        SetTimer(window, kTimeoutTimerId, request.timeoutMilliseconds, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

UniqueRegion Balloon::shape() const {
    const RECT& body = layout_.body;
    // Region edges are exclusive on the right and bottom; one more keeps the frame inside.
    UniqueRegion region(CreateRoundRectRgn(body.left, body.top, body.right + 1, body.bottom + 1,
                                           BalloonMetrics::cornerDiameter,
                                           BalloonMetrics::cornerDiameter));
    UniqueRegion tail(CreatePolygonRgn(layout_.tail, 3, WINDING));
    if (region && tail)
        CombineRgn(region.get(), region.get(), tail.get(), RGN_OR);
    return region;
}

void Balloon::paint() {
    PaintDC paint(window_);
    draw(paint.get());
}

void Balloon::draw(HDC dc) const {
    if (UniqueRegion outline = shape()) {
        FillRgn(dc, outline.get(), GetSysColorBrush(COLOR_INFOBK));
        FrameRgn(dc, outline.get(), GetSysColorBrush(COLOR_WINDOWFRAME), 1, 1);
    }
    if (icon_ != nullptr)
        DrawIconEx(dc, layout_.icon.left, layout_.icon.top, icon_,
                   layout_.icon.right - layout_.icon.left, layout_.icon.bottom - layout_.icon.top,
                   0, nullptr, DI_NORMAL);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    drawText(dc, fonts_.title.get(), title_, layout_.title, kTitleFormat);
    drawText(dc, fonts_.content.get(), content_, layout_.content, kContentFormat);
    if (options_ & BalloonOption::showCloseButton)
        drawCloseButton(dc, layout_.closeButton);
}

void Balloon::onLeftButtonDown(POINT point) {
    if ((options_ & BalloonOption::showCloseButton) && PtInRect(&layout_.closeButton, point))
        PostMessageW(window_, WM_CLOSE, 0, 0);
}

void Balloon::onNcDestroy() {
    unregisterThreadBalloon(window_);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    if (!created_)
        return; // still CreateWindowExW's failure: the launcher keeps the object
    if (callback_ != nullptr)
        callback_(callbackData_);
    delete this;
}

LRESULT Balloon::copyContent(size_t capacity, wchar_t* buffer) const {
    if (buffer == nullptr || capacity == 0)
        return static_cast<LRESULT>(content_.size());
    const size_t copied = std::min(capacity - 1, content_.size());
    std::copy_n(content_.c_str(), copied, buffer);
    buffer[copied] = L'\0';
    return static_cast<LRESULT>(copied);
}

LRESULT Balloon::copyCloseButton(RECT* rect) const {
    const bool shown = (options_ & BalloonOption::showCloseButton) != 0;
    if (rect != nullptr)
        *rect = shown ? layout_.closeButton : RECT{};
    return shown;
}

LRESULT Balloon::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_PRINTCLIENT:
        draw(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1; // WM_PAINT fills the whole shape
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
        onLeftButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_TIMER:
        if (wParam != kTimeoutTimerId)
            break;
        KillTimer(window_, kTimeoutTimerId);
        DestroyWindow(window_);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL)
            break;
        DestroyWindow(window_);
        return 0;
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(icon_);
    case D64AVOR_BALLOON_GETCONTENT:
        return copyContent(wParam, reinterpret_cast<wchar_t*>(lParam));
    case D64AVOR_BALLOON_GETCLOSEBUTTON:
        return copyCloseButton(reinterpret_cast<RECT*>(lParam));
    case D64AVOR_BALLOON_GETOPTIONS:
        return static_cast<LRESULT>(options_);
    case WM_NCDESTROY:
        onNcDestroy();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK Balloon::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* balloon =
            static_cast<Balloon*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        balloon->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(balloon));
    }
    auto* balloon = reinterpret_cast<Balloon*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (balloon == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return balloon->handle(message, wParam, lParam);
}

} // namespace

HWND launchBalloon(const BalloonRequest& request) {
    closeThreadBalloons();
    return Balloon::create(std::make_unique<Balloon>(request), request);
}

} // namespace d64avor
