// The application's private window messages and command ids, shared by the frame, the
// view, the notification thread's owner and the resource script. Plain defines, so the
// resource compiler can read this file too.
#pragma once

#ifndef WM_APP
#include <windows.h>
#endif

// Posted by a second start with -asio to the running instance's main frame.
#define WM_SHOW_ASIO_SETTINGS (WM_APP + 1)
// Posted by the notification thread to the settings view: drain the driver's change records.
#define WM_DRIVER_NOTIFY (WM_APP + 2)
// Sent by the shell for the tray icon; wParam is the icon id, lParam the mouse message.
#define WM_TRAY_NOTIFY (WM_APP + 3)

#define ID_APP_HIDE 32771 // File "Close": hide the window
#define ID_APP_OPEN 32772 // tray "Open": show and raise the window
#define ID_APP_QUIT 32773 // tray "Quit" and a start with -exit: post ID_APP_EXIT

// ID_APP_ABOUT (57664) and ID_APP_EXIT (57665) are the framework's, in AfxRes.h.
