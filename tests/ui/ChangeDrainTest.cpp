// The pacing of change records, against a host whose queue, refresh and timer are counted,
// and whose timer can be refused.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "ChangeDrain.h"

namespace {

struct CountingHost : IChangeDrainHost {
    std::deque<uint32_t> queue; // kinds of the records queued
    bool timers = true;
    bool missed = false; // the record after the queued ones could not be taken whole
    int refreshes = 0, schedules = 0, posts = 0;

    CChangeTake TakeChangeRecord(_KVX_USB_NOTIFICATION* record) override
    {
        if (queue.empty())
            return missed ? CChangeTake::Missed : CChangeTake::Empty;
        record->Kind = queue.front();
        queue.pop_front();
        return CChangeTake::Record;
    }
    void RefreshForChanges() override { ++refreshes; }
    bool ScheduleDrain(UINT) override { return ++schedules, timers; }
    void CancelDrain() override {}
    void PostNotice() override { ++posts; }
};

struct DrainCase {
    const char* what;
    std::vector<size_t> recordsPerNotice; // of kind 2, queued before each notice
    bool timers;
    int refreshes, schedules, posts;
    bool settled;
};

} // namespace

TEST(ChangeDrainTest, RecordsRefreshOnceAndNothingWaitsWithoutATimer)
{
    const DrainCase cases[] = {
        {"a few records: one refresh", {3}, true, 1, 0, 0, true},
        {"a storm: the rest on the timer", {300}, true, 0, 1, 0, false},
        {"a storm without a timer: posted on", {300}, false, 0, 1, 1, false},
        {"the posted notice takes the rest", {300, 0}, false, 1, 1, 1, true},
        {"within the gap: the refresh waits for the timer", {1, 1}, true, 1, 1, 0, false},
        {"within the gap without a timer: refreshed at once", {1, 1}, false, 2, 1, 0, true},
    };
    for (const DrainCase& c : cases) {
        CountingHost host;
        host.timers = c.timers;
        CChangeDrain drain(host);
        for (size_t records : c.recordsPerNotice) {
            host.queue.insert(host.queue.end(), records, KVX_USB_NOTIFY_SETTING_CHANGE);
            drain.OnNotice();
        }
        EXPECT_EQ(c.refreshes, host.refreshes) << c.what;
        EXPECT_EQ(c.schedules, host.schedules) << c.what;
        EXPECT_EQ(c.posts, host.posts) << c.what;
        EXPECT_EQ(c.settled, drain.IsSettled()) << c.what;
    }
}

TEST(ChangeDrainTest, OnlyDeviceAndSettingChangesCallForARefresh)
{
    CountingHost host;
    CChangeDrain drain(host);
    host.queue = {1, 4, 0};
    drain.OnNotice();
    EXPECT_EQ(0, host.refreshes);
    host.queue = {1, KVX_USB_NOTIFY_DEVICE_CHANGE};
    drain.OnNotice();
    EXPECT_EQ(1, host.refreshes);
    EXPECT_TRUE(drain.IsSettled());
}

// A record that could not be taken whole may have told of any change.
TEST(ChangeDrainTest, ARecordNotTakenWholeCallsForARefresh)
{
    CountingHost host;
    CChangeDrain drain(host);
    host.queue = {4};
    host.missed = true;
    drain.OnNotice();
    EXPECT_EQ(1, host.refreshes);
    EXPECT_TRUE(drain.IsSettled());
}
