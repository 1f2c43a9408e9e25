// What the drop-out watch makes of the driver's drop-out counter: the rises, with the time and
// the settings then in force, a total since the watch began or was reset, drop-outs per minute
// over the last hour, a capped log, and when a balloon is due. Pure: reads and times in,
// rises and summaries out; the monitor around it reads the driver and shows them.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "DropOutSettings.h"

// Local time in whole seconds since 1601 (a FILETIME divided by 10^7).
using CWatchTime = int64_t;

// "14:03:12", and with the date "2026-12-08 14:03:12".
std::string ClockText(CWatchTime time);
std::string DateTimeText(CWatchTime time);

struct CDropOutEntry {
    enum Kind {
        Rise,    // the counter rose by count
        Restart, // it went down: a driver restart or a device unplugged; counting anew
        Reset,   // the user reset the panel's record
        WatchOn, // the watch began
        Start,   // the panel began counting (the watch off)
    };
    Kind kind = Rise;
    CWatchTime at = 0;
    uint32_t count = 0;        // Rise: drop-outs added
    uint32_t driverCount = 0;  // the driver's counter as read
    CDropOutSettings settings; // Rise: those in force
};

// One balloon: every rise since the last one, summed.
struct CDropOutBalloon {
    uint64_t count = 0;
    CWatchTime first = 0, last = 0;
    CDropOutSettings settings; // at the last rise
};

class CDropOutWatch {
public:
    // Rises kept in the log; older entries are dropped.
    static constexpr size_t kLogCapacity = 1000;
    // Minutes the graph covers.
    static constexpr int kGraphMinutes = 60;

    // At most one balloon in this many seconds (30 unless a test says less).
    void SetBalloonGap(CWatchTime seconds) { m_BalloonGap = seconds; }

    // A whole read of the driver's counter at now; the rise (0 when none). The first read, and
    // one below the last, only set where counting starts. settingsInForce is asked on a rise.
    uint32_t Observe(CWatchTime now, uint32_t driverCount,
                     const std::function<CDropOutSettings()>& settingsInForce);
    // The panel's own record begins anew (the watch switched on, or Reset): the total, the last
    // drop-out, the graph and any balloon not yet shown. The log keeps its entries and says so.
    void Begin(CWatchTime now, CDropOutEntry::Kind why);
    // The balloon due at now, if any: rises are summed until the gap has passed since the
    // last one shown.
    bool TakeBalloon(CWatchTime now, CDropOutBalloon* balloon);

    uint64_t Total() const { return m_Total; }
    CWatchTime Since() const { return m_Since; }
    bool HasLast() const { return m_Last != 0; }
    CWatchTime Last() const { return m_Last; }
    // Drop-outs in each of the last kGraphMinutes minutes, the oldest first, now's last.
    std::vector<uint32_t> PerMinute(CWatchTime now) const;
    const std::deque<CDropOutEntry>& Log() const { return m_Log; }

    // "5 drop-outs since 13:40" (the tray tip), "12 drop-outs in the last hour, the last at
    // 14:03" (the graph), "3 drop-outs at 14:03:12" and on a second line "ASIO buffer ..." (a
    // balloon).
    std::string TipText() const;
    std::string GraphText(CWatchTime now) const;
    static std::string BalloonText(const CDropOutBalloon& balloon);
    // The log as text with a header line, one line per entry, for a support request.
    std::string LogText() const;

private:
    void AddToLog(CDropOutEntry entry);

    CWatchTime m_BalloonGap = 30;
    bool m_bCounting = false; // a count was read since the watch was made
    uint32_t m_LastCount = 0;
    uint64_t m_Total = 0;
    CWatchTime m_Since = 0;
    CWatchTime m_Last = 0;
    std::deque<std::pair<int64_t, uint32_t>> m_Minutes; // minute number, drop-outs in it
    CDropOutBalloon m_Pending;
    CWatchTime m_LastBalloon = 0; // 0: none shown yet
    std::deque<CDropOutEntry> m_Log;
};
