// The driver self-test against the stand-in: its scenarios pass every check; each way the
// stand-in can misbehave fails exactly the checks that name it; a stall ends as a timeout;
// kvxuctl's writes change nothing, its JSON parses and its exit codes say what happened.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

#include "ChangeWatcher.h"
#include "KvxuUsbDriver.h"
#include "SelfTest.h"
#include "SimDriverProcess.h"
#include "ToolProcess.h"

using nlohmann::json;

namespace {

// "GetDeviceProperties DeviceName" for every check with the verdict.
std::set<std::string> Named(const CCheckList& checks, CCheck::Verdict verdict)
{
    std::set<std::string> named;
    for (const CCheck& c : checks.Checks())
        if (c.verdict == verdict)
            named.insert(c.operation + " " + c.field);
    return named;
}

std::string Listing(const CCheckList& checks)
{
    return RenderChecksText(checks);
}

// The stand-in's status without its clients, which come and go with every program.
std::string Settings(SimDriverProcess& sim)
{
    std::string status = sim.Run({"status"}).output;
    std::string kept;
    size_t start = 0;
    while (start < status.size()) {
        size_t end = status.find('\n', start);
        std::string line = status.substr(start, end == std::string::npos ? end : end - start + 1);
        if (line.find("client") == std::string::npos)
            kept += line;
        start = end == std::string::npos ? status.size() : end + 1;
    }
    return kept;
}

class SelfTestTest : public ::testing::Test {
protected:
    void Start(const std::string& scenario = "demo")
    {
        ASSERT_TRUE(sim.Start(scenario)) << sim.Log();
    }
    void Command(const std::vector<std::string>& args)
    {
        SimResult r = sim.Run(args);
        ASSERT_EQ(0, r.exitCode) << r.output;
    }
    CCheckList Run(DWORD timeoutMs = 5000, bool write = false)
    {
        SelfTestOptions options;
        options.timeoutMs = timeoutMs;
        options.write = write;
        options.watcherExe = ToolPath("kvxuctl.exe");
        CCheckList checks;
        EXPECT_EQ(0u, RunSelfTest(KVX_USB_DEVICE_NAME, options, checks));
        return checks;
    }
    json RunJson(const std::string& arguments, DWORD expectedExit)
    {
        ToolRun run = RunTool("kvxuctl.exe", arguments);
        EXPECT_EQ(expectedExit, run.exitCode) << run.output;
        json report = json::parse(run.output, nullptr, false);
        EXPECT_FALSE(report.is_discarded()) << run.output;
        return report;
    }

