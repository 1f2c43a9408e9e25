// Control commands that set what the panel's tests need to see: values no request could
// set, lists of other lengths, names without a terminator, answers cut short; and the
// status a test reads back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KvxUsbText.h"
#include "SimFixture.h"
#include "SimHardware.h"

namespace {

class SimCommandTest : public SimFixture {
protected:
    bool StatusHas(const std::string& text)
    {
        status = sim.Run({"status"}).output;
        return status.find(text) != std::string::npos;
    }
    std::string status;
};

TEST_F(SimCommandTest, RecordsTakeValuesNoRequestMaySet)
{
    Command({"set", "stream-range", "4000", "1000", "0"}); // min above max, step 0
    Command({"set", "stream-depth", "2300"});              // on no grid
    Command({"set", "asio-depth", "2500"});
    Command({"set", "asio-granularity", "0xFFFFFFFF"});
    Command({"set", "dropouts", "12"});
    Command({"set", "mode", "7"});
    Command({"set", "master", "5"});
    _KVX_USB_STREAM_BUFFER_DEPTH stream = {}, expected = {4000, 1000, 0, 2300};
    ASSERT_EQ(0u, drv.GetStreamBufferDepth(&stream));
    EXPECT_EQ(0, std::memcmp(&expected, &stream, sizeof stream));
    _KVX_USB_BUFFER_DEPTH asio = {};
    ASSERT_EQ(0u, drv.GetAsioBufferDepth(&asio));
    EXPECT_EQ(2500u, asio.Depth);
    EXPECT_EQ(0xFFFFFFFFu, asio.Granularity);
    _KVX_USB_ASIO_STATISTICS statistics = {};
    ASSERT_EQ(0u, drv.GetAsioStatistics(&statistics));
    EXPECT_EQ(12u, statistics.DropOuts);
    EXPECT_TRUE(StatusHas("rate mode 7, clock master 5")) << status;
}

TEST_F(SimCommandTest, RateAndClockSourceListsOfAnyLength)
{
    Command({"set", "rates", "32000", "44100", "48000"});
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    ASSERT_EQ(0u, drv.GetSampleRateInfo(&rates));
    ASSERT_EQ(3u, rates.RateCount);
    EXPECT_EQ(0u, drv.SetSampleRate(32000)); // the new list is what the driver offers
    Command({"set", "rates"});
    ASSERT_EQ(0u, drv.GetSampleRateInfo(&rates));
    EXPECT_EQ(0u, rates.RateCount);

    // Two devices with sources of their own; the current one keeps its id where it can.
    Command({"set", "source", "1", "2"});
    Command({"set", "sources", "1", "Int", "Optical", "BNC"});
    Command({"set", "sources", "2"});
    uint32_t one = 1, two = 2;
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch = {};
    ASSERT_EQ(0u, drv.GetSynchModeInfo(&one, &synch));
    ASSERT_EQ(3u, synch.SourceCount);
    EXPECT_EQ(2u, synch.Sources[2].SourceId);
    EXPECT_EQ("BNC", RecordText(synch.Current.Name));
    ASSERT_EQ(0u, drv.GetSynchModeInfo(&two, &synch));
    EXPECT_EQ(0u, synch.SourceCount);
    EXPECT_TRUE(StatusHas("rates none")) << status;
}

TEST_F(SimCommandTest, NamesOfFullLengthWithoutTerminatorAndSerials)
{
    const std::string longest(39, 'L');
    Command({"set", "name", "2", longest});
    Command({"set", "channel", std::to_string(SimChannelId(1, false, 0)), longest});
    uint32_t two = 2;
    _KVX_USB_DEVICE_PROPERTIES device = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&two, &device));
    EXPECT_EQ(longest, RecordText(device.DeviceName));

    Command({"set", "name-raw", "2", "Raw"});
    Command({"set", "serial", "2", "SN-42"});
    ASSERT_EQ(0u, drv.GetDeviceProperties(&two, &device));
    EXPECT_EQ(nullptr, std::memchr(device.DeviceName, 0, sizeof device.DeviceName));
    EXPECT_EQ(0, std::memcmp("Raw#####", device.DeviceName, 8));
    EXPECT_EQ("SN-42", RecordText(device.SerialNumber));
    EXPECT_NE(0, device.SerialNumber[375]); // the driver's bytes after it stay
    // What the panel read goes back unchanged and is taken.
    EXPECT_EQ(0u, drv.SetDeviceProperties(&device));

    uint32_t channelId = SimChannelId(2, true, 1);
    Command({"set", "channel-raw", std::to_string(channelId), std::string(40, 'C')});
    _KVX_USB_CHANNEL_PROPERTIES channel = {};
    ASSERT_EQ(0u, drv.GetChannelProperties(&channelId, &channel));
    EXPECT_EQ(std::string(40, 'C'), std::string(channel.ChannelName, 40));
}

