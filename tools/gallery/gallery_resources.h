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
