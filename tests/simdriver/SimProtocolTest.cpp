// The catalogue through the real channel and the pipe fallback, against the stand-in as a
// separate process: every operation, writes taking effect, passed-through bytes, refusals
// while streaming, malformed requests and a stand-in that vanishes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DeviceIo.h"
#include "KvxUsbText.h"
#include "SimFixture.h"
#include "SimHardware.h"

namespace {

class SimProtocolTest : public SimFixture {};

_KVX_USB_DEVICE_ID_LIST DeviceIds(CKvxuUsbDriver& drv)
{
    _KVX_USB_DEVICE_ID_LIST ids = {};
    EXPECT_EQ(0u, drv.GetDeviceIdList(&ids));
    return ids;
}

// The key a keyed operation takes: a channel id for the channel operations, else device 1.
uint32_t KeyFor(DWORD code)
{
    bool channel = code == IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES ||
                   code == IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES;
    return channel ? SimChannelId(1, false, 0) : 1;
}

TEST_F(SimProtocolTest, EveryOperationAnswersWithTheCatalogueSizes)
{
    for (const KvxUsbOperation& op : g_KvxUsbOperations) {
        SCOPED_TRACE(op.name);
        uint32_t key = KeyFor(op.code);
        std::vector<char> in(op.inSize + 4);
        std::memcpy(in.data(), &key, 4);
        bool isWrite = (op.code >> 2) & 1;
        if (isWrite && op.code != IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT && op.inSize > 0) {
            // A write sends back the head of what its read gave, so every one is valid.
            const KvxUsbOperation* read = FindKvxUsbOperation(op.code - 4);
            ASSERT_NE(nullptr, read);
            std::vector<char> record(read->outSize);
            ASSERT_EQ(0u,
                      drv.IoControl(read->code, &key, read->inSize, record.data(), read->outSize));
            std::memcpy(in.data(), record.data(), op.inSize);
        }
        if (op.code == IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT) {
            HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            EXPECT_EQ(0u, drv.RegisterNotificationEvent(event));
            CloseHandle(event);
            continue;
        }
        std::vector<char> out(op.outSize + 16, '\x5A');
        DWORD returned = 99;
        DWORD status =
            drv.IoControl(op.code, in.data(), op.inSize, out.data(), op.outSize, &returned);
        if (op.code == IOCTL_KVX_USB_GET_NOTIFICATION) {
            EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), status); // nothing queued yet
            continue;
        }
        EXPECT_EQ(0u, status);
        EXPECT_EQ(op.outSize, returned);
        EXPECT_EQ('\x5A', out[op.outSize]) << "wrote past the record";
    }
}

TEST_F(SimProtocolTest, DemoHardwareHasTwoInterfacesOfDifferentChannelCounts)
{
    _KVX_USB_DRIVER_INFO info = {};
    ASSERT_EQ(0u, drv.GetDriverInfo(&info));
    EXPECT_EQ(2, info.InterfaceVersionMajor);
    _KVX_USB_DEVICE_ID_LIST ids = DeviceIds(drv);
    ASSERT_EQ(2u, ids.Count);
    _KVX_USB_CHANNEL_ID_LISTS lists = {};
    ASSERT_EQ(0u, drv.GetChannelIdLists(&lists));
    EXPECT_EQ(10u, lists.Input.Count);
    EXPECT_EQ(10u, lists.Output.Count);
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch = {};
    ASSERT_EQ(0u, drv.GetSynchModeInfo(&ids.DeviceIds[0], &synch));
    EXPECT_EQ(4u, synch.SourceCount);
    EXPECT_EQ("S/PDIF", RecordText(synch.Sources[1].Name));
    _KVX_USB_DEVICE_PROPERTIES device = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&ids.DeviceIds[1], &device));
    EXPECT_EQ("Model B Mobile", RecordText(device.DeviceName));
    EXPECT_NE(0, device.Opaque[0]); // passed-through bytes carry a pattern
}

TEST_F(SimProtocolTest, RenameKeepsEveryPassedThroughByteAndTheBytesAfterTheName)
{
    uint32_t id = 2;
    _KVX_USB_DEVICE_PROPERTIES before = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&id, &before));
    _KVX_USB_DEVICE_PROPERTIES sent = before;
    std::memset(sent.DeviceName, 'z', sizeof sent.DeviceName);
    std::memcpy(sent.DeviceName, "Desk\0", 5); // bytes after the terminator are the client's
    ASSERT_EQ(0u, drv.SetDeviceProperties(&sent));
    _KVX_USB_DEVICE_PROPERTIES after = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&id, &after));
    EXPECT_EQ(0, std::memcmp(&sent, &after, sizeof after));

    _KVX_USB_CHANNEL_PROPERTIES channel = {};
    uint32_t channelId = SimChannelId(2, true, 3);
    ASSERT_EQ(0u, drv.GetChannelProperties(&channelId, &channel));
    _KVX_USB_CHANNEL_PROPERTIES renamed = channel;
    SetRecordText(renamed.ChannelName, "Monitor");
    ASSERT_EQ(0u, drv.SetChannelProperties(&renamed));
    ASSERT_EQ(0u, drv.GetChannelProperties(&channelId, &channel));
    EXPECT_EQ(0, std::memcmp(&renamed, &channel, sizeof channel));
}

