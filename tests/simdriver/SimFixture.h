// A running stand-in (demo scenario unless told otherwise) and a channel open to it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KvxuUsbDriver.h"
#include "SimDriverProcess.h"

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override { StartSim(); }

    void StartSim(const std::string& scenario = "demo", std::vector<std::string> extra = {})
    {
        ASSERT_TRUE(sim.Start(scenario, extra)) << sim.Log();
        ASSERT_EQ(0u, drv.Open(KVX_USB_DEVICE_NAME));
    }

    // Runs a control command that must succeed.
    void Command(std::initializer_list<std::string> args)
    {
        SimResult r = sim.Run(args);
        ASSERT_EQ(0, r.exitCode) << r.output;
    }

    SimDriverProcess sim;
    CKvxuUsbDriver drv;
};
