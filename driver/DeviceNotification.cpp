#include "DeviceNotification.h"

#include <dbt.h>

const GUID KVX_USB_INTERFACE_CLASS = {
    0x5D2A8C31, 0x7E4B, 0x4f90, {0xB3, 0xA6, 0xC1, 0x8E, 0x27, 0xD4, 0xF5, 0xA0}};

HDEVNOTIFY RegisterDriverInterfaceNotification(HWND window)
{
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = KVX_USB_INTERFACE_CLASS;
    HDEVNOTIFY notification =
        RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    SetPropA(window, KVX_USB_INTERFACE_NOTIFY_PROPERTY, reinterpret_cast<HANDLE>(1));
    return notification;
}

void UnregisterDriverInterfaceNotification(HWND window, HDEVNOTIFY notification)
{
    if (notification)
        UnregisterDeviceNotification(notification);
    if (window)
        RemovePropA(window, KVX_USB_INTERFACE_NOTIFY_PROPERTY);
}