TEST_F(SimProtocolTest, DamagedPassedThroughBytesAreRefusedAndChangeNothing)
{
    uint32_t id = 1;
    _KVX_USB_DEVICE_PROPERTIES device = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&id, &device));
    _KVX_USB_DEVICE_PROPERTIES damaged = device;
    SetRecordText(damaged.DeviceName, "Renamed");
    damaged.SerialNumber[300] ^= 1;
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), drv.SetDeviceProperties(&damaged));
    _KVX_USB_DEVICE_PROPERTIES after = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&id, &after));
    EXPECT_EQ(0, std::memcmp(&device, &after, sizeof after));

    _KVX_USB_BUFFER_DEPTH asio = {};
    ASSERT_EQ(0u, drv.GetAsioBufferDepth(&asio));
    asio.Reserved2 = 0;
    asio.Depth = 3000;
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), drv.SetAsioBufferDepth(&asio));
}

TEST_F(SimProtocolTest, RankingReordersDevicesAndChannelLists)
{
    _KVX_USB_CHANNEL_ID_LISTS lists = {};
    ASSERT_EQ(0u, drv.GetChannelIdLists(&lists));
    EXPECT_EQ(SimChannelId(1, false, 0), lists.Input.ChannelIds[0]);

    for (uint32_t id : {1u, 2u}) {
        _KVX_USB_DEVICE_PROPERTIES device = {};
        ASSERT_EQ(0u, drv.GetDeviceProperties(&id, &device));
        device.Ranking = id == 2 ? 0 : 1;
        ASSERT_EQ(0u, drv.SetDeviceProperties(&device));
    }
    EXPECT_EQ(2u, DeviceIds(drv).DeviceIds[0]);
    ASSERT_EQ(0u, drv.GetChannelIdLists(&lists));
    EXPECT_EQ(SimChannelId(2, false, 0), lists.Input.ChannelIds[0]);
    EXPECT_EQ(SimChannelId(2, false, 1), lists.Input.ChannelIds[1]);
    EXPECT_EQ(SimChannelId(1, false, 0), lists.Input.ChannelIds[2]);
    EXPECT_EQ(SimChannelId(2, true, 3), lists.Output.ChannelIds[3]);
    EXPECT_EQ(SimChannelId(1, true, 0), lists.Output.ChannelIds[4]);
}

TEST_F(SimProtocolTest, SettingsTakeEffectAndBadValuesAreRefused)
{
    ASSERT_EQ(0u, drv.SetSampleRate(96000));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), drv.SetSampleRate(12345));
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    ASSERT_EQ(0u, drv.GetSampleRateInfo(&rates));
    EXPECT_EQ(96000u, rates.CurrentRate);

    _KVX_USB_SYNCH_MODE_SELECT select = {1, 3, 3}; // Word Clock
    ASSERT_EQ(0u, drv.SetSynchMode(&select));
    _KVX_USB_SYNCH_MODE_SELECT wrongKind = {1, 0, 2};
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), drv.SetSynchMode(&wrongKind));
    uint32_t id = 1;
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch = {};
    ASSERT_EQ(0u, drv.GetSynchModeInfo(&id, &synch));
    EXPECT_EQ("Word Clock", RecordText(synch.Current.Name));

    _KVX_USB_STREAM_BUFFER_DEPTH stream = {};
    ASSERT_EQ(0u, drv.GetStreamBufferDepth(&stream));
    stream.Current = stream.Maximum;
    ASSERT_EQ(0u, drv.SetStreamBufferDepth(&stream));
    stream.Current = stream.Minimum + stream.Step / 2;
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), drv.SetStreamBufferDepth(&stream));

    ASSERT_EQ(0u, drv.SetSampleRateMode(0));
    uint32_t mode = 7;
    ASSERT_EQ(0u, drv.GetSampleRateMode(&mode));
    EXPECT_EQ(0u, mode);

    uint32_t unknown = 77;
    _KVX_USB_DEVICE_PROPERTIES device;
    EXPECT_EQ(DWORD(ERROR_NOT_FOUND), drv.GetDeviceProperties(&unknown, &device));
}

