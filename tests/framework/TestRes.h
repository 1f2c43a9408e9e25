// Resource ids of the framework tests.
#pragma once

#include "AfxRes.h"

#define IDD_DDX 200
#define IDD_FORM 201
#define IDD_PAGE 202
#define IDR_TESTFRAME 300
#define IDS_LONG 400

#define IDC_TEXT 1001
#define IDC_NUMBER 1002
#define IDC_CHECK 1003
#define IDC_RADIO1 1004
#define IDC_RADIO2 1005
#define IDC_RADIO3 1006
#define IDC_OTHER_RADIO 1007
#define IDC_SLIDER 1008
#define IDC_LIST 1009
#define IDC_TREE 1010
#define IDC_COMBO 1011

#define IDC_FORM_TREE 1020
#define IDC_FORM_EDIT 1021
#define IDC_PAGE_EDIT 1030
#define IDC_PAGE_BUTTON 1031

#define ID_TEST_CLOSE 32771
#define ID_TEST_VIEW_FRAME_APP 32780
#define ID_TEST_FRAME_APP 32781
#define ID_TEST_APP 32782
#define ID_TEST_NOBODY 32783
#define ID_TEST_DOC 32784
