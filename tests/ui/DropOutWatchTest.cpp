// The drop-out watch's model without windows or a driver: reads of the counter at known times
// in, rises, totals, balloons, bars and texts out.
#include <gtest/gtest.h>

#include <numeric>

#include "DropOutWatch.h"

namespace {

// 2026-12-08 14:03:12 local time, in seconds since 1601.
const CWatchTime kT0 = 13441212192;

CDropOutSettings Settings()
{
    CDropOutSettings s;
    s.rate.value.CurrentRate = 48000;
    s.stream.value.Current = 2000;
    s.asio.value.Depth = 2000;
    s.wdm.value.Depth = 10000;
    return s;
}

struct Read {
    CWatchTime at;       // seconds after kT0
    uint32_t count;      // the driver's counter
    uint32_t rise;       // what the watch makes of it
    uint64_t total;      // its total afterwards
    const char* balloon; // the balloon due then, or null
};

} // namespace

TEST(DropOutWatchTest, ReadsBecomeRisesTotalsAndBalloonsAtMostOneIn30Seconds)
{
    const Read reads[] = {
        {0, 7, 0, 0, nullptr}, // the first read only sets where counting starts
        {1, 7, 0, 0, nullptr},
        {2, 10, 3, 3, "3 drop-outs at 14:03:14\nASIO buffer 2.0 ms (96 samples) at 48.0 kHz"},
        {5, 12, 2, 5, nullptr}, // within 30 s of the last balloon: held
        {9, 16, 4, 9, nullptr},
        {20, 2, 0, 9, nullptr}, // down: a restart, never a negative count
        {25, 3, 1, 10, nullptr},
        {32, 3, 0, 10,
         "7 drop-outs from 14:03:17 to 14:03:37\nASIO buffer 2.0 ms (96 samples) "
         "at 48.0 kHz"},
        {40, 3, 0, 10, nullptr},
        {41, 4294967295u, 4294967292u, 4294967302ull, nullptr}, // no wrap in the total
    };
    CDropOutWatch watch;
    watch.Begin(kT0, CDropOutEntry::WatchOn);
    int settingsRead = 0;
    for (const Read& r : reads) {
        SCOPED_TRACE(r.at);
        EXPECT_EQ(r.rise, watch.Observe(kT0 + r.at, r.count, [&] {
            ++settingsRead;
            return Settings();
        }));
        EXPECT_EQ(r.total, watch.Total());
        CDropOutBalloon balloon;
        EXPECT_EQ(r.balloon != nullptr, watch.TakeBalloon(kT0 + r.at, &balloon));
        if (r.balloon) {
            EXPECT_EQ(r.balloon, CDropOutWatch::BalloonText(balloon));
        }
    }
    EXPECT_EQ(5, settingsRead) << "the settings are read on a rise only";
    EXPECT_EQ("4294967302 drop-outs since 14:03", watch.TipText());
    EXPECT_EQ("14:03:53", ClockText(watch.Last()));

    // The log: the watch's start, each rise and the restart, with a header line.
    const std::string log = watch.LogText();
    EXPECT_EQ(0u, log.find("Time\tDrop-outs\tDriver count\tSettings in force\r\n"));
    EXPECT_NE(std::string::npos, log.find("2026-12-08 14:03:14\t3\t10\t48000 Hz, stream 2.0 ms, "
                                          "ASIO 2.0 ms (96 samples), WDM 10.0 ms\r\n"));
    EXPECT_NE(std::string::npos, log.find("2026-12-08 14:03:32\t\t2\tcounter went down"));
    EXPECT_EQ(7u, watch.Log().size());

    // A reset starts the panel's record anew and drops a held balloon; the counter is not
    // read again for it.
    watch.Observe(kT0 + 42, 4294967295u, Settings);
    watch.Begin(kT0 + 60, CDropOutEntry::Reset);
    EXPECT_EQ(0u, watch.Total());
    EXPECT_FALSE(watch.HasLast());
    CDropOutBalloon none;
    EXPECT_FALSE(watch.TakeBalloon(kT0 + 100, &none));
    EXPECT_EQ("0 drop-outs since 14:04", watch.TipText());
}

TEST(DropOutWatchTest, TheGraphHasABarPerMinuteOfTheLastHourAndTheLogIsCapped)
{
    CDropOutWatch watch;
    watch.Observe(kT0, 0, Settings);
    uint32_t count = 0;
    // Two drop-outs at minute 0, one at minute 1, five at minute 30, one a read later in it.
    for (auto [minute, rise] : {std::pair<int, uint32_t>{0, 2}, {1, 1}, {30, 5}, {30, 1}})
        watch.Observe(kT0 + minute * 60 + (rise == 1 && minute == 30), count += rise, Settings);
    std::vector<uint32_t> bars = watch.PerMinute(kT0 + 30 * 60);
    ASSERT_EQ(60u, bars.size());
    EXPECT_EQ(2u, bars[29]);
    EXPECT_EQ(1u, bars[30]);
    EXPECT_EQ(6u, bars[59]);
    EXPECT_EQ("9 drop-outs in the last hour, the last at 14:33", watch.GraphText(kT0 + 1800));
    // An hour on, the first minute has left the graph; two hours on, all of them.
    bars = watch.PerMinute(kT0 + 3600);
    EXPECT_EQ(1u, bars[0]);
    EXPECT_EQ(7u, std::accumulate(bars.begin(), bars.end(), 0u));
    EXPECT_EQ("No drop-outs in the last hour", watch.GraphText(kT0 + 2 * 3600));

    for (uint32_t i = 0; i < CDropOutWatch::kLogCapacity; ++i)
        watch.Observe(kT0 + 7200 + i, count += 1, Settings);
    EXPECT_EQ(CDropOutWatch::kLogCapacity, watch.Log().size());
    EXPECT_EQ(count, watch.Log().back().driverCount);
}
