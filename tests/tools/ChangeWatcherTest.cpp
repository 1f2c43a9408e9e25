// "kvxuctl watch" against the stand-in: once the driver goes away, whether it stops in good
// order or dies, the watcher says so and ends with exit code 2, within a few seconds.
#include <gtest/gtest.h>

#include <functional>

#include "ChangeWatcher.h"
#include "SimDriverProcess.h"
#include "ToolProcess.h"

TEST(ChangeWatcherTest, EndsWithTwoWhenTheDriverGoesAway)
{
    const struct {
        const char* how;
        std::function<void(SimDriverProcess&)> end;
    } endings[] = {
        {"stopped", [](SimDriverProcess& sim) { sim.Stop(); }},
        {"killed", [](SimDriverProcess& sim) { sim.Kill(); }},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.how);
        SimDriverProcess sim;
        ASSERT_TRUE(sim.Start()) << sim.Log();
        CChangeWatcher watcher;
        ASSERT_EQ(0u, watcher.Start(ToolPath("kvxuctl.exe"), 20000));
        ending.end(sim);
        std::string last;
        EXPECT_EQ(3u, watcher.WaitForEnd(10000, &last));
        EXPECT_EQ("error the driver went away: ERROR_BROKEN_PIPE (0x0000006D)", last);
    }
}
