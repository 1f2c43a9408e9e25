// Resource ids of the control panel. Read by the resource compiler and by C++. The
// framework's own texts and commands come from AfxRes.h, so that no value exists twice.
#pragma once

#include "AfxRes.h"

// Menu commands of the main frame.
#define ID_APP_HIDE 32771 // File "Close": hide the window
#define ID_APP_OPEN 32772 // tray "Open": show and raise the window
#define ID_APP_QUIT 32773 // tray "Quit" and a start with -exit: post ID_APP_EXIT
// ID_APP_ABOUT (57664) and ID_APP_EXIT (57665) are the framework's, in AfxRes.h.

// Frame: menu, application icon and document-template string share one id.
#define IDR_MAINFRAME 128
#define IDR_TRAYMENU 151

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_KVX_USB_CPL_FORM 101
#define IDD_PAGE_ASIO_SETTINGS 103
#define IDD_PAGE_DEVICES 104
#define IDD_PAGE_CHANNELS 105
#define IDD_PAGE_SYNC 148
#define IDD_DEVICE_NAME_EDIT 137
#define IDD_CHANNEL_NAME_EDIT 138

// Tree icons, in image-list order.
#define IDI_INTERFACE 130
#define IDI_DEVICES 131
#define IDI_SETTINGS 132
#define IDI_JACK 135
#define IDI_XLR 136
#define IDI_CLOCK 146
// Their high-contrast drawings, and the application icon's: one colour on transparent, drawn
// in the system's text colour under a high-contrast scheme.
#define IDI_MAINFRAME_HC 228
#define IDI_INTERFACE_HC 230
#define IDI_DEVICES_HC 231
#define IDI_SETTINGS_HC 232
#define IDI_JACK_HC 235
#define IDI_XLR_HC 236
#define IDI_CLOCK_HC 246

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Controls. Pages keep their own ids in their own range (from 1200 on).
#define IDC_PAGE_TREE 1100
#define IDC_ABOUT_TEXT 1101
#define IDC_PAGE_SEPARATOR 1102
#define IDC_ABOUT_ICON 1103

// Buffer settings page.
#define IDC_STREAM_SLIDER 1200
#define IDC_STREAM_VALUE 1201
#define IDC_STREAM_APPLY 1202
#define IDC_ASIO_CAPTION 1203
#define IDC_ASIO_SLIDER 1204
#define IDC_ASIO_VALUE 1205
#define IDC_ASIO_APPLY 1206
#define IDC_WDM_SLIDER 1207
#define IDC_WDM_VALUE 1208
#define IDC_WDM_APPLY 1209
#define IDC_DROPOUTS 1210
#define IDC_DROPOUT_WATCH 1211
#define IDC_DROPOUT_LAST 1212
#define IDC_DROPOUT_SINCE 1213
#define IDC_DROPOUT_RESET 1214
#define IDC_DROPOUT_GRAPH_LABEL 1215
#define IDC_DROPOUT_GRAPH 1216
#define IDC_DROPOUT_COPY 1217

// Devices page.
#define IDC_DEVICE_LIST 1220
#define IDC_DEVICE_UP 1221
#define IDC_DEVICE_DOWN 1222
#define IDC_DEVICE_APPLY 1223
#define IDC_DEVICE_EDIT_NAME 1224
#define IDC_DEVICE_HELP 1225

// Channels pages.
#define IDC_CHANNEL_LIST 1240
#define IDC_CHANNEL_HW_LABEL 1241
#define IDC_CHANNEL_HW_NAME 1242
#define IDC_CHANNEL_EDIT_NAME 1243
#define IDC_CHANNEL_ASIO_NAMES 1244

// The name dialogs.
#define IDC_NAME_EDIT 1280

// Synchronisation page.
#define IDC_MODE_AUTOMATIC 1260
#define IDC_MODE_MANUAL 1261
#define IDC_MODE_APPLY 1262
#define IDC_RATE_LIST 1263
#define IDC_RATE_APPLY 1264
#define IDC_SOURCE_LIST 1265
#define IDC_SOURCE_APPLY 1266
#define IDC_MASTER_GROUP 1267
#define IDC_MASTER_PC 1268
#define IDC_MASTER_DEVICE 1269
#define IDC_MASTER_APPLY 1270

// Captions of the settings view's tree items (also the status-bar text of their pages).
#define IDS_PAGE_DEVICES 61205
#define IDS_PAGE_SETTINGS 61206
#define IDS_PAGE_INPUT_CHANNELS 61207
#define IDS_PAGE_OUTPUT_CHANNELS 61208
#define IDS_PAGE_SYNCHRONISATION 61243

// Texts of the pages.
#define IDS_DEVICES_CONNECTED 61209
#define IDS_DRIVER_NOT_RESPONDING 61290
#define IDS_COLUMN_DEVICE_NAME 61210
#define IDS_COLUMN_SERIAL_NUMBER 61211
#define IDS_COLUMN_CHANNEL_NAME 61212
#define IDS_COLUMN_ASIO_NAME 61213
#define IDS_ERROR_CAPTION 61214
#define IDS_RATE_REFUSED_STREAMING 61215
#define IDS_RATE_REFUSED 61216
#define IDS_SOURCE_REFUSED_STREAMING 61217
#define IDS_SOURCE_REFUSED 61218
#define IDS_ASIO_ROUNDING_NOTE 61219
#define IDS_SAMPLES 61224
#define IDS_MS 61225
#define IDS_DEVICE_RANKING_HELP 61226

