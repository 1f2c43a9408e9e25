// Scenario files: the maximal one fills every record to its capacity; a scenario beyond
// the records' limits or inconsistent in itself is refused with a reason.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "KvxUsbText.h"
#include "SimFixture.h"
#include "SimScenario.h"

namespace {

class SimMaximalTest : public SimFixture {
protected:
    void SetUp() override { StartSim("maximal"); }
};

TEST_F(SimMaximalTest, FillsEveryListToItsCapacity)
{
    _KVX_USB_DEVICE_ID_LIST ids = {};
    ASSERT_EQ(0u, drv.GetDeviceIdList(&ids));
    EXPECT_EQ(64u, ids.Count);
    _KVX_USB_CHANNEL_ID_LISTS lists = {};
    ASSERT_EQ(0u, drv.GetChannelIdLists(&lists));
    EXPECT_EQ(256u, lists.Input.Count);
    EXPECT_EQ(256u, lists.Output.Count);
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch = {};
    ASSERT_EQ(0u, drv.GetSynchModeInfo(&ids.DeviceIds[0], &synch));
    EXPECT_EQ(16u, synch.SourceCount);
    EXPECT_EQ("External 16", RecordText(synch.Sources[15].Name));
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    ASSERT_EQ(0u, drv.GetSampleRateInfo(&rates));
    EXPECT_EQ(8u, rates.RateCount);
    EXPECT_EQ(384000u, rates.Rates[7]);
    _KVX_USB_CHANNEL_PROPERTIES last = {};
    ASSERT_EQ(0u, drv.GetChannelProperties(&lists.Output.ChannelIds[255], &last));
    EXPECT_EQ(64u, last.DeviceId);
}

std::string Device(const std::string& more = "")
{
    return "{\"id\": 1" + more + "}";
}

TEST(SimScenarioTest, RefusesWhatTheRecordsCannotCarryOrWhatContradictsItself)
{
    std::string devices65;
    for (int i = 1; i <= 65; ++i)
        devices65 += (i > 1 ? "," : "") + std::string("{\"id\": ") + std::to_string(i) + "}";
    std::string sources17;
    for (int i = 0; i < 17; ++i)
        sources17 += (i ? "," : "") + std::string("{\"id\": ") + std::to_string(i) + "}";
    const struct {
        std::string text;
        const char* reason;
    } bad[] = {
        {"{\"devices\": [" + devices65 + "]}", "64"},
        {"{\"devices\": [" + Device(", \"inputs\": 200") + ", {\"id\": 2, \"inputs\": 57}]}",
         "256"},
        {"{\"devices\": [" + Device(", \"clockSources\": [" + sources17 + "]") + "]}", "16"},
        {"{\"rates\": [1,2,3,4,5,6,7,8,9], \"devices\": []}", "8 rates"},
        {"{\"rates\": [44100], \"currentRate\": 48000, \"devices\": []}", "currentRate"},
        {"{\"devices\": [" + Device(", \"name\": \"" + std::string(40, 'n') + "\"") + "]}",
         "39 bytes"},
        {"{\"devices\": [" + Device() + "," + Device() + "]}", "differ"},
        {"{\"devices\": [" + Device(", \"clockSource\": 4") + "]}", "clockSource"},
        {"{\"streamBufferDepth\": {\"step\": 0}, \"devices\": []}", "step"},
        {"{\"devices\": [", "parse"},
        {"[1, 2]", "object"},
        // Nesting that would exhaust the stack where a part is copied.
        {"{\"devices\": " + std::string(50000, '[') + std::string(50000, ']') + "}",
         "nested deeper"},
        // Values their field cannot hold exactly, named by their key.
        {"{\"rates\": [-1], \"devices\": []}", "rates"},
        {"{\"rates\": [44100.5], \"devices\": []}", "rates"},
        {"{\"driver\": {\"interface\": [258, 1]}, \"devices\": []}", "driver.interface"},
        {"{\"asioBufferDepth\": {\"depth\": -1}, \"devices\": []}", "depth"},
        {"{\"wdmBufferDepth\": {\"granularity\": 4294967296}, \"devices\": []}", "granularity"},
        {"{\"streamBufferDepth\": {\"current\": 2500.9}, \"devices\": []}", "current"},
        {"{\"devices\": [" + Device(", \"inputs\": -2") + "]}", "inputs"},
        {"{\"streaming\": 1, \"devices\": []}", "streaming"},
        {"{\"dropOuts\": -3, \"devices\": []}", "dropOuts"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.text.substr(0, 80));
        SimHardware hw;
        std::string error;
        EXPECT_FALSE(ParseScenario(b.text, &hw, &error));
        EXPECT_NE(std::string::npos, error.find(b.reason)) << error;
    }
}

TEST(SimScenarioTest, OddValuesTheFieldsCanHoldAreKeptForThePanelToShow)
{
    SimHardware hw;
    std::string error;
    ASSERT_TRUE(ParseScenario("{\"driver\": {\"interface\": [3, 255]}, \"rates\": [0],"
                              " \"currentRate\": 0, \"rateMode\": 7, \"clockMaster\": 4294967295,"
                              " \"dropOuts\": 4294967295, \"devices\": []}",
                              &hw, &error))
        << error;
    EXPECT_EQ(3, hw.driverInfo.InterfaceVersionMajor);
    EXPECT_EQ(7u, hw.rateMode.Mode);
    EXPECT_EQ(0xFFFFFFFFu, hw.clockMaster.ClockMaster);
    EXPECT_EQ(0xFFFFFFFFu, hw.statistics.DropOuts);
}

TEST(SimScenarioTest, FillsPassedThroughBytesWithPatternsThatDifferPerRecord)
{
    SimHardware hw;
    std::string error;
    ASSERT_TRUE(
        ParseScenario("{\"devices\": [{\"id\": 1, \"inputs\": 2}, {\"id\": 2}]}", &hw, &error))
        << error;
    const _KVX_USB_DEVICE_PROPERTIES& a = hw.devices[0].properties;
    const _KVX_USB_DEVICE_PROPERTIES& b = hw.devices[1].properties;
    for (uint8_t byte : a.Opaque)
        EXPECT_NE(0, byte);
    EXPECT_NE(0, std::memcmp(a.Opaque, b.Opaque, sizeof a.Opaque));
    EXPECT_NE(0, a.SerialNumber[375]);
    EXPECT_NE(hw.devices[0].inputs[0].Opaque, hw.devices[0].inputs[1].Opaque);
}

} // namespace
