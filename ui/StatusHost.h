// What the settings view and its pages may ask of the window that hosts them: the texts of
// its status bar and what its tray icon tells. The main frame implements it; nothing in ui/
// knows the frame itself.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "ConnectionState.h"

class IStatusHost {
public:
    // The first pane: the caption of the page shown.
    virtual void SetStatusText(LPCSTR text) = 0;
    // The number of connected devices: the second pane, redrawn at once, and the tray icon's tip.
    virtual void SetDeviceCount(size_t devices) = 0;
    // The driver's state changed, or may have: the tray icon's tip follows.
    virtual void SetConnectionState(CConnectionState state) = 0;
    // What the drop-out watch tells in the tray icon's tip ("5 drop-outs since 13:40"); empty
    // while it is off.
    virtual void SetDropOutTip(const std::string& text) = 0;
    // A balloon from the tray icon with the drop-outs counted.
    virtual void ShowDropOutBalloon(const std::string& text) = 0;

protected:
    ~IStatusHost() = default;
};

// The status host of the application's main window, or null when there is none.
IStatusHost* GetStatusHost();
