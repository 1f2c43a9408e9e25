#include "ProfileApply.h"

#include <algorithm>
#include <map>
#include <memory>

#include "KvxUsbStatus.h"
#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"
#include "ProfileRead.h"

namespace {

typedef std::function<DWORD(CKvxuUsbDriver&)> CSend;
typedef std::shared_ptr<_KVX_USB_DEVICE_PROPERTIES> CDeviceRecord;

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string Microseconds(uint32_t us)
{
    return std::to_string(us) + " us";
}

std::string ModeText(uint32_t mode)
{
    return mode == KVX_USB_RATE_MODE_AUTOMATIC ? "auto"
           : mode == KVX_USB_RATE_MODE_MANUAL  ? "manual"
                                               : std::to_string(mode) + " (neither)";
}

std::string MasterText(uint32_t master)
{
    return master == KVX_USB_CLOCK_MASTER_DEVICE ? "device"
           : master == KVX_USB_CLOCK_MASTER_PC   ? "pc"
                                                 : std::to_string(master) + " (neither)";
}

std::string SourceText(const _KVX_USB_CLOCK_SOURCE& source)
{
    return std::to_string(source.SourceId) + " (" + RecordText(source.Name) + ")";
}

std::string NotRead(DWORD status)
{
    return "its current value could not be read: " + StatusText(status);
}

// The stream and the WDM depth take effect only once the streams restart, as the buffer
// page does it; their results are not the setting's.
DWORD RestartStreams(CKvxuUsbDriver& driver, DWORD status)
{
    driver.StopStreams();
    driver.StartStreams();
    return status;
}

class CPlanner {
public:
    CPlanner(const CProfile& profile, const CDriverSnapshot& snapshot, const CLoadOptions& options)
        : m_profile(profile), m_snapshot(snapshot), m_options(options)
    {
    }

    CProfilePlan Plan()
    {
        MatchDevices();
        PlanNames();
        PlanRankings();
        PlanNameOption();
        PlanClockSource();
        PlanRateMode();
        PlanSampleRate();
        PlanClockMaster();
        PlanBuffers();
        return std::move(m_plan);
    }

private:
    struct CMatch {
        const CProfileDevice* file;
        const CSnapshotDevice* device; // nullptr: none matches
        std::string missing;           // why none matches
        std::string label;             // "device SERIAL"
    };

    void Add(const std::string& setting, const std::string& current, const std::string& wanted,
             bool differs, CSend send)
    {
        CSettingResult result;
        result.setting = setting;
        result.current = current;
        result.wanted = wanted;
        result.outcome = differs ? CSettingOutcome::Planned : CSettingOutcome::Unchanged;
        m_plan.results.push_back(result);
        m_plan.sends.push_back(differs ? std::move(send) : CSend());
    }

    void Skip(const std::string& setting, const std::string& wanted, const std::string& why)
    {
        CSettingResult result;
        result.setting = setting;
        result.wanted = wanted;
        result.outcome = CSettingOutcome::Skipped;
        result.why = why;
        m_plan.results.push_back(result);
        m_plan.sends.push_back(CSend());
    }

    // ---- devices ----

    std::vector<const CSnapshotDevice*> ReadableDevices() const
    {
        std::vector<const CSnapshotDevice*> devices;
        for (const CSnapshotDevice& device : m_snapshot.devices)
            if (device.properties.Ok())
                devices.push_back(&device);
        return devices;
    }

    void MatchDevices()
    {
        const std::vector<const CSnapshotDevice*> connected = ReadableDevices();
        std::vector<const CProfileDevice*> files;
        for (const CProfileDevice& device : m_profile.devices)
            files.push_back(&device);
        if (m_options.matchByOrder)
            std::stable_sort(files.begin(), files.end(),
                             [](const CProfileDevice* a, const CProfileDevice* b) {
                                 return a->ranking.value_or(KVX_USB_MAX_DEVICES) <
                                        b->ranking.value_or(KVX_USB_MAX_DEVICES);
                             });
        for (size_t i = 0; i < files.size(); ++i) {
            CMatch match = {files[i], nullptr, std::string(), "device " + files[i]->serial};
            if (m_options.matchByOrder) {
                if (i < connected.size())
                    match.device = connected[i];
                else
                    match.missing = "no device connected at ranking position " + std::to_string(i);
            } else {
                for (const CSnapshotDevice* device : connected)
                    if (RecordText(device->properties.value.SerialNumber) == files[i]->serial)
                        match.device = device;
                if (!match.device)
                    match.missing = "not connected";
            }
            m_matches.push_back(match);
        }
        for (const CSnapshotDevice* device : connected)
            m_records[device->id] =
                std::make_shared<_KVX_USB_DEVICE_PROPERTIES>(device->properties.value);
    }

