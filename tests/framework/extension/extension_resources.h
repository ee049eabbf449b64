/* Resources that exist only in the test extension library. */
#ifndef FRAMEWORK_TEST_EXTENSION_RESOURCES_H
#define FRAMEWORK_TEST_EXTENSION_RESOURCES_H

#define IDD_EXTENSION_ONLY 7301
#define IDS_EXTENSION_ONLY 7302
#define IDC_EXTENSION_BUTTON 7303

#endif
