#include "SimCommands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

#include "KvxUsbCatalogue.h"
#include "KvxUsbStatus.h"
#include "KvxUsbText.h"
#include "SimBroadcast.h"
#include "SimDriver.h"

namespace {

using Args = std::vector<std::string>;

SimCommandResult Ok(const std::string& text)
{
    return {0, text + "\n", false};
}
SimCommandResult Fail(const std::string& text)
{
    return {1, "error: " + text + "\n", false};
}

bool Number(const std::string& text, uint32_t* value)
{
    if (text.empty() || text[0] == '-')
        return false;
    char* end = nullptr;
    unsigned long long n = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || n > 0xFFFFFFFFull)
        return false;
    *value = uint32_t(n);
    return true;
}

SimCommandResult Refused(const char* operation, DWORD status)
{
    return Fail(std::string(operation) + " refused with status " + HexText(status));
}

// Reads a record, lets change edit it, writes it back: what another program would do.
template <typename Record, typename Key>
SimCommandResult Edit(CSimDriver& driver, DWORD get, DWORD set, const Key* key,
                      const std::function<void(Record&)>& change, const std::string& done)
{
    Record record;
    DWORD status = driver.Command(get, key, key ? sizeof *key : 0, &record, sizeof record);
    if (status)
        return Refused(FindKvxUsbOperation(get)->name, status);
    change(record);
    status = driver.Command(set, &record, sizeof record, nullptr, 0);
    if (status)
        return Refused(FindKvxUsbOperation(set)->name, status);
    return Ok(done);
}

// --- set: one row per setting --------------------------------------------------------
//
// Settings a program could change go through the catalogue's own requests, refusals
// included. The others, and values no request may set (odd modes, depths off the grid,
// other rate lists, clock sources, serial numbers), are changed in the model directly, as
// only the device itself could; both are reported to the clients as another program's
// change.

// The words a value may be given as besides its number.
struct Word {
    const char* text;
    uint32_t value;
};

bool Value(const std::string& text, const std::vector<Word>& words, uint32_t* value)
{
    for (const Word& w : words)
        if (text == w.text) {
            *value = w.value;
            return true;
        }
    return Number(text, value);
}

// The arguments from v[from] on, as numbers.
bool Numbers(const Args& v, size_t from, std::vector<uint32_t>* numbers)
{
    for (size_t i = from; i < v.size(); ++i) {
        uint32_t n = 0;
        if (!Number(v[i], &n))
            return false;
        numbers->push_back(n);
    }
    return true;
}

SimCommandResult Direct(CSimDriver& driver, SimSetting setting, uint32_t id,
                        const std::function<DWORD(CSimModel&)>& apply, const std::string& done)
{
    DWORD status = driver.Change({SIM_KIND_SETTING, setting, id}, apply);
    if (status == SIM_E_NOT_FOUND)
        return Fail("no device " + std::to_string(id));
    return status ? Fail(done + ": refused with status " + HexText(status)) : Ok(done);
}

// A device by id, plugged or not.
std::function<DWORD(CSimModel&)> OnDevice(uint32_t id, std::function<void(SimDevice&)> change)
{
    return [id, change](CSimModel& model) -> DWORD {
        SimDevice* device = model.FindDevice(id, false);
        if (!device)
            return SIM_E_NOT_FOUND;
        change(*device);
        return 0;
    };
}

// A name filling its whole field, no terminator: the text, then '#' to the end.
template <size_t N> void RawText(char (&field)[N], const std::string& text)
{
    std::memset(field, '#', N);
    std::memcpy(field, text.data(), std::min(text.size(), N));
}

using Setter = std::function<SimCommandResult(CSimDriver&, const Args&)>;

struct SetRow {
    const char* what;
    const char* usage; // the arguments after "set WHAT"
    size_t minValues, maxValues;
    Setter run; // v: the whole command, v[2] the first value
};

