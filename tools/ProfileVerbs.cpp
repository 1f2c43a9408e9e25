#include "ProfileVerbs.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

#include "ToolText.h"
#include "KvxVersion.h"
#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"
#include "ProfileApply.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "SettingCatalogue.h"
#include "StatusJson.h"

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

// One value of a line, as the command line gives it back: in double quotes when it is empty
// or holds a blank, a quote or a backslash, with the C runtime's escapes (a backslash before
// a quote, and the backslashes before one, doubled). Only bytes without control bytes come
// here: an escape would not be taken back as the same byte.
std::string Argument(const std::string& text)
{
    if (!text.empty() && text.find_first_of(" \t\"\\") == std::string::npos)
        return text;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    return quoted + std::string(2 * backslashes, '\\') + "\"";
}

bool HoldsControlByte(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), IsControlByte);
}

// "set" takes a line back as printed: a value that starts with "--" would be taken as an
// option, so such a line puts "--" before its values. A value with a control byte cannot be
// given on a command line at all; its line is left out and noted.
bool PrintLine(const char* command, const CValues& values, std::string& out,
               std::vector<std::string>& notes)
{
    if (std::any_of(values.begin(), values.end(), HoldsControlByte)) {
        notes.push_back(std::string(command) + " " +
                        ConsoleText(Join(values.begin(), values.end())) +
                        ": not printed, a value holds a control byte that set cannot take");
        return false;
    }
    const bool dashes = std::any_of(values.begin(), values.end(),
                                    [](const std::string& v) { return v.compare(0, 1, "-") == 0; });
    std::string line = std::string(command) + (dashes ? " --" : "");
    for (const std::string& value : values)
        line += " " + Argument(value);
    out += line + "\n";
    return true;
}

std::string NumberArgument(const CSettingDescriptor& setting, uint32_t value)
{
    const char* word = WordOf(setting, value);
    return word ? word : std::to_string(value);
}

// The lines of one setting, each the values "set NAME" takes back.
std::vector<CValues> SettingValues(const CSettingDescriptor& setting, const CProfile& p)
{
    std::vector<CValues> lines;
    auto channels = [&](std::vector<CProfileChannel> CProfileDevice::*list) {
        for (const CProfileDevice& device : p.devices)
            for (const CProfileChannel& channel : device.*list)
                lines.push_back({device.serial, std::to_string(channel.index), channel.name});
    };
    if (const CProfileNumber* number = FindProfileNumber(setting.id)) {
        if (const std::optional<uint32_t>& value = p.*number->member)
            lines.push_back({NumberArgument(setting, *value)});
        return lines;
    }
    switch (setting.id) {
    case CSettingId::ClockSource:
        if (p.clockSource)
            lines.push_back({std::to_string(p.clockSource->id), p.clockSource->name});
        break;
    case CSettingId::DeviceName:
        for (const CProfileDevice& device : p.devices)
            if (device.name)
                lines.push_back({device.serial, *device.name});
        break;
    case CSettingId::Ranking: {
        std::vector<const CProfileDevice*> ranked;
        for (const CProfileDevice& device : p.devices)
            if (device.ranking)
                ranked.push_back(&device);
        std::sort(ranked.begin(), ranked.end(),
                  [](auto* a, auto* b) { return *a->ranking < *b->ranking; });
        CValues serials;
        for (const CProfileDevice* device : ranked)
            serials.push_back(device->serial);
        if (!serials.empty())
            lines.push_back(serials);
        break;
    }
    case CSettingId::InputName:
        channels(&CProfileDevice::inputs);
        break;
    case CSettingId::OutputName:
        channels(&CProfileDevice::outputs);
        break;
    default:
        break;
    }
    return lines;
}

