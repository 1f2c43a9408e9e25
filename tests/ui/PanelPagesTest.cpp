// The real control panel as a process, with a stand-in driver of this test program: the page
// it starts on, page switching as the user sees it, a second start with -asio, and a start
// without a driver that fills in when the driver arrives.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "PanelHarness.h"
#include "SimDriverProcess.h"

namespace {

HWND SettingsView(HWND frame)
{
    HWND tree = FindPageTree(frame);
    return tree ? GetParent(tree) : nullptr;
}

std::vector<HWND> VisiblePages(HWND view)
{
    std::vector<HWND> pages;
    for (HWND child = FindWindowExA(view, nullptr, "#32770", nullptr); child;
         child = FindWindowExA(view, child, "#32770", nullptr))
        if (IsWindowVisible(child))
            pages.push_back(child);
    return pages;
}

// The page among the view's children that holds a control with this text.
HWND PageHolding(HWND view, const char* text)
{
    for (HWND child = FindWindowExA(view, nullptr, "#32770", nullptr); child;
         child = FindWindowExA(view, child, "#32770", nullptr))
        if (FindWindowExA(child, nullptr, nullptr, text))
            return child;
    return nullptr;
}

HWND SettingsPage(HWND view)
{
    return PageHolding(view, "Isochronous Streaming");
}
HWND DevicesPage(HWND view)
{
    return PageHolding(view, "Edit Device Name");
}
HWND SyncPage(HWND view)
{
    return PageHolding(view, "Sampling Rate");
}

std::vector<HWND> ChannelPages(HWND view)
{
    std::vector<HWND> pages;
    for (HWND child = FindWindowExA(view, nullptr, "#32770", nullptr); child;
         child = FindWindowExA(view, child, "#32770", nullptr))
        if (FindWindowExA(child, nullptr, nullptr, "Edit Channel Name"))
            pages.push_back(child);
    return pages;
}

int ListRows(HWND page)
{
    HWND list = FindWindowExA(page, nullptr, WC_LISTVIEWA, nullptr);
    return list ? int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
}

std::vector<HTREEITEM> TreeItems(HWND tree)
{
    std::vector<HTREEITEM> items;
    for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextSibling(tree, item))
        items.push_back(item);
    return items;
}

class PanelPagesTest : public ::testing::Test {
protected:
    // Starts the panel and waits for its window; the view and its tree are then known.
    void StartPanel(const std::string& arguments)
    {
        m_panel.reset(new CPanelProcess(arguments));
        ASSERT_TRUE(m_panel->Started()) << PanelExePath();
        m_frame = m_panel->WaitForMainWindow(true);
        ASSERT_TRUE(m_frame) << "the panel's window did not appear";
        m_tree = FindPageTree(m_frame);
        m_view = SettingsView(m_frame);
        ASSERT_TRUE(m_tree && m_view);
    }
    std::string Status(const std::string& awaited)
    {
        HWND bar = FindStatusBar(m_frame);
        std::string seen = "<no status bar>";
        if (bar)
            PumpUntil([&] { return (seen = RemoteStatusText(bar, 0)) == awaited; });
        return seen;
    }
    // The one visible page, or null when none or more than one is visible.
    HWND OnlyVisiblePage()
    {
        std::vector<HWND> pages = VisiblePages(m_view);
        return pages.size() == 1 ? pages[0] : nullptr;
    }
    void Select(HTREEITEM item) { TreeView_SelectItem(m_tree, item); }

    SimDriverProcess m_sim; // first: the panel inherits its pipe name
    std::unique_ptr<CPanelProcess> m_panel;
    HWND m_frame = nullptr, m_tree = nullptr, m_view = nullptr;
};

} // namespace