// The name of a device or channel record, through its own read and write requests: at
// most 39 bytes and a zero, or raw, filling the field.
template <typename Record>
Setter Name(bool raw, DWORD get, DWORD set, char (Record::*name)[KVX_USB_NAME_SIZE],
            const std::string& noun)
{
    return [=](CSimDriver& driver, const Args& v) {
        uint32_t id = 0;
        if (!Number(v[2], &id))
            return Fail("set " + v[1] + ": \"" + v[2] + "\" is not a " + noun + " id");
        if (raw && v[3].size() > KVX_USB_NAME_SIZE)
            return Fail("a raw name is at most 40 bytes");
        return Edit<Record, uint32_t>(
            driver, get, set, &id,
            [&](Record& r) {
                if (raw)
                    RawText(r.*name, v[3]);
                else
                    SetRecordText(r.*name, v[3].c_str());
            },
            noun + " " + v[2] + " named \"" + v[3].substr(0, raw ? 40 : 39) + "\"");
    };
}

Setter DeviceName(bool raw)
{
    return Name(raw, IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, IOCTL_KVX_USB_SET_DEVICE_PROPERTIES,
                &_KVX_USB_DEVICE_PROPERTIES::DeviceName, "device");
}

Setter ChannelName(bool raw)
{
    return Name(raw, IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES,
                &_KVX_USB_CHANNEL_PROPERTIES::ChannelName, "channel");
}

SimCommandResult SetRanking(CSimDriver& driver, const Args& v)
{
    uint32_t id = 0, ranking = 0;
    if (!Number(v[2], &id) || !Number(v[3], &ranking))
        return Fail("usage: set ranking DEVICE N");
    return Edit<_KVX_USB_DEVICE_PROPERTIES, uint32_t>(
        driver, IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, IOCTL_KVX_USB_SET_DEVICE_PROPERTIES, &id,
        [&](_KVX_USB_DEVICE_PROPERTIES& p) { p.Ranking = ranking; },
        "device " + v[2] + " ranked " + v[3]);
}

SimCommandResult SetSource(CSimDriver& driver, const Args& a)
{
    uint32_t device = 0, source = 0;
    if (!Number(a[2], &device) || !Number(a[3], &source))
        return Fail("usage: set source DEVICE SOURCEID");
    _KVX_USB_DEVICE_SYNCH_MODE_INFO info;
    DWORD status =
        driver.Command(IOCTL_KVX_USB_GET_SYNCH_MODE_INFO, &device, 4, &info, sizeof info);
    if (status)
        return Refused("GetSynchModeInfo", status);
    for (uint32_t i = 0; i < info.SourceCount && i < KVX_USB_MAX_CLOCK_SOURCES; ++i) {
        if (info.Sources[i].SourceId != source)
            continue;
        _KVX_USB_SYNCH_MODE_SELECT select = {device, info.Sources[i].SourceKind, source};
        status = driver.Command(IOCTL_KVX_USB_SET_SYNCH_MODE, &select, sizeof select, nullptr, 0);
        if (status)
            return Refused("SetSynchMode", status);
        return Ok("device " + a[2] + " clocked by \"" + RecordText(info.Sources[i].Name) + "\"");
    }
    return Fail("device " + a[2] + " has no clock source " + a[3]);
}

SimCommandResult SetRate(CSimDriver& driver, const Args& v)
{
    _KVX_USB_SAMPLE_RATE_SELECT select = {0, 0};
    if (!Number(v[2], &select.SampleRate))
        return Fail("usage: set rate HZ");
    DWORD status =
        driver.Command(IOCTL_KVX_USB_SET_SAMPLE_RATE, &select, sizeof select, nullptr, 0);
    return status ? Refused("set rate", status) : Ok("rate set to " + v[2]);
}

