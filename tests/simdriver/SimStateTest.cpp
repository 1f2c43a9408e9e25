// Settings kept in the state file survive a restart; a damaged file is refused, not
// overwritten.
#include <gtest/gtest.h>

#include <cstring>

#include "KvxUsbText.h"
#include "SimFixture.h"
#include "SimHardware.h"
#include "SimScenario.h"
#include "SimState.h"

namespace {

class SimStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = SimDriverProcess::TempPath("state.json");
        DeleteFileA(state.c_str());
    }
    void TearDown() override { DeleteFileA(state.c_str()); }

    void Start(SimDriverProcess& sim, CKvxuUsbDriver& drv)
    {
        ASSERT_TRUE(sim.Start("demo", {"--state", state})) << sim.Log();
        ASSERT_EQ(0u, drv.Open(KVX_USB_DEVICE_NAME));
    }

    std::string state;
};

TEST_F(SimStateTest, ChangedSettingsSurviveARestart)
{
    uint32_t device2 = 2, channel = SimChannelId(1, true, 1);
    _KVX_USB_DEVICE_PROPERTIES renamed = {};
    _KVX_USB_CHANNEL_PROPERTIES channelRenamed = {};
    {
        SimDriverProcess sim;
        CKvxuUsbDriver drv;
        Start(sim, drv);
        ASSERT_EQ(0u, drv.SetSampleRate(88200));
        ASSERT_EQ(0u, drv.GetDeviceProperties(&device2, &renamed));
        std::memset(renamed.DeviceName, 'q', sizeof renamed.DeviceName);
        std::memcpy(renamed.DeviceName, "Travel\0", 7);
        renamed.Ranking = 5;
        ASSERT_EQ(0u, drv.SetDeviceProperties(&renamed));
        ASSERT_EQ(0u, drv.GetChannelProperties(&channel, &channelRenamed));
        SetRecordText(channelRenamed.ChannelName, "Right Main");
        ASSERT_EQ(0u, drv.SetChannelProperties(&channelRenamed));
        _KVX_USB_SYNCH_MODE_SELECT select = {1, 2, 2};
        ASSERT_EQ(0u, drv.SetSynchMode(&select));
        _KVX_USB_BUFFER_DEPTH wdm = {};
        ASSERT_EQ(0u, drv.GetWdmBufferDepth(&wdm));
        wdm.Depth = 20000;
        ASSERT_EQ(0u, drv.SetWdmBufferDepth(&wdm));
        ASSERT_TRUE(sim.Stop());
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((state + ".tmp").c_str()));

    SimDriverProcess sim;
    CKvxuUsbDriver drv;
    Start(sim, drv);
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    ASSERT_EQ(0u, drv.GetSampleRateInfo(&rates));
    EXPECT_EQ(88200u, rates.CurrentRate);
    _KVX_USB_DEVICE_PROPERTIES device = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&device2, &device));
    EXPECT_EQ(0, std::memcmp(&renamed, &device, sizeof device));
    _KVX_USB_CHANNEL_PROPERTIES c = {};
    ASSERT_EQ(0u, drv.GetChannelProperties(&channel, &c));
    EXPECT_EQ(0, std::memcmp(&channelRenamed, &c, sizeof c));
    uint32_t device1 = 1;
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch = {};
    ASSERT_EQ(0u, drv.GetSynchModeInfo(&device1, &synch));
    EXPECT_EQ("ADAT", RecordText(synch.Current.Name));
    _KVX_USB_BUFFER_DEPTH wdm = {};
    ASSERT_EQ(0u, drv.GetWdmBufferDepth(&wdm));
    EXPECT_EQ(20000u, wdm.Depth);
}

TEST_F(SimStateTest, ADamagedStateFileIsRefusedAndKept)
{
    const struct {
        std::string text;
        const char* reason;
    } damaged[] = {
        {"{\"rate\": 44100, \"devices\": [", "state.json"},
        {"{\"asioBufferDepth\": -1}", "asioBufferDepth"},
    };
    for (const auto& d : damaged) {
        std::string error;
        ASSERT_TRUE(WriteFileAtomically(state, d.text, &error)) << error;
        SimDriverProcess sim;
        EXPECT_FALSE(sim.Start("demo", {"--state", state}));
        EXPECT_NE(std::string::npos, sim.Log().find(d.reason)) << sim.Log();
        EXPECT_EQ(d.text, SimDriverProcess::ReadFileText(state));
    }
}

TEST_F(SimStateTest, AChangeThatCouldNotBeKeptShowsInStatus)
{
    SimDriverProcess sim;
    CKvxuUsbDriver drv;
    Start(sim, drv);
    // A folder where the save writes its temporary file: no save can succeed now.
    const std::string blocker = state + ".tmp";
    ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
    EXPECT_EQ(0, sim.Run({"set", "name", "1", "Unkept"}).exitCode);
    SimResult status = sim.Run({"status"});
    RemoveDirectoryA(blocker.c_str());
    EXPECT_NE(std::string::npos, status.output.find("NOT saved")) << status.output;
}

TEST_F(SimStateTest, AtomicWriteReplacesTheWholeFile)
{
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(state, std::string(5000, 'x'), &error));
    ASSERT_TRUE(WriteFileAtomically(state, "short", &error));
    EXPECT_EQ("short", SimDriverProcess::ReadFileText(state));
    EXPECT_FALSE(WriteFileAtomically("Z:\\no\\such\\folder\\state.json", "x", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SimStateTest, StateOfValuesTheScenarioDoesNotOfferIsAnError)
{
    SimHardware hw;
    std::string error;
    ASSERT_TRUE(ParseScenario("{\"devices\": [{\"id\": 1}]}", &hw, &error)) << error;
    EXPECT_FALSE(ApplyStateText("{\"rate\": 1234}", &hw, &error));
    EXPECT_FALSE(ApplyStateText("{\"devices\": [{\"id\": 1, \"clockSource\": 9}]}", &hw, &error));
    EXPECT_TRUE(ApplyStateText(StateText(hw), &hw, &error)) << error;
}

TEST_F(SimStateTest, StateValuesMustFitTheirFieldExactlyAndNothingIsHalfApplied)
{
    SimHardware hw;
    std::string error;
    ASSERT_TRUE(ParseScenario("{\"devices\": [{\"id\": 1}]}", &hw, &error)) << error;
    const SimHardware original = hw;
    const struct {
        std::string text;
        const char* key;
    } bad[] = {
        {"{\"wdmBufferDepth\": 20000, \"asioBufferDepth\": -1}", "asioBufferDepth"},
        {"{\"streamBufferDepth\": 2500.9}", "streamBufferDepth"},
        {"{\"devices\": [{\"id\": 1, \"ranking\": -3}]}", "ranking"},
        {"{\"devices\": " + std::string(50000, '[') + std::string(50000, ']') + "}",
         "nested deeper"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.text.substr(0, 80));
        EXPECT_FALSE(ApplyStateText(b.text, &hw, &error));
        EXPECT_NE(std::string::npos, error.find(b.key)) << error;
        EXPECT_EQ(original.wdmDepth.Depth, hw.wdmDepth.Depth);
    }
}

} // namespace
