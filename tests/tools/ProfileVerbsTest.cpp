// The command-line control's settings verbs, run in this process against the stand-in:
// their output, their exit status, and that a bad file or bad arguments send nothing.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ProfileVerbs.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"
#include "ToolProcess.h"

namespace {

class ProfileVerbsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_trace = SimDriverProcess::TempPath("verbs-trace.txt");
        m_file = SimDriverProcess::TempPath("verbs.kvxsettings");
        DeleteFileA(m_trace.c_str());
        ASSERT_TRUE(m_sim.Start("demo", {"--trace", m_trace})) << m_sim.Log();
    }
    void TearDown() override
    {
        m_sim.Stop();
        DeleteFileA(m_trace.c_str());
        DeleteFileA(m_file.c_str());
    }

    int Run(int (*verb)(const CVerbArguments&, CVerbOutput&), CVerbArguments arguments)
    {
        m_output = CVerbOutput();
        return verb(arguments, m_output);
    }

    void WriteProfileText(const std::string& text)
    {
        HANDLE file =
            CreateFileA(m_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
        CloseHandle(file);
    }

    SimDriverProcess m_sim;
    std::string m_trace;
    std::string m_file;
    CVerbOutput m_output;
};

} // namespace

TEST_F(ProfileVerbsTest, GetPrintsEverySettingAsSetTakesIt)
{
    ASSERT_EQ(Run(ProfileVerbGet, {}), KVX_EXIT_OK) << m_output.err;
    for (const char* line :
         {"rate 48000\n", "mode auto\n", "master device\n", "source 0 Internal\n",
          "asio-names on\n", "stream-depth 2000\n", "asio-depth 5000\n", "wdm-depth 10000\n",
          "device-name KVX-B2-004711 \"Model B Studio\"\n", "ranking KVX-B2-004711 KVX-B1-010203\n",
          "input-name KVX-B1-010203 1 \"Input 2\"\n", "output-name KVX-B2-004711 5 \"Phones R\"\n"})
        EXPECT_NE(m_output.out.find(line), std::string::npos) << line << m_output.out;

    ASSERT_EQ(Run(ProfileVerbGet, {"device-name", "--json"}), KVX_EXIT_OK) << m_output.err;
    // The profile file's keys and shapes, holding that one setting.
    const nlohmann::json names = nlohmann::json::parse(m_output.out);
    EXPECT_FALSE(names.contains("sampleRateHz"));
    EXPECT_EQ(names["devices"][1], nlohmann::json({{"serial", "KVX-B1-010203"},
                                                   {"name", "Model B Mobile"},
                                                   {"inputs", nlohmann::json::array()},
                                                   {"outputs", nlohmann::json::array()}}));
}

TEST_F(ProfileVerbsTest, SetAppliesOneSettingAndReportsRefusals)
{
    ASSERT_EQ(Run(ProfileVerbSet, {"input-name", "KVX-B1-010203", "1", "Vocal", "Mic"}),
              KVX_EXIT_OK)
        << m_output.err;
    EXPECT_EQ(
        m_output.out,
        "applied    device KVX-B1-010203 input 1 name: \"Input 2\" -> \"Vocal Mic\"\n1 applied\n");
    ASSERT_EQ(Run(ProfileVerbGet, {"input-name"}), KVX_EXIT_OK);
    EXPECT_NE(m_output.out.find("input-name KVX-B1-010203 1 \"Vocal Mic\"\n"), std::string::npos);

    ASSERT_EQ(m_sim.Run({"set", "mode", "manual"}).exitCode, 0);
    ASSERT_EQ(m_sim.Run({"stream", "on"}).exitCode, 0);
    ASSERT_EQ(Run(ProfileVerbSet, {"rate", "96000", "--json"}), KVX_EXIT_INCOMPLETE);
    const nlohmann::json result = nlohmann::json::parse(m_output.out)["results"][0];
    EXPECT_EQ(result["result"], "refused");
    EXPECT_EQ(result["why"], "audio is streaming; stop playback and try again");
    EXPECT_EQ(result["status"], "KVX_USB_E_STREAMING_ACTIVE");
    EXPECT_EQ(result["statusCode"], "0xE0000047");
}

