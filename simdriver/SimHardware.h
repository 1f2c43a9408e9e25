// The virtual hardware of the stand-in driver, kept as the very records the driver hands
// out, so that what a client reads is byte for byte what the model holds.
#pragma once

#include <cstdint>
#include <vector>

#include "KvxUsbRecords.h"

struct SimDevice {
    _KVX_USB_DEVICE_PROPERTIES properties;
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch;
    std::vector<_KVX_USB_CHANNEL_PROPERTIES> inputs;
    std::vector<_KVX_USB_CHANNEL_PROPERTIES> outputs;
    bool plugged = true;
};

struct SimHardware {
    _KVX_USB_DRIVER_INFO driverInfo;
    uint32_t asioNameOption = 0;
    _KVX_USB_CLOCK_MASTER clockMaster;
    _KVX_USB_SAMPLE_RATE_MODE rateMode;
    _KVX_USB_SAMPLE_RATE_INFO rateInfo;
    _KVX_USB_STREAM_BUFFER_DEPTH streamDepth;
    _KVX_USB_BUFFER_DEPTH asioDepth;
    _KVX_USB_BUFFER_DEPTH wdmDepth;
    _KVX_USB_ASIO_STATISTICS statistics;
    bool streaming = false;
    std::vector<SimDevice> devices; // in the scenario's order, plugged or not
};

// Channel ids: the device id in the high half, bit 15 for outputs, the index below.
inline uint32_t SimChannelId(uint32_t deviceId, bool output, uint32_t index)
{
    return (deviceId << 16) | (output ? 0x8000u : 0u) | index;
}

// Fills bytes the client only passes through with a recognisable non-zero pattern that
// differs per record (seed), so that a client that damages or swaps them is caught.
inline void FillPattern(void* bytes, size_t size, uint32_t seed)
{
    uint8_t* p = static_cast<uint8_t*>(bytes);
    for (size_t i = 0; i < size; ++i)
        p[i] = uint8_t(0x80u | ((seed * 29u + i * 7u) & 0x7Fu));
}
