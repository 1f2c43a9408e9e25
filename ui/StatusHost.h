// What the settings view and its pages may ask of the window that hosts them: the texts of
// its status bar. The main frame implements it; nothing in ui/ knows the frame itself.
#pragma once

#include <windows.h>

class IStatusHost {
public:
    // The first pane: the caption of the page shown.
    virtual void SetStatusText(LPCSTR text) = 0;
    // The second pane: the device count, redrawn at once.
    virtual void SetDeviceCountText(LPCSTR text) = 0;

protected:
    ~IStatusHost() = default;
};

// The status host of the application's main window, or null when there is none.
IStatusHost* GetStatusHost();
