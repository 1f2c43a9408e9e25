// The settings view inside the real application, started in this process against a stand-in
// driver of its own: page switching, the driver's change records, arrival and removal
// broadcasts, hot plug, a repeated initial update and the end of the notification thread.
// What the pages did is read where the driver sees it, in the stand-in's request trace, and
// where the user sees it, in the pages' controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "DeviceNotification.h"
#include "CountingDeviceIo.h"
#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "MainFrm.h"
#include "MessagePump.h"
#include "SettledView.h"
#include "SimDriverProcess.h"
#include "SimTrace.h"
#include "resource.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

SimDriverProcess* g_sim = nullptr;
std::string g_tracePath;
std::set<DWORD> g_threadsBefore;
HWND g_hFrame = nullptr;

// Delivers what is queued for this thread's windows.
void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// The stand-in's requests from a mark on.
class TraceWindow : public SimTrace {
public:
    TraceWindow() : SimTrace(g_tracePath) {}
    // How often the devices page, shown, re-read the driver (its first request of a
    // refresh), while no hidden page read anything.
    void ExpectShownDevicesPageRefreshed(int times) const
    {
        EXPECT_EQ(times, Count("GetDeviceIdList")) << "devices page\n" << Text();
        EXPECT_EQ(0, Count("GetChannelIdLists")) << "channel pages\n" << Text();
        EXPECT_EQ(0, Count("GetStreamBufferDepth")) << "buffer settings page\n" << Text();
        EXPECT_EQ(0, Count("GetSynchModeInfo")) << "synchronisation page\n" << Text();
    }
};

// The longest time the window left a message unanswered, polled with WM_NULL from a thread
// of its own while the test thread runs the window.
class UnansweredWatch {
public:
    explicit UnansweredWatch(HWND window)
        : m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_thread([this, window] { Watch(window); })
    {
    }
    ~UnansweredWatch() { Stop(); }
    DWORD Stop()
    {
        SetEvent(m_stop);
        if (m_thread.joinable())
            m_thread.join();
        CloseHandle(std::exchange(m_stop, nullptr));
        return m_longestMs;
    }

private:
    void Watch(HWND window)
    {
        while (WaitForSingleObject(m_stop, 20) == WAIT_TIMEOUT) {
            const DWORD start = GetTickCount();
            DWORD_PTR result = 0;
            SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
            m_longestMs = std::max<DWORD>(m_longestMs, GetTickCount() - start);
        }
    }

    HANDLE m_stop;
    std::atomic<DWORD> m_longestMs{0};
    std::thread m_thread;
};

// A device-interface broadcast record that ends exactly where readable memory ends, so that
// reading one byte past the size it gives faults.
class GuardedBroadcast {
public:
    // The name is copied without its terminator; nameRoom bytes are given to it.
    GuardedBroadcast(const char* name, size_t nameRoom)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        m_pageSize = info.dwPageSize;
        m_memory = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * m_pageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(m_memory + m_pageSize, m_pageSize, PAGE_NOACCESS, &old);
        const size_t size = 28 + nameRoom;
        char* record = m_memory + m_pageSize - size;
        std::memset(record, 0, size);
        auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(record);
        header->dbcc_size = DWORD(size);
        header->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        header->dbcc_classguid = KVX_USB_INTERFACE_CLASS;
        std::memcpy(record + 28, name, std::min(std::strlen(name), nameRoom));
        m_record = record;
    }
    ~GuardedBroadcast() { VirtualFree(m_memory, 0, MEM_RELEASE); }
    LPARAM Record() const { return reinterpret_cast<LPARAM>(m_record); }

private:
    size_t m_pageSize = 0;
    char* m_memory = nullptr;
    char* m_record = nullptr;
};

// A terminated name in a record of the usual size.
struct Broadcast : GuardedBroadcast {
    explicit Broadcast(const char* name) : GuardedBroadcast(name, std::strlen(name) + 1) {}
};

const char kInterfacePath[] = "\\\\?\\ROOT#KVXUSIM#0000#{5d2a8c31-7e4b-4f90-b3a6-c18e27d4f5a0}";

class ViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_sim = new SimDriverProcess; // before anything opens the driver or registers
        g_tracePath = SimDriverProcess::TempPath("view-trace.txt");
        DeleteFileA(g_tracePath.c_str());
        ASSERT_TRUE(g_sim->Start("demo", {"--trace", g_tracePath})) << g_sim->Log();
        g_threadsBefore = ThreadsOfThisProcess();
        static char commandLine[] = "";
        ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
        ASSERT_TRUE(theApp.InitInstance()) << "another panel holds the instance mutex?";
        g_hFrame = theApp.m_pMainWnd->m_hWnd;
        Pump();
    }
    static void TearDownTestSuite()
    {
        delete g_sim;
        g_sim = nullptr;
    }

    static CMainFrame& Frame() { return *static_cast<CMainFrame*>(theApp.m_pMainWnd); }
    static CKVX_USB_CPLView& View()
    {
        return *static_cast<CKVX_USB_CPLView*>(Frame().GetActiveView());
    }
    static std::string StatusText() { return Frame().m_wndStatusBar.GetPaneText(0); }
    static std::string DeviceCountText() { return Frame().m_wndStatusBar.GetPaneText(1); }
    static bool Shown(CWnd& page) { return (page.GetStyle() & WS_VISIBLE) != 0; }
    static std::vector<CDialogPage*> AllPages()
    {
        CKVX_USB_CPLView& v = View();
        return {&v.m_SettingsPage, &v.m_DevicesPage, &v.m_InputChannelsPage,
                &v.m_OutputChannelsPage, &v.m_SyncPage};
    }
    static int ShownPages()
    {
        int n = 0;
        for (CDialogPage* page : AllPages())
            n += Shown(*page) ? 1 : 0;
        return n;
    }
    static LRESULT DeviceChange(WPARAM eventType, LPARAM record)
    {
        return SendMessageA(View().m_hWnd, WM_DEVICECHANGE, eventType, record);
    }
    // Runs a stand-in command; its broadcasts reach the view while it runs.
    static void Sim(std::initializer_list<std::string> args)
    {
        SimResult result = g_sim->Run(args);
        ASSERT_EQ(0, result.exitCode) << result.output;
    }
    static int Rows(CListCtrlEx& list) { return list.GetItemCount(); }
    static CDlgPgChannels& Inputs()
    {
        return LookAt(View(), View().m_InputChannelsPage, PAGE_INPUT_CHANNELS);
    }
    static CDlgPgChannels& Outputs()
    {
        return LookAt(View(), View().m_OutputChannelsPage, PAGE_OUTPUT_CHANNELS);
    }
    static CDlgPgDevices& Devices() { return LookAt(View(), View().m_DevicesPage, PAGE_DEVICES); }
};

} // namespace

