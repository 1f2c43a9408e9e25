#include "DropOutLines.h"

#include <windows.h>

#include <cstdio>

#include <nlohmann/json.hpp>

#include "DropOutSettings.h"
#include "KvxuUsbDriver.h"

namespace {

using json = nlohmann::ordered_json;

template <class Record, class Field>
void AddRead(json& line, const char* key, const CDriverRead<Record>& read, Field field)
{
    line[key] = read.Ok() ? json(field(read.value)) : json(nullptr);
}

std::string RiseLine(bool asJson, uint32_t rise, uint32_t count, const CDropOutSettings& s)
{
    if (!asJson)
        return "dropouts " + std::to_string(rise) + " at " + LocalClockText(false) +
               " (driver count " + std::to_string(count) + "): " + DropOutDepthsText(s);
    json line;
    line["time"] = LocalClockText(true);
    line["dropOuts"] = rise;
    line["driverCount"] = count;
    AddRead(line, "sampleRateHz", s.rate, [](auto& r) { return r.CurrentRate; });
    AddRead(line, "streamBufferDepthUs", s.stream, [](auto& r) { return r.Current; });
    AddRead(line, "asioBufferDepthUs", s.asio, [](auto& r) { return r.Depth; });
    AddRead(line, "asioGranularitySamples", s.asio, [](auto& r) { return r.Granularity; });
    AddRead(line, "wdmBufferDepthUs", s.wdm, [](auto& r) { return r.Depth; });
    return line.dump();
}

std::string RestartLine(bool asJson, uint32_t before, uint32_t count)
{
    if (!asJson)
        return "dropouts counter went down from " + std::to_string(before) + " to " +
               std::to_string(count) + " at " + LocalClockText(false) +
               " (driver restarted or device unplugged): counting anew";
    json line;
    line["time"] = LocalClockText(true);
    line["dropOutCounterRestarted"] = true;
    line["before"] = before;
    line["driverCount"] = count;
    return line.dump();
}

} // namespace

std::string LocalClockText(bool withDate)
{
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char text[32];
    if (withDate)
        std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", unsigned(t.wYear),
                      unsigned(t.wMonth), unsigned(t.wDay), unsigned(t.wHour), unsigned(t.wMinute),
                      unsigned(t.wSecond));
    else
        std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned(t.wHour), unsigned(t.wMinute),
                      unsigned(t.wSecond));
    return text;
}

std::string CDropOutLines::Poll(CKvxuUsbDriver& driver)
{
    _KVX_USB_ASIO_STATISTICS statistics = {};
    if (driver.GetAsioStatistics(&statistics) != 0)
        return std::string();
    const uint32_t count = statistics.DropOuts, before = m_nLast;
    const bool first = !m_bCounting;
    m_bCounting = true;
    m_nLast = count;
    if (first || count == before)
        return std::string();
    if (count < before)
        return RestartLine(m_bJson, before, count);
    return RiseLine(m_bJson, count - before, count, ReadDropOutSettings(driver));
}