    void PlanNames()
    {
        for (const CMatch& match : m_matches) {
            if (match.file->name)
                PlanDeviceName(match, *match.file->name);
            PlanChannelNames(match, match.file->inputs, m_snapshot.inputs, " input ");
            PlanChannelNames(match, match.file->outputs, m_snapshot.outputs, " output ");
        }
    }

    void PlanDeviceName(const CMatch& match, const std::string& name)
    {
        const std::string setting = match.label + " name";
        if (!match.device)
            return Skip(setting, Quoted(name), match.missing);
        CDeviceRecord record = m_records[match.device->id];
        const std::string current = RecordText(record->DeviceName);
        Add(setting, Quoted(current), Quoted(name), current != name,
            [record, name](CKvxuUsbDriver& driver) {
                _KVX_USB_DEVICE_PROPERTIES changed = *record;
                SetRecordText(changed.DeviceName, name.c_str());
                const DWORD status = driver.SetDeviceProperties(&changed);
                if (status == 0)
                    *record = changed; // the ranking, sent later, carries the new name
                return status;
            });
    }

    void PlanChannelNames(const CMatch& match, const std::vector<CProfileChannel>& channels,
                          const std::vector<CSnapshotChannel>& all, const char* direction)
    {
        std::vector<const CSnapshotChannel*> own;
        if (match.device)
            own = ChannelsOfDevice(all, match.device->id);
        for (const CProfileChannel& channel : channels) {
            const std::string setting =
                match.label + direction + std::to_string(channel.index) + " name";
            if (!match.device) {
                Skip(setting, Quoted(channel.name), match.missing);
            } else if (channel.index >= own.size()) {
                Skip(setting, Quoted(channel.name),
                     "the device has " + std::to_string(own.size()) + direction + "channels");
            } else {
                const _KVX_USB_CHANNEL_PROPERTIES record = own[channel.index]->properties.value;
                const std::string current = RecordText(record.ChannelName), name = channel.name;
                Add(setting, Quoted(current), Quoted(name), current != name,
                    [record, name](CKvxuUsbDriver& driver) {
                        _KVX_USB_CHANNEL_PROPERTIES changed = record;
                        SetRecordText(changed.ChannelName, name.c_str());
                        return driver.SetChannelProperties(&changed);
                    });
            }
        }
    }

    // The devices the file ranks take the places they hold now among themselves, in the
    // file's order; every other device keeps its place. Places are written as the devices
    // page writes them: 0, 1, 2 ... in the driver's list order.
    void PlanRankings()
    {
        const std::vector<const CSnapshotDevice*> connected = ReadableDevices();
        std::map<uint32_t, uint32_t> place; // device id -> place now
        for (size_t i = 0; i < connected.size(); ++i)
            place[connected[i]->id] = uint32_t(i);
        std::vector<const CMatch*> ranked;
        std::vector<uint32_t> places;
        for (const CMatch& match : m_matches) {
            if (!match.file->ranking)
                continue;
            if (!match.device) {
                Skip(match.label + " ranking", std::to_string(*match.file->ranking), match.missing);
                continue;
            }
            ranked.push_back(&match);
            places.push_back(place[match.device->id]);
        }
        std::sort(places.begin(), places.end());
        std::stable_sort(ranked.begin(), ranked.end(), [](const CMatch* a, const CMatch* b) {
            return *a->file->ranking < *b->file->ranking;
        });
        std::map<uint32_t, uint32_t> wanted = place;
        for (size_t i = 0; i < ranked.size(); ++i)
            wanted[ranked[i]->device->id] = places[i];
        for (const CSnapshotDevice* device : connected)
            if (wanted[device->id] == 0)
                m_firstDevice = device;
        for (const CSnapshotDevice* device : connected) {
            const auto match = std::find_if(ranked.begin(), ranked.end(),
                                            [&](const CMatch* m) { return m->device == device; });
            const uint32_t current = device->properties.value.Ranking, target = wanted[device->id];
            // A device the file does not rank is written only when its record disagrees
            // with its place.
            if (match == ranked.end() && current == target)
                continue;
            const std::string label =
                match != ranked.end()
                    ? (*match)->label
                    : "device " + RecordText(device->properties.value.SerialNumber);
            CDeviceRecord record = m_records[device->id];
            Add(label + " ranking", std::to_string(current), std::to_string(target),
                current != target, [record, target](CKvxuUsbDriver& driver) {
                    _KVX_USB_DEVICE_PROPERTIES changed = *record;
                    changed.Ranking = target;
                    const DWORD status = driver.SetDeviceProperties(&changed);
                    if (status == 0)
                        *record = changed;
                    return status;
                });
        }
    }

    // ---- driver-wide settings ----