TEST_F(ViewTest, FirstUpdateBuildsTheTreeAndPlacesEveryPageWithDevicesSelected)
{
    CKVX_USB_CPLView& view = View();
    ASSERT_EQ(5u, view.m_PageTree.GetCount());
    const char* const captions[] = {"Devices", "Input Channels", "Output Channels",
                                    "Synchronisation", "Settings"};
    const DWORD_PTR codes[] = {0x12000000, 0x13000000, 0x14000000, 0x18000000, 0x11000000};
    const int images[] = {1, 3, 3, 5, 2};
    HTREEITEM item = view.m_PageTree.GetRootItem();
    for (int i = 0; i < 5; ++i, item = view.m_PageTree.GetNextSiblingItem(item)) {
        ASSERT_TRUE(item);
        EXPECT_EQ(captions[i], view.m_PageTree.GetItemText(item));
        EXPECT_EQ(codes[i], view.m_PageTree.GetItemData(item));
        TVITEMA data = {};
        data.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
        data.hItem = item;
        view.m_PageTree.SendMessage(TVM_GETITEMA, 0, (LPARAM)&data);
        EXPECT_EQ(images[i], data.iImage);
        EXPECT_EQ(images[i], data.iSelectedImage);
    }
    EXPECT_EQ(6,
              ImageList_GetImageCount(TreeView_GetImageList(view.m_PageTree.m_hWnd, TVSIL_NORMAL)));

    EXPECT_EQ(view.m_hDevicesItem, view.m_PageTree.GetSelectedItem());
    EXPECT_EQ(1, ShownPages());
    EXPECT_TRUE(Shown(view.m_DevicesPage));
    for (CDialogPage* page : AllPages()) {
        EXPECT_EQ(view.m_hWnd, page->GetParent());
        RECT rect;
        page->GetWindowRect(&rect);
        MapWindowPoints(nullptr, view.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(140, rect.left);
        EXPECT_EQ(2, rect.top);
        RECT client;
        view.GetClientRect(&client);
        EXPECT_LE(rect.right, client.right) << "the page is cut off";
        EXPECT_LE(rect.bottom, client.bottom) << "the page is cut off";
    }
    // The pages read the driver when they were made.
    EXPECT_EQ(2, Rows(view.m_DevicesPage.m_DeviceList));
    EXPECT_EQ(10, Rows(view.m_InputChannelsPage.m_ChannelList));
    EXPECT_EQ(10, Rows(view.m_OutputChannelsPage.m_ChannelList));
    EXPECT_EQ("2 Device(s) connected.", DeviceCountText());
}

TEST_F(ViewTest, EverySelectionShowsExactlyItsPageAndWritesItsCaption)
{
    CKVX_USB_CPLView& view = View();
    struct {
        HTREEITEM item;
        CWnd* page;
        const char* caption;
    } const steps[] = {
        {view.m_hSettingsItem, &view.m_SettingsPage, "Settings"},
        {view.m_hInputChannelsItem, &view.m_InputChannelsPage, "Input Channels"},
        {view.m_hSynchronisationItem, &view.m_SyncPage, "Synchronisation"},
        {view.m_hOutputChannelsItem, &view.m_OutputChannelsPage, "Output Channels"},
        {view.m_hDevicesItem, &view.m_DevicesPage, "Devices"},
    };
    for (const auto& step : steps) {
        view.m_PageTree.SelectItem(step.item);
        EXPECT_EQ(1, ShownPages()) << step.caption;
        EXPECT_TRUE(Shown(*step.page)) << step.caption;
        EXPECT_EQ(step.caption, StatusText());
    }

    // Enter and Escape reach a page as IDOK and IDCANCEL: it stays, unchanged.
    view.m_PageTree.SelectItem(view.m_hInputChannelsItem);
    SendMessageA(view.m_InputChannelsPage.m_hWnd, WM_COMMAND, IDOK, 0);
    SendMessageA(view.m_InputChannelsPage.m_hWnd, WM_COMMAND, IDCANCEL, 0);
    // And typed into the page's list, through the message loop's keyboard handling.
    HWND list = view.m_InputChannelsPage.m_ChannelList.m_hWnd;
    SetFocus(list);
    for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_ESCAPE)}) {
        PostMessageA(list, WM_KEYDOWN, key, 1);
        PostMessageA(list, WM_KEYUP, key, 0xC0000001);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            theApp.PumpMessage();
    }
    EXPECT_TRUE(IsWindow(view.m_InputChannelsPage.m_hWnd));
    EXPECT_TRUE(Shown(view.m_InputChannelsPage));
    EXPECT_EQ(10, Rows(view.m_InputChannelsPage.m_ChannelList));
    EXPECT_TRUE(IsWindowVisible(g_hFrame));

    // An item whose code names no page shows none and leaves the status text alone.
    HTREEITEM stranger = view.m_PageTree.InsertItem("Stranger");
    view.m_PageTree.SetItemData(stranger, 0x15000012);
    view.m_PageTree.SelectItem(stranger);
    EXPECT_EQ(0, ShownPages());
    EXPECT_EQ("Input Channels", StatusText());
    view.m_PageTree.SendMessage(TVM_DELETEITEM, 0, (LPARAM)stranger);
    view.m_PageTree.SelectItem(view.m_hDevicesItem);
    EXPECT_EQ(1, ShownPages());
}

TEST_F(ViewTest, DriverNotifyDrainsTheQueueAndRefreshesForKindsTwoAndThreeOnly)
{
    ASSERT_TRUE(WaitForSettledView(View())); // nothing left from before, nothing on a timer
    {
        TraceWindow trace;
        EXPECT_EQ(0, SendMessageA(View().m_hWnd, WM_DRIVER_NOTIFY, 0, 0));
        EXPECT_EQ(1, trace.Count("GetNotification"));
        trace.ExpectShownDevicesPageRefreshed(0);
    }
    Sim({"notify", "2"});
    Sim({"notify", "1"});
    Sim({"notify", "3"});
    TraceWindow trace;
    EXPECT_EQ(0, SendMessageA(View().m_hWnd, WM_DRIVER_NOTIFY, 0, 0));
    EXPECT_EQ(4, trace.Count("GetNotification")) << "three records, then the empty queue";
    trace.ExpectShownDevicesPageRefreshed(1); // once for the batch, however many records it held
    Pump();
}

