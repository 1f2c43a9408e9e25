#include "ProfileApply.h"

#include <algorithm>
#include <map>
#include <memory>

#include "KvxUsbStatus.h"
#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"
#include "ProfileRead.h"
#include "SettingCatalogue.h"

namespace {

typedef CSettingSend CSend;
typedef std::shared_ptr<_KVX_USB_DEVICE_PROPERTIES> CDeviceRecord;

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string SourceText(const _KVX_USB_CLOCK_SOURCE& source)
{
    return std::to_string(source.SourceId) + " (" + RecordText(source.Name) + ")";
}

std::string NotRead(DWORD status)
{
    return "its current value could not be read: " + StatusText(status);
}

// The outcome of a request that was sent, by its status.
void TellOutcome(CSettingResult& result, DWORD status)
{
    result.status = status;
    result.outcome = status == 0                          ? CSettingOutcome::Applied
                     : status == KVX_USB_E_NOT_RESPONDING ? CSettingOutcome::NoAnswer
                                                          : CSettingOutcome::Refused;
    result.why = status == KVX_USB_E_NOT_RESPONDING ? "no answer; the driver may have applied it"
                 : status != 0                      ? StatusSentence(status)
                                                    : "";
}

// The stream and the WDM depth take effect only once the streams restart, as the buffer
// page does it: a result of its own, since a failed restart leaves the streams stopped.
CSettingResult RestartStreams(CKvxuUsbDriver& driver, const std::string& setting)
{
    CSettingResult result;
    result.setting = "restart of the streams for the " + setting;
    TellOutcome(result, driver.RestartStreams());
    return result;
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
        for (const CLoadStep& step : LoadOrder())
            if (!step.onlyForWord || WantedWordIs(step.id, step.onlyForWord))
                PlanStep(step.id);
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
             bool differs, CSend send, bool restarts = false)
    {
        CSettingResult result;
        result.setting = setting;
        result.current = current;
        result.wanted = wanted;
        result.outcome = differs ? CSettingOutcome::Planned : CSettingOutcome::Unchanged;
        m_plan.results.push_back(result);
        m_plan.sends.push_back(differs ? std::move(send) : CSend());
        m_plan.restarts.push_back(differs && restarts);
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
        m_plan.restarts.push_back(false);
    }

    bool WantedWordIs(CSettingId id, const char* word) const
    {
        uint32_t value = 0;
        const std::optional<uint32_t>& wanted = m_profile.*FindProfileNumber(id)->member;
        return wanted && ValueOfWord(Describe(id), word, value) && *wanted == value;
    }

    void PlanStep(CSettingId id)
    {
        if (const CProfileNumber* number = FindProfileNumber(id))
            return PlanNumber(*number);
        switch (id) {
        case CSettingId::DeviceName:
            for (const CMatch& match : m_matches)
                if (match.file->name)
                    PlanDeviceName(match, *match.file->name);
            break;
        case CSettingId::InputName:
            for (const CMatch& match : m_matches)
                PlanChannelNames(match, match.file->inputs, m_snapshot.inputs, id);
            break;
        case CSettingId::OutputName:
            for (const CMatch& match : m_matches)
                PlanChannelNames(match, match.file->outputs, m_snapshot.outputs, id);
            break;
        case CSettingId::Ranking:
            PlanRankings();
            break;
        case CSettingId::ClockSource:
            PlanClockSource();
            break;
        default:
            break;
        }
    }

