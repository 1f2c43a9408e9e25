#include "Drv.h"

#include <algorithm>
#include <cstring>

#include "KvxUsbText.h"

namespace {

// The ids of a list record, read whole and checked: its count is within the array.
template <size_t N> std::vector<uint32_t> BoundedIds(const uint32_t (&ids)[N], uint32_t count)
{
    return std::vector<uint32_t>(ids, ids + std::min<size_t>(count, N));
}

// Reads one record per id into a fresh array, keeping those that load.
template <class Record, class ReadRecord>
DWORD LoadRecords(std::vector<std::unique_ptr<Record>>& records, const std::vector<uint32_t>& ids,
                  ReadRecord readRecord)
{
    DWORD result = 0;
    for (const uint32_t& id : ids) {
        auto record = std::make_unique<Record>();
        DWORD status = readRecord(&id, record.get());
        if (status == 0)
            records.push_back(std::move(record));
        else if (result == 0)
            result = status;
    }
    return result;
}

// Reads the record afresh, lets change set the user's field, and sends it only when that
// changed a byte of it.
template <class Record, class Read, class Change, class Write>
CWriteResult Rewrite(Read read, Change change, Write write)
{
    Record record;
    const DWORD status = read(&record);
    if (status != 0)
        return {CWriteOutcome::NotSent, status};
    const Record before = record;
    change(record);
    if (std::memcmp(&before, &record, sizeof record) == 0)
        return {CWriteOutcome::Unchanged, 0};
    return SentWriteResult(write(record));
}

// A name field gets the text only when it differs from what it holds: a name the driver left
// without a terminator is not cut down by a dialog that was left unedited.
template <size_t N> void SetName(char (&field)[N], const std::string& name)
{
    if (RecordText(field) != name)
        SetRecordText(field, name.c_str());
}

// Deletes the records from index 0 upward, then releases the array's storage.
template <class Record> void FreeRecords(std::vector<std::unique_ptr<Record>>& records)
{
    for (std::unique_ptr<Record>& record : records)
        record.reset();
    std::vector<std::unique_ptr<Record>>().swap(records);
}

} // namespace

CDrv::CDrv() = default;

CDrv::~CDrv()
{
    FreeChannels(m_InputChannels);
    FreeChannels(m_OutputChannels);
    FreeDevices();
    FreeSynchModes();
}

DWORD CDrv::ReadDeviceIds(std::vector<uint32_t>& ids)
{
    _KVX_USB_DEVICE_ID_LIST list = {};
    DWORD status = GetDeviceIdList(&list);
    if (status == 0)
        ids = BoundedIds(list.DeviceIds, list.Count);
    return status;
}

DWORD CDrv::LoadDevices()
{
    FreeDevices();
    m_DeviceIds.clear();
    DWORD status = ReadDeviceIds(m_DeviceIds);
    if (status != 0)
        return status;
    return LoadRecords(m_Devices, m_DeviceIds,
                       [this](const uint32_t* id, _KVX_USB_DEVICE_PROPERTIES* record) {
                           return GetDeviceProperties(id, record);
                       });
}

DWORD CDrv::LoadSynchModes()
{
    FreeSynchModes();
    std::vector<uint32_t> ids;
    DWORD status = ReadDeviceIds(ids);
    if (status != 0)
        return status;
    return LoadRecords(m_SynchModes, ids,
                       [this](const uint32_t* id, _KVX_USB_DEVICE_SYNCH_MODE_INFO* record) {
                           return GetSynchModeInfo(id, record);
                       });
}

DWORD CDrv::LoadChannels(CChannelArray& channels, KvxUsbDirection direction)
{
    FreeChannels(channels);
    std::vector<uint32_t> ids;
    DWORD status = ReadChannelIds(direction, ids);
    if (status != 0)
        return status;
    return AddChannels(channels, ids);
}

DWORD CDrv::ReadChannelIds(KvxUsbDirection direction, std::vector<uint32_t>& ids)
{
    _KVX_USB_CHANNEL_ID_LISTS lists = {};
    DWORD status = GetChannelIdLists(&lists);
    const _KVX_USB_CHANNEL_ID_LIST& half =
        direction == KvxUsbDirection::Output ? lists.Output : lists.Input;
    if (status == 0)
        ids = BoundedIds(half.ChannelIds, half.Count);
    return status;
}

DWORD CDrv::AddChannels(CChannelArray& channels, const std::vector<uint32_t>& ids)
{
    return LoadRecords(channels, ids,
                       [this](const uint32_t* id, _KVX_USB_CHANNEL_PROPERTIES* record) {
                           return GetChannelProperties(id, record);
                       });
}