TEST_F(ViewTest, ChangeRecordsReachTheViewThroughTheNotificationThread)
{
    Pump();
    TraceWindow trace;
    Sim({"set", "name", "2", "Desk Unit"}); // the stand-in queues a change record for it
    CListCtrlEx& list = View().m_DevicesPage.m_DeviceList;
    const DWORD start = GetTickCount();
    while (list.GetItemText(1, 0) != "Desk Unit" && GetTickCount() - start < 10000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    EXPECT_EQ("Desk Unit", list.GetItemText(1, 0)) << trace.Text();
    Sim({"set", "name", "2", "Model B Mobile"});
}

// A change refreshes the page shown and the device count; any other page re-reads when it is
// shown, and while the window sits hidden in the tray only the count its tip tells is read.
TEST_F(ViewTest, AChangeRefreshesWhatIsSeenAndEveryOtherPageWhenItIsShown)
{
    CKVX_USB_CPLView& view = View();
    LookAt(View(), view.m_SyncPage, PAGE_SYNCHRONISATION);
    ASSERT_TRUE(WaitForSettledView(view));
    {
        TraceWindow trace;
        Sim({"unplug", "1"}); // a change record: one of two devices goes
        ASSERT_TRUE(WaitForSettledView(view));
        EXPECT_EQ("1 Device(s) connected.", DeviceCountText());
        EXPECT_EQ(1, trace.Count("GetSynchModeInfo")) << "the page shown";
        EXPECT_EQ(2, trace.Count("GetDeviceIdList")) << "the page shown and the count";
        for (const char* hidden :
             {"GetDeviceProperties", "GetChannelIdLists", "GetStreamBufferDepth"})
            EXPECT_EQ(0, trace.Count(hidden)) << hidden;
        EXPECT_EQ(1, Rows(Devices().m_DeviceList));
        EXPECT_EQ(2, Rows(Inputs().m_ChannelList));
    }
    Frame().SendMessage(WM_COMMAND, ID_APP_HIDE);
    ASSERT_FALSE(IsWindowVisible(g_hFrame));
    {
        TraceWindow trace;
        Sim({"plug", "1"});
        Sim({"set", "name", "2", "Named In The Tray"});
        ASSERT_TRUE(WaitForSettledView(view));
        std::istringstream operations(trace.Operations());
        for (std::string operation; operations >> operation;) {
            if (operation.rfind("Get", 0) == 0 && operation != "GetDeviceIdList") {
                EXPECT_EQ("GetNotification", operation) << trace.Text();
            }
        }
        EXPECT_GE(trace.Count("GetDeviceIdList"), 1) << "the tray's count\n" << trace.Text();
        EXPECT_EQ("2 Device(s) connected.", DeviceCountText());
    }
    Frame().SendMessage(WM_COMMAND, ID_APP_OPEN);
    ASSERT_TRUE(IsWindowVisible(g_hFrame));
    EXPECT_EQ(10, Rows(view.m_InputChannelsPage.m_ChannelList)) << "the page shown, re-read";
    EXPECT_EQ("2 Device(s) connected.", DeviceCountText());
    EXPECT_EQ("Named In The Tray", Devices().m_DeviceList.GetItemText(1, 0));
    Sim({"set", "name", "2", "Model B Mobile"});
    ASSERT_TRUE(WaitForSettledView(view));
}

TEST_F(ViewTest, BroadcastsWithoutAFitNameOrOfOtherEventsDoNothing)
{
    Pump();
    TraceWindow trace;
    Broadcast empty(""), four("ABCD"), path(kInterfacePath);
    GuardedBroadcast unterminatedFour("ABCDEFGH", 4); // its size leaves room for four only
    EXPECT_TRUE(DeviceChange(DBT_DEVICEARRIVAL, 0));
    EXPECT_TRUE(DeviceChange(DBT_DEVICEARRIVAL, empty.Record()));
    EXPECT_TRUE(DeviceChange(DBT_DEVICEREMOVECOMPLETE, four.Record()));
    EXPECT_TRUE(DeviceChange(DBT_DEVICEARRIVAL, unterminatedFour.Record()));
    for (WPARAM other : {WPARAM(DBT_DEVICEQUERYREMOVE), WPARAM(DBT_DEVICEREMOVEPENDING),
                         WPARAM(DBT_DEVICEQUERYREMOVEFAILED), WPARAM(DBT_CUSTOMEVENT),
                         WPARAM(DBT_DEVNODES_CHANGED)})
        EXPECT_TRUE(DeviceChange(other, path.Record()));
    trace.ExpectShownDevicesPageRefreshed(0);
}

TEST_F(ViewTest, ArrivalAndRemovalWithANameOfFiveOrMoreReconnectAndRefreshEveryPage)
{
    Pump();
    Broadcast five("ABCDE"), path(kInterfacePath);
    GuardedBroadcast unterminatedFive("ABCDE", 5); // the name runs to the record's end
    {
        TraceWindow trace;
        EXPECT_TRUE(DeviceChange(DBT_DEVICEARRIVAL, five.Record()));
        trace.ExpectShownDevicesPageRefreshed(1);
    }
    {
        TraceWindow trace;
        EXPECT_TRUE(DeviceChange(DBT_DEVICEREMOVECOMPLETE, path.Record()));
        trace.ExpectShownDevicesPageRefreshed(1);
    }
    {
        TraceWindow trace;
        EXPECT_TRUE(DeviceChange(DBT_DEVICEARRIVAL, unterminatedFive.Record()));
        trace.ExpectShownDevicesPageRefreshed(1);
    }
    EXPECT_TRUE(theDrv.IsOpen());
    EXPECT_EQ(2, Rows(View().m_DevicesPage.m_DeviceList));
}

TEST_F(ViewTest, UnplugAndPlugFollowTheStandInsBroadcastsOnEveryPage)
{
    Pump();
    CKVX_USB_CPLView& view = View();
    Sim({"unplug", "1"});
    EXPECT_EQ(2, Rows(view.m_DevicesPage.m_DeviceList)) << "still one device: no broadcast";
    Sim({"unplug", "2"}); // the last one: the interface goes away
    EXPECT_EQ(0, Rows(view.m_DevicesPage.m_DeviceList));
    EXPECT_EQ(0, Rows(Inputs().m_ChannelList));
    EXPECT_EQ(0, Rows(Outputs().m_ChannelList));
    EXPECT_EQ("0 Device(s) connected.", DeviceCountText());

    Sim({"plug", "2"});
    EXPECT_EQ("1 Device(s) connected.", DeviceCountText());
    EXPECT_EQ(4, Rows(Outputs().m_ChannelList));
    EXPECT_EQ(2, Rows(Inputs().m_ChannelList));
    ASSERT_EQ(1, Rows(Devices().m_DeviceList));
    EXPECT_EQ("Model B Mobile", view.m_DevicesPage.m_DeviceList.GetItemText(0, 0));
    Sim({"plug", "1"});
    Pump();
    // The first plug brought the interface back; the second is a change record.
    const DWORD start = GetTickCount();
    while (Rows(view.m_DevicesPage.m_DeviceList) != 2 && GetTickCount() - start < 10000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    EXPECT_EQ(2, Rows(view.m_DevicesPage.m_DeviceList));
}

TEST_F(ViewTest, RepeatedInitialUpdateRegistersAgainButBuildsNothingTwice)
{
    CKVX_USB_CPLView& view = View();
    std::vector<HWND> pagesBefore;
    for (CDialogPage* page : AllPages())
        pagesBefore.push_back(page->m_hWnd);
    HTREEITEM selected = view.m_PageTree.GetSelectedItem();
    TraceWindow trace;
    view.OnInitialUpdate();
    EXPECT_EQ(5u, view.m_PageTree.GetCount());
    EXPECT_EQ(selected, view.m_PageTree.GetSelectedItem());
    std::vector<HWND> pagesAfter;
    for (CDialogPage* page : AllPages())
        pagesAfter.push_back(page->m_hWnd);
    EXPECT_EQ(pagesBefore, pagesAfter);
    EXPECT_EQ(0, trace.Count("RegisterNotificationEvent")) << "a second notification thread";
    EXPECT_TRUE(GetPropA(view.m_hWnd, DriverInterfaceMark().c_str())) << "registered again";
    // Still followed: one arrival, one refresh.
    Broadcast path(kInterfacePath);
    TraceWindow arrival;
    DeviceChange(DBT_DEVICEARRIVAL, path.Record());
    arrival.ExpectShownDevicesPageRefreshed(1);
}

TEST_F(ViewTest, AReconnectThatFindsNoDriverLeavesEveryPageEmptyOrDisabled)
{
    CKVX_USB_CPLView& view = View();
    g_sim->Kill(); // gone without a word
    Broadcast path(kInterfacePath);
    EXPECT_TRUE(DeviceChange(DBT_DEVICEREMOVECOMPLETE, path.Record()));
    EXPECT_FALSE(theDrv.IsOpen());
    EXPECT_EQ(0, Rows(view.m_DevicesPage.m_DeviceList));
    EXPECT_EQ(0, Rows(Inputs().m_ChannelList));
    EXPECT_EQ(0, Rows(Outputs().m_ChannelList));
    CDlgPgASIOSettings& buffers = LookAt(View(), view.m_SettingsPage, PAGE_SETTINGS);
    EXPECT_FALSE(buffers.m_StreamSlider.IsWindowEnabled());
    EXPECT_FALSE(buffers.m_AsioSlider.IsWindowEnabled());
    EXPECT_FALSE(buffers.m_WdmSlider.IsWindowEnabled());
    DlgPgSync& sync = LookAt(View(), view.m_SyncPage, PAGE_SYNCHRONISATION);
    EXPECT_FALSE(sync.m_RateList.IsWindowEnabled());
    EXPECT_EQ(0, sync.m_RateList.GetCount());
    Devices();
}

TEST_F(ViewTest, TheDriversReturnConnectsAgainWithChangeRecordsFollowed)
{
    CKVX_USB_CPLView& view = View();
    ASSERT_FALSE(g_sim->Running());
    // A new stand-in announces its interface as it starts.
    ASSERT_TRUE(g_sim->Start("demo", {"--trace", g_tracePath})) << g_sim->Log();
    const DWORD announced = GetTickCount();
    while (!theDrv.IsOpen() && GetTickCount() - announced < 10000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    EXPECT_TRUE(theDrv.IsOpen());
    EXPECT_EQ(2, Rows(view.m_DevicesPage.m_DeviceList));
    EXPECT_TRUE(
        LookAt(View(), view.m_SettingsPage, PAGE_SETTINGS).m_StreamSlider.IsWindowEnabled());
    Devices();
    // The notification of the driver that went away is not waited on; a new one serves.
    Sim({"set", "name", "1", "Back Again"});
    CListCtrlEx& list = view.m_DevicesPage.m_DeviceList;
    const DWORD start = GetTickCount();
    while (list.GetItemText(0, 0) != "Back Again" && GetTickCount() - start < 10000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    EXPECT_EQ("Back Again", list.GetItemText(0, 0));
}

// A driver killed and loaded again, with no removal in between: its arrival reconnects, and
// the notification is registered with the new driver, so that its changes are still heard.
TEST_F(ViewTest, AHardRestartOfTheDriverKeepsItsChangesHeard)
{
    CKVX_USB_CPLView& view = View();
    g_sim->Kill();
    ASSERT_TRUE(g_sim->Start("demo", {"--trace", g_tracePath})) << g_sim->Log();
    ASSERT_TRUE(PumpUntil([] { return theDrv.IsOpen(); }));
    EXPECT_TRUE(PumpUntil([] {
        return g_sim->Run({"status"}).output.find("event registered") != std::string::npos;
    })) << g_sim->Run({"status"}).output;
    Sim({"unplug", "1"}); // a change record: one of two devices goes
    EXPECT_TRUE(PumpUntil([&] { return Rows(view.m_DevicesPage.m_DeviceList) == 1; }))
        << "the unplug was not heard";
    EXPECT_EQ("1 Device(s) connected.", DeviceCountText());
    Sim({"plug", "1"});
    EXPECT_TRUE(PumpUntil([&] { return Rows(view.m_DevicesPage.m_DeviceList) == 2; }));
}

// An arrival whose reconnect fails once is tried again on a timer, without another broadcast.
TEST_F(ViewTest, AnArrivalThatCannotConnectIsTriedAgain)
{
    CKVX_USB_CPLView& view = View();
    Sim({"unplug", "1"});
    Sim({"unplug", "2"});
    EXPECT_EQ("0 Device(s) connected.", DeviceCountText());
    Sim({"fault", "GetDriverInfo", "1", "0x1F"});
    Sim({"plug", "2"}); // the arrival's reconnect fails
    EXPECT_FALSE(theDrv.IsOpen());
    EXPECT_TRUE(PumpUntil([] { return theDrv.IsOpen(); }, 5000)) << "no retry";
    EXPECT_EQ(1, Rows(view.m_DevicesPage.m_DeviceList));
    EXPECT_EQ("1 Device(s) connected.", DeviceCountText());
    Sim({"plug", "1"});
    EXPECT_TRUE(PumpUntil([&] { return Rows(view.m_DevicesPage.m_DeviceList) == 2; }));
}

// A reconnect whose notification cannot start is tried again until the driver's changes are
// heard; every reconnect and every change record reads the display-name option again, for
// both channel pages alike.
TEST_F(ViewTest, AReconnectKeepsChangesHeardAndTheDisplayNameOptionCurrent)
{
    CKVX_USB_CPLView& view = View();
    ASSERT_TRUE(WaitForSettledView(view));
    Sim({"set", "asio-names", "1"}); // as another program would
    Sim({"fault", "RegisterNotificationEvent", "1", "0x1F"});
    Broadcast path(kInterfacePath);
    DeviceChange(DBT_DEVICEARRIVAL, path.Record());
    EXPECT_TRUE(theDrv.IsOpen());
    for (CDlgPgChannels* page : {&Inputs(), &Outputs()}) {
        EXPECT_EQ(BST_CHECKED, page->m_AsioNamesCheck.GetCheck());
        EXPECT_EQ(0u, page->m_ChannelList.GetItemText(0, 2).find(
                          page->m_ChannelList.GetItemText(0, 0) + " - "));
    }
    EXPECT_TRUE(PumpUntil([] {
        return g_sim->Run({"status"}).output.find("event registered") != std::string::npos;
    })) << "the notification was not started again";
    Devices();
    Sim({"set", "name", "2", "Heard Again"});
    EXPECT_TRUE(PumpUntil(
        [&] { return view.m_DevicesPage.m_DeviceList.GetItemText(1, 0) == "Heard Again"; }));
    Sim({"set", "name", "2", "Model B Mobile"});
    Sim({"set", "asio-names", "0"}); // heard as another program's change
    EXPECT_TRUE(WaitForSettledView(view));
    EXPECT_EQ(BST_UNCHECKED, Outputs().m_AsioNamesCheck.GetCheck());
    EXPECT_EQ(BST_UNCHECKED, view.m_InputChannelsPage.m_AsioNamesCheck.GetCheck());
    Devices();
}

// A driver that stops answering: the window answers within a request's bound all along, the
// status bar says so and the pages show nothing, as with no driver; once the driver answers
// again everything is read again and its changes are heard.
TEST_F(ViewTest, AStalledDriverNeverHoldsTheWindowAndIsReadAgainWhenItAnswers)
{
    CKVX_USB_CPLView& view = View();
    CListCtrlEx& list = Devices().m_DeviceList;
    ASSERT_TRUE(WaitForSettledView(view));
    ASSERT_EQ(2, Rows(list));
    UnansweredWatch watch(g_hFrame);
    Sim({"fault", "stall", "5000"});
    Sim({"set", "name", "1", "Renamed In Stall"}); // its change record is read, and held
    EXPECT_TRUE(PumpUntil([&] { return DeviceCountText() == "Driver not responding."; }));
    EXPECT_EQ(CConnectionState::NotResponding, view.DriverState());
    EXPECT_EQ(0, Rows(list));
    // Another page shown meanwhile asks nothing of the driver, and waits for nothing.
    EXPECT_EQ(0, LookAt(view, view.m_SyncPage, PAGE_SYNCHRONISATION).m_RateList.GetCount());
    EXPECT_TRUE(
        PumpUntil([&] { return view.DriverState() == CConnectionState::Connected; }, 15000));
    Devices();
    EXPECT_TRUE(PumpUntil([&] { return list.GetItemText(0, 0) == "Renamed In Stall"; }));
    EXPECT_EQ("2 Device(s) connected.", DeviceCountText());
    const DWORD longest = watch.Stop();
    EXPECT_LT(longest, 2000u) << "the window went unanswered for " << longest << " ms";
    Sim({"set", "name", "1", "Model B Studio"});
    EXPECT_TRUE(PumpUntil([&] { return list.GetItemText(0, 0) == "Model B Studio"; }))
        << "a change after the stall was not heard";
}

// Removals and arrivals while the driver holds a request reopen nothing, so that no thread
// or handle is left with the driver for each; the held request's end reconnects once.
TEST_F(ViewTest, BroadcastsDuringAStallReopenNothingUntilTheDriverAnswers)
{
    CKVX_USB_CPLView& view = View();
    ASSERT_TRUE(WaitForSettledView(view));
    auto programThreads = [] {
        std::set<DWORD> threads;
        for (DWORD id : ThreadsOfThisProcess())
            if (StartedByTheProgram(id))
                threads.insert(id);
        return threads.size();
    };
    const size_t threads = programThreads();
    // Left in place: the channels opened from now on keep it.
    static CountingDeviceIo* io = new CountingDeviceIo;
    const unsigned opened = io->opens;
    Sim({"fault", "stall", "4000"});
    Sim({"set", "name", "1", "Renamed In Stall"}); // its change record is read, and held
    ASSERT_TRUE(PumpUntil([&] { return view.DriverState() == CConnectionState::NotResponding; }));
    Broadcast path(kInterfacePath);
    for (int round = 0; round < 5; ++round) {
        DeviceChange(DBT_DEVICEREMOVECOMPLETE, path.Record());
        DeviceChange(DBT_DEVICEARRIVAL, path.Record());
    }
    EXPECT_EQ(opened, io->opens) << "reopened while the driver held a request";
    EXPECT_LE(programThreads(), threads);
    EXPECT_TRUE(
        PumpUntil([&] { return view.DriverState() == CConnectionState::Connected; }, 15000));
    EXPECT_EQ(opened + 2, io->opens) << "the view's channel and the notification's, once";
    EXPECT_LE(programThreads(), threads);
    Sim({"set", "name", "1", "Model B Studio"});
}

// The file dialogs and accessibility are loaded by a session that uses them, not at start:
// every page shown maps neither, and a screen reader's first question maps accessibility.
TEST_F(ViewTest, FileDialogsAndAccessibilityAreLoadedOnFirstUse)
{
    for (CPageCode page : {PAGE_SETTINGS, PAGE_DEVICES, PAGE_INPUT_CHANNELS, PAGE_OUTPUT_CHANNELS,
                           PAGE_SYNCHRONISATION})
        View().ShowPage(page);
    EXPECT_EQ(nullptr, GetModuleHandleA("comdlg32.dll"));
    EXPECT_EQ(nullptr, GetModuleHandleA("oleacc.dll"));
    HWND tree = View().m_PageTree.m_hWnd; // named by its label
    EXPECT_NE(0, SendMessageA(tree, WM_GETOBJECT, 0, OBJID_CLIENT));
    EXPECT_NE(nullptr, GetModuleHandleA("oleacc.dll"));
}

TEST_F(ViewTest, QuitStopsTheNotificationThreadAndLeavesNoThreadBehind)
{
    std::set<DWORD> started;
    for (DWORD id : ThreadsOfThisProcess())
        if (!g_threadsBefore.count(id) && StartedByTheProgram(id))
            started.insert(id);
    ASSERT_FALSE(started.empty()) << "the notification thread should be running";
    HWND view = View().m_hWnd;
    SendMessageA(g_hFrame, WM_COMMAND, ID_APP_QUIT, 0);
    ASSERT_TRUE(PumpUntilQuit(15000));
    EXPECT_FALSE(IsWindow(view));
    for (DWORD id : started) {
        HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
        const bool ended = !thread || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        if (thread)
            CloseHandle(thread);
        EXPECT_TRUE(ended) << "thread " << id << " still runs";
    }
}
