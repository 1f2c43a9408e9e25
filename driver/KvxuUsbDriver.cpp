#include "KvxuUsbDriver.h"

#include <algorithm>
#include <vector>

#include "ScopedHandle.h"

namespace {

// A count past the capacity, or an id among the first count twice.
template <size_t N> DWORD CheckIds(const uint32_t (&ids)[N], uint32_t count)
{
    if (count > N)
        return KVX_USB_E_BAD_LIST;
    std::vector<uint32_t> sorted(ids, ids + count);
    std::sort(sorted.begin(), sorted.end());
    const bool twice = std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
    return twice ? DWORD(KVX_USB_E_BAD_LIST) : 0;
}

} // namespace

DWORD CheckList(const _KVX_USB_DEVICE_ID_LIST& list)
{
    return CheckIds(list.DeviceIds, list.Count);
}

DWORD CheckList(const _KVX_USB_CHANNEL_ID_LISTS& lists)
{
    const DWORD input = CheckIds(lists.Input.ChannelIds, lists.Input.Count);
    return input ? input : CheckIds(lists.Output.ChannelIds, lists.Output.Count);
}

DWORD CheckList(const _KVX_USB_DEVICE_SYNCH_MODE_INFO& info)
{
    return info.SourceCount > KVX_USB_MAX_CLOCK_SOURCES ? DWORD(KVX_USB_E_BAD_LIST) : 0;
}

DWORD CheckList(const _KVX_USB_SAMPLE_RATE_INFO& info)
{
    return info.RateCount > KVX_USB_MAX_RATES ? DWORD(KVX_USB_E_BAD_LIST) : 0;
}

CKvxuUsbDriver::CKvxuUsbDriver()
{
    InitializeCriticalSection(&m_Lock);
}

CKvxuUsbDriver::~CKvxuUsbDriver()
{
    Close();
    DeleteCriticalSection(&m_Lock);
}

DWORD CKvxuUsbDriver::Open(const char* deviceName)
{
    CCriticalSectionLock lock(m_Lock);
    if (m_Channel.IsOpen() && !m_bVersionUnanswered)
        return 0; // the open channel stays, whatever name was asked for
    // A channel whose version check went unanswered is asked again, not opened anew.
    DWORD status = m_Channel.Open(deviceName);
    if (status != 0)
        return status;

    // Zeroed: a driver that answers with fewer bytes than the version fails the check.
    _KVX_USB_DRIVER_INFO info = {};
    m_bVersionUnanswered = false;
    status = GetDriverInfo(&info);
    if (status == 0 && info.InterfaceVersionMajor != KVX_USB_INTERFACE_VERSION_MAJOR)
        status = KVX_USB_E_INTERFACE_VERSION;
    m_bVersionUnanswered = status == KVX_USB_E_NOT_RESPONDING;
    if (status != 0 && !m_bVersionUnanswered)
        m_Channel.Close();
    return status;
}

DWORD CKvxuUsbDriver::OpenWithoutVersionCheck(const char* deviceName)
{
    CCriticalSectionLock lock(m_Lock);
    return m_Channel.Open(deviceName);
}

void CKvxuUsbDriver::Close()
{
    CCriticalSectionLock lock(m_Lock);
    m_Channel.Close();
    m_bVersionUnanswered = false;
}

bool CKvxuUsbDriver::IsOpen() const
{
    CCriticalSectionLock lock(m_Lock);
    return m_Channel.IsOpen();
}

bool CKvxuUsbDriver::IsResponding() const
{
    CCriticalSectionLock lock(m_Lock);
    return m_Channel.IsResponding();
}

bool CKvxuUsbDriver::WentUnanswered() const
{
    CCriticalSectionLock lock(m_Lock);
    return m_Channel.TimedOut();
}

void CKvxuUsbDriver::SetNotRespondingHandler(std::function<void()> handler)
{
    CCriticalSectionLock lock(m_Lock);
    m_NotResponding = std::move(handler);
}

