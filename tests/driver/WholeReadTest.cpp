// A read is whole or it failed: every read of the driver object against a driver that answers
// in part, each way it can, served in process by the stand-in's model.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "FaultDeviceIo.h"
#include "KvxuUsbDriver.h"
#include "MessagePump.h"

namespace {

struct Read {
    DWORD code;
    bool list;   // holds a count, which Overcount puts past its capacity
    bool idList; // holds ids, which RepeatedIds repeats
    // Reads into a record filled with 0xA5 first; true when it is all zero afterwards.
    std::function<DWORD(CKvxuUsbDriver&, bool* zero)> read;
};

template <class Record, class Call> Read Reading(DWORD code, bool list, bool idList, Call call)
{
    return {code, list, idList, [call](CKvxuUsbDriver& d, bool* zero) {
                Record record;
                std::memset(&record, 0xA5, sizeof record);
                const DWORD status = call(d, &record);
                const Record none = {};
                *zero = std::memcmp(&record, &none, sizeof record) == 0;
                return status;
            }};
}

std::vector<Read> Reads()
{
    using D = CKvxuUsbDriver;
    static const uint32_t device = 1, channel = SimChannelId(1, false, 0);
    return {
        Reading<_KVX_USB_DEVICE_ID_LIST>(IOCTL_KVX_USB_GET_DEVICE_ID_LIST, true, true,
                                         [](D& d, auto* r) { return d.GetDeviceIdList(r); }),
        Reading<_KVX_USB_CHANNEL_ID_LISTS>(IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, true, true,
                                           [](D& d, auto* r) { return d.GetChannelIdLists(r); }),
        Reading<_KVX_USB_DEVICE_SYNCH_MODE_INFO>(
            IOCTL_KVX_USB_GET_SYNCH_MODE_INFO, true, false,
            [](D& d, auto* r) { return d.GetSynchModeInfo(&device, r); }),
        Reading<_KVX_USB_SAMPLE_RATE_INFO>(IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO, true, false,
                                           [](D& d, auto* r) { return d.GetSampleRateInfo(r); }),
        // The mode alone is left as it was by a failed read: here, 0.
        Reading<uint32_t>(IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE, false, false,
                          [](D& d, auto* r) {
                              *r = 0;
                              return d.GetSampleRateMode(r);
                          }),
        Reading<uint32_t>(IOCTL_KVX_USB_GET_ASIO_NAME_OPTION, false, false,
                          [](D& d, auto* r) { return d.GetAsioNameOption(r); }),
        Reading<_KVX_USB_DEVICE_PROPERTIES>(
            IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, false, false,
            [](D& d, auto* r) { return d.GetDeviceProperties(&device, r); }),
        Reading<_KVX_USB_CHANNEL_PROPERTIES>(
            IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, false, false,
            [](D& d, auto* r) { return d.GetChannelProperties(&channel, r); }),
        Reading<_KVX_USB_CLOCK_MASTER>(IOCTL_KVX_USB_GET_CLOCK_MASTER, false, false,
                                       [](D& d, auto* r) { return d.GetClockMaster(r); }),
        Reading<_KVX_USB_STREAM_BUFFER_DEPTH>(
            IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH, false, false,
            [](D& d, auto* r) { return d.GetStreamBufferDepth(r); }),
        Reading<_KVX_USB_BUFFER_DEPTH>(IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH, false, false,
                                       [](D& d, auto* r) { return d.GetAsioBufferDepth(r); }),
        Reading<_KVX_USB_BUFFER_DEPTH>(IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH, false, false,
                                       [](D& d, auto* r) { return d.GetWdmBufferDepth(r); }),
        Reading<_KVX_USB_ASIO_STATISTICS>(IOCTL_KVX_USB_GET_ASIO_STATISTICS, false, false,
                                          [](D& d, auto* r) { return d.GetAsioStatistics(r); }),
    };
}

// What the read must return under the fault: the failure it is, or 0 for an answer that is
// whole and consistent (a text without terminator is bounded where it is shown).
DWORD Expected(const Read& read, FaultKind kind, DWORD arg)
{
    switch (kind) {
    case FaultKind::Status:
        return arg;
    case FaultKind::Short:
        return KVX_USB_E_SHORT_ANSWER;
    case FaultKind::Overcount:
        return read.list ? DWORD(KVX_USB_E_BAD_LIST) : 0;
    case FaultKind::RepeatedIds:
        return read.idList ? DWORD(KVX_USB_E_BAD_LIST) : 0;
    default:
        return 0;
    }
}

class WholeRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(io.Loaded()) << io.Error();
        ASSERT_EQ(0u, driver.Open(KVX_USB_DEVICE_NAME));
    }
    void TearDown() override { driver.Close(); }

    FaultDeviceIo io{"demo"};
    CKvxuUsbDriver driver;
};

TEST_F(WholeRead, EveryReadIsWholeOrFailsAndAFailedOneLeavesItsRecordZero)
{
    const struct {
        FaultKind kind;
        DWORD arg;
    } faults[] = {{FaultKind::Status, ERROR_GEN_FAILURE},
                  {FaultKind::Short, 0},
                  {FaultKind::Short, 3},
                  {FaultKind::Overcount, 0},
                  {FaultKind::RepeatedIds, 0},
                  {FaultKind::Unterminated, 0}};
    int cases = 0;
    for (const Read& read : Reads()) {
        for (const auto& f : faults) {
            const Fault fault = {read.code, 2, f.kind, f.arg};
            io.Reset();
            io.Add(fault);
            bool zero = false;
            ASSERT_EQ(0u, read.read(driver, &zero)) << "the first read is whole";
            const DWORD expected = Expected(read, f.kind, f.arg);
            EXPECT_EQ(expected, read.read(driver, &zero)) << Describe(fault);
            if (expected != 0) {
                EXPECT_TRUE(zero) << Describe(fault) << ": a failed read leaves its record zero";
            }
            ++cases;
        }
    }
    EXPECT_EQ(13 * 6, cases);
}

// A driver that holds a request past its bound is "not responding" until it answers; its
// late answer still takes effect, as a real driver's would.
TEST_F(WholeRead, AStallPastTheBoundIsNotRespondingUntilTheLateAnswer)
{
    io.Add({IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH, 1, FaultKind::Stall, 0});
    _KVX_USB_BUFFER_DEPTH depth;
    ASSERT_EQ(0u, driver.GetAsioBufferDepth(&depth));
    depth.Depth += 1000;
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, driver.SetAsioBufferDepth(&depth));
    EXPECT_FALSE(driver.IsResponding());
    EXPECT_EQ(1u, io.Stalled());
    io.EndStalls();
    ASSERT_TRUE(PumpUntil([&] { return driver.IsResponding(); }));
    EXPECT_EQ(depth.Depth, io.Hardware().asioDepth.Depth) << "the late answer applied it";
    ASSERT_EQ(1u, io.Count(IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH));
    EXPECT_EQ(depth.Depth,
              io.Sent(IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH)[0].As<_KVX_USB_BUFFER_DEPTH>().Depth);
}

} // namespace
