// The application's icon in the notification area of the task bar.
#pragma once

#include <windows.h>
#include <shellapi.h>

// Identifies the frame's one icon within its owner window.
#define TRAY_ICON_ID 0x42424242u

class CTrayIcon {
public:
    // Stores the window that receives the icon's callback messages and the icon's id.
    void Init(HWND owner, UINT iconId);
    // Adds the icon with the tip (cut to 127 characters); the shell's success flag.
    BOOL Add(HICON icon, const char* tip = nullptr);
    // The record Add hands to the shell.
    NOTIFYICONDATAA AddRecord(HICON icon, const char* tip) const;
    // Shows another icon in its place; the shell's success flag. These and Remove do nothing
    // before the icon was added.
    BOOL SetIcon(HICON icon);
    // Changes the tip of the icon added (cut to 127 characters); the shell's success flag.
    BOOL SetTip(const char* tip);
    // A balloon from the icon: title and text (cut to their fields), a warning icon, no sound
    // of its own; the shell's success flag.
    BOOL ShowBalloon(const char* title, const char* text);
    // The record ShowBalloon hands to the shell.
    NOTIFYICONDATAA BalloonRecord(const char* title, const char* text) const;
    // Removes the icon; the shell's success flag.
    BOOL Remove();

private:
    void Prepare(NOTIFYICONDATAA& data) const;
    static void CopyTip(NOTIFYICONDATAA& data, const char* tip);

    HWND m_hWndOwner = nullptr;
    UINT m_nIconId = 0;
    // Until the shell took the icon there is nothing to change or remove, and no call to
    // make: a change before the add is in the tip the add hands over.
    bool m_bAdded = false;
};
