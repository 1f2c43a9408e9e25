// The model cache and the notificator against the stand-in driver process: the largest
// model, injected faults, hot unplug, change records through the real event, and a
// stand-in that vanishes.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "CountingDeviceIo.h"
#include "Drv.h"
#include "KvxuUsbNotificator.h"
#include "NoticeWindow.h"
#include "SimDriverProcess.h"

CDrv theDrv;

namespace {

class ModelSimTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        theDrv.Close();
        theDrv.FreeDevices();
        theDrv.FreeSynchModes();
        CDrv::FreeChannels(theDrv.m_InputChannels);
        CDrv::FreeChannels(theDrv.m_OutputChannels);
    }

    void StartSim(const std::string& scenario = "demo")
    {
        ASSERT_TRUE(sim.Start(scenario)) << sim.Log();
        ASSERT_EQ(0u, theDrv.Open(KVX_USB_DEVICE_NAME));
    }

    void Command(std::initializer_list<std::string> args)
    {
        SimResult r = sim.Run(args);
        ASSERT_EQ(0, r.exitCode) << r.output;
    }

    std::vector<uint32_t> DeviceIdList()
    {
        _KVX_USB_DEVICE_ID_LIST list = {};
        EXPECT_EQ(0u, theDrv.GetDeviceIdList(&list));
        return std::vector<uint32_t>(list.DeviceIds, list.DeviceIds + list.Count);
    }

    static std::vector<uint32_t> ChannelIds(const CChannelArray& channels)
    {
        std::vector<uint32_t> ids;
        for (const auto& channel : channels)
            ids.push_back(channel->ChannelId);
        return ids;
    }

    SimDriverProcess sim;
    CountingDeviceIo requests;
};

TEST_F(ModelSimTest, LargestModelLoadsWithOneRequestPerRecord)
{
    StartSim("maximal");
    std::vector<uint32_t> ids = DeviceIdList();
    ASSERT_EQ(size_t(KVX_USB_MAX_DEVICES), ids.size());

    requests.Reset();
    ASSERT_EQ(0u, theDrv.LoadDevices());
    EXPECT_EQ(1u + KVX_USB_MAX_DEVICES, requests.total);
    ASSERT_EQ(ids.size(), theDrv.m_Devices.size());
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], theDrv.m_Devices[i]->DeviceId) << i;

    requests.Reset();
    ASSERT_EQ(0u, theDrv.LoadSynchModes());
    EXPECT_EQ(1u + KVX_USB_MAX_DEVICES, requests.total);
    EXPECT_EQ(ids.back(), theDrv.m_SynchModes.back()->DeviceId);

    requests.Reset();
    ASSERT_EQ(0u, theDrv.LoadChannels(theDrv.m_InputChannels, KvxUsbDirection::Input));
    ASSERT_EQ(0u, theDrv.LoadChannels(theDrv.m_OutputChannels, KvxUsbDirection::Output));
    EXPECT_EQ(2 * (1u + KVX_USB_MAX_CHANNELS), requests.total);
    EXPECT_EQ(size_t(KVX_USB_MAX_CHANNELS), theDrv.m_InputChannels.size());
    EXPECT_EQ(size_t(KVX_USB_MAX_CHANNELS), theDrv.m_OutputChannels.size());
    std::vector<uint32_t> inputs = ChannelIds(theDrv.m_InputChannels);
    std::vector<uint32_t> outputs = ChannelIds(theDrv.m_OutputChannels);
    EXPECT_EQ(size_t(KVX_USB_MAX_CHANNELS),
              std::set<uint32_t>(inputs.begin(), inputs.end()).size());
    EXPECT_NE(inputs, outputs);
}

TEST_F(ModelSimTest, CountsAboveCapacityFailTheListBeforeAnyIdIsUsed)
{
    StartSim();
    Command({"fault", "overcount"});
    requests.Reset();
    EXPECT_EQ(DWORD(KVX_USB_E_BAD_LIST), theDrv.LoadDevices());
    EXPECT_TRUE(theDrv.m_Devices.empty());
    EXPECT_EQ(DWORD(KVX_USB_E_BAD_LIST),
              theDrv.LoadChannels(theDrv.m_OutputChannels, KvxUsbDirection::Output));
    EXPECT_EQ(0u, requests.perCode[IOCTL_KVX_USB_GET_DEVICE_PROPERTIES]);
    EXPECT_EQ(0u, requests.perCode[IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES]);
}

TEST_F(ModelSimTest, StoredRankingsAndClockSourcesReachTheDriverAndNoOtherRecord)
{
    StartSim();
    ASSERT_EQ(0u, theDrv.LoadDevices());
    ASSERT_EQ(2u, theDrv.m_Devices.size());
    const uint32_t first = theDrv.m_Devices[0]->DeviceId;
    const uint32_t second = theDrv.m_Devices[1]->DeviceId;
    EXPECT_EQ(CWriteOutcome::Applied, theDrv.StoreDeviceRanking(first, 1).outcome);
    EXPECT_EQ(CWriteOutcome::Applied, theDrv.StoreDeviceRanking(second, 0).outcome);
    ASSERT_EQ(0u, theDrv.LoadDevices());
    for (const auto& device : theDrv.m_Devices)
        EXPECT_EQ(device->DeviceId == first ? 1u : 0u, device->Ranking);

    ASSERT_EQ(0u, theDrv.LoadSynchModes());
    const _KVX_USB_DEVICE_SYNCH_MODE_INFO changed = *theDrv.m_SynchModes[0];
    ASSERT_GE(changed.SourceCount, 2u);
    const uint32_t untouched = theDrv.m_SynchModes[1]->Current.SourceId;
    const uint32_t before = changed.Current.SourceId;
    const uint32_t chosen = changed.Sources[changed.Sources[0].SourceId == before ? 1 : 0].SourceId;
    requests.Reset();
    EXPECT_EQ(CWriteOutcome::Applied, theDrv.StoreClockSource(changed.DeviceId, chosen).outcome);
    EXPECT_EQ(1u, requests.perCode[IOCTL_KVX_USB_SET_SYNCH_MODE]);
    ASSERT_EQ(0u, theDrv.LoadSynchModes());
    EXPECT_EQ(chosen, theDrv.m_SynchModes[0]->Current.SourceId);
    EXPECT_EQ(untouched, theDrv.m_SynchModes[1]->Current.SourceId);

    Command({"stream", "on"});
    const CWriteResult refused = theDrv.StoreClockSource(changed.DeviceId, before);
    EXPECT_EQ(CWriteOutcome::Refused, refused.outcome);
    EXPECT_EQ(DWORD(KVX_USB_E_STREAMING_ACTIVE), refused.status);
}

