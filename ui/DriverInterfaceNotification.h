// A window's registration for the arrival and removal broadcasts of the driver's
// device-interface class. The window is also marked (DriverInterfaceMark) so that a stand-in
// driver, which cannot see the system's registrations, finds it and sends the same notices.
#pragma once

#include <windows.h>
#include <dbt.h>

#include "ScopedHandle.h"

// The filter handed to RegisterDeviceNotificationA: the driver's interface class, no name.
DEV_BROADCAST_DEVICEINTERFACE_A DriverInterfaceFilter();

class CDriverInterfaceNotification {
public:
    CDriverInterfaceNotification() = default;
    ~CDriverInterfaceNotification() { Unregister(); }
    CDriverInterfaceNotification(const CDriverInterfaceNotification&) = delete;
    CDriverInterfaceNotification& operator=(const CDriverInterfaceNotification&) = delete;

    // Registers the window, ending an earlier registration first (a second one would deliver
    // every broadcast twice). The window is marked either way; false when the system refused.
    bool Register(HWND window);
    // Ends the registration and removes the window's marks; nothing when none is held.
    void Unregister();
    bool IsRegistered() const { return bool(m_hNotify); }

private:
    HWND m_hWnd = nullptr;
    CDeviceNotifyHandle m_hNotify;
};
