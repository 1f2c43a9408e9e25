// The support report, kvxuinfo.exe, run as a process against the stand-in: what it prints,
// that its JSON parses, and how it reports reads that fail. Its escaping and naming helpers
// are checked directly where a process would hide the edge cases.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

#include "KvxVersion.h"
#include "KvxuUsbDriver.h"
#include "SimDriverProcess.h"
#include "SupportReport.h"
#include "ToolProcess.h"

using nlohmann::json;

namespace {

using InfoRun = ToolRun;

InfoRun RunInfo(const std::string& arguments)
{
    return RunTool("kvxuinfo.exe", arguments);
}

// The report as parsed JSON; a parse failure fails the test with the text that did not parse.
json ParseReport(const InfoRun& run)
{
    json report = json::parse(run.output, nullptr, false);
    EXPECT_FALSE(report.is_discarded()) << run.output;
    return report;
}

// A JSON string made of code points below 256 back into the bytes they stand for.
std::string Bytes(const json& text)
{
    std::string utf8 = text.get<std::string>();
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC0 && i + 1 < utf8.size()) {
            bytes += char(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            bytes += char(c);
        }
    }
    return bytes;
}

TEST(SupportReportText, JsonStringsCarryEveryByteAndStayAscii)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    std::string literal = JsonString(all);
    for (char c : literal)
        ASSERT_TRUE(c >= 0x20 && c < 0x7F) << int(static_cast<unsigned char>(c));
    json parsed = json::parse(literal, nullptr, false);
    ASSERT_TRUE(parsed.is_string()) << literal;
    EXPECT_EQ(all, Bytes(parsed));
    EXPECT_EQ("\"\"", JsonString(""));
    EXPECT_EQ("\"a\\\"b\\\\c\\u000a\\u00e9\"", JsonString("a\"b\\c\n\xE9"));
}

