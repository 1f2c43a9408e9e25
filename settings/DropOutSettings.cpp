#include "DropOutSettings.h"

#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"

namespace {

std::string Ms(uint32_t us)
{
    return FormatMilliseconds(us, "ms");
}

// "2.0 ms (96 samples)", the samples only at a known rate.
std::string AsioText(const CDropOutSettings& s)
{
    std::string text = Ms(s.asio.value.Depth);
    if (s.rate.Ok())
        text += " (" +
                std::to_string(UsToSamples(s.asio.value.Depth, s.rate.value.CurrentRate,
                                           s.asio.value.Granularity)) +
                " samples)";
    return text;
}

} // namespace

CDropOutSettings ReadDropOutSettings(CKvxuUsbDriver& driver)
{
    CDropOutSettings s;
    s.rate.status = driver.GetSampleRateInfo(&s.rate.value);
    s.stream.status = driver.GetStreamBufferDepth(&s.stream.value);
    s.asio.status = driver.GetAsioBufferDepth(&s.asio.value);
    s.wdm.status = driver.GetWdmBufferDepth(&s.wdm.value);
    return s;
}

std::string DropOutSettingsText(const CDropOutSettings& s)
{
    if (!s.asio.Ok())
        return s.rate.Ok() ? "at " + FormatRate(s.rate.value.CurrentRate) : "settings not read";
    std::string text = "ASIO buffer " + AsioText(s);
    if (s.rate.Ok())
        text += " at " + FormatRate(s.rate.value.CurrentRate);
    return text;
}

std::string DropOutDepthsText(const CDropOutSettings& s)
{
    const std::string unread = "?";
    return (s.rate.Ok() ? std::to_string(s.rate.value.CurrentRate) + " Hz" : unread) + ", stream " +
           (s.stream.Ok() ? Ms(s.stream.value.Current) : unread) + ", ASIO " +
           (s.asio.Ok() ? AsioText(s) : unread) + ", WDM " +
           (s.wdm.Ok() ? Ms(s.wdm.value.Depth) : unread);
}
