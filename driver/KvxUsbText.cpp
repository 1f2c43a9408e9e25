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
