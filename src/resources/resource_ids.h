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

// ---------------------------------------------------------------------------------------
// Application dialogs: log-in, change of password and file protection
// ---------------------------------------------------------------------------------------
#define IDD_LOGIN 2129
#define IDC_LOGIN_ICON 1003
#define IDC_LOGIN_USER_ID 1004
#define IDC_LOGIN_PASSWORD 1005
#define IDD_CHANGE_PASSWORD 2151
#define IDC_NEW_PASSWORD 1060
#define IDC_CONFIRM_PASSWORD 1061
#define IDD_PROTECTION 2148
#define IDC_ENFORCE_PROTECTION 1059
// The Help button of these dialogs carries the framework's help command.
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

// ---------------------------------------------------------------------------------------
// Application dialogs: new tax code, copy of the mapping and grouping structure
// ---------------------------------------------------------------------------------------
#define IDD_TAX_CODE 129
#define IDC_TAX_CODE 1000
#define IDC_TAX_DESCRIPTION 1001
#define IDD_COPY_MAP 131
#define IDC_COPY_MAP_ICON 1007
#define IDC_COPY_MAP_APPEND 1008
#define IDC_COPY_MAP_REPLACE 1009
// The template names the application's icon 150; the dialog replaces it when it starts.
#define IDI_COPY_MAP 150

// ---------------------------------------------------------------------------------------
// Folder selection: the legacy directory dialog (the common dialog's old-style template,
// with the control ids of <dlgs.h>) and the browser's default prompt
// ---------------------------------------------------------------------------------------
#define IDD_LEGACY_DIRECTORY 1536
#define IDS_SELECT_FOLDER 57
