#include "ProfileFile.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "KvxUsbRecords.h"
#include "SettingCatalogue.h"

using Json = nlohmann::ordered_json;

namespace {

// A check that failed: where, and why. Caught at this file's boundary; nothing else sees it.
struct CProfileError : std::runtime_error {
    CProfileError(const std::string& key, const std::string& why)
        : std::runtime_error(key + ": " + why)
    {
    }
};

void Require(bool condition, const std::string& key, const std::string& why)
{
    if (!condition)
        throw CProfileError(key, why);
}

std::string Member(const std::string& path, const char* key)
{
    return path.empty() ? std::string(key) : path + "." + key;
}

std::string Element(const std::string& path, size_t index)
{
    return path + "[" + std::to_string(index) + "]";
}

// ---- texts: the driver's bytes as Latin-1 code points, so every byte survives JSON ----

// The parser has already refused text that is not UTF-8.
std::string Utf8ToBytes(const std::string& utf8, const std::string& key)
{
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            bytes += char(b);
            continue;
        }
        Require((b & 0xE0) == 0xC0 && b <= 0xC3 && i + 1 < utf8.size(), key,
                "a character beyond \\u00ff (names are 8-bit bytes)");
        bytes += char(((b & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    }
    return bytes;
}

// ---- reading, type by type ----

const Json& Object(const Json& value, const std::string& key)
{
    Require(value.is_object(), key.empty() ? "file" : key, "must be an object");
    return value;
}

const Json& Array(const Json& value, const std::string& key, size_t maxSize)
{
    Require(value.is_array(), key, "must be a list");
    Require(value.size() <= maxSize, key, "more than " + std::to_string(maxSize) + " entries");
    return value;
}

// A whole number however it is written: as JSON Schema counts them, 48000.0 and 5e3 are
// integers too, and other tools write them so.
bool IsWhole(const Json& value)
{
    return value.is_number_integer() ||
           (value.is_number_float() && std::isfinite(value.get<double>()) &&
            std::trunc(value.get<double>()) == value.get<double>());
}

uint32_t Whole(const Json& value, const std::string& key, uint32_t min = 0,
               uint32_t max = 0xFFFFFFFFu)
{
    Require(IsWhole(value), key, "must be a whole number");
    const bool inRange =
        value.is_number_float() ? value.get<double>() >= min && value.get<double>() <= max
        : value.is_number_unsigned()
            ? value.get<uint64_t>() >= min && value.get<uint64_t>() <= max
            : value.get<int64_t>() >= int64_t(min) && value.get<int64_t>() <= int64_t(max);
    Require(inRange, key, "must be from " + std::to_string(min) + " to " + std::to_string(max));
    return value.is_number_float() ? uint32_t(value.get<double>())
                                   : uint32_t(value.get<uint64_t>());
}

std::string Text(const Json& value, const std::string& key)
{
    Require(value.is_string(), key, "must be a text");
    return Utf8ToBytes(value.get<std::string>(), key);
}

bool Flag(const Json& value, const std::string& key)
{
    Require(value.is_boolean(), key, "must be true or false");
    return value.get<bool>();
}

void RequireKnownKeys(const Json& object, const std::string& path,
                      const std::vector<const char*>& known)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const bool isKnown = std::any_of(known.begin(), known.end(),
                                         [&](const char* key) { return it.key() == key; });
        Require(isKnown, Member(path, it.key().c_str()), "not a key of this format");
    }
}

// Calls read(value, path) for object[key] when it is there.
template <class Read>
void Optional(const Json& object, const std::string& path, const char* key, Read read)
{
    auto it = object.find(key);
    if (it != object.end())
        read(*it, Member(path, key));
}

// A driver-wide setting as its form writes it: a number, a word or true/false.
uint32_t SettingValue(const CSettingDescriptor& setting, const Json& value, const std::string& key)
{
    uint32_t number = 0;
    switch (setting.form) {
    case CSettingForm::Flag:
        return Flag(value, key) ? 1 : 0;
    case CSettingForm::Word:
        Require(value.is_string() && ValueOfWord(setting, value.get<std::string>(), number), key,
                "must be " + WordsText(setting) + " (in quotes)");
        return number;
    default:
        number = Whole(value, key, setting.domain.minimum, setting.domain.maximum);
        const std::string why = CheckValue(setting, number);
        Require(why.empty(), key, why);
        return number;
    }
}