SimCommandResult SetAsioNames(CSimDriver& driver, const Args& v)
{
    uint32_t option = 0;
    if (!Value(v[2], {{"off", 0}, {"on", 1}}, &option))
        return Fail("usage: set asio-names on|off|N");
    DWORD status = driver.Command(IOCTL_KVX_USB_SET_ASIO_NAME_OPTION, &option, 4, nullptr, 0);
    return status ? Refused("set asio-names", status) : Ok("asio-names set to " + v[2]);
}

// A single u32 of the hardware, any value, given as a number or one of words.
Setter Field(SimSetting setting, std::function<uint32_t&(CSimModel&)> field,
             std::initializer_list<Word> wordList = {})
{
    std::vector<Word> words(wordList);
    return [=](CSimDriver& driver, const Args& v) {
        uint32_t value = 0;
        if (!Value(v[2], words, &value))
            return Fail("set " + v[1] + ": \"" + v[2] + "\" is not a value");
        return Direct(
            driver, setting, 0,
            [&](CSimModel& model) {
                field(model) = value;
                return DWORD(0);
            },
            v[1] + " set to " + v[2]);
    };
}

SimCommandResult SetDropOuts(CSimDriver& driver, const Args& v)
{
    uint32_t count = 0;
    if (!Number(v[2], &count))
        return Fail("usage: set dropouts N");
    // Not a setting: nothing to report, as the panel reads the count every second.
    driver.Change({}, [&](CSimModel& model) {
        model.SetDropOuts(count);
        return DWORD(0);
    });
    return Ok("dropouts set to " + v[2]);
}

// The count as the driver would make it: a burst, a steady rate, or a restart's zero.
SimCommandResult DropOuts(CSimDriver& driver, const Args& a)
{
    const std::string what = a.size() > 1 ? a[1] : "";
    std::string rate = a.size() == 3 ? a[2] : "";
    if (rate.size() > 4 && rate.compare(rate.size() - 4, 4, "/min") == 0)
        rate.resize(rate.size() - 4);
    uint32_t n = 0;
    std::function<void(CSimModel&)> apply;
    if (what == "add" && a.size() == 3 && Number(a[2], &n))
        apply = [n](CSimModel& m) { m.AddDropOuts(n); };
    else if (what == "rate" && a.size() == 3 && Number(rate, &n))
        apply = [n](CSimModel& m) { m.SetDropOutRate(n); };
    else if (what == "reset" && a.size() == 2)
        apply = [](CSimModel& m) { m.SetDropOuts(0); };
    else
        return Fail("usage: dropouts add N | dropouts rate N/min | dropouts reset");
    driver.Change({}, [&](CSimModel& model) {
        apply(model);
        return DWORD(0);
    });
    std::string text = "dropouts";
    for (size_t i = 1; i < a.size(); ++i)
        text += " " + a[i];
    return Ok(text);
}

SimCommandResult SetStreamRange(CSimDriver& driver, const Args& v)
{
    std::vector<uint32_t> n;
    if (!Numbers(v, 2, &n))
        return Fail("usage: set stream-range MIN MAX STEP");
    return Direct(
        driver, SIM_SETTING_STREAM_DEPTH, 0,
        [&](CSimModel& model) {
            _KVX_USB_STREAM_BUFFER_DEPTH& d = model.Hardware().streamDepth;
            d.Minimum = n[0];
            d.Maximum = n[1];
            d.Step = n[2];
            return DWORD(0);
        },
        "stream range set to " + v[2] + ".." + v[3] + " step " + v[4]);
}

SimCommandResult SetRates(CSimDriver& driver, const Args& v)
{
    std::vector<uint32_t> rates;
    if (!Numbers(v, 2, &rates))
        return Fail("usage: set rates [HZ...] (at most 8)");
    return Direct(
        driver, SIM_SETTING_RATE, 0,
        [&](CSimModel& model) {
            _KVX_USB_SAMPLE_RATE_INFO& info = model.Hardware().rateInfo;
            info.RateCount = uint32_t(rates.size());
            std::copy(rates.begin(), rates.end(), info.Rates);
            return DWORD(0);
        },
        std::to_string(rates.size()) + " rate(s) offered");
}

