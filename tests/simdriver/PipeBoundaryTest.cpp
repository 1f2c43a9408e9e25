// The pipe fallback of the device-I/O boundary against a hostile stand-in: answers that
// are cut short, claim more than they carry, or are larger than asked for never reach
// past the caller's buffer and never leave the next request out of step.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"
#include "MessagePump.h"

namespace {

std::string Reply(uint32_t status, uint32_t claimed, const std::string& bytes)
{
    KvxPipeReply head = {status, claimed};
    return std::string(reinterpret_cast<const char*>(&head), sizeof head) + bytes;
}

class PipeBoundaryTest : public ::testing::Test {
protected:
    // Serves one client, answering its requests with replies, in order.
    void Serve(std::vector<std::string> replies)
    {
        ServeWith([replies](HANDLE pipe) {
            char request[8192];
            DWORD n = 0;
            for (const std::string& reply : replies) {
                if (!ReadFile(pipe, request, sizeof request, &n, nullptr))
                    break;
                WriteFile(pipe, reply.data(), DWORD(reply.size()), &n, nullptr);
            }
            // Gone only after the client's next request, or its close: a server that left
            // at once could be gone before the client had finished opening.
            ReadFile(pipe, request, sizeof request, &n, nullptr);
        });
        device = DeviceIo().Open("\\\\.\\" KVX_USB_DEVICE_NAME);
        ASSERT_NE(INVALID_HANDLE_VALUE, device);
    }

    // Serves one client on a thread: serve(pipe) once it has connected.
    void ServeWith(std::function<void(HANDLE pipe)> serve)
    {
        static int serial = 0; // a fresh name per test: no instance of an earlier one in the way
        std::string name = "kvx-boundary-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++serial);
        SetEnvironmentVariableA(KVX_SIMDRIVER_PIPE_VARIABLE, name.c_str());
        HANDLE pipe = CreateNamedPipeA(("\\\\.\\pipe\\" + name).c_str(), PIPE_ACCESS_DUPLEX,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                       8192, 8192, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
        server = std::thread([pipe, serve] {
            ConnectNamedPipe(pipe, nullptr);
            serve(pipe);
            FlushFileBuffers(pipe);
            DisconnectNamedPipe(pipe);
            CloseHandle(pipe);
        });
    }

    void TearDown() override
    {
        if (device != INVALID_HANDLE_VALUE)
            DeviceIo().Close(device);
        if (server.joinable())
            server.join();
        SetEnvironmentVariableA(KVX_SIMDRIVER_PIPE_VARIABLE, nullptr);
    }

    // One request with an 8-byte answer buffer followed by a guard; the status and count.
    DWORD Request(DWORD* returned)
    {
        std::memset(out, '#', sizeof out);
        DWORD status = 0;
        if (!DeviceIo().Control(device, IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE, nullptr, 0, out, 8,
                                returned))
            status = GetLastError();
        EXPECT_EQ('#', out[8]) << "written past the caller's buffer";
        return status;
    }

    std::thread server;
    HANDLE device = INVALID_HANDLE_VALUE;
    char out[16];
};

TEST_F(PipeBoundaryTest, CountsAreBoundedByWhatArrivedAndByTheBuffer)
{
    Serve({Reply(0, 8, "12345678"), Reply(0, 500, "1234"), Reply(0x1F, 4, "abcd"),
           Reply(0, 8, "123456789012"), Reply(0, 8, "87654321"), std::string(5, 'x')});
    DWORD returned = 0;
    EXPECT_EQ(0u, Request(&returned));
    EXPECT_EQ(8u, returned);
    EXPECT_EQ(0, std::memcmp(out, "12345678", 8));
    EXPECT_EQ(0u, Request(&returned)); // claims 500, carries 4
    EXPECT_EQ(4u, returned);
    EXPECT_EQ(0x1Fu, Request(&returned)); // a failure with bytes: both reach the caller
    EXPECT_EQ(4u, returned);
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), Request(&returned)); // larger than asked for
    EXPECT_EQ(0u, Request(&returned));                        // and the next is in step
    EXPECT_EQ(0, std::memcmp(out, "87654321", 8));
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), Request(&returned)); // shorter than a header
    EXPECT_EQ(DWORD(ERROR_BROKEN_PIPE), Request(&returned));  // and then gone
}

TEST_F(PipeBoundaryTest, RequestsLargerThanAnyRecordAreNotSent)
{
    Serve({});
    std::vector<char> big(KVX_USB_MAX_RECORD_SIZE + 1);
    DWORD returned = 7;
    EXPECT_FALSE(DeviceIo().Control(device, IOCTL_KVX_USB_SET_DEVICE_PROPERTIES, big.data(),
                                    DWORD(big.size()), nullptr, 0, &returned));
    EXPECT_EQ(DWORD(ERROR_BAD_LENGTH), GetLastError());
    EXPECT_EQ(0u, returned);
}

// A stand-in that answers past the bound keeps the pipe in step: its late answer is read for
// the request it belongs to. One that never answers is asked to end the request when the
// channel closes, so that the pipe is let go of at once, not when (if ever) it answers.
TEST_F(PipeBoundaryTest, AHeldRequestKeepsThePipeInStepAndAClosedChannelLetsGoOfIt)
{
    HANDLE answer = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> clientGone{false};
    ServeWith([&](HANDLE pipe) {
        char request[64];
        DWORD n = 0;
        ReadFile(pipe, request, sizeof request, &n, nullptr);
        WaitForSingleObject(answer, 10000);
        for (const char* reply : {"late", "next"}) {
            const std::string bytes = Reply(0, 4, reply);
            WriteFile(pipe, bytes.data(), DWORD(bytes.size()), &n, nullptr);
            ReadFile(pipe, request, sizeof request, &n, nullptr);
        } // the third request is held
        clientGone = PumpUntil([&] { return !PeekNamedPipe(pipe, 0, 0, 0, 0, 0); }, 5000);
    });
    CBoundedChannel channel(200);
    ASSERT_EQ(0u, channel.Open(KVX_USB_DEVICE_NAME));
    const KvxUsbOperation& getMode = *FindKvxUsbOperation("GetSampleRateMode");
    char mode[8] = "";
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, channel.Request(getMode, nullptr, mode, nullptr));
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, channel.Request(getMode, nullptr, mode, nullptr));
    SetEvent(answer);
    ASSERT_TRUE(PumpUntil([&] { return channel.IsResponding(); }));
    EXPECT_EQ(0u, channel.Request(getMode, nullptr, mode, nullptr));
    EXPECT_EQ(0, std::memcmp(mode, "next", 4));
    EXPECT_EQ(KVX_USB_E_NOT_RESPONDING, channel.Request(getMode, nullptr, mode, nullptr));
    channel.Close();
    server.join();
    EXPECT_TRUE(clientGone) << "the pipe is held by a closed channel";
    CloseHandle(answer);
}

} // namespace
