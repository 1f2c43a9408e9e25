// Prints what the driver reports: its versions and the connected devices, or the status
// that stopped it. A quick check that the control device answers.
#include <cstdio>

#include "KvxUsbText.h"
#include "KvxuUsbDriver.h"

int main()
{
    CKvxuUsbDriver driver;
    DWORD status = driver.Open(KVX_USB_DEVICE_NAME);
    if (status != 0) {
        std::printf("Control device \\\\.\\%s not opened: status 0x%08lX\n", KVX_USB_DEVICE_NAME,
                    static_cast<unsigned long>(status));
        return 1;
    }
    _KVX_USB_DRIVER_INFO info = {};
    status = driver.GetDriverInfo(&info);
    if (status != 0) {
        std::printf("GetDriverInfo failed: status 0x%08lX\n", static_cast<unsigned long>(status));
        return 1;
    }
    std::printf("Driver Interface Version %u.%u\n", info.InterfaceVersionMajor,
                info.InterfaceVersionMinor);
    std::printf("Driver Version %u.%u.%d\n", info.DriverVersionMajor, info.DriverVersionMinor,
                static_cast<int>(info.DriverVersionBuild));

    _KVX_USB_DEVICE_ID_LIST ids = {};
    status = driver.GetDeviceIdList(&ids);
    if (status != 0) {
        std::printf("GetDeviceIdList failed: status 0x%08lX\n", static_cast<unsigned long>(status));
        return 1;
    }
    uint32_t count = ids.Count < KVX_USB_MAX_DEVICES ? ids.Count : KVX_USB_MAX_DEVICES;
    std::printf("%u device(s)\n", count);
    for (uint32_t i = 0; i < count; ++i) {
        _KVX_USB_DEVICE_PROPERTIES device = {};
        status = driver.GetDeviceProperties(&ids.DeviceIds[i], &device);
        if (status != 0)
            std::printf("  device %u: status 0x%08lX\n", ids.DeviceIds[i],
                        static_cast<unsigned long>(status));
        else
            std::printf("  %s (serial %s)\n", RecordText(device.DeviceName).c_str(),
                        RecordText(device.SerialNumber).c_str());
    }
    return 0;
}