Json SettingJson(const CSettingDescriptor& setting, uint32_t value)
{
    if (setting.form == CSettingForm::Flag)
        return value != 0;
    if (const char* word = setting.form == CSettingForm::Word ? WordOf(setting, value) : nullptr)
        return word;
    return value;
}

std::vector<CProfileChannel> ReadChannels(const Json& value, const std::string& key)
{
    std::vector<CProfileChannel> channels;
    Array(value, key, KVX_USB_MAX_CHANNELS);
    for (size_t i = 0; i < value.size(); ++i) {
        const std::string path = Element(key, i);
        const Json& entry = Object(value[i], path);
        RequireKnownKeys(entry, path, {"index", "hardwareName", "name"});
        Require(entry.contains("index"), Member(path, "index"), "missing");
        Require(entry.contains("name"), Member(path, "name"), "missing");
        CProfileChannel channel;
        channel.index = Whole(entry["index"], Member(path, "index"), 0, KVX_USB_MAX_CHANNELS - 1);
        channel.name = Text(entry["name"], Member(path, "name"));
        Optional(entry, path, "hardwareName",
                 [&](const Json& v, const std::string& k) { channel.hardwareName = Text(v, k); });
        channels.push_back(channel);
    }
    return channels;
}

CProfileDevice ReadDevice(const Json& value, const std::string& path)
{
    const Json& entry = Object(value, path);
    RequireKnownKeys(entry, path, {"serial", "name", "ranking", "inputs", "outputs"});
    Require(entry.contains("serial"), Member(path, "serial"), "missing");
    CProfileDevice device;
    device.serial = Text(entry["serial"], Member(path, "serial"));
    Optional(entry, path, "name",
             [&](const Json& v, const std::string& k) { device.name = Text(v, k); });
    Optional(entry, path, "ranking", [&](const Json& v, const std::string& k) {
        device.ranking = SettingValue(Describe(CSettingId::Ranking), v, k);
    });
    Optional(entry, path, "inputs",
             [&](const Json& v, const std::string& k) { device.inputs = ReadChannels(v, k); });
    Optional(entry, path, "outputs",
             [&](const Json& v, const std::string& k) { device.outputs = ReadChannels(v, k); });
    return device;
}

void ReadInformation(const Json& value, const std::string& key, CProfileInformation& information)
{
    Object(value, key);
    auto text = [&](const char* member, std::string& target) {
        Optional(value, key, member,
                 [&](const Json& v, const std::string& k) { target = Text(v, k); });
    };
    text("saved", information.saved);
    text("tool", information.tool);
    text("driverVersion", information.driverVersion);
    text("interfaceVersion", information.interfaceVersion);
    Optional(value, key, "deviceCount",
             [&](const Json& v, const std::string& k) { information.deviceCount = Whole(v, k); });
}

