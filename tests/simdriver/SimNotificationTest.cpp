// Change records: a queue per client handle, one signal of the client's own event per
// record, the kinds the stand-in reports, and who hears of whose changes.
#include <gtest/gtest.h>

#include <vector>

#include "SimFixture.h"

namespace {

class SimNotificationTest : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_EQ(0u, drv.RegisterNotificationEvent(event));
    }
    void TearDown() override { CloseHandle(event); }

    std::vector<_KVX_USB_NOTIFICATION> Drain(CKvxuUsbDriver& channel)
    {
        std::vector<_KVX_USB_NOTIFICATION> records;
        _KVX_USB_NOTIFICATION n;
        DWORD status;
        while ((status = channel.GetNotification(&n)) == 0 && records.size() < 5000)
            records.push_back(n);
        EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), status);
        return records;
    }

    bool Signalled(HANDLE e)
    {
        return SimDriverProcess::WaitPumping(&e, 1, 10000) == WAIT_OBJECT_0;
    }

    HANDLE event = nullptr;
};

TEST_F(SimNotificationTest, EachQueuedRecordSignalsTheEventAndIsTakenOnce)
{
    EXPECT_EQ(0u, Drain(drv).size());
    Command({"notify", "7", "11", "12"});
    ASSERT_TRUE(Signalled(event));
    std::vector<_KVX_USB_NOTIFICATION> records = Drain(drv);
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(7, records[0].Kind);
    EXPECT_EQ(11u, records[0].Data1);
    EXPECT_EQ(12u, records[0].Data2);

    // Several records before the waiter looks: at least one wake, and all of them drained.
    Command({"notify", "5"});
    Command({"notify", "6"});
    Command({"notify", "9"});
    ASSERT_TRUE(Signalled(event));
    records = Drain(drv);
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(5, records[0].Kind);
    EXPECT_EQ(9, records[2].Kind);
}

TEST_F(SimNotificationTest, KindsForDevicesSettingsAndStreaming)
{
    Command({"unplug", "2"});
    Command({"plug", "2"});
    Command({"set", "rate", "96000"});
    Command({"stream", "on"});
    ASSERT_TRUE(Signalled(event));
    std::vector<_KVX_USB_NOTIFICATION> r = Drain(drv);
    ASSERT_EQ(4u, r.size());
    EXPECT_EQ(2, r[0].Kind);
    EXPECT_EQ(2u, r[0].Data1);
    EXPECT_EQ(0u, r[0].Data2); // gone
    EXPECT_EQ(2, r[1].Kind);
    EXPECT_EQ(1u, r[1].Data2); // back
    EXPECT_EQ(3, r[2].Kind);
    EXPECT_EQ(4, r[3].Kind);
    EXPECT_EQ(1u, r[3].Data1);
}

TEST_F(SimNotificationTest, TwoClientsEachHaveTheirOwnQueue)
{
    CKvxuUsbDriver second;
    ASSERT_EQ(0u, second.Open(KVX_USB_DEVICE_NAME));
    HANDLE secondEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(0u, second.RegisterNotificationEvent(secondEvent));

    Command({"notify", "3"});
    ASSERT_TRUE(Signalled(event));
    ASSERT_TRUE(Signalled(secondEvent));
    EXPECT_EQ(1u, Drain(drv).size());
    EXPECT_EQ(1u, Drain(second).size()); // not taken by the first

    Command({"notify", "8"});
    ASSERT_TRUE(Signalled(secondEvent));
    EXPECT_EQ(1u, Drain(second).size());
    EXPECT_EQ(1u, Drain(drv).size());
    CloseHandle(secondEvent);
}

TEST_F(SimNotificationTest, OwnChangesAreNoNewsOtherProgramsChangesAre)
{
    // This process's own write is not reported back to it...
    ASSERT_EQ(0u, drv.SetSampleRate(44100));
    EXPECT_EQ(0u, Drain(drv).size());
    // ...another program's is.
    Command({"set", "name", "1", "Studio Left"});
    ASSERT_TRUE(Signalled(event));
    std::vector<_KVX_USB_NOTIFICATION> r = Drain(drv);
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(3, r[0].Kind);
    EXPECT_EQ(1u, r[0].Data2);
}

TEST_F(SimNotificationTest, AnEventHandleThatCannotBeTakenOverIsRefused)
{
    CKvxuUsbDriver other;
    ASSERT_EQ(0u, other.Open(KVX_USB_DEVICE_NAME));
    // No handle, the pseudo handles of the process and the thread (which duplicate into
    // real ones), and a handle of another kind.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    for (HANDLE bad : {reinterpret_cast<HANDLE>(UINT_PTR(0x7FFC)), INVALID_HANDLE_VALUE,
                       GetCurrentThread(), mutex}) {
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), other.RegisterNotificationEvent(bad)) << bad;
    }
    CloseHandle(mutex);
    // Nothing was registered: a change is no signal to anyone.
    Command({"notify", "3"});
    std::vector<_KVX_USB_NOTIFICATION> none = Drain(other);
    EXPECT_EQ(0u, none.size());
}

} // namespace