SimCommandResult SetSources(CSimDriver& driver, const Args& v)
{
    uint32_t id = 0;
    if (!Number(v[2], &id))
        return Fail("usage: set sources DEVICE [NAME...] (at most 16)");
    for (size_t i = 3; i < v.size(); ++i)
        if (v[i].size() >= KVX_USB_NAME_SIZE)
            return Fail("clock source name \"" + v[i] + "\" is longer than 39 bytes");
    return Direct(
        driver, SIM_SETTING_CLOCK_SOURCE, id,
        OnDevice(id,
                 [&](SimDevice& d) {
                     _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = d.synch;
                     uint32_t current = synch.Current.SourceId;
                     synch.SourceCount = uint32_t(v.size() - 3);
                     for (uint32_t i = 0; i < synch.SourceCount; ++i) {
                         _KVX_USB_CLOCK_SOURCE& s = synch.Sources[i];
                         s.SourceKind = 0;
                         s.SourceId = i;
                         SetRecordText(s.Name, v[3 + i].c_str());
                     }
                     // The same id stays current where there still is one.
                     if (synch.SourceCount > 0)
                         synch.Current = synch.Sources[current < synch.SourceCount ? current : 0];
                 }),
        "device " + v[2] + " offers " + std::to_string(v.size() - 3) + " clock source(s)");
}

SimCommandResult SetSerial(CSimDriver& driver, const Args& v)
{
    uint32_t id = 0;
    const size_t max = sizeof(_KVX_USB_DEVICE_PROPERTIES::SerialNumber) - 1;
    if (!Number(v[2], &id))
        return Fail("usage: set serial DEVICE TEXT");
    if (v[3].size() > max)
        return Fail("a serial number is at most " + std::to_string(max) + " bytes");
    // Only the text and its terminator: the bytes after it stay the driver's.
    return Direct(driver, SIM_SETTING_DEVICE, id,
                  OnDevice(id,
                           [&](SimDevice& d) {
                               std::memcpy(d.properties.SerialNumber, v[3].c_str(),
                                           v[3].size() + 1);
                           }),
                  "device " + v[2] + " serial \"" + v[3] + "\"");
}

Setter BufferDepthField(SimSetting setting, bool asio, bool granularity)
{
    return Field(setting, [asio, granularity](CSimModel& m) -> uint32_t& {
        _KVX_USB_BUFFER_DEPTH& d = asio ? m.Hardware().asioDepth : m.Hardware().wdmDepth;
        return granularity ? d.Granularity : d.Depth;
    });
}

