// The profile file: what it keeps, and every kind of file it refuses, with the key and why.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <nlohmann/json.hpp>

#include "ProfileFile.h"

using nlohmann::ordered_json;

namespace {

CProfile SampleProfile()
{
    CProfile profile;
    profile.information.saved = "2026-12-07T18:20:00Z";
    profile.information.deviceCount = 2;
    profile.sampleRateHz = 48000;
    profile.rateMode = 0;
    profile.clockMaster = 1;
    profile.clockSource = CProfileSource{2, "ADAT"};
    profile.streamDepthUs = 2000;
    profile.asioDepthUs = 5000;
    profile.wdmDepthUs = 10000;
    profile.asioNamesWithDevice = true;
    CProfileDevice first;
    first.serial = "KVX-1";
    const char name[] = "Desk \"A\" \\ ~\x80\xFF";
    first.name = std::string(name, sizeof name - 1);
    first.ranking = 1;
    first.inputs = {{0, "Mic 1", "In 1"}, {1, "Mic 2", "In 2"}};
    first.outputs = {{0, "Main L", "Out 1"}};
    CProfileDevice second;
    second.serial = "KVX-2";
    second.name = "Mobile";
    second.ranking = 0;
    profile.devices = {first, second};
    return profile;
}

std::string Refusal(const std::string& text)
{
    CProfile profile;
    std::string error;
    if (ReadProfileJson(text, profile, error))
        return "accepted";
    return error;
}

} // namespace

TEST(ProfileFile, KeepsEverySettingAndEveryByteOfTheNames)
{
    const CProfile written = SampleProfile();
    const std::string text = WriteProfileJson(written);
    for (unsigned char c : text)
        ASSERT_LT(c, 0x80) << "the file is plain ASCII";
    EXPECT_NE(text.find("\\u00ff"), std::string::npos) << text;

    CProfile read;
    std::string error;
    ASSERT_TRUE(ReadProfileJson(text, read, error)) << error;
    EXPECT_EQ(WriteProfileJson(read), text);
    EXPECT_EQ(*read.devices[0].name, *written.devices[0].name);
    EXPECT_EQ(read.devices[0].inputs[1].hardwareName, "In 2");
    EXPECT_EQ(*read.clockMaster, 1u);
}

TEST(ProfileFile, AbsentSettingsStayAbsent)
{
    CProfile read;
    std::string error;
    ASSERT_TRUE(ReadProfileJson(
        R"({"format": "kvx-usb-settings", "version": 1, "sampleRateHz": 96000})", read, error))
        << error;
    EXPECT_EQ(*read.sampleRateHz, 96000u);
    EXPECT_FALSE(read.rateMode || read.clockSource || read.asioDepthUs || read.asioNamesWithDevice);
    EXPECT_TRUE(read.devices.empty());
}

