// Records exchanged with the driver. Each is a wire format: offsets, widths and sizes are
// fixed, checked below at compile time. Little-endian, no padding but what is spelled out.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    KVX_USB_NAME_SIZE = 40, // device, channel and clock-source names, with terminator
    KVX_USB_MAX_DEVICES = 64,
    KVX_USB_MAX_CHANNELS = 256, // per direction
    KVX_USB_MAX_CLOCK_SOURCES = 16,
    KVX_USB_MAX_RATES = 8,
};

// The driver's values of single fields, named once.

// _KVX_USB_NOTIFICATION.Kind: what changed. These two concern the pages; the driver has
// other kinds, which the panel takes from the queue and ignores.
enum : int32_t {
    KVX_USB_NOTIFY_DEVICE_CHANGE = 2,  // a device came or went
    KVX_USB_NOTIFY_SETTING_CHANGE = 3, // a setting was changed by another program
};

// _KVX_USB_SAMPLE_RATE_MODE.Mode, the sampling-rate selection mode. Other values are neither.
enum : uint32_t {
    KVX_USB_RATE_MODE_MANUAL = 0,
    KVX_USB_RATE_MODE_AUTOMATIC = 1,
};

// _KVX_USB_CLOCK_MASTER.ClockMaster. Other values are neither.
enum : uint32_t {
    KVX_USB_CLOCK_MASTER_PC = 0,
    KVX_USB_CLOCK_MASTER_DEVICE = 1,
};

// _KVX_USB_BUFFER_DEPTH carries no range: the ASIO and WDM depths the panel offers, one
// millisecond apart, in microseconds.
enum : uint32_t {
    KVX_USB_BUFFER_DEPTH_STEP_US = 1000,
    KVX_USB_BUFFER_DEPTH_MINIMUM_US = 1000,
    KVX_USB_BUFFER_DEPTH_MAXIMUM_US = 80000,
};

// Which half of _KVX_USB_CHANNEL_ID_LISTS: the input or the output channels.
enum class KvxUsbDirection { Input = 0, Output = 1 };

typedef struct _KVX_USB_DRIVER_INFO {
    uint8_t InterfaceVersionMajor;
    uint8_t InterfaceVersionMinor;
    uint8_t DriverVersionMajor;
    uint8_t DriverVersionMinor;
    uint32_t DriverVersionBuild;
    uint8_t Reserved[4];
} KVX_USB_DRIVER_INFO;

typedef struct _KVX_USB_NOTIFICATION {
    int32_t Kind;
    uint32_t Data1;
    uint32_t Data2;
} KVX_USB_NOTIFICATION;

typedef struct _KVX_USB_DEVICE_ID_LIST {
    uint32_t Count;
    uint32_t DeviceIds[KVX_USB_MAX_DEVICES];
} KVX_USB_DEVICE_ID_LIST;

typedef struct _KVX_USB_CHANNEL_ID_LIST {
    uint32_t Count;
    uint32_t ChannelIds[KVX_USB_MAX_CHANNELS];
} KVX_USB_CHANNEL_ID_LIST;

typedef struct _KVX_USB_CHANNEL_ID_LISTS {
    _KVX_USB_CHANNEL_ID_LIST Input;
    _KVX_USB_CHANNEL_ID_LIST Output;
} KVX_USB_CHANNEL_ID_LISTS;

typedef struct _KVX_USB_DEVICE_PROPERTIES {
    uint32_t DeviceId;
    uint32_t Ranking;
    uint8_t Opaque[88]; // the driver's; passed through untouched
    char DeviceName[KVX_USB_NAME_SIZE];
    char SerialNumber[376]; // text up to its terminator; the bytes after it are the driver's
} KVX_USB_DEVICE_PROPERTIES;

typedef struct _KVX_USB_CHANNEL_PROPERTIES {
    uint32_t ChannelId;
    uint32_t DeviceId;
    uint32_t Opaque; // the driver's; passed through untouched
    char HardwareName[KVX_USB_NAME_SIZE];
    char ChannelName[KVX_USB_NAME_SIZE];
} KVX_USB_CHANNEL_PROPERTIES;