CProfile ReadProfile(const Json& root)
{
    Object(root, "");
    Require(root.contains("format"), "format", "missing: not a settings profile");
    Require(root["format"].is_string() && root["format"].get<std::string>() == KVX_PROFILE_FORMAT,
            "format", std::string("not \"") + KVX_PROFILE_FORMAT + "\": not a settings profile");
    Require(root.contains("version"), "version", "missing");
    Require(IsWhole(root["version"]) && root["version"].get<double>() == KVX_PROFILE_VERSION,
            "version",
            root["version"].dump() + " is not a version this program reads (" +
                std::to_string(KVX_PROFILE_VERSION) + ")");
    std::vector<const char*> known = {"$schema",     "format",      "version",
                                      "information", "clockSource", "devices"};
    for (const CProfileNumber& number : ProfileNumbers())
        known.push_back(Describe(number.id).fileKey);
    RequireKnownKeys(root, "", known);
    CProfile profile;
    // Where an editor finds the schema; nothing to the program but a text, in any characters.
    Optional(root, "", "$schema", [](const Json& v, const std::string& k) {
        Require(v.is_string(), k, "must be a text");
    });
    Optional(root, "", "information", [&](const Json& v, const std::string& k) {
        ReadInformation(v, k, profile.information);
    });
    for (const CProfileNumber& number : ProfileNumbers()) {
        const CSettingDescriptor& setting = Describe(number.id);
        Optional(root, "", setting.fileKey, [&](const Json& v, const std::string& k) {
            profile.*number.member = SettingValue(setting, v, k);
        });
    }
    Optional(root, "", "clockSource", [&](const Json& v, const std::string& k) {
        Object(v, k);
        RequireKnownKeys(v, k, {"id", "name"});
        Require(v.contains("id"), Member(k, "id"), "missing");
        CProfileSource source;
        source.id = Whole(v["id"], Member(k, "id"));
        Optional(v, k, "name",
                 [&](const Json& n, const std::string& nk) { source.name = Text(n, nk); });
        profile.clockSource = source;
    });
    Optional(root, "", "devices", [&](const Json& v, const std::string& k) {
        Array(v, k, KVX_USB_MAX_DEVICES);
        for (size_t i = 0; i < v.size(); ++i)
            profile.devices.push_back(ReadDevice(v[i], Element(k, i)));
    });
    return profile;
}

// ---- checks that hold whatever made the profile ----

void CheckText(CSettingId id, const std::string& text, const std::string& key)
{
    const std::string why = CheckText(Describe(id), text);
    Require(why.empty(), key, why);
}

void CheckChannels(const std::vector<CProfileChannel>& channels, CSettingId id,
                   const std::string& key)
{
    Require(channels.size() <= KVX_USB_MAX_CHANNELS, key,
            "more than " + std::to_string(KVX_USB_MAX_CHANNELS) + " entries");
    std::set<uint32_t> indexes;
    for (size_t i = 0; i < channels.size(); ++i) {
        const std::string path = Element(key, i);
        Require(channels[i].index < KVX_USB_MAX_CHANNELS, Member(path, "index"),
                "must be from 0 to " + std::to_string(KVX_USB_MAX_CHANNELS - 1));
        Require(indexes.insert(channels[i].index).second, Member(path, "index"),
                std::to_string(channels[i].index) + " appears twice");
        CheckText(id, channels[i].name, Member(path, "name"));
    }
}

// A ranking is an order: the devices a profile ranks go in the order of their rankings, and
// no two share a place. Gaps are allowed, as the driver leaves them when a device goes.
void CheckRankings(const std::vector<CProfileDevice>& devices)
{
    std::map<uint32_t, size_t> holder; // device index by ranking
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].ranking)
            continue;
        const std::string key = Member(Element("devices", i), "ranking");
        const uint32_t ranking = *devices[i].ranking;
        const std::string why = CheckValue(Describe(CSettingId::Ranking), ranking);
        Require(why.empty(), key, why);
        auto placed = holder.emplace(ranking, i);
        Require(placed.second, key,
                "ranking " + std::to_string(ranking) + " is also that of devices[" +
                    std::to_string(placed.first->second) + "]");
    }
}

void CheckSerial(const std::string& serial, const std::string& key)
{
    Require(!serial.empty(), key, "empty");
    Require(serial.find('\0') == std::string::npos, key, "contains a zero byte");
    Require(serial.size() <= KVX_PROFILE_MAX_SERIAL, key,
            "longer than " + std::to_string(KVX_PROFILE_MAX_SERIAL) + " bytes (" +
                std::to_string(serial.size()) + ")");
}

