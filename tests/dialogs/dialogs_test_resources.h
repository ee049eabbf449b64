// Ids of the dialog templates and controls the dialog-page tests bring with them.
#pragma once

// The host dialog and its controls.
#define IDD_HOST 100
#define IDC_BEFORE 1001
#define IDC_ANCHOR 1002
#define IDC_AFTER 1003

// The same page in both forms.
#define IDD_PAGE_CLASSIC 200
#define IDD_PAGE_EXTENDED 201
#define IDC_LABEL 2001
#define IDC_NAME 2002
#define IDC_CODE 2003
#define IDC_LIST 2004
#define IDC_COMBO 2005
#define IDC_ICON 2006
#define IDC_BUTTON 2007
#define IDC_SCROLL 2008

// Headers of every kind, each with one item.
#define IDD_HEADER_CLASSIC_NAMES 300
#define IDD_HEADER_CLASSIC_NUMBERS 301
#define IDD_HEADER_CLASSIC_FIXEDSYS 302
#define IDD_HEADER_CLASSIC_SHELLFONT 303
#define IDD_HEADER_EXTENDED_NAMES 304
#define IDD_HEADER_EXTENDED_NUMBERS 305
#define IDD_HEADER_EXTENDED_FIXEDSYS 306
#define IDD_HEADER_EXTENDED_SHELLFONT 307
#define IDC_ONLY 3001

// Templates that cannot be created whole, or read at all.
#define IDD_NO_ITEMS 400
#define IDD_UNKNOWN_CLASS_THIRD 401
#define IDD_ORDINAL_0086_THIRD 402
#define IDD_LONG_TEXT 403
#define IDD_LONG_CLASS 404
#define IDD_CUT_SHORT 405
#define IDD_NO_LAST_PADDING 406
#define IDD_CREATION_DATA 407
#define IDD_EXTENDED_IDS 408

// Six small pages for the sections.
#define IDD_SMALL_PAGE_1 501
#define IDD_SMALL_PAGE_2 502
#define IDD_SMALL_PAGE_3 503
#define IDD_SMALL_PAGE_4 504
#define IDD_SMALL_PAGE_5 505
#define IDD_SMALL_PAGE_6 506
#define IDC_SMALL_EDIT 5001
