#include "DriverInterfaceNotification.h"

#include <string>
#include <vector>

#include "DeviceNotification.h"

namespace {

BOOL CALLBACK CollectMarks(HWND, LPSTR name, HANDLE, ULONG_PTR marks)
{
    // Properties named by atom number have no text to compare.
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) != 0 && IsDriverInterfaceMark(name))
        reinterpret_cast<std::vector<std::string>*>(marks)->push_back(name);
    return TRUE;
}

} // namespace

DEV_BROADCAST_DEVICEINTERFACE_A DriverInterfaceFilter()
{
    DEV_BROADCAST_DEVICEINTERFACE_A filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = KVX_USB_INTERFACE_CLASS;
    return filter;
}

bool CDriverInterfaceNotification::Register(HWND window)
{
    Unregister();
    DEV_BROADCAST_DEVICEINTERFACE_A filter = DriverInterfaceFilter();
    m_hNotify.Reset(RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    m_hWnd = window;
    SetPropA(window, DriverInterfaceMark().c_str(), reinterpret_cast<HANDLE>(1));
    return IsRegistered();
}

void CDriverInterfaceNotification::Unregister()
{
    m_hNotify.Reset();
    if (!m_hWnd || !IsWindow(m_hWnd))
        return;
    // Every mark, also one made while another pipe name was in force.
    std::vector<std::string> marks;
    EnumPropsExA(m_hWnd, CollectMarks, reinterpret_cast<LPARAM>(&marks));
    for (const std::string& mark : marks)
        RemovePropA(m_hWnd, mark.c_str());
    m_hWnd = nullptr;
}
