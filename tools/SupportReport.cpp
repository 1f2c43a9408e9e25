#include "SupportReport.h"

#include <cstdio>
#include <map>

#include "DriverSnapshot.h"
#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"

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

CReportNode& CReportNode::Failure(const std::string& k, const std::string& l, DWORD s)
{
    CReportNode& node = Group(k, l);
    node.kind = FAILURE;
    node.status = s;
    return node;
}

namespace {

std::string Join(uint32_t a, uint32_t b)
{
    return std::to_string(a) + "." + std::to_string(b);
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
    if (!snapshot.driverInfo.Ok()) {
        report.Failure("driver", "Driver", snapshot.driverInfo.status);
        return;
    }
    const _KVX_USB_DRIVER_INFO& info = snapshot.driverInfo.value;
    CReportNode& node = report.Group("driver", "Driver");
    node.Text("interfaceVersion", "Interface version",
              Join(info.InterfaceVersionMajor, info.InterfaceVersionMinor));
    // The build is shown signed, as the about box shows it.
    node.Text("driverVersion", "Driver version",
              Join(info.DriverVersionMajor, info.DriverVersionMinor) + "." +
                  std::to_string(int32_t(info.DriverVersionBuild)));
}

void ReportClockSources(const CSnapshotDevice& snapshot, CReportNode& device)
{
    if (!snapshot.synch.Ok()) {
        device.Failure("clockSources", "Clock sources", snapshot.synch.status);
        return;
    }
    const _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = snapshot.synch.value;
    CReportNode& current = device.Group("currentClockSource", "Current clock source");
    AddClockSource(current, synch.Current);
    CReportNode& list = device.List("clockSources", "Clock sources");
    uint32_t count = BoundedCount(device, synch.SourceCount, KVX_USB_MAX_CLOCK_SOURCES,
                                  "clockSourceCountReported");
    for (uint32_t i = 0; i < count; ++i) {
        CReportNode& source = list.Group("", "Source");
        AddClockSource(source, synch.Sources[i]);
        source.Flag("current", "Current", synch.Sources[i].SourceId == synch.Current.SourceId);
    }
}

// Reports the devices; their names by id for the channels.
void ReportDevices(const CDriverSnapshot& snapshot, CReportNode& report,
                   std::map<uint32_t, std::string>& names)
{
    if (snapshot.deviceListStatus != 0) {
        report.Failure("devices", "Devices", snapshot.deviceListStatus);
        return;
    }
    CReportNode& list = report.List("devices", "Devices");
    BoundedCount(report, snapshot.deviceCountReported, KVX_USB_MAX_DEVICES, "deviceCountReported");
    for (const CSnapshotDevice& entry : snapshot.devices) {
        CReportNode& device = list.Group("", "Device");
        device.Number("id", "Id", entry.id);
        if (!entry.properties.Ok()) {
            device.Failure("properties", "Properties", entry.properties.status);
        } else {
            const _KVX_USB_DEVICE_PROPERTIES& properties = entry.properties.value;
            std::string name = RecordText(properties.DeviceName);
            names[entry.id] = name;
            device.Text("name", "Name", name);
            device.Text("serial", "Serial number", RecordText(properties.SerialNumber));
            device.Number("ranking", "Ranking", properties.Ranking);
        }
        ReportClockSources(entry, device);
    }
}

void ReportChannelList(CKvxuUsbDriver& driver, const std::vector<CSnapshotChannel>& channels,
                       uint32_t countReported, const std::string& key, const std::string& label,
                       const std::string& countKey, uint32_t asioNameOption,
                       std::map<uint32_t, std::string>& names, CReportNode& report)
{
    CReportNode& list = report.List(key, label);
    BoundedCount(report, countReported, KVX_USB_MAX_CHANNELS, countKey);
    for (const CSnapshotChannel& entry : channels) {
        CReportNode& channel = list.Group("", "Channel");
        channel.Number("id", "Id", entry.id);
        if (!entry.properties.Ok()) {
            channel.Failure("properties", "Properties", entry.properties.status);
            continue;
        }
        const _KVX_USB_CHANNEL_PROPERTIES& properties = entry.properties.value;
        channel.Number("deviceId", "Device id", properties.DeviceId);
        // A device missing from the list is asked for, as the channels page does.
        std::string deviceName;
        auto known = names.find(properties.DeviceId);
        if (known != names.end()) {
            deviceName = known->second;
            channel.Text("device", "Device", deviceName);
        } else {
            _KVX_USB_DEVICE_PROPERTIES device = {};
            uint32_t deviceId = properties.DeviceId;
            DWORD status = driver.GetDeviceProperties(&deviceId, &device);
            if (status != 0) {
                channel.Failure("device", "Device", status);
            } else {
                deviceName = names[deviceId] = RecordText(device.DeviceName);
                channel.Text("device", "Device", deviceName);
            }
        }
        std::string name = RecordText(properties.ChannelName);
        channel.Text("hardwareName", "Hardware name", RecordText(properties.HardwareName));
        channel.Text("channelName", "Name", name);
        channel.Text("asioName", "ASIO name", AsioDisplayName(asioNameOption, deviceName, name));
    }
}

void ReportChannels(CKvxuUsbDriver& driver, const CDriverSnapshot& snapshot, CReportNode& report,
                    std::map<uint32_t, std::string>& names)
{
    const uint32_t option = snapshot.asioNameOption.value;
    if (!snapshot.asioNameOption.Ok())
        report.Failure("asioNameOption", "ASIO names with device name",
                       snapshot.asioNameOption.status);
    else
        report.Number("asioNameOption", "ASIO names with device name", option,
                      option != 0 ? "on" : "off");
    if (snapshot.channelListStatus != 0) {
        report.Failure("inputChannels", "Input channels", snapshot.channelListStatus);
        report.Failure("outputChannels", "Output channels", snapshot.channelListStatus);
        return;
    }
    ReportChannelList(driver, snapshot.inputs, snapshot.inputCountReported, "inputChannels",
                      "Input channels", "inputChannelCountReported", option, names, report);
    ReportChannelList(driver, snapshot.outputs, snapshot.outputCountReported, "outputChannels",
                      "Output channels", "outputChannelCountReported", option, names, report);
}

void ReportClocking(const CDriverSnapshot& snapshot, CReportNode& report)
{
    if (!snapshot.rates.Ok()) {
        report.Failure("sampleRate", "Sampling rate", snapshot.rates.status);
    } else {
        const _KVX_USB_SAMPLE_RATE_INFO& rates = snapshot.rates.value;
        CReportNode& node = report.Group("sampleRate", "Sampling rate");
        node.Number("currentHz", "Current", rates.CurrentRate, FormatRate(rates.CurrentRate), "Hz");
        CReportNode& list = node.List("ratesHz", "Rates");
        uint32_t count =
            BoundedCount(node, rates.RateCount, KVX_USB_MAX_RATES, "rateCountReported");
        for (uint32_t i = 0; i < count; ++i)
            list.Number("", "", rates.Rates[i], FormatRate(rates.Rates[i]), "Hz");
    }

    const uint32_t mode = snapshot.rateMode.value;
    if (!snapshot.rateMode.Ok())
        report.Failure("sampleRateMode", "Rate selection", snapshot.rateMode.status);
    else
        report.Number("sampleRateMode", "Rate selection", mode,
                      mode == 1   ? "auto"
                      : mode == 0 ? "manual"
                                  : "");

    const uint32_t master = snapshot.clockMaster.value.ClockMaster;
    if (!snapshot.clockMaster.Ok())
        report.Failure("clockMaster", "Clock master", snapshot.clockMaster.status);
    else
        report.Number("clockMaster", "Clock master", master,
                      master == 0   ? "PC"
                      : master == 1 ? "device"
                                    : "");
}

void ReportBufferDepth(const CDriverRead<_KVX_USB_BUFFER_DEPTH>& depth, const std::string& key,
                       const std::string& label, CReportNode& report)
{
    if (!depth.Ok()) {
        report.Failure(key, label, depth.status);
        return;
    }
    CReportNode& node = report.Group(key, label);
    node.Number("depthUs", "Depth", depth.value.Depth, Milliseconds(depth.value.Depth), "us");
    node.Number("granularitySamples", "Granularity", depth.value.Granularity, "", "samples");
}

void ReportBuffers(const CDriverSnapshot& snapshot, CReportNode& report)
{
    if (!snapshot.streamDepth.Ok()) {
        report.Failure("streamBufferDepth", "Stream buffer depth", snapshot.streamDepth.status);
    } else {
        const _KVX_USB_STREAM_BUFFER_DEPTH& stream = snapshot.streamDepth.value;
        CReportNode& node = report.Group("streamBufferDepth", "Stream buffer depth");
        node.Number("currentUs", "Current", stream.Current, Milliseconds(stream.Current), "us");
        node.Number("minimumUs", "Minimum", stream.Minimum, Milliseconds(stream.Minimum), "us");
        node.Number("maximumUs", "Maximum", stream.Maximum, Milliseconds(stream.Maximum), "us");
        node.Number("stepUs", "Step", stream.Step, Milliseconds(stream.Step), "us");
    }
    ReportBufferDepth(snapshot.asioDepth, "asioBufferDepth", "ASIO buffer depth", report);
    ReportBufferDepth(snapshot.wdmDepth, "wdmBufferDepth", "WDM buffer depth", report);

    if (!snapshot.statistics.Ok())
        report.Failure("dropOuts", "Drop-outs", snapshot.statistics.status);
    else
        report.Number("dropOuts", "Drop-outs", snapshot.statistics.value.DropOuts);
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

void RenderJsonValue(const CReportNode& node, const std::string& indent, std::string& out);

void RenderJsonMembers(const CReportNode& node, const std::string& indent, std::string& out)
{
    bool first = true;
    for (const CReportNode& child : node.children) {
        out += first ? "\n" : ",\n";
        first = false;
        out += indent + "  " + JsonString(child.key) + ": ";
        RenderJsonValue(child, indent + "  ", out);
        if (child.kind == CReportNode::NUMBER && !child.text.empty())
            out += ",\n" + indent + "  " + JsonString(child.key + "Text") + ": " +
                   JsonString(child.text);
    }
    out += first ? "}" : "\n" + indent + "}";
}

void RenderJsonValue(const CReportNode& node, const std::string& indent, std::string& out)
{
    switch (node.kind) {
    case CReportNode::TEXT:
        out += JsonString(node.text);
        return;
    case CReportNode::NUMBER:
        out += std::to_string(node.number);
        return;
    case CReportNode::FLAG:
        out += node.number ? "true" : "false";
        return;
    case CReportNode::FAILURE: {
        const char* name = StatusName(node.status);
        out += "{\"error\": " + JsonString(*name ? name : HexText(node.status)) +
               ", \"status\": " + JsonString(HexText(node.status)) + "}";
        return;
    }
    case CReportNode::LIST: {
        out += "[";
        bool first = true;
        for (const CReportNode& child : node.children) {
            out += first ? "\n" : ",\n";
            first = false;
            out += indent + "  ";
            RenderJsonValue(child, indent + "  ", out);
        }
        out += first ? "]" : "\n" + indent + "]";
        return;
    }
    case CReportNode::GROUP:
        out += "{";
        RenderJsonMembers(node, indent, out);
        return;
    }
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
    std::string out;
    RenderJsonValue(report, "", out);
    return out + "\n";
}
