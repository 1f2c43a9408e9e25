#include "SupportReport.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "DriverSnapshot.h"
#include "DropOutSettings.h"
#include "ExitStatus.h"
#include "KvxUsbText.h"
#include "KvxVersion.h"
#include "KvxuUsbDriver.h"
#include "ProfileFile.h"
#include "SettingCatalogue.h"
#include "StatusJson.h"

CReportNode& CReportNode::Group(const std::string& k, const std::string& l)
{
    children.push_back(CReportNode());
    CReportNode& node = children.back();
    node.kind = GROUP;
    node.key = k;
    node.label = l;
    return node;
}

CReportNode& CReportNode::List(const std::string& k, const std::string& l)
{
    CReportNode& node = Group(k, l);
    node.kind = LIST;
    return node;
}

CReportNode& CReportNode::Text(const std::string& k, const std::string& l, const std::string& t)
{
    CReportNode& node = Group(k, l);
    node.kind = TEXT;
    node.text = t;
    return node;
}

CReportNode& CReportNode::Number(const std::string& k, const std::string& l, int64_t value,
                                 const std::string& readable, const std::string& u)
{
    CReportNode& node = Group(k, l);
    node.kind = NUMBER;
    node.number = value;
    node.text = readable;
    node.unit = u;
    return node;
}

CReportNode& CReportNode::Flag(const std::string& k, const std::string& l, bool value)
{
    CReportNode& node = Group(k, l);
    node.kind = FLAG;
    node.number = value ? 1 : 0;
    return node;
}

namespace {

// Whether a read anywhere in the report failed: the report is then not whole.
bool ReportHasFailure(const CReportNode& report)
{
    return report.kind == CReportNode::FAILURE ||
           std::any_of(report.children.begin(), report.children.end(), ReportHasFailure);
}

} // namespace

int RunSupportReport(bool json, std::string& out, std::string& err)
{
    // A channel of its own: the tool shares nothing with a running control panel.
    CKvxuUsbDriver driver;
    const DWORD status = driver.Open(KVX_USB_DEVICE_NAME);
    CReportNode report;
    report.Text("tool", "Support report", "kvxuinfo " KVX_VERSION_TEXT);
    report.Text("controlDevice", "Control device", "\\\\.\\" KVX_USB_DEVICE_NAME);
    if (status != 0) {
        report.Failure("open", "Open", status);
    } else {
        CReportNode driverReport = ReadSupportReport(driver);
        for (CReportNode& node : driverReport.children)
            report.children.push_back(std::move(node));
    }
    out += json ? RenderJson(report) : RenderText(report);
    // What could be read is printed; the report is not whole.
    const bool notResponding = driver.WentUnanswered();
    if (notResponding)
        err += std::string("kvxuinfo: ") + StatusSentence(KVX_USB_E_NOT_RESPONDING) + " (" +
               StatusText(KVX_USB_E_NOT_RESPONDING) + ")\n";
    if (notResponding || status != 0)
        return KVX_EXIT_NO_DRIVER;
    return ReportHasFailure(report) ? KVX_EXIT_INCOMPLETE : KVX_EXIT_OK;
}

CReportNode& CReportNode::Failure(const std::string& k, const std::string& l, DWORD s)
{
    CReportNode& node = Group(k, l);
    node.kind = FAILURE;
    node.status = s;
    return node;
}

