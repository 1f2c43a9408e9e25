// The settings view against a driver that misbehaves in ways a stand-in does not: a change
// queue that never empties. And the list control the pages share.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include "AppMessages.h"
#include "Drv.h"
#include "FakeDeviceIo.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "DriverInterfaceNotification.h"
#include "ListCtrlEx.h"
#include "MessagePump.h"
#include "StackFill.h"

CKVX_USB_CPLApp theApp;
CDrv theDrv;

namespace {

FakeDeviceIo* g_device = nullptr;

class ViewFakeDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_device = new FakeDeviceIo; // before the view opens the driver
        static char commandLine[] = "";
        ASSERT_TRUE(AfxWinInit(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
        ASSERT_TRUE(theApp.InitInstance()) << "another panel holds the instance mutex?";
    }

    static HWND View()
    {
        return static_cast<CFrameWnd*>(theApp.m_pMainWnd)->GetActiveView()->m_hWnd;
    }
    static int Requests(DWORD code)
    {
        return int(
            std::count_if(g_device->requests.begin(), g_device->requests.end(),
                          [code](const FakeDeviceIo::Request& r) { return r.code == code; }));
    }
    static bool NoticeQueued()
    {
        MSG msg;
        return PeekMessageA(&msg, View(), WM_DRIVER_NOTIFY, WM_DRIVER_NOTIFY, PM_REMOVE) != FALSE;
    }
};

} // namespace

TEST_F(ViewFakeDriverTest, AQueueThatNeverEmptiesDoesNotHoldTheWindow)
{
    _KVX_USB_NOTIFICATION record = {};
    record.Kind = 2;
    g_device->Answer(IOCTL_KVX_USB_GET_NOTIFICATION, record);
    while (NoticeQueued()) {
    }
    g_device->requests.clear();

    // The message returns, having taken one batch of records, without a refresh yet.
    EXPECT_EQ(0, SendMessageA(View(), WM_DRIVER_NOTIFY, 0, 0));
    const int batch = Requests(IOCTL_KVX_USB_GET_NOTIFICATION);
    EXPECT_GT(batch, 2);
    EXPECT_LT(batch, 5000);
    EXPECT_EQ(0, Requests(IOCTL_KVX_USB_GET_DEVICE_ID_LIST));
    // Further notices wait for the drain timer, which comes after input and painting.
    EXPECT_EQ(0, SendMessageA(View(), WM_DRIVER_NOTIFY, 0, 0));
    EXPECT_EQ(batch, Requests(IOCTL_KVX_USB_GET_NOTIFICATION));
    // While the storm lasts the pages are refreshed once in a while, not once a record: over
    // sixteen batches, each taken within one message, however many records a loaded machine
    // gets through in a batch's time.
    int batches = 0;
    for (int seen = batch; batches < 16 && PumpOneMessage(10000);) {
        const int taken = Requests(IOCTL_KVX_USB_GET_NOTIFICATION);
        batches += taken != seen ? 1 : 0;
        seen = taken;
    }
    ASSERT_EQ(batches, 16);
    const int refreshes = Requests(IOCTL_KVX_USB_GET_DEVICE_ID_LIST);
    EXPECT_GE(refreshes, 1);
    EXPECT_LE(refreshes, 3);

    // Once the queue is empty, the storm ends: one refresh more for the records taken since the
    // last (none when the last batch refreshed), and nothing left on the timer.
    g_device->failures[IOCTL_KVX_USB_GET_NOTIFICATION] = ERROR_NO_MORE_ITEMS;
    g_device->requests.clear();
    EXPECT_TRUE(PumpUntil([] { return GetActiveSettingsView()->SettleChanges(); }));
    EXPECT_GE(Requests(IOCTL_KVX_USB_GET_NOTIFICATION), 1) << "the timer finds the queue empty";
    EXPECT_LE(Requests(IOCTL_KVX_USB_GET_DEVICE_ID_LIST), 1);
    g_device->requests.clear();
    EXPECT_EQ(0, SendMessageA(View(), WM_DRIVER_NOTIFY, 0, 0));
    EXPECT_EQ(1, Requests(IOCTL_KVX_USB_GET_NOTIFICATION));
    EXPECT_FALSE(NoticeQueued());
}

