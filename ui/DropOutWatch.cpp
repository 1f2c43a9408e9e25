#include "DropOutWatch.h"

#include <windows.h>

#include <cstdio>

namespace {

SYSTEMTIME ToSystemTime(CWatchTime time)
{
    ULARGE_INTEGER ticks;
    ticks.QuadPart = uint64_t(time) * 10000000u;
    FILETIME file = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME system = {};
    ::FileTimeToSystemTime(&file, &system);
    return system;
}

std::string TwoDigits(unsigned n)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02u", n % 100);
    return text;
}

std::string HourMinute(CWatchTime time)
{
    return ClockText(time).substr(0, 5);
}

std::string DropOuts(uint64_t count)
{
    return std::to_string(count) + (count == 1 ? " drop-out" : " drop-outs");
}

int64_t Minute(CWatchTime time)
{
    return time / 60;
}

} // namespace

std::string ClockText(CWatchTime time)
{
    const SYSTEMTIME t = ToSystemTime(time);
    return TwoDigits(t.wHour) + ":" + TwoDigits(t.wMinute) + ":" + TwoDigits(t.wSecond);
}

std::string DateTimeText(CWatchTime time)
{
    const SYSTEMTIME t = ToSystemTime(time);
    return std::to_string(t.wYear) + "-" + TwoDigits(t.wMonth) + "-" + TwoDigits(t.wDay) + " " +
           ClockText(time);
}

uint32_t CDropOutWatch::Observe(CWatchTime now, uint32_t driverCount,
                                const std::function<CDropOutSettings()>& settingsInForce)
{
    const bool first = !m_bCounting;
    const uint32_t before = m_LastCount;
    m_bCounting = true;
    m_LastCount = driverCount;
    if (first || driverCount == before)
        return 0;
    CDropOutEntry entry;
    entry.at = now;
    entry.driverCount = driverCount;
    if (driverCount < before) {
        entry.kind = CDropOutEntry::Restart;
        AddToLog(entry);
        return 0;
    }
    entry.count = driverCount - before;
    entry.settings = settingsInForce();
    m_Total += entry.count;
    m_Last = now;
    if (!m_Minutes.empty() && m_Minutes.back().first == Minute(now))
        m_Minutes.back().second += entry.count;
    else
        m_Minutes.push_back({Minute(now), entry.count});
    while (m_Minutes.size() > size_t(kGraphMinutes))
        m_Minutes.pop_front();
    if (m_Pending.count == 0)
        m_Pending.first = now;
    m_Pending.count += entry.count;
    m_Pending.last = now;
    m_Pending.settings = entry.settings;
    AddToLog(entry);
    return entry.count;
}

void CDropOutWatch::Begin(CWatchTime now, CDropOutEntry::Kind why)
{
    m_Total = 0;
    m_Since = now;
    m_Last = 0;
    m_Minutes.clear();
    m_Pending = CDropOutBalloon();
    CDropOutEntry entry;
    entry.kind = why;
    entry.at = now;
    entry.driverCount = m_LastCount;
    AddToLog(entry);
}

bool CDropOutWatch::TakeBalloon(CWatchTime now, CDropOutBalloon* balloon)
{
    if (m_Pending.count == 0)
        return false;
    // A clock set back counts as the gap having passed, not as a balloon held for hours.
    if (m_LastBalloon != 0 && now >= m_LastBalloon && now - m_LastBalloon < m_BalloonGap)
        return false;
    *balloon = m_Pending;
    m_Pending = CDropOutBalloon();
    m_LastBalloon = now;
    return true;
}

std::vector<uint32_t> CDropOutWatch::PerMinute(CWatchTime now) const
{
    std::vector<uint32_t> bars(kGraphMinutes, 0);
    const int64_t newest = Minute(now);
    for (const auto& minute : m_Minutes) {
        const int64_t age = newest - minute.first;
        if (age >= 0 && age < kGraphMinutes)
            bars[size_t(kGraphMinutes - 1 - age)] = minute.second;
    }
    return bars;
}

std::string CDropOutWatch::TipText() const
{
    return DropOuts(m_Total) + " since " + HourMinute(m_Since);
}

std::string CDropOutWatch::GraphText(CWatchTime now) const
{
    uint64_t hour = 0;
    for (uint32_t bar : PerMinute(now))
        hour += bar;
    if (hour == 0)
        return "No drop-outs in the last hour";
    return DropOuts(hour) + " in the last hour, the last at " + HourMinute(m_Last);
}

std::string CDropOutWatch::BalloonText(const CDropOutBalloon& b)
{
    const std::string when = b.first == b.last
                                 ? " at " + ClockText(b.last)
                                 : " from " + ClockText(b.first) + " to " + ClockText(b.last);
    // The settings on a line of their own: a balloon wraps long lines where it likes.
    return DropOuts(b.count) + when + "\n" + DropOutSettingsText(b.settings);
}

void CDropOutWatch::AddToLog(CDropOutEntry entry)
{
    m_Log.push_back(std::move(entry));
    if (m_Log.size() > kLogCapacity)
        m_Log.pop_front();
}

std::string CDropOutWatch::LogText() const
{
    std::string text = "Time\tDrop-outs\tDriver count\tSettings in force\r\n";
    for (const CDropOutEntry& e : m_Log) {
        text += DateTimeText(e.at) + "\t";
        switch (e.kind) {
        case CDropOutEntry::Rise:
            text += std::to_string(e.count) + "\t" + std::to_string(e.driverCount) + "\t" +
                    DropOutDepthsText(e.settings);
            break;
        case CDropOutEntry::Restart:
            text += "\t" + std::to_string(e.driverCount) +
                    "\tcounter went down (driver restarted or device unplugged): counting anew";
            break;
        case CDropOutEntry::Reset:
            text += "\t" + std::to_string(e.driverCount) + "\treset by the user";
            break;
        case CDropOutEntry::WatchOn:
            text += "\t\twatch switched on";
            break;
        case CDropOutEntry::Start:
            text += "\t\tpanel started";
            break;
        }
        text += "\r\n";
    }
    return text;
}
