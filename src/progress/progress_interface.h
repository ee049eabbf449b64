// The plain-function progress interface's operations on a slot (the address of
// g_pProgressBox or of a caller's variable), shared by the status, record and zip
// functions.
#pragma once

#include "resources/resource_ids.h"

class CProgressBox;

namespace z64::progress {

// The library's two progress box templates.
inline constexpr unsigned int kProgressTemplateWithCancel = IDD_PROGRESS_WITH_CANCEL;
inline constexpr unsigned int kProgressTemplateWithoutCancel = IDD_PROGRESS;

// Registers the progress bar's window class (comctl32) before a box is created.
void registerProgressBarClass();
// True on the thread of the calling application's CWinApp.
[[nodiscard]] bool onApplicationThread();
// True when the settings file's "DisableProgressBar" (section "version") is non-zero.
[[nodiscard]] bool progressBarsSwitchedOff();

// Creates the slot's box (or reuses the one it holds), disabling its owner, and sets its
// texts and range. Off the application thread or with progress bars switched off nothing
// happens and the slot keeps its value. A null or empty cancel text gives a box without
// Cancel button.
void createProgressBox(CProgressBox** slot, const char* title, const char* description,
                       const char* cancelText, int range);
// Moves the slot's box to `position` and pumps messages while the slot holds a box.
void setProgressPosition(CProgressBox** slot, int position);
// Pumps messages inside the shell state bracket while the current box exists and has not
// been cancelled; answers 1 when it may still go on afterwards, else 0.
unsigned short pumpWhileCurrentBoxGoesOn();
// Deletes a box of this interface (window or not): its owner is enabled and focused again
// when it was enabled before, and the slot becomes null. Other boxes are left alone.
void destroyProgressBox(CProgressBox** slot);

} // namespace z64::progress
