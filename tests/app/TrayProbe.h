// Whether the shell holds a notification-area icon: modifying an icon that does not exist
// fails, and a modification that changes nothing leaves an existing icon as it was.
#pragma once

#include <windows.h>
#include <shellapi.h>

inline bool TrayIconExists(HWND owner, UINT iconId)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = owner;
    data.uID = iconId;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}
