// The system's device I/O reaches a pipe that poses as the driver only when the process
// asked for the stand-in. Without the request, any local process could serve the driver's
// pipe name and feed the panel whatever it liked.
#include <gtest/gtest.h>

#include <string>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"

namespace {

const char kDefaultPipe[] = "\\\\.\\pipe\\" KVX_USB_DEVICE_NAME;

class StandInGateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A listener under the name the stand-in uses by default, as an impostor would
        // create it. Its connect stays pending until a client arrives and signals m_connect.
        m_pipe = CreateNamedPipeA(
            kDefaultPipe, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, m_pipe) << GetLastError();
        m_connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_FALSE(ConnectNamedPipe(m_pipe, &m_connect));
        ASSERT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA(KVX_SIMDRIVER_PIPE_VARIABLE, nullptr);
        if (m_pipe != INVALID_HANDLE_VALUE) {
            CancelIo(m_pipe);
            CloseHandle(m_pipe);
        }
        if (m_connect.hEvent)
            CloseHandle(m_connect.hEvent);
    }

    // Whether a client connected, waiting at most timeoutMs for one.
    bool ClientConnected(DWORD timeoutMs)
    {
        return WaitForSingleObject(m_connect.hEvent, timeoutMs) == WAIT_OBJECT_0;
    }

    OVERLAPPED m_connect = {};
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
};

TEST_F(StandInGateTest, WithoutTheVariableNoPipeIsOpenedAndOpenSaysNotFound)
{
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        SetEnvironmentVariableA(KVX_SIMDRIVER_PIPE_VARIABLE, value);
        EXPECT_FALSE(StandInRequested());
        CKvxuUsbDriver drv;
        EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), drv.Open(KVX_USB_DEVICE_NAME))
            << (value ? "empty" : "unset");
        EXPECT_FALSE(drv.IsOpen());
        HANDLE h = DeviceIo().Open("\\\\.\\" KVX_USB_DEVICE_NAME);
        EXPECT_EQ(INVALID_HANDLE_VALUE, h);
        EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
        EXPECT_FALSE(ClientConnected(0));
    }
}

TEST_F(StandInGateTest, WithTheVariableNamingThePipeItIsReached)
{
    SetEnvironmentVariableA(KVX_SIMDRIVER_PIPE_VARIABLE, KVX_USB_DEVICE_NAME);
    EXPECT_TRUE(StandInRequested());
    EXPECT_EQ(std::string(kDefaultPipe), StandInPipeName("\\\\.\\" KVX_USB_DEVICE_NAME));
    HANDLE h = DeviceIo().Open("\\\\.\\" KVX_USB_DEVICE_NAME);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << GetLastError();
    EXPECT_TRUE(ClientConnected(5000));
    DeviceIo().Close(h);
}

} // namespace
