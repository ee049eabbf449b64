/* Resource ids of the framework: command ids and the framework's own strings. Plain
   defines only, so that resource scripts can include this header. */
#ifndef Z64MFC_AFXRES_H
#define Z64MFC_AFXRES_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#define ID_HELP 0xE146
#define ID_APP_EXIT 0xE141
#define AFX_IDS_APP_TITLE 0xE000

/* Strings of the framework DLL. */
#define AFX_IDP_PARSE_INT 0xF110
#define AFX_IDP_PARSE_STRING_SIZE 0xF113
#define AFX_IDP_NO_ERROR_AVAILABLE 0xF020
#define AFX_IDS_MEMORY_EXCEPTION 0xF071
#define AFX_IDS_INVALID_ARG_EXCEPTION 0xF07B
#define AFX_IDP_INTERNAL_FAILURE 0xF108

#endif
