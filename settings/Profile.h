// A settings profile: every setting a user can change in the panel, as a file holds it.
// A setting that is absent is left as the driver has it; a profile read from the driver
// holds every setting that could be read. Texts are the driver's 8-bit bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "KvxUsbRecords.h"

// Lengths of the texts a profile holds; the other domains are in SettingCatalogue.h.
enum : uint32_t {
    KVX_PROFILE_MAX_NAME = 39, // bytes of text in a 40-byte name field
    // The serial number is never written, only matched: all of its field may be text.
    KVX_PROFILE_MAX_SERIAL = sizeof(_KVX_USB_DEVICE_PROPERTIES::SerialNumber),
};

struct CProfileChannel {
    uint32_t index = 0; // its place among its device's channels of that direction
    std::string name;
    std::string hardwareName; // for the reader; never applied
};

struct CProfileDevice {
    std::string serial; // identifies the device
    std::optional<std::string> name;
    std::optional<uint32_t> ranking;
    std::vector<CProfileChannel> inputs;
    std::vector<CProfileChannel> outputs;
};

struct CProfileSource {
    uint32_t id = 0;
    std::string name; // for the reader; never applied
};

// Facts saved with the settings for whoever reads the file; never applied.
struct CProfileInformation {
    std::string saved; // UTC, "2026-12-07T18:20:00Z"
    std::string tool;
    std::string driverVersion;
    std::string interfaceVersion;
    std::optional<uint32_t> deviceCount;
};

struct CProfile {
    CProfileInformation information;
    std::optional<uint32_t> sampleRateHz;
    std::optional<uint32_t> rateMode;          // KVX_USB_RATE_MODE_...
    std::optional<uint32_t> clockMaster;       // KVX_USB_CLOCK_MASTER_...
    std::optional<CProfileSource> clockSource; // of the first device
    std::optional<uint32_t> streamDepthUs;
    std::optional<uint32_t> asioDepthUs;
    std::optional<uint32_t> wdmDepthUs;
    std::optional<uint32_t> asioNamesWithDevice; // 0 off, 1 on
    std::vector<CProfileDevice> devices;
};