TEST(ProfileFile, RefusesEveryKindOfBadFileNamingTheKeyAndWhy)
{
    const ordered_json good = ordered_json::parse(WriteProfileJson(SampleProfile()));
    auto with = [&](void (*change)(ordered_json&)) {
        ordered_json file = good;
        change(file);
        return file.dump(1);
    };
    std::string nested = "[]";
    for (int i = 0; i < 20; ++i)
        nested = "[" + nested + "]";
    const std::string text = good.dump(1);

    struct Case {
        const char* what;
        std::string file;
        const char* message;
    } cases[] = {
        {"truncated", text.substr(0, text.size() / 2), "file: not JSON, or cut short"},
        {"not an object", "[1, 2]", "file: must be an object"},
        {"oversized", text + std::string(KVX_PROFILE_MAX_FILE_SIZE, ' '),
         "file: larger than 1048576 bytes"},
        {"deeply nested",
         R"({"format": "kvx-usb-settings", "version": 1, "information": )" + nested + "}",
         "file: nested deeper than 8 levels"},
        {"another format", with([](ordered_json& f) { f["format"] = "kvx-usb-report"; }),
         "format: not \"kvx-usb-settings\""},
        {"unknown version", with([](ordered_json& f) { f["version"] = 2; }),
         "version: 2 is not a version this program reads (1)"},
        {"unknown key", with([](ordered_json& f) { f["sampleRate"] = 48000; }),
         "sampleRate: not a key of this format"},
        {"wrong type", with([](ordered_json& f) { f["sampleRateHz"] = "48000"; }),
         "sampleRateHz: must be a whole number"},
        {"fraction", with([](ordered_json& f) { f["streamBufferDepthUs"] = 2000.5; }),
         "streamBufferDepthUs: must be a whole number"},
        {"beyond 32 bits", with([](ordered_json& f) { f["sampleRateHz"] = 4294967296ull; }),
         "sampleRateHz: must be from 1 to 4294967295"},
        {"past a double",
         R"({"format": "kvx-usb-settings", "version": 1, "wdmBufferDepthUs": 1e999})",
         "wdmBufferDepthUs: a number too large to read"},
        {"rate 0", with([](ordered_json& f) { f["sampleRateHz"] = 0; }),
         "sampleRateHz: must be from 1 to 4294967295"},
        {"depth off the millisecond grid",
         with([](ordered_json& f) { f["wdmBufferDepthUs"] = 5500; }),
         "wdmBufferDepthUs: must be from 1000 to 80000, a multiple of 1000"},
        {"key twice", text.substr(0, text.size() - 2) + ", \"sampleRateHz\": 44100}",
         "sampleRateHz: appears twice in one object"},
        {"devices twice", text.substr(0, text.size() - 2) + ", \"devices\": []}",
         "devices: appears twice in one object"},
        {"key twice in a channel",
         R"({"format": "kvx-usb-settings", "version": 1, "devices": [{"serial": "A"},
             {"serial": "B", "inputs": [{"index": 0, "name": "a"}, {"index": 1, "name": "b",
             "name": "c"}]}]})",
         "devices[1].inputs[1].name: appears twice in one object"},
        {"control byte in a name",
         with([](ordered_json& f) { f["devices"][1]["name"] = "Line\nBreak"; }),
         "devices[1].name: contains a control byte (0x0A)"},
        {"escape in a channel name",
         with([](ordered_json& f) { f["devices"][0]["outputs"][0]["name"] = "\x1B[2J"; }),
         "devices[0].outputs[0].name: contains a control byte (0x1B)"},
        {"depth out of range", with([](ordered_json& f) { f["asioBufferDepthUs"] = 500; }),
         "asioBufferDepthUs: must be from 1000 to 80000"},
        {"unknown mode", with([](ordered_json& f) { f["rateMode"] = "fast"; }),
         "rateMode: must be manual or auto (in quotes)"},
        {"master as a number", with([](ordered_json& f) { f["clockMaster"] = 1; }),
         "clockMaster: must be pc or device (in quotes)"},
        {"flag as a number", with([](ordered_json& f) { f["asioNamesWithDevice"] = 1; }),
         "asioNamesWithDevice: must be true or false"},
        {"name too long",
         with([](ordered_json& f) { f["devices"][1]["name"] = std::string(40, 'n'); }),
         "devices[1].name: longer than 39 bytes (40)"},
        {"channel name too long",
         with([](ordered_json& f) { f["devices"][0]["inputs"][1]["name"] = std::string(41, 'c'); }),
         "devices[0].inputs[1].name: longer than 39 bytes (41)"},
        {"beyond 8 bits", with([](ordered_json& f) { f["devices"][0]["name"] = "\xC4\x80"; }),
         "devices[0].name: a character beyond \\u00ff"},
        {"zero byte",
         with([](ordered_json& f) { f["devices"][0]["name"] = std::string("a\0b", 3); }),
         "devices[0].name: contains a zero byte"},
        {"ranking twice", with([](ordered_json& f) { f["devices"][1]["ranking"] = 1; }),
         "devices[1].ranking: ranking 1 is also that of devices[0]"},
        {"negative ranking", with([](ordered_json& f) { f["devices"][0]["ranking"] = -1; }),
         "devices[0].ranking: must be from 0 to 63"},
        {"serial twice", with([](ordered_json& f) { f["devices"][1]["serial"] = "KVX-1"; }),
         "devices[1].serial: \"KVX-1\" appears twice"},
        {"serial missing", with([](ordered_json& f) { f["devices"][1].erase("serial"); }),
         "devices[1].serial: missing"},
        {"channel index twice",
         with([](ordered_json& f) { f["devices"][0]["inputs"][1]["index"] = 0; }),
         "devices[0].inputs[1].index: 0 appears twice"},
        {"channel index too large",
         with([](ordered_json& f) { f["devices"][0]["outputs"][0]["index"] = 256; }),
         "devices[0].outputs[0].index: must be from 0 to 255"},
        {"devices not a list", with([](ordered_json& f) { f["devices"] = ordered_json::object(); }),
         "devices: must be a list"},
        {"too many devices", with([](ordered_json& f) {
             f["devices"] = ordered_json::array();
             f["devices"].get_ref<ordered_json::array_t&>().resize(65);
         }),
         "devices: more than 64 entries"},
    };
    // The schema test checks each file with an independent validator as well.
    const char* dump = std::getenv("KVX_PROFILE_CASES_DIR");
    for (const Case& c : cases) {
        EXPECT_NE(Refusal(c.file).find(c.message), std::string::npos)
            << c.what << ": " << Refusal(c.file);
        if (dump)
            std::ofstream(std::string(dump) + "\\" + c.what + ".json", std::ios::binary) << c.file;
    }
}

TEST(ProfileFile, ARankingIsAnOrderWithGapsAllowed)
{
    CProfile profile = SampleProfile();
    profile.devices[0].ranking = 7;
    profile.devices[1].ranking = 3;
    CProfile read;
    std::string error;
    ASSERT_TRUE(ReadProfileJson(WriteProfileJson(profile), read, error)) << error;
    EXPECT_EQ(*read.devices[0].ranking, 7u);
}

TEST(ProfileFile, ProfilesMadeOtherwiseGetTheSameChecks)
{
    CProfile profile = SampleProfile();
    std::string error;
    EXPECT_TRUE(CheckProfile(profile, error)) << error;
    profile.devices[0].inputs[0].name = std::string(40, 'x');
    EXPECT_FALSE(CheckProfile(profile, error));
    EXPECT_EQ(error, "devices[0].inputs[0].name: longer than 39 bytes (40)");
    // A file that would not load is never written, nor the old one replaced.
    EXPECT_FALSE(SaveProfileFile("C:\\unloadable.kvxsettings", profile, error));
    EXPECT_EQ(GetFileAttributesA("C:\\unloadable.kvxsettings"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(error.find("not written, the profile would not load"), std::string::npos) << error;
}

TEST(ProfileFile, FilesThatCannotBeReadOrWrittenSaySo)
{
    CProfile profile;
    std::string error;
    EXPECT_FALSE(LoadProfileFile("C:\\no-such-folder\\x.kvxsettings", profile, error));
    EXPECT_NE(error.find("x.kvxsettings: cannot be opened"), std::string::npos) << error;
    EXPECT_FALSE(SaveProfileFile("C:\\no-such-folder\\x.kvxsettings", SampleProfile(), error));
    EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
}