    // A driver-wide number, as its own driver side reads, checks and sends it.
    void PlanNumber(const CProfileNumber& number)
    {
        const std::optional<uint32_t>& wanted = m_profile.*number.member;
        if (!wanted)
            return;
        const CSettingDescriptor& setting = Describe(number.id);
        const std::string wantedText = ValueText(setting, *wanted);
        uint32_t current = 0;
        const DWORD status = number.read(m_snapshot, current);
        if (status != 0)
            return Skip(setting.label, wantedText, NotRead(status));
        const std::string refusal = current != *wanted && number.refuses
                                        ? number.refuses(m_snapshot, m_profile, *wanted)
                                        : "";
        if (!refusal.empty())
            return Skip(setting.label, wantedText, refusal);
        Add(setting.label, ValueText(setting, current), wantedText, current != *wanted,
            number.send(m_snapshot, *wanted), number.restartsStreams);
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

    // A device that could not be read still holds its place in the driver's list; matching
    // by place is refused while one cannot be read, since every place after it is unsure.
    // "" when every device was read, else what follows from one that was not.
    std::string UnreadableDevice(const char* consequence) const
    {
        for (const CSnapshotDevice& device : m_snapshot.devices)
            if (!device.properties.Ok())
                return "device id " + std::to_string(device.id) + " could not be read, so " +
                       consequence + " (" + StatusText(device.properties.status) + ")";
        return "";
    }

    void MatchDevices()
    {
        const std::vector<const CSnapshotDevice*> connected = ReadableDevices();
        std::vector<const CProfileDevice*> files;
        for (const CProfileDevice& device : m_profile.devices)
            files.push_back(&device);
        const std::string unreadable =
            m_options.matchByOrder ? UnreadableDevice("devices cannot be matched by their order")
                                   : "";
        if (m_options.matchByOrder)
            std::stable_sort(files.begin(), files.end(),
                             [](const CProfileDevice* a, const CProfileDevice* b) {
                                 return a->ranking.value_or(KVX_USB_MAX_DEVICES) <
                                        b->ranking.value_or(KVX_USB_MAX_DEVICES);
                             });
        for (size_t i = 0; i < files.size(); ++i) {
            CMatch match = {files[i], nullptr, std::string(), "device " + files[i]->serial};
            if (!unreadable.empty())
                match.missing = unreadable;
            else if (m_options.matchByOrder && i < connected.size())
                match.device = connected[i];
            else if (m_options.matchByOrder)
                match.missing = "no device connected at ranking position " + std::to_string(i);
            else
                match.device = DeviceWithSerial(connected, files[i]->serial);
            if (!match.device && match.missing.empty())
                match.missing = "not connected";
            m_matches.push_back(match);
        }
        for (const CSnapshotDevice* device : connected)
            m_records[device->id] =
                std::make_shared<_KVX_USB_DEVICE_PROPERTIES>(device->properties.value);
    }

    static const CSnapshotDevice*
    DeviceWithSerial(const std::vector<const CSnapshotDevice*>& devices, const std::string& serial)
    {
        for (const CSnapshotDevice* device : devices)
            if (RecordText(device->properties.value.SerialNumber) == serial)
                return device;
        return nullptr;
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
                          const std::vector<CSnapshotChannel>& all, CSettingId id)
    {
        const char* direction = id == CSettingId::InputName ? " input " : " output ";
        const CDeviceChannels own =
            match.device ? ChannelsOfDevice(all, match.device->id) : CDeviceChannels();
        for (const CProfileChannel& channel : channels) {
            const std::string setting =
                match.label + direction + std::to_string(channel.index) + " name";
            const auto found =
                std::find_if(own.sure.begin(), own.sure.end(),
                             [&](const CDeviceChannel& c) { return c.index == channel.index; });
            if (!match.device)
                Skip(setting, Quoted(channel.name), match.missing);
            else if (found == own.sure.end() && !own.complete)
                Skip(setting, Quoted(channel.name),
                     "a channel before it in the driver's list could not be read, so which "
                     "channel it is is unsure: " +
                         StatusText(own.unreadStatus));
            else if (found == own.sure.end())
                Skip(setting, Quoted(channel.name),
                     "the device has " + std::to_string(own.sure.size()) + direction + "channels");
            else
                PlanChannelName(setting, found->channel->properties.value, channel.name);
        }
    }

    void PlanChannelName(const std::string& setting, const _KVX_USB_CHANNEL_PROPERTIES& record,
                         const std::string& name)
    {
        const std::string current = RecordText(record.ChannelName);
        Add(setting, Quoted(current), Quoted(name), current != name,
            [record, name](CKvxuUsbDriver& driver) {
                _KVX_USB_CHANNEL_PROPERTIES changed = record;
                SetRecordText(changed.ChannelName, name.c_str());
                return driver.SetChannelProperties(&changed);
            });
    }

    // A ranking is an order. The devices the file ranks take the places they hold now among
    // themselves, in the file's order; every other device keeps its place, gaps included.
    // Devices that share a place now are moved on to the next free one, so that no two share
    // one afterwards; no other device is renumbered.
    void PlanRankings()
    {
        std::vector<const CMatch*> ranked;
        for (const CMatch& match : m_matches) {
            if (!match.file->ranking)
                continue;
            if (match.device)
                ranked.push_back(&match);
            else
                Skip(match.label + " ranking", std::to_string(*match.file->ranking), match.missing);
        }
        if (ranked.empty())
            return;
        std::stable_sort(ranked.begin(), ranked.end(), [](const CMatch* a, const CMatch* b) {
            return *a->file->ranking < *b->file->ranking;
        });
        std::vector<const CSnapshotDevice*> order = ReadableDevices(); // by place now
        std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
            return a->properties.value.Ranking < b->properties.value.Ranking;
        });
        const bool shared = SharesAPlace(order);
        if (shared && !UnreadableDevice("").empty()) {
            for (const CMatch* match : ranked)
                Skip(match->label + " ranking", std::to_string(*match->file->ranking),
                     "devices share a place in the ranking and one could not be read; "
                     "store the order on the devices page");
            return;
        }
        // The ranked devices' positions in the order, filled in the file's order.
        std::vector<size_t> positions;
        for (size_t i = 0; i < order.size(); ++i)
            if (std::any_of(ranked.begin(), ranked.end(),
                            [&](const CMatch* m) { return m->device == order[i]; }))
                positions.push_back(i);
        std::vector<const CSnapshotDevice*> wanted = order;
        for (size_t i = 0; i < positions.size(); ++i)
            wanted[positions[i]] = ranked[i]->device;
        const std::vector<uint32_t> places = DistinctPlaces(order);
        for (size_t i = 0; i < wanted.size(); ++i) {
            const auto match = std::find_if(ranked.begin(), ranked.end(), [&](const CMatch* m) {
                return m->device == wanted[i];
            });
            if (match != ranked.end() || places[i] != wanted[i]->properties.value.Ranking)
                PlanRanking(*wanted[i], places[i],
                            match != ranked.end() ? (*match)->label : DeviceLabel(*wanted[i]));
        }
        m_firstDevice = wanted.front();
    }

    // The places of devices in ranking order, each the place it holds unless one before it
    // holds that one already: then the next free place.
    static std::vector<uint32_t> DistinctPlaces(const std::vector<const CSnapshotDevice*>& byPlace)
    {
        std::vector<uint32_t> places;
        for (const CSnapshotDevice* device : byPlace)
            places.push_back(places.empty()
                                 ? device->properties.value.Ranking
                                 : std::max(device->properties.value.Ranking, places.back() + 1));
        return places;
    }

    static bool SharesAPlace(const std::vector<const CSnapshotDevice*>& byPlace)
    {
        for (size_t i = 1; i < byPlace.size(); ++i)
            if (byPlace[i]->properties.value.Ranking == byPlace[i - 1]->properties.value.Ranking)
                return true;
        return false;
    }

    static std::string DeviceLabel(const CSnapshotDevice& device)
    {
        return "device " + RecordText(device.properties.value.SerialNumber);
    }

    void PlanRanking(const CSnapshotDevice& device, uint32_t target, const std::string& label)
    {
        const uint32_t current = device.properties.value.Ranking;
        CDeviceRecord record = m_records[device.id];
        Add(label + " ranking", std::to_string(current), std::to_string(target), current != target,
            [record, target](CKvxuUsbDriver& driver) {
                _KVX_USB_DEVICE_PROPERTIES changed = *record;
                changed.Ranking = target;
                const DWORD status = driver.SetDeviceProperties(&changed);
                if (status == 0)
                    *record = changed;
                return status;
            });
    }

    // ---- the clock source ----

    // The device that will be first once the ranking is sent: the clock source is its.
    const CSnapshotDevice* FirstDevice() const
    {
        if (m_firstDevice)
            return m_firstDevice;
        const std::vector<const CSnapshotDevice*> devices = ReadableDevices();
        const auto first = std::min_element(devices.begin(), devices.end(), [](auto* a, auto* b) {
            return a->properties.value.Ranking < b->properties.value.Ranking;
        });
        return first == devices.end() ? nullptr : *first;
    }

    void PlanClockSource()
    {
        if (!m_profile.clockSource)
            return;
        const char* setting = Describe(CSettingId::ClockSource).label;
        const CProfileSource& source = *m_profile.clockSource;
        const std::string wantedText = std::to_string(source.id) + " (" + source.name + ")";
        // A device that could not be read may be the first.
        const std::string unreadable = UnreadableDevice("which device is first is unsure");
        if (!unreadable.empty())
            return Skip(setting, wantedText, unreadable);
        const CSnapshotDevice* first = FirstDevice();
        if (!first)
            return Skip(setting, wantedText, "no device is connected");
        if (!first->synch.Ok())
            return Skip(setting, wantedText, NotRead(first->synch.status));
        const _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = first->synch.value;
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
    std::vector<CSettingResult> told;
    for (size_t i = 0; i < plan.results.size(); ++i) {
        CSettingResult& result = plan.results[i];
        if (result.outcome == CSettingOutcome::Planned && !driver.IsResponding()) {
            result.outcome = CSettingOutcome::Skipped;
            result.why = "not sent: an earlier request is still unanswered";
        } else if (result.outcome == CSettingOutcome::Planned) {
            TellOutcome(result, plan.sends[i](driver));
        }
        told.push_back(result);
        if (plan.restarts[i] && result.outcome == CSettingOutcome::Applied)
            told.push_back(RestartStreams(driver, result.setting));
    }
    plan.results = told;
    plan.sends.assign(told.size(), CSend());
    plan.restarts.assign(told.size(), false);
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
    case CSettingOutcome::NoAnswer:
        return "no answer";
    }
    return "";
}

std::string OutcomeSummary(const std::vector<CSettingResult>& results)
{
    const CSettingOutcome order[] = {CSettingOutcome::Applied,   CSettingOutcome::Planned,
                                     CSettingOutcome::Unchanged, CSettingOutcome::Refused,
                                     CSettingOutcome::Skipped,   CSettingOutcome::NoAnswer};
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
        return r.outcome != CSettingOutcome::Refused && r.outcome != CSettingOutcome::Skipped &&
               r.outcome != CSettingOutcome::NoAnswer;
    });
}

std::string ResultReason(const CSettingResult& result)
{
    if (result.outcome == CSettingOutcome::Refused || result.outcome == CSettingOutcome::NoAnswer)
        return result.why + ": " + StatusText(result.status);
    return result.why;
}