void Check(const CProfile& profile)
{
    for (const CProfileNumber& number : ProfileNumbers()) {
        const std::optional<uint32_t>& value = profile.*number.member;
        const CSettingDescriptor& setting = Describe(number.id);
        if (value) {
            const std::string why = CheckValue(setting, *value);
            Require(why.empty(), setting.fileKey, why);
        }
    }
    Require(profile.devices.size() <= KVX_USB_MAX_DEVICES, "devices",
            "more than " + std::to_string(KVX_USB_MAX_DEVICES) + " entries");
    std::set<std::string> serials;
    for (size_t i = 0; i < profile.devices.size(); ++i) {
        const CProfileDevice& device = profile.devices[i];
        const std::string path = Element("devices", i);
        CheckSerial(device.serial, Member(path, "serial"));
        Require(serials.insert(device.serial).second, Member(path, "serial"),
                "\"" + device.serial + "\" appears twice");
        if (device.name)
            CheckText(CSettingId::DeviceName, *device.name, Member(path, "name"));
        CheckChannels(device.inputs, CSettingId::InputName, Member(path, "inputs"));
        CheckChannels(device.outputs, CSettingId::OutputName, Member(path, "outputs"));
    }
    CheckRankings(profile.devices);
}

// ---- what the parsed value can no longer show ----

// Follows the parse to refuse nesting too deep and a key given twice in one object, where
// the parser would keep the last value and silently drop the others.
class CParseChecker {
public:
    bool operator()(int depth, Json::parse_event_t event, Json& parsed)
    {
        typedef Json::parse_event_t E;
        switch (event) {
        case E::object_start:
        case E::array_start:
            Require(depth < KVX_PROFILE_MAX_DEPTH, "file",
                    "nested deeper than " + std::to_string(KVX_PROFILE_MAX_DEPTH) + " levels");
            m_open.push_back({event == E::array_start, PathOfNext(), {}, std::string(), 0});
            break;
        case E::key: {
            CLevel& level = m_open.back();
            level.key = parsed.get<std::string>();
            Require(level.keys.insert(level.key).second, Member(level.path, level.key.c_str()),
                    "appears twice in one object");
            break;
        }
        case E::object_end:
        case E::array_end:
            m_open.pop_back();
            NextElement();
            break;
        case E::value:
            NextElement();
            break;
        }
        return true;
    }

    // Where the value being parsed belongs: the parser stops inside a value it cannot hold.
    std::string Where() const
    {
        const std::string path = PathOfNext();
        return path.empty() ? "file" : path;
    }

private:
    struct CLevel {
        bool isArray;
        std::string path;
        std::set<std::string> keys;
        std::string key; // the last key read, of an object
        size_t index;    // the next element's, of a list
    };

    std::string PathOfNext() const
    {
        if (m_open.empty())
            return "";
        const CLevel& level = m_open.back();
        return level.isArray ? Element(level.path, level.index)
                             : Member(level.path, level.key.c_str());
    }

    void NextElement()
    {
        if (!m_open.empty() && m_open.back().isArray)
            ++m_open.back().index;
    }

    std::vector<CLevel> m_open;
};

// ---- writing ----

Json ChannelsJson(const std::vector<CProfileChannel>& channels)
{
    Json list = Json::array();
    for (const CProfileChannel& channel : channels)
        list.push_back({{"index", channel.index},
                        {"hardwareName", BytesToUtf8(channel.hardwareName)},
                        {"name", BytesToUtf8(channel.name)}});
    return list;
}

Json InformationJson(const CProfileInformation& information)
{
    Json info = Json::object();
    info["saved"] = information.saved;
    info["tool"] = BytesToUtf8(information.tool);
    info["driverVersion"] = BytesToUtf8(information.driverVersion);
    info["interfaceVersion"] = BytesToUtf8(information.interfaceVersion);
    if (information.deviceCount)
        info["deviceCount"] = *information.deviceCount;
    return info;
}

// ---- the schema ----

// Names are 8-bit bytes as the code points U+0000 to U+00FF: one character a byte.
constexpr const char* kBytePattern = "^[\\u0000-\\u00ff]*$";
constexpr const char* kPrintablePattern = "^[\\u0020-\\u007e\\u0080-\\u00ff]*$";

Json WholeSchema(uint32_t minimum, uint32_t maximum, uint32_t step = 0)
{
    Json schema = {{"type", "integer"}, {"minimum", minimum}, {"maximum", maximum}};
    if (step)
        schema["multipleOf"] = step;
    return schema;
}

