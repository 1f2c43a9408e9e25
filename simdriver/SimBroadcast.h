// Device-interface arrival and removal broadcasts of the driver's interface class, sent to
// the windows registered for it (found by the mark the registration leaves on them, for
// the pipe this stand-in serves).
#pragma once

#include <windows.h>

// The interface path named in the broadcasts.
constexpr const char* SIM_INTERFACE_PATH =
    "\\\\?\\ROOT#KVXUSIM#0000#{5d2a8c31-7e4b-4f90-b3a6-c18e27d4f5a0}";

// How long one window may take to handle the message; a hung one is given up.
constexpr UINT SIM_BROADCAST_TIMEOUT_MS = 2000;

// Sends WM_DEVICECHANGE with DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE to every marked
// top-level or child window; returns how many windows handled it.
int BroadcastInterfaceChange(bool arrival);
