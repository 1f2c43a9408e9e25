#include "SimModel.h"

#include <algorithm>
#include <cstring>

#include "KvxUsbCatalogue.h"
#include "KvxuUsbDriver.h"

namespace {

template <typename T> T Read(const void* in)
{
    T value;
    std::memcpy(&value, in, sizeof value);
    return value;
}

template <typename T> DWORD Write(void* out, const T& value, DWORD* returned)
{
    std::memcpy(out, &value, sizeof value);
    *returned = sizeof value;
    return 0;
}

// Bytes [from, to) of two records are equal: the client passed them through untouched.
template <typename T> bool SameBytes(const T& a, const T& b, size_t from, size_t to)
{
    return std::memcmp(reinterpret_cast<const char*>(&a) + from,
                       reinterpret_cast<const char*>(&b) + from, to - from) == 0;
}

SimChange Setting(SimSetting which, uint32_t id = 0)
{
    return {SIM_KIND_SETTING, which, id};
}

} // namespace

CSimModel::CSimModel(SimHardware hardware) : m_hw(std::move(hardware))
{
    m_dropOutTick = m_rateTick = GetTickCount();
}

SimDevice* CSimModel::FindDevice(uint32_t id, bool pluggedOnly)
{
    for (SimDevice& d : m_hw.devices)
        if (d.properties.DeviceId == id && (d.plugged || !pluggedOnly))
            return &d;
    return nullptr;
}

_KVX_USB_CHANNEL_PROPERTIES* CSimModel::FindChannel(uint32_t id)
{
    SimDevice* device = FindDevice(id >> 16);
    if (!device)
        return nullptr;
    for (auto* list : {&device->inputs, &device->outputs})
        for (_KVX_USB_CHANNEL_PROPERTIES& c : *list)
            if (c.ChannelId == id)
                return &c;
    return nullptr;
}

bool CSimModel::AnyPlugged() const
{
    return std::any_of(m_hw.devices.begin(), m_hw.devices.end(),
                       [](const SimDevice& d) { return d.plugged; });
}

// The order ASIO hosts see: devices by ranking, ties in the scenario's order.
std::vector<const SimDevice*> CSimModel::PluggedByRanking() const
{
    std::vector<const SimDevice*> devices;
    for (const SimDevice& d : m_hw.devices)
        if (d.plugged)
            devices.push_back(&d);
    std::stable_sort(devices.begin(), devices.end(), [](const SimDevice* a, const SimDevice* b) {
        return a->properties.Ranking < b->properties.Ranking;
    });
    return devices;
}

DWORD CSimModel::GetDeviceIdList(_KVX_USB_DEVICE_ID_LIST* list) const
{
    std::memset(list, 0, sizeof *list);
    for (const SimDevice* d : PluggedByRanking())
        list->DeviceIds[list->Count++] = d->properties.DeviceId;
    return 0;
}

DWORD CSimModel::GetChannelIdLists(_KVX_USB_CHANNEL_ID_LISTS* lists) const
{
    std::memset(lists, 0, sizeof *lists);
    for (const SimDevice* d : PluggedByRanking()) {
        for (const _KVX_USB_CHANNEL_PROPERTIES& c : d->inputs)
            lists->Input.ChannelIds[lists->Input.Count++] = c.ChannelId;
        for (const _KVX_USB_CHANNEL_PROPERTIES& c : d->outputs)
            lists->Output.ChannelIds[lists->Output.Count++] = c.ChannelId;
    }
    return 0;
}

DWORD CSimModel::SetSampleRate(const _KVX_USB_SAMPLE_RATE_SELECT& select, SimChange* change)
{
    if (m_hw.streaming)
        return KVX_USB_E_STREAMING_ACTIVE;
    const _KVX_USB_SAMPLE_RATE_INFO& info = m_hw.rateInfo;
    if (std::find(info.Rates, info.Rates + info.RateCount, select.SampleRate) ==
        info.Rates + info.RateCount)
        return SIM_E_BAD_VALUE;
    m_hw.rateInfo.CurrentRate = select.SampleRate;
    *change = Setting(SIM_SETTING_RATE);
    return 0;
}

DWORD CSimModel::SetSynchMode(const _KVX_USB_SYNCH_MODE_SELECT& select, SimChange* change)
{
    if (m_hw.streaming)
        return KVX_USB_E_STREAMING_ACTIVE;
    SimDevice* device = FindDevice(select.DeviceId);
    if (!device)
        return SIM_E_NOT_FOUND;
    _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch = device->synch;
    for (uint32_t i = 0; i < synch.SourceCount; ++i) {
        const _KVX_USB_CLOCK_SOURCE& source = synch.Sources[i];
        if (source.SourceId == select.SourceId && source.SourceKind == select.SourceKind) {
            synch.Current = source;
            *change = Setting(SIM_SETTING_CLOCK_SOURCE, select.DeviceId);
            return 0;
        }
    }
    return SIM_E_BAD_VALUE;
}

