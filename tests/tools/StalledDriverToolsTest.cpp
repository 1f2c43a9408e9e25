// The console tools on a driver that stops answering: each ends within a few seconds, says
// that the driver does not respond and exits with 3, instead of waiting out the stall.
#include <gtest/gtest.h>

#include <string>

#include "SimDriverProcess.h"
#include "ToolProcess.h"

namespace {

struct StalledRun {
    const char* exe;
    const char* arguments;
};

const StalledRun kRuns[] = {
    {"kvxuinfo.exe", ""},
    {"kvxuinfo.exe", "--json"},
    {"kvxuctl.exe", "get"},
    {"kvxuctl.exe", "get rate"},
    {"kvxuctl.exe", "set rate 48000"},
    {"kvxuctl.exe", "save stalled.kvxsettings"},
    {"kvxuctl.exe", "load --dry-run stalled.kvxsettings"},
    {"kvxuctl.exe", "watch"},
};

} // namespace

TEST(StalledDriverTools, EachEndsSoonSayingTheDriverDoesNotRespondWithExitThree)
{
    SimDriverProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Log();
    // A good profile to load, and to be left as it is by a save on the stalled driver.
    ASSERT_EQ(RunTool("kvxuctl.exe", "save stalled.kvxsettings").exitCode, 0u);
    for (const StalledRun& run : kRuns) {
        ASSERT_EQ(0, sim.Run({"fault", "stall", "8000"}).exitCode);
        const DWORD start = GetTickCount();
        const ToolRun result = RunTool(run.exe, run.arguments, 15000);
        const DWORD took = GetTickCount() - start;
        SCOPED_TRACE(std::string(run.exe) + " " + run.arguments);
        EXPECT_EQ(3u, result.exitCode) << result.output;
        EXPECT_LT(took, 5000u);
        EXPECT_NE(std::string::npos, result.output.find("KVX_USB_E_NOT_RESPONDING"))
            << result.output;
        ASSERT_EQ(0, sim.Run({"fault", "clear"}).exitCode);
    }
    EXPECT_EQ(RunTool("kvxuctl.exe", "check stalled.kvxsettings").exitCode, 0u);
    DeleteFileA("stalled.kvxsettings");
}
