#include "DeviceNotification.h"

#include <dbt.h>

#include <cstring>
#include <vector>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"

const GUID KVX_USB_INTERFACE_CLASS = {
    0x5D2A8C31, 0x7E4B, 0x4f90, {0xB3, 0xA6, 0xC1, 0x8E, 0x27, 0xD4, 0xF5, 0xA0}};

namespace {

const char MARK_PREFIX[] = "KvxUsbInterfaceNotify:";

BOOL CALLBACK CollectMarks(HWND, LPSTR name, HANDLE, ULONG_PTR marks)
{
    // Properties named by atom number have no text to compare.
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) != 0 &&
        std::strncmp(name, MARK_PREFIX, sizeof MARK_PREFIX - 1) == 0)
        reinterpret_cast<std::vector<std::string>*>(marks)->push_back(name);
    return TRUE;
}

} // namespace

std::string DriverInterfaceMark()
{
    std::string pipe = StandInPipeName("\\\\.\\" KVX_USB_DEVICE_NAME);
    return MARK_PREFIX + pipe.substr(pipe.find_last_of('\\') + 1);
}

HDEVNOTIFY RegisterDriverInterfaceNotification(HWND window)
{
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = KVX_USB_INTERFACE_CLASS;
    HDEVNOTIFY notification =
        RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    SetPropA(window, DriverInterfaceMark().c_str(), reinterpret_cast<HANDLE>(1));
    return notification;
}

void UnregisterDriverInterfaceNotification(HWND window, HDEVNOTIFY notification)
{
    if (notification)
        UnregisterDeviceNotification(notification);
    if (!window)
        return;
    // Every mark, also one made while another pipe name was in force.
    std::vector<std::string> marks;
    EnumPropsExA(window, CollectMarks, reinterpret_cast<LPARAM>(&marks));
    for (const std::string& mark : marks)
        RemovePropA(window, mark.c_str());
}