typedef struct _KVX_USB_CLOCK_SOURCE {
    uint32_t SourceKind;
    uint32_t SourceId;
    char Name[KVX_USB_NAME_SIZE];
} KVX_USB_CLOCK_SOURCE;

typedef struct _KVX_USB_DEVICE_SYNCH_MODE_INFO {
    uint32_t DeviceId;
    _KVX_USB_CLOCK_SOURCE Current;
    uint32_t SourceCount;
    _KVX_USB_CLOCK_SOURCE Sources[KVX_USB_MAX_CLOCK_SOURCES];
} KVX_USB_DEVICE_SYNCH_MODE_INFO;

// The head of _KVX_USB_DEVICE_SYNCH_MODE_INFO: device id and the current source's kind and id.
typedef struct _KVX_USB_SYNCH_MODE_SELECT {
    uint32_t DeviceId;
    uint32_t SourceKind;
    uint32_t SourceId;
} KVX_USB_SYNCH_MODE_SELECT;

typedef struct _KVX_USB_CLOCK_MASTER {
    uint32_t Reserved1;
    uint32_t ClockMaster; // 0 the PC, 1 the device
    uint32_t Reserved2;
} KVX_USB_CLOCK_MASTER;

typedef struct _KVX_USB_SAMPLE_RATE_MODE {
    uint32_t Reserved;
    uint32_t Mode; // 1 automatic, 0 manual
} KVX_USB_SAMPLE_RATE_MODE;

typedef struct _KVX_USB_SAMPLE_RATE_INFO {
    uint32_t Reserved;
    uint32_t CurrentRate; // Hz
    uint32_t RateCount;
    uint32_t Rates[KVX_USB_MAX_RATES];
} KVX_USB_SAMPLE_RATE_INFO;

typedef struct _KVX_USB_SAMPLE_RATE_SELECT {
    uint32_t Reserved;
    uint32_t SampleRate; // Hz
} KVX_USB_SAMPLE_RATE_SELECT;

// Isochronous stream buffer depth with the range the driver allows; all in microseconds.
typedef struct _KVX_USB_STREAM_BUFFER_DEPTH {
    uint32_t Minimum;
    uint32_t Maximum;
    uint32_t Step;
    uint32_t Current;
} KVX_USB_STREAM_BUFFER_DEPTH;

// ASIO or WDM buffer depth; Depth in microseconds, Granularity in samples.
typedef struct _KVX_USB_BUFFER_DEPTH {
    uint32_t Depth;
    uint32_t Reserved1;
    uint32_t Granularity;
    uint32_t Reserved2;
} KVX_USB_BUFFER_DEPTH;

typedef struct _KVX_USB_ASIO_STATISTICS {
    uint8_t Unused1[52];
    uint32_t DropOuts;
    uint32_t Unused2;
} KVX_USB_ASIO_STATISTICS;