    SimDriverProcess sim;
};

TEST_F(SelfTestTest, TheStandInsScenariosPassEveryCheck)
{
    for (const char* scenario : {"demo", "maximal"}) {
        Start(scenario);
        CCheckList checks = Run();
        EXPECT_EQ(checks.Checks().size(), checks.Count(CCheck::PASS)) << scenario << "\n"
                                                                      << Listing(checks);
        EXPECT_GE(checks.Checks().size(), 40u);
        sim.Stop();
    }
}

// Each misbehaviour and the checks it must fail, no more and no fewer.
struct Misbehaviour {
    std::vector<std::vector<std::string>> commands;
    std::set<std::string> failing;
    std::string seen; // part of the first failing check's seen text, if given
};

TEST_F(SelfTestTest, EachMisbehaviourFailsTheChecksThatNameIt)
{
    const Misbehaviour cases[] = {
        {{{"fault", "short", "GetDriverInfo"}}, {"GetDriverInfo bytes returned"}, "6"},
        {{{"fault", "short", "GetDeviceProperties"}}, {"GetDeviceProperties bytes returned"}, ""},
        {{{"fault", "short", "GetChannelIdLists", "0"}}, {"GetChannelIdLists bytes returned"}, "0"},
        {{{"fault", "overcount"}},
         {"GetDeviceIdList Count", "GetChannelIdLists Input.Count",
          "GetChannelIdLists Output.Count", "GetSampleRateInfo RateCount"},
         "1000"},
        {{{"fault", "unterminated"}},
         {"GetDeviceProperties DeviceName", "GetDeviceProperties SerialNumber",
          "GetSynchModeInfo Name", "GetChannelProperties HardwareName",
          "GetChannelProperties ChannelName"},
         "device 1: no zero byte; device 2: no zero byte (2 of 2 devices)"},
        {{{"fault", "zerostep"}}, {"GetStreamBufferDepth Step"}, "0"},
        {{{"fault", "duplicate"}},
         {"GetDeviceIdList DeviceIds", "GetChannelIdLists ChannelIds"},
         "id 1 more than once"},
        {{{"fault", "GetSampleRateInfo", "1", "0x1F"}},
         {"GetSampleRateInfo status"},
         "ERROR_GEN_FAILURE (0x0000001F)"},
        {{{"fault", "GetDeviceProperties", "1", "1168", "1"}},
         {"GetDeviceProperties status"},
         "device 2: ERROR_NOT_FOUND (0x00000490) (1 of 2 devices)"},
        {{{"fault", "GetDeviceIdList", "1", "0x12345"}}, {"GetDeviceIdList status"}, "0x00012345"},
        {{{"fault", "RegisterNotificationEvent", "1", "6"}},
         {"RegisterNotificationEvent status"},
         "ERROR_INVALID_HANDLE"},
        {{{"fault", "GetNotification", "1", "0x1F"}},
         {"GetNotification queue"},
         "ERROR_GEN_FAILURE (0x0000001F) after 0 records"},
        {{{"set", "rates", "44100", "96000"}},
         {"GetSampleRateInfo CurrentRate"},
         "48000 among 44100, 96000"},
        {{{"set", "ranking", "2", "0"}}, {"GetDeviceProperties Ranking"}, "0, 0"},
        {{{"set", "mode", "7"}, {"set", "master", "2"}},
         {"GetSampleRateMode Mode", "GetClockMaster ClockMaster"},
         "7"},
        {{{"set", "stream-depth", "2100"}, {"set", "wdm-depth", "90000"}},
         {"GetStreamBufferDepth Current", "GetWdmBufferDepth Depth"},
         "2100"},
    };
    for (const Misbehaviour& c : cases) {
        Start();
        for (const std::vector<std::string>& command : c.commands)
            Command(command);
        CCheckList checks = Run();
        const std::string label = c.commands[0][0] + " " + c.commands[0][1];
        EXPECT_EQ(c.failing, Named(checks, CCheck::FAIL)) << label << "\n" << Listing(checks);
        for (const CCheck& check : checks.Checks())
            if (check.verdict == CCheck::FAIL) {
                EXPECT_NE(std::string::npos, check.seen.find(c.seen))
                    << label << ": " << check.seen;
                break;
            }
        sim.Stop();
    }
}

TEST_F(SelfTestTest, AnInterfaceVersionThePanelDoesNotSpeakFailsItsCheck)
{
    std::string scenario = SimDriverProcess::TempPath("interface3.json");
    HANDLE file =
        CreateFileA(scenario.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char text[] = "{\"driver\": {\"interface\": [3, 0]}, \"devices\": [{\"id\": 7}]}";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - 1, &written, nullptr);
    CloseHandle(file);
    Start(scenario);
    CCheckList checks = Run();
    EXPECT_EQ(std::set<std::string>{"GetDriverInfo InterfaceVersionMajor"},
              Named(checks, CCheck::FAIL))
        << Listing(checks);
    DeleteFileA(scenario.c_str());
}

TEST_F(SelfTestTest, AStallEndsAsATimeoutOfTheRequestItHolds)
{
    Start();
    Command({"fault", "stall", "4000"});
    DWORD start = GetTickCount();
    CCheckList checks = Run(300);
    EXPECT_LT(GetTickCount() - start, 3000u);
    // Nothing after the read that timed out: the rest of its own record is not checked.
    EXPECT_EQ(std::set<std::string>{"GetDriverInfo status"}, Named(checks, CCheck::FAIL))
        << Listing(checks);
    EXPECT_EQ(checks.Checks().size(), checks.Count(CCheck::SKIP) + 1);
    EXPECT_NE(std::string::npos, checks.Checks()[0].seen.find("no answer within 300 ms"));
}

TEST_F(SelfTestTest, WritingBackChangesNothingAndEachWriteIsHeard)
{
    Start();
    const std::string before = Settings(sim);
    json r = RunJson("selftest --write --json", 0);
    EXPECT_EQ(before, Settings(sim));
    EXPECT_EQ(true, r["write"]);
    EXPECT_EQ(0, r["failed"]);
    EXPECT_EQ(0, r["skipped"]);
    std::set<std::string> written;
    for (const json& check : r["checks"])
        if (check["operation"].get<std::string>().compare(0, 3, "Set") == 0)
            written.insert(check["operation"].get<std::string>() + " " +
                           check["field"].get<std::string>() + ": " +
                           check["seen"].get<std::string>());
    EXPECT_EQ((std::set<std::string>{
                  "SetDeviceProperties status: all 2 devices",
                  "SetDeviceProperties change record: all 2 devices",
                  "SetDeviceProperties read back: all 2 devices",
                  "SetChannelProperties status: all 20 channels",
                  "SetChannelProperties change record: all 20 channels",
                  "SetChannelProperties read back: all 20 channels",
                  "SetAsioNameOption status: SUCCESS",
                  "SetAsioNameOption change record: change 3 1 0",
                  "SetAsioNameOption read back: the same bytes",
              }),
              written);

    // A driver that answers wrongly is not written to.
    Command({"fault", "zerostep"});
    const std::string faulty = Settings(sim);
    r = RunJson("selftest --write --json", 1);
    EXPECT_EQ(faulty, Settings(sim));
    EXPECT_EQ(1, r["failed"]);
    EXPECT_EQ(9, r["skipped"]);
}

TEST_F(SelfTestTest, AChangeRecordThatNeverComesFailsOnceAndIsNotWaitedForAgain)
{
    Start();
    // The self-test's own read of the queue is answered; the watcher's reads all fail.
    Command({"fault", "GetNotification", "1000", "0x1F", "1"});
    DWORD start = GetTickCount();
    CCheckList checks = Run(500, true);
    EXPECT_LT(GetTickCount() - start, 4000u);
    EXPECT_EQ(std::set<std::string>{"SetDeviceProperties change record"},
              Named(checks, CCheck::FAIL))
        << Listing(checks);
    EXPECT_EQ((std::set<std::string>{"SetChannelProperties change record",
                                     "SetAsioNameOption change record"}),
              Named(checks, CCheck::SKIP));
}

TEST_F(SelfTestTest, TheWatcherPrintsEachRecordAndIsWaitedForByKind)
{
    Start();
    CChangeWatcher watcher;
    ASSERT_EQ(0u, watcher.Start(ToolPath("kvxuctl.exe"), 20000));
    Command({"notify", "4", "1", "0"});
    Command({"notify", "3", "6", "2"});
    std::string seen;
    EXPECT_TRUE(watcher.WaitForRecord(3, 20000, &seen));
    EXPECT_EQ("change 3 6 2", seen);
    EXPECT_FALSE(watcher.WaitForRecord(3, 200, &seen));
    EXPECT_EQ("none within 200 ms", seen);

    // Without a driver it says so at once.
    sim.Stop();
    CChangeWatcher orphan;
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), orphan.Start(ToolPath("kvxuctl.exe"), 20000));
}