TEST_F(ModelSimTest, NoDevicesGivesEmptyArrays)
{
    StartSim();
    for (uint32_t id : DeviceIdList())
        Command({"unplug", std::to_string(id)});
    EXPECT_EQ(0u, theDrv.LoadDevices());
    EXPECT_TRUE(theDrv.m_Devices.empty());
    EXPECT_EQ(0u, theDrv.LoadChannels(theDrv.m_InputChannels, KvxUsbDirection::Input));
    EXPECT_TRUE(theDrv.m_InputChannels.empty());
}

TEST_F(ModelSimTest, VanishedStandInFailsLoadsAtOnceAndKeepsTheSettings)
{
    StartSim();
    ASSERT_EQ(0u, theDrv.GetSampleRateInfo(&theDrv.m_SampleRateInfo));
    const uint32_t rate = theDrv.m_SampleRateInfo.CurrentRate;
    ASSERT_EQ(0u, theDrv.LoadDevices());
    sim.Kill();
    EXPECT_NE(0u, theDrv.LoadDevices());
    EXPECT_TRUE(theDrv.m_Devices.empty());
    EXPECT_EQ(rate, theDrv.m_SampleRateInfo.CurrentRate);
}

// --- the notificator --------------------------------------------------------------------

class NotificatorSimTest : public ModelSimTest {
protected:
    void StartNotificator()
    {
        window.onNotice = [this] {
            _KVX_USB_NOTIFICATION record;
            while (notificator.GetNotification(&record) == 0)
                kinds.push_back(record.Kind);
        };
        notificator.SetTarget(window.hwnd, WM_DRIVER_NOTIFY, 0, 0);
        ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    }

    bool WaitForKinds(size_t count)
    {
        return PumpUntil([&] { return kinds.size() >= count; }, 10000);
    }

    NoticeWindow window;
    CKvxuUsbNotificator notificator;
    std::vector<int32_t> kinds;
};

TEST_F(NotificatorSimTest, EveryQueuedRecordIsDrainedAndStopEndsAtOnce)
{
    StartSim();
    StartNotificator();
    Command({"notify", "2"});
    Command({"notify", "1"});
    Command({"notify", "3"});
    ASSERT_TRUE(WaitForKinds(3)) << kinds.size();
    EXPECT_EQ((std::vector<int32_t>{2, 1, 3}), kinds);
    EXPECT_GE(window.notices, 1);
    EXPECT_LE(window.notices, 3);

    const DWORD start = GetTickCount();
    EXPECT_EQ(0u, notificator.Stop());
    EXPECT_LT(GetTickCount() - start, 5000u);
    _KVX_USB_NOTIFICATION record;
    EXPECT_EQ(DWORD(KVX_USB_E_NOT_OPEN), notificator.GetNotification(&record));

    // Started again, it hands the driver its event again.
    ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    Command({"notify", "2"});
    ASSERT_TRUE(WaitForKinds(4));
    EXPECT_EQ(0u, notificator.Stop());
}

TEST_F(NotificatorSimTest, StartFailsWithoutThreadForAnotherInterfaceVersion)
{
    std::string scenario = SimDriverProcess::TempPath("interface3.json");
    FILE* file = std::fopen(scenario.c_str(), "w");
    ASSERT_NE(nullptr, file);
    std::fputs("{\"driver\": {\"interface\": [3, 0]}}", file);
    std::fclose(file);
    ASSERT_TRUE(sim.Start(scenario)) << sim.Log();
    EXPECT_EQ(DWORD(KVX_USB_E_INTERFACE_VERSION), notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_FALSE(notificator.IsRunning());
    DeleteFileA(scenario.c_str());
}

TEST_F(NotificatorSimTest, StartFailsWithoutThreadWhenNoDriverAnswers)
{
    SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", "kvxtest-nobody-listens");
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_FALSE(notificator.IsRunning());
    SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", nullptr);
}

TEST_F(NotificatorSimTest, StandInVanishingWhileTheThreadRunsHangsNothing)
{
    StartSim();
    StartNotificator();
    Command({"notify", "2"});
    ASSERT_TRUE(WaitForKinds(1));
    sim.Kill();

    _KVX_USB_NOTIFICATION record;
    EXPECT_NE(0u, notificator.GetNotification(&record));
    EXPECT_TRUE(notificator.IsRunning()); // the thread waits on its own events
    EXPECT_EQ(0u, notificator.Stop());
    EXPECT_NE(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_FALSE(notificator.IsRunning());
}

} // namespace
