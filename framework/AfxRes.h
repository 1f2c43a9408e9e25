// Resource and command ids the framework itself uses. Only #define lines, so that a .rc
// script can include this file (res/resource.h includes it; do not redefine these there).
#pragma once

#ifndef AFX_IDS_APP_TITLE
#define AFX_IDS_APP_TITLE 57344 // application name (CWinApp::m_pszAppName)
#endif
#ifndef AFX_IDS_IDLEMESSAGE
#define AFX_IDS_IDLEMESSAGE 57345 // "Ready": the frame's idle text in status pane 0
#endif
#ifndef AFX_IDP_FAILED_TO_CREATE_DOC
#define AFX_IDP_FAILED_TO_CREATE_DOC 61700 // "Failed to create empty document."
#endif

#ifndef AFX_IDW_STATUS_BAR
#define AFX_IDW_STATUS_BAR 0xE801 // child id by which a frame finds its status bar
#endif
#ifndef AFX_IDW_PANE_FIRST
#define AFX_IDW_PANE_FIRST 0xE900 // child id of a frame's view
#endif

#ifndef ID_SEPARATOR
#define ID_SEPARATOR 0
#endif
#ifndef ID_FILE_NEW
#define ID_FILE_NEW 57600
#endif
#ifndef ID_FILE_OPEN
#define ID_FILE_OPEN 57601
#endif
#ifndef ID_APP_ABOUT
#define ID_APP_ABOUT 57664
#endif
#ifndef ID_APP_EXIT
#define ID_APP_EXIT 57665 // CWinApp: sends WM_CLOSE to the main window
#endif
