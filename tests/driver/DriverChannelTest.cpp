#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "FakeDeviceIo.h"
#include "KvxuUsbDriver.h"
#include "StackFill.h"

namespace {

// Every operation of the catalogue with the code and sizes the driver expects, written out
// here rather than taken from the records, so a layout or wiring mistake shows.
struct Call {
    const char* name;
    DWORD code;
    DWORD inSize;
    DWORD outSize;
    std::function<DWORD(CKvxuUsbDriver&)> invoke;
};

std::vector<Call> AllOperations()
{
    static _KVX_USB_DRIVER_INFO info;
    static uint32_t value = 7;
    static _KVX_USB_NOTIFICATION notification;
    static _KVX_USB_DEVICE_ID_LIST deviceIds;
    static _KVX_USB_CHANNEL_ID_LISTS channelIds;
    static _KVX_USB_CLOCK_MASTER master;
    static _KVX_USB_SAMPLE_RATE_INFO rates;
    static _KVX_USB_DEVICE_SYNCH_MODE_INFO synch;
    static _KVX_USB_SYNCH_MODE_SELECT select;
    static _KVX_USB_DEVICE_PROPERTIES device;
    static _KVX_USB_CHANNEL_PROPERTIES channel;
    static _KVX_USB_STREAM_BUFFER_DEPTH stream;
    static _KVX_USB_BUFFER_DEPTH depth;
    static _KVX_USB_ASIO_STATISTICS statistics;
    using D = CKvxuUsbDriver;
    return {
        {"GetDriverInfo", 0x80892804, 0, 12, [](D& d) { return d.GetDriverInfo(&info); }},
        {"GetAsioNameOption", 0x80892810, 0, 4, [](D& d) { return d.GetAsioNameOption(&value); }},
        {"SetAsioNameOption", 0x80892814, 4, 0, [](D& d) { return d.SetAsioNameOption(&value); }},
        {"RegisterNotificationEvent", 0x80892820, 4, 0,
         [](D& d) { return d.RegisterNotificationEvent(HANDLE(0x1234)); }},
        {"GetNotification", 0x80892828, 0, 12,
         [](D& d) { return d.GetNotification(&notification); }},
        {"GetDeviceIdList", 0x80892860, 0, 260, [](D& d) { return d.GetDeviceIdList(&deviceIds); }},
        {"GetChannelIdLists", 0x80892864, 0, 2056,
         [](D& d) { return d.GetChannelIdLists(&channelIds); }},
        {"GetClockMaster", 0x80892880, 0, 12, [](D& d) { return d.GetClockMaster(&master); }},
        {"SetClockMaster", 0x80892884, 12, 0, [](D& d) { return d.SetClockMaster(&master); }},
        {"GetSampleRateMode", 0x80892888, 0, 8, [](D& d) { return d.GetSampleRateMode(&value); }},
        {"SetSampleRateMode", 0x8089288c, 8, 0, [](D& d) { return d.SetSampleRateMode(1); }},
        {"GetSampleRateInfo", 0x808928c0, 0, 44, [](D& d) { return d.GetSampleRateInfo(&rates); }},
        {"SetSampleRate", 0x808928c4, 8, 0, [](D& d) { return d.SetSampleRate(48000); }},
        {"GetSynchModeInfo", 0x80892900, 4, 824,
         [](D& d) { return d.GetSynchModeInfo(&value, &synch); }},
        {"SetSynchMode", 0x80892904, 12, 0, [](D& d) { return d.SetSynchMode(&select); }},
        {"GetDeviceProperties", 0x80892920, 4, 512,
         [](D& d) { return d.GetDeviceProperties(&value, &device); }},
        {"SetDeviceProperties", 0x80892924, 512, 0,
         [](D& d) { return d.SetDeviceProperties(&device); }},
        {"GetChannelProperties", 0x80892980, 4, 92,
         [](D& d) { return d.GetChannelProperties(&value, &channel); }},
        {"SetChannelProperties", 0x80892984, 92, 0,
         [](D& d) { return d.SetChannelProperties(&channel); }},
        {"StartStreams", 0x80892a00, 0, 0, [](D& d) { return d.StartStreams(); }},
        {"StopStreams", 0x80892a04, 0, 0, [](D& d) { return d.StopStreams(); }},
        {"GetStreamBufferDepth", 0x80892a80, 0, 16,
         [](D& d) { return d.GetStreamBufferDepth(&stream); }},
        {"SetStreamBufferDepth", 0x80892a84, 16, 0,
         [](D& d) { return d.SetStreamBufferDepth(&stream); }},
        {"GetAsioBufferDepth", 0x80892a88, 0, 16,
         [](D& d) { return d.GetAsioBufferDepth(&depth); }},
        {"SetAsioBufferDepth", 0x80892a8c, 16, 0,
         [](D& d) { return d.SetAsioBufferDepth(&depth); }},
        {"GetWdmBufferDepth", 0x80892a90, 0, 16, [](D& d) { return d.GetWdmBufferDepth(&depth); }},
        {"SetWdmBufferDepth", 0x80892a94, 16, 0, [](D& d) { return d.SetWdmBufferDepth(&depth); }},
        {"GetAsioStatistics", 0x80892ac8, 0, 60,
         [](D& d) { return d.GetAsioStatistics(&statistics); }},
    };
}

class DriverChannel : public ::testing::Test {
protected:
    FakeDeviceIo device;
    CKvxuUsbDriver driver;
};

TEST_F(DriverChannel, OpenBuildsThePathChecksTheInterfaceAndKeepsAnOpenHandle)
{
    ASSERT_EQ(driver.Open(KVX_USB_DEVICE_NAME), 0u);
    EXPECT_TRUE(driver.IsOpen());
    ASSERT_EQ(device.paths.size(), 1u);
    EXPECT_EQ(device.paths[0], "\\\\.\\{5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0}");
    ASSERT_EQ(device.requests.size(), 1u);
    EXPECT_EQ(device.requests[0].code, 0x80892804u);

    // A second Open, even with another name, keeps the handle and asks the device nothing.
    EXPECT_EQ(driver.Open("other"), 0u);
    EXPECT_EQ(device.paths.size(), 1u);
    EXPECT_EQ(device.requests.size(), 1u);
    EXPECT_EQ(device.openHandles, 1);

    driver.Close();
    driver.Close();
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(device.openHandles, 0);
}

TEST_F(DriverChannel, AbsentDeviceLeavesTheChannelClosedAndEveryOperationRefused)
{
    device.present = false;
    EXPECT_EQ(driver.Open(KVX_USB_DEVICE_NAME), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(driver.IsOpen());
    for (const Call& call : AllOperations())
        EXPECT_EQ(call.invoke(driver), KVX_USB_E_NOT_OPEN) << call.name;
    EXPECT_TRUE(device.requests.empty());

    DWORD returned = 0xDEADBEEF;
    EXPECT_EQ(driver.IoControl(0x80892804, nullptr, 0, nullptr, 0, &returned), KVX_USB_E_NOT_OPEN);
    EXPECT_EQ(returned, 0xDEADBEEFu) << "a closed channel leaves the count alone";
}

TEST_F(DriverChannel, OnlyInterfaceMajorVersionTwoOpens)
{
    struct {
        uint8_t major, minor;
        DWORD status;
    } cases[] = {{1, 0, KVX_USB_E_INTERFACE_VERSION},
                 {3, 0, KVX_USB_E_INTERFACE_VERSION},
                 {0, 2, KVX_USB_E_INTERFACE_VERSION},
                 {2, 0, 0},
                 {2, 99, 0}};
    for (const auto& c : cases) {
        device.driverInfo.InterfaceVersionMajor = c.major;
        device.driverInfo.InterfaceVersionMinor = c.minor;
        EXPECT_EQ(driver.Open(KVX_USB_DEVICE_NAME), c.status)
            << int(c.major) << "." << int(c.minor);
        EXPECT_EQ(driver.IsOpen(), c.status == 0);
        EXPECT_EQ(device.openHandles, c.status == 0 ? 1 : 0) << "a refused handle is closed";
        driver.Close();
    }
}

TEST_F(DriverChannel, DriverInfoAnswerTooShortForTheVersionIsRefused)
{
    device.answers[IOCTL_KVX_USB_GET_DRIVER_INFO].clear(); // success with no bytes
    FillStackBelow(2);
    EXPECT_EQ(driver.Open(KVX_USB_DEVICE_NAME), DWORD(KVX_USB_E_SHORT_ANSWER));
    EXPECT_FALSE(driver.IsOpen());
    device.answers[IOCTL_KVX_USB_GET_DRIVER_INFO].assign(1, 2); // the major version alone
    EXPECT_EQ(driver.Open(KVX_USB_DEVICE_NAME), DWORD(KVX_USB_E_SHORT_ANSWER));
    device.answers[IOCTL_KVX_USB_GET_DRIVER_INFO].resize(sizeof(_KVX_USB_DRIVER_INFO));
    EXPECT_EQ(driver.Open(KVX_USB_DEVICE_NAME), 0u);
}

TEST_F(DriverChannel, FailedDriverInfoReadInsideOpenReturnsItsStatusAndCloses)
{
    device.failures[IOCTL_KVX_USB_GET_DRIVER_INFO] = ERROR_GEN_FAILURE;
    EXPECT_EQ(driver.Open(KVX_USB_DEVICE_NAME), DWORD(ERROR_GEN_FAILURE));
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(device.openHandles, 0);
}

TEST_F(DriverChannel, NameOf295CharactersFitsAndALongerOneIsRefusedWithoutADeviceCall)
{
    std::string name(295, 'n');
    ASSERT_EQ(driver.Open(name.c_str()), 0u);
    ASSERT_EQ(device.paths.size(), 1u);
    EXPECT_EQ(device.paths[0], "\\\\.\\" + name);
    driver.Close();

    name += 'n';
    EXPECT_EQ(driver.Open(name.c_str()), DWORD(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(device.paths.size(), 1u);
    EXPECT_FALSE(driver.IsOpen());
}

TEST_F(DriverChannel, StatusesPassUnchangedAndTheCountIsStoredOnFailureToo)
{
    ASSERT_EQ(driver.Open(KVX_USB_DEVICE_NAME), 0u);
    device.failures[IOCTL_KVX_USB_SET_SAMPLE_RATE] = KVX_USB_E_STREAMING_ACTIVE;
    EXPECT_EQ(driver.SetSampleRate(44100), KVX_USB_E_STREAMING_ACTIVE);

    DWORD returned = 0xDEADBEEF;
    EXPECT_EQ(driver.IoControl(IOCTL_KVX_USB_SET_SAMPLE_RATE, nullptr, 0, nullptr, 0, &returned),
              KVX_USB_E_STREAMING_ACTIVE);
    EXPECT_EQ(returned, 0u);

    _KVX_USB_DRIVER_INFO info = {};
    EXPECT_EQ(
        driver.IoControl(IOCTL_KVX_USB_GET_DRIVER_INFO, nullptr, 0, &info, sizeof info, &returned),
        0u);
    EXPECT_EQ(returned, 12u);
}

TEST_F(DriverChannel, EveryOperationUsesItsCodeAndExactSizes)
{
    ASSERT_EQ(driver.Open(KVX_USB_DEVICE_NAME), 0u);
    std::vector<Call> calls = AllOperations();
    ASSERT_EQ(calls.size(), 28u);
    for (const Call& call : calls) {
        device.requests.clear();
        EXPECT_EQ(call.invoke(driver), 0u) << call.name;
        ASSERT_EQ(device.requests.size(), 1u) << call.name;
        const FakeDeviceIo::Request& request = device.requests[0];
        EXPECT_EQ(request.code, call.code) << call.name;
        EXPECT_EQ(request.in.size(), call.inSize) << call.name;
        EXPECT_EQ(request.outSize, call.outSize) << call.name;

        const KvxUsbOperation* op = FindKvxUsbOperation(call.code);
        ASSERT_NE(op, nullptr) << call.name;
        EXPECT_STREQ(op->name, call.name);
        EXPECT_EQ(op->inSize, call.inSize) << call.name;
        EXPECT_EQ(op->outSize, call.outSize) << call.name;
        EXPECT_EQ(FindKvxUsbOperation(call.name), op);
    }
}

TEST(DriverCatalogue, EveryCodeIsBufferedAnyAccessOfDeviceType8089)
{
    for (const KvxUsbOperation& op : g_KvxUsbOperations) {
        EXPECT_EQ(op.code >> 16, 0x8089u) << op.name;
        EXPECT_EQ((op.code >> 14) & 3, 0u) << op.name << ": access";
        EXPECT_EQ(op.code & 3, 0u) << op.name << ": transfer type";
        DWORD function = (op.code >> 2) & 0xFFF;
        EXPECT_GE(function, 0xA01u) << op.name;
        EXPECT_LE(function, 0xAB2u) << op.name;
    }
    EXPECT_EQ(FindKvxUsbOperation(0x80892808u), nullptr);
    EXPECT_EQ(FindKvxUsbOperation("NoSuchOperation"), nullptr);
}

TEST_F(DriverChannel, ArgumentFormsOfTheValueOperations)
{
    ASSERT_EQ(driver.Open(KVX_USB_DEVICE_NAME), 0u);
    device.requests.clear();

    // The first field of a rate or mode request is always 0.
    driver.SetSampleRate(96000);
    driver.SetSampleRateMode(1);
    const uint32_t rateRecord[2] = {0, 96000};
    const uint32_t modeRecord[2] = {0, 1};
    ASSERT_EQ(device.requests.size(), 2u);
    EXPECT_EQ(0, std::memcmp(device.requests[0].in.data(), rateRecord, 8));
    EXPECT_EQ(0, std::memcmp(device.requests[1].in.data(), modeRecord, 8));

    // The event's handle value travels as 4 bytes.
    device.requests.clear();
    driver.RegisterNotificationEvent(HANDLE(0x2468));
    uint32_t sent = 0;
    std::memcpy(&sent, device.requests[0].in.data(), 4);
    EXPECT_EQ(sent, 0x2468u);

    // The mode is handed back only when the read succeeded.
    _KVX_USB_SAMPLE_RATE_MODE answer = {0xAAAA, 1};
    device.Answer(IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE, answer);
    uint32_t mode = 5;
    EXPECT_EQ(driver.GetSampleRateMode(&mode), 0u);
    EXPECT_EQ(mode, 1u);
    device.failures[IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE] = ERROR_GEN_FAILURE;
    mode = 5;
    EXPECT_EQ(driver.GetSampleRateMode(&mode), DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(mode, 5u);

    // Ids travel by value, four bytes.
    device.requests.clear();
    uint32_t id = 0x01020304;
    _KVX_USB_DEVICE_PROPERTIES properties;
    driver.GetDeviceProperties(&id, &properties);
    std::memcpy(&sent, device.requests[0].in.data(), 4);
    EXPECT_EQ(sent, 0x01020304u);
}

TEST(DriverChannelSystem, NoSuchControlDeviceGivesTheSystemsFileNotFound)
{
    CKvxuUsbDriver driver;
    EXPECT_EQ(driver.Open("{00000000-no-such-control-device}"), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(driver.IsOpen());
}

} // namespace

// A short answer is a failed read, and a failed read leaves its record all zero: not the
// bytes the driver gave, not the last read's values, which a page could take for the driver's.
TEST_F(DriverChannel, AShortOrFailedReadLeavesTheRecordZero)
{
    ASSERT_EQ(driver.Open(KVX_USB_DEVICE_NAME), 0u);
    _KVX_USB_BUFFER_DEPTH depth = {};
    std::memset(&depth, 0xA5, sizeof depth);
    const uint32_t given = 4000;
    device.answers[IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH] = FakeDeviceIo::Bytes(given);
    ASSERT_EQ(driver.GetAsioBufferDepth(&depth), DWORD(KVX_USB_E_SHORT_ANSWER));
    EXPECT_EQ(std::vector<unsigned char>(sizeof depth, 0), FakeDeviceIo::Bytes(depth));

    _KVX_USB_SAMPLE_RATE_INFO rates = {};
    std::memset(&rates, 0xA5, sizeof rates);
    device.failures[IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO] = ERROR_GEN_FAILURE;
    EXPECT_EQ(driver.GetSampleRateInfo(&rates), DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(std::vector<unsigned char>(sizeof rates, 0), FakeDeviceIo::Bytes(rates));
}
