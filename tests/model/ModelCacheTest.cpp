// The model cache against a fake device: first-error-wins loads and stores, bounded id
// lists, byte-exact records, and what a closed channel keeps.
#include <gtest/gtest.h>

#include <cstring>

#include "Drv.h"
#include "FakeDriverModel.h"
#include "KvxUsbText.h"

CDrv theDrv;

namespace {

class ModelCacheTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0u, drv.Open(KVX_USB_DEVICE_NAME)); }

    // Codes and ids of the requests after Open, in the order they reached the device.
    std::vector<std::pair<DWORD, uint32_t>> Requests() const
    {
        std::vector<std::pair<DWORD, uint32_t>> sent;
        for (const FakeDeviceIo::Request& request : device.requests) {
            if (request.code == IOCTL_KVX_USB_GET_DRIVER_INFO)
                continue;
            uint32_t id = 0;
            if (request.in.size() >= sizeof id)
                std::memcpy(&id, request.in.data(), sizeof id);
            sent.push_back({request.code, id});
        }
        return sent;
    }

    template <class Record>
    static std::vector<uint32_t> Ids(const std::vector<std::unique_ptr<Record>>& records)
    {
        std::vector<uint32_t> ids;
        for (const auto& record : records) {
            uint32_t id;
            std::memcpy(&id, record.get(), sizeof id); // every record starts with its id
            ids.push_back(id);
        }
        return ids;
    }

    template <class Record> static bool SameBytes(const Record& a, const Record& b)
    {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }

    FakeDeviceIo device;
    FakeDriverModel model{device};
    CDrv drv;
};

TEST_F(ModelCacheTest, FailedDeviceIsLeftOutAndItsStatusReturned)
{
    model.deviceIds = {11, 22, 33};
    model.readFailures[22] = ERROR_GEN_FAILURE;

    EXPECT_EQ(DWORD(ERROR_GEN_FAILURE), drv.LoadDevices());
    EXPECT_EQ((std::vector<uint32_t>{11, 33}), Ids(drv.m_Devices));
    EXPECT_TRUE(SameBytes(FakeDriverModel::Device(33), *drv.m_Devices[1]));
    const std::vector<std::pair<DWORD, uint32_t>> expected = {
        {IOCTL_KVX_USB_GET_DEVICE_ID_LIST, 0},
        {IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, 11},
        {IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, 22},
        {IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, 33}};
    EXPECT_EQ(expected, Requests());

    EXPECT_EQ(DWORD(ERROR_GEN_FAILURE), drv.LoadSynchModes());
    EXPECT_EQ((std::vector<uint32_t>{11, 33}), Ids(drv.m_SynchModes));
    EXPECT_TRUE(SameBytes(FakeDriverModel::SynchMode(11), *drv.m_SynchModes[0]));
}

TEST_F(ModelCacheTest, EarlierOfTwoFailuresWins)
{
    model.deviceIds = {1, 2, 3, 4};
    model.readFailures[2] = ERROR_NOT_READY;
    model.readFailures[4] = ERROR_GEN_FAILURE;
    EXPECT_EQ(DWORD(ERROR_NOT_READY), drv.LoadDevices());
    EXPECT_EQ((std::vector<uint32_t>{1, 3}), Ids(drv.m_Devices));

    model.inputIds = {100, 101, 102};
    model.readFailures[100] = ERROR_IO_DEVICE;
    model.readFailures[102] = ERROR_NOT_READY;
    EXPECT_EQ(DWORD(ERROR_IO_DEVICE),
              drv.LoadChannels(drv.m_InputChannels, KvxUsbDirection::Input));
    EXPECT_EQ((std::vector<uint32_t>{101}), Ids(drv.m_InputChannels));
}