TEST_F(ProfileVerbsTest, SaveThenLoadChangesNothingAndADryRunSendsNothing)
{
    ASSERT_EQ(Run(ProfileVerbSave, {m_file}), KVX_EXIT_OK) << m_output.err;
    ASSERT_EQ(Run(ProfileVerbLoad, {m_file}), KVX_EXIT_OK) << m_output.err;
    EXPECT_NE(m_output.out.find("\n32 unchanged\n"), std::string::npos) << m_output.out;

    ASSERT_EQ(m_sim.Run({"set", "mode", "manual"}).exitCode, 0);
    ASSERT_EQ(m_sim.Run({"set", "rate", "96000"}).exitCode, 0);
    SimTrace trace(m_trace);
    ASSERT_EQ(Run(ProfileVerbLoad, {m_file, "--dry-run"}), KVX_EXIT_OK) << m_output.err;
    EXPECT_NE(m_output.out.find("to apply   sampling rate: 96000 Hz -> 48000 Hz\n"),
              std::string::npos)
        << m_output.out;
    EXPECT_EQ(trace.Operations().find("Set"), std::string::npos) << trace.Operations();
}

TEST_F(ProfileVerbsTest, BadFilesAndArgumentsAreRefusedBeforeAnythingIsSent)
{
    ASSERT_EQ(Run(ProfileVerbSave, {m_file}), KVX_EXIT_OK) << m_output.err;
    const std::string saved = SimDriverProcess::ReadFileText(m_file);
    struct Case {
        int (*verb)(const CVerbArguments&, CVerbOutput&);
        CVerbArguments arguments;
        std::string file; // written first when not empty
        const char* message;
    } cases[] = {
        {ProfileVerbLoad, {m_file}, saved.substr(0, saved.size() - 9), "not JSON, or cut short"},
        {ProfileVerbLoad,
         {m_file},
         "{\"format\": \"kvx-usb-settings\", \"version\": 7}",
         "version: 7 is not"},
        {ProfileVerbLoad, {m_file, "--bogus"}, "", "unknown option --bogus"},
        {ProfileVerbLoad, {}, "", "load takes one file name"},
        {ProfileVerbLoad, {"C:\\no-such-folder\\x.kvxsettings"}, "", "cannot be opened"},
        {ProfileVerbSet, {}, "", "set takes a setting name"},
        {ProfileVerbSet, {"volume", "3"}, "", "no setting named volume"},
        {ProfileVerbSet, {"rate", "48k"}, "", "rate HZ: takes one whole number"},
        {ProfileVerbSet, {"rate", "4294967296"}, "", "rate HZ: takes one whole number"},
        {ProfileVerbSet, {"mode", "fast"}, "", "mode manual|auto: takes manual or auto"},
        {ProfileVerbSet,
         {"asio-depth", "5500"},
         "",
         "asioBufferDepthUs: must be from 1000 to 80000, a multiple of 1000"},
        {ProfileVerbSet,
         {"device-name", "KVX-B2-004711", "Line\nBreak"},
         "",
         "devices[0].name: contains a control byte (0x0A)"},
        {ProfileVerbSet,
         {"asio-depth", "500"},
         "",
         "asioBufferDepthUs: must be from 1000 to 80000"},
        {ProfileVerbSet,
         {"device-name", "KVX-B2-004711", std::string(40, 'n')},
         "",
         "devices[0].name: longer than 39 bytes (40)"},
        {ProfileVerbSet, {"ranking", "A", "A"}, "", "names a serial number twice"},
        {ProfileVerbSet,
         {"input-name", "KVX-B2-004711", "one", "Mic"},
         "",
         "takes a serial number, a channel index"},
        {ProfileVerbGet, {"rate", "mode"}, "", "get takes at most one setting name"},
    };
    SimTrace trace(m_trace);
    for (const Case& c : cases) {
        if (!c.file.empty())
            WriteProfileText(c.file);
        EXPECT_EQ(Run(c.verb, c.arguments), KVX_EXIT_INVALID) << c.message;
        EXPECT_NE(m_output.err.find(c.message), std::string::npos)
            << c.message << ": " << m_output.err;
    }
    EXPECT_EQ(trace.Operations(), "");
}