DWORD CSimModel::SetDeviceProperties(const _KVX_USB_DEVICE_PROPERTIES& in, SimChange* change)
{
    SimDevice* device = FindDevice(in.DeviceId);
    if (!device)
        return SIM_E_NOT_FOUND;
    _KVX_USB_DEVICE_PROPERTIES& p = device->properties;
    if (!SameBytes(in, p, offsetof(_KVX_USB_DEVICE_PROPERTIES, Opaque),
                   offsetof(_KVX_USB_DEVICE_PROPERTIES, DeviceName)) ||
        !SameBytes(in, p, offsetof(_KVX_USB_DEVICE_PROPERTIES, SerialNumber), sizeof in))
        return SIM_E_DAMAGED;
    p.Ranking = in.Ranking;
    std::memcpy(p.DeviceName, in.DeviceName, sizeof p.DeviceName); // as sent, every byte
    *change = Setting(SIM_SETTING_DEVICE, in.DeviceId);
    return 0;
}

DWORD CSimModel::SetChannelProperties(const _KVX_USB_CHANNEL_PROPERTIES& in, SimChange* change)
{
    _KVX_USB_CHANNEL_PROPERTIES* channel = FindChannel(in.ChannelId);
    if (!channel)
        return SIM_E_NOT_FOUND;
    if (!SameBytes(in, *channel, offsetof(_KVX_USB_CHANNEL_PROPERTIES, DeviceId),
                   offsetof(_KVX_USB_CHANNEL_PROPERTIES, ChannelName)))
        return SIM_E_DAMAGED;
    std::memcpy(channel->ChannelName, in.ChannelName, sizeof channel->ChannelName);
    *change = Setting(SIM_SETTING_CHANNEL, in.ChannelId);
    return 0;
}

DWORD CSimModel::SetStreamBufferDepth(const _KVX_USB_STREAM_BUFFER_DEPTH& in, SimChange* change)
{
    _KVX_USB_STREAM_BUFFER_DEPTH& d = m_hw.streamDepth;
    // The range goes back as read; the depth must lie on a step inside it.
    if (!SameBytes(in, d, 0, offsetof(_KVX_USB_STREAM_BUFFER_DEPTH, Current)))
        return SIM_E_DAMAGED;
    if (in.Current < d.Minimum || in.Current > d.Maximum || in.Current % d.Step != 0)
        return SIM_E_BAD_VALUE;
    d.Current = in.Current;
    *change = Setting(SIM_SETTING_STREAM_DEPTH);
    return 0;
}

DWORD CSimModel::SetBufferDepth(_KVX_USB_BUFFER_DEPTH* depth, const _KVX_USB_BUFFER_DEPTH& in,
                                SimSetting setting, SimChange* change)
{
    if (!SameBytes(in, *depth, offsetof(_KVX_USB_BUFFER_DEPTH, Reserved1), sizeof in))
        return SIM_E_DAMAGED;
    if (in.Depth == 0 || in.Depth > 1000000)
        return SIM_E_BAD_VALUE;
    AccountDropOuts();
    depth->Depth = in.Depth;
    *change = Setting(setting);
    return 0;
}

void CSimModel::SetDropOuts(uint32_t count)
{
    AccountDropOuts();
    m_hw.statistics.DropOuts = count;
}

// A driver's counter stops at its largest value rather than wrap to a small one.
static void CountDropOuts(uint32_t& dropOuts, uint64_t added)
{
    dropOuts = added > UINT32_MAX - dropOuts ? UINT32_MAX : uint32_t(dropOuts + added);
}

void CSimModel::AddDropOuts(uint32_t count)
{
    AccountDropOuts();
    CountDropOuts(m_hw.statistics.DropOuts, count);
}

void CSimModel::SetDropOutRate(uint32_t perMinute)
{
    AccountDropOuts();
    m_dropOutRate = perMinute;
    m_rateCarry = 0;
}

void CSimModel::AccountDropOuts()
{
    const DWORD now = GetTickCount();
    const uint64_t rated = m_rateCarry + uint64_t(now - m_rateTick) * m_dropOutRate;
    m_rateTick = now;
    m_rateCarry = rated % 60000;
    uint64_t added = rated / 60000;
    if (m_hw.streaming && m_hw.asioDepth.Depth < SIM_DROPOUT_DEPTH_US) {
        const DWORD seconds = (now - m_dropOutTick) / 1000;
        added += seconds;
        m_dropOutTick += seconds * 1000;
    } else {
        m_dropOutTick = now;
    }
    CountDropOuts(m_hw.statistics.DropOuts, added);
}