// The part of a profile that holds one setting: what "get NAME --json" prints.
CProfile OnlySetting(const CProfile& p, CSettingId id)
{
    CProfile only;
    only.information = p.information;
    if (const CProfileNumber* number = FindProfileNumber(id)) {
        only.*number->member = p.*number->member;
        return only;
    }
    if (id == CSettingId::ClockSource) {
        only.clockSource = p.clockSource;
        return only;
    }
    for (const CProfileDevice& device : p.devices) {
        CProfileDevice entry;
        entry.serial = device.serial;
        if (id == CSettingId::DeviceName)
            entry.name = device.name;
        if (id == CSettingId::Ranking)
            entry.ranking = device.ranking;
        if (id == CSettingId::InputName)
            entry.inputs = device.inputs;
        if (id == CSettingId::OutputName)
            entry.outputs = device.outputs;
        only.devices.push_back(entry);
    }
    return only;
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

// Reads "set NAME VALUES..." into a profile holding that one setting; false with why. The
// ranges, words and lengths are checked as a file's are, afterwards.
bool ParseSetting(const CSettingDescriptor& setting, const CValues& v, CProfile& p,
                  std::string& error)
{
    uint32_t number = 0;
    if (const CProfileNumber* member = FindProfileNumber(setting.id)) {
        const bool words = !setting.domain.words.empty();
        const bool ok = v.size() == 1 &&
                        (words ? ValueOfWord(setting, v[0], number) : ParseWhole(v[0], number));
        error = words ? "takes " + WordsText(setting) : "takes one whole number";
        if (ok)
            p.*member->member = number;
        return ok;
    }
    switch (setting.id) {
    case CSettingId::ClockSource:
        error = "takes a clock source id";
        if (v.empty() || !ParseWhole(v[0], number))
            return false;
        p.clockSource = CProfileSource{number, Join(v.begin() + 1, v.end())};
        return true;
    case CSettingId::DeviceName:
        error = "takes a serial number and the name";
        if (v.size() < 2)
            return false;
        DeviceOf(p, v[0]).name = Join(v.begin() + 1, v.end());
        return true;
    case CSettingId::Ranking:
        error = "takes the serial numbers in ranking order";
        if (v.empty())
            return false;
        for (size_t i = 0; i < v.size(); ++i)
            DeviceOf(p, v[i]).ranking = uint32_t(i);
        error = "names a serial number twice";
        return p.devices.size() == v.size();
    case CSettingId::InputName:
    case CSettingId::OutputName:
        error = "takes a serial number, a channel index and the name";
        if (v.size() < 3 || !ParseWhole(v[1], number))
            return false;
        (DeviceOf(p, v[0]).*
         (setting.id == CSettingId::InputName ? &CProfileDevice::inputs : &CProfileDevice::outputs))
            .push_back({number, Join(v.begin() + 2, v.end()), ""});
        return true;
    default:
        return false;
    }
}

// ---- arguments ----

// Takes the options from arguments; false with a message on an option the verb lacks.
bool TakeOptions(CVerbArguments& arguments, std::map<std::string, bool>& options,
                 CVerbOutput& output)
{
    CVerbArguments rest;
    bool valuesOnly = false; // after "--"
    for (const std::string& argument : arguments) {
        auto option = options.find(argument);
        if (valuesOnly) {
            rest.push_back(argument);
        } else if (argument == "--") {
            valuesOnly = true;
        } else if (option != options.end()) {
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

// The driver as a verb uses it. One that stops answering ends the verb with exit 3: what was
// read is then not the driver's whole state, and nothing is saved or printed from it.
class CVerbDriver {
public:
    bool Open(CVerbOutput& output)
    {
        const DWORD status = m_driver.Open(KVX_USB_DEVICE_NAME);
        if (status == KVX_USB_E_NOT_RESPONDING)
            output.err += std::string("no driver: ") + StatusSentence(status) + ", " +
                          StatusText(status) + "\n";
        else if (status != 0)
            output.err +=
                "no driver: the control device cannot be opened, " + StatusText(status) + "\n";
        return status == 0;
    }

    // True, said in output, once a request has found the driver not answering.
    bool Stalled(CVerbOutput& output) const
    {
        const bool stalled = m_driver.WentUnanswered();
        if (stalled)
            output.err += std::string("stopped: ") + StatusSentence(KVX_USB_E_NOT_RESPONDING) +
                          ", " + StatusText(KVX_USB_E_NOT_RESPONDING) + "\n";
        return stalled;
    }

    CKvxuUsbDriver& Driver() { return m_driver; }

private:
    CKvxuUsbDriver m_driver;
};

// Each note says itself what was left out and why: not read, not saved, not printed.
void ReportNotes(const std::vector<std::string>& notes, CVerbOutput& output)
{
    for (const std::string& note : notes)
        output.err += ConsoleText(note) + "\n";
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
    const std::string reason = ResultReason(result);
    return line + (reason.empty() ? "" : " (" + reason + ")") + "\n";
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
        if (!result.why.empty())
            entry["why"] = BytesToUtf8(result.why);
        if (result.status != 0)
            AddStatusJson(entry, result.status);
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

} // namespace

int ProfileVerbSave(const CVerbArguments& given, CVerbOutput& output)
{
    CVerbArguments arguments = given;
    std::map<std::string, bool> options;
    if (!TakeOptions(arguments, options, output))
        return KVX_EXIT_INVALID;
    if (arguments.size() != 1)
        return Invalid(output, "save takes one file name");
    CVerbDriver driver;
    if (!driver.Open(output))
        return KVX_EXIT_NO_DRIVER;
    CProfileToSave save = ReadProfileToSave(driver.Driver());
    ReportNotes(save.notes, output);
    if (save.refusal != 0) {
        output.err +=
            "not saved, " + arguments[0] + " is left as it was: " + ConsoleText(save.reason) + "\n";
        return save.refusal == KVX_USB_E_NOT_RESPONDING ? KVX_EXIT_NO_DRIVER : KVX_EXIT_INCOMPLETE;
    }
    save.profile.information.tool = "kvxuctl " KVX_VERSION_TEXT;
    std::string error;
    if (!SaveProfileFile(arguments[0], save.profile, error))
        return Invalid(output, error);
    output.out += "saved the settings of " + std::to_string(save.profile.devices.size()) +
                  " device(s) to " + arguments[0] + "\n";
    return save.notes.empty() ? KVX_EXIT_OK : KVX_EXIT_INCOMPLETE;
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
    CVerbDriver driver;
    if (!driver.Open(output))
        return KVX_EXIT_NO_DRIVER;
    CLoadOptions load;
    load.matchByOrder = options["--match-by-order"];
    const int status = Report(LoadProfile(driver.Driver(), profile, load, options["--dry-run"]),
                              options["--json"], output);
    return driver.Stalled(output) ? KVX_EXIT_NO_DRIVER : status;
}

int ProfileVerbCheck(const CVerbArguments& arguments, CVerbOutput& output)
{
    if (arguments.size() != 1)
        return Invalid(output, "check takes one file name");
    CProfile profile;
    std::string error;
    if (!LoadProfileFile(arguments[0], profile, error))
        return Invalid(output, "refused: " + ConsoleText(error));
    output.out += arguments[0] + ": a settings profile of " +
                  std::to_string(profile.devices.size()) + " device(s) that load takes\n";
    return KVX_EXIT_OK;
}

int ProfileVerbSchema(const CVerbArguments& arguments, CVerbOutput& output)
{
    if (!arguments.empty())
        return Invalid(output, "schema takes no arguments");
    output.out += ProfileSchemaJson();
    return KVX_EXIT_OK;
}

int ProfileVerbGet(const CVerbArguments& given, CVerbOutput& output)
{
    CVerbArguments arguments = given;
    std::map<std::string, bool> options = {{"--json", false}};
    if (!TakeOptions(arguments, options, output))
        return KVX_EXIT_INVALID;
    if (arguments.size() > 1)
        return Invalid(output, "get takes at most one setting name");
    const CSettingDescriptor* only = arguments.empty() ? nullptr : FindSettingCommand(arguments[0]);
    if (!arguments.empty() && !only)
        return Invalid(output, "no setting named " + arguments[0] + " (see help)");
    CVerbDriver driver;
    if (!driver.Open(output))
        return KVX_EXIT_NO_DRIVER;
    std::vector<std::string> notes;
    CProfile profile = ReadProfileFromDriver(driver.Driver(), notes);
    profile.information.tool = "kvxuctl " KVX_VERSION_TEXT;
    if (driver.Stalled(output))
        return KVX_EXIT_NO_DRIVER;
    // The profile file's own form: a script reads typed values, and a file load takes it.
    if (options["--json"])
        output.out += WriteProfileJson(only ? OnlySetting(profile, only->id) : profile);
    else
        for (const CSettingDescriptor& setting : AllSettings())
            if (!only || only == &setting)
                for (const CValues& values : SettingValues(setting, profile))
                    PrintLine(setting.command, values, output.out, notes);
    ReportNotes(notes, output);
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
    const CSettingDescriptor* setting = FindSettingCommand(arguments[0]);
    if (!setting)
        return Invalid(output, "no setting named " + arguments[0] + " (see help)");
    CProfile profile;
    std::string error;
    if (!ParseSetting(*setting, CValues(arguments.begin() + 1, arguments.end()), profile, error))
        return Invalid(output,
                       std::string(setting->command) + " " + setting->syntax + ": " + error);
    // The checks a file gets; their key names are the file's.
    if (!CheckProfile(profile, error))
        return Invalid(output, std::string(setting->command) + ": " + ConsoleText(error));
    CVerbDriver driver;
    if (!driver.Open(output))
        return KVX_EXIT_NO_DRIVER;
    const int status = Report(LoadProfile(driver.Driver(), profile, CLoadOptions(), false),
                              options["--json"], output);
    return driver.Stalled(output) ? KVX_EXIT_NO_DRIVER : status;
}

std::string ProfileVerbsHelp()
{
    std::string help = std::string(ExitStatusHelp()) +
                       "Settings of get and set (values with blanks in double quotes; after\n"
                       "\"--\" every argument is a value, even one that starts with \"--\"):\n";
    for (const CSettingDescriptor& setting : AllSettings()) {
        std::string line = std::string("  ") + setting.command + " " + setting.syntax;
        line.resize(std::max<size_t>(line.size() + 1, 29), ' ');
        help += line + setting.meaning + "\n";
    }
    return help;
}
