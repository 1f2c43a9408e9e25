// The driver's device-interface class, whose arrival and removal broadcasts tell the control
// panel that the driver came or went, and the name under which a stand-in driver, which
// cannot see the system's registrations, finds the windows that asked for them.
#pragma once

#include <windows.h>

#include <string>

// The driver's device-interface class {5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0}.
extern const GUID KVX_USB_INTERFACE_CLASS;

// The window property that marks a registered window: "KvxUsbInterfaceNotify:" and the
// stand-in's pipe name, so that a stand-in serving another pipe (another test program's)
// leaves the window alone.
std::string DriverInterfaceMark();
// Whether a property name is such a mark, for any pipe.
bool IsDriverInterfaceMark(const char* propertyName);