    void PlanNameOption()
    {
        if (!m_profile.asioNamesWithDevice)
            return;
        const char* setting = "display names with device name";
        const bool wanted = *m_profile.asioNamesWithDevice;
        const std::string wantedText = wanted ? "on" : "off";
        const CDriverRead<uint32_t>& read = m_snapshot.asioNameOption;
        if (!read.Ok())
            return Skip(setting, wantedText, NotRead(read.status));
        const bool current = read.value != 0;
        Add(setting, current ? "on" : "off", wantedText, current != wanted,
            [wanted](CKvxuUsbDriver& driver) {
                const uint32_t option = wanted ? 1 : 0;
                return driver.SetAsioNameOption(&option);
            });
    }

    void PlanClockSource()
    {
        if (!m_profile.clockSource)
            return;
        const char* setting = "clock source";
        const CProfileSource& source = *m_profile.clockSource;
        const std::string wantedText = std::to_string(source.id) + " (" + source.name + ")";
        if (!m_firstDevice)
            return Skip(setting, wantedText, "no device is connected");
        const CSnapshotDevice& first = *m_firstDevice;
        if (!first.synch.Ok())
            return Skip(setting, wantedText, NotRead(first.synch.status));
        const _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = first.synch.value;
        const _KVX_USB_CLOCK_SOURCE* end = synch.Sources + BoundedSourceCount(synch);
        const _KVX_USB_CLOCK_SOURCE* offered =
            std::find_if(synch.Sources, end,
                         [&](const _KVX_USB_CLOCK_SOURCE& s) { return s.SourceId == source.id; });
        if (offered == end)
            return Skip(setting, wantedText,
                        "the first device offers no clock source with id " +
                            std::to_string(source.id));
        const _KVX_USB_SYNCH_MODE_SELECT select = {synch.DeviceId, offered->SourceKind,
                                                   offered->SourceId};
        Add(setting, SourceText(synch.Current), SourceText(*offered),
            synch.Current.SourceId != source.id,
            [select](CKvxuUsbDriver& driver) { return driver.SetSynchMode(&select); });
    }

    void PlanRateMode()
    {
        if (!m_profile.rateMode)
            return;
        const char* setting = "rate selection mode";
        const uint32_t wanted = *m_profile.rateMode;
        const CDriverRead<uint32_t>& read = m_snapshot.rateMode;
        if (!read.Ok())
            return Skip(setting, ModeText(wanted), NotRead(read.status));
        Add(setting, ModeText(read.value), ModeText(wanted), read.value != wanted,
            [wanted](CKvxuUsbDriver& driver) { return driver.SetSampleRateMode(wanted); });
    }

    void PlanSampleRate()
    {
        if (!m_profile.sampleRateHz)
            return;
        const char* setting = "sampling rate";
        const uint32_t wanted = *m_profile.sampleRateHz;
        const std::string wantedText = std::to_string(wanted) + " Hz";
        const CDriverRead<_KVX_USB_SAMPLE_RATE_INFO>& read = m_snapshot.rates;
        if (!read.Ok())
            return Skip(setting, wantedText, NotRead(read.status));
        const uint32_t* end = read.value.Rates + BoundedRateCount(read.value);
        if (std::find(read.value.Rates, end, wanted) == end)
            return Skip(setting, wantedText, "not among the rates the driver offers");
        Add(setting, std::to_string(read.value.CurrentRate) + " Hz", wantedText,
            read.value.CurrentRate != wanted,
            [wanted](CKvxuUsbDriver& driver) { return driver.SetSampleRate(wanted); });
    }

    void PlanClockMaster()
    {
        if (!m_profile.clockMaster)
            return;
        const char* setting = "clock master";
        const uint32_t wanted = *m_profile.clockMaster;
        const CDriverRead<_KVX_USB_CLOCK_MASTER>& read = m_snapshot.clockMaster;
        if (!read.Ok())
            return Skip(setting, MasterText(wanted), NotRead(read.status));
        _KVX_USB_CLOCK_MASTER record = read.value;
        record.ClockMaster = wanted;
        Add(setting, MasterText(read.value.ClockMaster), MasterText(wanted),
            read.value.ClockMaster != wanted,
            [record](CKvxuUsbDriver& driver) { return driver.SetClockMaster(&record); });
    }

    // ---- buffers ----

    void PlanBuffers()
    {
        if (m_profile.streamDepthUs)
            PlanStreamDepth(*m_profile.streamDepthUs);
        PlanBufferDepth("ASIO buffer depth", m_profile.asioDepthUs, m_snapshot.asioDepth,
                        &CKvxuUsbDriver::SetAsioBufferDepth, false);
        PlanBufferDepth("WDM buffer depth", m_profile.wdmDepthUs, m_snapshot.wdmDepth,
                        &CKvxuUsbDriver::SetWdmBufferDepth, true);
    }

