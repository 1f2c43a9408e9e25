#include "SimCommands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

#include "KvxUsbCatalogue.h"
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

std::string Hex(DWORD status)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
    return text;
}

SimCommandResult Refused(const char* operation, DWORD status)
{
    return Fail(std::string(operation) + " refused with status " + Hex(status));
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

SimCommandResult SetDevice(CSimDriver& driver, const Args& a, bool name)
{
    uint32_t id = 0, ranking = 0;
    if (a.size() != 4 || !Number(a[2], &id) || (!name && !Number(a[3], &ranking)))
        return Fail(std::string("usage: set ") + (name ? "name DEVICE TEXT" : "ranking DEVICE N"));
    return Edit<_KVX_USB_DEVICE_PROPERTIES, uint32_t>(
        driver, IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, IOCTL_KVX_USB_SET_DEVICE_PROPERTIES, &id,
        [&](_KVX_USB_DEVICE_PROPERTIES& p) {
            if (name)
                SetRecordText(p.DeviceName, a[3].c_str());
            else
                p.Ranking = ranking;
        },
        "device " + a[2] + (name ? " named \"" + a[3].substr(0, 39) + "\"" : " ranked " + a[3]));
}

SimCommandResult SetChannel(CSimDriver& driver, const Args& a)
{
    uint32_t id = 0;
    if (a.size() != 4 || !Number(a[2], &id))
        return Fail("usage: set channel CHANNEL TEXT");
    return Edit<_KVX_USB_CHANNEL_PROPERTIES, uint32_t>(
        driver, IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES, &id,
        [&](_KVX_USB_CHANNEL_PROPERTIES& c) { SetRecordText(c.ChannelName, a[3].c_str()); },
        "channel " + a[2] + " named \"" + a[3].substr(0, 39) + "\"");
}

SimCommandResult SetSource(CSimDriver& driver, const Args& a)
{
    uint32_t device = 0, source = 0;
    if (a.size() != 4 || !Number(a[2], &device) || !Number(a[3], &source))
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

// Settings that are one value in a record of their own.
SimCommandResult SetValue(CSimDriver& driver, const Args& a)
{
    const std::string& what = a[1];
    std::map<std::string, uint32_t> words = {{"auto", 1},   {"manual", 0}, {"pc", 0},
                                             {"device", 1}, {"on", 1},     {"off", 0}};
    uint32_t value = 0;
    if (a.size() != 3 || (!Number(a[2], &value) && !words.count(a[2])))
        return Fail("usage: set " + what + " VALUE");
    if (words.count(a[2]))
        value = words[a[2]];
    std::string done = what + " set to " + a[2];
    DWORD status = 0;
    if (what == "rate") {
        _KVX_USB_SAMPLE_RATE_SELECT select = {0, value};
        status = driver.Command(IOCTL_KVX_USB_SET_SAMPLE_RATE, &select, sizeof select, nullptr, 0);
    } else if (what == "mode") {
        _KVX_USB_SAMPLE_RATE_MODE mode = {0, value};
        status = driver.Command(IOCTL_KVX_USB_SET_SAMPLE_RATE_MODE, &mode, sizeof mode, nullptr, 0);
    } else if (what == "asio-names") {
        status = driver.Command(IOCTL_KVX_USB_SET_ASIO_NAME_OPTION, &value, 4, nullptr, 0);
    } else if (what == "master") {
        return Edit<_KVX_USB_CLOCK_MASTER, uint32_t>(
            driver, IOCTL_KVX_USB_GET_CLOCK_MASTER, IOCTL_KVX_USB_SET_CLOCK_MASTER, nullptr,
            [&](_KVX_USB_CLOCK_MASTER& m) { m.ClockMaster = value; }, done);
    } else if (what == "stream-depth") {
        return Edit<_KVX_USB_STREAM_BUFFER_DEPTH, uint32_t>(
            driver, IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH, IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH,
            nullptr, [&](_KVX_USB_STREAM_BUFFER_DEPTH& d) { d.Current = value; }, done);
    } else if (what == "asio-depth" || what == "wdm-depth") {
        bool asio = what == "asio-depth";
        return Edit<_KVX_USB_BUFFER_DEPTH, uint32_t>(
            driver, asio ? IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH : IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH,
            asio ? IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH : IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH,
            nullptr, [&](_KVX_USB_BUFFER_DEPTH& d) { d.Depth = value; }, done);
    } else {
        return Fail("unknown setting " + what);
    }
    return status ? Refused(("set " + what).c_str(), status) : Ok(done);
}

SimCommandResult Set(CSimDriver& driver, const Args& a)
{
    if (a.size() < 2)
        return Fail("usage: set rate|source|mode|master|name|channel|ranking|stream-depth|"
                    "asio-depth|wdm-depth|asio-names ...");
    if (a[1] == "name" || a[1] == "ranking")
        return SetDevice(driver, a, a[1] == "name");
    if (a[1] == "channel")
        return SetChannel(driver, a);
    if (a[1] == "source")
        return SetSource(driver, a);
    return SetValue(driver, a);
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
    uint32_t count = 0, status = 0, ms = 0;
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
    else if (what == "stall" && a.size() == 3 && Number(a[2], &ms))
        apply = [ms](CSimFaults& f) { f.Stall(ms); };
    else if (what == "short" && a.size() == 3 && Operation(a[2]))
        apply = [&](CSimFaults& f) { f.AnswerShort(Operation(a[2])->code); };
    else if (a.size() == 4 && Operation(a[1]) && Number(a[2], &count) && Number(a[3], &status))
        apply = [&](CSimFaults& f) { f.FailNext(Operation(a[1])->code, count, status); };
    else
        return Fail("usage: fault OPERATION COUNT STATUS | short OPERATION | overcount | "
                    "unterminated | zerostep | stall MILLISECONDS | clear "
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
           "  set rate HZ | set source DEVICE SOURCEID | set mode auto|manual\n"
           "  set master pc|device | set name DEVICE TEXT | set channel CHANNEL TEXT\n"
           "  set ranking DEVICE N | set stream-depth US | set asio-depth US\n"
           "  set wdm-depth US | set asio-names on|off\n"
           "  notify KIND [DATA1 DATA2]\n"
           "  fault OPERATION COUNT STATUS | fault short OPERATION | fault overcount\n"
           "  fault unterminated | fault zerostep | fault stall MILLISECONDS | fault clear\n";
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
    if (c == "fault")
        return Fault(driver, a);
    return Fail("unknown command \"" + c + "\"; commands:\n" + SimCommandUsage());
}