DWORD CSimModel::Answer(DWORD code, const void* in, void* out, DWORD* returned, SimChange* change)
{
    *returned = 0;
    *change = SimChange();
    switch (code) {
    case IOCTL_KVX_USB_GET_DRIVER_INFO:
        return Write(out, m_hw.driverInfo, returned);
    case IOCTL_KVX_USB_GET_ASIO_NAME_OPTION:
        return Write(out, m_hw.asioNameOption, returned);
    case IOCTL_KVX_USB_SET_ASIO_NAME_OPTION:
        m_hw.asioNameOption = Read<uint32_t>(in);
        *change = Setting(SIM_SETTING_ASIO_NAMES);
        return 0;
    case IOCTL_KVX_USB_GET_DEVICE_ID_LIST: {
        _KVX_USB_DEVICE_ID_LIST list;
        GetDeviceIdList(&list);
        return Write(out, list, returned);
    }
    case IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS: {
        _KVX_USB_CHANNEL_ID_LISTS lists;
        GetChannelIdLists(&lists);
        return Write(out, lists, returned);
    }
    case IOCTL_KVX_USB_GET_CLOCK_MASTER:
        return Write(out, m_hw.clockMaster, returned);
    case IOCTL_KVX_USB_SET_CLOCK_MASTER: {
        auto master = Read<_KVX_USB_CLOCK_MASTER>(in);
        if (master.Reserved1 != m_hw.clockMaster.Reserved1 ||
            master.Reserved2 != m_hw.clockMaster.Reserved2)
            return SIM_E_DAMAGED;
        if (master.ClockMaster > 1)
            return SIM_E_BAD_VALUE;
        m_hw.clockMaster.ClockMaster = master.ClockMaster;
        *change = Setting(SIM_SETTING_CLOCK_MASTER);
        return 0;
    }
    case IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE:
        return Write(out, m_hw.rateMode, returned);
    case IOCTL_KVX_USB_SET_SAMPLE_RATE_MODE: {
        auto mode = Read<_KVX_USB_SAMPLE_RATE_MODE>(in);
        if (mode.Mode > 1)
            return SIM_E_BAD_VALUE;
        m_hw.rateMode.Mode = mode.Mode;
        *change = Setting(SIM_SETTING_RATE_MODE);
        return 0;
    }
    case IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO:
        return Write(out, m_hw.rateInfo, returned);
    case IOCTL_KVX_USB_SET_SAMPLE_RATE:
        return SetSampleRate(Read<_KVX_USB_SAMPLE_RATE_SELECT>(in), change);
    case IOCTL_KVX_USB_GET_SYNCH_MODE_INFO: {
        SimDevice* device = FindDevice(Read<uint32_t>(in));
        return device ? Write(out, device->synch, returned) : SIM_E_NOT_FOUND;
    }
    case IOCTL_KVX_USB_SET_SYNCH_MODE:
        return SetSynchMode(Read<_KVX_USB_SYNCH_MODE_SELECT>(in), change);
    case IOCTL_KVX_USB_GET_DEVICE_PROPERTIES: {
        SimDevice* device = FindDevice(Read<uint32_t>(in));
        return device ? Write(out, device->properties, returned) : SIM_E_NOT_FOUND;
    }
    case IOCTL_KVX_USB_SET_DEVICE_PROPERTIES:
        return SetDeviceProperties(Read<_KVX_USB_DEVICE_PROPERTIES>(in), change);
    case IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES: {
        _KVX_USB_CHANNEL_PROPERTIES* channel = FindChannel(Read<uint32_t>(in));
        return channel ? Write(out, *channel, returned) : SIM_E_NOT_FOUND;
    }
    case IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES:
        return SetChannelProperties(Read<_KVX_USB_CHANNEL_PROPERTIES>(in), change);
    case IOCTL_KVX_USB_START_STREAMS:
    case IOCTL_KVX_USB_STOP_STREAMS:
        // A restart of the streams for new buffer depths; whether audio plays is the hosts'.
        ++(code == IOCTL_KVX_USB_START_STREAMS ? m_streamStarts : m_streamStops);
        return 0;
    case IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH:
        return Write(out, m_hw.streamDepth, returned);
    case IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH:
        return SetStreamBufferDepth(Read<_KVX_USB_STREAM_BUFFER_DEPTH>(in), change);
    case IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH:
        return Write(out, m_hw.asioDepth, returned);
    case IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH:
        return SetBufferDepth(&m_hw.asioDepth, Read<_KVX_USB_BUFFER_DEPTH>(in),
                              SIM_SETTING_ASIO_DEPTH, change);
    case IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH:
        return Write(out, m_hw.wdmDepth, returned);
    case IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH:
        return SetBufferDepth(&m_hw.wdmDepth, Read<_KVX_USB_BUFFER_DEPTH>(in),
                              SIM_SETTING_WDM_DEPTH, change);
    case IOCTL_KVX_USB_GET_ASIO_STATISTICS:
        AccountDropOuts();
        return Write(out, m_hw.statistics, returned);
    default:
        return SIM_E_UNKNOWN_CODE;
    }
}

DWORD CSimModel::Plug(uint32_t deviceId, bool plugged, SimChange* change)
{
    *change = SimChange();
    SimDevice* device = FindDevice(deviceId, false);
    if (!device)
        return SIM_E_NOT_FOUND;
    if (device->plugged != plugged) {
        device->plugged = plugged;
        *change = {SIM_KIND_DEVICES, deviceId, plugged ? 1u : 0u};
    }
    return 0;
}

void CSimModel::SetStreaming(bool on, SimChange* change)
{
    *change = SimChange();
    AccountDropOuts();
    if (m_hw.streaming == on)
        return;
    m_hw.streaming = on;
    m_dropOutTick = GetTickCount();
    *change = {SIM_KIND_STREAMING, on ? 1u : 0u, 0};
}