    void PlanStreamDepth(uint32_t wanted)
    {
        const char* setting = "stream buffer depth";
        const CDriverRead<_KVX_USB_STREAM_BUFFER_DEPTH>& read = m_snapshot.streamDepth;
        if (!read.Ok())
            return Skip(setting, Microseconds(wanted), NotRead(read.status));
        const _KVX_USB_STREAM_BUFFER_DEPTH& range = read.value;
        if (range.Step == 0 || wanted < range.Minimum || wanted > range.Maximum ||
            wanted % range.Step != 0)
            return Skip(setting, Microseconds(wanted),
                        "not on the driver's range: " + std::to_string(range.Minimum) + " to " +
                            Microseconds(range.Maximum) + " in steps of " +
                            Microseconds(range.Step));
        _KVX_USB_STREAM_BUFFER_DEPTH record = range;
        record.Current = wanted;
        Add(setting, Microseconds(range.Current), Microseconds(wanted), range.Current != wanted,
            [record](CKvxuUsbDriver& driver) {
                return RestartStreams(driver, driver.SetStreamBufferDepth(&record));
            });
    }

    void PlanBufferDepth(const char* setting, const std::optional<uint32_t>& wanted,
                         const CDriverRead<_KVX_USB_BUFFER_DEPTH>& read,
                         DWORD (CKvxuUsbDriver::*write)(const _KVX_USB_BUFFER_DEPTH*), bool restart)
    {
        if (!wanted)
            return;
        if (!read.Ok())
            return Skip(setting, Microseconds(*wanted), NotRead(read.status));
        _KVX_USB_BUFFER_DEPTH record = read.value;
        record.Depth = *wanted;
        Add(setting, Microseconds(read.value.Depth), Microseconds(*wanted),
            read.value.Depth != *wanted, [record, write, restart](CKvxuUsbDriver& driver) {
                const DWORD status = (driver.*write)(&record);
                return restart ? RestartStreams(driver, status) : status;
            });
    }

    const CProfile& m_profile;
    const CDriverSnapshot& m_snapshot;
    CLoadOptions m_options;
    CProfilePlan m_plan;
    std::vector<CMatch> m_matches;
    std::map<uint32_t, CDeviceRecord> m_records; // by device id, as last written
    // The device that will be first once the ranking is sent: the clock source is its.
    const CSnapshotDevice* m_firstDevice = nullptr;
};

} // namespace

CProfilePlan PlanProfile(const CProfile& profile, const CDriverSnapshot& snapshot,
                         const CLoadOptions& options)
{
    return CPlanner(profile, snapshot, options).Plan();
}

void ApplyPlan(CProfilePlan& plan, CKvxuUsbDriver& driver)
{
    for (size_t i = 0; i < plan.results.size(); ++i) {
        CSettingResult& result = plan.results[i];
        if (result.outcome != CSettingOutcome::Planned)
            continue;
        result.status = plan.sends[i](driver);
        result.outcome = result.status == 0 ? CSettingOutcome::Applied : CSettingOutcome::Refused;
        if (result.status != 0)
            result.why = StatusText(result.status);
    }
}

CProfilePlan LoadProfile(CKvxuUsbDriver& driver, const CProfile& profile,
                         const CLoadOptions& options, bool dryRun)
{
    CProfilePlan plan = PlanProfile(profile, ReadDriverSnapshot(driver, false), options);
    if (!dryRun)
        ApplyPlan(plan, driver);
    return plan;
}

const char* OutcomeName(CSettingOutcome outcome)
{
    switch (outcome) {
    case CSettingOutcome::Unchanged:
        return "unchanged";
    case CSettingOutcome::Planned:
        return "to apply";
    case CSettingOutcome::Applied:
        return "applied";
    case CSettingOutcome::Refused:
        return "refused";
    case CSettingOutcome::Skipped:
        return "skipped";
    }
    return "";
}

std::string OutcomeSummary(const std::vector<CSettingResult>& results)
{
    const CSettingOutcome order[] = {CSettingOutcome::Applied, CSettingOutcome::Planned,
                                     CSettingOutcome::Unchanged, CSettingOutcome::Refused,
                                     CSettingOutcome::Skipped};
    std::string summary;
    for (CSettingOutcome outcome : order) {
        const auto count =
            std::count_if(results.begin(), results.end(),
                          [&](const CSettingResult& r) { return r.outcome == outcome; });
        if (count > 0)
            summary +=
                (summary.empty() ? "" : ", ") + std::to_string(count) + " " + OutcomeName(outcome);
    }
    return summary.empty() ? "nothing to load" : summary;
}

bool AllApplied(const std::vector<CSettingResult>& results)
{
    return std::all_of(results.begin(), results.end(), [](const CSettingResult& r) {
        return r.outcome != CSettingOutcome::Refused && r.outcome != CSettingOutcome::Skipped;
    });
}