TEST_F(ModelCacheTest, ChannelLoadReadsTheHalfItIsAskedFor)
{
    model.inputIds = {100, 101};
    model.outputIds = {200, 201, 202};

    EXPECT_EQ(0u, drv.LoadChannels(drv.m_OutputChannels, KvxUsbDirection::Output));
    EXPECT_EQ((std::vector<uint32_t>{200, 201, 202}), Ids(drv.m_OutputChannels));
    EXPECT_TRUE(SameBytes(FakeDriverModel::Channel(202), *drv.m_OutputChannels[2]));
    EXPECT_EQ(0u, drv.LoadChannels(drv.m_InputChannels, KvxUsbDirection::Input));
    EXPECT_EQ((std::vector<uint32_t>{100, 101}), Ids(drv.m_InputChannels));
    EXPECT_EQ(3u, drv.m_OutputChannels.size()); // the other array is untouched
}

// A list whose count is past its record's capacity, or that names an id twice, is not read:
// no record is read for it, and nothing of it is kept.
TEST_F(ModelCacheTest, ListsPastCapacityOrWithAnIdTwiceAreNotRead)
{
    for (uint32_t id = 1; id <= KVX_USB_MAX_DEVICES; ++id)
        model.deviceIds.push_back(id);
    model.deviceCount = KVX_USB_MAX_DEVICES;
    EXPECT_EQ(0u, drv.LoadDevices());
    EXPECT_EQ(size_t(KVX_USB_MAX_DEVICES), drv.m_Devices.size());
    model.deviceCount = KVX_USB_MAX_DEVICES + 1;
    for (uint32_t id = 1; id <= KVX_USB_MAX_CHANNELS + 10; ++id)
        model.outputIds.push_back(id);
    device.requests.clear();

    EXPECT_EQ(DWORD(KVX_USB_E_BAD_LIST), drv.LoadDevices());
    EXPECT_TRUE(drv.m_Devices.empty());
    EXPECT_EQ(DWORD(KVX_USB_E_BAD_LIST),
              drv.LoadChannels(drv.m_OutputChannels, KvxUsbDirection::Output));
    EXPECT_TRUE(drv.m_OutputChannels.empty());
    EXPECT_EQ(2u, Requests().size()); // the two lists, no record of either

    model.deviceIds = {4, 5, 4};
    model.deviceCount = 3;
    EXPECT_EQ(DWORD(KVX_USB_E_BAD_LIST), drv.LoadSynchModes());
    EXPECT_TRUE(drv.m_SynchModes.empty());
}

TEST_F(ModelCacheTest, IdListsWithNoAnswerAreNotRead)
{
    model.deviceIds = {1, 2};
    ASSERT_EQ(0u, drv.LoadDevices());
    model.inputIds = {7};
    ASSERT_EQ(0u, drv.LoadChannels(drv.m_InputChannels, KvxUsbDirection::Input));

    model.idListsAnswerNothing = true;
    device.requests.clear();
    EXPECT_EQ(DWORD(KVX_USB_E_SHORT_ANSWER), drv.LoadDevices());
    EXPECT_TRUE(drv.m_Devices.empty());
    EXPECT_EQ(DWORD(KVX_USB_E_SHORT_ANSWER),
              drv.LoadChannels(drv.m_InputChannels, KvxUsbDirection::Input));
    EXPECT_TRUE(drv.m_InputChannels.empty());
    EXPECT_EQ(2u, Requests().size()); // no property read with a stale id
}

TEST_F(ModelCacheTest, ClosingKeepsTheModelAndAClosedLoadKeepsTheSettings)
{
    model.deviceIds = {5};
    model.inputIds = {50};
    ASSERT_EQ(0u, drv.LoadDevices());
    ASSERT_EQ(0u, drv.LoadChannels(drv.m_InputChannels, KvxUsbDirection::Input));
    drv.m_AsioNameOption = 1;
    drv.m_ClockMaster.ClockMaster = 1;
    drv.m_SampleRateMode = 1;
    drv.m_SampleRateInfo.CurrentRate = 48000;

    drv.Close();
    EXPECT_EQ(1u, drv.m_Devices.size());
    EXPECT_EQ(1u, drv.m_InputChannels.size());

    EXPECT_EQ(DWORD(KVX_USB_E_NOT_OPEN), drv.LoadDevices());
    EXPECT_TRUE(drv.m_Devices.empty());
    EXPECT_EQ(DWORD(KVX_USB_E_NOT_OPEN),
              drv.LoadChannels(drv.m_InputChannels, KvxUsbDirection::Input));
    EXPECT_TRUE(drv.m_InputChannels.empty());
    EXPECT_EQ(1u, drv.m_AsioNameOption);
    EXPECT_EQ(1u, drv.m_ClockMaster.ClockMaster);
    EXPECT_EQ(1u, drv.m_SampleRateMode);
    EXPECT_EQ(48000u, drv.m_SampleRateInfo.CurrentRate);
}

