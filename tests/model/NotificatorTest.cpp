// The change notificator against a fake device whose queue signals the registered event:
// start and stop in every state, posting to the target, and the failed starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <vector>

#include "FakeDriverModel.h"
#include "KvxuUsbNotificator.h"
#include "MessagePump.h"
#include "NoticeWindow.h"

namespace {

// The threads the program started since `before` (the wait thread; the system's pool, which
// carries the fake device's requests, is left alone), opened to be suspended and waited for.
std::vector<HANDLE> OpenNewThreads(const std::set<DWORD>& before)
{
    std::vector<HANDLE> threads;
    for (DWORD id : ThreadsOfThisProcess())
        if (!before.count(id) && StartedByTheProgram(id))
            threads.push_back(OpenThread(SYNCHRONIZE | THREAD_SUSPEND_RESUME, FALSE, id));
    return threads;
}

class NotificatorTest : public ::testing::Test {
protected:
    void Drain()
    {
        _KVX_USB_NOTIFICATION record;
        while (notificator.GetNotification(&record) == 0)
            drained.push_back(record.Kind);
    }

    FakeDeviceIo device;
    FakeDriverModel model{device};
    NoticeWindow window;
    CKvxuUsbNotificator notificator;
    std::vector<int32_t> drained;
};

TEST_F(NotificatorTest, SignalPostsTheStoredMessageAndTheDrainTakesEveryRecord)
{
    notificator.SetTarget(window.hwnd, WM_DRIVER_NOTIFY, 7, 9);
    ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    ASSERT_TRUE(notificator.IsRunning());
    ASSERT_NE(nullptr, model.registeredEvent);
    window.onNotice = [this] { Drain(); };

    for (int32_t kind = 1; kind <= 5; ++kind)
        model.QueueNotification(kind);
    ASSERT_TRUE(window.WaitForNotices(1));
    EXPECT_LE(window.notices, 5);
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 4, 5}), drained);
    EXPECT_EQ(7u, window.lastWParam);
    EXPECT_EQ(9, window.lastLParam);

    model.QueueNotification(3); // a later signal wakes the thread again
    ASSERT_TRUE(window.WaitForNotices(window.notices + 1));
    EXPECT_EQ(3, drained.back());
    EXPECT_EQ(0u, notificator.Stop());
}

TEST_F(NotificatorTest, NullTargetDropsNoticesAndStopStillEndsTheThread)
{
    notificator.SetTarget(nullptr, WM_DRIVER_NOTIFY, 0, 0);
    ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    model.QueueNotification(2);
    EXPECT_FALSE(window.WaitForNotices(1, 300));

    notificator.SetTarget(window.hwnd, WM_DRIVER_NOTIFY, 0, 0); // takes effect for the next
    model.QueueNotification(2);
    EXPECT_TRUE(window.WaitForNotices(1));
    EXPECT_EQ(0u, notificator.Stop());
    EXPECT_FALSE(notificator.IsRunning());
}

TEST_F(NotificatorTest, StopClosesTheChannelWithOrWithoutAThread)
{
    EXPECT_EQ(0u, notificator.Stop()); // no thread: 0 at once

    ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_EQ(1, device.openHandles);
    EXPECT_EQ(0u, notificator.Stop());
    EXPECT_EQ(0, device.openHandles);
    _KVX_USB_NOTIFICATION record;
    EXPECT_EQ(DWORD(KVX_USB_E_NOT_OPEN), notificator.GetNotification(&record));
    EXPECT_EQ(0u, notificator.Stop()); // a second Stop finds no thread
}