TEST_F(ProfileVerbsTest, WithoutADriverEveryVerbSaysSo)
{
    m_sim.Stop();
    for (auto verb : {ProfileVerbSave, ProfileVerbGet}) {
        EXPECT_EQ(Run(verb, verb == ProfileVerbSave ? CVerbArguments{m_file} : CVerbArguments{}),
                  KVX_EXIT_NO_DRIVER);
        EXPECT_NE(m_output.err.find("no driver: the control device cannot be opened"),
                  std::string::npos)
            << m_output.err;
    }
}

TEST_F(ProfileVerbsTest, TheControlProgramRunsTheVerbs)
{
    const struct {
        std::string arguments;
        DWORD exitCode;
        const char* output;
    } cases[] = {
        {"get rate", 0, "rate 48000"},
        {"set mode manual", 0, "applied    rate selection mode: auto -> manual"},
        {"save \"" + m_file + "\"", 0, "saved the settings of 2 device(s)"},
        {"load \"" + m_file + "\" --dry-run", 0, "32 unchanged"},
        {"set rate 12345", 1,
         "skipped    sampling rate: 12345 Hz (not among the rates the driver offers)"},
        {"load", 2, "load takes one file name"},
        {"help", 0, "input-name SERIAL INDEX NAME"},
    };
    // Standard output is in text mode: lines end with a carriage return as well.
    for (const auto& c : cases) {
        const ToolRun run = RunTool("kvxuctl.exe", c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.output), std::string::npos) << c.arguments << "\n"
                                                                << run.output;
    }
}

namespace {

// The arguments of a command line as the C runtime splits them, the program's name left out.
CVerbArguments Split(const std::string& line)
{
    const std::wstring wide(line.begin(), line.end());
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(wide.c_str(), &count);
    CVerbArguments arguments;
    for (int i = 1; i < count; ++i) {
        const std::wstring word = words[i];
        arguments.push_back(std::string(word.begin(), word.end()));
    }
    LocalFree(words);
    return arguments;
}

} // namespace

TEST_F(ProfileVerbsTest, EveryLineOfGetGoesBackThroughSetUnchanged)
{
    ASSERT_EQ(m_sim.Run({"set", "serial", "2", "KVX B1 010203"}).exitCode, 0);
    ASSERT_EQ(m_sim.Run({"set", "name", "1", "Say \"hi\" \\"}).exitCode, 0);
    // Names that look like options, as check and load take them.
    ASSERT_EQ(m_sim.Run({"set", "name", "2", "--json"}).exitCode, 0);
    ASSERT_EQ(m_sim.Run({"set", "channel", "65536", "-- unused --"}).exitCode, 0);
    ASSERT_EQ(Run(ProfileVerbGet, {}), KVX_EXIT_OK) << m_output.err;
    const std::string lines = m_output.out;
    EXPECT_NE(lines.find("ranking KVX-B2-004711 \"KVX B1 010203\"\n"), std::string::npos) << lines;
    size_t start = 0;
    for (size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = lines.substr(start, end - start);
        ASSERT_EQ(Run(ProfileVerbSet, Split("kvxuctl " + line)), KVX_EXIT_OK)
            << line << "\n"
            << m_output.err << m_output.out;
        EXPECT_EQ(m_output.out.find("applied"), std::string::npos) << line << "\n" << m_output.out;
    }

    // The JSON of get is a profile: a load takes it, and finds nothing to change.
    ASSERT_EQ(Run(ProfileVerbGet, {"--json"}), KVX_EXIT_OK);
    WriteProfileText(m_output.out);
    ASSERT_EQ(Run(ProfileVerbLoad, {m_file}), KVX_EXIT_OK) << m_output.err;
    EXPECT_NE(m_output.out.find("\n32 unchanged\n"), std::string::npos) << m_output.out;

    // A serial with a control byte cannot be typed back: its lines are left out, and named.
    ASSERT_EQ(m_sim
                  .Run({"set", "serial", "2",
                        "KVX\x01"
                        "-B1"})
                  .exitCode,
              0);
    ASSERT_EQ(Run(ProfileVerbGet, {}), KVX_EXIT_INCOMPLETE);
    EXPECT_EQ(m_output.out.find("\\x01"), std::string::npos) << m_output.out;
    EXPECT_NE(m_output.err.find("not printed"), std::string::npos) << m_output.err;
}

