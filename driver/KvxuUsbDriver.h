// The channel to the driver's control device and its catalogue of operations. Every
// operation is one request under the channel's recursive lock, bounded in time
// (CBoundedChannel), and returns a status: 0, a system error code, or one of the codes below.
#pragma once

#include <cstring>
#include <functional>

#include <windows.h>

#include "BoundedChannel.h"
#include "KvxUsbCatalogue.h"
#include "KvxUsbRecords.h"

enum : DWORD {
    KVX_USB_E_THREAD = 0xE0000001,            // the notification's thread not started,
                                              // or not ended
    KVX_USB_E_NOT_OPEN = 0xE0000013,          // channel closed; no device call was made
    KVX_USB_E_INTERFACE_VERSION = 0xE0000014, // driver's interface major version is not 2
    KVX_USB_E_NOT_RESPONDING = 0xE0000015,    // the driver does not respond: a request ran out
                                              // of time, or one that did is still unanswered
    KVX_USB_E_SHORT_ANSWER = 0xE0000016,      // the driver answered with fewer bytes than the
                                              // record holds
    KVX_USB_E_BAD_LIST = 0xE0000017,          // a list's count is past its capacity, or it
                                              // names an id twice
    KVX_USB_E_STREAMING_ACTIVE = 0xE0000047,  // the driver refuses the change while streaming
};

// The driver's interface major version that the panel speaks; Open refuses every other.
constexpr uint8_t KVX_USB_INTERFACE_VERSION_MAJOR = 2;

// The driver's interface identifier: the control device's name, and as a GUID the
// device-interface class of its arrival and removal broadcasts.
#define KVX_USB_DEVICE_NAME "{5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0}"

// Whether a record's list holds what it claims: its count within the record's capacity and,
// for an id list, no id twice. KVX_USB_E_BAD_LIST if not, else 0; a record without a list
// passes. The driver object's reads apply it; anyone holding such a record may ask again.
DWORD CheckList(const _KVX_USB_DEVICE_ID_LIST& list);
DWORD CheckList(const _KVX_USB_CHANNEL_ID_LISTS& lists);
DWORD CheckList(const _KVX_USB_DEVICE_SYNCH_MODE_INFO& info);
DWORD CheckList(const _KVX_USB_SAMPLE_RATE_INFO& info);
template <class Record> DWORD CheckList(const Record&)
{
    return 0;
}

// Every Get... below reads its record whole or fails: an answer shorter than the record is
// KVX_USB_E_SHORT_ANSWER, a list that fails CheckList is KVX_USB_E_BAD_LIST. A read that
// fails, for whatever reason, leaves the caller's record all zero: never part of an answer,
// and never what the record held before, which a caller could take for the driver's. Only
// GetSampleRateMode, which hands back a single value where 0 means "manual", leaves it as it
// was instead.
class CKvxuUsbDriver {
public:
    // "\\.\" and the name must fit a path of 300 characters with its terminator.
    static constexpr size_t MAX_DEVICE_NAME = 295;

    CKvxuUsbDriver();
    virtual ~CKvxuUsbDriver();
    CKvxuUsbDriver(const CKvxuUsbDriver&) = delete;
    CKvxuUsbDriver& operator=(const CKvxuUsbDriver&) = delete;

