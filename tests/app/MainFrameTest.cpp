// The application started in this process, as the real start-up creates it: the frame's
// reaction to its commands and messages, seen from inside, where the tray icon's removal
// can be caught at the very moment the frame handles its destruction.
#include <gtest/gtest.h>

#include "AppMessages.h"
#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "MainFrm.h"
#include "MessagePump.h"
#include "TrayProbe.h"
#include "resource.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

HWND g_hFrame = nullptr;
int g_destroyHandled = 0;
bool g_iconLeftAfterDestroy = true;

// Sees WM_DESTROY of the frame after the frame handled it, while its window still exists.
LRESULT CALLBACK AfterMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == g_hFrame && sent->message == WM_DESTROY) {
        ++g_destroyHandled;
        g_iconLeftAfterDestroy = TrayIconExists(g_hFrame, TRAY_ICON_ID);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static char commandLine[] = "-asio";
        ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
        ASSERT_TRUE(theApp.InitInstance()) << "another panel holds the instance mutex?";
        g_hFrame = theApp.m_pMainWnd->m_hWnd;
    }

    static CMainFrame& Frame() { return *static_cast<CMainFrame*>(theApp.m_pMainWnd); }
    static CKVX_USB_CPLView& View()
    {
        return *static_cast<CKVX_USB_CPLView*>(Frame().GetActiveView());
    }
    static std::string SelectedCaption()
    {
        return View().m_PageTree.GetItemText(View().m_PageTree.GetSelectedItem());
    }
    static void Send(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        SendMessageA(g_hFrame, message, wParam, lParam);
    }
};

} // namespace

TEST_F(MainFrameTest, StartsShownWithTitleTrayIconAndTheAsioPage)
{
    char title[128] = "";
    GetWindowTextA(g_hFrame, title, sizeof title);
    EXPECT_STREQ("Volmar Model B USB Control Panel", title);
    EXPECT_TRUE(IsWindowVisible(g_hFrame));
    EXPECT_TRUE(TrayIconAdded(g_hFrame, TRAY_ICON_ID));
    EXPECT_EQ("Settings", SelectedCaption());
    EXPECT_EQ("Settings", Frame().m_wndStatusBar.GetPaneText(0));
    EXPECT_EQ(2, Frame().m_wndStatusBar.GetCount());

    // Pane 0 takes what pane 1 (150 pixels) leaves, at least 200 pixels.
    int edges[2] = {};
    ASSERT_EQ(2, Frame().m_wndStatusBar.SendMessage(SB_GETPARTS, 2, (LPARAM)edges));
    RECT bar;
    Frame().m_wndStatusBar.GetClientRect(&bar);
    const int right = edges[1] == -1 ? int(bar.right) : edges[1];
    EXPECT_EQ(150, right - edges[0]);
    EXPECT_GE(edges[0], 200);
}

TEST_F(MainFrameTest, ShowAsioSettingsSelectsTheSettingsItemWithoutShowingTheWindow)
{
    View().m_PageTree.SelectItem(View().m_hDevicesItem);
    EXPECT_EQ("Devices", Frame().m_wndStatusBar.GetPaneText(0));
    Send(WM_COMMAND, ID_APP_HIDE);
    ASSERT_FALSE(IsWindowVisible(g_hFrame));

    Send(WM_SHOW_ASIO_SETTINGS, 0, 0);
    EXPECT_EQ("Settings", SelectedCaption());
    EXPECT_EQ("Settings", Frame().m_wndStatusBar.GetPaneText(0));
    EXPECT_FALSE(IsWindowVisible(g_hFrame));
}

// The tray menu: "&Open", the drop-out watch's option and "&Quit", with the commands the
// frame handles.
TEST_F(MainFrameTest, TrayMenuOpensAndQuits)
{
    const CMenuHandle menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAYMENU)));
    ASSERT_TRUE(menu);
    HMENU popup = GetSubMenu(menu.Get(), 0);
    ASSERT_TRUE(popup);
    ASSERT_EQ(3, GetMenuItemCount(popup));
    const struct {
        const char* text;
        UINT id;
    } items[] = {{"&Open", ID_APP_OPEN},
                 {"&Watch for Drop-outs", ID_APP_WATCH_DROPOUTS},
                 {"&Quit", ID_APP_QUIT}};
    for (int i = 0; i < 3; ++i) {
        char text[32] = "";
        GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(items[i].text, text);
        EXPECT_EQ(items[i].id, GetMenuItemID(popup, i));
    }
    // The watch's item switches it on and off.
    Send(WM_COMMAND, ID_APP_WATCH_DROPOUTS);
    EXPECT_TRUE(View().m_DropOuts.IsWatching());
    Send(WM_COMMAND, ID_APP_WATCH_DROPOUTS);
    EXPECT_FALSE(View().m_DropOuts.IsWatching());
    // The device count pane is the frame's second one.
    Frame().SetDeviceCount(7);
    EXPECT_EQ("7 Device(s) connected.", Frame().m_wndStatusBar.GetPaneText(1));
}

TEST_F(MainFrameTest, OpenKeepsAMinimisedWindowMinimised)
{
    Send(WM_COMMAND, ID_APP_OPEN);
    EXPECT_TRUE(IsWindowVisible(g_hFrame));
    ShowWindow(g_hFrame, SW_MINIMIZE);
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsIconic(g_hFrame));
    ShowWindow(g_hFrame, SW_RESTORE);
}

TEST_F(MainFrameTest, QuitRemovesTheTrayIconWhileHandlingDestroyAndEndsTheLoop)
{
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterMessage, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    Send(WM_COMMAND, ID_APP_QUIT); // posts the exit command
    EXPECT_TRUE(IsWindow(g_hFrame));
    // The loop of the application, until WM_QUIT.
    const bool quit = PumpUntilQuit(10000);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(quit);
    EXPECT_FALSE(IsWindow(g_hFrame));
    EXPECT_EQ(1, g_destroyHandled);
    EXPECT_FALSE(g_iconLeftAfterDestroy);
}
