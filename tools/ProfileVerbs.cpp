#include "ProfileVerbs.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

#include "ToolText.h"
#include "KvxVersion.h"
#include "KvxuUsbDriver.h"
#include "ProfileApply.h"
#include "ProfileFile.h"
#include "ProfileRead.h"

using Json = nlohmann::ordered_json;

namespace {

// The values of one line of "get", as "set NAME" takes them back.
typedef std::vector<std::string> CValues;

// ---- values ----

bool ParseWhole(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long number = std::stoull(text);
    value = uint32_t(number);
    return number <= 0xFFFFFFFFull;
}

std::string Join(CValues::const_iterator begin, CValues::const_iterator end)
{
    std::string text;
    for (auto it = begin; it != end; ++it)
        text += (it == begin ? "" : " ") + *it;
    return text;
}

// ---- the settings: how each is printed by get and read by set ----

typedef void (*CPrint)(const CProfile& profile, std::vector<CValues>& lines);
typedef bool (*CParse)(const CValues& values, CProfile& profile, std::string& error);

struct CSettingSyntax {
    const char* name;
    const char* values;
    const char* meaning;
    CPrint print;
    CParse parse;
};

template <class T> void PrintNumber(const std::optional<T>& value, std::vector<CValues>& lines)
{
    if (value)
        lines.push_back({std::to_string(*value)});
}

bool ParseNumber(const CValues& values, std::optional<uint32_t>& target, std::string& error)
{
    uint32_t value = 0;
    if (values.size() != 1 || !ParseWhole(values[0], value)) {
        error = "takes one whole number";
        return false;
    }
    target = value;
    return true;
}

bool ParseChoice(const CValues& values, const char* zero, const char* one,
                 std::optional<uint32_t>& target, std::string& error)
{
    if (values.size() != 1 || (values[0] != zero && values[0] != one)) {
        error = std::string("takes ") + zero + " or " + one;
        return false;
    }
    target = values[0] == one ? 1 : 0;
    return true;
}

CProfileDevice& DeviceOf(CProfile& profile, const std::string& serial)
{
    for (CProfileDevice& device : profile.devices)
        if (device.serial == serial)
            return device;
    profile.devices.push_back(CProfileDevice());
    profile.devices.back().serial = serial;
    return profile.devices.back();
}

void PrintChannels(const CProfile& profile, std::vector<CProfileChannel> CProfileDevice::*list,
                   std::vector<CValues>& lines)
{
    for (const CProfileDevice& device : profile.devices)
        for (const CProfileChannel& channel : device.*list)
            lines.push_back({device.serial, std::to_string(channel.index), channel.name});
}

bool ParseChannel(const CValues& values, std::vector<CProfileChannel> CProfileDevice::*list,
                  CProfile& profile, std::string& error)
{
    uint32_t index = 0;
    if (values.size() < 3 || !ParseWhole(values[1], index)) {
        error = "takes a serial number, a channel index and the name";
        return false;
    }
    (DeviceOf(profile, values[0]).*list)
        .push_back({index, Join(values.begin() + 2, values.end()), ""});
    return true;
}

const CSettingSyntax g_Settings[] = {
    {"rate", "HZ", "sampling rate, one the driver offers",
     [](const CProfile& p, std::vector<CValues>& l) { PrintNumber(p.sampleRateHz, l); },
     [](const CValues& v, CProfile& p, std::string& e) {
         return ParseNumber(v, p.sampleRateHz, e);
     }},
    {"mode", "auto|manual", "sampling-rate selection mode",
     [](const CProfile& p, std::vector<CValues>& l) {
         if (p.rateMode)
             l.push_back({*p.rateMode == KVX_USB_RATE_MODE_AUTOMATIC ? "auto" : "manual"});
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         return ParseChoice(v, "manual", "auto", p.rateMode, e);
     }},
    {"master", "pc|device", "clock master",
     [](const CProfile& p, std::vector<CValues>& l) {
         if (p.clockMaster)
             l.push_back({*p.clockMaster == KVX_USB_CLOCK_MASTER_DEVICE ? "device" : "pc"});
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         return ParseChoice(v, "pc", "device", p.clockMaster, e);
     }},
    {"source", "ID [NAME]", "clock source of the first device, by id (the name is for the reader)",
     [](const CProfile& p, std::vector<CValues>& l) {
         if (p.clockSource)
             l.push_back({std::to_string(p.clockSource->id), p.clockSource->name});
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         uint32_t id = 0;
         if (v.empty() || !ParseWhole(v[0], id)) {
             e = "takes a clock source id";
             return false;
         }
         p.clockSource = CProfileSource{id, Join(v.begin() + 1, v.end())};
         return true;
     }},
    {"asio-names", "on|off", "ASIO display names carry the device name",
     [](const CProfile& p, std::vector<CValues>& l) {
         if (p.asioNamesWithDevice)
             l.push_back({*p.asioNamesWithDevice ? "on" : "off"});
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         std::optional<uint32_t> on;
         if (!ParseChoice(v, "off", "on", on, e))
             return false;
         p.asioNamesWithDevice = *on != 0;
         return true;
     }},
    {"stream-depth", "US", "isochronous stream buffer depth, microseconds, on the driver's steps",
     [](const CProfile& p, std::vector<CValues>& l) { PrintNumber(p.streamDepthUs, l); },
     [](const CValues& v, CProfile& p, std::string& e) {
         return ParseNumber(v, p.streamDepthUs, e);
     }},
    {"asio-depth", "US", "ASIO buffer depth, microseconds, 1000 to 80000",
     [](const CProfile& p, std::vector<CValues>& l) { PrintNumber(p.asioDepthUs, l); },
     [](const CValues& v, CProfile& p, std::string& e) {
         return ParseNumber(v, p.asioDepthUs, e);
     }},
    {"wdm-depth", "US", "WDM sound buffer depth, microseconds, 1000 to 80000",
     [](const CProfile& p, std::vector<CValues>& l) { PrintNumber(p.wdmDepthUs, l); },
     [](const CValues& v, CProfile& p, std::string& e) { return ParseNumber(v, p.wdmDepthUs, e); }},
    {"device-name", "SERIAL NAME", "a device's name, at most 39 bytes",
     [](const CProfile& p, std::vector<CValues>& l) {
         for (const CProfileDevice& device : p.devices)
             if (device.name)
                 l.push_back({device.serial, *device.name});
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         if (v.size() < 2) {
             e = "takes a serial number and the name";
             return false;
         }
         DeviceOf(p, v[0]).name = Join(v.begin() + 1, v.end());
         return true;
     }},
    {"ranking", "SERIAL...", "the device ranking: serial numbers, first first",
     [](const CProfile& p, std::vector<CValues>& l) {
         std::vector<const CProfileDevice*> ranked;
         for (const CProfileDevice& device : p.devices)
             if (device.ranking)
                 ranked.push_back(&device);
         std::sort(ranked.begin(), ranked.end(),
                   [](const CProfileDevice* a, const CProfileDevice* b) {
                       return *a->ranking < *b->ranking;
                   });
         CValues serials;
         for (const CProfileDevice* device : ranked)
             serials.push_back(device->serial);
         if (!serials.empty())
             l.push_back(serials);
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         if (v.empty()) {
             e = "takes the serial numbers in ranking order";
             return false;
         }
         for (size_t i = 0; i < v.size(); ++i)
             DeviceOf(p, v[i]).ranking = uint32_t(i);
         if (p.devices.size() != v.size()) {
             e = "names a serial number twice";
             return false;
         }
         return true;
     }},
    {"input-name", "SERIAL INDEX NAME", "the name of a device's input channel, at most 39 bytes",
     [](const CProfile& p, std::vector<CValues>& l) {
         PrintChannels(p, &CProfileDevice::inputs, l);
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         return ParseChannel(v, &CProfileDevice::inputs, p, e);
     }},
    {"output-name", "SERIAL INDEX NAME", "the name of a device's output channel, at most 39 bytes",
     [](const CProfile& p, std::vector<CValues>& l) {
         PrintChannels(p, &CProfileDevice::outputs, l);
     },
     [](const CValues& v, CProfile& p, std::string& e) {
         return ParseChannel(v, &CProfileDevice::outputs, p, e);
     }},
};

const CSettingSyntax* FindSetting(const std::string& name)
{
    for (const CSettingSyntax& setting : g_Settings)
        if (name == setting.name)
            return &setting;
    return nullptr;
}

// ---- arguments ----

// Takes the options from arguments; false with a message on an option the verb lacks.
bool TakeOptions(CVerbArguments& arguments, std::map<std::string, bool>& options,
                 CVerbOutput& output)
{
    CVerbArguments rest;
    for (const std::string& argument : arguments) {
        auto option = options.find(argument);
        if (option != options.end()) {
            option->second = true;
        } else if (argument.compare(0, 2, "--") == 0) {
            output.err += "unknown option " + argument + " (see help)\n";
            return false;
        } else {
            rest.push_back(argument);
        }
    }
    arguments = rest;
    return true;
}

int Invalid(CVerbOutput& output, const std::string& message)
{
    output.err += message + "\n";
    return KVX_EXIT_INVALID;
}

bool OpenDriver(CKvxuUsbDriver& driver, CVerbOutput& output)
{
    const DWORD status = driver.Open(KVX_USB_DEVICE_NAME);
    if (status != 0)
        output.err +=
            "no driver: the control device cannot be opened, " + StatusText(status) + "\n";
    return status == 0;
}

void ReportNotes(const std::vector<std::string>& notes, CVerbOutput& output)
{
    for (const std::string& note : notes)
        output.err += "not read: " + ConsoleText(note) + "\n";
}

// ---- results ----

std::string ResultLine(const CSettingResult& result)
{
    std::string line = OutcomeName(result.outcome);
    line.resize(11, ' ');
    line += ConsoleText(result.setting) + ": ";
    if (result.outcome == CSettingOutcome::Unchanged || result.outcome == CSettingOutcome::Skipped)
        line += ConsoleText(result.wanted);
    else
        line += ConsoleText(result.current) + " -> " + ConsoleText(result.wanted);
    return line + (result.why.empty() ? "" : " (" + result.why + ")") + "\n";
}

std::string ResultsText(const std::vector<CSettingResult>& results)
{
    std::string text;
    for (const CSettingResult& result : results)
        text += ResultLine(result);
    return text + OutcomeSummary(results) + "\n";
}

std::string ResultsJson(const std::vector<CSettingResult>& results)
{
    Json list = Json::array();
    for (const CSettingResult& result : results) {
        Json entry = {{"setting", BytesToUtf8(result.setting)},
                      {"current", BytesToUtf8(result.current)},
                      {"new", BytesToUtf8(result.wanted)},
                      {"result", OutcomeName(result.outcome)}};
        if (result.outcome == CSettingOutcome::Refused) {
            const char* name = StatusName(result.status);
            entry["status"] = *name ? name : HexText(result.status);
        }
        if (!result.why.empty())
            entry["why"] = BytesToUtf8(result.why);
        list.push_back(entry);
    }
    Json root = {{"allAppliedOrUnchanged", AllApplied(results)}, {"results", list}};
    return root.dump(2, ' ', true) + "\n";
}

int Report(const CProfilePlan& plan, bool json, CVerbOutput& output)
{
    output.out += json ? ResultsJson(plan.results) : ResultsText(plan.results);
    return AllApplied(plan.results) ? KVX_EXIT_OK : KVX_EXIT_INCOMPLETE;
}

// ---- get ----

std::string LinesText(const CSettingSyntax& setting, const std::vector<CValues>& lines)
{
    std::string text;
    for (const CValues& values : lines)
        text += std::string(setting.name) + " " + ConsoleText(Join(values.begin(), values.end())) +
                "\n";
    return text;
}

Json LinesJson(const std::vector<CValues>& lines)
{
    Json list = Json::array();
    for (const CValues& values : lines) {
        Json line = Json::array();
        for (const std::string& value : values)
            line.push_back(BytesToUtf8(value));
        list.push_back(line);
    }
    return list;
}

} // namespace

