// Ids of the gallery's own dialog templates: a customer card whose pages switch from a
// list box.
#pragma once

#define IDD_CUSTOMER_CARD 100
#define IDC_PAGE_LIST 1001
#define IDC_PAGE_ANCHOR 1002

#define IDD_PAGE_ADDRESS 200
#define IDD_PAGE_TERMS 201
#define IDC_NAME 2001
#define IDC_CODE 2002
#define IDC_CITY 2003
#define IDC_GROUP 2004
#define IDC_DETAILS 2005

// The year-end closing window with a progress box embedded in it.
#define IDD_YEAR_END 300
#define IDC_YEAR_END_ANCHOR 3001
#define IDD_EMBEDDED_PROGRESS 301

// The application's captions of the zip clients' progress boxes.
#define IDS_ZIP_CAPTION 12
#define IDS_UNZIP_CAPTION 13
