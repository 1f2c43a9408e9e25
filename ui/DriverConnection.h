// The panel's connection to the driver: the shared channel theDrv opened and reopened, the
// change notification started and restarted with it, the driver's arrival and removal
// broadcasts followed, retries while the driver is there but cannot be reached, and the
// driver's change records drained and paced (CChangeDrain). It knows no page: it tells its
// host when what the driver reports may have changed, and the host decides what to read.
//
// A request that runs out of time makes the connection not responding: the host is told, as
// when the driver goes, every request fails at once until the driver has answered the one it
// holds, and then the connection reconnects, so that everything is read again. Broadcasts
// and timers meanwhile reopen nothing.
//
// It works through the host's window: timers, notices and broadcasts arrive as that
// window's messages, which the window hands on to it.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <string>

#include "ChangeDrain.h"
#include "ConnectionState.h"
#include "DriverInterfaceNotification.h"
#include "KvxuUsbNotificator.h"

class IDriverConnectionHost {
public:
    // What the driver reports may have changed: change records came in, the driver was
    // opened anew or went, or changes may have gone unheard while the notification was down.
    virtual void DriverStateChanged() = 0;
    // Change records came in: the same, where a long read may give way to messages.
    virtual void ChangesReported() { DriverStateChanged(); }

protected:
    ~IDriverConnectionHost() = default;
};

class CDriverConnection : private IChangeDrainHost {
public:
    // Opens theDrv and, when that succeeds, starts the notification; notices wait for a
    // window. Without a driver the panel still comes up: an arrival connects it later.
    CDriverConnection(IDriverConnectionHost& host, const char* deviceName);
    // Closes theDrv. The window was detached before.
    ~CDriverConnection();
    CDriverConnection(const CDriverConnection&) = delete;
    CDriverConnection& operator=(const CDriverConnection&) = delete;

    // The window whose messages carry the notices (noticeMessage) and timers from now on.
    // It is registered for the driver's broadcasts, the notification starts if it is not
    // running, and a failed start is retried.
    void Attach(HWND window, UINT noticeMessage);
    // Before the window goes: no timer, notice or broadcast reaches it any more.
    void Detach();

    // Closes and reopens theDrv and starts the notification anew with it, stopping it when
    // there is nothing to open. Tells the host either way. Returns the status of the reopen,
    // or of the notification's start when the reopen succeeded. While the driver holds a
    // request of either channel it reopens nothing and returns KVX_USB_E_NOT_RESPONDING.
    DWORD Reconnect();
    // The driver open and its changes heard.
    bool IsConnected() const;
    // How the panel stands with the driver, as the user is told.
    CConnectionState State() const;
    // Takes the change records queued now, as a notice would, and says whether the host has
    // heard every change the driver reported: the queue found empty, and nothing waits for
    // a timer.
    bool Settle();

    // The window's messages, handed on.
    void OnNotice();
    // False for a timer that is not the connection's.
    bool OnTimer(UINT_PTR id);
    void OnInterfaceBroadcast(UINT eventType, const std::string& interfaceName);

private:
    DWORD StartNotification();
    // Asked of both channels, which alone know: whether the driver still holds a request
    // that ran out of time.
    bool DriverHoldsARequest() const;
    // Tries the connection again on the reconnect timer while an arrival's tries last, and
    // for as long as the driver is open but its changes go unheard.
    void ScheduleReconnectIfNeeded();
    void RetryConnection();
    // A request of either channel ran out of time, or was refused because one had. Called
    // from within requests: it only notes the state and leaves the rest to the timer.
    void NoteNotResponding();
    // On the answer timer: tells the host once, then reconnects when the driver has answered
    // every request it held.
    void CheckForAnswer();

    CChangeTake TakeChangeRecord(_KVX_USB_NOTIFICATION* record) override;
    void RefreshForChanges() override { m_Host.ChangesReported(); }
    bool ScheduleDrain(UINT ms) override;
    void CancelDrain() override;
    void PostNotice() override;

    IDriverConnectionHost& m_Host;
    const char* const m_pszDeviceName;
    HWND m_hWnd = nullptr;
    UINT m_nNoticeMessage = 0;
    int m_nReconnectTriesLeft = 0; // after an arrival that could not be connected
    bool m_bNotResponding = false;
    bool m_bNotRespondingUntold = false; // the host has not been told yet
    CChangeDrain m_Drain{*this};
    CKvxuUsbNotificator m_Notificator;
    CDriverInterfaceNotification m_DeviceNotification;
};

// The device-interface name that follows the header of an arrival or removal broadcast
// record, read no further than the record's own size says; empty without a record or name.
std::string BroadcastInterfaceName(const DEV_BROADCAST_HDR* record);
