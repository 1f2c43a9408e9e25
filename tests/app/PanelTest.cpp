// The real control panel as a process: start-up, the close box and the menus that hide,
// the Quit paths that end it, the tray icon and its callback, and the status bar's idle
// text. Input reaches it as posted messages, the way the shell and the keyboard deliver it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "AppMessages.h"
#include "PanelHarness.h"
#include "SimDriverProcess.h"
#include "TrayIcon.h"
#include "TrayProbe.h"
#include "resource.h"

namespace {

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_panel.Started()) << PanelExePath();
        m_hFrame = m_panel.WaitForMainWindow(true);
        ASSERT_TRUE(m_hFrame) << "the panel's window did not appear";
    }

    bool Hidden() { return m_panel.WaitForMainWindow(false) != nullptr; }
    bool Shown() { return m_panel.WaitForMainWindow(true) != nullptr; }
    bool HasTrayIcon() const { return TrayIconExists(m_hFrame, TRAY_ICON_ID); }
    void Post(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        PostMessageA(m_hFrame, message, wParam, lParam);
    }
    void Command(UINT id) { Post(WM_COMMAND, id); }
    void Key(UINT key)
    {
        Post(WM_KEYDOWN, key, 1);
        Post(WM_KEYUP, key, 0xC0000001);
    }
    // Sends the callback the way the shell does and waits until the panel has handled it.
    bool TrayCallback(WPARAM iconId, UINT mouseMessage)
    {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(m_hFrame, WM_TRAY_NOTIFY, iconId, mouseMessage, SMTO_ABORTIFHUNG,
                                   3000, &result) != 0;
    }
    // Pane 0 once it reads the text, or what it read last when it never did.
    std::string StatusAwaiting(const std::string& text)
    {
        HWND statusBar = FindStatusBar(m_hFrame);
        std::string seen = "<no status bar>";
        if (statusBar)
            PumpUntil([&] { return (seen = RemoteStatusText(statusBar, 0)) == text; });
        return seen;
    }
    HWND WaitForMenu()
    {
        HWND menu = nullptr;
        PumpUntil([&] { return (menu = FindOpenMenu(m_panel.Id())) != nullptr; });
        return menu;
    }
    bool MenuClosed()
    {
        return PumpUntil([&] { return FindOpenMenu(m_panel.Id()) == nullptr; });
    }
    // The panel ended with its tray icon gone.
    void ExpectEnded()
    {
        EXPECT_EQ(0u, m_panel.WaitForExit());
        EXPECT_FALSE(HasTrayIcon());
    }

    CPanelProcess m_panel{""};
    HWND m_hFrame = nullptr;
};

} // namespace

TEST_F(PanelTest, StartsShownWithTrayIconAndTwoPaneStatusBarReadingReady)
{
    EXPECT_TRUE(TrayIconAdded(m_hFrame, TRAY_ICON_ID));
    HWND statusBar = FindStatusBar(m_hFrame);
    ASSERT_TRUE(statusBar);
    EXPECT_EQ(2, SendMessageA(statusBar, SB_GETPARTS, 0, 0));
    EXPECT_EQ("Ready", StatusAwaiting("Ready"));
    const LONG style = GetWindowLongA(m_hFrame, GWL_STYLE);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(GetWindowLongA(m_hFrame, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(PanelTest, ExitStartEndsThePanelAndRemovesTheTrayIcon)
{
    ASSERT_TRUE(TrayIconAdded(m_hFrame, TRAY_ICON_ID));
    EXPECT_EQ(0u, RunPanel("-exit"));
    ExpectEnded();
}

TEST_F(PanelTest, CloseBoxAndFileCloseOnlyHide)
{
    Post(WM_SYSCOMMAND, SC_CLOSE);
    ASSERT_TRUE(Hidden());
    EXPECT_TRUE(m_panel.Running());
    EXPECT_TRUE(HasTrayIcon());

    EXPECT_EQ(0u, RunPanel("")); // a second start shows the hidden panel again
    ASSERT_TRUE(Shown());

    Command(ID_APP_HIDE);
    ASSERT_TRUE(Hidden());
    EXPECT_TRUE(m_panel.Running());
    EXPECT_TRUE(HasTrayIcon());

    ASSERT_TRUE(TrayCallback(TRAY_ICON_ID, WM_LBUTTONDOWN));
    EXPECT_TRUE(Shown());
}

TEST_F(PanelTest, SecondStartWithAsioRestoresAMinimisedPanelOnItsSettingsPage)
{
    Post(WM_SYSCOMMAND, SC_MINIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(m_hFrame) != FALSE; }));
    EXPECT_EQ(0u, RunPanel("-asio"));
    EXPECT_TRUE(PumpUntil([&] { return !IsIconic(m_hFrame); }));
    EXPECT_TRUE(IsWindowVisible(m_hFrame));
    // -asio: the running panel switched to its "Settings" page.
    EXPECT_EQ("Settings", StatusAwaiting("Settings"));
    EXPECT_EQ("Settings", RemoteSelectedTreeText(FindPageTree(m_hFrame)));
}

TEST_F(PanelTest, FileQuitEndsThePanel)
{
    Command(ID_APP_EXIT);
    ExpectEnded();
}

// As Restart Manager closes a program whose files an update replaces; a session end that was
// called off leaves it running.
TEST_F(PanelTest, RestartManagersCloseRequestEndsThePanel)
{
    auto send = [&](UINT message, WPARAM wParam) {
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutA(m_hFrame, message, wParam, ENDSESSION_CLOSEAPP,
                                        SMTO_ABORTIFHUNG, 3000, &result));
        return result;
    };
    EXPECT_TRUE(send(WM_QUERYENDSESSION, 0));
    send(WM_ENDSESSION, FALSE);
    Command(ID_APP_HIDE); // handled after anything the call above posted
    ASSERT_TRUE(Hidden());
    EXPECT_TRUE(m_panel.Running());
    send(WM_ENDSESSION, TRUE);
    ExpectEnded();
}

