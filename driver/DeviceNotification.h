// Arrival and removal notices of the driver's device-interface class for a window. The
// registration is the system's; the window is also marked so that a stand-in driver, which
// cannot see the system's registrations, finds it and sends the same notices.
#pragma once

#include <windows.h>

#include <string>

// The driver's device-interface class {5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0}.
extern const GUID KVX_USB_INTERFACE_CLASS;

// The window property that marks a registered window: "KvxUsbInterfaceNotify:" and the
// stand-in's pipe name, so that a stand-in serving another pipe (another test program's)
// leaves the window alone.
std::string DriverInterfaceMark();

// RegisterDeviceNotificationA for the class, to this window; null if the system refused.
// The window is marked in either case.
HDEVNOTIFY RegisterDriverInterfaceNotification(HWND window);
// Ends the registration (notification may be null) and removes the mark.
void UnregisterDriverInterfaceNotification(HWND window, HDEVNOTIFY notification);
