#include "SimScenario.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "KvxUsbText.h"

using nlohmann::json;

namespace {

struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Require(bool condition, const std::string& message)
{
    if (!condition)
        throw ScenarioError(message);
}

uint32_t Number(const json& object, const char* key, uint32_t fallback)
{
    if (!object.contains(key))
        return fallback;
    const json& value = object[key];
    Require(value.is_number_integer() && value.get<int64_t>() >= 0 &&
                value.get<int64_t>() <= 0xFFFFFFFFll,
            std::string(key) + " must be a number from 0 to 4294967295");
    return value.get<uint32_t>();
}

template <size_t N> void SetName(char (&field)[N], const std::string& text, const std::string& what)
{
    Require(text.size() < N,
            what + " \"" + text + "\" is longer than " + std::to_string(N - 1) + " bytes");
    SetRecordText(field, text.c_str());
}

std::vector<std::string> ChannelNames(const json& device, const char* key, const char* prefix)
{
    std::vector<std::string> names;
    if (!device.contains(key))
        return names;
    const json& value = device[key];
    if (value.is_number_unsigned()) {
        for (uint32_t i = 1; i <= value.get<uint32_t>() && i <= KVX_USB_MAX_CHANNELS; ++i)
            names.push_back(prefix + std::to_string(i));
        Require(value.get<uint32_t>() <= KVX_USB_MAX_CHANNELS, std::string("too many ") + key);
        return names;
    }
    Require(value.is_array(), std::string(key) + " must be a count or a list of names");
    for (const json& name : value) {
        Require(name.is_string(), std::string(key) + " must hold names");
        names.push_back(name.get<std::string>());
    }
    return names;
}

std::vector<_KVX_USB_CHANNEL_PROPERTIES> MakeChannels(uint32_t deviceId, bool output,
                                                      const std::vector<std::string>& names)
{
    std::vector<_KVX_USB_CHANNEL_PROPERTIES> channels;
    for (uint32_t i = 0; i < names.size(); ++i) {
        _KVX_USB_CHANNEL_PROPERTIES c;
        FillPattern(&c, sizeof c, deviceId * 1000 + i + (output ? 500 : 0));
        c.ChannelId = SimChannelId(deviceId, output, i);
        c.DeviceId = deviceId;
        SetName(c.HardwareName, names[i], "channel name");
        SetName(c.ChannelName, names[i], "channel name");
        channels.push_back(c);
    }
    return channels;
}

void MakeClockSources(const json& device, _KVX_USB_DEVICE_SYNCH_MODE_INFO* synch)
{
    json sources =
        device.value("clockSources", json::array({{{"kind", 0}, {"id", 0}, {"name", "Internal"}}}));
    Require(sources.is_array() && sources.size() <= KVX_USB_MAX_CLOCK_SOURCES,
            "clockSources must be a list of at most 16");
    synch->SourceCount = uint32_t(sources.size());
    std::set<uint32_t> ids;
    for (uint32_t i = 0; i < synch->SourceCount; ++i) {
        _KVX_USB_CLOCK_SOURCE& s = synch->Sources[i];
        s.SourceKind = Number(sources[i], "kind", 0);
        s.SourceId = Number(sources[i], "id", i);
        Require(ids.insert(s.SourceId).second, "clock source ids must differ on a device");
        SetName(s.Name, sources[i].value("name", std::string("Source ") + std::to_string(i)),
                "clock source name");
    }
    Require(synch->SourceCount > 0, "a device needs a clock source");
    uint32_t current = Number(device, "clockSource", synch->Sources[0].SourceId);
    Require(ids.count(current) == 1, "clockSource must be one of the device's sources");
    for (uint32_t i = 0; i < synch->SourceCount; ++i)
        if (synch->Sources[i].SourceId == current)
            synch->Current = synch->Sources[i];
}

SimDevice MakeDevice(const json& device, uint32_t index)
{
    SimDevice d;
    uint32_t id = Number(device, "id", index + 1);
    Require(id > 0 && id < 0x10000, "device ids run from 1 to 65535");
    FillPattern(&d.properties, sizeof d.properties, id);
    d.properties.DeviceId = id;
    d.properties.Ranking = Number(device, "ranking", index);
    SetName(d.properties.DeviceName, device.value("name", "Device " + std::to_string(id)),
            "device name");
    // The serial is text up to its terminator; the pattern after it is the driver's.
    std::string serial = device.value("serial", "SN" + std::to_string(100000 + id));
    Require(serial.size() < 64, "serial is longer than 63 bytes");
    std::memcpy(d.properties.SerialNumber, serial.c_str(), serial.size() + 1);

    FillPattern(&d.synch, sizeof d.synch, id + 0x4000);
    d.synch.DeviceId = id;
    MakeClockSources(device, &d.synch);
    d.inputs = MakeChannels(id, false, ChannelNames(device, "inputs", "Input "));
    d.outputs = MakeChannels(id, true, ChannelNames(device, "outputs", "Output "));
    d.plugged = device.value("plugged", true);
    return d;
}

void MakeDriverInfo(const json& scenario, SimHardware* hw)
{
    FillPattern(&hw->driverInfo, sizeof hw->driverInfo, 1);
    json driver = scenario.value("driver", json::object());
    json iface = driver.value("interface", json::array({2, 1}));
    json version = driver.value("version", json::array({3, 4, 1207}));
    Require(iface.is_array() && iface.size() == 2, "driver.interface is [major, minor]");
    Require(version.is_array() && version.size() == 3, "driver.version is [major, minor, build]");
    hw->driverInfo.InterfaceVersionMajor = iface[0].get<uint8_t>();
    hw->driverInfo.InterfaceVersionMinor = iface[1].get<uint8_t>();
    hw->driverInfo.DriverVersionMajor = version[0].get<uint8_t>();
    hw->driverInfo.DriverVersionMinor = version[1].get<uint8_t>();
    hw->driverInfo.DriverVersionBuild = version[2].get<uint32_t>();
}

void MakeRates(const json& scenario, SimHardware* hw)
{
    FillPattern(&hw->rateInfo, sizeof hw->rateInfo, 2);
    json rates = scenario.value("rates", json::array({44100, 48000, 88200, 96000}));
    Require(rates.is_array() && !rates.empty() && rates.size() <= KVX_USB_MAX_RATES,
            "rates must list 1 to 8 rates");
    hw->rateInfo.RateCount = uint32_t(rates.size());
    for (uint32_t i = 0; i < hw->rateInfo.RateCount; ++i)
        hw->rateInfo.Rates[i] = rates[i].get<uint32_t>();
    hw->rateInfo.CurrentRate = Number(scenario, "currentRate", hw->rateInfo.Rates[0]);
    bool known = false;
    for (uint32_t i = 0; i < hw->rateInfo.RateCount; ++i)
        known = known || hw->rateInfo.Rates[i] == hw->rateInfo.CurrentRate;
    Require(known, "currentRate must be one of rates");

    FillPattern(&hw->rateMode, sizeof hw->rateMode, 3);
    std::string mode = scenario.value("rateMode", std::string("auto"));
    Require(mode == "auto" || mode == "manual", "rateMode is auto or manual");
    hw->rateMode.Mode = mode == "auto" ? 1 : 0;
}

void MakeBufferDepths(const json& scenario, SimHardware* hw)
{
    json stream = scenario.value("streamBufferDepth", json::object());
    hw->streamDepth.Minimum = Number(stream, "minimum", 1000);
    hw->streamDepth.Maximum = Number(stream, "maximum", 8000);
    hw->streamDepth.Step = Number(stream, "step", 500);
    hw->streamDepth.Current = Number(stream, "current", 2000);
    const _KVX_USB_STREAM_BUFFER_DEPTH& s = hw->streamDepth;
    Require(s.Step > 0 && s.Minimum <= s.Current && s.Current <= s.Maximum &&
                s.Current % s.Step == 0,
            "streamBufferDepth needs step > 0 and minimum <= current <= maximum, current a "
            "multiple of step");

    struct {
        const char* key;
        _KVX_USB_BUFFER_DEPTH* depth;
        uint32_t defaultDepth;
    } depths[] = {{"asioBufferDepth", &hw->asioDepth, 5000},
                  {"wdmBufferDepth", &hw->wdmDepth, 10000}};
    uint32_t seed = 10;
    for (auto& d : depths) {
        json value = scenario.value(d.key, json::object());
        FillPattern(d.depth, sizeof *d.depth, seed++);
        d.depth->Depth = Number(value, "depth", d.defaultDepth);
        d.depth->Granularity = Number(value, "granularity", 0);
    }
}

void Build(const json& scenario, SimHardware* hw)
{
    Require(scenario.is_object(), "a scenario is a JSON object");
    MakeDriverInfo(scenario, hw);
    MakeRates(scenario, hw);
    MakeBufferDepths(scenario, hw);
    hw->asioNameOption = scenario.value("asioNames", true) ? 1 : 0;
    FillPattern(&hw->clockMaster, sizeof hw->clockMaster, 4);
    std::string master = scenario.value("clockMaster", std::string("device"));
    Require(master == "pc" || master == "device", "clockMaster is pc or device");
    hw->clockMaster.ClockMaster = master == "device" ? 1 : 0;
    FillPattern(&hw->statistics, sizeof hw->statistics, 5);
    hw->statistics.DropOuts = 0;
    hw->streaming = scenario.value("streaming", false);

    json devices = scenario.value("devices", json::array());
    Require(devices.is_array() && devices.size() <= KVX_USB_MAX_DEVICES,
            "devices must be a list of at most 64");
    std::set<uint32_t> ids;
    size_t inputs = 0, outputs = 0;
    for (uint32_t i = 0; i < devices.size(); ++i) {
        hw->devices.push_back(MakeDevice(devices[i], i));
        Require(ids.insert(hw->devices.back().properties.DeviceId).second,
                "device ids must differ");
        inputs += hw->devices.back().inputs.size();
        outputs += hw->devices.back().outputs.size();
    }
    Require(inputs <= KVX_USB_MAX_CHANNELS && outputs <= KVX_USB_MAX_CHANNELS,
            "at most 256 input and 256 output channels in all");
}

} // namespace

bool ParseScenario(const std::string& text, SimHardware* hardware, std::string* error)
{
    try {
        SimHardware hw;
        Build(json::parse(text), &hw);
        *hardware = std::move(hw);
        return true;
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
}

bool ReadTextFile(const std::string& path, std::string* text)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream content;
    content << file.rdbuf();
    *text = content.str();
    return true;
}

bool LoadScenarioFile(const std::string& path, SimHardware* hardware, std::string* error)
{
    std::string text;
    if (!ReadTextFile(path, &text)) {
        *error = "cannot read scenario file " + path;
        return false;
    }
    if (!ParseScenario(text, hardware, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

std::string ResolveScenarioPath(const std::string& argument)
{
    if (GetFileAttributesA(argument.c_str()) != INVALID_FILE_ATTRIBUTES)
        return argument;
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir(exe, length);
    dir = dir.substr(0, dir.find_last_of("\\/") + 1);
    return dir + "scenarios\\" + argument + ".json";
}
