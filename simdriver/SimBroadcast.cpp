#include "SimBroadcast.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "DeviceNotification.h"

namespace {

struct Search {
    std::string mark;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectMarked(HWND window, LPARAM search)
{
    auto* s = reinterpret_cast<Search*>(search);
    if (GetPropA(window, s->mark.c_str()))
        s->windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM search)
{
    CollectMarked(window, search);
    EnumChildWindows(window, CollectMarked, search); // all descendants
    return TRUE;
}

} // namespace

int BroadcastInterfaceChange(bool arrival)
{
    Search search = {DriverInterfaceMark(), {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));

    // The record ends in the path; its size counts the path and its terminator.
    union {
        DEV_BROADCAST_DEVICEINTERFACE_A record;
        char bytes[sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) + 128];
    } message = {};
    size_t pathSize = std::strlen(SIM_INTERFACE_PATH) + 1;
    std::memcpy(message.record.dbcc_name, SIM_INTERFACE_PATH, pathSize);
    message.record.dbcc_size =
        DWORD(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + pathSize);
    message.record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    message.record.dbcc_classguid = KVX_USB_INTERFACE_CLASS;

    int reached = 0;
    for (HWND window : search.windows) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(window, WM_DEVICECHANGE,
                                arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                                reinterpret_cast<LPARAM>(&message.record), SMTO_ABORTIFHUNG,
                                SIM_BROADCAST_TIMEOUT_MS, &result))
            ++reached;
    }
    return reached;
}