TEST_F(NotificatorTest, FailedStartsLeaveNoThreadAndTheChannelClosed)
{
    device.present = false;
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_FALSE(notificator.IsRunning());

    device.present = true;
    device.driverInfo.InterfaceVersionMajor = 3;
    EXPECT_EQ(DWORD(KVX_USB_E_INTERFACE_VERSION), notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_FALSE(notificator.IsRunning());

    device.driverInfo.InterfaceVersionMajor = 2;
    model.registrationFailure = ERROR_ACCESS_DENIED;
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_FALSE(notificator.IsRunning());
    EXPECT_EQ(0, device.openHandles);
}

TEST_F(NotificatorTest, StartAfterStopRunsAFreshThread)
{
    notificator.SetTarget(window.hwnd, WM_DRIVER_NOTIFY, 0, 0);
    for (int round = 1; round <= 3; ++round) {
        ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
        model.QueueNotification(2);
        ASSERT_TRUE(window.WaitForNotices(round)) << "round " << round;
        Drain();
        EXPECT_EQ(0u, notificator.Stop());
    }
    EXPECT_EQ(3u, drained.size());
}

TEST_F(NotificatorTest, SecondStartKeepsTheOneThread)
{
    ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    EXPECT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    size_t registrations = 0;
    for (const FakeDeviceIo::Request& request : device.requests)
        registrations += request.code == IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT;
    EXPECT_EQ(1u, registrations);
    EXPECT_EQ(1, device.openHandles);
    EXPECT_EQ(0u, notificator.Stop());
}

TEST_F(NotificatorTest, DestroyedWhileRunningEndsQuietly)
{
    NoticeWindow other;
    {
        CKvxuUsbNotificator running;
        running.SetTarget(other.hwnd, WM_DRIVER_NOTIFY, 0, 0);
        ASSERT_EQ(0u, running.Start(KVX_USB_DEVICE_NAME));
        model.QueueNotification(2);
        ASSERT_TRUE(other.WaitForNotices(1));
    } // no Stop: the thread is told to end and keeps its own events alive
    EXPECT_EQ(0, device.openHandles);

    // The process goes on normally: another notificator starts and stops as usual.
    notificator.SetTarget(window.hwnd, WM_DRIVER_NOTIFY, 0, 0);
    ASSERT_EQ(0u, notificator.Start(KVX_USB_DEVICE_NAME));
    model.QueueNotification(2);
    EXPECT_TRUE(window.WaitForNotices(1));
    EXPECT_EQ(0u, notificator.Stop());
    EXPECT_FALSE(other.WaitForNotices(2, 100));
}

// A wait thread that cannot run (suspended here) makes Stop give up after its limit. The
// thread then keeps its own events and no target: the object starts again with fresh events
// and is destroyed, and the old thread still ends cleanly once it runs.
TEST_F(NotificatorTest, StopThatTimesOutLeavesTheThreadItsOwnState)
{
    auto owner = std::make_unique<CKvxuUsbNotificator>();
    owner->SetTarget(window.hwnd, WM_DRIVER_NOTIFY, 0, 0);
    std::set<DWORD> before = ThreadsOfThisProcess();
    ASSERT_EQ(0u, owner->Start(KVX_USB_DEVICE_NAME));
    model.QueueNotification(2);
    ASSERT_TRUE(window.WaitForNotices(1)); // the thread is back in its wait
    const std::vector<HANDLE> stuck = OpenNewThreads(before);
    ASSERT_EQ(1u, stuck.size());
    for (HANDLE thread : stuck) {
        ASSERT_NE(nullptr, thread);
        ASSERT_NE(DWORD(-1), SuspendThread(thread));
    }

    const DWORD start = GetTickCount();
    EXPECT_EQ(DWORD(KVX_USB_E_THREAD), owner->Stop());
    EXPECT_GE(GetTickCount() - start, CKvxuUsbNotificator::STOP_TIMEOUT_MS - 100);
    EXPECT_FALSE(owner->IsRunning());

    // Fresh events: the new thread is not ended by the old one's pending stop signal.
    ASSERT_EQ(0u, owner->Start(KVX_USB_DEVICE_NAME));
    model.QueueNotification(2);
    EXPECT_TRUE(window.WaitForNotices(2));
    EXPECT_EQ(0u, owner->Stop());
    owner.reset();

    for (HANDLE thread : stuck) {
        ResumeThread(thread);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
        CloseHandle(thread);
    }
    EXPECT_EQ(0, device.openHandles);
    EXPECT_FALSE(window.WaitForNotices(3, 100));
}

} // namespace
