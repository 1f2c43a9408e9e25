// The driver's device-control operations: codes, names and the sizes each one sends and
// receives. One table, shared by the channel, the stand-in driver and the tests.
#pragma once

#include <windows.h>

#include "KvxUsbRecords.h"

// Device type 0x8089, buffered, any access; reads have even function numbers, the write of
// the same setting the next one.
constexpr DWORD KvxUsbControlCode(DWORD function) { return (0x8089u << 16) | (function << 2); }

enum KvxUsbControlCodes : DWORD {
    IOCTL_KVX_USB_GET_DRIVER_INFO = KvxUsbControlCode(0xA01),
    IOCTL_KVX_USB_GET_ASIO_NAME_OPTION = KvxUsbControlCode(0xA04),
    IOCTL_KVX_USB_SET_ASIO_NAME_OPTION = KvxUsbControlCode(0xA05),
    IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT = KvxUsbControlCode(0xA08),
    IOCTL_KVX_USB_GET_NOTIFICATION = KvxUsbControlCode(0xA0A),
    IOCTL_KVX_USB_GET_DEVICE_ID_LIST = KvxUsbControlCode(0xA18),
    IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS = KvxUsbControlCode(0xA19),
    IOCTL_KVX_USB_GET_CLOCK_MASTER = KvxUsbControlCode(0xA20),
    IOCTL_KVX_USB_SET_CLOCK_MASTER = KvxUsbControlCode(0xA21),
    IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE = KvxUsbControlCode(0xA22),
    IOCTL_KVX_USB_SET_SAMPLE_RATE_MODE = KvxUsbControlCode(0xA23),
    IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO = KvxUsbControlCode(0xA30),
    IOCTL_KVX_USB_SET_SAMPLE_RATE = KvxUsbControlCode(0xA31),
    IOCTL_KVX_USB_GET_SYNCH_MODE_INFO = KvxUsbControlCode(0xA40),
    IOCTL_KVX_USB_SET_SYNCH_MODE = KvxUsbControlCode(0xA41),
    IOCTL_KVX_USB_GET_DEVICE_PROPERTIES = KvxUsbControlCode(0xA48),
    IOCTL_KVX_USB_SET_DEVICE_PROPERTIES = KvxUsbControlCode(0xA49),
    IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES = KvxUsbControlCode(0xA60),
    IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES = KvxUsbControlCode(0xA61),
    IOCTL_KVX_USB_START_STREAMS = KvxUsbControlCode(0xA80),
    IOCTL_KVX_USB_STOP_STREAMS = KvxUsbControlCode(0xA81),
    IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH = KvxUsbControlCode(0xAA0),
    IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH = KvxUsbControlCode(0xAA1),
    IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH = KvxUsbControlCode(0xAA2),
    IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH = KvxUsbControlCode(0xAA3),
    IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH = KvxUsbControlCode(0xAA4),
    IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH = KvxUsbControlCode(0xAA5),
    IOCTL_KVX_USB_GET_ASIO_STATISTICS = KvxUsbControlCode(0xAB2),
};

struct KvxUsbOperation {
    DWORD code;
    const char* name;  // as in traces and on the stand-in's command line
    DWORD inSize;
    DWORD outSize;
};

constexpr int KVX_USB_OPERATION_COUNT = 28;
extern const KvxUsbOperation g_KvxUsbOperations[KVX_USB_OPERATION_COUNT];

// The operation with this code or name, or nullptr.
const KvxUsbOperation* FindKvxUsbOperation(DWORD code);
const KvxUsbOperation* FindKvxUsbOperation(const char* name);

// The largest record either way: no valid request or answer carries more.
constexpr DWORD KVX_USB_MAX_RECORD_SIZE = sizeof(_KVX_USB_CHANNEL_ID_LISTS);