TEST(SupportReportText, StatusesShowTheirNameAndCodeOrOnlyTheCode)
{
    EXPECT_EQ("KVX_USB_E_NOT_OPEN (0xE0000013)", StatusText(KVX_USB_E_NOT_OPEN));
    EXPECT_EQ("KVX_USB_E_STREAMING_ACTIVE (0xE0000047)", StatusText(KVX_USB_E_STREAMING_ACTIVE));
    EXPECT_EQ("ERROR_FILE_NOT_FOUND (0x00000002)", StatusText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ("ERROR_NOT_FOUND (0x00000490)", StatusText(ERROR_NOT_FOUND));
    EXPECT_EQ("0x00012345", StatusText(0x12345));
}

class SupportReportTest : public ::testing::Test {
protected:
    void Start(const std::string& scenario = "demo")
    {
        ASSERT_TRUE(sim.Start(scenario)) << sim.Log();
    }
    void Command(std::initializer_list<std::string> args)
    {
        SimResult r = sim.Run(args);
        ASSERT_EQ(0, r.exitCode) << r.output;
    }
    json Report()
    {
        InfoRun run = RunInfo("--json");
        // A report with a failed read in it is not whole: exit 1.
        const bool whole = run.output.find("\"statusCode\"") == std::string::npos;
        EXPECT_EQ(whole ? 0u : 1u, run.exitCode) << run.output;
        return ParseReport(run);
    }

    SimDriverProcess sim;
};

TEST_F(SupportReportTest, DemoReportsEverySettingInJson)
{
    Start();
    json r = Report();
    EXPECT_EQ("kvxuinfo " KVX_VERSION_TEXT, r["tool"]);
    EXPECT_EQ("2.1", r["driver"]["interfaceVersion"]);
    EXPECT_EQ("3.4.1207", r["driver"]["driverVersion"]);

    ASSERT_EQ(2u, r["devices"].size());
    const json& studio = r["devices"][0];
    EXPECT_EQ("Model B Studio", studio["name"]);
    EXPECT_EQ("KVX-B2-004711", studio["serial"]);
    EXPECT_EQ(0, studio["ranking"]);
    EXPECT_EQ(1, r["devices"][1]["ranking"]);
    ASSERT_EQ(4u, studio["clockSources"].size());
    EXPECT_EQ("Internal", studio["currentClockSource"]["name"]);
    EXPECT_EQ(true, studio["clockSources"][0]["current"]);
    EXPECT_EQ(false, studio["clockSources"][3]["current"]);
    EXPECT_EQ("Word Clock", studio["clockSources"][3]["name"]);

    EXPECT_EQ(1, r["asioNameOption"]);
    ASSERT_EQ(10u, r["inputChannels"].size());
    ASSERT_EQ(10u, r["outputChannels"].size());
    const json& first = r["inputChannels"][0];
    EXPECT_EQ("Model B Studio", first["device"]);
    EXPECT_EQ("Mic/Line 1", first["channelName"]);
    EXPECT_FALSE(first["hardwareName"].get<std::string>().empty());
    EXPECT_EQ("Model B Studio - Mic/Line 1", first["asioName"]);
    EXPECT_EQ("Model B Mobile - Input 2", r["inputChannels"][9]["asioName"]);

    EXPECT_EQ(48000, r["sampleRate"]["currentHz"]);
    EXPECT_EQ("48.0 kHz", r["sampleRate"]["currentHzText"]);
    ASSERT_EQ(6u, r["sampleRate"]["ratesHz"].size());
    EXPECT_EQ(44100, r["sampleRate"]["ratesHz"][0]);
    EXPECT_EQ(1, r["sampleRateMode"]);
    EXPECT_EQ("auto", r["sampleRateModeText"]);
    EXPECT_EQ(1, r["clockMaster"]);
    EXPECT_EQ("device", r["clockMasterText"]);

    const json& stream = r["streamBufferDepth"];
    EXPECT_EQ(2000, stream["currentUs"]);
    EXPECT_EQ("2.0 ms", stream["currentUsText"]);
    EXPECT_EQ(1000, stream["minimumUs"]);
    EXPECT_EQ(8000, stream["maximumUs"]);
    EXPECT_EQ(500, stream["stepUs"]);
    EXPECT_EQ(5000, r["asioBufferDepth"]["depthUs"]);
    EXPECT_EQ(32, r["asioBufferDepth"]["granularitySamples"]);
    EXPECT_EQ("10.0 ms", r["wdmBufferDepth"]["depthUsText"]);
    EXPECT_EQ(0, r["dropOuts"]);
    EXPECT_EQ("48000 Hz, stream 2.0 ms, ASIO 5.0 ms (256 samples), WDM 10.0 ms",
              r["dropOutsReadWith"]);
}

TEST_F(SupportReportTest, TextReportIsReadable)
{
    Start();
    Command({"set", "asio-names", "off"});
    Command({"set", "master", "pc"});
    InfoRun run = RunInfo("");
    EXPECT_EQ(0u, run.exitCode);
    const std::string& t = run.output;
    for (const char* line :
         {"Interface version: \"2.1\"", "Driver version: \"3.4.1207\"", "Devices: 2",
          "Name: \"Model B Studio\"", "Serial number: \"KVX-B2-004711\"",
          "Current: 48.0 kHz (48000 Hz)", "Rates: 44.1 kHz (44100 Hz), 48.0 kHz (48000 Hz)",
          "Rate selection: auto (1)", "Clock master: pc (0)", "ASIO name: \"Mic/Line 1\"",
          "Current: 2.0 ms (2000 us)", "Granularity: 32 samples", "Drop-outs: 0"})
        EXPECT_NE(std::string::npos, t.find(line)) << line << "\n" << t;
}

TEST_F(SupportReportTest, MaximalFillsEveryListToItsCapacity)
{
    Start("maximal");
    json r = Report();
    EXPECT_EQ("9.9.65535", r["driver"]["driverVersion"]);
    EXPECT_EQ(64u, r["devices"].size());
    EXPECT_EQ(16u, r["devices"][0]["clockSources"].size());
    EXPECT_EQ(256u, r["inputChannels"].size());
    EXPECT_EQ(256u, r["outputChannels"].size());
    EXPECT_EQ(8u, r["sampleRate"]["ratesHz"].size());
    EXPECT_EQ(384000, r["sampleRate"]["ratesHz"].back());
    EXPECT_EQ("manual", r["sampleRateModeText"]);
    EXPECT_EQ("pc", r["clockMasterText"]);
    EXPECT_FALSE(r.contains("deviceCountReported"));
}

TEST_F(SupportReportTest, NamesWithAnyBytesComeOutExactlyInJson)
{
    Start();
    const std::string name = "Caf\xE9 \"A\"\t\\ \x7F\xFF";
    Command({"set", "name", "1", name});
    json r = Report();
    EXPECT_EQ(name, Bytes(r["devices"][0]["name"]));
    InfoRun text = RunInfo("");
    EXPECT_NE(std::string::npos, text.output.find("Caf\xE9 \"A\"\\x09\\ \\x7F\xFF")) << text.output;
}

TEST_F(SupportReportTest, FailedReadsShowTheirStatusAndTheRestIsStillReported)
{
    Start();
    Command({"fault", "GetSampleRateInfo", "1", "0x1F"});
    Command({"fault", "GetClockMaster", "1", "0xE0000047"});
    Command({"fault", "GetSynchModeInfo", "1", "0x12345"});
    json r = Report();
    EXPECT_EQ("ERROR_GEN_FAILURE", r["sampleRate"]["status"]);
    EXPECT_EQ("0x0000001F", r["sampleRate"]["statusCode"]);
    EXPECT_EQ("KVX_USB_E_STREAMING_ACTIVE", r["clockMaster"]["status"]);
    EXPECT_EQ("0x00012345", r["devices"][0]["clockSources"]["status"]);
    EXPECT_EQ(2u, r["devices"][1]["clockSources"].size());
    EXPECT_EQ(1, r["sampleRateMode"]);
    EXPECT_EQ(10u, r["inputChannels"].size());

    Command({"fault", "GetSampleRateInfo", "1", "0x1F"});
    InfoRun text = RunInfo("");
    EXPECT_EQ(1u, text.exitCode);
    EXPECT_NE(std::string::npos,
              text.output.find("Sampling rate: failed, ERROR_GEN_FAILURE (0x0000001F)"))
        << text.output;
}

TEST_F(SupportReportTest, UnterminatedNamesStopAtTheirField)
{
    Start();
    Command({"fault", "unterminated"});
    json r = Report();
    // The stand-in fills each field after its text with '#' to the last byte.
    auto filled = [](std::string text, size_t size) {
        return text + std::string(size - text.size(), '#');
    };
    EXPECT_EQ(filled("Model B Studio", KVX_USB_NAME_SIZE),
              r["devices"][0]["name"].get<std::string>());
    EXPECT_EQ(filled("KVX-B2-004711", 376), r["devices"][0]["serial"].get<std::string>());
    EXPECT_EQ(filled("Mic/Line 1", KVX_USB_NAME_SIZE),
              r["inputChannels"][0]["channelName"].get<std::string>());
    EXPECT_EQ(filled("Internal", KVX_USB_NAME_SIZE),
              r["devices"][0]["clockSources"][0]["name"].get<std::string>());
    EXPECT_EQ(32u, r["inputChannels"][0]["asioName"].get<std::string>().size());
}

// A list whose count is past its record is not read: the report names its status.
TEST_F(SupportReportTest, ListsPastTheirRecordAreReportedAsNotRead)
{
    Start();
    Command({"fault", "overcount"});
    json r = Report();
    EXPECT_EQ("KVX_USB_E_BAD_LIST", r["devices"]["status"]);
    EXPECT_EQ("KVX_USB_E_BAD_LIST", r["inputChannels"]["status"]);
    EXPECT_EQ("KVX_USB_E_BAD_LIST", r["outputChannels"]["status"]);
    EXPECT_EQ("KVX_USB_E_BAD_LIST", r["sampleRate"]["status"]);
}

TEST_F(SupportReportTest, WithoutAStandInItSaysSoAndFails)
{
    // The variable names a pipe nobody serves...
    InfoRun run = RunInfo("--json");
    EXPECT_EQ(3u, run.exitCode) << "as kvxuctl without a driver";
    json r = ParseReport(run);
    EXPECT_EQ("ERROR_FILE_NOT_FOUND", r["open"]["status"]);
    EXPECT_FALSE(r.contains("devices"));

    // ...or is not set at all: then a serving stand-in is not even looked for.
    Start();
    SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", nullptr);
    run = RunInfo("");
    SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", sim.PipeName().c_str());
    EXPECT_EQ(3u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("Open: failed, ERROR_FILE_NOT_FOUND"))
        << run.output;
}

} // namespace
