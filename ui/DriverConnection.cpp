#include "DriverConnection.h"

#include <cstddef>

#include "Drv.h"

namespace {

// Names shorter than this are no interface path of the driver.
const size_t kMinimumInterfaceName = 5;

const UINT_PTR kDrainTimerId = 0x4B01;

// After an arrival that could not be connected (a driver still starting, a request that
// failed once), the connection is tried again this often, this many times. A driver that is
// open but whose notification could not start is tried this often until it holds.
const UINT_PTR kReconnectTimerId = 0x4B02;
const UINT kReconnectIntervalMs = 1000;
const int kReconnectTries = 5;

// While the driver does not respond, whether it has answered is looked at this often; the
// first look, which tells the host, comes as soon as the window is free.
const UINT_PTR kAnswerTimerId = 0x4B03;
const UINT kAnswerCheckMs = 250;

} // namespace

CDriverConnection::CDriverConnection(IDriverConnectionHost& host, const char* deviceName)
    : m_Host(host), m_pszDeviceName(deviceName)
{
    theDrv.SetNotRespondingHandler([this] { NoteNotResponding(); });
    theDrv.Open(m_pszDeviceName);
    if (theDrv.IsOpen())
        StartNotification();
}

CDriverConnection::~CDriverConnection()
{
    theDrv.SetNotRespondingHandler(nullptr);
    theDrv.Close();
}

void CDriverConnection::Attach(HWND window, UINT noticeMessage)
{
    m_hWnd = window;
    m_nNoticeMessage = noticeMessage;
    m_DeviceNotification.Register(window);
    if (m_Notificator.IsRunning())
        m_Notificator.SetTarget(window, noticeMessage, 0, 0);
    else
        StartNotification();
    ScheduleReconnectIfNeeded();
    if (m_bNotResponding)
        ::SetTimer(m_hWnd, kAnswerTimerId, USER_TIMER_MINIMUM, nullptr);
}

void CDriverConnection::Detach()
{
    m_Drain.Cancel();
    if (m_hWnd) {
        ::KillTimer(m_hWnd, kReconnectTimerId);
        ::KillTimer(m_hWnd, kAnswerTimerId);
    }
    m_Notificator.Stop();
    m_Notificator.SetTarget(nullptr, 0, 0, 0);
    m_DeviceNotification.Unregister();
    m_hWnd = nullptr;
}

DWORD CDriverConnection::StartNotification()
{
    if (m_bNotResponding)
        return KVX_USB_E_NOT_RESPONDING;
    m_Notificator.SetTarget(m_hWnd, m_nNoticeMessage, 0, 0);
    const DWORD status = m_Notificator.Start(m_pszDeviceName);
    if (status == KVX_USB_E_NOT_RESPONDING)
        NoteNotResponding();
    return status;
}

bool CDriverConnection::IsConnected() const
{
    return theDrv.IsOpen() && m_Notificator.IsRunning() && !m_bNotResponding;
}

CConnectionState CDriverConnection::State() const
{
    if (m_bNotResponding)
        return CConnectionState::NotResponding;
    return theDrv.IsOpen() ? CConnectionState::Connected : CConnectionState::Closed;
}

DWORD CDriverConnection::Reconnect()
{
    // A request still held by the driver is left to its channel's thread, which ends with it.
    m_bNotResponding = false;
    m_bNotRespondingUntold = false;
    if (m_hWnd)
        ::KillTimer(m_hWnd, kAnswerTimerId);
    m_Drain.Cancel(); // the host reads everything below
    if (theDrv.IsOpen())
        theDrv.Close();
    DWORD status = theDrv.Open(m_pszDeviceName);
    // The notification's channel and event registration belong to the driver instance that
    // was there when it started. A driver that was unloaded and loaded again knows nothing of
    // them, and one that is gone took them along: the notification starts anew with every
    // reopen, and stops when there is nothing to open.
    m_Notificator.Stop();
    if (status == 0)
        status = StartNotification();
    m_Host.DriverStateChanged();
    return status;
}

bool CDriverConnection::Settle()
{
    // A batch or refresh that waits for its timer is left to it: the pacing stays as it is.
    if (m_bNotResponding || !m_Drain.IsIdle())
        return false;
    m_Drain.OnNotice();
    return m_Drain.IsSettled();
}

bool CDriverConnection::OnTimer(UINT_PTR id)
{
    if (id == kDrainTimerId && !m_bNotResponding)
        m_Drain.Drain();
    else if (id == kDrainTimerId)
        m_Drain.Cancel();
    else if (id == kReconnectTimerId)
        RetryConnection();
    else if (id == kAnswerTimerId)
        CheckForAnswer();
    else
        return false;
    return true;
}

