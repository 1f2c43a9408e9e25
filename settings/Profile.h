// A settings profile: every setting a user can change in the panel, as a file holds it.
// A setting that is absent is left as the driver has it; a profile read from the driver
// holds every setting that could be read. Texts are the driver's 8-bit bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Values the profile checks a name, rate or depth against before anything is sent.
enum : uint32_t {
    KVX_PROFILE_MAX_NAME = 39,        // bytes of text in a 40-byte name field
    KVX_PROFILE_MAX_SERIAL = 375,     // bytes of text in the serial number's field
    KVX_PROFILE_MIN_BUFFER_US = 1000, // the ASIO and WDM range the buffer page offers
    KVX_PROFILE_MAX_BUFFER_US = 80000,
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
    std::optional<bool> asioNamesWithDevice;
    std::vector<CProfileDevice> devices;
};
