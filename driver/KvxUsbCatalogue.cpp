#include "KvxUsbCatalogue.h"

#include <cstring>

const KvxUsbOperation g_KvxUsbOperations[KVX_USB_OPERATION_COUNT] = {
    {IOCTL_KVX_USB_GET_DRIVER_INFO, "GetDriverInfo", 0, sizeof(_KVX_USB_DRIVER_INFO)},
    {IOCTL_KVX_USB_GET_ASIO_NAME_OPTION, "GetAsioNameOption", 0, 4},
    {IOCTL_KVX_USB_SET_ASIO_NAME_OPTION, "SetAsioNameOption", 4, 0},
    {IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT, "RegisterNotificationEvent", 4, 0},
    {IOCTL_KVX_USB_GET_NOTIFICATION, "GetNotification", 0, sizeof(_KVX_USB_NOTIFICATION)},
    {IOCTL_KVX_USB_GET_DEVICE_ID_LIST, "GetDeviceIdList", 0, sizeof(_KVX_USB_DEVICE_ID_LIST)},
    {IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, "GetChannelIdLists", 0,
     sizeof(_KVX_USB_CHANNEL_ID_LISTS)},
    {IOCTL_KVX_USB_GET_CLOCK_MASTER, "GetClockMaster", 0, sizeof(_KVX_USB_CLOCK_MASTER)},
    {IOCTL_KVX_USB_SET_CLOCK_MASTER, "SetClockMaster", sizeof(_KVX_USB_CLOCK_MASTER), 0},
    {IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE, "GetSampleRateMode", 0,
     sizeof(_KVX_USB_SAMPLE_RATE_MODE)},
    {IOCTL_KVX_USB_SET_SAMPLE_RATE_MODE, "SetSampleRateMode", sizeof(_KVX_USB_SAMPLE_RATE_MODE),
     0},
    {IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO, "GetSampleRateInfo", 0,
     sizeof(_KVX_USB_SAMPLE_RATE_INFO)},
    {IOCTL_KVX_USB_SET_SAMPLE_RATE, "SetSampleRate", sizeof(_KVX_USB_SAMPLE_RATE_SELECT), 0},
    {IOCTL_KVX_USB_GET_SYNCH_MODE_INFO, "GetSynchModeInfo", 4,
     sizeof(_KVX_USB_DEVICE_SYNCH_MODE_INFO)},
    {IOCTL_KVX_USB_SET_SYNCH_MODE, "SetSynchMode", sizeof(_KVX_USB_SYNCH_MODE_SELECT), 0},
    {IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, "GetDeviceProperties", 4,
     sizeof(_KVX_USB_DEVICE_PROPERTIES)},
    {IOCTL_KVX_USB_SET_DEVICE_PROPERTIES, "SetDeviceProperties",
     sizeof(_KVX_USB_DEVICE_PROPERTIES), 0},
    {IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, "GetChannelProperties", 4,
     sizeof(_KVX_USB_CHANNEL_PROPERTIES)},
    {IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES, "SetChannelProperties",
     sizeof(_KVX_USB_CHANNEL_PROPERTIES), 0},
    {IOCTL_KVX_USB_START_STREAMS, "StartStreams", 0, 0},
    {IOCTL_KVX_USB_STOP_STREAMS, "StopStreams", 0, 0},
    {IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH, "GetStreamBufferDepth", 0,
     sizeof(_KVX_USB_STREAM_BUFFER_DEPTH)},
    {IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH, "SetStreamBufferDepth",
     sizeof(_KVX_USB_STREAM_BUFFER_DEPTH), 0},
    {IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH, "GetAsioBufferDepth", 0, sizeof(_KVX_USB_BUFFER_DEPTH)},
    {IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH, "SetAsioBufferDepth", sizeof(_KVX_USB_BUFFER_DEPTH), 0},
    {IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH, "GetWdmBufferDepth", 0, sizeof(_KVX_USB_BUFFER_DEPTH)},
    {IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH, "SetWdmBufferDepth", sizeof(_KVX_USB_BUFFER_DEPTH), 0},
    {IOCTL_KVX_USB_GET_ASIO_STATISTICS, "GetAsioStatistics", 0, sizeof(_KVX_USB_ASIO_STATISTICS)},
};

const KvxUsbOperation* FindKvxUsbOperation(DWORD code)
{
    for (const KvxUsbOperation& op : g_KvxUsbOperations)
        if (op.code == code)
            return &op;
    return nullptr;
}

const KvxUsbOperation* FindKvxUsbOperation(const char* name)
{
    for (const KvxUsbOperation& op : g_KvxUsbOperations)
        if (std::strcmp(op.name, name) == 0)
            return &op;
    return nullptr;
}