DWORD CKvxuUsbDriver::IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                                DWORD* bytesReturned)
{
    DWORD status;
    std::function<void()> notResponding;
    {
        CCriticalSectionLock lock(m_Lock);
        // A driver whose version is not known yet is asked nothing else.
        status = m_bVersionUnanswered
                     ? KVX_USB_E_NOT_RESPONDING
                     : m_Channel.Request(code, in, inSize, out, outSize, bytesReturned);
        if (status == KVX_USB_E_NOT_RESPONDING)
            notResponding = m_NotResponding;
    }
    if (notResponding)
        notResponding();
    return status;
}

DWORD CKvxuUsbDriver::ReadWhole(DWORD code, const void* in, DWORD inSize, void* record, DWORD size)
{
    std::memset(record, 0, size);
    DWORD returned = 0;
    const DWORD status = IoControl(code, in, inSize, record, size, &returned);
    return status == 0 && returned < size ? KVX_USB_E_SHORT_ANSWER : status;
}

DWORD CKvxuUsbDriver::GetDriverInfo(_KVX_USB_DRIVER_INFO* info)
{
    return ReadRecord(IOCTL_KVX_USB_GET_DRIVER_INFO, nullptr, 0, info);
}

DWORD CKvxuUsbDriver::GetAsioNameOption(uint32_t* option)
{
    return ReadRecord(IOCTL_KVX_USB_GET_ASIO_NAME_OPTION, nullptr, 0, option);
}

DWORD CKvxuUsbDriver::SetAsioNameOption(const uint32_t* option)
{
    return IoControl(IOCTL_KVX_USB_SET_ASIO_NAME_OPTION, option, sizeof *option, nullptr, 0);
}

