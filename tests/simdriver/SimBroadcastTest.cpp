// Device-interface arrival and removal notices reach the windows registered for the
// driver's class, child windows included, also when the stand-in starts after them.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "DeviceNotification.h"
#include "DriverInterfaceNotification.h"
#include "SimDriverProcess.h"

namespace {

struct Notice {
    HWND window;
    WPARAM event;
    std::vector<char> record;
};
std::vector<Notice> g_notices;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE && lParam) {
        auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        size_t size = header->dbch_size < 1024 ? header->dbch_size : 1024;
        const char* bytes = reinterpret_cast<const char*>(lParam);
        g_notices.push_back({window, wParam, std::vector<char>(bytes, bytes + size)});
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class SimBroadcastTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_notices.clear();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SimBroadcastTestWindow";
        RegisterClassA(&wc);
        frame = CreateWindowA(wc.lpszClassName, "frame", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                              nullptr, nullptr, wc.hInstance, nullptr);
        view = CreateWindowA(wc.lpszClassName, "view", WS_CHILD, 0, 0, 100, 100, frame, nullptr,
                             wc.hInstance, nullptr);
        ASSERT_TRUE(frame && view);
        notification.Register(view);
    }
    void TearDown() override
    {
        notification.Unregister();
        DestroyWindow(frame);
    }

    // Delivers sent messages until a notice arrives or 10 seconds pass.
    bool AwaitNotice()
    {
        DWORD end = GetTickCount() + 10000;
        while (g_notices.empty()) {
            LONG left = LONG(end - GetTickCount());
            if (left <= 0)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left), QS_SENDMESSAGE);
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        return true;
    }

    // The one notice received, checked as a device-interface record of the driver's class.
    void ExpectNotice(WPARAM event)
    {
        ASSERT_TRUE(AwaitNotice());
        ASSERT_EQ(1u, g_notices.size());
        Notice notice = g_notices[0];
        g_notices.clear();
        EXPECT_EQ(view, notice.window);
        EXPECT_EQ(event, notice.event);
        const size_t nameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
        ASSERT_GE(notice.record.size(), nameAt + 6);
        DEV_BROADCAST_DEVICEINTERFACE_A head;
        std::memcpy(&head, notice.record.data(), nameAt);
        EXPECT_EQ(DWORD(DBT_DEVTYP_DEVICEINTERFACE), head.dbcc_devicetype);
        EXPECT_TRUE(IsEqualGUID(KVX_USB_INTERFACE_CLASS, head.dbcc_classguid));
        std::string name(notice.record.data() + nameAt, notice.record.size() - nameAt);
        name = name.c_str();
        EXPECT_GE(name.size(), 5u);
        EXPECT_EQ(notice.record.size(), nameAt + name.size() + 1);
    }

    SimDriverProcess sim; // first: its pipe name decides the windows' mark
    HWND frame = nullptr;
    HWND view = nullptr;
    CDriverInterfaceNotification notification;
};

TEST_F(SimBroadcastTest, ArrivalOnStartRemovalOnStopAndWhenTheLastDeviceGoes)
{
    ASSERT_TRUE(sim.Start()) << sim.Log(); // after the window registered
    ExpectNotice(DBT_DEVICEARRIVAL);

    ASSERT_EQ(0, sim.Run({"unplug", "1"}).exitCode);
    EXPECT_TRUE(g_notices.empty()); // one device is left: the interface stays
    ASSERT_EQ(0, sim.Run({"unplug", "2"}).exitCode);
    ExpectNotice(DBT_DEVICEREMOVECOMPLETE);
    ASSERT_EQ(0, sim.Run({"plug", "2"}).exitCode);
    ExpectNotice(DBT_DEVICEARRIVAL);

    ASSERT_TRUE(sim.Stop());
    ExpectNotice(DBT_DEVICEREMOVECOMPLETE);
}

TEST_F(SimBroadcastTest, AWindowRegisteredForAnotherStandInsPipeHearsNothingOfThisOne)
{
    notification.Unregister();
    SetEnvironmentVariableA("KVX_SIMDRIVER_PIPE", "another-test-program");
    notification.Register(view);
    ASSERT_TRUE(sim.Start()) << sim.Log();
    ASSERT_EQ(0, sim.Run({"unplug", "1"}).exitCode);
    ASSERT_EQ(0, sim.Run({"unplug", "2"}).exitCode);
    EXPECT_TRUE(g_notices.empty());
}

TEST_F(SimBroadcastTest, AnUnregisteredWindowHearsNothing)
{
    notification.Unregister();
    ASSERT_TRUE(sim.Start()) << sim.Log();
    // Broadcasts are sent before a command returns: after these, nothing is on its way.
    ASSERT_EQ(0, sim.Run({"unplug", "1"}).exitCode);
    ASSERT_EQ(0, sim.Run({"unplug", "2"}).exitCode);
    ASSERT_TRUE(sim.Stop());
    EXPECT_TRUE(g_notices.empty());
}

} // namespace