Json SettingSchema(const CSettingDescriptor& setting)
{
    const CSettingDomain& domain = setting.domain;
    Json schema;
    switch (setting.form) {
    case CSettingForm::Flag:
        schema = {{"type", "boolean"}};
        break;
    case CSettingForm::Word:
        schema = {{"enum", Json::array()}};
        for (const CSettingWord& word : domain.words)
            schema["enum"].push_back(word.word);
        break;
    case CSettingForm::Text:
        schema = {{"type", "string"},
                  {"maxLength", domain.maximum},
                  {"pattern", domain.printableOnly ? kPrintablePattern : kBytePattern}};
        break;
    case CSettingForm::Number:
        schema = WholeSchema(domain.minimum, domain.maximum, domain.step);
        break;
    }
    schema["description"] = setting.meaning;
    return schema;
}

Json ObjectSchema(Json properties, std::vector<const char*> required = {})
{
    Json schema = {{"type", "object"}, {"additionalProperties", false}};
    if (!required.empty())
        schema["required"] = required;
    schema["properties"] = std::move(properties);
    return schema;
}

Json ChannelsSchema(CSettingId id)
{
    return {
        {"type", "array"},
        {"maxItems", KVX_USB_MAX_CHANNELS},
        {"items", ObjectSchema({{"index", WholeSchema(0, KVX_USB_MAX_CHANNELS - 1)},
                                {"hardwareName", {{"type", "string"}, {"pattern", kBytePattern}}},
                                {"name", SettingSchema(Describe(id))}},
                               {"index", "name"})}};
}

Json DeviceSchema()
{
    const Json serial = {{"type", "string"},
                         {"minLength", 1},
                         {"maxLength", KVX_PROFILE_MAX_SERIAL},
                         {"pattern", "^[\\u0001-\\u00ff]*$"},
                         {"description", "identifies the device"}};
    return ObjectSchema({{"serial", serial},
                         {"name", SettingSchema(Describe(CSettingId::DeviceName))},
                         {"ranking", SettingSchema(Describe(CSettingId::Ranking))},
                         {"inputs", ChannelsSchema(CSettingId::InputName)},
                         {"outputs", ChannelsSchema(CSettingId::OutputName)}},
                        {"serial"});
}

} // namespace

std::string ProfileSchemaJson()
{
    const Json text = {{"type", "string"}, {"pattern", kBytePattern}};
    Json properties = {
        {"$schema", {{"type", "string"}}},
        {"format", {{"const", KVX_PROFILE_FORMAT}}},
        {"version", {{"const", KVX_PROFILE_VERSION}}},
        {"information", ObjectSchema({{"saved", text},
                                      {"tool", text},
                                      {"driverVersion", text},
                                      {"interfaceVersion", text},
                                      {"deviceCount", WholeSchema(0, 0xFFFFFFFFu)}})},
    };
    for (const CProfileNumber& number : ProfileNumbers())
        properties[Describe(number.id).fileKey] = SettingSchema(Describe(number.id));
    properties["clockSource"] =
        ObjectSchema({{"id", WholeSchema(0, 0xFFFFFFFFu)}, {"name", text}}, {"id"});
    properties["devices"] = {
        {"type", "array"}, {"maxItems", KVX_USB_MAX_DEVICES}, {"items", DeviceSchema()}};
    Json schema = {{"$schema", "https://json-schema.org/draft/2020-12/schema"},
                   {"$id", KVX_PROFILE_SCHEMA_FILE},
                   {"title", "Settings profile of the USB audio interfaces' control panel"}};
    schema.update(ObjectSchema(properties, {"format", "version"}));
    return schema.dump(2) + "\n";
}

