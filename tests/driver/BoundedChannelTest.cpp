// The bounded channel: a driver that holds a request never holds its caller longer than the
// request's bound, its late answer reaches no record, and the channel waits for it before it
// asks anything else.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"

namespace {

// A control device that answers GetDriverInfo at once (unless told to hold it too) and holds
// every other request until released, then fills the whole output with 0xAB.
class HoldingDeviceIo final : public IDeviceIo {
public:
    HoldingDeviceIo()
        : m_release(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_previous(ReplaceDeviceIo(this))
    {
    }
    ~HoldingDeviceIo()
    {
        Release();
        ReplaceDeviceIo(m_previous);
        CloseHandle(m_release);
    }

    HANDLE Open(const char*) override
    {
        ++opened;
        return HANDLE(UINT_PTR(0x2000));
    }
    BOOL Control(HANDLE, DWORD code, const void*, DWORD, void* out, DWORD outSize,
                 DWORD* bytesReturned) override
    {
        ++requests;
        if (code != IOCTL_KVX_USB_GET_DRIVER_INFO || holdDriverInfo)
            WaitForSingleObject(m_release, 20000);
        std::memset(out, 0xAB, outSize);
        if (code == IOCTL_KVX_USB_GET_DRIVER_INFO && outSize >= 2) {
            static_cast<uint8_t*>(out)[0] = 2; // interface 2.1
            static_cast<uint8_t*>(out)[1] = 1;
        }
        *bytesReturned = outSize;
        return TRUE;
    }
    void Close(HANDLE) override { ++closed; }

    void Release() { SetEvent(m_release); }

    std::atomic<bool> holdDriverInfo{false};
    std::atomic<int> opened{0};
    std::atomic<int> closed{0};
    std::atomic<int> requests{0};

private:
    HANDLE m_release;
    IDeviceIo* m_previous;
};

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10); // another thread's progress: no message queue to pump here
    }
    return true;
}

bool AllBytes(const void* record, size_t size, unsigned char value)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(record);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != value)
            return false;
    return true;
}

} // namespace

// A device I/O that answers inside Control, as the tests' fakes do, is carried out beside its
// caller by the default Begin, so that the channel bounds a Control that holds a request too,
// and Finish gives Control's outcome as Control gave it.
TEST(DeviceIoDefault, ControlRunsBesideTheCallerAndFinishGivesItsOutcome)
{
    struct Outcome {
        BOOL done;
        DWORD error;
        DWORD count;
    };
    class AnsweringIo final : public IDeviceIo {
    public:
        HANDLE Open(const char*) override { return HANDLE(UINT_PTR(0x3000)); }
        void Close(HANDLE) override {}
        BOOL Control(HANDLE, DWORD, const void*, DWORD, void* out, DWORD, DWORD* count) override
        {
            thread = GetCurrentThreadId();
            std::memset(out, 0x5A, outcome.count);
            *count = outcome.count;
            SetLastError(outcome.error);
            return outcome.done;
        }
        Outcome outcome = {};
        DWORD thread = 0;
    } io;
    for (const Outcome& outcome : {Outcome{TRUE, 0, 8}, Outcome{FALSE, 0x1F, 0},
                                   Outcome{FALSE, KVX_USB_E_STREAMING_ACTIVE, 3}}) {
        io.outcome = outcome;
        KvxDeviceRequest request;
        request.out.resize(8);
        ASSERT_FALSE(io.Begin(HANDLE(UINT_PTR(0x3000)), request));
        ASSERT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(request.overlapped.hEvent, 10000));
        EXPECT_NE(GetCurrentThreadId(), io.thread);
        DWORD count = 99;
        EXPECT_EQ(outcome.done, io.Finish(HANDLE(UINT_PTR(0x3000)), request, &count));
        if (!outcome.done) {
            EXPECT_EQ(outcome.error, GetLastError());
        }
        EXPECT_EQ(outcome.count, count);
        EXPECT_TRUE(AllBytes(request.out.data(), outcome.count, 0x5A));
    }
}

TEST(RequestBound, AClockChangeOrAStreamRestartMayTakeLongerThanAnyOtherRequest)
{
    const std::set<std::string> clockChanges = {"SetSampleRate", "SetSampleRateMode",
                                                "SetSynchMode",  "SetClockMaster",
                                                "StopStreams",   "StartStreams"};
    for (const KvxUsbOperation& op : g_KvxUsbOperations) {
        const DWORD expected = clockChanges.count(op.name) ? 5000u : 1000u;
        EXPECT_EQ(expected, RequestBoundMs(op.code)) << op.name;
    }
}

