// The setup program, run silently as a deployment tool would: what it installs, the start at
// logon for every user, hidden in the tray, a running panel ended by the setup and started again
// hidden, or ended by the uninstaller, everything it made gone afterwards and nothing else, and
// an update over an older version that takes away the per-user start at logon of old.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Installation.h"
#include "KvxVersion.h"
#include "SimDriverProcess.h"
#include "TrayProbe.h"

namespace {

using namespace installation;

const UINT kTrayIconId = 0x42424242;

std::string SetupPath()
{
    return DistPath(KVX_SETUP_NAME);
}

std::string OlderSetupPath()
{
    return TestDir() + "\\kvxucpl-1.00-setup.exe";
}

// Pumps until a panel runs with its window and tray icon, hidden; that window, or null.
HWND WaitForHiddenPanel(DWORD notProcess = 0)
{
    HWND frame = nullptr;
    PumpUntil(
        [&] {
            frame = RunningPanel();
            return frame && ProcessOf(frame) != notProcess && TrayIconExists(frame, kTrayIconId);
        },
        15000);
    if (frame && ProcessOf(frame) == notProcess)
        return nullptr;
    EXPECT_FALSE(frame && IsWindowVisible(frame));
    return frame;
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(SetupPath())) << SetupPath();
        RemoveLeftovers();
    }
    void TearDown() override { RemoveLeftovers(); }

    // An installation left by an earlier, failed run would make this one pass or fail by chance.
    void RemoveLeftovers()
    {
        if (Exists(InstallDir() + "\\Uninstall.exe"))
            UninstallSetupProgram();
    }

    static DWORD RunSetup(const std::string& setup) { return RunToEnd(Quoted(setup) + " /S"); }

    static void ExpectInstalled(const char* version, bool startsAtLogon = true)
    {
        ExpectProgramsInstalled(startsAtLogon);
        const std::string dir = InstallDir();
        EXPECT_TRUE(Exists(dir + "\\Uninstall.exe"));
        EXPECT_EQ(kTitle, RegText(HKEY_LOCAL_MACHINE, kSetupUninstallKey, "DisplayName"));
        EXPECT_EQ(version, RegText(HKEY_LOCAL_MACHINE, kSetupUninstallKey, "DisplayVersion"));
        EXPECT_EQ("Volmar", RegText(HKEY_LOCAL_MACHINE, kSetupUninstallKey, "Publisher"));
        EXPECT_EQ(Quoted(dir + "\\Uninstall.exe"),
                  RegText(HKEY_LOCAL_MACHINE, kSetupUninstallKey, "UninstallString"));
        DWORD sizeKiB = 0;
        EXPECT_TRUE(RegDword(HKEY_LOCAL_MACHINE, kSetupUninstallKey, "EstimatedSize", &sizeKiB));
        EXPECT_GT(sizeKiB, 100u); // the two executables alone are several hundred KiB
    }

    static void ExpectRemoved()
    {
        ExpectNothingLeft();
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSetupUninstallKey));
    }
};

TEST_F(InstallerTest, SilentSetupStartsAtLogonForEveryUserHiddenAndUninstallRemovesItAll)
{
    // Another program's start at logon, which the uninstaller must leave alone.
    SetRegText(HKEY_CURRENT_USER, kRunKey, "KvxTestOtherProgram", "C:\\other.exe");

    ASSERT_EQ(0u, RunSetup(SetupPath()));
    ExpectInstalled(KVX_VERSION_TEXT);
    // Silent, and no panel ran: the setup started none.
    EXPECT_EQ(nullptr, RunningPanel());

    // Another user's logon (Wine has one user: the command line of the start at logon, run as
    // that logon would): the panel, hidden in the tray.
    CProcess atLogon(RegText(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    HWND frame = WaitForHiddenPanel();
    ASSERT_TRUE(frame);
    EXPECT_EQ(atLogon.Id(), ProcessOf(frame));
    // A second start at logon (a per-user value an older version left in another hive) ends
    // at once and brings no window up.
    EXPECT_EQ(0u, RunToEnd(RunAtLogonCommand(), 15000));
    EXPECT_FALSE(IsWindowVisible(frame));

    ASSERT_TRUE(UninstallSetupProgram());
    EXPECT_NE(DWORD(STILL_ACTIVE), atLogon.WaitForExit(15000)) << "the running panel was not ended";
    ExpectRemoved();
    EXPECT_EQ("C:\\other.exe", RegText(HKEY_CURRENT_USER, kRunKey, "KvxTestOtherProgram"));
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "KvxTestOtherProgram");
}

TEST_F(InstallerTest, UpdateOverARunningPanelStartsItAgainHiddenAndTakesThePerUserStart)
{
    ASSERT_TRUE(Exists(OlderSetupPath())) << OlderSetupPath();
    ASSERT_EQ(0u, RunSetup(OlderSetupPath()));
    ExpectInstalled("1.00");
    // Versions before this one started the panel at logon from the hive of whoever ran the setup.
    SetRegText(HKEY_CURRENT_USER, kRunKey, kRunValue, RunAtLogonCommand());

    CProcess running(RunAtLogonCommand());
    ASSERT_TRUE(WaitForHiddenPanel());
    ASSERT_EQ(0u, RunSetup(SetupPath()));
    EXPECT_NE(DWORD(STILL_ACTIVE), running.WaitForExit(15000)) << "the running panel was not ended";
    ExpectInstalled(KVX_VERSION_TEXT);
    // Started again by the setup, from the files it installed: hidden, with its tray icon.
    HWND restarted = WaitForHiddenPanel(running.Id());
    ASSERT_TRUE(restarted) << "the panel was not started again";
    // Its log, where a deployment tool finds it, says so.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string log = SimDriverProcess::ReadFileText(std::string(temp) + "kvxucpl-setup.log");
    EXPECT_NE(std::string::npos, log.find("Starting the control panel again, hidden.")) << log;

    ASSERT_TRUE(UninstallSetupProgram());
    EXPECT_TRUE(PumpUntil([] { return RunningPanel() == nullptr; }, 15000));
    ExpectRemoved();
}

TEST_F(InstallerTest, SetupWithoutTheStartAtLogonRemovesAnEarlierOne)
{
    ASSERT_EQ(0u, RunSetup(OlderSetupPath()));
    ASSERT_EQ(0u, RunToEnd(Quoted(SetupPath()) + " /S /STARTATLOGON=0"));
    ExpectInstalled(KVX_VERSION_TEXT, false);
    ASSERT_TRUE(UninstallSetupProgram());
    ExpectRemoved();
}

} // namespace
