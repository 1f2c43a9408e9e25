#include "SimState.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "KvxUsbText.h"
#include "SimJson.h"

using nlohmann::json;

namespace {

// Names are kept byte for byte, the bytes after the terminator included.
template <size_t N> std::string Hex(const char (&field)[N])
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < N; ++i) {
        text += digits[uint8_t(field[i]) >> 4];
        text += digits[uint8_t(field[i]) & 15];
    }
    return text;
}

template <size_t N> void FromHex(const json& value, char (&field)[N])
{
    std::string text = value.is_string() ? value.get<std::string>() : std::string();
    SimRequire(text.size() == 2 * N &&
                   text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos,
               "bytes of a name must be " + std::to_string(2 * N) + " hex digits");
    for (size_t i = 0; i < N; ++i)
        field[i] = char(std::stoul(text.substr(2 * i, 2), nullptr, 16));
}

uint32_t Unsigned(const json& object, const char* key, uint32_t fallback)
{
    return SimUnsigned(object, key, fallback, 0xFFFFFFFFu);
}

json NameEntry(uint32_t id, const char (&name)[KVX_USB_NAME_SIZE])
{
    return {{"id", id}, {"text", RecordText(name)}, {"bytes", Hex(name)}};
}

void ApplyDepth(const json& state, const char* key, _KVX_USB_BUFFER_DEPTH* depth)
{
    depth->Depth = Unsigned(state, key, depth->Depth);
}

void ApplyDevice(const json& entry, SimDevice* device)
{
    device->properties.Ranking = Unsigned(entry, "ranking", device->properties.Ranking);
    if (entry.contains("bytes"))
        FromHex(entry["bytes"], device->properties.DeviceName);
    if (!entry.contains("clockSource"))
        return;
    uint32_t id = SimUnsigned(entry["clockSource"], "clockSource");
    _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = device->synch;
    for (uint32_t i = 0; i < synch.SourceCount; ++i)
        if (synch.Sources[i].SourceId == id) {
            synch.Current = synch.Sources[i];
            return;
        }
    throw std::runtime_error("device " + std::to_string(device->properties.DeviceId) +
                             " has no clock source " + std::to_string(id));
}

void ApplyChannel(const json& entry, SimHardware* hw)
{
    SimRequire(entry.is_object() && entry.contains("id"), "a channel entry needs an id");
    uint32_t id = SimUnsigned(entry["id"], "channels.id");
    for (SimDevice& d : hw->devices)
        for (auto* list : {&d.inputs, &d.outputs})
            for (_KVX_USB_CHANNEL_PROPERTIES& c : *list)
                if (c.ChannelId == id)
                    FromHex(entry.value("bytes", json()), c.ChannelName);
}

void Apply(const json& state, SimHardware* hw)
{
    SimRequire(state.is_object(), "a state file is a JSON object");
    if (state.contains("rate")) {
        uint32_t rate = SimUnsigned(state["rate"], "rate");
        const _KVX_USB_SAMPLE_RATE_INFO& info = hw->rateInfo;
        if (std::find(info.Rates, info.Rates + info.RateCount, rate) == info.Rates + info.RateCount)
            throw std::runtime_error("rate " + std::to_string(rate) + " is not offered");
        hw->rateInfo.CurrentRate = rate;
    }
    // Any value its field holds: odd modes test the panel.
    hw->rateMode.Mode = Unsigned(state, "rateMode", hw->rateMode.Mode);
    hw->clockMaster.ClockMaster = Unsigned(state, "clockMaster", hw->clockMaster.ClockMaster);
    hw->asioNameOption = Unsigned(state, "asioNames", hw->asioNameOption);
    if (state.contains("streamBufferDepth")) {
        uint32_t current = SimUnsigned(state["streamBufferDepth"], "streamBufferDepth");
        const _KVX_USB_STREAM_BUFFER_DEPTH& s = hw->streamDepth;
        if (current < s.Minimum || current > s.Maximum || current % s.Step != 0)
            throw std::runtime_error("stream buffer depth out of range");
        hw->streamDepth.Current = current;
    }
    ApplyDepth(state, "asioBufferDepth", &hw->asioDepth);
    ApplyDepth(state, "wdmBufferDepth", &hw->wdmDepth);
    for (const char* key : {"devices", "channels"})
        SimRequire(state.value(key, json::array()).is_array(),
                   std::string(key) + " must be a list");
    for (const json& entry : state.value("devices", json::array())) {
        SimRequire(entry.is_object() && entry.contains("id"), "a device entry needs an id");
        uint32_t id = SimUnsigned(entry["id"], "devices.id");
        for (SimDevice& d : hw->devices)
            if (d.properties.DeviceId == id)
                ApplyDevice(entry, &d);
    }
    for (const json& entry : state.value("channels", json::array()))
        ApplyChannel(entry, hw);
}

} // namespace

std::string StateText(const SimHardware& hw)
{
    json state = {{"rate", hw.rateInfo.CurrentRate},
                  {"rateMode", hw.rateMode.Mode},
                  {"clockMaster", hw.clockMaster.ClockMaster},
                  {"asioNames", hw.asioNameOption},
                  {"streamBufferDepth", hw.streamDepth.Current},
                  {"asioBufferDepth", hw.asioDepth.Depth},
                  {"wdmBufferDepth", hw.wdmDepth.Depth}};
    json devices = json::array(), channels = json::array();
    for (const SimDevice& d : hw.devices) {
        json entry = NameEntry(d.properties.DeviceId, d.properties.DeviceName);
        entry["ranking"] = d.properties.Ranking;
        entry["clockSource"] = d.synch.Current.SourceId;
        devices.push_back(entry);
        for (auto* list : {&d.inputs, &d.outputs})
            for (const _KVX_USB_CHANNEL_PROPERTIES& c : *list)
                channels.push_back(NameEntry(c.ChannelId, c.ChannelName));
    }
    state["devices"] = devices;
    state["channels"] = channels;
    return state.dump(1) + "\n";
}

bool ApplyStateText(const std::string& text, SimHardware* hardware, std::string* error)
{
    try {
        SimHardware hw = *hardware;
        Apply(SimParseJson(text), &hw);
        *hardware = std::move(hw);
        return true;
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error)
{
    std::string temp = path + ".tmp";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "cannot write " + temp;
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
              written == text.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (ok)
        ok = MoveFileExA(temp.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        DeleteFileA(temp.c_str());
        *error = "cannot replace " + path;
    }
    return ok;
}
