#include "TrayIcon.h"

#include <shellapi.h>
#include <string.h>

#include "AppMessages.h"
#include "SystemLibrary.h"
#include "TrayTip.h"

// The record form every shell since Windows 2000 understands, with a 128-byte tip.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V2_SIZE == 488,
              "the 488-byte notification-icon record of 32-bit programs");
static_assert(sizeof(NOTIFYICONDATAA::szTip) == kTrayTipMaxChars + 1, "the tip's field");

namespace {

// shell32 and what it brings along are mapped when the icon is first added, after the window
// is shown, not before a start can show it.
BOOL NotifyShell(DWORD message, NOTIFYICONDATAA* data)
{
    static const auto notify =
        SystemLibraryFunction<decltype(&::Shell_NotifyIconA)>("shell32.dll", "Shell_NotifyIconA");
    return notify ? notify(message, data) : FALSE;
}

} // namespace

void CTrayIcon::Init(HWND owner, UINT iconId)
{
    m_hWndOwner = owner;
    m_nIconId = iconId;
}

void CTrayIcon::Prepare(NOTIFYICONDATAA& data) const
{
    memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = m_hWndOwner;
    data.uID = m_nIconId;
}

NOTIFYICONDATAA CTrayIcon::AddRecord(HICON icon, const char* tip) const
{
    NOTIFYICONDATAA data;
    Prepare(data);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = icon;
    CopyTip(data, tip);
    return data;
}

void CTrayIcon::CopyTip(NOTIFYICONDATAA& data, const char* tip)
{
    if (tip)
        lstrcpynA(data.szTip, tip, sizeof data.szTip);
}

BOOL CTrayIcon::SetTip(const char* tip)
{
    if (!m_bAdded)
        return FALSE;
    NOTIFYICONDATAA data;
    Prepare(data);
    data.uFlags = NIF_TIP;
    CopyTip(data, tip);
    return NotifyShell(NIM_MODIFY, &data);
}

NOTIFYICONDATAA CTrayIcon::BalloonRecord(const char* title, const char* text) const
{
    NOTIFYICONDATAA data;
    Prepare(data);
    data.uFlags = NIF_INFO;
    lstrcpynA(data.szInfoTitle, title, sizeof data.szInfoTitle);
    lstrcpynA(data.szInfo, text, sizeof data.szInfo);
    // The shell's own sound is off: a musician recording does not want the panel heard.
    data.dwInfoFlags = NIIF_WARNING | NIIF_NOSOUND;
    return data;
}

BOOL CTrayIcon::ShowBalloon(const char* title, const char* text)
{
    if (!m_bAdded)
        return FALSE;
    NOTIFYICONDATAA data = BalloonRecord(title, text);
    return NotifyShell(NIM_MODIFY, &data);
}

BOOL CTrayIcon::Add(HICON icon, const char* tip)
{
    if (!m_hWndOwner)
        return FALSE;
    NOTIFYICONDATAA data = AddRecord(icon, tip);
    const BOOL added = NotifyShell(NIM_ADD, &data);
    m_bAdded = m_bAdded || added;
    return added;
}

BOOL CTrayIcon::SetIcon(HICON icon)
{
    if (!m_bAdded)
        return FALSE;
    NOTIFYICONDATAA data;
    Prepare(data);
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    return NotifyShell(NIM_MODIFY, &data);
}

BOOL CTrayIcon::Remove()
{
    if (!m_bAdded)
        return FALSE;
    m_bAdded = false;
    NOTIFYICONDATAA data;
    Prepare(data);
    return NotifyShell(NIM_DELETE, &data);
}
