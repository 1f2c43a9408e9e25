#include "ProfileRead.h"

#include <windows.h>

#include <cstdio>

#include "KvxUsbStatus.h"
#include "KvxUsbText.h"

namespace {

// A field's text, cut to what a profile holds; a cut is noted.
template <size_t N>
std::string FieldText(const char (&field)[N], size_t max, const std::string& what,
                      std::vector<std::string>& notes)
{
    std::string text = RecordText(field);
    if (text.size() > max) {
        notes.push_back(what + ": no terminator in its field; saved as its first " +
                        std::to_string(max) + " bytes");
        text.resize(max);
    }
    return text;
}

void Failed(std::vector<std::string>& notes, const std::string& what, DWORD status)
{
    notes.push_back(what + ": not read, " + StatusText(status));
}

std::vector<CProfileChannel> DeviceChannels(const std::vector<CSnapshotChannel>& channels,
                                            uint32_t deviceId, const std::string& what,
                                            std::vector<std::string>& notes)
{
    std::vector<CProfileChannel> result;
    const std::vector<const CSnapshotChannel*> own = ChannelsOfDevice(channels, deviceId);
    for (size_t i = 0; i < own.size(); ++i) {
        const _KVX_USB_CHANNEL_PROPERTIES& properties = own[i]->properties.value;
        const std::string channel = what + " " + std::to_string(i);
        CProfileChannel entry;
        entry.index = uint32_t(i);
        entry.name =
            FieldText(properties.ChannelName, KVX_PROFILE_MAX_NAME, channel + " name", notes);
        entry.hardwareName = RecordText(properties.HardwareName);
        result.push_back(entry);
    }
    return result;
}

void AddDevices(const CDriverSnapshot& snapshot, CProfile& profile, std::vector<std::string>& notes)
{
    if (snapshot.deviceListStatus != 0)
        Failed(notes, "devices", snapshot.deviceListStatus);
    if (snapshot.channelListStatus != 0)
        Failed(notes, "channels", snapshot.channelListStatus);
    for (const CSnapshotChannel& channel : snapshot.inputs)
        if (!channel.properties.Ok())
            Failed(notes, "input channel id " + std::to_string(channel.id),
                   channel.properties.status);
    for (const CSnapshotChannel& channel : snapshot.outputs)
        if (!channel.properties.Ok())
            Failed(notes, "output channel id " + std::to_string(channel.id),
                   channel.properties.status);
    uint32_t position = 0;
    for (const CSnapshotDevice& device : snapshot.devices) {
        if (!device.properties.Ok()) {
            Failed(notes, "device id " + std::to_string(device.id), device.properties.status);
            continue;
        }
        const _KVX_USB_DEVICE_PROPERTIES& properties = device.properties.value;
        CProfileDevice entry;
        entry.serial = FieldText(properties.SerialNumber, KVX_PROFILE_MAX_SERIAL,
                                 "device id " + std::to_string(device.id) + " serial", notes);
        const std::string what = "device " + entry.serial;
        entry.name = FieldText(properties.DeviceName, KVX_PROFILE_MAX_NAME, what + " name", notes);
        // The driver's list is in ranking order; the place in it is the ranking, as the
        // devices page stores it.
        entry.ranking = position++;
        entry.inputs = DeviceChannels(snapshot.inputs, device.id, what + " input", notes);
        entry.outputs = DeviceChannels(snapshot.outputs, device.id, what + " output", notes);
        profile.devices.push_back(entry);
    }
}

void AddClocking(const CDriverSnapshot& snapshot, CProfile& profile,
                 std::vector<std::string>& notes)
{
    if (snapshot.rates.Ok())
        profile.sampleRateHz = snapshot.rates.value.CurrentRate;
    else
        Failed(notes, "sampling rate", snapshot.rates.status);
    if (!snapshot.rateMode.Ok())
        Failed(notes, "rate selection mode", snapshot.rateMode.status);
    else if (snapshot.rateMode.value <= KVX_USB_RATE_MODE_AUTOMATIC)
        profile.rateMode = snapshot.rateMode.value;
    else
        notes.push_back("rate selection mode: " + std::to_string(snapshot.rateMode.value) +
                        " is neither manual nor auto; not saved");
    const uint32_t master = snapshot.clockMaster.value.ClockMaster;
    if (!snapshot.clockMaster.Ok())
        Failed(notes, "clock master", snapshot.clockMaster.status);
    else if (master <= KVX_USB_CLOCK_MASTER_DEVICE)
        profile.clockMaster = master;
    else
        notes.push_back("clock master: " + std::to_string(master) +
                        " is neither pc nor device; not saved");
    if (snapshot.devices.empty())
        return;
    const CSnapshotDevice& first = snapshot.devices.front();
    if (!first.synch.Ok()) {
        Failed(notes, "clock source", first.synch.status);
        return;
    }
    const _KVX_USB_CLOCK_SOURCE& current = first.synch.value.Current;
    profile.clockSource = CProfileSource{current.SourceId, RecordText(current.Name)};
}

void AddBuffers(const CDriverSnapshot& snapshot, CProfile& profile, std::vector<std::string>& notes)
{
    if (snapshot.streamDepth.Ok())
        profile.streamDepthUs = snapshot.streamDepth.value.Current;
    else
        Failed(notes, "stream buffer depth", snapshot.streamDepth.status);
    if (snapshot.asioDepth.Ok())
        profile.asioDepthUs = snapshot.asioDepth.value.Depth;
    else
        Failed(notes, "ASIO buffer depth", snapshot.asioDepth.status);
    if (snapshot.wdmDepth.Ok())
        profile.wdmDepthUs = snapshot.wdmDepth.value.Depth;
    else
        Failed(notes, "WDM buffer depth", snapshot.wdmDepth.status);
    if (snapshot.asioNameOption.Ok())
        profile.asioNamesWithDevice = snapshot.asioNameOption.value != 0;
    else
        Failed(notes, "display-name option", snapshot.asioNameOption.status);
}

void AddInformation(const CDriverSnapshot& snapshot, CProfile& profile)
{
    CProfileInformation& information = profile.information;
    information.saved = UtcTimestamp();
    if (snapshot.driverInfo.Ok()) {
        const _KVX_USB_DRIVER_INFO& info = snapshot.driverInfo.value;
        information.interfaceVersion = std::to_string(info.InterfaceVersionMajor) + "." +
                                       std::to_string(info.InterfaceVersionMinor);
        information.driverVersion = std::to_string(info.DriverVersionMajor) + "." +
                                    std::to_string(info.DriverVersionMinor) + "." +
                                    std::to_string(int32_t(info.DriverVersionBuild));
    }
    if (snapshot.deviceListStatus == 0)
        information.deviceCount = uint32_t(snapshot.devices.size());
}

} // namespace

std::vector<const CSnapshotChannel*> ChannelsOfDevice(const std::vector<CSnapshotChannel>& channels,
                                                      uint32_t deviceId)
{
    std::vector<const CSnapshotChannel*> own;
    for (const CSnapshotChannel& channel : channels)
        if (channel.properties.Ok() && channel.properties.value.DeviceId == deviceId)
            own.push_back(&channel);
    return own;
}

CProfile ProfileFromSnapshot(const CDriverSnapshot& snapshot, std::vector<std::string>& notes)
{
    CProfile profile;
    AddInformation(snapshot, profile);
    AddClocking(snapshot, profile, notes);
    AddBuffers(snapshot, profile, notes);
    AddDevices(snapshot, profile, notes);
    return profile;
}

CProfile ReadProfileFromDriver(CKvxuUsbDriver& driver, std::vector<std::string>& notes)
{
    return ProfileFromSnapshot(ReadDriverSnapshot(driver, false), notes);
}

std::string UtcTimestamp()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}
