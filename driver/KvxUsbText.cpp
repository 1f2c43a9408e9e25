#include "KvxUsbText.h"

#include <cstdio>

std::string FormatRate(uint32_t rateHz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u kHz", rateHz / 1000, rateHz % 1000 / 100);
    return text;
}

std::string FormatMilliseconds(uint32_t timeUs, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof text, "%u.%01u %s", timeUs / 1000, timeUs % 1000 / 100, unit);
    return text;
}

uint32_t UsToSamples(uint32_t timeUs, uint32_t rateHz, uint32_t granularity)
{
    uint64_t samples = uint64_t(timeUs) * rateHz / 1000000u;
    if (granularity != 0)
        samples = (samples + granularity - 1) / granularity * granularity;
    return uint32_t(samples);
}

std::string AsioDisplayName(uint32_t asioNameOption, const std::string& deviceName,
                            const std::string& channelName)
{
    // ASIO hosts show no more of a channel's name than this.
    const size_t kMaxAsioName = 32;
    std::string name = asioNameOption != 0 ? deviceName + " - " + channelName : channelName;
    return name.substr(0, kMaxAsioName);
}
