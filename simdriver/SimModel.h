// The stand-in's virtual hardware and how it answers the catalogue's requests. Not locked:
// the driver around it holds its lock for every call.
#pragma once

#include <windows.h>

#include <cstdint>

#include "SimHardware.h"

// Change records the stand-in queues. Kinds 2 and 3 make the control panel reload.
enum : int32_t {
    SIM_KIND_DEVICES = 2,   // a device came (Data2 1) or went (Data2 0); Data1 its id
    SIM_KIND_SETTING = 3,   // a setting changed; Data1 which (below), Data2 device/channel id
    SIM_KIND_STREAMING = 4, // audio started (Data1 1) or stopped (Data1 0) streaming
};

enum SimSetting : uint32_t {
    SIM_SETTING_ASIO_NAMES = 1,
    SIM_SETTING_CLOCK_MASTER,
    SIM_SETTING_RATE_MODE,
    SIM_SETTING_RATE,
    SIM_SETTING_CLOCK_SOURCE,
    SIM_SETTING_DEVICE,
    SIM_SETTING_CHANNEL,
    SIM_SETTING_STREAM_DEPTH,
    SIM_SETTING_ASIO_DEPTH,
    SIM_SETTING_WDM_DEPTH,
};

// Statuses of the stand-in besides 0 and KVX_USB_E_STREAMING_ACTIVE.
enum : DWORD {
    SIM_E_UNKNOWN_CODE = ERROR_INVALID_FUNCTION, // not a code of the catalogue
    SIM_E_BAD_SIZE = ERROR_INVALID_PARAMETER,    // sizes do not match the code's
    SIM_E_BAD_VALUE = ERROR_INVALID_PARAMETER,   // a rate, source, depth or mode not offered
    SIM_E_BAD_FRAME = ERROR_BAD_LENGTH,          // a message shorter or longer than its header says
    SIM_E_NOT_FOUND = ERROR_NOT_FOUND,           // no such device or channel (or unplugged)
    SIM_E_DAMAGED = ERROR_INVALID_DATA,          // passed-through bytes came back changed
    SIM_E_QUEUE_EMPTY = ERROR_NO_MORE_ITEMS,     // GetNotification with nothing queued
    SIM_E_BAD_EVENT = ERROR_INVALID_HANDLE,      // the event handle cannot be taken over
};

struct SimChange {
    int32_t kind = 0; // 0: nothing to report
    uint32_t data1 = 0;
    uint32_t data2 = 0;
};

class CSimModel {
public:
    explicit CSimModel(SimHardware hardware);

    // A catalogue request whose sizes match the catalogue; out holds the whole record.
    // Writes take effect only on success; change tells what to report.
    DWORD Answer(DWORD code, const void* in, void* out, DWORD* returned, SimChange* change);

    // Control of the virtual hardware from outside the protocol.
    DWORD Plug(uint32_t deviceId, bool plugged, SimChange* change);
    void SetStreaming(bool on, SimChange* change);
    bool AnyPlugged() const;

    // The ASIO drop-out count from now on, counting on from there while audio drops out.
    void SetDropOuts(uint32_t count);
    // A burst of count drop-outs now (the count stops at its largest value).
    void AddDropOuts(uint32_t count);
    // Drop-outs at a steady rate from now on, whether audio streams or not; 0 ends it.
    void SetDropOutRate(uint32_t perMinute);
    // Turns the streaming time so far into drop-outs: before anything they depend on
    // changes, and before the count is shown.
    void AccountDropOuts();

    const SimHardware& Hardware() const { return m_hw; }
    SimHardware& Hardware() { return m_hw; }
    uint32_t StreamStarts() const { return m_streamStarts; }
    uint32_t StreamStops() const { return m_streamStops; }
    // The plugged devices in the order ASIO hosts see them.
    std::vector<const SimDevice*> PluggedByRanking() const;
    SimDevice* FindDevice(uint32_t id, bool pluggedOnly = true);

private:
    _KVX_USB_CHANNEL_PROPERTIES* FindChannel(uint32_t id);

    DWORD GetDeviceIdList(_KVX_USB_DEVICE_ID_LIST* list) const;
    DWORD GetChannelIdLists(_KVX_USB_CHANNEL_ID_LISTS* lists) const;
    DWORD SetSampleRate(const _KVX_USB_SAMPLE_RATE_SELECT& select, SimChange* change);
    DWORD SetSynchMode(const _KVX_USB_SYNCH_MODE_SELECT& select, SimChange* change);
    DWORD SetDeviceProperties(const _KVX_USB_DEVICE_PROPERTIES& in, SimChange* change);
    DWORD SetChannelProperties(const _KVX_USB_CHANNEL_PROPERTIES& in, SimChange* change);
    DWORD SetStreamBufferDepth(const _KVX_USB_STREAM_BUFFER_DEPTH& in, SimChange* change);
    DWORD SetBufferDepth(_KVX_USB_BUFFER_DEPTH* depth, const _KVX_USB_BUFFER_DEPTH& in,
                         SimSetting setting, SimChange* change);

    SimHardware m_hw;
    uint32_t m_streamStarts = 0;
    uint32_t m_streamStops = 0;
    DWORD m_dropOutTick = 0;    // start of the streaming time not yet turned into drop-outs
    uint32_t m_dropOutRate = 0; // per minute, besides those of streaming
    DWORD m_rateTick = 0;       // start of the time at that rate not yet turned into drop-outs
    uint64_t m_rateCarry = 0;   // drop-out-milliseconds short of a whole drop-out
};

// Below this ASIO buffer depth (microseconds) streaming audio drops out once a second.
constexpr uint32_t SIM_DROPOUT_DEPTH_US = 4000;