    // A version check that runs out of time leaves the channel open, held by that request,
    // and returns KVX_USB_E_NOT_RESPONDING (closing it would leave a handle and a request with
    // the driver for every try); the channel then serves nothing until Open asks again and is
    // answered.
    DWORD Open(const char* deviceName);
    // Opens the control device without asking for its interface version: for the driver
    // self-test, which checks that version among its findings. Everything else uses Open.
    DWORD OpenWithoutVersionCheck(const char* deviceName);
    void Close();
    bool IsOpen() const;
    // False from a request's timeout until the driver has completed that request; until then
    // every request fails at once with KVX_USB_E_NOT_RESPONDING.
    bool IsResponding() const;
    // Whether a request ran out of time since the channel was opened: what was read since is
    // then not the driver's whole state.
    bool WentUnanswered() const;
    // Called, on the requesting thread and outside the lock, whenever a request ends with
    // KVX_USB_E_NOT_RESPONDING (also each one refused at once): a quick note, no request.
    void SetNotRespondingHandler(std::function<void()> handler);
    DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                    DWORD* bytesReturned = nullptr);

    DWORD GetDriverInfo(_KVX_USB_DRIVER_INFO* info);
    DWORD GetAsioNameOption(uint32_t* option);
    DWORD SetAsioNameOption(const uint32_t* option);
    DWORD RegisterNotificationEvent(HANDLE event);
    DWORD GetNotification(_KVX_USB_NOTIFICATION* notification);
    DWORD GetDeviceIdList(_KVX_USB_DEVICE_ID_LIST* list);
    DWORD GetChannelIdLists(_KVX_USB_CHANNEL_ID_LISTS* lists);
    DWORD GetClockMaster(_KVX_USB_CLOCK_MASTER* master);
    DWORD SetClockMaster(const _KVX_USB_CLOCK_MASTER* master);
    DWORD GetSampleRateMode(uint32_t* mode);
    DWORD SetSampleRateMode(uint32_t mode);
    DWORD GetSampleRateInfo(_KVX_USB_SAMPLE_RATE_INFO* info);
    DWORD SetSampleRate(uint32_t rateHz);
    DWORD GetSynchModeInfo(const uint32_t* deviceId, _KVX_USB_DEVICE_SYNCH_MODE_INFO* info);
    DWORD SetSynchMode(const _KVX_USB_SYNCH_MODE_SELECT* select);
    DWORD GetDeviceProperties(const uint32_t* deviceId, _KVX_USB_DEVICE_PROPERTIES* properties);
    DWORD SetDeviceProperties(const _KVX_USB_DEVICE_PROPERTIES* properties);
    DWORD GetChannelProperties(const uint32_t* channelId, _KVX_USB_CHANNEL_PROPERTIES* properties);
    DWORD SetChannelProperties(const _KVX_USB_CHANNEL_PROPERTIES* properties);
    DWORD StartStreams();
    DWORD StopStreams();
    // Stops the streams and starts them again, as a new stream or WDM depth needs: the first
    // failure, after which the streams may be left stopped.
    DWORD RestartStreams();
    DWORD GetStreamBufferDepth(_KVX_USB_STREAM_BUFFER_DEPTH* depth);
    DWORD SetStreamBufferDepth(const _KVX_USB_STREAM_BUFFER_DEPTH* depth);
    DWORD GetAsioBufferDepth(_KVX_USB_BUFFER_DEPTH* depth);
    DWORD SetAsioBufferDepth(const _KVX_USB_BUFFER_DEPTH* depth);
    DWORD GetWdmBufferDepth(_KVX_USB_BUFFER_DEPTH* depth);
    DWORD SetWdmBufferDepth(const _KVX_USB_BUFFER_DEPTH* depth);
    DWORD GetAsioStatistics(_KVX_USB_ASIO_STATISTICS* statistics);

private:
    // One answer that fills all size bytes of record, or a failure.
    DWORD ReadWhole(DWORD code, const void* in, DWORD inSize, void* record, DWORD size);
    template <class Record>
    DWORD ReadRecord(DWORD code, const void* in, DWORD inSize, Record* record)
    {
        DWORD status = ReadWhole(code, in, inSize, record, sizeof *record);
        if (status == 0)
            status = CheckList(*record);
        if (status != 0)
            std::memset(record, 0, sizeof *record);
        return status;
    }
    mutable CRITICAL_SECTION m_Lock;
    CBoundedChannel m_Channel;
    bool m_bVersionUnanswered = false; // Open's check ran out of time
    std::function<void()> m_NotResponding;
};
