// Every catalogue operation through the real channel and the pipe fallback, against the
// stand-in as a separate process.
#include <gtest/gtest.h>

#include <cstring>

#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"
#include "SimDriverProcess.h"

namespace {

class SimProtocolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start()) << sim.Log();
        ASSERT_EQ(0u, drv.Open(KVX_USB_DEVICE_NAME));
    }

    SimDriverProcess sim;
    CKvxuUsbDriver drv;
};

TEST_F(SimProtocolTest, ReadsTheDemoHardware)
{
    _KVX_USB_DRIVER_INFO info = {};
    ASSERT_EQ(0u, drv.GetDriverInfo(&info));
    EXPECT_EQ(2, info.InterfaceVersionMajor);

    _KVX_USB_DEVICE_ID_LIST ids = {};
    ASSERT_EQ(0u, drv.GetDeviceIdList(&ids));
    ASSERT_EQ(2u, ids.Count);
    _KVX_USB_DEVICE_PROPERTIES device = {};
    ASSERT_EQ(0u, drv.GetDeviceProperties(&ids.DeviceIds[0], &device));
    EXPECT_EQ("Model B Studio", RecordText(device.DeviceName));
}

} // namespace
