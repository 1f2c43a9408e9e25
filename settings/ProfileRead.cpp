#include "ProfileRead.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "KvxUsbStatus.h"
#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"
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
    const CDeviceChannels own = ChannelsOfDevice(channels, deviceId);
    for (const CDeviceChannel& channel : own.sure) {
        const _KVX_USB_CHANNEL_PROPERTIES& properties = channel.channel->properties.value;
        CProfileChannel entry;
        entry.index = channel.index;
        entry.name = FieldText(properties.ChannelName, KVX_PROFILE_MAX_NAME,
                               what + " " + std::to_string(channel.index) + " name", notes);
        entry.hardwareName = RecordText(properties.HardwareName);
        result.push_back(entry);
    }
    if (!own.complete)
        notes.push_back(what + " names after channel " +
                        std::to_string(own.sure.empty() ? 0 : own.sure.back().index) +
                        ": not read, a channel before them in the driver's list could not be "
                        "read, so their numbers are unsure (" +
                        StatusText(own.unreadStatus) + ")");
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

// Every driver-wide number as its own driver side reads it from the snapshot.
void AddNumbers(const CDriverSnapshot& snapshot, CProfile& profile, std::vector<std::string>& notes)
{
    for (const CProfileNumber& number : ProfileNumbers()) {
        uint32_t value = 0;
        const DWORD status = number.read(snapshot, value);
        if (status == 0)
            profile.*number.member = value;
        else
            Failed(notes, Describe(number.id).label, status);
    }
}

void AddClockSource(const CDriverSnapshot& snapshot, CProfile& profile,
                    std::vector<std::string>& notes)
{
    if (snapshot.devices.empty())
        return;
    const CSnapshotDevice& first = snapshot.devices.front();
    if (!first.synch.Ok()) {
        Failed(notes, Describe(CSettingId::ClockSource).label, first.synch.status);
        return;
    }
    const _KVX_USB_CLOCK_SOURCE& current = first.synch.value.Current;
    profile.clockSource = CProfileSource{current.SourceId, RecordText(current.Name)};
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

// The status of the first read that failed, for a snapshot that holds no setting.
DWORD FirstFailure(const CDriverSnapshot& snapshot)
{
    for (DWORD status :
         {snapshot.driverInfo.status, snapshot.deviceListStatus, snapshot.rates.status,
          snapshot.rateMode.status, snapshot.clockMaster.status, snapshot.streamDepth.status})
        if (status != 0)
            return status;
    return KVX_USB_E_NOT_OPEN;
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
            notes.push_back("device " +
                            std::string(device.serial.empty() ? "without serial" : device.serial) +
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

CDeviceChannels ChannelsOfDevice(const std::vector<CSnapshotChannel>& channels, uint32_t deviceId)
{
    CDeviceChannels own;
    uint32_t index = 0;
    for (const CSnapshotChannel& channel : channels) {
        if (!channel.properties.Ok()) {
            own.complete = false;
            own.unreadStatus = channel.properties.status;
            break;
        }
        if (channel.properties.value.DeviceId == deviceId)
            own.sure.push_back({index++, &channel});
    }
    return own;
}

bool HoldsNoSetting(const CProfile& p)
{
    return p.devices.empty() && !p.sampleRateHz && !p.rateMode && !p.clockMaster &&
           !p.clockSource && !p.streamDepthUs && !p.asioDepthUs && !p.wdmDepthUs &&
           !p.asioNamesWithDevice;
}

CProfileToSave ReadProfileToSave(CKvxuUsbDriver& driver)
{
    CProfileToSave save;
    const CDriverSnapshot snapshot = ReadDriverSnapshot(driver, false);
    save.profile = ProfileFromSnapshot(snapshot, save.notes);
    if (snapshot.unanswered) {
        save.refusal = KVX_USB_E_NOT_RESPONDING;
        save.reason = std::string("the driver stopped answering while the settings were read: ") +
                      StatusSentence(KVX_USB_E_NOT_RESPONDING) + ", " +
                      StatusText(KVX_USB_E_NOT_RESPONDING);
    } else if (HoldsNoSetting(save.profile)) {
        save.refusal = !driver.IsOpen() ? KVX_USB_E_NOT_OPEN : FirstFailure(snapshot);
        save.reason = "no setting could be read: " +
                      (save.notes.empty() ? StatusText(save.refusal) : save.notes.front());
    }
    return save;
}

CProfile ProfileFromSnapshot(const CDriverSnapshot& snapshot, std::vector<std::string>& notes)
{
    CProfile profile;
    AddInformation(snapshot, profile);
    AddNumbers(snapshot, profile, notes);
    AddClockSource(snapshot, profile, notes);
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