TEST_F(ProfileVerbsTest, AfterAnUnplugNoProfileOperationRenumbersTheOthers)
{
    ASSERT_EQ(Run(ProfileVerbSave, {m_file}), KVX_EXIT_OK);
    ASSERT_EQ(Run(ProfileVerbSet, {"ranking", "KVX-B1-010203", "KVX-B2-004711"}), KVX_EXIT_OK);
    ASSERT_EQ(m_sim.Run({"unplug", "2"}).exitCode, 0);
    auto rankings = [&] {
        const std::string status = m_sim.Run({"status"}).output;
        std::string seen;
        for (size_t at = status.find(" ranking "); at != std::string::npos;
             at = status.find(" ranking ", at + 1))
            seen += status.substr(at, status.find(',', at) - at);
        return seen;
    };
    const std::string before = rankings();
    const struct {
        int (*verb)(const CVerbArguments&, CVerbOutput&);
        CVerbArguments arguments;
    } operations[] = {
        {ProfileVerbSet, {"rate", "48000"}},
        {ProfileVerbSet, {"device-name", "KVX-B2-004711", "Studio"}},
        {ProfileVerbLoad, {m_file}}, // names the unplugged device too
        {ProfileVerbLoad, {m_file, "--match-by-order"}},
    };
    for (const auto& operation : operations) {
        EXPECT_NE(Run(operation.verb, operation.arguments), KVX_EXIT_INVALID) << m_output.err;
        EXPECT_EQ(rankings(), before) << operation.arguments[0] << "\n" << m_output.out;
    }
    ASSERT_EQ(m_sim.Run({"plug", "2"}).exitCode, 0);
    const ToolRun selftest = RunTool("kvxuctl.exe", "selftest");
    EXPECT_EQ(selftest.exitCode, 0u) << selftest.output;
}

TEST_F(ProfileVerbsTest, WhatIsSavedAlwaysLoadsAgain)
{
    const std::vector<std::vector<std::string>> setups = {
        {}, {"set", "asio-depth", "500"}, {"fault", "duplicate"}, {"fault", "unterminated"}};
    for (const std::vector<std::string>& setup : setups) {
        if (!setup.empty()) {
            ASSERT_EQ(m_sim.Run(setup).exitCode, 0);
        }
        const int saved = Run(ProfileVerbSave, {m_file});
        EXPECT_NE(saved, KVX_EXIT_INVALID) << m_output.err;
        EXPECT_EQ(saved == KVX_EXIT_OK, m_output.err.empty()) << "notes say what was left out";
        EXPECT_NE(Run(ProfileVerbLoad, {m_file, "--dry-run"}), KVX_EXIT_INVALID)
            << (setup.empty() ? "" : setup[1]) << ": " << m_output.err;
        ASSERT_EQ(m_sim.Run({"fault", "clear"}).exitCode, 0);
    }
}
