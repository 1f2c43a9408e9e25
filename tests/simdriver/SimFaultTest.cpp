// Fault injection, the request trace and the control commands' answers.
#include <gtest/gtest.h>

#include <cstring>

#include "KvxUsbText.h"
#include "SimFixture.h"

namespace {

class SimFaultTest : public SimFixture {
protected:
    // One request as it is, past the driver object's checks of what came back.
    template <class Record> DWORD Raw(DWORD code, const uint32_t* id, Record* record)
    {
        return drv.IoControl(code, id, id ? sizeof *id : 0, record, sizeof *record);
    }
};

TEST_F(SimFaultTest, NextRequestsOfAnOperationFailWithTheGivenStatusAndChangeNothing)
{
    Command({"fault", "GetDeviceIdList", "2", "0x1F"});
    Command({"fault", "SetSampleRate", "1", "0xE0000099"});
    _KVX_USB_DEVICE_ID_LIST ids = {};
    EXPECT_EQ(0x1Fu, drv.GetDeviceIdList(&ids));
    EXPECT_EQ(0x1Fu, drv.GetDeviceIdList(&ids));
    EXPECT_EQ(0u, drv.GetDeviceIdList(&ids));
    EXPECT_EQ(2u, ids.Count);

    EXPECT_EQ(0xE0000099u, drv.SetSampleRate(96000));
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    ASSERT_EQ(0u, drv.GetSampleRateInfo(&rates));
    EXPECT_EQ(48000u, rates.CurrentRate);

    // With AFTER, the failures begin once that many requests were answered as usual.
    Command({"fault", "GetDeviceProperties", "1", "1168", "1"});
    _KVX_USB_DEVICE_PROPERTIES device = {};
    const uint32_t id = 1;
    EXPECT_EQ(0u, drv.GetDeviceProperties(&id, &device));
    EXPECT_EQ(1168u, drv.GetDeviceProperties(&id, &device));
    EXPECT_EQ(0u, drv.GetDeviceProperties(&id, &device));
}

TEST_F(SimFaultTest, ShortAnswersCarryHalfTheRecordAndLeaveTheRestUntouched)
{
    Command({"fault", "short", "GetDeviceProperties"});
    uint32_t id = 1;
    _KVX_USB_DEVICE_PROPERTIES device;
    std::memset(&device, 0xCC, sizeof device);
    DWORD returned = 0;
    ASSERT_EQ(0u, drv.IoControl(IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, &id, 4, &device, sizeof device,
                                &returned));
    EXPECT_EQ(256u, returned);
    EXPECT_EQ(1u, device.DeviceId);
    EXPECT_EQ('\xCC', device.SerialNumber[300]);
}

TEST_F(SimFaultTest, OvercountUnterminatedZeroStepAndDuplicateDamageTheAnswersUntilCleared)
{
    Command({"fault", "overcount"});
    Command({"fault", "unterminated"});
    Command({"fault", "zerostep"});
    Command({"fault", "duplicate"});
    // The damaged lists as the driver sends them: the driver object refuses to read them.
    _KVX_USB_DEVICE_ID_LIST ids = {};
    ASSERT_EQ(0u, Raw(IOCTL_KVX_USB_GET_DEVICE_ID_LIST, nullptr, &ids));
    EXPECT_EQ(1000u, ids.Count);
    EXPECT_EQ(ids.DeviceIds[0], ids.DeviceIds[1]);
    _KVX_USB_CHANNEL_ID_LISTS lists = {};
    ASSERT_EQ(0u, Raw(IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, nullptr, &lists));
    EXPECT_EQ(1000u, lists.Input.Count);
    EXPECT_EQ(1000u, lists.Output.Count);
    EXPECT_EQ(lists.Input.ChannelIds[0], lists.Input.ChannelIds[1]);
    EXPECT_EQ(lists.Output.ChannelIds[0], lists.Output.ChannelIds[1]);
    uint32_t id = 1;
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch = {};
    ASSERT_EQ(0u, Raw(IOCTL_KVX_USB_GET_SYNCH_MODE_INFO, &id, &synch));
    EXPECT_EQ(1000u, synch.SourceCount);
    EXPECT_EQ(nullptr, std::memchr(synch.Sources[15].Name, 0, KVX_USB_NAME_SIZE));
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    ASSERT_EQ(0u, Raw(IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO, nullptr, &rates));
    EXPECT_EQ(1000u, rates.RateCount);
    _KVX_USB_DEVICE_PROPERTIES device = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&id, &device));
    EXPECT_EQ(nullptr, std::memchr(device.DeviceName, 0, sizeof device.DeviceName));
    EXPECT_EQ(nullptr, std::memchr(device.SerialNumber, 0, sizeof device.SerialNumber));
    EXPECT_EQ("Model B Studio####", RecordText(device.DeviceName).substr(0, 18));
    _KVX_USB_STREAM_BUFFER_DEPTH stream = {};
    ASSERT_EQ(0u, drv.GetStreamBufferDepth(&stream));
    EXPECT_EQ(0u, stream.Step);

    Command({"fault", "clear"});
    ASSERT_EQ(0u, Raw(IOCTL_KVX_USB_GET_DEVICE_ID_LIST, nullptr, &ids));
    EXPECT_EQ(2u, ids.Count);
    EXPECT_EQ(2u, ids.DeviceIds[1]);
    ASSERT_EQ(0u, drv.GetDeviceProperties(&id, &device));
    EXPECT_EQ("Model B Studio", RecordText(device.DeviceName));
    ASSERT_EQ(0u, drv.GetStreamBufferDepth(&stream));
    EXPECT_EQ(500u, stream.Step);
}

