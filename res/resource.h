// Resource ids of the control panel. Read by the resource compiler and by C++. The private
// messages and command ids (ID_APP_*) come from AppMessages.h and the framework's own texts
// and commands from AfxRes.h, so that no value exists twice.
#pragma once

#include "AfxRes.h"
#include "AppMessages.h"

// Frame: menu, application icon and document-template string share one id.
#define IDR_MAINFRAME 128
#define IDR_TRAYMENU 151

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_KVX_USB_CPL_FORM 101

// Tree icons, in image-list order.
#define IDI_INTERFACE 130
#define IDI_DEVICES 131
#define IDI_SETTINGS 132
#define IDI_JACK 135
#define IDI_XLR 136
#define IDI_CLOCK 146

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Controls. Pages keep their own ids in their own range (from 1200 on).
#define IDC_PAGE_TREE 1100
#define IDC_ABOUT_TEXT 1101

// Captions of the settings view's tree items (also the status-bar text of their pages).
#define IDS_PAGE_DEVICES 61205
#define IDS_PAGE_SETTINGS 61206
#define IDS_PAGE_INPUT_CHANNELS 61207
#define IDS_PAGE_OUTPUT_CHANNELS 61208
#define IDS_PAGE_SYNCHRONISATION 61243

// Titles of the family: only the model B title is used, as window title, tray tip, the
// key by which a second start finds the running instance, and in the about box.
#define IDS_TITLE_MODEL_A 61234
#define IDS_MAIN_TITLE 61261
#define IDS_TITLE_MODEL_C 61262
#define IDS_TITLE_MODEL_D 61263
