// Whether the shell holds a notification-area icon: modifying an icon that does not exist
// fails, and a modification that changes nothing leaves an existing icon as it was.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "MessagePump.h"

inline bool TrayIconExists(HWND owner, UINT iconId)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = owner;
    data.uID = iconId;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// A start adds its icon once its window is shown: waited for, with the window's messages
// pumped for a panel in this process.
inline bool TrayIconAdded(HWND owner, UINT iconId)
{
    return PumpUntil([&] { return TrayIconExists(owner, iconId); });
}