const std::vector<SetRow>& SetRows()
{
    static const std::vector<SetRow> rows = {
        {"rate", "HZ", 1, 1, SetRate},
        {"source", "DEVICE SOURCEID", 2, 2, SetSource},
        {"mode", "auto|manual|N", 1, 1,
         Field(SIM_SETTING_RATE_MODE,
               [](CSimModel& m) -> uint32_t& { return m.Hardware().rateMode.Mode; },
               {{"manual", 0}, {"auto", 1}})},
        {"master", "pc|device|N", 1, 1,
         Field(SIM_SETTING_CLOCK_MASTER,
               [](CSimModel& m) -> uint32_t& { return m.Hardware().clockMaster.ClockMaster; },
               {{"pc", 0}, {"device", 1}})},
        {"asio-names", "on|off|N", 1, 1, SetAsioNames},
        {"name", "DEVICE TEXT", 2, 2, DeviceName(false)},
        {"name-raw", "DEVICE TEXT", 2, 2, DeviceName(true)},
        {"serial", "DEVICE TEXT", 2, 2, SetSerial},
        {"ranking", "DEVICE N", 2, 2, SetRanking},
        {"channel", "CHANNEL TEXT", 2, 2, ChannelName(false)},
        {"channel-raw", "CHANNEL TEXT", 2, 2, ChannelName(true)},
        {"sources", "DEVICE [NAME...]", 1, 1 + KVX_USB_MAX_CLOCK_SOURCES, SetSources},
        {"rates", "[HZ...]", 0, KVX_USB_MAX_RATES, SetRates},
        {"stream-depth", "US", 1, 1,
         Field(SIM_SETTING_STREAM_DEPTH,
               [](CSimModel& m) -> uint32_t& { return m.Hardware().streamDepth.Current; })},
        {"stream-range", "MIN MAX STEP", 3, 3, SetStreamRange},
        {"asio-depth", "US", 1, 1, BufferDepthField(SIM_SETTING_ASIO_DEPTH, true, false)},
        {"wdm-depth", "US", 1, 1, BufferDepthField(SIM_SETTING_WDM_DEPTH, false, false)},
        {"asio-granularity", "N", 1, 1, BufferDepthField(SIM_SETTING_ASIO_DEPTH, true, true)},
        {"wdm-granularity", "N", 1, 1, BufferDepthField(SIM_SETTING_WDM_DEPTH, false, true)},
        {"dropouts", "N", 1, 1, SetDropOuts},
    };
    return rows;
}

SimCommandResult Set(CSimDriver& driver, const Args& a)
{
    for (const SetRow& row : SetRows()) {
        if (a.size() < 2 || a[1] != row.what)
            continue;
        size_t values = a.size() - 2;
        if (values < row.minValues || values > row.maxValues)
            return Fail(std::string("usage: set ") + row.what + " " + row.usage);
        return row.run(driver, a);
    }
    std::string names;
    for (const SetRow& row : SetRows())
        names += std::string(names.empty() ? "" : "|") + row.what;
    return Fail("usage: set " + names + " ...");
}

SimCommandResult Plug(CSimDriver& driver, const Args& a)
{
    uint32_t id = 0;
    bool plugged = a[0] == "plug";
    if (a.size() != 2 || !Number(a[1], &id))
        return Fail("usage: " + a[0] + " DEVICE");
    bool interfaceChanged = false;
    if (driver.Plug(id, plugged, &interfaceChanged))
        return Fail("no device " + a[1]);
    std::string text = "device " + a[1] + (plugged ? " plugged" : " unplugged");
    if (interfaceChanged) {
        int reached = BroadcastInterfaceChange(plugged);
        text += std::string("; interface ") + (plugged ? "arrival" : "removal") + " sent to " +
                std::to_string(reached) + " window(s)";
    }
    return Ok(text);
}

SimCommandResult Notify(CSimDriver& driver, const Args& a)
{
    uint32_t kind = 0, data1 = 0, data2 = 0;
    if ((a.size() != 2 && a.size() != 4) || !Number(a[1], &kind) ||
        (a.size() == 4 && (!Number(a[2], &data1) || !Number(a[3], &data2))))
        return Fail("usage: notify KIND [DATA1 DATA2]");
    driver.Notify(int32_t(kind), data1, data2);
    return Ok("queued kind " + a[1]);
}

const KvxUsbOperation* Operation(const std::string& name)
{
    return FindKvxUsbOperation(name.c_str());
}