// Titles of the family: only the model B title is used, as window title, the start of the
// tray tip, with the frame's class the key by which a second start finds the running
// instance, and in the about box.
#define IDS_TITLE_MODEL_A 61234
#define IDS_MAIN_TITLE 61261
#define IDS_TITLE_MODEL_C 61262
#define IDS_TITLE_MODEL_D 61263

// Settings profiles: the File and tray menu commands, the recent profiles of the tray's
// submenu (one command each, from the first), the plan and result dialog and its texts.
#define ID_FILE_SAVE_SETTINGS 32780
#define ID_FILE_LOAD_SETTINGS 32781
#define ID_PROFILE_RECENT_FIRST 32790
#define ID_PROFILE_RECENT_LAST 32799
#define IDR_PROFILEMENU 152
#define IDD_PROFILE_RESULTS 160
#define IDC_PROFILE_LIST 1300
#define IDC_PROFILE_SUMMARY 1301
#define IDC_PROFILE_REASON 1302
#define IDC_PROFILE_HIDE_UNCHANGED 1303
#define IDD_PROFILE_NOTES 161
#define IDC_PROFILE_NOTES 1304
#define IDS_PROFILE_FILTER 61300
#define IDS_PROFILE_EXTENSION 61301
#define IDS_PROFILE_PLAN_CAPTION 61302
#define IDS_PROFILE_RESULT_CAPTION 61303
#define IDS_PROFILE_LOAD 61304
#define IDS_PROFILE_CLOSE 61305
#define IDS_PROFILE_COLUMN_SETTING 61306
#define IDS_PROFILE_COLUMN_CURRENT 61307
#define IDS_PROFILE_COLUMN_NEW 61308
#define IDS_PROFILE_COLUMN_RESULT 61309
#define IDS_PROFILE_SUBMENU 61310
#define IDS_PROFILE_INVALID 61311
#define IDS_PROFILE_SAVE_FAILED 61312
#define IDS_PROFILE_GONE 61313
#define IDS_PROFILE_NOT_READ 61314
#define IDS_PROFILE_NOTHING_TO_SAVE 61315
#define IDS_PROFILE_UNREACHABLE 61316
#define IDS_PROFILE_NOT_READ_MANY 61317

// What a screen reader hears: the names of the Apply buttons, each naming its group, the
// channel list's label on each channel page, and the labels of controls without a text.
#define IDS_APPLY_STREAM_DEPTH 61400
#define IDS_APPLY_ASIO_DEPTH 61401
#define IDS_APPLY_WDM_DEPTH 61402
#define IDS_APPLY_RANKING 61403
#define IDS_APPLY_MODE 61404
#define IDS_APPLY_RATE 61405
#define IDS_APPLY_SOURCE 61406
#define IDS_APPLY_MASTER 61407
#define IDS_INPUT_CHANNELS_LABEL 61408
#define IDS_OUTPUT_CHANNELS_LABEL 61409
#define IDS_NAME_CONTROL_BYTE 61410
#define IDS_NAME_CONTROL_BYTE_CAPTION 61411
#define IDC_PAGE_TREE_LABEL 1104
#define IDC_DEVICE_LIST_LABEL 1226
#define IDC_CHANNEL_LIST_LABEL 1245
#define IDC_RATE_LABEL 1271
#define IDC_SOURCE_LABEL 1272
#define IDC_PROFILE_LIST_LABEL 1305
#define IDC_PROFILE_REASON_LABEL 1306
#define IDC_PROFILE_NOTES_LABEL 1307

// How a change the user asked for ended when the driver did not take it, and its subjects.
#define IDS_WRITE_NOT_SENT 61420
#define IDS_WRITE_REFUSED 61421
#define IDS_WRITE_NO_ANSWER 61422
#define IDS_SUBJECT_RANKING 61423
#define IDS_SUBJECT_DEVICE_NAME 61424
#define IDS_SUBJECT_CHANNEL_NAME 61425
#define IDS_SUBJECT_NAME_OPTION 61426
#define IDS_SUBJECT_SOURCE 61427
#define IDS_SUBJECT_RATE 61428
#define IDS_SUBJECT_STREAM_DEPTH 61429
#define IDS_SUBJECT_ASIO_DEPTH 61430
#define IDS_SUBJECT_WDM_DEPTH 61431
#define IDS_RESTART_FAILED 61432

// The shell around the panel: the caption of the settings profiles' message boxes (never the
// main window's title, by which another start finds the running instance), and the tray
// icon's tip after the title.
#define IDS_PROFILE_BOX_CAPTION 61340
#define IDS_TRAY_NO_DEVICE 61341
#define IDS_TRAY_ONE_DEVICE 61342
#define IDS_TRAY_DEVICES 61343
#define IDS_TRAY_DRIVER_CLOSED 61344
#define IDS_TRAY_NOT_RESPONDING 61345
// The drop-out watch: the tray menu's option, the balloon's title, the names of the history's
// buttons.
#define ID_APP_WATCH_DROPOUTS 32774
#define IDS_DROPOUT_BALLOON_TITLE 61346
#define IDS_DROPOUT_RESET_NAME 61347
#define IDS_DROPOUT_COPY_NAME 61348