int ProfileVerbSave(const CVerbArguments& given, CVerbOutput& output)
{
    CVerbArguments arguments = given;
    std::map<std::string, bool> options;
    if (!TakeOptions(arguments, options, output))
        return KVX_EXIT_INVALID;
    if (arguments.size() != 1)
        return Invalid(output, "save takes one file name");
    CKvxuUsbDriver driver;
    if (!OpenDriver(driver, output))
        return KVX_EXIT_INVALID;
    std::vector<std::string> notes;
    CProfile profile = ReadProfileFromDriver(driver, notes);
    profile.information.tool = "kvxuctl " KVX_VERSION_TEXT;
    std::string error;
    if (!SaveProfileFile(arguments[0], profile, error))
        return Invalid(output, error);
    ReportNotes(notes, output);
    output.out += "saved the settings of " + std::to_string(profile.devices.size()) +
                  " device(s) to " + arguments[0] + "\n";
    return notes.empty() ? KVX_EXIT_OK : KVX_EXIT_INCOMPLETE;
}

int ProfileVerbLoad(const CVerbArguments& given, CVerbOutput& output)
{
    CVerbArguments arguments = given;
    std::map<std::string, bool> options = {
        {"--dry-run", false}, {"--match-by-order", false}, {"--json", false}};
    if (!TakeOptions(arguments, options, output))
        return KVX_EXIT_INVALID;
    if (arguments.size() != 1)
        return Invalid(output, "load takes one file name");
    // The whole file is checked before the driver hears anything.
    CProfile profile;
    std::string error;
    if (!LoadProfileFile(arguments[0], profile, error))
        return Invalid(output, "refused, nothing was sent: " + ConsoleText(error));
    CKvxuUsbDriver driver;
    if (!OpenDriver(driver, output))
        return KVX_EXIT_INVALID;
    CLoadOptions load;
    load.matchByOrder = options["--match-by-order"];
    return Report(LoadProfile(driver, profile, load, options["--dry-run"]), options["--json"],
                  output);
}