DWORD CKvxuUsbDriver::RegisterNotificationEvent(HANDLE event)
{
    // The driver takes the handle's 32-bit value.
    DWORD value = DWORD(UINT_PTR(event));
    return IoControl(IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT, &value, sizeof value, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetNotification(_KVX_USB_NOTIFICATION* notification)
{
    return ReadRecord(IOCTL_KVX_USB_GET_NOTIFICATION, nullptr, 0, notification);
}

DWORD CKvxuUsbDriver::GetDeviceIdList(_KVX_USB_DEVICE_ID_LIST* list)
{
    return ReadRecord(IOCTL_KVX_USB_GET_DEVICE_ID_LIST, nullptr, 0, list);
}

DWORD CKvxuUsbDriver::GetChannelIdLists(_KVX_USB_CHANNEL_ID_LISTS* lists)
{
    return ReadRecord(IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS, nullptr, 0, lists);
}

DWORD CKvxuUsbDriver::GetClockMaster(_KVX_USB_CLOCK_MASTER* master)
{
    return ReadRecord(IOCTL_KVX_USB_GET_CLOCK_MASTER, nullptr, 0, master);
}

DWORD CKvxuUsbDriver::SetClockMaster(const _KVX_USB_CLOCK_MASTER* master)
{
    return IoControl(IOCTL_KVX_USB_SET_CLOCK_MASTER, master, sizeof *master, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetSampleRateMode(uint32_t* mode)
{
    _KVX_USB_SAMPLE_RATE_MODE record;
    const DWORD status = ReadRecord(IOCTL_KVX_USB_GET_SAMPLE_RATE_MODE, nullptr, 0, &record);
    if (status == 0)
        *mode = record.Mode;
    return status;
}

DWORD CKvxuUsbDriver::SetSampleRateMode(uint32_t mode)
{
    _KVX_USB_SAMPLE_RATE_MODE record = {0, mode};
    return IoControl(IOCTL_KVX_USB_SET_SAMPLE_RATE_MODE, &record, sizeof record, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetSampleRateInfo(_KVX_USB_SAMPLE_RATE_INFO* info)
{
    return ReadRecord(IOCTL_KVX_USB_GET_SAMPLE_RATE_INFO, nullptr, 0, info);
}

DWORD CKvxuUsbDriver::SetSampleRate(uint32_t rateHz)
{
    _KVX_USB_SAMPLE_RATE_SELECT record = {0, rateHz};
    return IoControl(IOCTL_KVX_USB_SET_SAMPLE_RATE, &record, sizeof record, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetSynchModeInfo(const uint32_t* deviceId,
                                       _KVX_USB_DEVICE_SYNCH_MODE_INFO* info)
{
    return ReadRecord(IOCTL_KVX_USB_GET_SYNCH_MODE_INFO, deviceId, sizeof *deviceId, info);
}

DWORD CKvxuUsbDriver::SetSynchMode(const _KVX_USB_SYNCH_MODE_SELECT* select)
{
    return IoControl(IOCTL_KVX_USB_SET_SYNCH_MODE, select, sizeof *select, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetDeviceProperties(const uint32_t* deviceId,
                                          _KVX_USB_DEVICE_PROPERTIES* properties)
{
    return ReadRecord(IOCTL_KVX_USB_GET_DEVICE_PROPERTIES, deviceId, sizeof *deviceId, properties);
}

DWORD CKvxuUsbDriver::SetDeviceProperties(const _KVX_USB_DEVICE_PROPERTIES* properties)
{
    return IoControl(IOCTL_KVX_USB_SET_DEVICE_PROPERTIES, properties, sizeof *properties, nullptr,
                     0);
}

DWORD CKvxuUsbDriver::GetChannelProperties(const uint32_t* channelId,
                                           _KVX_USB_CHANNEL_PROPERTIES* properties)
{
    return ReadRecord(IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES, channelId, sizeof *channelId,
                      properties);
}

DWORD CKvxuUsbDriver::SetChannelProperties(const _KVX_USB_CHANNEL_PROPERTIES* properties)
{
    return IoControl(IOCTL_KVX_USB_SET_CHANNEL_PROPERTIES, properties, sizeof *properties, nullptr,
                     0);
}

DWORD CKvxuUsbDriver::StartStreams()
{
    return IoControl(IOCTL_KVX_USB_START_STREAMS, nullptr, 0, nullptr, 0);
}

DWORD CKvxuUsbDriver::StopStreams()
{
    return IoControl(IOCTL_KVX_USB_STOP_STREAMS, nullptr, 0, nullptr, 0);
}

DWORD CKvxuUsbDriver::RestartStreams()
{
    const DWORD status = StopStreams();
    return status != 0 ? status : StartStreams();
}

DWORD CKvxuUsbDriver::GetStreamBufferDepth(_KVX_USB_STREAM_BUFFER_DEPTH* depth)
{
    return ReadRecord(IOCTL_KVX_USB_GET_STREAM_BUFFER_DEPTH, nullptr, 0, depth);
}

DWORD CKvxuUsbDriver::SetStreamBufferDepth(const _KVX_USB_STREAM_BUFFER_DEPTH* depth)
{
    return IoControl(IOCTL_KVX_USB_SET_STREAM_BUFFER_DEPTH, depth, sizeof *depth, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetAsioBufferDepth(_KVX_USB_BUFFER_DEPTH* depth)
{
    return ReadRecord(IOCTL_KVX_USB_GET_ASIO_BUFFER_DEPTH, nullptr, 0, depth);
}

DWORD CKvxuUsbDriver::SetAsioBufferDepth(const _KVX_USB_BUFFER_DEPTH* depth)
{
    return IoControl(IOCTL_KVX_USB_SET_ASIO_BUFFER_DEPTH, depth, sizeof *depth, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetWdmBufferDepth(_KVX_USB_BUFFER_DEPTH* depth)
{
    return ReadRecord(IOCTL_KVX_USB_GET_WDM_BUFFER_DEPTH, nullptr, 0, depth);
}

DWORD CKvxuUsbDriver::SetWdmBufferDepth(const _KVX_USB_BUFFER_DEPTH* depth)
{
    return IoControl(IOCTL_KVX_USB_SET_WDM_BUFFER_DEPTH, depth, sizeof *depth, nullptr, 0);
}

DWORD CKvxuUsbDriver::GetAsioStatistics(_KVX_USB_ASIO_STATISTICS* statistics)
{
    return ReadRecord(IOCTL_KVX_USB_GET_ASIO_STATISTICS, nullptr, 0, statistics);
}