TEST_F(SelfTestTest, ExitCodesTellPassedFailedAndNoDriver)
{
    // The variable names a pipe nobody serves yet.
    json r = RunJson("selftest --json", 3);
    EXPECT_EQ("ERROR_FILE_NOT_FOUND", r["open"]["status"]);
    EXPECT_TRUE(r["checks"].empty());

    Start();
    ToolRun run = RunTool("kvxuctl.exe", "selftest");
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("PASS  GetDeviceIdList")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(" passed, 0 failed, 0 skipped")) << run.output;

    Command({"fault", "GetClockMaster", "1", "0x1F"});
    r = RunJson("selftest --json", 1);
    EXPECT_EQ(1, r["failed"]);
    EXPECT_EQ(2, r["skipped"]); // the rest of the record that did not come
    EXPECT_EQ(r["checks"].size(), r["passed"].get<size_t>() + 3);

    for (const char* arguments : {"", "help"})
        EXPECT_EQ(0u, RunTool("kvxuctl.exe", arguments).exitCode) << arguments;
    for (const char* arguments : {"frobnicate", "selftest --bogus"}) {
        run = RunTool("kvxuctl.exe", arguments);
        EXPECT_EQ(2u, run.exitCode) << arguments;
        EXPECT_NE(std::string::npos, run.output.find("usage: kvxuctl VERB")) << run.output;
    }
}

} // namespace