void CDriverConnection::OnInterfaceBroadcast(UINT eventType, const std::string& interfaceName)
{
    // The registration filter lets only the driver's interface class through.
    if (interfaceName.size() < kMinimumInterfaceName ||
        (eventType != DBT_DEVICEARRIVAL && eventType != DBT_DEVICEREMOVECOMPLETE))
        return;
    // A new broadcast ends the retries of the one before.
    ::KillTimer(m_hWnd, kReconnectTimerId);
    m_nReconnectTriesLeft = 0;
    // Something arrived, yet the driver could not be reached: try again a few times.
    if (Reconnect() != 0 && eventType == DBT_DEVICEARRIVAL && !theDrv.IsOpen())
        m_nReconnectTriesLeft = kReconnectTries;
    ScheduleReconnectIfNeeded();
}

void CDriverConnection::ScheduleReconnectIfNeeded()
{
    // While the driver does not respond, the answer timer tries instead.
    if (m_hWnd && !IsConnected() && !m_bNotResponding &&
        (theDrv.IsOpen() || m_nReconnectTriesLeft > 0))
        ::SetTimer(m_hWnd, kReconnectTimerId, kReconnectIntervalMs, nullptr);
}

void CDriverConnection::RetryConnection()
{
    ::KillTimer(m_hWnd, kReconnectTimerId);
    if (IsConnected() || m_bNotResponding)
        return;
    if (theDrv.IsOpen()) {
        // Changes may have gone unheard meanwhile.
        m_Notificator.Stop();
        if (StartNotification() == 0)
            m_Host.DriverStateChanged();
    } else if (m_nReconnectTriesLeft > 0) {
        --m_nReconnectTriesLeft;
        Reconnect();
    }
    ScheduleReconnectIfNeeded();
}

void CDriverConnection::OnNotice()
{
    // A notice while the driver does not respond: its records are read after the reconnect.
    if (!m_bNotResponding)
        m_Drain.OnNotice();
}

void CDriverConnection::NoteNotResponding()
{
    if (m_bNotResponding)
        return;
    m_bNotResponding = true;
    m_bNotRespondingUntold = true;
    // When the notification's channel ran out of time, the shared channel is closed, so
    // that the pages' requests fail at once instead of waiting on the driver again.
    if (theDrv.IsResponding())
        theDrv.Close();
    if (m_hWnd)
        ::SetTimer(m_hWnd, kAnswerTimerId, USER_TIMER_MINIMUM, nullptr);
}

void CDriverConnection::CheckForAnswer()
{
    if (!m_bNotResponding) {
        ::KillTimer(m_hWnd, kAnswerTimerId);
        return;
    }
    if (m_bNotRespondingUntold) {
        m_bNotRespondingUntold = false;
        m_Drain.Cancel();
        ::KillTimer(m_hWnd, kReconnectTimerId);
        ::SetTimer(m_hWnd, kAnswerTimerId, kAnswerCheckMs, nullptr);
        m_Host.DriverStateChanged();
        return;
    }
    // Each channel's thread is free again once the driver completed what it held.
    if (theDrv.IsResponding() && m_Notificator.IsResponding())
        Reconnect();
}

CChangeTake CDriverConnection::TakeChangeRecord(_KVX_USB_NOTIFICATION* record)
{
    const DWORD status = m_Notificator.GetNotification(record);
    if (status == 0)
        return CChangeTake::Record;
    // Everything is read again once the driver answers.
    if (status == KVX_USB_E_NOT_RESPONDING) {
        NoteNotResponding();
        return CChangeTake::Empty;
    }
    // The driver's answer to an empty queue; any other failure, a short answer too, may have
    // cost a record.
    return status == ERROR_NO_MORE_ITEMS ? CChangeTake::Empty : CChangeTake::Missed;
}

bool CDriverConnection::ScheduleDrain(UINT ms)
{
    return m_hWnd && ::SetTimer(m_hWnd, kDrainTimerId, ms, nullptr) != 0;
}

void CDriverConnection::CancelDrain()
{
    if (m_hWnd)
        ::KillTimer(m_hWnd, kDrainTimerId);
}

void CDriverConnection::PostNotice()
{
    if (m_hWnd)
        ::PostMessageA(m_hWnd, m_nNoticeMessage, 0, 0);
}

std::string BroadcastInterfaceName(const DEV_BROADCAST_HDR* record)
{
    const size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    static_assert(nameOffset == 28, "the name follows size, type, reserved word and class");
    if (!record || record->dbch_size <= nameOffset)
        return std::string();
    const char* name = reinterpret_cast<const char*>(record) + nameOffset;
    const size_t room = record->dbch_size - nameOffset;
    size_t length = 0;
    while (length < room && name[length] != '\0')
        ++length;
    return std::string(name, length);
}
