// The soak reads its verdicts from the stand-in's answers: a command's exit code and text
// through the control pipe, and the devices, faults left and the panel's clients from its
// status. Against the real stand-in, so that a change of its status text shows here and
// not as soak figures that quietly count nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include "KvxuUsbDriver.h"
#include "SimDriverProcess.h"
#include "SoakStandIn.h"

TEST(SoakStandIn, CommandsAndStatusAsTheSoakReadsThem)
{
    SimDriverProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Log();
    std::string text;
    EXPECT_EQ(Control(sim.PipeName(), {"fault", "GetDeviceIdList", "3", "0x1F"}, &text), 0);
    EXPECT_NE(text.find("fault GetDeviceIdList 3 0x1F set"), std::string::npos) << text;
    EXPECT_EQ(Control(sim.PipeName(), {"no-such-command"}), 1);

    const SimState before = ReadSim(sim.PipeName(), GetCurrentProcessId());
    ASSERT_TRUE(before.answered);
    ASSERT_EQ(before.plugged.size(), 2u);
    EXPECT_EQ(before.faultsLeft.at("GetDeviceIdList"), 3u);
    EXPECT_EQ(before.panelClients, 0);

    // This process as the panel: one client with an event and two records waiting.
    CKvxuUsbDriver drv;
    ASSERT_EQ(drv.Open(KVX_USB_DEVICE_NAME), 0u);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(drv.RegisterNotificationEvent(event), 0u);
    const std::string last = std::to_string(before.plugged.back());
    EXPECT_EQ(Control(sim.PipeName(), {"unplug", last}), 0);
    EXPECT_EQ(Control(sim.PipeName(), {"notify", "3", "1", "0"}), 0);
    const SimState after = ReadSim(sim.PipeName(), GetCurrentProcessId());
    EXPECT_EQ(after.plugged,
              std::vector<unsigned>(before.plugged.begin(), before.plugged.end() - 1));
    EXPECT_EQ(after.panelClients, 1);
    EXPECT_EQ(after.panelEvents, 1);
    EXPECT_EQ(after.panelQueued, 2u);
    EXPECT_EQ(ReadSim(sim.PipeName(), GetCurrentProcessId() + 4).panelClients, 0);

    // Once the faults fired and ended, none is listed.
    EXPECT_EQ(Control(sim.PipeName(), {"fault", "clear"}), 0);
    EXPECT_TRUE(ReadSim(sim.PipeName(), 0).faultsLeft.empty());
    drv.Close();
    CloseHandle(event);

    // No stand-in: no answer, after the wait given, not a made-up status.
    sim.Stop();
    EXPECT_EQ(Control(sim.PipeName(), {"status"}, nullptr, 300), -1);
    EXPECT_FALSE(ReadSim(sim.PipeName(), 0).answered);
}
