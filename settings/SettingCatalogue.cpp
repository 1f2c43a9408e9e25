#include "SettingCatalogue.h"

#include <algorithm>
#include <cstdio>

#include "DriverSnapshot.h"
#include "KvxUsbRecords.h"
#include "KvxUsbStatus.h"
#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"
#include "Profile.h"

namespace {

CSettingDomain Range(uint32_t minimum, uint32_t maximum = 0xFFFFFFFFu, uint32_t step = 0)
{
    CSettingDomain domain;
    domain.minimum = minimum;
    domain.maximum = maximum;
    domain.step = step;
    return domain;
}

CSettingDomain Words(std::vector<CSettingWord> words)
{
    CSettingDomain domain = Range(words.front().value, words.back().value);
    domain.words = std::move(words);
    return domain;
}

// A name the driver stores in a 40-byte field: what the panel's name dialogs take.
CSettingDomain Name()
{
    CSettingDomain domain = Range(0, KVX_PROFILE_MAX_NAME);
    domain.printableOnly = true;
    return domain;
}

// The ASIO and WDM depths move in whole milliseconds, as the buffer page's sliders do.
CSettingDomain BufferDepth()
{
    return Range(KVX_USB_BUFFER_DEPTH_MINIMUM_US, KVX_USB_BUFFER_DEPTH_MAXIMUM_US,
                 KVX_USB_BUFFER_DEPTH_STEP_US);
}

std::vector<CSettingDescriptor> MakeSettings()
{
    using F = CSettingForm;
    using I = CSettingId;
    return {
        {I::SampleRate, F::Number, "sampleRateHz", "rate", "sampling rate", "Hz", "HZ",
         "sampling rate, one the driver offers", Range(1)},
        {I::RateMode, F::Word, "rateMode", "mode", "rate selection mode", "", "manual|auto",
         "sampling-rate selection mode",
         Words({{KVX_USB_RATE_MODE_MANUAL, "manual"}, {KVX_USB_RATE_MODE_AUTOMATIC, "auto"}})},
        {I::ClockMaster, F::Word, "clockMaster", "master", "clock master", "", "pc|device",
         "clock master",
         Words({{KVX_USB_CLOCK_MASTER_PC, "pc"}, {KVX_USB_CLOCK_MASTER_DEVICE, "device"}})},
        {I::ClockSource, F::Number, "clockSource", "source", "clock source", "", "ID [NAME]",
         "clock source of the first device, by id (the name is for the reader)", Range(0)},
        {I::AsioNames, F::Flag, "asioNamesWithDevice", "asio-names",
         "display names with device name", "", "off|on", "ASIO display names carry the device name",
         Words({{0, "off"}, {1, "on"}})},
        {I::StreamDepth, F::Number, "streamBufferDepthUs", "stream-depth", "stream buffer depth",
         "us", "US", "isochronous stream buffer depth, microseconds, on the driver's steps",
         Range(1)},
        {I::AsioDepth, F::Number, "asioBufferDepthUs", "asio-depth", "ASIO buffer depth", "us",
         "US", "ASIO buffer depth, microseconds, 1000 to 80000 in steps of 1000", BufferDepth()},
        {I::WdmDepth, F::Number, "wdmBufferDepthUs", "wdm-depth", "WDM buffer depth", "us", "US",
         "WDM sound buffer depth, microseconds, 1000 to 80000 in steps of 1000", BufferDepth()},
        {I::DeviceName, F::Text, "name", "device-name", "name", "", "SERIAL NAME",
         "a device's name, at most 39 bytes", Name()},
        {I::Ranking, F::Number, "ranking", "ranking", "ranking", "", "SERIAL...",
         "the device ranking: serial numbers, first first", Range(0, KVX_USB_MAX_DEVICES - 1)},
        {I::InputName, F::Text, "name", "input-name", "input name", "", "SERIAL INDEX NAME",
         "the name of a device's input channel, at most 39 bytes", Name()},
        {I::OutputName, F::Text, "name", "output-name", "output name", "", "SERIAL INDEX NAME",
         "the name of a device's output channel, at most 39 bytes", Name()},
    };
}

// ---- the driver side of the driver-wide settings ----

template <class Record, CDriverRead<Record> CDriverSnapshot::*Read, uint32_t Record::*Field>
DWORD ReadField(const CDriverSnapshot& snapshot, uint32_t& value)
{
    value = (snapshot.*Read).value.*Field;
    return (snapshot.*Read).status;
}

template <CDriverRead<uint32_t> CDriverSnapshot::*Read>
DWORD ReadValue(const CDriverSnapshot& snapshot, uint32_t& value)
{
    value = (snapshot.*Read).value;
    return (snapshot.*Read).status;
}

// Any value of the display-name option but 0 is on.
DWORD ReadNameOption(const CDriverSnapshot& snapshot, uint32_t& value)
{
    value = snapshot.asioNameOption.value != 0 ? 1 : 0;
    return snapshot.asioNameOption.status;
}

template <class Record, CDriverRead<Record> CDriverSnapshot::*Read, uint32_t Record::*Field,
          DWORD (CKvxuUsbDriver::*Write)(const Record*)>
CSettingSend SendField(const CDriverSnapshot& snapshot, uint32_t wanted)
{
    Record record = (snapshot.*Read).value;
    record.*Field = wanted;
    return [record](CKvxuUsbDriver& driver) { return (driver.*Write)(&record); };
}

template <DWORD (CKvxuUsbDriver::*Write)(uint32_t)>
CSettingSend SendValue(const CDriverSnapshot&, uint32_t wanted)
{
    return [wanted](CKvxuUsbDriver& driver) { return (driver.*Write)(wanted); };
}

CSettingSend SendNameOption(const CDriverSnapshot&, uint32_t wanted)
{
    return [wanted](CKvxuUsbDriver& driver) { return driver.SetAsioNameOption(&wanted); };
}

// The rate goes after a mode going to manual and before one going to auto: it is sent in the
// mode the driver has then, and in automatic mode the driver picks the rate.
std::string RefusesRate(const CDriverSnapshot& snapshot, const CProfile& profile, uint32_t wanted)
{
    const _KVX_USB_SAMPLE_RATE_INFO& rates = snapshot.rates.value;
    const uint32_t* end = rates.Rates + BoundedRateCount(rates);
    if (std::find(rates.Rates, end, wanted) == end)
        return "not among the rates the driver offers";
    const bool goingToManual = profile.rateMode && *profile.rateMode == KVX_USB_RATE_MODE_MANUAL;
    if (!goingToManual && !snapshot.rateMode.Ok())
        return "the rate selection mode could not be read, and in automatic mode the driver "
               "picks the rate: " +
               StatusText(snapshot.rateMode.status);
    if (!goingToManual && snapshot.rateMode.value == KVX_USB_RATE_MODE_AUTOMATIC)
        return "the driver picks the rate in automatic mode; choose manual mode to set one";
    return "";
}

std::string RefusesStreamDepth(const CDriverSnapshot& snapshot, const CProfile&, uint32_t wanted)
{
    const _KVX_USB_STREAM_BUFFER_DEPTH& range = snapshot.streamDepth.value;
    if (range.Step != 0 && wanted >= range.Minimum && wanted <= range.Maximum &&
        wanted % range.Step == 0)
        return "";
    const CSettingDescriptor& setting = Describe(CSettingId::StreamDepth);
    return "not on the driver's range: " + std::to_string(range.Minimum) + " to " +
           ValueText(setting, range.Maximum) + " in steps of " + ValueText(setting, range.Step);
}

std::string Hex2(unsigned char byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

} // namespace

const std::vector<CSettingDescriptor>& AllSettings()
{
    static const std::vector<CSettingDescriptor> settings = MakeSettings();
    return settings;
}

const CSettingDescriptor& Describe(CSettingId id)
{
    const std::vector<CSettingDescriptor>& settings = AllSettings();
    return *std::find_if(settings.begin(), settings.end(),
                         [id](const CSettingDescriptor& s) { return s.id == id; });
}

const CSettingDescriptor* FindSettingCommand(const std::string& command)
{
    for (const CSettingDescriptor& setting : AllSettings())
        if (command == setting.command)
            return &setting;
    return nullptr;
}

std::string CheckValue(const CSettingDescriptor& setting, uint32_t value)
{
    const CSettingDomain& domain = setting.domain;
    if (!domain.words.empty())
        return WordOf(setting, value) ? "" : "must be " + WordsText(setting);
    const bool inRange = value >= domain.minimum && value <= domain.maximum;
    const bool onStep = domain.step == 0 || value % domain.step == 0;
    if (inRange && onStep)
        return "";
    std::string why = domain.maximum == 0xFFFFFFFFu
                          ? "must be at least " + std::to_string(domain.minimum)
                          : "must be from " + std::to_string(domain.minimum) + " to " +
                                std::to_string(domain.maximum);
    return domain.step ? why + ", a multiple of " + std::to_string(domain.step) : why;
}

std::string CheckText(const CSettingDescriptor& setting, const std::string& text)
{
    const CSettingDomain& domain = setting.domain;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == 0)
            return "contains a zero byte";
        if (domain.printableOnly && IsControlByte(c))
            return "contains a control byte (" + Hex2(byte) + ")";
    }
    if (text.size() > domain.maximum)
        return "longer than " + std::to_string(domain.maximum) + " bytes (" +
               std::to_string(text.size()) + ")";
    if (text.size() < domain.minimum)
        return "empty";
    return "";
}

