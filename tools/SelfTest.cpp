#include "SelfTest.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "BoundedChannel.h"
#include "ChangeWatcher.h"
#include "ExitStatus.h"
#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"
#include "ScopedHandle.h"
#include "SettingCatalogue.h"
#include "ToolText.h"

namespace {

// Why a check could not be made.
const char kNoWholeAnswer[] = "not checked: no whole answer";
const char kCountPastRecord[] = "not checked: its count is past the record";
const char kNoDeviceList[] = "not checked: no usable device list";
const char kNoChannelList[] = "not checked: no usable channel lists";
const char kDeviceIdsNotUnique[] = "not checked: device ids are not unique";

// Records a driver may have queued before the queue must have run empty: the stand-in keeps
// at most 1024 per client.
const int kMostQueuedRecords = 4096;

const KvxUsbOperation& Operation(DWORD code)
{
    return *FindKvxUsbOperation(code);
}

std::string Prefix(const std::string& item)
{
    return item.empty() ? item : item + ": ";
}

std::string NumberList(const std::vector<uint32_t>& numbers)
{
    const size_t kShown = 16;
    std::string text;
    for (size_t i = 0; i < numbers.size() && i < kShown; ++i)
        text += (i ? ", " : "") + std::to_string(numbers[i]);
    if (numbers.size() > kShown)
        text += ", ...";
    return numbers.empty() ? "none" : text;
}

template <size_t N> std::string Terminates(const char (&)[N])
{
    return "a zero byte within its " + std::to_string(N) + " bytes";
}

template <size_t N> bool Terminated(const char (&field)[N])
{
    return RecordText(field).size() < N;
}

template <size_t N> std::string TerminatedSeen(const std::string& item, const char (&field)[N])
{
    size_t length = RecordText(field).size();
    return Prefix(item) +
           (length < N ? "a zero after " + std::to_string(length) + " bytes" : "no zero byte");
}

// The first id listed twice; false when every id is unique.
bool FindDuplicate(const std::vector<uint32_t>& ids, uint32_t* duplicate)
{
    std::set<uint32_t> seen;
    for (uint32_t id : ids)
        if (!seen.insert(id).second) {
            *duplicate = id;
            return true;
        }
    return false;
}

bool Contains(const std::vector<uint32_t>& values, uint32_t value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

std::string StatusSeen(const CBoundedChannel& channel, DWORD status)
{
    if (status == 0)
        return "SUCCESS";
    if (status == KVX_USB_E_NOT_RESPONDING && channel.TimedOut())
        return "no answer within " + std::to_string(channel.TimeoutMs()) +
               " ms; the checks after it were not made";
    return StatusText(status);
}

struct CAnswer {
    DWORD status = 0;
    DWORD returned = 0;
};

// The status and byte-count checks of one operation, over one answer or many.
class CAnswerChecks {
public:
    CAnswerChecks(CCheckList& checks, const CBoundedChannel& channel, const KvxUsbOperation& op,
                  const std::string& noun = "answers")
        : m_channel(channel), m_op(op), m_status(checks, op.name, "status", "SUCCESS", noun),
          m_bytes(checks, op.name, "bytes returned", std::to_string(op.outSize), noun)
    {
    }

    // True when the answer came whole: success, and its record's full size.
    bool Add(const CAnswer& answer, const std::string& item = std::string())
    {
        m_status.Item(answer.status == 0, Prefix(item) + StatusSeen(m_channel, answer.status));
        if (answer.status != 0)
            return false;
        m_bytes.Item(answer.returned == m_op.outSize,
                     Prefix(item) + std::to_string(answer.returned));
        return answer.returned == m_op.outSize;
    }
    void Finish(const std::string& whyNone)
    {
        m_status.Finish(whyNone);
        m_bytes.Finish(m_status.Items() ? "not checked: no successful answer" : whyNone);
    }

private:
    const CBoundedChannel& m_channel;
    const KvxUsbOperation& m_op;
    CItemCheck m_status;
    CItemCheck m_bytes;
};

// The checks of writing one setting back: the write, its change record, reading it again.
struct CWriteChecks {
    CWriteChecks(CCheckList& checks, const KvxUsbOperation& op, const std::string& noun,
                 DWORD timeoutMs)
        : op(op), status(checks, op.name, "status", "SUCCESS", noun),
          change(checks, op.name, "change record",
                 "a record of kind " + std::to_string(KVX_USB_NOTIFY_SETTING_CHANGE) + " within " +
                     std::to_string(timeoutMs) + " ms",
                 noun),
          same(checks, op.name, "read back", "the " + std::to_string(op.inSize) + " bytes written",
               noun)
    {
    }
    void Finish(const std::string& whyNone, const std::string& whyNoChange)
    {
        status.Finish(whyNone);
        const char* noWrite = "not checked: no write succeeded";
        change.Finish(!whyNoChange.empty() ? whyNoChange : status.Items() ? noWrite : whyNone);
        same.Finish(status.Items() ? noWrite : whyNone);
    }

    const KvxUsbOperation& op;
    CItemCheck status;
    CItemCheck change;
    CItemCheck same;
};

class CSelfTest {
public:
    CSelfTest(CBoundedChannel& channel, const SelfTestOptions& options, CCheckList& checks)
        : m_channel(channel), m_options(options), m_checks(checks)
    {
    }

    void Run()
    {
        using Step = void (CSelfTest::*)();
        const Step steps[] = {
            &CSelfTest::CheckDriverInfo,
            &CSelfTest::CheckDeviceList,
            &CSelfTest::CheckDeviceProperties,
            &CSelfTest::CheckSynchModes,
            &CSelfTest::CheckChannelLists,
            &CSelfTest::CheckChannelProperties,
            &CSelfTest::CheckAsioNameOption,
            &CSelfTest::CheckSampleRates,
            &CSelfTest::CheckModes,
            &CSelfTest::CheckBufferDepths,
            &CSelfTest::CheckNotification,
        };
        for (Step step : steps) {
            (this->*step)();
            if (m_channel.TimedOut())
                return;
        }
        if (m_options.write)
            WriteBack();
    }

private:
    // Reads the record, zeroed first so that a short answer leaves nothing of an earlier one.
    template <typename Record>
    CAnswer Read(DWORD code, Record* record, const uint32_t* key = nullptr)
    {
        std::memset(record, 0, sizeof *record);
        const KvxUsbOperation& op = Operation(code);
        CAnswer answer;
        if (op.outSize > sizeof *record)
            answer.status = ERROR_INSUFFICIENT_BUFFER;
        else
            answer.status = m_channel.Request(op, key, record, &answer.returned);
        return answer;
    }

    // One read with its status and byte-count checks; true when the record came whole.
    template <typename Record> bool ReadWhole(DWORD code, Record* record)
    {
        CAnswerChecks answer(m_checks, m_channel, Operation(code));
        bool whole = answer.Add(Read(code, record));
        answer.Finish(std::string());
        return whole;
    }

    // A check of a field that can be made only when notChecked is null.
    void Field(const char* notChecked, const char* operation, const char* field,
               const std::string& expected, bool ok, const std::string& seen)
    {
        if (notChecked)
            m_checks.Add(CCheck::SKIP, operation, field, expected, notChecked);
        else
            m_checks.Check(ok, operation, field, expected, seen);
    }

    // Whether the ids are unique; false also when they could not be checked.
    bool CheckUnique(const char* notChecked, const char* operation, const char* field,
                     const std::vector<uint32_t>& ids)
    {
        uint32_t duplicate = 0;
        bool unique = !FindDuplicate(ids, &duplicate);
        Field(notChecked, operation, field, "unique", unique,
              unique ? std::to_string(ids.size()) + " unique"
                     : "id " + std::to_string(duplicate) + " more than once");
        return !notChecked && unique;
    }

    // Why the device list cannot tell which devices there are, or null when it can.
    const char* DeviceListUntrusted() const
    {
        return !m_devicesKnown ? kNoDeviceList : !m_deviceIdsUnique ? kDeviceIdsNotUnique : nullptr;
    }

    std::string NoDevices() const
    {
        return !m_devicesKnown       ? kNoDeviceList
               : m_deviceIds.empty() ? "not checked: no devices"
                                     : kNoWholeAnswer;
    }

    void CheckDriverInfo()
    {
        _KVX_USB_DRIVER_INFO info;
        bool whole = ReadWhole(IOCTL_KVX_USB_GET_DRIVER_INFO, &info);
        Field(whole ? nullptr : kNoWholeAnswer, "GetDriverInfo", "InterfaceVersionMajor",
              std::to_string(KVX_USB_INTERFACE_VERSION_MAJOR),
              info.InterfaceVersionMajor == KVX_USB_INTERFACE_VERSION_MAJOR,
              std::to_string(info.InterfaceVersionMajor) + " (interface " +
                  std::to_string(info.InterfaceVersionMajor) + "." +
                  std::to_string(info.InterfaceVersionMinor) + ")");
    }

    void CheckDeviceList()
    {
        _KVX_USB_DEVICE_ID_LIST list;
        bool whole = ReadWhole(IOCTL_KVX_USB_GET_DEVICE_ID_LIST, &list);
        bool countOk = list.Count <= KVX_USB_MAX_DEVICES;
        Field(whole ? nullptr : kNoWholeAnswer, "GetDeviceIdList", "Count",
              "at most " + std::to_string(KVX_USB_MAX_DEVICES), countOk,
              std::to_string(list.Count));
        const char* unusable = !whole ? kNoWholeAnswer : !countOk ? kCountPastRecord : nullptr;
        if (!unusable)
            m_deviceIds.assign(list.DeviceIds, list.DeviceIds + list.Count);
        m_deviceIdsUnique = CheckUnique(unusable, "GetDeviceIdList", "DeviceIds", m_deviceIds);
        m_devicesKnown = !unusable;
    }

    void CheckDeviceProperties()
    {
        const KvxUsbOperation& op = Operation(IOCTL_KVX_USB_GET_DEVICE_PROPERTIES);
        _KVX_USB_DEVICE_PROPERTIES p;
        CAnswerChecks answer(m_checks, m_channel, op, "devices");
        CItemCheck id(m_checks, op.name, "DeviceId", "the id asked for", "devices");
        CItemCheck name(m_checks, op.name, "DeviceName", Terminates(p.DeviceName), "devices");
        CItemCheck serial(m_checks, op.name, "SerialNumber", Terminates(p.SerialNumber), "devices");
        for (uint32_t deviceId : m_deviceIds) {
            if (m_channel.TimedOut())
                break;
            std::string item = "device " + std::to_string(deviceId);
            if (!answer.Add(Read(op.code, &p, &deviceId), item))
                continue;
            id.Item(p.DeviceId == deviceId, item + ": " + std::to_string(p.DeviceId));
            name.Item(Terminated(p.DeviceName), TerminatedSeen(item, p.DeviceName));
            serial.Item(Terminated(p.SerialNumber), TerminatedSeen(item, p.SerialNumber));
            m_devices.push_back(p);
        }
        answer.Finish(NoDevices());
        id.Finish(NoDevices());
        name.Finish(NoDevices());
        serial.Finish(NoDevices());
        CheckRankings();
    }

    // A ranking is an order: each device holds a place of its own. Gaps are valid, as a
    // driver leaves them when a device goes and its neighbours keep their places.
    void CheckRankings()
    {
        std::vector<uint32_t> rankings;
        for (const _KVX_USB_DEVICE_PROPERTIES& device : m_devices)
            rankings.push_back(device.Ranking);
        std::vector<uint32_t> sorted = rankings;
        std::sort(sorted.begin(), sorted.end());
        const bool distinct = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
        const char* notChecked = DeviceListUntrusted() ? DeviceListUntrusted()
                                 : m_deviceIds.empty() ? "not checked: no devices"
                                 : m_devices.size() != m_deviceIds.size()
                                     ? "not checked: not every device answered whole"
                                     : nullptr;
        Field(notChecked, "GetDeviceProperties", "Ranking", "a place of each device's own",
              distinct, NumberList(rankings));
    }

    void CheckSynchModes()
    {
        const KvxUsbOperation& op = Operation(IOCTL_KVX_USB_GET_SYNCH_MODE_INFO);
        _KVX_USB_DEVICE_SYNCH_MODE_INFO s;
        CAnswerChecks answer(m_checks, m_channel, op, "devices");
        CItemCheck id(m_checks, op.name, "DeviceId", "the id asked for", "devices");
        CItemCheck count(m_checks, op.name, "SourceCount",
                         "at most " + std::to_string(KVX_USB_MAX_CLOCK_SOURCES), "devices");
        CItemCheck names(m_checks, op.name, "Name",
                         Terminates(s.Current.Name) + ", in Current and in each source", "devices");
        CItemCheck unique(m_checks, op.name, "Sources.SourceId", "unique on each device",
                          "devices");
        CItemCheck current(m_checks, op.name, "Current.SourceId",
                           "the SourceId of one of the device's Sources", "devices");
        for (uint32_t deviceId : m_deviceIds) {
            if (m_channel.TimedOut())
                break;
            std::string item = "device " + std::to_string(deviceId);
            if (!answer.Add(Read(op.code, &s, &deviceId), item))
                continue;
            id.Item(s.DeviceId == deviceId, item + ": " + std::to_string(s.DeviceId));
            bool countOk = s.SourceCount <= KVX_USB_MAX_CLOCK_SOURCES;
            count.Item(countOk, item + ": " + std::to_string(s.SourceCount));
            std::string unterminated = Terminated(s.Current.Name) ? "" : "Current.Name";
            std::vector<uint32_t> ids;
            for (uint32_t i = 0; countOk && i < s.SourceCount; ++i) {
                ids.push_back(s.Sources[i].SourceId);
                if (unterminated.empty() && !Terminated(s.Sources[i].Name))
                    unterminated = "Sources[" + std::to_string(i) + "].Name";
            }
            names.Item(
                unterminated.empty(),
                item + ": " +
                    (unterminated.empty() ? "all terminated" : "no zero byte in " + unterminated));
            if (!countOk)
                continue;
            uint32_t duplicate = 0;
            bool distinct = !FindDuplicate(ids, &duplicate);
            unique.Item(distinct,
                        item + ": " +
                            (distinct ? NumberList(ids) : std::to_string(duplicate) + " twice"));
            current.Item(Contains(ids, s.Current.SourceId), item + ": " +
                                                                std::to_string(s.Current.SourceId) +
                                                                " among " + NumberList(ids));
        }
        answer.Finish(NoDevices());
        id.Finish(NoDevices());
        count.Finish(NoDevices());
        names.Finish(NoDevices());
        unique.Finish(count.Items() ? kCountPastRecord : NoDevices());
        current.Finish(count.Items() ? kCountPastRecord : NoDevices());
    }

    void CheckChannelLists()
    {
        _KVX_USB_CHANNEL_ID_LISTS lists;
        bool whole = ReadWhole(IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, &lists);
        const char* notRead = whole ? nullptr : kNoWholeAnswer;
        const std::string atMost = "at most " + std::to_string(KVX_USB_MAX_CHANNELS);
        bool inputOk = lists.Input.Count <= KVX_USB_MAX_CHANNELS;
        bool outputOk = lists.Output.Count <= KVX_USB_MAX_CHANNELS;
        Field(notRead, "GetChannelIdLists", "Input.Count", atMost, inputOk,
              std::to_string(lists.Input.Count));
        Field(notRead, "GetChannelIdLists", "Output.Count", atMost, outputOk,
              std::to_string(lists.Output.Count));
        const char* unusable = notRead                 ? notRead
                               : !inputOk || !outputOk ? kCountPastRecord
                                                       : nullptr;
        if (!unusable) {
            const _KVX_USB_CHANNEL_ID_LIST& in = lists.Input;
            const _KVX_USB_CHANNEL_ID_LIST& out = lists.Output;
            m_channelIds.assign(in.ChannelIds, in.ChannelIds + in.Count);
            m_channelIds.insert(m_channelIds.end(), out.ChannelIds, out.ChannelIds + out.Count);
        }
        CheckUnique(unusable, "GetChannelIdLists", "ChannelIds", m_channelIds);
        m_channelsKnown = !unusable;
    }

    void CheckChannelProperties()
    {
        const KvxUsbOperation& op = Operation(IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES);
        _KVX_USB_CHANNEL_PROPERTIES c;
        CAnswerChecks answer(m_checks, m_channel, op, "channels");
        CItemCheck id(m_checks, op.name, "ChannelId", "the id asked for", "channels");
        CItemCheck device(m_checks, op.name, "DeviceId", "one of the device list's ids",
                          "channels");
        CItemCheck hardware(m_checks, op.name, "HardwareName", Terminates(c.HardwareName),
                            "channels");
        CItemCheck name(m_checks, op.name, "ChannelName", Terminates(c.ChannelName), "channels");
        for (uint32_t channelId : m_channelIds) {
            if (m_channel.TimedOut())
                break;
            std::string item = "channel " + std::to_string(channelId);
            if (!answer.Add(Read(op.code, &c, &channelId), item))
                continue;
            id.Item(c.ChannelId == channelId, item + ": " + std::to_string(c.ChannelId));
            if (!DeviceListUntrusted())
                device.Item(Contains(m_deviceIds, c.DeviceId),
                            item + ": device " + std::to_string(c.DeviceId));
            hardware.Item(Terminated(c.HardwareName), TerminatedSeen(item, c.HardwareName));
            name.Item(Terminated(c.ChannelName), TerminatedSeen(item, c.ChannelName));
            m_channels.push_back(c);
        }
        std::string none = !m_channelsKnown       ? kNoChannelList
                           : m_channelIds.empty() ? "not checked: no channels"
                                                  : kNoWholeAnswer;
        answer.Finish(none);
        id.Finish(none);
        device.Finish(DeviceListUntrusted() ? DeviceListUntrusted() : none);
        hardware.Finish(none);
        name.Finish(none);
    }

    void CheckAsioNameOption()
    {
        // Any value is an answer: 0 is off, every other on.
        m_asioOptionWhole = ReadWhole(IOCTL_KVX_USB_GET_ASIO_NAME_OPTION, &m_asioOption);
    }

    void CheckSampleRates()
    {
        _KVX_USB_SAMPLE_RATE_INFO info;
        bool whole = ReadWhole(IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO, &info);
        bool countOk = info.RateCount <= KVX_USB_MAX_RATES;
        Field(whole ? nullptr : kNoWholeAnswer, "GetSampleRateInfo", "RateCount",
              "at most " + std::to_string(KVX_USB_MAX_RATES), countOk,
              std::to_string(info.RateCount));
        std::vector<uint32_t> rates(info.Rates, info.Rates + (countOk ? info.RateCount : 0));
        Field(!whole     ? kNoWholeAnswer
              : !countOk ? kCountPastRecord
                         : nullptr,
              "GetSampleRateInfo", "CurrentRate", "one of Rates", Contains(rates, info.CurrentRate),
              std::to_string(info.CurrentRate) + " among " + NumberList(rates));
    }

    // A value of a setting with words: one of them.
    void CheckWord(const char* operation, const char* field, CSettingId id, uint32_t value,
                   bool whole)
    {
        const CSettingDescriptor& setting = Describe(id);
        std::string expected;
        for (const CSettingWord& word : setting.domain.words)
            expected += (expected.empty() ? "" : " or ") + std::to_string(word.value) + " (" +
                        word.word + ")";
        Field(whole ? nullptr : kNoWholeAnswer, operation, field, expected,
              CheckValue(setting, value).empty(), std::to_string(value));
    }

    void CheckModes()
    {
        _KVX_USB_SAMPLE_RATE_MODE mode;
        bool whole = ReadWhole(IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE, &mode);
        CheckWord("GetSampleRateMode", "Mode", CSettingId::RateMode, mode.Mode, whole);
        _KVX_USB_CLOCK_MASTER master;
        whole = ReadWhole(IOCTL_KVX_USB_GET_CLOCK_MASTER, &master);
        CheckWord("GetClockMaster", "ClockMaster", CSettingId::ClockMaster, master.ClockMaster,
                  whole);
    }

    void CheckBufferDepths()
    {
        _KVX_USB_STREAM_BUFFER_DEPTH stream;
        bool whole = ReadWhole(IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH, &stream);
        const char* notRead = whole ? nullptr : kNoWholeAnswer;
        Field(notRead, "GetStreamBufferDepth", "Step", "not 0", stream.Step != 0,
              std::to_string(stream.Step));
        bool inRange = stream.Minimum <= stream.Current && stream.Current <= stream.Maximum;
        bool onStep = stream.Step == 0 || stream.Current % stream.Step == 0;
        Field(notRead, "GetStreamBufferDepth", "Current",
              std::to_string(stream.Minimum) + " to " + std::to_string(stream.Maximum) +
                  " us (Minimum to Maximum), a multiple of Step " + std::to_string(stream.Step),
              inRange && onStep, std::to_string(stream.Current));

        const std::pair<DWORD, CSettingId> depths[] = {
            {IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH, CSettingId::AsioDepth},
            {IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH, CSettingId::WdmDepth}};
        for (const auto& [code, id] : depths) {
            _KVX_USB_BUFFER_DEPTH depth;
            whole = ReadWhole(code, &depth);
            // The record has no range: the one the panel, a profile and kvxuctl take.
            const CSettingDomain& domain = Describe(id).domain;
            Field(whole ? nullptr : kNoWholeAnswer, Operation(code).name, "Depth",
                  std::to_string(domain.minimum) + " to " + std::to_string(domain.maximum) +
                      " us, a multiple of " + std::to_string(domain.step),
                  CheckValue(Describe(id), depth.Depth).empty(), std::to_string(depth.Depth));
        }
        _KVX_USB_ASIO_STATISTICS statistics;
        ReadWhole(IOCTL_KVX_USB_GET_ASIO_STATISTICS, &statistics);
    }

    // The event is registered as the panel's notificator does, and the queue read until the
    // driver says it is empty.
    void CheckNotification()
    {
        const KvxUsbOperation& registration = Operation(IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT);
        m_notifyEvent.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        uint32_t handleValue = uint32_t(UINT_PTR(m_notifyEvent.Get()));
        DWORD returned = 0;
        DWORD status = m_notifyEvent
                           ? m_channel.Request(registration, &handleValue, nullptr, &returned)
                           : GetLastError();
        m_checks.Check(status == 0, registration.name, "status", "SUCCESS",
                       StatusSeen(m_channel, status));
        if (m_channel.TimedOut())
            return;

        const KvxUsbOperation& get = Operation(IOCTL_KVX_USB_GET_NOTIFICATION);
        _KVX_USB_NOTIFICATION record;
        CAnswer answer;
        std::string shortRecord;
        int records = 0;
        for (; records < kMostQueuedRecords; ++records) {
            answer = Read(get.code, &record);
            if (answer.status != 0)
                break;
            if (answer.returned != get.outSize && shortRecord.empty())
                shortRecord = "; record " + std::to_string(records + 1) + " of " +
                              std::to_string(answer.returned) + " bytes";
        }
        bool empty = records < kMostQueuedRecords && answer.status == ERROR_NO_MORE_ITEMS;
        std::string seen = records < kMostQueuedRecords
                               ? StatusSeen(m_channel, answer.status) + " after " +
                                     std::to_string(records) + " records"
                               : "still records after " + std::to_string(records);
        m_checks.Check(empty && shortRecord.empty(), get.name, "queue",
                       "records of " + std::to_string(get.outSize) +
                           " bytes, then ERROR_NO_MORE_ITEMS",
                       seen + shortRecord);
    }

    void WriteBack()
    {
        const DWORD timeout = m_options.timeoutMs;
        CWriteChecks devices(m_checks, Operation(IOCTL_KVX_USB_SET_DEVICE_PROPERTIES), "devices",
                             timeout);
        CWriteChecks channels(m_checks, Operation(IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES), "channels",
                              timeout);
        CWriteChecks option(m_checks, Operation(IOCTL_KVX_USB_SET_ASIO_NAME_OPTION), "writes",
                            timeout);
        // Nothing is written to a driver whose answers were wrong: even its own values
        // could not be trusted.
        std::string notWritten = m_checks.Failed() ? "not written: a check above failed" : "";
        CChangeWatcher watcher;
        if (notWritten.empty()) {
            DWORD status = watcher.Start(m_options.watcherExe, timeout);
            if (status == 0)
                m_watcher = &watcher;
            else
                m_notWatched =
                    "not checked: the change watcher did not start, " + StatusText(status);
            for (const _KVX_USB_DEVICE_PROPERTIES& device : m_devices)
                WriteOne(devices, IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, device, &device.DeviceId,
                         "device " + std::to_string(device.DeviceId));
            for (const _KVX_USB_CHANNEL_PROPERTIES& channel : m_channels)
                WriteOne(channels, IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, channel,
                         &channel.ChannelId, "channel " + std::to_string(channel.ChannelId));
            if (m_asioOptionWhole)
                WriteOne(option, IOCTL_KVX_USB_GET_ASIO_NAME_OPTION, m_asioOption, nullptr, "");
            m_watcher = nullptr;
        }
        devices.Finish(!notWritten.empty() ? notWritten : "not checked: no devices", m_notWatched);
        channels.Finish(!notWritten.empty() ? notWritten : "not checked: no channels",
                        m_notWatched);
        option.Finish(notWritten, m_notWatched);
    }

    // Waits for the change record of a write. After one that did not come, the later ones are
    // not waited for: each would only wait out its bound again.
    void CheckChangeRecord(CItemCheck& change, const std::string& item)
    {
        if (!m_watcher)
            return;
        std::string seen;
        bool heard =
            m_watcher->WaitForRecord(KVX_USB_NOTIFY_SETTING_CHANGE, m_options.timeoutMs, &seen);
        change.Item(heard, Prefix(item) + seen);
        if (!heard) {
            m_watcher = nullptr;
            m_notWatched = "not checked: an earlier change record did not come";
        }
    }

    // Writes the record back as read; then its change record and the same bytes again.
    template <typename Record>
    void WriteOne(CWriteChecks& checks, DWORD readCode, const Record& record, const uint32_t* key,
                  const std::string& item)
    {
        if (m_channel.TimedOut())
            return;
        DWORD returned = 0;
        DWORD status = m_channel.Request(checks.op, &record, nullptr, &returned);
        checks.status.Item(status == 0, Prefix(item) + StatusSeen(m_channel, status));
        if (status != 0)
            return;
        CheckChangeRecord(checks.change, item);
        Record again;
        CAnswer answer = Read(readCode, &again, key);
        std::string seen = answer.status != 0 ? StatusSeen(m_channel, answer.status)
                           : answer.returned != sizeof again
                               ? std::to_string(answer.returned) + " bytes"
                               : DifferenceSeen(record, again);
        checks.same.Item(seen == kSameBytes, Prefix(item) + seen);
    }

    static constexpr const char* kSameBytes = "the same bytes";

    template <typename Record>
    static std::string DifferenceSeen(const Record& written, const Record& read)
    {
        const unsigned char* a = reinterpret_cast<const unsigned char*>(&written);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(&read);
        for (size_t i = 0; i < sizeof written; ++i)
            if (a[i] != b[i])
                return "byte " + std::to_string(i) + " differs";
        return kSameBytes;
    }

    CBoundedChannel& m_channel;
    const SelfTestOptions& m_options;
    CCheckList& m_checks;

    // What the reads found, for the checks and writes that build on it.
    bool m_devicesKnown = false;
    bool m_deviceIdsUnique = false;
    std::vector<uint32_t> m_deviceIds;
    std::vector<_KVX_USB_DEVICE_PROPERTIES> m_devices; // those answered whole
    bool m_channelsKnown = false;
    std::vector<uint32_t> m_channelIds; // input, then output
    std::vector<_KVX_USB_CHANNEL_PROPERTIES> m_channels;
    bool m_asioOptionWhole = false;
    uint32_t m_asioOption = 0;
    // Registered with the driver; kept while the checks run.
    CKernelHandle m_notifyEvent;
    // While writing: what hears the change records, and why it does not when it does not.
    CChangeWatcher* m_watcher = nullptr;
    std::string m_notWatched;
};

} // namespace

DWORD RunSelfTest(const char* deviceName, const SelfTestOptions& options, CCheckList& checks,
                  bool* unanswered)
{
    CBoundedChannel channel(options.timeoutMs);
    DWORD status = channel.Open(deviceName);
    if (status != 0)
        return status;
    CSelfTest(channel, options, checks).Run();
    if (unanswered)
        *unanswered = channel.TimedOut();
    return 0;
}

int SelfTestExitStatus(DWORD openStatus, bool unanswered, const CCheckList& checks)
{
    if (openStatus != 0 || unanswered)
        return KVX_EXIT_NO_DRIVER;
    return checks.Failed() ? KVX_EXIT_INCOMPLETE : KVX_EXIT_OK;
}