TEST_F(PanelPagesTest, AsioStartShowsSettingsAloneThenReadyAndEverySwitchItsCaption)
{
    ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
    StartPanel("-asio");
    EXPECT_EQ("Settings", RemoteSelectedTreeText(m_tree));
    EXPECT_EQ(SettingsPage(m_view), OnlyVisiblePage());
    EXPECT_EQ("Ready", Status("Ready"));

    std::vector<HTREEITEM> items = TreeItems(m_tree);
    ASSERT_EQ(5u, items.size());
    const char* const captions[] = {"Devices", "Input Channels", "Output Channels",
                                    "Synchronisation", "Settings"};
    for (size_t i = 0; i < items.size(); ++i) {
        Select(items[i]);
        EXPECT_EQ(captions[i], Status(captions[i]));
        EXPECT_EQ(captions[i], RemoteSelectedTreeText(m_tree));
        EXPECT_TRUE(OnlyVisiblePage()) << captions[i] << ": exactly one page visible";
    }
    Select(items[3]);
    EXPECT_EQ(SyncPage(m_view), OnlyVisiblePage());
}

TEST_F(PanelPagesTest, PlainStartShowsTheDevicesPageWithTheDriversDevices)
{
    ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
    StartPanel("");
    EXPECT_EQ("Devices", RemoteSelectedTreeText(m_tree));
    HWND devices = DevicesPage(m_view);
    EXPECT_EQ(devices, OnlyVisiblePage());
    EXPECT_EQ(2, ListRows(devices));
    EXPECT_EQ("Ready", Status("Ready"));
}

TEST_F(PanelPagesTest, SecondStartWithAsioSwitchesTheRunningPanelToSettings)
{
    ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
    StartPanel("");
    ASSERT_EQ(DevicesPage(m_view), OnlyVisiblePage());
    EXPECT_EQ(0u, RunPanel("-asio"));
    HWND settings = SettingsPage(m_view);
    EXPECT_TRUE(PumpUntil([&] { return OnlyVisiblePage() == settings; }));
    EXPECT_EQ("Settings", RemoteSelectedTreeText(m_tree));
    EXPECT_EQ("Settings", Status("Settings"));
}

TEST_F(PanelPagesTest, StartedWithoutDriverEveryPageIsReachableAndFillsInWhenItArrives)
{
    StartPanel("");
    std::vector<HTREEITEM> items = TreeItems(m_tree);
    ASSERT_EQ(5u, items.size());
    std::vector<HWND> seen;
    for (HTREEITEM item : items) {
        Select(item);
        HWND page = OnlyVisiblePage();
        EXPECT_TRUE(page);
        seen.push_back(page);
    }
    for (size_t i = 0; i < seen.size(); ++i)
        for (size_t j = i + 1; j < seen.size(); ++j)
            EXPECT_NE(seen[i], seen[j]) << "items " << i << " and " << j << " show one page";
    HWND devices = DevicesPage(m_view);
    std::vector<HWND> channels = ChannelPages(m_view);
    ASSERT_EQ(2u, channels.size());
    EXPECT_EQ(0, ListRows(devices));
    EXPECT_EQ(0, ListRows(channels[0]));
    EXPECT_EQ(0, ListRows(channels[1]));
    HWND streamSlider = FindWindowExA(SettingsPage(m_view), nullptr, TRACKBAR_CLASSA, nullptr);
    EXPECT_FALSE(IsWindowEnabled(streamSlider));

    // The stand-in announces its interface when it starts: no restart of the panel.
    const std::string trace = SimDriverProcess::TempPath("arrival-trace.txt");
    DeleteFileA(trace.c_str());
    ASSERT_TRUE(m_sim.Start("demo", {"--trace", trace})) << m_sim.Log();
    // The page shown fills in at once, every other one as it is shown.
    EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(streamSlider) != FALSE; }));
    Select(items[0]);
    EXPECT_TRUE(PumpUntil([&] { return ListRows(devices) == 2; }));
    Select(items[1]);
    EXPECT_TRUE(PumpUntil([&] { return ListRows(channels[0]) == 10; }));
    Select(items[2]);
    EXPECT_TRUE(PumpUntil([&] { return ListRows(channels[1]) == 10; }));
    Select(items[3]);
    const std::string requests = SimDriverProcess::ReadFileText(trace);
    for (const char* request :
         {"GetDeviceIdList", "GetChannelIdLists", "GetStreamBufferDepth", "GetAsioBufferDepth",
          "GetWdmBufferDepth", "GetSampleRateInfo", "RegisterNotificationEvent"})
        EXPECT_NE(std::string::npos, requests.find(request)) << request << "\n" << requests;
}
