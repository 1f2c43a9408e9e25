#include "ProfileRead.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "KvxUsbStatus.h"
#include "KvxUsbText.h"
#include "SettingCatalogue.h"

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
    std::vector<std::pair<uint32_t, size_t>> order; // ranking, entry
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
        entry.inputs = DeviceChannels(snapshot.inputs, device.id, what + " input", notes);
        entry.outputs = DeviceChannels(snapshot.outputs, device.id, what + " output", notes);
        order.emplace_back(properties.Ranking, profile.devices.size());
        profile.devices.push_back(entry);
    }
    // A ranking is an order: the file keeps the devices' order as places 0, 1, 2 ..., whatever
    // gaps the driver's values have; ties keep the driver's list order.
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t place = 0; place < order.size(); ++place)
        profile.devices[order[place].second].ranking = uint32_t(place);
}

void AddClocking(const CDriverSnapshot& snapshot, CProfile& profile,
                 std::vector<std::string>& notes)
{
    if (snapshot.rates.Ok())
        profile.sampleRateHz = snapshot.rates.value.CurrentRate;
    else
        Failed(notes, "sampling rate", snapshot.rates.status);
    if (snapshot.rateMode.Ok())
        profile.rateMode = snapshot.rateMode.value;
    else
        Failed(notes, "rate selection mode", snapshot.rateMode.status);
    if (snapshot.clockMaster.Ok())
        profile.clockMaster = snapshot.clockMaster.value.ClockMaster;
    else
        Failed(notes, "clock master", snapshot.clockMaster.status);
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
        profile.asioNamesWithDevice = snapshot.asioNameOption.value != 0 ? 1 : 0;
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

// ---- what a file cannot hold ----

void LeaveOutNumbers(CProfile& profile, std::vector<std::string>& notes)
{
    for (const CProfileNumber& number : ProfileNumbers()) {
        std::optional<uint32_t>& value = profile.*number.member;
        const CSettingDescriptor& setting = Describe(number.id);
        const std::string why = value ? CheckValue(setting, *value) : "";
        if (!why.empty()) {
            notes.push_back(std::string(setting.label) + ": " + ValueText(setting, *value) +
                            " not saved, a profile's " + setting.fileKey + " " + why);
            value.reset();
        }
    }
}

void LeaveOutName(std::optional<std::string>& name, CSettingId id, const std::string& what,
                  std::vector<std::string>& notes)
{
    const std::string why = name ? CheckText(Describe(id), *name) : "";
    if (!why.empty()) {
        notes.push_back(what + ": not saved, it " + why);
        name.reset();
    }
}

void LeaveOutChannelNames(std::vector<CProfileChannel>& channels, CSettingId id,
                          const std::string& what, std::vector<std::string>& notes)
{
    std::vector<CProfileChannel> kept;
    for (CProfileChannel& channel : channels) {
        std::optional<std::string> name = channel.name;
        LeaveOutName(name, id, what + " " + std::to_string(channel.index) + " name", notes);
        if (name)
            kept.push_back(channel);
    }
    channels = kept;
}

// A device a file could not tell from another is left out whole: no serial, or the serial
// of a device already kept.
void LeaveOutDevices(CProfile& profile, std::vector<std::string>& notes)
{
    std::vector<CProfileDevice> kept;
    std::set<std::string> serials;
    for (CProfileDevice& device : profile.devices) {
        if (device.serial.empty() || !serials.insert(device.serial).second) {
            notes.push_back("device " + std::string(device.serial.empty() ? "without serial"
                                                                          : device.serial) +
                            ": not saved, " +
                            (device.serial.empty() ? "a profile names devices by serial number"
                                                   : "another device has the same serial"));
            continue;
        }
        const std::string what = "device " + device.serial;
        LeaveOutName(device.name, CSettingId::DeviceName, what + " name", notes);
        LeaveOutChannelNames(device.inputs, CSettingId::InputName, what + " input", notes);
        LeaveOutChannelNames(device.outputs, CSettingId::OutputName, what + " output", notes);
        kept.push_back(device);
    }
    // The kept devices' places stay in order, without the gaps of those left out.
    std::vector<CProfileDevice*> ranked;
    for (CProfileDevice& device : kept)
        ranked.push_back(&device);
    std::sort(ranked.begin(), ranked.end(), [](const CProfileDevice* a, const CProfileDevice* b) {
        return *a->ranking < *b->ranking;
    });
    for (size_t place = 0; place < ranked.size(); ++place)
        ranked[place]->ranking = uint32_t(place);
    profile.devices = kept;
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
    LeaveOutNumbers(profile, notes);
    LeaveOutDevices(profile, notes);
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
