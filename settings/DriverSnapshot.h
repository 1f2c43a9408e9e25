// One read of everything the driver reports, each read with its status, in the order the
// support report has always issued them. The support report and settings profiles both
// read the driver through it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KvxUsbRecords.h"

class CKvxuUsbDriver;

// A record and the status the driver object's read gave it; the record is all zero unless it
// came back whole. Every consumer asks Ok() and nothing else: a short answer, a list past its
// capacity or with an id twice is a failed read there, not here.
template <class Record> struct CDriverRead {
    DWORD status = 0;
    Record value = {};
    bool Ok() const { return status == 0; }
};

struct CSnapshotDevice {
    uint32_t id = 0;
    CDriverRead<_KVX_USB_DEVICE_PROPERTIES> properties;
    CDriverRead<_KVX_USB_DEVICE_SYNCH_MODE_INFO> synch;
};

struct CSnapshotChannel {
    uint32_t id = 0;
    CDriverRead<_KVX_USB_CHANNEL_PROPERTIES> properties;
};

struct CDriverSnapshot {
    CDriverRead<_KVX_USB_DRIVER_INFO> driverInfo;
    // Lists: the status of the id list, and the count the driver gave (the lists hold at
    // most their record's capacity).
    DWORD deviceListStatus = 0;
    uint32_t deviceCountReported = 0;
    std::vector<CSnapshotDevice> devices;
    CDriverRead<uint32_t> asioNameOption;
    DWORD channelListStatus = 0;
    uint32_t inputCountReported = 0;
    uint32_t outputCountReported = 0;
    std::vector<CSnapshotChannel> inputs;
    std::vector<CSnapshotChannel> outputs;
    CDriverRead<_KVX_USB_SAMPLE_RATE_INFO> rates;
    CDriverRead<uint32_t> rateMode;
    CDriverRead<_KVX_USB_CLOCK_MASTER> clockMaster;
    CDriverRead<_KVX_USB_STREAM_BUFFER_DEPTH> streamDepth;
    CDriverRead<_KVX_USB_BUFFER_DEPTH> asioDepth;
    CDriverRead<_KVX_USB_BUFFER_DEPTH> wdmDepth;
    CDriverRead<_KVX_USB_ASIO_STATISTICS> statistics; // read only when asked for

    // A request ran out of time while the snapshot was read: what it holds is not the
    // driver's whole state, and whatever was asked after that request was never sent.
    bool unanswered = false;

    // The device with this id among those read, or nullptr.
    const CSnapshotDevice* FindDevice(uint32_t id) const;
};

// Reads every setting; statistics too when withStatistics. Counts are bounded by their
// records before anything is read per entry.
CDriverSnapshot ReadDriverSnapshot(CKvxuUsbDriver& driver, bool withStatistics);

// The counts the driver gave, bounded by the record's capacity.
uint32_t BoundedSourceCount(const _KVX_USB_DEVICE_SYNCH_MODE_INFO& synch);
uint32_t BoundedRateCount(const _KVX_USB_SAMPLE_RATE_INFO& rates);
