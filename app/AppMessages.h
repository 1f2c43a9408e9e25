// Private messages of the main frame. Plain defines, like the resource ids.
#pragma once

#include <windows.h>

// Posted by a second start with -asio to the running instance's main frame.
#define WM_SHOW_ASIO_SETTINGS (WM_APP + 1)
// Sent by the shell for the tray icon; wParam is the icon id, lParam the mouse message.
#define WM_TRAY_NOTIFY (WM_APP + 3)
// Posted to itself at creation: the tray icon is added once the window has been shown.
#define WM_ADD_TRAY_ICON (WM_APP + 4)

// The main frame's own window class. With the title, it is how -exit and a second start find
// the running instance: a box of the panel never has this class, whatever its caption.
#define KVX_MAIN_FRAME_CLASS "KvxUsbControlPanelFrame"
