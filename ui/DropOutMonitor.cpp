#include "DropOutMonitor.h"

#include "Drv.h"

namespace {

const UINT_PTR kStatisticsTimerId = 0x4B10;
const UINT kStatisticsPeriodMs = 1000;
const char kWatchValue[] = "Watch Drop-outs";

} // namespace

CWatchTime CDropOutMonitor::Now()
{
    SYSTEMTIME local;
    ::GetLocalTime(&local);
    FILETIME file;
    ::SystemTimeToFileTime(&local, &file);
    ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
    return CWatchTime(ticks.QuadPart / 10000000u);
}

void CDropOutMonitor::Attach(HWND window)
{
    m_hWnd = window;
    m_bWatching = LoadOption();
    m_Watch.Begin(Now(), m_bWatching ? CDropOutEntry::WatchOn : CDropOutEntry::Start);
    FollowNeed();
}

void CDropOutMonitor::Detach()
{
    if (m_hWnd && m_nTimer)
        ::KillTimer(m_hWnd, kStatisticsTimerId);
    m_nTimer = 0;
    m_hWnd = nullptr;
}

void CDropOutMonitor::SetWatching(bool on)
{
    StoreOption(on);
    if (on == m_bWatching)
        return;
    m_bWatching = on;
    if (on)
        m_Watch.Begin(Now(), CDropOutEntry::WatchOn);
    FollowNeed();
    m_Host.DropOutsChanged();
}

void CDropOutMonitor::SetPageSeen(bool seen)
{
    m_bPageSeen = seen;
    FollowNeed();
}

void CDropOutMonitor::FollowNeed()
{
    const bool need = m_hWnd && (m_bWatching || m_bPageSeen);
    if (need && !m_nTimer)
        m_nTimer = ::SetTimer(m_hWnd, kStatisticsTimerId, kStatisticsPeriodMs, nullptr);
    else if (!need && m_nTimer) {
        ::KillTimer(m_hWnd, kStatisticsTimerId);
        m_nTimer = 0;
    }
}

bool CDropOutMonitor::OnTimer(UINT_PTR id)
{
    if (id != kStatisticsTimerId)
        return false;
    Poll();
    return true;
}

void CDropOutMonitor::Poll()
{
    _KVX_USB_ASIO_STATISTICS statistics = {};
    m_bCountRead = m_Host.IsDriverAnswering() && theDrv.GetAsioStatistics(&statistics) == 0;
    if (m_bCountRead) {
        m_nCount = statistics.DropOuts;
        const CWatchTime now = Now();
        m_Watch.Observe(now, m_nCount, [] { return ReadDropOutSettings(theDrv); });
        CDropOutBalloon balloon;
        if (m_bWatching && m_Watch.TakeBalloon(now, &balloon))
            m_Host.ShowDropOutBalloon(CDropOutWatch::BalloonText(balloon));
    }
    m_Host.DropOutsChanged();
}

void CDropOutMonitor::Reset()
{
    m_Watch.Begin(Now(), CDropOutEntry::Reset);
    m_Host.DropOutsChanged();
}

bool CDropOutMonitor::LastCount(uint32_t* count) const
{
    *count = m_nCount;
    return m_bCountRead;
}

bool CDropOutMonitor::LoadOption() const
{
    DWORD value = 0, size = sizeof value;
    return ::RegGetValueA(HKEY_CURRENT_USER, m_Key.c_str(), kWatchValue, RRF_RT_REG_DWORD, nullptr,
                          &value, &size) == ERROR_SUCCESS &&
           value != 0;
}

void CDropOutMonitor::StoreOption(bool on) const
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, m_Key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD value = on ? 1 : 0;
    ::RegSetValueExA(key, kWatchValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof value);
    ::RegCloseKey(key);
}