int ProfileVerbGet(const CVerbArguments& given, CVerbOutput& output)
{
    CVerbArguments arguments = given;
    std::map<std::string, bool> options = {{"--json", false}};
    if (!TakeOptions(arguments, options, output))
        return KVX_EXIT_INVALID;
    if (arguments.size() > 1)
        return Invalid(output, "get takes at most one setting name");
    const CSettingSyntax* only = arguments.empty() ? nullptr : FindSetting(arguments[0]);
    if (!arguments.empty() && !only)
        return Invalid(output, "no setting named " + arguments[0] + " (see help)");
    CKvxuUsbDriver driver;
    if (!OpenDriver(driver, output))
        return KVX_EXIT_INVALID;
    std::vector<std::string> notes;
    const CProfile profile = ReadProfileFromDriver(driver, notes);
    ReportNotes(notes, output);
    Json json = Json::object();
    for (const CSettingSyntax& setting : g_Settings) {
        if (only && only != &setting)
            continue;
        std::vector<CValues> lines;
        setting.print(profile, lines);
        if (options["--json"])
            json[setting.name] = LinesJson(lines);
        else
            output.out += LinesText(setting, lines);
    }
    if (options["--json"])
        output.out += json.dump(2, ' ', true) + "\n";
    return notes.empty() ? KVX_EXIT_OK : KVX_EXIT_INCOMPLETE;
}

