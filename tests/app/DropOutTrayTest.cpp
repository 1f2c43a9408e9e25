// The drop-out watch as a user meets it: the real panel, started hidden with the watch on,
// against the stand-in; what the shell shows is read from the bench's own tray, and what
// reached the driver from the stand-in's trace.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "AppMessages.h"
#include "PanelHarness.h"
#include "PanelRegistry.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"
#include "TrayIcon.h"

namespace {

const char kWatchValue[] = "Watch Drop-outs";

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

class DropOutTrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_trace = SimDriverProcess::TempPath("dropout-tray-trace.txt");
        DeleteFileA(m_trace.c_str());
        ASSERT_TRUE(m_sim.Start("demo", {"--trace", m_trace})) << m_sim.Log();
        // The option as the tray menu or the page stores it.
        const DWORD on = 1;
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, KVX_PANEL_REGISTRY_KEY,
                                                 kWatchValue, REG_DWORD, &on, sizeof on));
    }
    void TearDown() override
    {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, KVX_PANEL_REGISTRY_KEY, kWatchValue);
    }

    void Sim(std::initializer_list<std::string> args)
    {
        const SimResult result = m_sim.Run(args);
        ASSERT_EQ(0, result.exitCode) << result.output;
    }

    // The icon whose tip tells this count of drop-outs, waited for.
    static HWND IconCounting(const std::string& dropOuts)
    {
        const std::string start =
            std::string(kMainTitle) + ": 2 devices connected, " + dropOuts + " since ";
        HWND icon = nullptr;
        PumpUntil([&] {
            return (icon = BenchTrayIconWith(
                        [&](const std::string& tip) { return StartsWith(tip, start); })) != nullptr;
        });
        return icon;
    }

    static std::string BalloonStarting(HWND icon, const std::string& start, DWORD timeoutMs)
    {
        std::string text;
        PumpUntil([&] { return StartsWith(text = BenchTrayBalloon(icon), start); }, timeoutMs);
        return text;
    }

    SimDriverProcess m_sim;
    std::string m_trace;
};

} // namespace

// Hidden and watching: one statistics request a second and nothing else; a burst makes one
// balloon with the count, the time and the settings; the next bursts within 30 s wait and
// come summed in the next one; the tip counts them all; a click on the balloon opens the
// panel on the buffer settings page.
TEST_F(DropOutTrayTest, AHiddenPanelWarnsOfDropOutsInTheTray)
{
    CPanelProcess panel("-hide");
    HWND frame = panel.WaitForMainWindow(false);
    ASSERT_TRUE(frame);
    ASSERT_TRUE(IconCounting("0 drop-outs")) << "the tip tells the watch";

    SimTrace hidden(m_trace);
    const DWORD start = GetTickCount();
    PumpUntil([] { return false; }, 5000); // a span to count requests over, not a wait
    const double seconds = (GetTickCount() - start) / 1000.0;
    const int reads = hidden.Count("GetAsioStatistics");
    std::printf("statistics requests while hidden and watching: %d in %.2f s\n", reads, seconds);
    EXPECT_NEAR(seconds, reads, 1.0);
    EXPECT_EQ(std::string::npos, hidden.Operations().find_first_not_of("GetAsioStatistics "))
        << hidden.Operations();

    const std::string settings = "\nASIO buffer 5.0 ms (256 samples) at 48.0 kHz";
    Sim({"dropouts", "add", "3"});
    HWND icon = IconCounting("3 drop-outs");
    ASSERT_TRUE(icon);
    const std::string first = BalloonStarting(icon, "3 drop-outs at ", 10000);
    EXPECT_EQ("3 drop-outs at hh:mm:ss" + settings,
              first.substr(0, 15) + "hh:mm:ss" + first.substr(std::min<size_t>(23, first.size())));

    Sim({"dropouts", "add", "2"});
    ASSERT_TRUE(IconCounting("5 drop-outs"));
    Sim({"dropouts", "add", "4"});
    icon = IconCounting("9 drop-outs");
    ASSERT_TRUE(icon);
    const std::string held = BenchTrayBalloon(icon);
    EXPECT_TRUE(held.empty() || held == first) << "a balloon within 30 s: " << held;
    const std::string summed = BalloonStarting(icon, "6 drop-outs from ", 40000);
    // The tray's tooltip hands another process at most 80 characters of it.
    ASSERT_NE(std::string::npos, summed.find('\n')) << "no summed balloon: " << summed;
    EXPECT_EQ(0u, settings.find(summed.substr(summed.find('\n')))) << summed;

    // The shell reports a click on the balloon to the icon's window.
    PostMessageA(frame, WM_TRAY_NOTIFY, TRAY_ICON_ID, NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(panel.WaitForMainWindow(true));
    EXPECT_TRUE(
        PumpUntil([&] { return RemoteSelectedTreeText(FindPageTree(frame)) == "Settings"; }));
}