namespace {

// The word a profile and kvxuctl use for a value, or "" for a value without one.
std::string Word(CSettingId id, uint32_t value)
{
    const char* word = WordOf(Describe(id), value);
    return word ? word : "";
}

std::string Join(uint32_t a, uint32_t b)
{
    return std::to_string(a) + "." + std::to_string(b);
}

// One read's entry, named once: add(key, label) makes it when the read succeeded; a read that
// failed shows its status there instead.
template <class Add>
void AddRead(CReportNode& node, const std::string& key, const std::string& label, DWORD status,
             Add add)
{
    if (status != 0)
        node.Failure(key, label, status);
    else
        add(key, label);
}

// A count bounded by its record's capacity. The count the driver gave is kept in the report
// under key when it was larger, since that is worth a support engineer's eye.
uint32_t BoundedCount(CReportNode& node, uint32_t count, uint32_t capacity, const std::string& key)
{
    if (count <= capacity)
        return count;
    node.Number(key, "Count the driver reported (more than its record holds)", count);
    return capacity;
}

std::string Milliseconds(uint32_t us)
{
    return FormatMilliseconds(us, "ms");
}

void AddClockSource(CReportNode& node, const _KVX_USB_CLOCK_SOURCE& source)
{
    node.Number("id", "Id", source.SourceId);
    node.Number("kind", "Kind", source.SourceKind);
    node.Text("name", "Name", RecordText(source.Name));
}

void ReportDriver(const CDriverSnapshot& snapshot, CReportNode& report)
{
    const _KVX_USB_DRIVER_INFO& info = snapshot.driverInfo.value;
    AddRead(report, "driver", "Driver", snapshot.driverInfo.status, [&](auto& key, auto& label) {
        CReportNode& node = report.Group(key, label);
        node.Text("interfaceVersion", "Interface version",
                  Join(info.InterfaceVersionMajor, info.InterfaceVersionMinor));
        // The build is shown signed, as the about box shows it.
        node.Text("driverVersion", "Driver version",
                  Join(info.DriverVersionMajor, info.DriverVersionMinor) + "." +
                      std::to_string(int32_t(info.DriverVersionBuild)));
    });
}

void ReportClockSources(const CSnapshotDevice& snapshot, CReportNode& device)
{
    const _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = snapshot.synch.value;
    AddRead(device, "clockSources", "Clock sources", snapshot.synch.status,
            [&](auto& key, auto& label) {
                CReportNode& current = device.Group("currentClockSource", "Current clock source");
                AddClockSource(current, synch.Current);
                CReportNode& list = device.List(key, label);
                uint32_t count = BoundedCount(device, synch.SourceCount, KVX_USB_MAX_CLOCK_SOURCES,
                                              "clockSourceCountReported");
                for (uint32_t i = 0; i < count; ++i) {
                    CReportNode& source = list.Group("", "Source");
                    AddClockSource(source, synch.Sources[i]);
                    source.Flag("current", "Current",
                                synch.Sources[i].SourceId == synch.Current.SourceId);
                }
            });
}

// Reports the devices; their names by id for the channels.
void ReportDevices(const CDriverSnapshot& snapshot, CReportNode& report,
                   std::map<uint32_t, std::string>& names)
{
    AddRead(report, "devices", "Devices", snapshot.deviceListStatus, [&](auto& key, auto& label) {
        CReportNode& list = report.List(key, label);
        BoundedCount(report, snapshot.deviceCountReported, KVX_USB_MAX_DEVICES,
                     "deviceCountReported");
        for (const CSnapshotDevice& entry : snapshot.devices) {
            CReportNode& device = list.Group("", "Device");
            device.Number("id", "Id", entry.id);
            const _KVX_USB_DEVICE_PROPERTIES& properties = entry.properties.value;
            AddRead(device, "properties", "Properties", entry.properties.status, [&](auto&, auto&) {
                std::string name = RecordText(properties.DeviceName);
                names[entry.id] = name;
                device.Text("name", "Name", name);
                device.Text("serial", "Serial number", RecordText(properties.SerialNumber));
                device.Number("ranking", "Ranking", properties.Ranking);
            });
            ReportClockSources(entry, device);
        }
    });
}

// The name of a device: from the devices already reported, else asked for, as the channels
// page does.
DWORD FindDeviceName(CKvxuUsbDriver& driver, uint32_t deviceId,
                     std::map<uint32_t, std::string>& names, std::string* name)
{
    auto known = names.find(deviceId);
    if (known != names.end()) {
        *name = known->second;
        return 0;
    }
    _KVX_USB_DEVICE_PROPERTIES device = {};
    DWORD status = driver.GetDeviceProperties(&deviceId, &device);
    if (status == 0)
        *name = names[deviceId] = RecordText(device.DeviceName);
    return status;
}

void ReportChannel(CKvxuUsbDriver& driver, const _KVX_USB_CHANNEL_PROPERTIES& properties,
                   uint32_t asioNameOption, std::map<uint32_t, std::string>& names,
                   CReportNode& channel)
{
    channel.Number("deviceId", "Device id", properties.DeviceId);
    std::string deviceName;
    AddRead(channel, "device", "Device",
            FindDeviceName(driver, properties.DeviceId, names, &deviceName),
            [&](auto& key, auto& label) { channel.Text(key, label, deviceName); });
    std::string name = RecordText(properties.ChannelName);
    channel.Text("hardwareName", "Hardware name", RecordText(properties.HardwareName));
    channel.Text("channelName", "Name", name);
    channel.Text("asioName", "ASIO name", AsioDisplayName(asioNameOption, deviceName, name));
}

void ReportChannelList(CKvxuUsbDriver& driver, const CDriverSnapshot& snapshot,
                       const std::vector<CSnapshotChannel>& channels, uint32_t countReported,
                       const std::string& key, const std::string& label,
                       const std::string& countKey, std::map<uint32_t, std::string>& names,
                       CReportNode& report)
{
    AddRead(report, key, label, snapshot.channelListStatus, [&](auto&, auto&) {
        CReportNode& list = report.List(key, label);
        BoundedCount(report, countReported, KVX_USB_MAX_CHANNELS, countKey);
        for (const CSnapshotChannel& entry : channels) {
            CReportNode& channel = list.Group("", "Channel");
            channel.Number("id", "Id", entry.id);
            AddRead(channel, "properties", "Properties", entry.properties.status,
                    [&](auto&, auto&) {
                        ReportChannel(driver, entry.properties.value, snapshot.asioNameOption.value,
                                      names, channel);
                    });
        }
    });
}

void ReportChannels(CKvxuUsbDriver& driver, const CDriverSnapshot& snapshot, CReportNode& report,
                    std::map<uint32_t, std::string>& names)
{
    const uint32_t option = snapshot.asioNameOption.value;
    AddRead(report, "asioNameOption", "ASIO names with device name", snapshot.asioNameOption.status,
            [&](auto& key, auto& label) {
                report.Number(key, label, option, option != 0 ? "on" : "off");
            });
    ReportChannelList(driver, snapshot, snapshot.inputs, snapshot.inputCountReported,
                      "inputChannels", "Input channels", "inputChannelCountReported", names,
                      report);
    ReportChannelList(driver, snapshot, snapshot.outputs, snapshot.outputCountReported,
                      "outputChannels", "Output channels", "outputChannelCountReported", names,
                      report);
}

void ReportClocking(const CDriverSnapshot& snapshot, CReportNode& report)
{
    const _KVX_USB_SAMPLE_RATE_INFO& rates = snapshot.rates.value;
    AddRead(report, "sampleRate", "Sampling rate", snapshot.rates.status,
            [&](auto& key, auto& label) {
                CReportNode& node = report.Group(key, label);
                node.Number("currentHz", "Current", rates.CurrentRate,
                            FormatRate(rates.CurrentRate), "Hz");
                CReportNode& list = node.List("ratesHz", "Rates");
                uint32_t count =
                    BoundedCount(node, rates.RateCount, KVX_USB_MAX_RATES, "rateCountReported");
                for (uint32_t i = 0; i < count; ++i)
                    list.Number("", "", rates.Rates[i], FormatRate(rates.Rates[i]), "Hz");
            });

    const uint32_t mode = snapshot.rateMode.value;
    AddRead(report, "sampleRateMode", "Rate selection", snapshot.rateMode.status,
            [&](auto& key, auto& label) {
                report.Number(key, label, mode, Word(CSettingId::RateMode, mode));
            });

    const uint32_t master = snapshot.clockMaster.value.ClockMaster;
    AddRead(report, "clockMaster", "Clock master", snapshot.clockMaster.status,
            [&](auto& key, auto& label) {
                report.Number(key, label, master, Word(CSettingId::ClockMaster, master));
            });
}

void ReportBufferDepth(const CDriverRead<_KVX_USB_BUFFER_DEPTH>& depth, const std::string& key,
                       const std::string& label, CReportNode& report)
{
    AddRead(report, key, label, depth.status, [&](auto&, auto&) {
        CReportNode& node = report.Group(key, label);
        node.Number("depthUs", "Depth", depth.value.Depth, Milliseconds(depth.value.Depth), "us");
        node.Number("granularitySamples", "Granularity", depth.value.Granularity, "", "samples");
    });
}

void ReportBuffers(const CDriverSnapshot& snapshot, CReportNode& report)
{
    const _KVX_USB_STREAM_BUFFER_DEPTH& stream = snapshot.streamDepth.value;
    AddRead(
        report, "streamBufferDepth", "Stream buffer depth", snapshot.streamDepth.status,
        [&](auto& key, auto& label) {
            CReportNode& node = report.Group(key, label);
            node.Number("currentUs", "Current", stream.Current, Milliseconds(stream.Current), "us");
            node.Number("minimumUs", "Minimum", stream.Minimum, Milliseconds(stream.Minimum), "us");
            node.Number("maximumUs", "Maximum", stream.Maximum, Milliseconds(stream.Maximum), "us");
            node.Number("stepUs", "Step", stream.Step, Milliseconds(stream.Step), "us");
        });
    ReportBufferDepth(snapshot.asioDepth, "asioBufferDepth", "ASIO buffer depth", report);
    ReportBufferDepth(snapshot.wdmDepth, "wdmBufferDepth", "WDM buffer depth", report);
    AddRead(report, "dropOuts", "Drop-outs", snapshot.statistics.status,
            [&](auto& key, auto& label) {
                report.Number(key, label, snapshot.statistics.value.DropOuts);
            });
    // The depths the count was read with, read just before it, as a support request needs them.
    if (snapshot.statistics.Ok())
        report.Text("dropOutsReadWith", "Drop-outs read with",
                    DropOutDepthsText({snapshot.rates, snapshot.streamDepth, snapshot.asioDepth,
                                       snapshot.wdmDepth}));
}

// ---- output ----

std::string TextValue(const std::string& bytes)
{
    return "\"" + ConsoleText(bytes) + "\"";
}

std::string ScalarText(const CReportNode& node)
{
    switch (node.kind) {
    case CReportNode::TEXT:
        return TextValue(node.text);
    case CReportNode::FLAG:
        return node.number ? "yes" : "no";
    case CReportNode::FAILURE:
        return "failed, " + StatusText(node.status);
    case CReportNode::NUMBER: {
        std::string number = std::to_string(node.number);
        if (!node.unit.empty())
            number += " " + node.unit;
        return node.text.empty() ? number : node.text + " (" + number + ")";
    }
    default:
        return std::string();
    }
}

bool IsScalar(const CReportNode& node)
{
    return node.kind != CReportNode::GROUP && node.kind != CReportNode::LIST;
}

void RenderTextNode(const CReportNode& node, const std::string& indent, std::string& out)
{
    if (IsScalar(node)) {
        out += indent + node.label + ": " + ScalarText(node) + "\n";
        return;
    }
    if (node.kind == CReportNode::LIST) {
        bool scalars = true;
        for (const CReportNode& child : node.children)
            scalars = scalars && IsScalar(child);
        if (scalars) {
            out += indent + node.label + ":";
            const char* separator = " ";
            for (const CReportNode& child : node.children) {
                out += separator + ScalarText(child);
                separator = ", ";
            }
            out += node.children.empty() ? " none\n" : "\n";
            return;
        }
        out += indent + node.label + ": " + std::to_string(node.children.size()) + "\n";
        size_t number = 0;
        for (const CReportNode& entry : node.children) {
            out += indent + "  " + entry.label + " " + std::to_string(++number) + "\n";
            for (const CReportNode& child : entry.children)
                RenderTextNode(child, indent + "    ", out);
        }
        return;
    }
    out += indent + node.label + ":\n";
    for (const CReportNode& child : node.children)
        RenderTextNode(child, indent + "  ", out);
}

nlohmann::ordered_json JsonValue(const CReportNode& node)
{
    nlohmann::ordered_json value;
    switch (node.kind) {
    case CReportNode::TEXT:
        return BytesToUtf8(node.text);
    case CReportNode::NUMBER:
        return node.number;
    case CReportNode::FLAG:
        return node.number != 0;
    case CReportNode::FAILURE:
        value = nlohmann::ordered_json::object();
        AddStatusJson(value, node.status);
        return value;
    case CReportNode::LIST:
        value = nlohmann::ordered_json::array();
        for (const CReportNode& child : node.children)
            value.push_back(JsonValue(child));
        return value;
    case CReportNode::GROUP:
        value = nlohmann::ordered_json::object();
        for (const CReportNode& child : node.children) {
            value[child.key] = JsonValue(child);
            if (child.kind == CReportNode::NUMBER && !child.text.empty())
                value[child.key + "Text"] = BytesToUtf8(child.text);
        }
        return value;
    }
    return value;
}

} // namespace

CReportNode ReadSupportReport(CKvxuUsbDriver& driver)
{
    const CDriverSnapshot snapshot = ReadDriverSnapshot(driver, true);
    CReportNode report;
    std::map<uint32_t, std::string> deviceNames;
    ReportDriver(snapshot, report);
    ReportDevices(snapshot, report, deviceNames);
    ReportChannels(driver, snapshot, report, deviceNames);
    ReportClocking(snapshot, report);
    ReportBuffers(snapshot, report);
    return report;
}

std::string RenderText(const CReportNode& report)
{
    std::string out;
    for (const CReportNode& child : report.children)
        RenderTextNode(child, "", out);
    return out;
}

std::string RenderJson(const CReportNode& report)
{
    // ASCII only: every byte from 0x80 up as \u00XX, whatever the reader's code page.
    return JsonValue(report).dump(2, ' ', true) + "\n";
}