CWriteResult SentWriteResult(DWORD status)
{
    if (status == 0)
        return {CWriteOutcome::Applied, 0};
    return {status == KVX_USB_E_NOT_RESPONDING ? CWriteOutcome::NoAnswer : CWriteOutcome::Refused,
            status};
}

CWriteResult CDrv::StoreDeviceRanking(uint32_t deviceId, uint32_t ranking)
{
    return Rewrite<_KVX_USB_DEVICE_PROPERTIES>(
        [&](_KVX_USB_DEVICE_PROPERTIES* record) { return GetDeviceProperties(&deviceId, record); },
        [&](_KVX_USB_DEVICE_PROPERTIES& record) { record.Ranking = ranking; },
        [&](const _KVX_USB_DEVICE_PROPERTIES& record) { return SetDeviceProperties(&record); });
}

CWriteResult CDrv::StoreDeviceName(uint32_t deviceId, const std::string& name)
{
    return Rewrite<_KVX_USB_DEVICE_PROPERTIES>(
        [&](_KVX_USB_DEVICE_PROPERTIES* record) { return GetDeviceProperties(&deviceId, record); },
        [&](_KVX_USB_DEVICE_PROPERTIES& record) { SetName(record.DeviceName, name); },
        [&](const _KVX_USB_DEVICE_PROPERTIES& record) { return SetDeviceProperties(&record); });
}

CWriteResult CDrv::StoreChannelName(uint32_t channelId, const std::string& name)
{
    return Rewrite<_KVX_USB_CHANNEL_PROPERTIES>(
        [&](_KVX_USB_CHANNEL_PROPERTIES* record) {
            return GetChannelProperties(&channelId, record);
        },
        [&](_KVX_USB_CHANNEL_PROPERTIES& record) { SetName(record.ChannelName, name); },
        [&](const _KVX_USB_CHANNEL_PROPERTIES& record) { return SetChannelProperties(&record); });
}

CWriteResult CDrv::StoreClockSource(uint32_t deviceId, uint32_t sourceId)
{
    _KVX_USB_DEVICE_SYNCH_MODE_INFO info;
    const DWORD status = GetSynchModeInfo(&deviceId, &info);
    if (status != 0)
        return {CWriteOutcome::NotSent, status};
    const _KVX_USB_CLOCK_SOURCE* begin = info.Sources;
    const _KVX_USB_CLOCK_SOURCE* end = begin + info.SourceCount;
    const _KVX_USB_CLOCK_SOURCE* source = std::find_if(
        begin, end, [&](const _KVX_USB_CLOCK_SOURCE& s) { return s.SourceId == sourceId; });
    // No longer offered: the driver would refuse it.
    if (source == end)
        return {CWriteOutcome::NotSent, ERROR_NOT_FOUND};
    if (info.Current.SourceId == sourceId && info.Current.SourceKind == source->SourceKind)
        return {CWriteOutcome::Unchanged, 0};
    const _KVX_USB_SYNCH_MODE_SELECT select = {deviceId, source->SourceKind, sourceId};
    return SentWriteResult(SetSynchMode(&select));
}

CWriteResult CDrv::StoreStreamDepth(uint32_t currentUs)
{
    return Rewrite<_KVX_USB_STREAM_BUFFER_DEPTH>(
        [&](_KVX_USB_STREAM_BUFFER_DEPTH* record) { return GetStreamBufferDepth(record); },
        [&](_KVX_USB_STREAM_BUFFER_DEPTH& record) { record.Current = currentUs; },
        [&](const _KVX_USB_STREAM_BUFFER_DEPTH& record) { return SetStreamBufferDepth(&record); });
}

CWriteResult CDrv::StoreAsioDepth(uint32_t depthUs)
{
    return Rewrite<_KVX_USB_BUFFER_DEPTH>(
        [&](_KVX_USB_BUFFER_DEPTH* record) { return GetAsioBufferDepth(record); },
        [&](_KVX_USB_BUFFER_DEPTH& record) { record.Depth = depthUs; },
        [&](const _KVX_USB_BUFFER_DEPTH& record) { return SetAsioBufferDepth(&record); });
}

CWriteResult CDrv::StoreWdmDepth(uint32_t depthUs)
{
    return Rewrite<_KVX_USB_BUFFER_DEPTH>(
        [&](_KVX_USB_BUFFER_DEPTH* record) { return GetWdmBufferDepth(record); },
        [&](_KVX_USB_BUFFER_DEPTH& record) { record.Depth = depthUs; },
        [&](const _KVX_USB_BUFFER_DEPTH& record) { return SetWdmBufferDepth(&record); });
}

void CDrv::FreeDevices()
{
    FreeRecords(m_Devices);
}

void CDrv::FreeSynchModes()
{
    FreeRecords(m_SynchModes);
}

void CDrv::FreeChannels(CChannelArray& channels)
{
    FreeRecords(channels);
}
