// Ids of the library's own resources: dialog templates, their controls and strings. One
// header for the whole library, included by the resource script and by the code that
// loads the resources. Plain preprocessor definitions, so that the resource compiler
// reads this header as well as the C++ compiler.
#pragma once

// ---------------------------------------------------------------------------------------
// Messages: the yes-to-all and no-to-all dialogs of the message box
// ---------------------------------------------------------------------------------------
#define IDD_YESTOALL 1537
#define IDD_YESTOALL_CANCEL 1338
#define IDD_NOTOALL 1539
#define IDD_NOTOALL_CANCEL 1540
// Their controls: the icon, the message text and the two answers beside IDYES, IDNO and
// IDCANCEL (the same numbers as IDCLOSE and IDHELP).
#define IDC_MESSAGE_ICON 1400
#define IDC_MESSAGE_TEXT 1003
#ifndef IDYESTOALL
#define IDYESTOALL 8
#endif
#ifndef IDNOTOALL
#define IDNOTOALL 9
#endif

// ---------------------------------------------------------------------------------------
// Progress reporting: the progress box templates and their controls
// ---------------------------------------------------------------------------------------
#define IDD_PROGRESS_WITH_CANCEL 206
#define IDD_PROGRESS 234
#define IDC_PROGRESS_DESCRIPTION 500
#define IDC_PROGRESS_BAR 502

// ---------------------------------------------------------------------------------------
// Progress reporting: the record window, its controls and strings
// ---------------------------------------------------------------------------------------
#define IDD_PROGRESS_RECORDS 207
#define IDC_RECORDS_TITLE 500
#define IDC_RECORDS_LABEL 501
#define IDC_RECORDS_COUNT 502
#define IDS_RECORDS_DEFAULT_TITLE 55
#define IDS_RECORDS_LABEL 56