#define KVX_USB_CHECK_FIELD(rec, field, offset)                                                    \
    static_assert(offsetof(rec, field) == (offset), #rec "." #field " must sit at " #offset)

static_assert(sizeof(_KVX_USB_DRIVER_INFO) == 12, "driver info is 12 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_DRIVER_INFO, InterfaceVersionMajor, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_DRIVER_INFO, InterfaceVersionMinor, 1);
KVX_USB_CHECK_FIELD(_KVX_USB_DRIVER_INFO, DriverVersionMajor, 2);
KVX_USB_CHECK_FIELD(_KVX_USB_DRIVER_INFO, DriverVersionMinor, 3);
KVX_USB_CHECK_FIELD(_KVX_USB_DRIVER_INFO, DriverVersionBuild, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_DRIVER_INFO, Reserved, 8);

static_assert(sizeof(_KVX_USB_NOTIFICATION) == 12, "notification is 12 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_NOTIFICATION, Kind, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_NOTIFICATION, Data1, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_NOTIFICATION, Data2, 8);

static_assert(sizeof(_KVX_USB_DEVICE_ID_LIST) == 260, "device id list is 260 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_ID_LIST, Count, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_ID_LIST, DeviceIds, 4);

static_assert(sizeof(_KVX_USB_CHANNEL_ID_LIST) == 1028, "channel id list is 1028 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_ID_LIST, Count, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_ID_LIST, ChannelIds, 4);
static_assert(sizeof(_KVX_USB_CHANNEL_ID_LISTS) == 2056, "channel id lists are 2056 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_ID_LISTS, Input, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_ID_LISTS, Output, 1028);

static_assert(sizeof(_KVX_USB_DEVICE_PROPERTIES) == 512, "device properties are 512 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_PROPERTIES, DeviceId, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_PROPERTIES, Ranking, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_PROPERTIES, Opaque, 8);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_PROPERTIES, DeviceName, 96);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_PROPERTIES, SerialNumber, 136);

static_assert(sizeof(_KVX_USB_CHANNEL_PROPERTIES) == 92, "channel properties are 92 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_PROPERTIES, ChannelId, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_PROPERTIES, DeviceId, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_PROPERTIES, Opaque, 8);
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_PROPERTIES, HardwareName, 12);
KVX_USB_CHECK_FIELD(_KVX_USB_CHANNEL_PROPERTIES, ChannelName, 52);

static_assert(sizeof(_KVX_USB_CLOCK_SOURCE) == 48, "clock source is 48 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_CLOCK_SOURCE, SourceKind, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_CLOCK_SOURCE, SourceId, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_CLOCK_SOURCE, Name, 8);

static_assert(sizeof(_KVX_USB_DEVICE_SYNCH_MODE_INFO) == 824, "synch mode info is 824 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_SYNCH_MODE_INFO, DeviceId, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_SYNCH_MODE_INFO, Current, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_SYNCH_MODE_INFO, Current.SourceId, 8);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_SYNCH_MODE_INFO, SourceCount, 52);
KVX_USB_CHECK_FIELD(_KVX_USB_DEVICE_SYNCH_MODE_INFO, Sources, 56);

static_assert(sizeof(_KVX_USB_SYNCH_MODE_SELECT) == 12, "synch mode select is 12 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_SYNCH_MODE_SELECT, DeviceId, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_SYNCH_MODE_SELECT, SourceKind, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_SYNCH_MODE_SELECT, SourceId, 8);

static_assert(sizeof(_KVX_USB_CLOCK_MASTER) == 12, "clock master is 12 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_CLOCK_MASTER, Reserved1, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_CLOCK_MASTER, ClockMaster, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_CLOCK_MASTER, Reserved2, 8);

static_assert(sizeof(_KVX_USB_SAMPLE_RATE_MODE) == 8, "sample rate mode is 8 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_MODE, Reserved, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_MODE, Mode, 4);

static_assert(sizeof(_KVX_USB_SAMPLE_RATE_INFO) == 44, "sample rate info is 44 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_INFO, Reserved, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_INFO, CurrentRate, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_INFO, RateCount, 8);
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_INFO, Rates, 12);

static_assert(sizeof(_KVX_USB_SAMPLE_RATE_SELECT) == 8, "sample rate select is 8 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_SELECT, Reserved, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_SAMPLE_RATE_SELECT, SampleRate, 4);

static_assert(sizeof(_KVX_USB_STREAM_BUFFER_DEPTH) == 16, "stream buffer depth is 16 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_STREAM_BUFFER_DEPTH, Minimum, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_STREAM_BUFFER_DEPTH, Maximum, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_STREAM_BUFFER_DEPTH, Step, 8);
KVX_USB_CHECK_FIELD(_KVX_USB_STREAM_BUFFER_DEPTH, Current, 12);

static_assert(sizeof(_KVX_USB_BUFFER_DEPTH) == 16, "buffer depth is 16 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_BUFFER_DEPTH, Depth, 0);
KVX_USB_CHECK_FIELD(_KVX_USB_BUFFER_DEPTH, Reserved1, 4);
KVX_USB_CHECK_FIELD(_KVX_USB_BUFFER_DEPTH, Granularity, 8);
KVX_USB_CHECK_FIELD(_KVX_USB_BUFFER_DEPTH, Reserved2, 12);

static_assert(sizeof(_KVX_USB_ASIO_STATISTICS) == 60, "ASIO statistics are 60 bytes");
KVX_USB_CHECK_FIELD(_KVX_USB_ASIO_STATISTICS, DropOuts, 52);

#undef KVX_USB_CHECK_FIELD