// Answers that succeed with fewer bytes than their record are failed reads: a change record
// cut short may have been any change, and a channel whose device comes back short is left out.
TEST_F(ViewFakeDriverTest, ShortAnswersAreFailedReads)
{
    int served = 0;
    g_device->respond = [&served](const FakeDeviceIo::Request& request, DWORD& status,
                                  std::vector<unsigned char>& answer) {
        if (request.code != IOCTL_KVX_USB_GET_NOTIFICATION)
            return false;
        if (++served == 1) {
            _KVX_USB_NOTIFICATION record = {};
            record.Kind = KVX_USB_NOTIFY_DEVICE_CHANGE;
            answer = FakeDeviceIo::Bytes(record);
        } else if (served > 4) {
            status = ERROR_NO_MORE_ITEMS;
        } // else: success without a byte
        return true;
    };
    g_device->requests.clear();
    EXPECT_EQ(0, SendMessageA(View(), WM_DRIVER_NOTIFY, 0, 0));
    EXPECT_EQ(2, Requests(IOCTL_KVX_USB_GET_NOTIFICATION)) << "the drain stops at the short one";
    // At once, or once the gap left after the last test's refresh has passed.
    EXPECT_TRUE(PumpUntil([] { return Requests(IOCTL_KVX_USB_GET_DEVICE_ID_LIST) > 0; }));
    EXPECT_EQ(1, Requests(IOCTL_KVX_USB_GET_DEVICE_ID_LIST)) << "one refresh, for both";
    g_device->respond = nullptr;

    // A channel whose device record comes back empty is left out.
    _KVX_USB_CHANNEL_ID_LISTS lists = {};
    lists.Input.Count = 1;
    lists.Input.ChannelIds[0] = 7;
    g_device->Answer(IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, lists);
    _KVX_USB_CHANNEL_PROPERTIES channel = {};
    channel.ChannelId = 7;
    channel.DeviceId = 1;
    std::strcpy(channel.ChannelName, "Mic 1");
    g_device->Answer(IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, channel);
    g_device->answers[IOCTL_KVX_USB_GET_DEVICE_PROPERTIES].clear();
    CDlgPgChannels& page = GetActiveSettingsView()->m_InputChannelsPage;
    FillStackBelow('G');
    page.FillChannelList();
    EXPECT_EQ(0, page.m_ChannelList.GetItemCount());
    g_device->answers.clear();
}

// A count past its record's capacity is a list not read: no clock source is offered.
TEST_F(ViewFakeDriverTest, ClockSourceCountPastTheRecordOffersNone)
{
    _KVX_USB_DEVICE_ID_LIST devices = {};
    devices.Count = 1;
    devices.DeviceIds[0] = 1;
    g_device->Answer(IOCTL_KVX_USB_GET_DEVICE_ID_LIST, devices);
    _KVX_USB_DEVICE_SYNCH_MODE_INFO modes = {};
    modes.DeviceId = 1;
    modes.SourceCount = 1000;
    for (int i = 0; i < 16; ++i) {
        modes.Sources[i].SourceId = i;
        std::snprintf(modes.Sources[i].Name, sizeof modes.Sources[i].Name, "Source %d", i);
    }
    modes.Current = modes.Sources[15];
    g_device->Answer(IOCTL_KVX_USB_GET_SYNCH_MODE_INFO, modes);
    DlgPgSync& page = GetActiveSettingsView()->m_SyncPage;
    page.Refresh();
    EXPECT_EQ(0, page.m_SourceList.GetCount());
    EXPECT_FALSE(page.m_SourceList.IsWindowEnabled());
    g_device->answers.clear();
}

// The filter the view registers with: 32 bytes, a device interface, the driver's class
// {5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0} as its bytes lie in memory, and no name.
TEST(DriverInterfaceFilterTest, NamesTheDriversInterfaceClass)
{
    const DEV_BROADCAST_DEVICEINTERFACE_A filter = DriverInterfaceFilter();
    EXPECT_EQ(32u, filter.dbcc_size);
    EXPECT_EQ(5u, filter.dbcc_devicetype);
    EXPECT_EQ(0u, filter.dbcc_reserved);
    const unsigned char classBytes[16] = {0x31, 0x8C, 0x2A, 0x5D, 0x4B, 0x7E, 0x90, 0x4F,
                                          0xB3, 0xA6, 0xC1, 0x8E, 0x27, 0xD4, 0xF5, 0xA0};
    EXPECT_EQ(0, std::memcmp(&filter.dbcc_classguid, classBytes, sizeof classBytes));
    EXPECT_EQ('\0', filter.dbcc_name[0]);
}

