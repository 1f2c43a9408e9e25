// The drop-out watch at work: one read of the driver's statistics a second, made while the
// watch is on (whether a window is shown or not) or while the buffer settings page can be seen,
// and only while the driver is open and answering. Each whole read feeds the watch's model;
// a rise also reads the settings then in force. Whether the watch is on is kept per user.
#pragma once

#include <windows.h>

#include <string>

#include "DropOutWatch.h"
#include "PanelRegistry.h"

class IDropOutMonitorHost {
public:
    // The driver open and answering: otherwise nothing is read.
    virtual bool IsDriverAnswering() const = 0;
    // A read was made, or the record changed: the count, the history and the tip follow.
    virtual void DropOutsChanged() = 0;
    // A balloon is due (the watch is on).
    virtual void ShowDropOutBalloon(const std::string& text) = 0;

protected:
    ~IDropOutMonitorHost() = default;
};

class CDropOutMonitor {
public:
    explicit CDropOutMonitor(IDropOutMonitorHost& host) : m_Host(host) {}

    // The window whose timer paces the reads; the stored option takes effect.
    void Attach(HWND window);
    void Detach();
    // Where the option is kept, under HKEY_CURRENT_USER (tests give their own).
    void UseRegistryKey(const std::string& key) { m_Key = key; }

    bool IsWatching() const { return m_bWatching; }
    // Stores the option; switching it on begins the watch's record.
    void SetWatching(bool on);
    // The buffer settings page can be seen, or no longer.
    void SetPageSeen(bool seen);
    bool IsPolling() const { return m_nTimer != 0; }
    // False for a timer that is not the monitor's.
    bool OnTimer(UINT_PTR id);
    // The user's Reset: the panel's record begins anew; the driver's counter is left alone.
    void Reset();

    const CDropOutWatch& Watch() const { return m_Watch; }
    CDropOutWatch& Watch() { return m_Watch; }
    // The count of the last read; false when it failed or none was made.
    bool LastCount(uint32_t* count) const;
    static CWatchTime Now();

private:
    void FollowNeed();
    void Poll();
    bool LoadOption() const;
    void StoreOption(bool on) const;

    IDropOutMonitorHost& m_Host;
    std::string m_Key = KVX_PANEL_REGISTRY_KEY;
    HWND m_hWnd = nullptr;
    UINT_PTR m_nTimer = 0;
    bool m_bWatching = false;
    bool m_bPageSeen = false;
    bool m_bCountRead = false;
    uint32_t m_nCount = 0;
    CDropOutWatch m_Watch;
};
