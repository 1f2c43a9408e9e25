// The real panel among the events of the desktop around it, against the stand-in: a shell
// that restarts and has lost its icons, the tray icon's tip as the driver's state changes,
// and a resume from sleep. What the shell shows is read from the bench's own tray.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "KvxuUsbDriver.h"
#include "PanelHarness.h"
#include "ProfileCommands.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"
#include "TrayIcon.h"

namespace {

// The page dialogs the view holds: those not shown first are made after the window shows.
int PageCount(HWND view)
{
    int pages = 0;
    for (HWND child = GetWindow(view, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = "";
        GetClassNameA(child, className, sizeof className);
        pages += std::strcmp(className, "#32770") == 0;
    }
    return pages;
}

std::string Tip(const char* fact)
{
    return std::string(kMainTitle) + ": " + fact;
}

class ShellEventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_trace = SimDriverProcess::TempPath("shell-events-trace.txt");
        DeleteFileA(m_trace.c_str());
        // The panel inherits this stand-in's pipe name.
        ASSERT_TRUE(m_sim.Start("demo", {"--trace", m_trace})) << m_sim.Log();
        // The rate is the user's to choose, as the recent profile changes it.
        ASSERT_EQ(m_sim.Run({"set", "mode", "manual"}).exitCode, 0);
        ASSERT_EQ(0u, m_driver.Open(KVX_USB_DEVICE_NAME));
    }

    void Sim(std::initializer_list<std::string> args)
    {
        const SimResult result = m_sim.Run(args);
        ASSERT_EQ(0, result.exitCode) << result.output;
    }

    // Whether the bench's tray comes to show the panel's icon with this tip.
    static bool TrayShows(const std::string& tip)
    {
        return PumpUntil([&] { return BenchTrayIcon(tip) != nullptr; });
    }

    uint32_t Rate()
    {
        _KVX_USB_SAMPLE_RATE_INFO info = {};
        m_driver.GetSampleRateInfo(&info);
        return info.CurrentRate;
    }

    SimDriverProcess m_sim;
    CKvxuUsbDriver m_driver;
    std::string m_trace;
};

// A recent profile of the driver as it is, with another sampling rate; gone with the object.
class RecentProfile {
public:
    RecentProfile(CKvxuUsbDriver& driver, uint32_t rate)
        : m_path(SimDriverProcess::TempPath("shell-events.kvxsettings"))
    {
        std::vector<std::string> notes;
        CProfile profile = ReadProfileFromDriver(driver, notes);
        profile.sampleRateHz = rate;
        std::string error;
        m_saved = SaveProfileFile(m_path, profile, error);
        CProfileRecentList().Add(m_path);
    }
    ~RecentProfile()
    {
        CProfileRecentList().Remove(m_path);
        DeleteFileA(m_path.c_str());
    }
    bool Saved() const { return m_saved; }

private:
    std::string m_path;
    bool m_saved = false;
};

} // namespace

// A restarted shell has lost every icon and says so with "TaskbarCreated": a panel started
// with -hide adds its icon again, and it leads to the panel as before.
TEST_F(ShellEventsTest, TheTrayIconComesBackWithItsTipWhenTheShellRestarts)
{
    RecentProfile profile(m_driver, 96000);
    ASSERT_TRUE(profile.Saved());
    CPanelProcess panel("-hide");
    HWND frame = panel.WaitForMainWindow(false);
    ASSERT_TRUE(frame);
    const std::string tip = Tip("2 devices connected");
    ASSERT_TRUE(TrayShows(tip)) << "the tray never showed the panel's icon";

    // The icon deleted from outside, as the shell's loss of its icon list leaves it.
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.hWnd = frame;
    icon.uID = TRAY_ICON_ID;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    ASSERT_TRUE(PumpUntil([&] { return BenchTrayIcon(tip) == nullptr; }));
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_TRUE(TrayShows(tip)) << "no icon after the shell's restart";

    // A right press on the icon the tray shows opens the panel's menu; its recent profile
    // loads. Another process's menu cannot be read: it is walked with the keyboard.
    PostMessageA(BenchTrayIcon(tip), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 4));
    HWND menu = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (menu = FindOpenMenu(panel.Id())) != nullptr; }));
    for (UINT key : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}) // "Settings &Profiles", "&1 ..."
        PostMessageA(menu, WM_KEYDOWN, key, 0);
    EXPECT_TRUE(PumpUntil([&] { return Rate() == 96000; })) << "the recent profile did not load";
    EXPECT_FALSE(IsWindowVisible(frame));
}

// Told while the window is hidden in the tray, where the tip is all the user sees.
TEST_F(ShellEventsTest, TheTipTellsTheDeviceCountAndWhetherTheDriverIsThere)
{
    CPanelProcess panel("-hide");
    ASSERT_TRUE(panel.WaitForMainWindow(false));
    EXPECT_TRUE(TrayShows(Tip("2 devices connected")));
    Sim({"unplug", "1"}); // a change record
    EXPECT_TRUE(TrayShows(Tip("1 device connected")));
    m_sim.Stop(); // the driver goes, with a removal broadcast
    EXPECT_TRUE(TrayShows(Tip("driver closed")));
    ASSERT_TRUE(m_sim.Start("demo")) << m_sim.Log(); // and comes back, announcing itself
    EXPECT_TRUE(TrayShows(Tip("2 devices connected")));
    Sim({"fault", "stall", "4000"}); // the next request goes unanswered for a while
    Sim({"unplug", "1"});
    EXPECT_TRUE(TrayShows(Tip("driver not responding")));
    EXPECT_TRUE(TrayShows(Tip("1 device connected"))) << "read again once it answers";
}

// One resume brings two power events when a user wakes the machine: the page shown reads
// the driver once, and every other page when it is next shown.
TEST_F(ShellEventsTest, AResumeFromSleepReadsThePageShownOnceAndTheOthersWhenShown)
{
    CPanelProcess panel("");
    HWND frame = panel.WaitForMainWindow(true);
    ASSERT_TRUE(frame);
    HWND tree = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (tree = FindPageTree(frame)) != nullptr; }));
    ASSERT_TRUE(PumpUntil([&] { return PageCount(GetParent(tree)) == 5; }));
    // Both pages read once, so that neither misses anything before the resume.
    ASSERT_TRUE(SelectTreeItem(tree, 4)); // "Settings"
    ASSERT_TRUE(SelectTreeItem(tree, 0)); // "Devices"

    SimTrace trace(m_trace);
    for (WPARAM event : {WPARAM(PBT_APMRESUMEAUTOMATIC), WPARAM(PBT_APMRESUMESUSPEND)}) {
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutA(frame, WM_POWERBROADCAST, event, 0, SMTO_NORMAL,
                                        kRemoteAnswerMs, &answer));
    }
    EXPECT_TRUE(PumpUntil([&] { return trace.Count("GetDeviceIdList") > 0; }))
        << "the devices page did not read the driver\n"
        << trace.Text();
    EXPECT_EQ(1, trace.Count("GetDeviceIdList")) << "one resume, one read\n" << trace.Text();
    EXPECT_EQ(0, trace.Count("GetStreamBufferDepth")) << "a hidden page read\n" << trace.Text();

    ASSERT_TRUE(SelectTreeItem(tree, 4));
    EXPECT_TRUE(PumpUntil([&] { return trace.Count("GetStreamBufferDepth") == 1; }))
        << "the settings page was not read again when shown\n"
        << trace.Text();
}