TEST_F(ViewFakeDriverTest, ListReportsItsFirstSelectedRowOrMinusOne)
{
    CListCtrlEx list;
    ASSERT_TRUE(list.CreateEx(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT | LVS_SINGLESEL, 0, 0, 200,
                              100, View(), 4711));
    list.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
    EXPECT_EQ(-1, list.GetSelectedItem()) << "empty";
    for (int row = 0; row < 5; ++row)
        list.InsertItem(row, "row");
    EXPECT_EQ(-1, list.GetSelectedItem()) << "none selected";
    list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(3, list.GetSelectedItem());
    list.SetItemState(3, 0, LVIS_SELECTED);
    EXPECT_EQ(-1, list.GetSelectedItem());
}

// A refresh for reported changes reads the channels a slice at a time between messages: the
// window answers meanwhile, the list shows only whole reads, the read before until the next is
// complete, and a change reported during a read is read again after it.
TEST_F(ViewFakeDriverTest, ChannelsReadInSlicesShowOnlyWholeReads)
{
    CKVX_USB_CPLView& view = *GetActiveSettingsView();
    view.ShowPage(PAGE_INPUT_CHANNELS);
    CDlgPgChannels& page = view.m_InputChannelsPage;
    _KVX_USB_CHANNEL_ID_LISTS lists = {};
    lists.Input.Count = 3;
    for (uint32_t i = 0; i < lists.Input.Count; ++i)
        lists.Input.ChannelIds[i] = 10 + i;
    g_device->Answer(IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, lists);
    std::string name = "Old";
    int records = 0; // change records to hand out
    g_device->respond = [&](const FakeDeviceIo::Request& request, DWORD& status,
                            std::vector<unsigned char>& answer) {
        if (request.code == IOCTL_KVX_USB_GET_NOTIFICATION) {
            _KVX_USB_NOTIFICATION record = {};
            record.Kind = KVX_USB_NOTIFY_DEVICE_CHANGE;
            answer = FakeDeviceIo::Bytes(record);
            status = records-- > 0 ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
            return true;
        }
        if (request.code == IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES) {
            _KVX_USB_CHANNEL_PROPERTIES channel = {};
            std::memcpy(&channel.ChannelId, request.in.data(), sizeof channel.ChannelId);
            std::snprintf(channel.ChannelName, sizeof channel.ChannelName, "%s %u", name.c_str(),
                          unsigned(channel.ChannelId));
            answer = FakeDeviceIo::Bytes(channel);
            return true;
        }
        if (request.code == IOCTL_KVX_USB_GET_DEVICE_PROPERTIES)
            Sleep(60); // longer than a slice: every device read ends one
        return false;
    };
    const auto names = [&page] {
        std::string all;
        for (int row = 0; row < page.m_ChannelList.GetItemCount(); ++row)
            all += page.m_ChannelList.GetItemText(row, 1) + ";";
        return all;
    };
    // Message by message: a slice ends past its timer's next tick, and a drained queue would
    // run the whole read.
    const auto pumpUntil = [](const std::function<bool()>& done) {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > 10000)
                return false;
            PumpOneMessage(100);
        }
        return true;
    };
    page.FillChannelList();
    ASSERT_EQ("Old 10;Old 11;Old 12;", names());

    name = "New";
    records = 1;
    g_device->requests.clear();
    SendMessageA(View(), WM_DRIVER_NOTIFY, 0, 0);
    ASSERT_TRUE(pumpUntil([] { return Requests(IOCTL_KVX_USB_GET_DEVICE_PROPERTIES) > 0; }));
    EXPECT_TRUE(page.IsReading());
    name = "Third";
    records = 1;
    SendMessageA(View(), WM_DRIVER_NOTIFY, 0, 0);
    std::set<std::string> shown;
    int oldWhileReading = 0;
    ASSERT_TRUE(pumpUntil([&] {
        shown.insert(names());
        oldWhileReading += page.IsReading() && names() == "Old 10;Old 11;Old 12;";
        return view.SettleChanges();
    }));
    g_device->respond = nullptr;
    g_device->answers.clear();
    EXPECT_EQ("Third 10;Third 11;Third 12;", names());
    EXPECT_GE(oldWhileReading, 1) << "the window answered during the read";
    for (const std::string& seen : shown)
        EXPECT_TRUE(seen == "Old 10;Old 11;Old 12;" || seen == "New 10;New 11;New 12;" ||
                    seen == "Third 10;Third 11;Third 12;")
            << seen;
}