TEST(BoundedChannel, AHeldRequestEndsAtItsBoundAndItsLateAnswerReachesNoRecord)
{
    HoldingDeviceIo io;
    CKvxuUsbDriver driver;
    int handlerCalls = 0;
    driver.SetNotRespondingHandler([&handlerCalls] { ++handlerCalls; });
    ASSERT_EQ(0u, driver.Open("held"));

    const uint32_t id = 1;
    _KVX_USB_DEVICE_PROPERTIES device;
    DWORD start = GetTickCount();
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, driver.GetDeviceProperties(&id, &device));
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 900u);
    EXPECT_LT(waited, 3000u);
    EXPECT_FALSE(driver.IsResponding());
    EXPECT_TRUE(driver.IsOpen());

    // Refused at once, without reaching the device: it would queue behind the held one.
    const int asked = io.requests;
    _KVX_USB_DRIVER_INFO info = {};
    start = GetTickCount();
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, driver.GetDriverInfo(&info));
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_EQ(asked, io.requests);
    EXPECT_EQ(2, handlerCalls);

    // The record is reused before the driver answers; the answer must not land in it.
    std::memset(&device, 0x11, sizeof device);
    io.Release();
    ASSERT_TRUE(WaitUntil([&] { return driver.IsResponding(); }));
    EXPECT_TRUE(AllBytes(&device, sizeof device, 0x11));

    // The next request gets its own answer, not the late one.
    ASSERT_EQ(0u, driver.GetDriverInfo(&info));
    EXPECT_EQ(2, info.InterfaceVersionMajor);
    EXPECT_EQ(1, info.InterfaceVersionMinor);
}

TEST(BoundedChannel, AClosedChannelKeepsItsHandleUntilTheDriverAnswersWhatItHeld)
{
    HoldingDeviceIo io;
    {
        CKvxuUsbDriver driver;
        ASSERT_EQ(0u, driver.Open("held"));
        uint32_t rate = 0;
        EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, driver.GetSampleRateMode(&rate));
        driver.Close();
        EXPECT_FALSE(driver.IsOpen());
        EXPECT_EQ(KVX_USB_E_NOT_OPEN, driver.GetSampleRateMode(&rate));
        EXPECT_EQ(0, io.closed) << "closed under the request the driver holds";
        EXPECT_EQ(0u, driver.Open("held")) << "a fresh channel beside the held one";
        EXPECT_EQ(2, io.opened);
    } // closes the fresh one
    EXPECT_EQ(1, io.closed);
    io.Release();
    EXPECT_TRUE(WaitUntil([&] { return io.closed == 2; }));
}

TEST(BoundedChannel, AnUnansweredVersionCheckServesNothingUntilOpenIsAnswered)
{
    HoldingDeviceIo io;
    io.holdDriverInfo = true;
    CKvxuUsbDriver driver;
    const DWORD start = GetTickCount();
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, driver.Open("held"));
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_TRUE(driver.IsOpen()) << "kept for the request the driver holds";
    io.holdDriverInfo = false;
    io.Release();
    ASSERT_TRUE(WaitUntil([&] { return driver.IsResponding(); }));
    _KVX_USB_STREAM_BUFFER_DEPTH depth;
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, driver.GetStreamBufferDepth(&depth))
        << "asked before its version was known";
    EXPECT_EQ(0u, driver.Open("held"));
    EXPECT_EQ(1, io.opened);
    EXPECT_EQ(0u, driver.GetStreamBufferDepth(&depth));
}

TEST(BoundedChannel, TheSelfTestsBoundHoldsForEveryRequest)
{
    HoldingDeviceIo io;
    CBoundedChannel channel(200);
    ASSERT_EQ(0u, channel.Open("held"));
    const KvxUsbOperation& setRate = *FindKvxUsbOperation("SetSampleRate");
    const uint32_t select[2] = {0, 48000};
    DWORD returned = 5;
    const DWORD start = GetTickCount();
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, channel.Request(setRate, select, nullptr, &returned));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(0u, returned);
    EXPECT_TRUE(channel.TimedOut());
    io.Release();
    EXPECT_TRUE(WaitUntil([&] { return channel.IsResponding(); })); // before io goes
}