std::string BytesToUtf8(const std::string& bytes)
{
    std::string utf8;
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += char(0xC0 | (b >> 6));
            utf8 += char(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

std::string WriteProfileJson(const CProfile& profile)
{
    Json root = Json::object();
    root["format"] = KVX_PROFILE_FORMAT;
    root["version"] = KVX_PROFILE_VERSION;
    root["information"] = InformationJson(profile.information);
    for (const CProfileNumber& number : ProfileNumbers()) {
        const CSettingDescriptor& setting = Describe(number.id);
        if (const std::optional<uint32_t>& value = profile.*number.member)
            root[setting.fileKey] = SettingJson(setting, *value);
    }
    if (profile.clockSource)
        root["clockSource"] = {{"id", profile.clockSource->id},
                               {"name", BytesToUtf8(profile.clockSource->name)}};
    Json devices = Json::array();
    for (const CProfileDevice& device : profile.devices) {
        Json entry = {{"serial", BytesToUtf8(device.serial)}};
        if (device.name)
            entry["name"] = BytesToUtf8(*device.name);
        if (device.ranking)
            entry["ranking"] = *device.ranking;
        entry["inputs"] = ChannelsJson(device.inputs);
        entry["outputs"] = ChannelsJson(device.outputs);
        devices.push_back(entry);
    }
    root["devices"] = devices;
    // ASCII only: every byte from 0x80 up as \u00XX, whatever the reader's code page.
    return root.dump(2, ' ', true) + "\n";
}

bool ReadProfileJson(const std::string& text, CProfile& profile, std::string& error)
{
    CParseChecker checker;
    try {
        Require(text.size() <= KVX_PROFILE_MAX_FILE_SIZE, "file",
                "larger than " + std::to_string(KVX_PROFILE_MAX_FILE_SIZE) + " bytes");
        const Json root =
            Json::parse(text, [&](int depth, Json::parse_event_t event, Json& parsed) {
                return checker(depth, event, parsed);
            });
        CProfile read = ReadProfile(root);
        Check(read);
        profile = std::move(read);
        return true;
    } catch (const CProfileError& e) {
        error = e.what();
    } catch (const Json::parse_error& e) {
        error = std::string("file: not JSON, or cut short (") + e.what() + ")";
    } catch (const Json::out_of_range& e) {
        // A number past what a double holds (1e999) stops the parser inside its value.
        error = checker.Where() + ": a number too large to read (" + e.what() + ")";
    } catch (const std::exception& e) {
        error = std::string("file: ") + e.what();
    }
    return false;
}

bool CheckProfile(const CProfile& profile, std::string& error)
{
    try {
        Check(profile);
        return true;
    } catch (const CProfileError& e) {
        error = e.what();
        return false;
    }
}

namespace {

// A new file in path's folder, named after it with a number no file there has; temporary is
// its name. INVALID_HANDLE_VALUE with the last error when none could be made.
HANDLE CreateUniqueBeside(const std::string& path, std::string& temporary)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    for (DWORD n = GetTickCount(), tries = 0; file == INVALID_HANDLE_VALUE && tries < 100;
         ++n, ++tries) {
        temporary =
            path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n) + ".tmp";
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return file;
}

} // namespace

bool SaveProfileFile(const std::string& path, const CProfile& profile, std::string& error)
{
    // A file that would not load again is never written.
    if (!CheckProfile(profile, error)) {
        error = path + ": not written, the profile would not load: " + error;
        return false;
    }
    const std::string text = WriteProfileJson(profile);
    // Written beside the old file and moved over it: a failed save leaves the old one whole.
    // The file written first has a name of its own, so that no other file is overwritten.
    std::string temporary;
    HANDLE file = CreateUniqueBeside(path, temporary);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
              written == text.size();
    DWORD status = ok ? 0 : GetLastError();
    const bool created = file != INVALID_HANDLE_VALUE;
    if (created)
        CloseHandle(file);
    if (ok && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ok = false;
        status = GetLastError();
    }
    if (!ok) {
        if (created)
            DeleteFileA(temporary.c_str());
        error = path + ": cannot be written (error " + std::to_string(status) + ")";
    }
    return ok;
}

bool LoadProfileFile(const std::string& path, CProfile& profile, std::string& error)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": cannot be opened (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    // One byte more than allowed tells an oversized file without reading all of it.
    std::string text(KVX_PROFILE_MAX_FILE_SIZE + 1, '\0');
    DWORD read = 0, total = 0;
    while (total < text.size() &&
           ReadFile(file, &text[total], DWORD(text.size() - total), &read, nullptr) && read > 0)
        total += read;
    CloseHandle(file);
    text.resize(total);
    if (!ReadProfileJson(text, profile, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