TEST_F(SimProtocolTest, WhileStreamingRateAndClockSourceAreRefusedAndUnchanged)
{
    Command({"stream", "on"});
    EXPECT_EQ(KVX_USB_E_STREAMING_ACTIVE, drv.SetSampleRate(44100));
    _KVX_USB_SYNCH_MODE_SELECT select = {1, 1, 1};
    EXPECT_EQ(KVX_USB_E_STREAMING_ACTIVE, drv.SetSynchMode(&select));
    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    ASSERT_EQ(0u, drv.GetSampleRateInfo(&rates));
    EXPECT_EQ(48000u, rates.CurrentRate);
    uint32_t id = 1;
    _KVX_USB_DEVICE_SYNCH_MODE_INFO synch = {};
    ASSERT_EQ(0u, drv.GetSynchModeInfo(&id, &synch));
    EXPECT_EQ(0u, synch.Current.SourceId);

    Command({"stream", "off"});
    EXPECT_EQ(0u, drv.SetSampleRate(44100));
}

TEST_F(SimProtocolTest, DropOutsGrowWhileStreamingWithASmallAsioBuffer)
{
    Command({"set", "asio-depth", "1000"});
    Command({"stream", "on"});
    _KVX_USB_ASIO_STATISTICS stats = {};
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (int i = 0; i < 40 && stats.DropOuts == 0; ++i) {
        WaitForSingleObject(never, 100);
        ASSERT_EQ(0u, drv.GetAsioStatistics(&stats));
    }
    CloseHandle(never);
    EXPECT_GT(stats.DropOuts, 0u);
}

// A raw pipe client that sends what no channel would.
class RawPipe {
public:
    RawPipe()
    {
        std::string name = StandInPipeName("\\\\.\\" KVX_USB_DEVICE_NAME);
        m_pipe = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(m_pipe, &mode, nullptr, nullptr);
    }
    ~RawPipe() { CloseHandle(m_pipe); }
    bool Valid() const { return m_pipe != INVALID_HANDLE_VALUE; }

    // The status of the reply to message; 0xFFFFFFFF when no reply came.
    uint32_t Send(const std::vector<char>& message)
    {
        char reply[4096];
        DWORD received = 0;
        if (!TransactNamedPipe(m_pipe, const_cast<char*>(message.data()), DWORD(message.size()),
                               reply, sizeof reply, &received, nullptr) ||
            received < sizeof(KvxPipeReply))
            return 0xFFFFFFFF;
        KvxPipeReply answer;
        std::memcpy(&answer, reply, sizeof answer);
        return answer.Status;
    }

    static std::vector<char> Frame(DWORD code, DWORD claimedIn, DWORD out, DWORD actualIn)
    {
        KvxPipeRequest head = {code, claimedIn, out};
        std::vector<char> message(sizeof head + actualIn, '\x11');
        std::memcpy(message.data(), &head, sizeof head);
        return message;
    }

private:
    HANDLE m_pipe;
};

TEST_F(SimProtocolTest, MalformedRequestsGetAnErrorAndTheStandInKeepsServing)
{
    RawPipe raw;
    ASSERT_TRUE(raw.Valid());
    EXPECT_EQ(DWORD(ERROR_BAD_LENGTH), raw.Send(std::vector<char>(5, 'x'))); // short header
    EXPECT_EQ(DWORD(ERROR_BAD_LENGTH),
              raw.Send(RawPipe::Frame(IOCTL_KVX_USB_SET_SAMPLE_RATE, 8, 0, 3)));
    EXPECT_EQ(DWORD(ERROR_BAD_LENGTH), // larger than the largest record
              raw.Send(RawPipe::Frame(IOCTL_KVX_USB_SET_DEVICE_PROPERTIES, 3000, 0, 3000)));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              raw.Send(RawPipe::Frame(IOCTL_KVX_USB_SET_SAMPLE_RATE, 7, 0, 7)));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER),
              raw.Send(RawPipe::Frame(IOCTL_KVX_USB_GET_DEVICE_ID_LIST, 0, 259, 0)));
    EXPECT_EQ(DWORD(ERROR_INVALID_FUNCTION), raw.Send(RawPipe::Frame(0x80892FFC, 0, 4, 0)));
    EXPECT_EQ(0u, raw.Send(RawPipe::Frame(IOCTL_KVX_USB_GET_DRIVER_INFO, 0, 12, 0)));

    _KVX_USB_DRIVER_INFO info = {};
    EXPECT_EQ(0u, drv.GetDriverInfo(&info));
    EXPECT_EQ(DWORD(ERROR_INVALID_FUNCTION), drv.IoControl(0x80892FFC, nullptr, 0, nullptr, 0));
}

TEST_F(SimProtocolTest, RequestsFailWithoutHangingOnceTheStandInVanished)
{
    sim.Kill();
    _KVX_USB_DRIVER_INFO info = {};
    EXPECT_EQ(DWORD(ERROR_BROKEN_PIPE), drv.GetDriverInfo(&info));
    EXPECT_NE(0u, drv.GetDriverInfo(&info));

    drv.Close();
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), drv.Open(KVX_USB_DEVICE_NAME)); // neither exists
}

} // namespace
