#include "SimScenario.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <nlohmann/json.hpp>

#include "KvxUsbText.h"
#include "SimJson.h"

using nlohmann::json;

namespace {

void Require(bool condition, const std::string& message)
{
    SimRequire(condition, message);
}

uint32_t Number(const json& object, const char* key, uint32_t fallback)
{
    return SimUnsigned(object, key, fallback, 0xFFFFFFFFu);
}

// The object under key, or an empty one when the key is absent.
json Section(const json& object, const char* key)
{
    json value = object.value(key, json::object());
    Require(value.is_object(), std::string(key) + " must be an object");
    return value;
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
    if (value.is_number()) {
        uint32_t count = SimUnsigned(value, key, KVX_USB_MAX_CHANNELS);
        for (uint32_t i = 1; i <= count; ++i)
            names.push_back(prefix + std::to_string(i));
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
        Require(sources[i].is_object(), "a clock source is an object");
        _KVX_USB_CLOCK_SOURCE& s = synch->Sources[i];
        s.SourceKind = Number(sources[i], "kind", 0);
        s.SourceId = Number(sources[i], "id", i);
        Require(ids.insert(s.SourceId).second, "clock source ids must differ on a device");
        SetName(s.Name, SimText(sources[i], "name", "Source " + std::to_string(i)),
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
    Require(device.is_object(), "a device is an object");
    SimDevice d;
    uint32_t id = Number(device, "id", index + 1);
    Require(id > 0 && id < 0x10000, "device ids run from 1 to 65535");
    FillPattern(&d.properties, sizeof d.properties, id);
    d.properties.DeviceId = id;
    d.properties.Ranking = Number(device, "ranking", index);
    SetName(d.properties.DeviceName, SimText(device, "name", "Device " + std::to_string(id)),
            "device name");
    // The serial is text up to its terminator; the pattern after it is the driver's.
    std::string serial = SimText(device, "serial", "SN" + std::to_string(100000 + id));
    Require(serial.size() < 64, "serial is longer than 63 bytes");
    std::memcpy(d.properties.SerialNumber, serial.c_str(), serial.size() + 1);

    FillPattern(&d.synch, sizeof d.synch, id + 0x4000);
    d.synch.DeviceId = id;
    MakeClockSources(device, &d.synch);
    d.inputs = MakeChannels(id, false, ChannelNames(device, "inputs", "Input "));
    d.outputs = MakeChannels(id, true, ChannelNames(device, "outputs", "Output "));
    d.plugged = SimFlag(device, "plugged", true);
    return d;
}

void MakeDriverInfo(const json& scenario, SimHardware* hw)
{
    FillPattern(&hw->driverInfo, sizeof hw->driverInfo, 1);
    json driver = Section(scenario, "driver");
    json iface = driver.value("interface", json::array({2, 1}));
    json version = driver.value("version", json::array({3, 4, 1207}));
    Require(iface.is_array() && iface.size() == 2, "driver.interface is [major, minor]");
    Require(version.is_array() && version.size() == 3, "driver.version is [major, minor, build]");
    // Any version the fields can carry: a major version other than 2 tests the panel's check.
    hw->driverInfo.InterfaceVersionMajor = uint8_t(SimUnsigned(iface[0], "driver.interface", 255));
    hw->driverInfo.InterfaceVersionMinor = uint8_t(SimUnsigned(iface[1], "driver.interface", 255));
    hw->driverInfo.DriverVersionMajor = uint8_t(SimUnsigned(version[0], "driver.version", 255));
    hw->driverInfo.DriverVersionMinor = uint8_t(SimUnsigned(version[1], "driver.version", 255));
    hw->driverInfo.DriverVersionBuild = SimUnsigned(version[2], "driver.version");
}

// A mode as its word, or as any number the field holds (modes the panel does not know
// test how it shows them).
uint32_t Setting(const json& object, const char* key, const char* fallback,
                 std::initializer_list<std::pair<const char*, uint32_t>> words)
{
    if (object.contains(key) && object[key].is_number())
        return SimUnsigned(object[key], key);
    std::string word = SimText(object, key, fallback);
    std::string names;
    for (const auto& w : words) {
        if (word == w.first)
            return w.second;
        names += (names.empty() ? "" : " or ") + std::string(w.first);
    }
    throw SimJsonError(std::string(key) + " is " + names + " or a number");
}

void MakeRates(const json& scenario, SimHardware* hw)
{
    FillPattern(&hw->rateInfo, sizeof hw->rateInfo, 2);
    json rates = scenario.value("rates", json::array({44100, 48000, 88200, 96000}));
    Require(rates.is_array() && !rates.empty() && rates.size() <= KVX_USB_MAX_RATES,
            "rates must list 1 to 8 rates");
    hw->rateInfo.RateCount = uint32_t(rates.size());
    for (uint32_t i = 0; i < hw->rateInfo.RateCount; ++i)
        hw->rateInfo.Rates[i] = SimUnsigned(rates[i], "rates");
    hw->rateInfo.CurrentRate = Number(scenario, "currentRate", hw->rateInfo.Rates[0]);
    bool known = false;
    for (uint32_t i = 0; i < hw->rateInfo.RateCount; ++i)
        known = known || hw->rateInfo.Rates[i] == hw->rateInfo.CurrentRate;
    Require(known, "currentRate must be one of rates");

    FillPattern(&hw->rateMode, sizeof hw->rateMode, 3);
    hw->rateMode.Mode = Setting(scenario, "rateMode", "auto", {{"manual", 0}, {"auto", 1}});
}

void MakeBufferDepths(const json& scenario, SimHardware* hw)
{
    json stream = Section(scenario, "streamBufferDepth");
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
        json value = Section(scenario, d.key);
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
    hw->asioNameOption = SimFlag(scenario, "asioNames", true) ? 1 : 0;
    FillPattern(&hw->clockMaster, sizeof hw->clockMaster, 4);
    hw->clockMaster.ClockMaster =
        Setting(scenario, "clockMaster", "device", {{"pc", 0}, {"device", 1}});
    FillPattern(&hw->statistics, sizeof hw->statistics, 5);
    hw->statistics.DropOuts = Number(scenario, "dropOuts", 0);
    hw->streaming = SimFlag(scenario, "streaming", false);

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
        Build(SimParseJson(text), &hw);
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

namespace {

// A shipped scenario's name has no folder, no drive and no ".json" ending.
bool IsScenarioName(const std::string& argument)
{
    const std::string json = ".json";
    bool endsInJson = argument.size() >= json.size() &&
                      _stricmp(argument.c_str() + argument.size() - json.size(), json.c_str()) == 0;
    return !argument.empty() && argument.find_first_of("\\/:") == std::string::npos && !endsInJson;
}

} // namespace

std::string ResolveScenarioPath(const std::string& argument)
{
    if (!IsScenarioName(argument) ||
        GetFileAttributesA(argument.c_str()) != INVALID_FILE_ATTRIBUTES)
        return argument;
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir(exe, length);
    dir = dir.substr(0, dir.find_last_of("\\/") + 1);
    return dir + "scenarios\\" + argument + ".json";
}