SimCommandResult Fault(CSimDriver& driver, const Args& a)
{
    uint32_t count = 0, status = 0, ms = 0, after = 0;
    std::string what = a.size() > 1 ? a[1] : "";
    std::function<void(CSimFaults&)> apply;
    if (what == "clear" && a.size() == 2)
        apply = [](CSimFaults& f) { f.Clear(); };
    else if (what == "overcount" && a.size() == 2)
        apply = [](CSimFaults& f) { f.Overcount(); };
    else if (what == "unterminated" && a.size() == 2)
        apply = [](CSimFaults& f) { f.Unterminated(); };
    else if (what == "zerostep" && a.size() == 2)
        apply = [](CSimFaults& f) { f.ZeroStep(); };
    else if (what == "duplicate" && a.size() == 2)
        apply = [](CSimFaults& f) { f.Duplicate(); };
    else if (what == "stall" && a.size() == 3 && Number(a[2], &ms))
        apply = [ms](CSimFaults& f) { f.Stall(ms); };
    else if (what == "short" && a.size() == 3 && Operation(a[2]))
        apply = [&](CSimFaults& f) { f.AnswerHalf(Operation(a[2])->code); };
    else if (what == "short" && a.size() == 4 && Operation(a[2]) && Number(a[3], &count))
        apply = [&](CSimFaults& f) { f.AnswerShort(Operation(a[2])->code, count); };
    else if ((a.size() == 4 || (a.size() == 5 && Number(a[4], &after))) && Operation(a[1]) &&
             Number(a[2], &count) && Number(a[3], &status))
        apply = [&](CSimFaults& f) { f.FailNext(Operation(a[1])->code, count, status, after); };
    else
        return Fail(
            "usage: fault OPERATION COUNT STATUS [AFTER] | short OPERATION [BYTES] | overcount | "
            "unterminated | zerostep | duplicate | stall MILLISECONDS | clear "
            "(OPERATION: a catalogue name such as GetDeviceIdList)");
    driver.WithFaults(apply);
    std::string text = "fault";
    for (size_t i = 1; i < a.size(); ++i)
        text += " " + a[i];
    return Ok(text + (what == "clear" ? ": all faults ended" : " set"));
}

} // namespace

const char* SimCommandUsage()
{
    return "  stop | status | plug DEVICE | unplug DEVICE | stream on|off\n"
           "  set rate HZ | set source DEVICE SOURCEID | set mode auto|manual|N\n"
           "  set master pc|device|N | set asio-names on|off|N\n"
           "  set name DEVICE TEXT | set name-raw DEVICE TEXT | set serial DEVICE TEXT\n"
           "  set ranking DEVICE N | set channel CHANNEL TEXT | set channel-raw CHANNEL TEXT\n"
           "  set sources DEVICE [NAME...] | set rates [HZ...]\n"
           "  set stream-depth US | set stream-range MIN MAX STEP\n"
           "  set asio-depth US | set wdm-depth US | set asio-granularity N\n"
           "  set wdm-granularity N | set dropouts N\n"
           "  dropouts add N | dropouts rate N/min | dropouts reset\n"
           "  notify KIND [DATA1 DATA2]\n"
           "  fault OPERATION COUNT STATUS [AFTER] | fault short OPERATION [BYTES]\n"
           "  fault overcount | fault unterminated | fault zerostep | fault duplicate\n"
           "  fault stall MILLISECONDS | fault clear\n";
}

SimCommandResult RunSimCommand(CSimDriver& driver, const Args& a)
{
    if (a.empty())
        return Fail("no command");
    std::string line = "command:";
    for (const std::string& arg : a)
        line += " " + arg;
    driver.TraceNote(line);

    const std::string& c = a[0];
    if (c == "stop" && a.size() == 1) {
        SimCommandResult result = Ok("stopping");
        result.stop = true;
        return result;
    }
    if (c == "status" && a.size() == 1)
        return {0, driver.Status(), false};
    if (c == "plug" || c == "unplug")
        return Plug(driver, a);
    if (c == "stream" && a.size() == 2 && (a[1] == "on" || a[1] == "off")) {
        driver.Stream(a[1] == "on");
        return Ok("streaming " + a[1]);
    }
    if (c == "set")
        return Set(driver, a);
    if (c == "notify")
        return Notify(driver, a);
    if (c == "dropouts")
        return DropOuts(driver, a);
    if (c == "fault")
        return Fault(driver, a);
    return Fail("unknown command \"" + c + "\"; commands:\n" + SimCommandUsage());
}