// A store reads its record afresh and sends it with only the user's field changed, and only
// when that changed it; a record it cannot read is not written.
TEST_F(ModelCacheTest, AStoreSendsOnlyTheChangedFieldOfAFreshRecord)
{
    const _KVX_USB_DEVICE_PROPERTIES fresh = FakeDriverModel::Device(2);
    EXPECT_EQ(CWriteOutcome::Unchanged, drv.StoreDeviceRanking(2, fresh.Ranking).outcome);
    EXPECT_EQ(CWriteOutcome::Unchanged,
              drv.StoreDeviceName(2, RecordText(fresh.DeviceName)).outcome)
        << "a name without its terminator, left as it was, is not cut and sent";
    ASSERT_EQ(2u, device.requests.size() - 1) << "two reads, no write";

    device.requests.clear();
    EXPECT_EQ(CWriteOutcome::Applied, drv.StoreDeviceRanking(2, 7).outcome);
    ASSERT_EQ(2u, device.requests.size());
    _KVX_USB_DEVICE_PROPERTIES expected = fresh;
    expected.Ranking = 7;
    EXPECT_EQ(FakeDeviceIo::Bytes(expected), device.requests[1].in);

    model.readFailures[3] = ERROR_GEN_FAILURE;
    model.storeFailures[2] = ERROR_NOT_READY;
    device.requests.clear();
    const CWriteResult notRead = drv.StoreDeviceName(3, "Desk");
    EXPECT_EQ(CWriteOutcome::NotSent, notRead.outcome);
    EXPECT_EQ(DWORD(ERROR_GEN_FAILURE), notRead.status);
    EXPECT_EQ(1u, device.requests.size()) << "only the read";
    const CWriteResult refused = drv.StoreDeviceName(2, "Desk");
    EXPECT_EQ(CWriteOutcome::Refused, refused.outcome);
    EXPECT_EQ(DWORD(ERROR_NOT_READY), refused.status);
}

TEST_F(ModelCacheTest, AClockSourceGoesOnlyToItsDeviceWithTheKindTheDriverGivesIt)
{
    const _KVX_USB_DEVICE_SYNCH_MODE_INFO modes = FakeDriverModel::SynchMode(8);
    const _KVX_USB_CLOCK_SOURCE& chosen = modes.Sources[3];
    EXPECT_EQ(CWriteOutcome::Applied, drv.StoreClockSource(8, chosen.SourceId).outcome);
    ASSERT_EQ(3u, device.requests.size()); // the driver info, the fresh read, the one write
    _KVX_USB_SYNCH_MODE_SELECT sent;
    ASSERT_EQ(sizeof sent, device.requests[2].in.size());
    std::memcpy(&sent, device.requests[2].in.data(), sizeof sent);
    EXPECT_EQ(8u, sent.DeviceId);
    EXPECT_EQ(chosen.SourceKind, sent.SourceKind);
    EXPECT_EQ(chosen.SourceId, sent.SourceId);

    device.requests.clear();
    EXPECT_EQ(CWriteOutcome::NotSent, drv.StoreClockSource(8, modes.Sources[5].SourceId).outcome)
        << "a source the device no longer lists";
    EXPECT_EQ(1u, device.requests.size());
}

TEST_F(ModelCacheTest, ReloadReplacesTheWholeArray)
{
    model.deviceIds = {1, 2, 3};
    ASSERT_EQ(0u, drv.LoadDevices());
    model.deviceIds = {4};
    ASSERT_EQ(0u, drv.LoadDevices());
    EXPECT_EQ((std::vector<uint32_t>{4}), Ids(drv.m_Devices));
    drv.FreeDevices();
    EXPECT_TRUE(drv.m_Devices.empty());
    EXPECT_EQ(0u, drv.m_Devices.capacity());
}

} // namespace