TEST_F(SimCommandTest, ValuesTheRecordsCannotCarryAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {"set", "rates", "1", "2", "3", "4", "5", "6", "7", "8", "9"},
        {"set", "sources", "1", std::string(40, 's')},
        {"set", "sources", "99", "Int"},
        {"set", "name-raw", "1", std::string(41, 'n')},
        {"set", "serial", "1", std::string(376, 's')},
        {"set", "dropouts", "-1"},
        {"set", "mode", "4294967296"},
        {"set", "stream-range", "1", "2"},
        {"fault", "short", "GetDriverInfo", "-1"},
    };
    for (const auto& args : bad) {
        SimResult r = sim.Run(args);
        EXPECT_EQ(1, r.exitCode) << args[1] << ": " << r.output;
    }
}

TEST_F(SimCommandTest, ShortAnswersOfAnyLengthDownToNothing)
{
    Command({"fault", "short", "GetDriverInfo", "0"});
    Command({"fault", "short", "GetDeviceProperties", "3"});
    Command({"fault", "short", "GetNotification", "2"});
    Command({"fault", "short", "GetAsioStatistics", "5000"}); // more than the record: all of it
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(0u, drv.RegisterNotificationEvent(event));
    CloseHandle(event);
    Command({"notify", "3", "0x11223344", "0"});

    struct {
        DWORD code;
        uint32_t key;
        DWORD expected;
    } cases[] = {{IOCTL_KVX_USB_GET_DRIVER_INFO, 0, 0},
                 {IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, 1, 3},
                 {IOCTL_KVX_USB_GET_NOTIFICATION, 0, 2},
                 {IOCTL_KVX_USB_GET_ASIO_STATISTICS, 0, 60}};
    for (const auto& c : cases) {
        const KvxUsbOperation* op = FindKvxUsbOperation(c.code);
        SCOPED_TRACE(op->name);
        char out[600];
        std::memset(out, 0xCC, sizeof out);
        DWORD returned = 99;
        ASSERT_EQ(0u, drv.IoControl(c.code, &c.key, op->inSize, out, op->outSize, &returned));
        EXPECT_EQ(c.expected, returned);
        EXPECT_EQ('\xCC', out[returned]); // nothing past what was returned
    }
    EXPECT_TRUE(StatusHas("short GetDriverInfo 0 bytes")) << status;
}

TEST_F(SimCommandTest, StatusShowsWhatATestReadsBack)
{
    drv.IoControl(IOCTL_KVX_USB_STOP_STREAMS, nullptr, 0, nullptr, 0);
    drv.IoControl(IOCTL_KVX_USB_START_STREAMS, nullptr, 0, nullptr, 0);
    drv.IoControl(IOCTL_KVX_USB_START_STREAMS, nullptr, 0, nullptr, 0);
    Command({"set", "ranking", "1", "3"});
    Command({"set", "channel", std::to_string(SimChannelId(2, false, 1)), "Talkback"});
    Command({"stream", "on"});
    for (const char* line :
         {"rate 48000 Hz, rates 44100 48000 88200 96000 176400 192000, rate mode auto, "
          "clock master device",
          "ASIO buffer 5000 us granularity 32, WDM buffer 10000 us granularity 0",
          "streaming on, drop-outs 0, StartStreams 2, StopStreams 1", "device order 2 1",
          "device 1: \"Model B Studio\" serial KVX-B2-004711 ranking 3",
          "clock source 0 \"Internal\"", "\"Talkback\" (Input 2)"})
        EXPECT_TRUE(StatusHas(line)) << line << "\n" << status;
}

} // namespace
