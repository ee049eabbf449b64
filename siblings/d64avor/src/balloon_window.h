// Balloon tips as windows of the launching thread: what CBalloonHelp::LaunchBalloon shows.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace d64avor {

// The option bits (CBalloonHelp's constants have these values).
struct BalloonOption {
    static constexpr unsigned closeOnLeftButton = 0x0001;
    static constexpr unsigned closeOnMiddleButton = 0x0002;
    static constexpr unsigned closeOnRightButton = 0x0004;
    static constexpr unsigned closeOnKeyPress = 0x0008;
    static constexpr unsigned showCloseButton = 0x0010;
    static constexpr unsigned forceTopLeft = 0x0100;
    static constexpr unsigned forceTopRight = 0x0200;
    static constexpr unsigned forceBottomLeft = 0x0400;
    static constexpr unsigned forceBottomRight = 0x0800;
};

using BalloonCallback = void (*)(unsigned long long);

struct BalloonRequest {
    std::wstring title;
    std::wstring content;
    std::optional<RECT> anchor; // screen coordinates
    HICON icon = nullptr;       // a shared icon, never destroyed
    unsigned options = 0;
    HWND parent = nullptr;
    unsigned timeoutMilliseconds = 0; // 0: no time-out
    BalloonCallback callback = nullptr;
    unsigned long long callbackData = 0;
};

// Closes the thread's earlier balloons and shows a new one; answers its window, or null
// when it could not be made (the callback is then not called).
HWND launchBalloon(const BalloonRequest& request);

} // namespace d64avor
