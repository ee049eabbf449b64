/* Resource ids of the test host application: dialogs and strings that user-interface tests
   of any library can use. Plain defines, shared by the resource script and the tests. */
#ifndef TEST_HOST_RESOURCES_H
#define TEST_HOST_RESOURCES_H

/* A dialog with OK, Cancel and Help buttons only. */
#define IDD_HOST_PLAIN 9100
/* A data-entry dialog: two edit controls, a check box, a static text, OK and Cancel. */
#define IDD_HOST_DATA 9101
#define IDC_HOST_NAME 9110
#define IDC_HOST_CODE 9111
#define IDC_HOST_CHECK 9112
#define IDC_HOST_LABEL 9113
#define IDC_HOST_NUMBER 9114

/* An old-style file dialog template with the controls the common dialog expects. */
#define IDD_HOST_OLD_FILE 9102

#define IDS_HOST_GREETING 9120
#define IDS_HOST_APP_NAME 9121

#endif