TEST_F(PanelTest, TrayCallbackOfAnotherIconOrBareReleasesDoNothing)
{
    Command(ID_APP_HIDE);
    ASSERT_TRUE(Hidden());
    for (UINT mouse : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK})
        ASSERT_TRUE(TrayCallback(TRAY_ICON_ID + 1, mouse));
    for (UINT mouse : {WM_RBUTTONUP, WM_LBUTTONUP, WM_MOUSEMOVE, WM_MBUTTONDOWN})
        ASSERT_TRUE(TrayCallback(TRAY_ICON_ID, mouse)); // would time out in an open menu
    EXPECT_FALSE(FindOpenMenu(m_panel.Id()));
    EXPECT_FALSE(IsWindowVisible(m_hFrame));
    EXPECT_TRUE(m_panel.Running());
}

TEST_F(PanelTest, TrayMenuOpensOnRightPressAndItsQuitEndsThePanel)
{
    Post(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitForMenu());
    Key(VK_ESCAPE);
    ASSERT_TRUE(MenuClosed());
    EXPECT_EQ("Ready", StatusAwaiting("Ready"));
    EXPECT_TRUE(m_panel.Running());

    Post(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitForMenu());
    Key(VK_UP); // from no item up to the last one, "&Quit"
    Key(VK_RETURN);
    ExpectEnded();
}

TEST_F(PanelTest, MenuBarShowsPromptsAndReadyAfterItCloses)
{
    Post(WM_SYSCOMMAND, SC_KEYMENU, 'f');
    ASSERT_TRUE(WaitForMenu()); // opened from the keyboard: "&Save Settings..." is highlighted
    const std::string prompt = "Save every setting of the driver to a settings file";
    EXPECT_EQ(prompt, StatusAwaiting(prompt));
    Key(VK_ESCAPE);
    Key(VK_ESCAPE);
    ASSERT_TRUE(MenuClosed());
    EXPECT_EQ("Ready", StatusAwaiting("Ready"));
}

// The about box of the real panel, opened from its Info menu, with the stand-in driver.
TEST(PanelAboutTest, ShowsTheStandInsVersionsAndClosesWithOk)
{
    SimDriverProcess sim; // the panel inherits this stand-in's pipe name
    ASSERT_TRUE(sim.Start("demo")) << sim.Log();
    CPanelProcess panel("");
    HWND frame = panel.WaitForMainWindow(true);
    ASSERT_TRUE(frame);

    PostMessageA(frame, WM_COMMAND, ID_APP_ABOUT, 0);
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        box = FindWindowA("#32770", "About Control Panel");
        return box && IsWindowVisible(box);
    }));
    EXPECT_EQ(frame, GetWindow(box, GW_OWNER));
    char text[512] = "";
    GetWindowTextA(GetDlgItem(box, IDC_ABOUT_TEXT), text, sizeof text);
    EXPECT_STREQ("Volmar Model B USB Control Panel: V 1.01\n\n"
                 " - Driver Interface Version 2.1\n\n - Driver Version 3.4.1207\n\n"
                 "\xA9 2004-2026 Volmar Audio & Electronics",
                 text);

    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(panel.Running());
}

// -hide with -asio as the first instance: hidden in the tray, with "Settings" preselected.
TEST(PanelStartTest, HideWithAsioStartsHiddenOnTheSettingsPage)
{
    CPanelProcess panel("-asio -hide");
    HWND frame = panel.WaitForMainWindow(false);
    ASSERT_TRUE(frame);
    HWND tree = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        tree = FindPageTree(frame);
        return tree != nullptr && TrayIconExists(frame, TRAY_ICON_ID);
    }));
    std::string selected;
    EXPECT_TRUE(PumpUntil([&] { return (selected = RemoteSelectedTreeText(tree)) == "Settings"; }))
        << selected;
    EXPECT_FALSE(IsWindowVisible(frame));

    EXPECT_EQ(0u, RunPanel("-HIDE")); // a hidden second start changes nothing
    EXPECT_FALSE(IsWindowVisible(frame));
    EXPECT_TRUE(panel.Running());
}

// Without switches the first instance starts shown on "Devices".
TEST(PanelStartTest, PlainStartShowsTheDevicesPage)
{
    CPanelProcess panel("");
    HWND frame = panel.WaitForMainWindow(true);
    ASSERT_TRUE(frame);
    HWND tree = FindPageTree(frame);
    ASSERT_TRUE(tree);
    EXPECT_EQ("Devices", RemoteSelectedTreeText(tree));
}

// Starts and an -exit started at once after them, with no pause: whichever of them reaches
// the single-instance mutex first, no panel is left running.
TEST(PanelRaceTest, ExitStartedAtOnceAfterStartsLeavesNoPanelRunning)
{
    struct {
        int starts;
        int rounds;
    } cases[] = {{1, 12}, {4, 3}};
    for (const auto& c : cases) {
        int leftRunning = 0;
        for (int round = 0; round < c.rounds; ++round) {
            std::vector<std::unique_ptr<CPanelProcess>> starts;
            for (int i = 0; i < c.starts; ++i)
                starts.emplace_back(new CPanelProcess(""));
            EXPECT_EQ(0u, RunPanel("-exit", 20000));
            for (const auto& start : starts) {
                ASSERT_TRUE(start->Started());
                leftRunning += start->WaitForExit(8000) == STILL_ACTIVE ? 1 : 0;
            }
        }
        EXPECT_EQ(0, leftRunning) << c.starts << " start(s) with -exit, " << c.rounds << " rounds";
    }
}
