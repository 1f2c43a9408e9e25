// "kvxuctl watch --dropouts --json" against a stand-in that drops out ten times a second:
// one JSON object a line, a line per rise with the time and the settings in force, no change
// records, and the usual end when the driver goes away.
#include <gtest/gtest.h>

#include <thread>

#include <nlohmann/json.hpp>

#include "ExitStatus.h"
#include "MessagePump.h"
#include "SimDriverProcess.h"
#include "ToolProcess.h"

TEST(DropOutWatchToolTest, PrintsARisePerLineWithTheSettingsInForce)
{
    SimDriverProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Log();
    ASSERT_EQ(0, sim.Run({"dropouts", "rate", "600/min"}).exitCode);
    ASSERT_EQ(0, sim.Run({"notify", "3", "9", "0"}).exitCode); // a change record, left out
    // The stand-in goes once the watcher has had a few seconds of drop-outs to tell.
    std::thread ender([&] {
        PumpUntil(
            [&] {
                const std::string status = sim.Run({"status"}).output;
                const size_t at = status.find("drop-outs ");
                return at != std::string::npos && std::stoul(status.substr(at + 10)) >= 40;
            },
            20000);
        sim.Stop();
    });
    const ToolRun run = RunTool("kvxuctl.exe", "watch --dropouts --json", 30000);
    ender.join();
    EXPECT_EQ(unsigned(KVX_EXIT_NO_DRIVER), run.exitCode) << run.output;

    std::vector<nlohmann::json> lines;
    size_t at = 0;
    for (size_t end; (end = run.output.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(nlohmann::json::parse(run.output.substr(at, end - at)));
    ASSERT_GE(lines.size(), 4u) << run.output;
    EXPECT_EQ(true, lines.front()["watching"]);
    EXPECT_EQ("ERROR_BROKEN_PIPE", lines.back()["status"]);
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        const nlohmann::json& rise = lines[i];
        EXPECT_GE(rise["dropOuts"].get<int>(), 1) << rise;
        EXPECT_EQ(48000, rise["sampleRateHz"]) << rise;
        EXPECT_EQ(5000, rise["asioBufferDepthUs"]) << rise;
        EXPECT_EQ(19u, rise["time"].get<std::string>().size()) << rise;
    }
    EXPECT_EQ(unsigned(KVX_EXIT_INVALID), RunTool("kvxuctl.exe", "watch --everything").exitCode);
}
