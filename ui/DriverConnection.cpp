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

} // namespace

CDriverConnection::CDriverConnection(IDriverConnectionHost& host, const char* deviceName)
    : m_Host(host), m_pszDeviceName(deviceName)
{
    theDrv.Open(m_pszDeviceName);
    if (theDrv.IsOpen())
        StartNotification();
}

CDriverConnection::~CDriverConnection()
{
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
}

void CDriverConnection::Detach()
{
    m_Drain.Cancel();
    if (m_hWnd)
        ::KillTimer(m_hWnd, kReconnectTimerId);
    m_Notificator.Stop();
    m_Notificator.SetTarget(nullptr, 0, 0, 0);
    m_DeviceNotification.Unregister();
    m_hWnd = nullptr;
}

DWORD CDriverConnection::StartNotification()
{
    m_Notificator.SetTarget(m_hWnd, m_nNoticeMessage, 0, 0);
    return m_Notificator.Start(m_pszDeviceName);
}

bool CDriverConnection::IsConnected() const
{
    return theDrv.IsOpen() && m_Notificator.IsRunning();
}

CConnectionState CDriverConnection::State() const
{
    return theDrv.IsOpen() ? CConnectionState::Connected : CConnectionState::Closed;
}

DWORD CDriverConnection::Reconnect()
{
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
    if (!m_Drain.IsIdle())
        return false;
    m_Drain.OnNotice();
    return m_Drain.IsSettled();
}

bool CDriverConnection::OnTimer(UINT_PTR id)
{
    if (id == kDrainTimerId)
        m_Drain.Drain();
    else if (id == kReconnectTimerId)
        RetryConnection();
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
    if (m_hWnd && !IsConnected() && (theDrv.IsOpen() || m_nReconnectTriesLeft > 0))
        ::SetTimer(m_hWnd, kReconnectTimerId, kReconnectIntervalMs, nullptr);
}

void CDriverConnection::RetryConnection()
{
    ::KillTimer(m_hWnd, kReconnectTimerId);
    if (IsConnected())
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

bool CDriverConnection::TakeChangeRecord(_KVX_USB_NOTIFICATION* record)
{
    return m_Notificator.GetNotification(record) == 0;
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