int ProfileVerbSet(const CVerbArguments& given, CVerbOutput& output)
{
    CVerbArguments arguments = given;
    std::map<std::string, bool> options = {{"--json", false}};
    if (!TakeOptions(arguments, options, output))
        return KVX_EXIT_INVALID;
    if (arguments.empty())
        return Invalid(output, "set takes a setting name and its value (see help)");
    const CSettingSyntax* setting = FindSetting(arguments[0]);
    if (!setting)
        return Invalid(output, "no setting named " + arguments[0] + " (see help)");
    CProfile profile;
    std::string error;
    if (!setting->parse(CValues(arguments.begin() + 1, arguments.end()), profile, error))
        return Invalid(output, std::string(setting->name) + " " + setting->values + ": " + error);
    // The checks a file gets; their key names are the file's.
    if (!CheckProfile(profile, error))
        return Invalid(output, std::string(setting->name) + ": " + ConsoleText(error));
    CKvxuUsbDriver driver;
    if (!OpenDriver(driver, output))
        return KVX_EXIT_INVALID;
    return Report(LoadProfile(driver, profile, CLoadOptions(), false), options["--json"], output);
}

std::string ProfileVerbsHelp()
{
    std::string help = "Exit status of save, load, get and set: 0 all applied or unchanged, 1\n"
                       "something refused, skipped or not read, 2 invalid file or arguments, or\n"
                       "no driver.\n"
                       "Settings of get and set:\n";
    for (const CSettingSyntax& setting : g_Settings) {
        std::string line = std::string("  ") + setting.name + " " + setting.values;
        line.resize(std::max<size_t>(line.size() + 1, 29), ' ');
        help += line + setting.meaning + "\n";
    }
    return help;
}
