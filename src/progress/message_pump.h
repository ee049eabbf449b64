// The one way the library lets the application's messages run while an operation is in
// progress: the shell state bracket around a pump of the messages below WM_USER.
#pragma once

#include <windows.h>

namespace z64::progress {

// Calls the shell's "saveste" when constructed and its "restste" when destroyed, both
// from "x64TRSHELL.dll" when the application has loaded it and it offers both. Nothing is
// cached: the exports are looked up on every bracket, and "restste" again at the close,
// so a shell unloaded by a dispatched message is never called into. The library never
// loads the shell.
class ShellStateBracket {
public:
    ShellStateBracket();
    ~ShellStateBracket();
    ShellStateBracket(const ShellStateBracket&) = delete;
    ShellStateBracket& operator=(const ShellStateBracket&) = delete;

private:
    bool saved_ = false;
};

// The last message number the pump takes: everything below WM_USER.
inline constexpr UINT kLastPumpedMessage = WM_USER - 1;

// Translates and dispatches the calling thread's pending messages below WM_USER until
// there is none or mayGoOn() answers false (checked before each message). WM_QUIT is put
// back into the queue with its exit code and ends the pump, so that the application's
// own loop still sees it.
template <typename MayGoOn>
void pumpPendingMessages(MayGoOn mayGoOn) {
    MSG message{};
    while (mayGoOn() && PeekMessageA(&message, nullptr, 0, kLastPumpedMessage, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

inline void pumpPendingMessages() {
    pumpPendingMessages([] { return true; });
}

} // namespace z64::progress
