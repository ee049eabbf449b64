// Ids of the layout check's test template.
#pragma once

#define IDD_LAYOUT_FAULTS 100
#define IDC_WRAPPED_CUT 101
#define IDC_FITS 102
#define IDC_LINE_CUT 103
#define IDC_PREFIXES_FIT 104
#define IDC_BUTTON_CUT 105
#define IDC_CHECK_CUT 106
#define IDC_ELLIPSIS 107
#define IDC_OUTSIDE 108
#define IDC_EDIT_UNDER 109
#define IDC_EDIT_OVER 110
#define IDC_HIDDEN 111
#define IDC_GROUP 112
#define IDC_GROUP_MEMBER 113
