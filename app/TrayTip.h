// The tray icon's tip: the panel's name and what it knows of the driver. It is what a mouse
// pointer shows over the icon and what a screen reader speaks when the icon has the focus.
#pragma once

#include <cstddef>
#include <string>

#include "ConnectionState.h"

// Room for text in the tip field of the notification-icon record, less its terminator.
constexpr size_t kTrayTipMaxChars = 127;

// "<name>: 2 devices connected" (or "1 device", "no device"), "<name>: driver closed",
// "<name>: driver not responding". The name is cut, on a character's boundary, so that the
// whole fits kTrayTipMaxChars; what it says of the driver is kept whole.
// What the drop-out watch tells, when given, follows the driver's state after ", " and is
// kept whole as well.
std::string TrayTipText(const std::string& panelName, size_t devices, CConnectionState state,
                        const std::string& dropOuts = std::string());
