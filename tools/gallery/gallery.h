// Shared parts of the gallery: waiting with the thread's messages running, a dialog
// procedure that handles nothing, and the customer card with its pages.
#pragma once

#include <windows.h>

namespace gallery {

// Runs the thread's messages for the given time.
void pumpFor(DWORD milliseconds);

// A dialog procedure that handles no message: the dialog manager's defaults do it all.
INT_PTR CALLBACK quietProcedure(HWND, UINT, WPARAM, LPARAM);

// How long each window stays up (milliseconds).
DWORD closeAfter();

// How the micro-scroll controls beside the first edit field of a page look.
enum class ScrollLook { Raised, Pressed, Disabled };

// The customer card on page 0 (address, a DIALOG template) or 1 (terms, a DIALOGEX
// template), up for closeAfter().
void showCustomerCard(int page, ScrollLook look);

// A progress box embedded in the year-end closing window, at 40 %.
void showEmbeddedProgress();

// The progress boxes of the zip clients while a backup archive is made and extracted.
void showZipProgress();
void showUnzipProgress();

} // namespace gallery
