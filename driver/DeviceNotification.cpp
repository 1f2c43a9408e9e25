#include "DeviceNotification.h"

#include <cstring>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"

const GUID KVX_USB_INTERFACE_CLASS = {
    0x5D2A8C31, 0x7E4B, 0x4f90, {0xB3, 0xA6, 0xC1, 0x8E, 0x27, 0xD4, 0xF5, 0xA0}};

namespace {

const char MARK_PREFIX[] = "KvxUsbInterfaceNotify:";

} // namespace

std::string DriverInterfaceMark()
{
    std::string pipe = StandInPipeName("\\\\.\\" KVX_USB_DEVICE_NAME);
    return MARK_PREFIX + pipe.substr(pipe.find_last_of('\\') + 1);
}

bool IsDriverInterfaceMark(const char* propertyName)
{
    return std::strncmp(propertyName, MARK_PREFIX, sizeof MARK_PREFIX - 1) == 0;
}
