#include "DriverSnapshot.h"

#include <algorithm>
#include <memory>

#include "KvxuUsbDriver.h"

namespace {

// One read through the driver object, whose status says whether the record came back whole.
template <class Record, class Read>
CDriverRead<Record> ReadRecord(CDriverSnapshot& snapshot, Read read)
{
    CDriverRead<Record> result;
    result.status = read(&result.value);
    if (result.status != 0)
        result.value = Record();
    if (result.status == KVX_USB_E_NOT_RESPONDING)
        snapshot.unanswered = true;
    return result;
}

DWORD ReadList(CDriverSnapshot& snapshot, DWORD status)
{
    if (status == KVX_USB_E_NOT_RESPONDING)
        snapshot.unanswered = true;
    return status;
}

void ReadDevices(CKvxuUsbDriver& driver, CDriverSnapshot& snapshot)
{
    _KVX_USB_DEVICE_ID_LIST ids = {};
    snapshot.deviceListStatus = ReadList(snapshot, driver.GetDeviceIdList(&ids));
    if (snapshot.deviceListStatus != 0)
        return;
    snapshot.deviceCountReported = ids.Count;
    const uint32_t count = std::min<uint32_t>(ids.Count, KVX_USB_MAX_DEVICES);
    for (uint32_t i = 0; i < count; ++i) {
        CSnapshotDevice device;
        device.id = ids.DeviceIds[i];
        device.properties =
            ReadRecord<_KVX_USB_DEVICE_PROPERTIES>(snapshot, [&](_KVX_USB_DEVICE_PROPERTIES* p) {
                return driver.GetDeviceProperties(&device.id, p);
            });
        device.synch = ReadRecord<_KVX_USB_DEVICE_SYNCH_MODE_INFO>(
            snapshot, [&](_KVX_USB_DEVICE_SYNCH_MODE_INFO* s) {
                return driver.GetSynchModeInfo(&device.id, s);
            });
        snapshot.devices.push_back(device);
    }
}

std::vector<CSnapshotChannel> ReadChannelList(CKvxuUsbDriver& driver, CDriverSnapshot& snapshot,
                                              const _KVX_USB_CHANNEL_ID_LIST& ids)
{
    std::vector<CSnapshotChannel> channels;
    const uint32_t count = std::min<uint32_t>(ids.Count, KVX_USB_MAX_CHANNELS);
    for (uint32_t i = 0; i < count; ++i) {
        CSnapshotChannel channel;
        channel.id = ids.ChannelIds[i];
        channel.properties =
            ReadRecord<_KVX_USB_CHANNEL_PROPERTIES>(snapshot, [&](_KVX_USB_CHANNEL_PROPERTIES* p) {
                return driver.GetChannelProperties(&channel.id, p);
            });
        channels.push_back(channel);
    }
    return channels;
}

void ReadChannels(CKvxuUsbDriver& driver, CDriverSnapshot& snapshot)
{
    snapshot.asioNameOption = ReadRecord<uint32_t>(
        snapshot, [&](uint32_t* option) { return driver.GetAsioNameOption(option); });
    // Both lists are 2 KiB: on the heap, not on a console program's stack.
    auto ids = std::make_unique<_KVX_USB_CHANNEL_ID_LISTS>();
    snapshot.channelListStatus = ReadList(snapshot, driver.GetChannelIdLists(ids.get()));
    if (snapshot.channelListStatus != 0)
        return;
    snapshot.inputCountReported = ids->Input.Count;
    snapshot.outputCountReported = ids->Output.Count;
    snapshot.inputs = ReadChannelList(driver, snapshot, ids->Input);
    snapshot.outputs = ReadChannelList(driver, snapshot, ids->Output);
}

} // namespace

const CSnapshotDevice* CDriverSnapshot::FindDevice(uint32_t id) const
{
    for (const CSnapshotDevice& device : devices)
        if (device.id == id)
            return &device;
    return nullptr;
}

CDriverSnapshot ReadDriverSnapshot(CKvxuUsbDriver& driver, bool withStatistics)
{
    CDriverSnapshot snapshot;
    snapshot.driverInfo = ReadRecord<_KVX_USB_DRIVER_INFO>(
        snapshot, [&](_KVX_USB_DRIVER_INFO* info) { return driver.GetDriverInfo(info); });
    ReadDevices(driver, snapshot);
    ReadChannels(driver, snapshot);
    snapshot.rates =
        ReadRecord<_KVX_USB_SAMPLE_RATE_INFO>(snapshot, [&](_KVX_USB_SAMPLE_RATE_INFO* rates) {
            return driver.GetSampleRateInfo(rates);
        });
    snapshot.rateMode = ReadRecord<uint32_t>(
        snapshot, [&](uint32_t* mode) { return driver.GetSampleRateMode(mode); });
    snapshot.clockMaster = ReadRecord<_KVX_USB_CLOCK_MASTER>(
        snapshot, [&](_KVX_USB_CLOCK_MASTER* master) { return driver.GetClockMaster(master); });
    snapshot.streamDepth = ReadRecord<_KVX_USB_STREAM_BUFFER_DEPTH>(
        snapshot,
        [&](_KVX_USB_STREAM_BUFFER_DEPTH* depth) { return driver.GetStreamBufferDepth(depth); });
    snapshot.asioDepth = ReadRecord<_KVX_USB_BUFFER_DEPTH>(
        snapshot, [&](_KVX_USB_BUFFER_DEPTH* depth) { return driver.GetAsioBufferDepth(depth); });
    snapshot.wdmDepth = ReadRecord<_KVX_USB_BUFFER_DEPTH>(
        snapshot, [&](_KVX_USB_BUFFER_DEPTH* depth) { return driver.GetWdmBufferDepth(depth); });
    if (withStatistics)
        snapshot.statistics = ReadRecord<_KVX_USB_ASIO_STATISTICS>(
            snapshot, [&](_KVX_USB_ASIO_STATISTICS* statistics) {
                return driver.GetAsioStatistics(statistics);
            });
    return snapshot;
}

uint32_t BoundedSourceCount(const _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch)
{
    return std::min<uint32_t>(synch.SourceCount, KVX_USB_MAX_CLOCK_SOURCES);
}

uint32_t BoundedRateCount(const _KVX_USB_SAMPLE_RATE_INFO& rates)
{
    return std::min<uint32_t>(rates.RateCount, KVX_USB_MAX_RATES);
}