TEST_F(SimFaultTest, AStallHoldsTheAnswerForItsTime)
{
    Command({"fault", "stall", "400"});
    DWORD start = GetTickCount();
    _KVX_USB_DRIVER_INFO info = {};
    EXPECT_EQ(0u, drv.GetDriverInfo(&info));
    EXPECT_GE(GetTickCount() - start, 300u);
    SimResult status = sim.Run({"status"});
    EXPECT_EQ(std::string::npos, status.output.find("stall")) << status.output; // over
    EXPECT_EQ(0u, drv.GetDriverInfo(&info));
}

TEST_F(SimFaultTest, CommandsAnswerWithTextAndExitCodes)
{
    SimResult r = sim.Run({"fault", "NoSuchOperation", "1", "5"});
    EXPECT_NE(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("usage: fault")) << r.output;
    r = sim.Run({"set", "rate", "12345"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("0x00000057")) << r.output;
    EXPECT_EQ(1, sim.Run({"plug", "99"}).exitCode);
    EXPECT_EQ(1, sim.Run({"bogus"}).exitCode);

    Command({"fault", "GetNotification", "3", "0x1F"});
    r = sim.Run({"status"});
    EXPECT_EQ(0, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("\"Model B Mobile\"")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("fail GetNotification next 3 with 0x0000001F"));

    // A second server on the same pipe is refused.
    r = sim.Run({"serve"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("already serves")) << r.output;

    ASSERT_TRUE(sim.Stop());
    r = sim.Run({"status"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("no stand-in driver")) << r.output;
}

class SimTraceTest : public SimFixture {
protected:
    void SetUp() override
    {
        trace = SimDriverProcess::TempPath("trace.txt");
        DeleteFileA(trace.c_str());
        StartSim("demo", {"--trace", trace});
    }
    void TearDown() override { DeleteFileA(trace.c_str()); }
    std::string trace;
};

TEST_F(SimTraceTest, OneLinePerRequestWithOperationSizesAndStatus)
{
    _KVX_USB_DEVICE_ID_LIST ids = {};
    ASSERT_EQ(0u, drv.GetDeviceIdList(&ids));
    Command({"stream", "on"});
    EXPECT_EQ(KVX_USB_E_STREAMING_ACTIVE, drv.SetSampleRate(44100));
    drv.IoControl(0x80892FFC, nullptr, 0, nullptr, 0);
    std::string text = SimDriverProcess::ReadFileText(trace);
    EXPECT_NE(std::string::npos,
              text.find(" GetDeviceIdList in=0 out=260 returned=260 status=0x00000000"))
        << text;
    EXPECT_NE(std::string::npos,
              text.find(" SetSampleRate in=8 out=0 returned=0 status=0xE0000047"));
    EXPECT_NE(std::string::npos, text.find(" 0x80892FFC in=0 out=0 returned=0 status=0x00000001"));
    EXPECT_NE(std::string::npos, text.find("command: stream on"));
}

} // namespace
