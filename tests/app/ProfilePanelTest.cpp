// Settings profiles in the real panel, against the stand-in: the File menu's Load Settings...
// through the standard Open dialog, the plan and the result dialog, and the tray's submenu
// with a recent profile that loads at once.
#include <gtest/gtest.h>

#include <windows.h>

#include "AppMessages.h"
#include "KvxuUsbDriver.h"
#include "PanelHarness.h"
#include "ProfileCommands.h"
#include "ProfileFile.h"
#include "ProfileRead.h"
#include "SimDriverProcess.h"
#include "TrayIcon.h"
#include "resource.h"

namespace {

class ProfilePanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start("demo")) << m_sim.Log(); // the panel inherits its pipe
        // The rate is the user's to choose, as these loads change it.
        ASSERT_EQ(m_sim.Run({"set", "mode", "manual"}).exitCode, 0);
        ASSERT_EQ(m_driver.Open(KVX_USB_DEVICE_NAME), 0u);
        m_file = SimDriverProcess::TempPath("panel.kvxsettings");
        m_panel.reset(new CPanelProcess(""));
        m_frame = m_panel->WaitForMainWindow(true);
        ASSERT_TRUE(m_frame);
    }
    void TearDown() override
    {
        if (m_frame)
            PostMessageA(m_frame, WM_COMMAND, ID_APP_QUIT, 0);
        m_panel.reset();
        CProfileRecentList().Remove(m_file);
        DeleteFileA(m_file.c_str());
    }

    // A profile of the driver as it is, with another sampling rate.
    void SaveWithRate(uint32_t rate)
    {
        std::vector<std::string> notes;
        CProfile profile = ReadProfileFromDriver(m_driver, notes);
        profile.sampleRateHz = rate;
        std::string error;
        ASSERT_TRUE(SaveProfileFile(m_file, profile, error)) << error;
    }

    uint32_t Rate()
    {
        _KVX_USB_SAMPLE_RATE_INFO info = {};
        m_driver.GetSampleRateInfo(&info);
        return info.CurrentRate;
    }

    // The panel's visible dialog with this title, once there.
    HWND WaitForDialog(const char* title)
    {
        HWND dialog = nullptr;
        PumpUntil([&] {
            dialog = FindWindowA("#32770", title);
            DWORD process = 0;
            GetWindowThreadProcessId(dialog, &process);
            return dialog && IsWindowVisible(dialog) && process == m_panel->Id();
        });
        return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
    }

    static std::string Summary(HWND dialog)
    {
        char text[256] = "";
        GetDlgItemTextA(dialog, IDC_PROFILE_SUMMARY, text, sizeof text);
        return text;
    }

    static void Press(HWND dialog, int button)
    {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     LPARAM(GetDlgItem(dialog, button)));
    }

    SimDriverProcess m_sim;
    CKvxuUsbDriver m_driver;
    std::unique_ptr<CPanelProcess> m_panel;
    HWND m_frame = nullptr;
    std::string m_file;
};

} // namespace

TEST_F(ProfilePanelTest, FileLoadSettingsShowsThePlanThenTheResults)
{
    SaveWithRate(96000);
    PostMessageA(m_frame, WM_COMMAND, ID_FILE_LOAD_SETTINGS, 0);
    HWND open = WaitForDialog("Open");
    ASSERT_TRUE(open) << "no Open dialog";
    // The file name box: an edit of its own (edt1) or the edit of a combo box (cmb13).
    HWND name = GetDlgItem(open, 0x480);
    if (!name || !IsWindowVisible(name))
        name = GetDlgItem(open, 0x47C);
    ASSERT_TRUE(name);
    SendMessageA(name, WM_SETTEXT, 0, LPARAM(m_file.c_str()));
    Press(open, IDOK);

    HWND plan = WaitForDialog("Load Settings");
    ASSERT_TRUE(plan);
    EXPECT_EQ(Summary(plan), "1 to apply, 31 unchanged");
    EXPECT_EQ(Rate(), 48000u) << "nothing is sent before Load";
    Press(plan, IDOK);
    HWND results = WaitForDialog("Settings Loaded");
    ASSERT_TRUE(results);
    EXPECT_EQ(Summary(results), "1 applied, 31 unchanged");
    EXPECT_EQ(Rate(), 96000u);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(results, IDOK)));
    Press(results, IDCANCEL);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(results); }));
}

TEST_F(ProfilePanelTest, ATrayRecentProfileLoadsAtOnceAndShowsOnlyRefusals)
{
    SaveWithRate(96000);
    CProfileRecentList().Add(m_file);
    PostMessageA(m_frame, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONDOWN);
    HWND menuWindow = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (menuWindow = FindOpenMenu(m_panel->Id())) != nullptr; }));
    // Another process's menu cannot be read here: the submenu is opened from the keyboard,
    // and its first item is the recent profile.
    PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0); // "Settings &Profiles"
    PostMessageA(menuWindow, WM_KEYDOWN, VK_RIGHT, 0);
    PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0); // "&1 ...panel.kvxsettings"
    EXPECT_TRUE(PumpUntil([&] { return Rate() == 96000; }));
    // Answered once the load is over, or from a dialog's loop, which exists by then.
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutA(m_frame, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer));
    EXPECT_FALSE(FindWindowA("#32770", "Settings Loaded")) << "all applied: nothing is shown";
    ASSERT_TRUE(PumpUntil([&] { return FindOpenMenu(m_panel->Id()) == nullptr; }));

    SaveWithRate(44100);
    ASSERT_EQ(m_sim.Run({"stream", "on"}).exitCode, 0);
    PostMessageA(m_frame, WM_COMMAND, ID_PROFILE_RECENT_FIRST, 0);
    HWND results = WaitForDialog("Settings Loaded");
    ASSERT_TRUE(results);
    EXPECT_EQ(Summary(results), "31 unchanged, 1 refused");
    Press(results, IDCANCEL);
}
