// The whole panel in the test's own process, for suites that look at its windows: the
// stand-in first (the view opens the driver as it is made), then the application, waited
// for until its view shows everything the driver has reported.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KVX_USB_CPL.h"
#include "SettledView.h"
#include "SimDriverProcess.h"

inline void StartPanelInProcess(SimDriverProcess& sim, const std::string& scenario = "demo",
                                std::vector<std::string> extra = {})
{
    ASSERT_TRUE(sim.Start(scenario, std::move(extra))) << sim.Log();
    static char commandLine[] = "";
    ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
    ASSERT_TRUE(theApp.InitInstance()) << "another panel holds the instance mutex?";
    ASSERT_TRUE(GetActiveSettingsView() && WaitForSettledView(*GetActiveSettingsView()));
}