const char* WordOf(const CSettingDescriptor& setting, uint32_t value)
{
    for (const CSettingWord& word : setting.domain.words)
        if (word.value == value)
            return word.word;
    return nullptr;
}

bool ValueOfWord(const CSettingDescriptor& setting, const std::string& text, uint32_t& value)
{
    for (const CSettingWord& word : setting.domain.words)
        if (text == word.word) {
            value = word.value;
            return true;
        }
    return false;
}

std::string WordsText(const CSettingDescriptor& setting)
{
    std::string text;
    const std::vector<CSettingWord>& words = setting.domain.words;
    for (size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + std::string(words[i].word);
    return text;
}

std::string ValueText(const CSettingDescriptor& setting, uint32_t value)
{
    if (setting.form == CSettingForm::Word || setting.form == CSettingForm::Flag) {
        const char* word = WordOf(setting, value);
        std::string neither = WordsText(setting);
        neither.replace(neither.rfind(" or "), 4, " nor ");
        return word ? word : std::to_string(value) + " (neither " + neither + ")";
    }
    return std::to_string(value) + (*setting.unit ? " " : "") + setting.unit;
}

const std::vector<CProfileNumber>& ProfileNumbers()
{
    using I = CSettingId;
    using S = CDriverSnapshot;
    using Rates = _KVX_USB_SAMPLE_RATE_INFO;
    using Master = _KVX_USB_CLOCK_MASTER;
    using Stream = _KVX_USB_STREAM_BUFFER_DEPTH;
    using Depth = _KVX_USB_BUFFER_DEPTH;
    using D = CKvxuUsbDriver;
    static const std::vector<CProfileNumber> numbers = {
        {I::SampleRate, &CProfile::sampleRateHz, ReadField<Rates, &S::rates, &Rates::CurrentRate>,
         RefusesRate, SendValue<&D::SetSampleRate>, false},
        {I::RateMode, &CProfile::rateMode, ReadValue<&S::rateMode>, nullptr,
         SendValue<&D::SetSampleRateMode>, false},
        {I::ClockMaster, &CProfile::clockMaster,
         ReadField<Master, &S::clockMaster, &Master::ClockMaster>, nullptr,
         SendField<Master, &S::clockMaster, &Master::ClockMaster, &D::SetClockMaster>, false},
        {I::AsioNames, &CProfile::asioNamesWithDevice, ReadNameOption, nullptr, SendNameOption,
         false},
        {I::StreamDepth, &CProfile::streamDepthUs,
         ReadField<Stream, &S::streamDepth, &Stream::Current>, RefusesStreamDepth,
         SendField<Stream, &S::streamDepth, &Stream::Current, &D::SetStreamBufferDepth>, true},
        {I::AsioDepth, &CProfile::asioDepthUs, ReadField<Depth, &S::asioDepth, &Depth::Depth>,
         nullptr, SendField<Depth, &S::asioDepth, &Depth::Depth, &D::SetAsioBufferDepth>, false},
        {I::WdmDepth, &CProfile::wdmDepthUs, ReadField<Depth, &S::wdmDepth, &Depth::Depth>, nullptr,
         SendField<Depth, &S::wdmDepth, &Depth::Depth, &D::SetWdmBufferDepth>, true},
    };
    return numbers;
}

const CProfileNumber* FindProfileNumber(CSettingId id)
{
    for (const CProfileNumber& number : ProfileNumbers())
        if (number.id == id)
            return &number;
    return nullptr;
}

const std::vector<CLoadStep>& LoadOrder()
{
    using I = CSettingId;
    static const std::vector<CLoadStep> order = {
        {I::DeviceName, nullptr},  {I::InputName, nullptr},   {I::OutputName, nullptr},
        {I::Ranking, nullptr},     {I::AsioNames, nullptr},   {I::ClockSource, nullptr},
        {I::RateMode, "manual"},   {I::SampleRate, nullptr},  {I::RateMode, "auto"},
        {I::ClockMaster, nullptr}, {I::StreamDepth, nullptr}, {I::AsioDepth, nullptr},
        {I::WdmDepth, nullptr},
    };
    return order;
}
