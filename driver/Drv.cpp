#include "Drv.h"

#include <algorithm>

namespace {

// The ids of a list record: its count bounded by the array that holds them. The list was
// cleared before it was read, so a short answer gives no ids.
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

// Sends every record in order and returns the first failure; the rest are still sent.
template <class Record, class StoreRecord>
DWORD StoreRecords(const std::vector<std::unique_ptr<Record>>& records, StoreRecord storeRecord)
{
    DWORD result = 0;
    for (const std::unique_ptr<Record>& record : records) {
        DWORD status = storeRecord(*record);
        if (status != 0 && result == 0)
            result = status;
    }
    return result;
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
    std::vector<uint32_t> ids;
    DWORD status = ReadDeviceIds(ids);
    if (status != 0)
        return status;
    return LoadRecords(m_Devices, ids,
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

DWORD CDrv::StoreDevices()
{
    return StoreRecords(m_Devices, [this](const _KVX_USB_DEVICE_PROPERTIES& record) {
        return SetDeviceProperties(&record);
    });
}

DWORD CDrv::StoreSynchModes()
{
    // Every device's selection goes out, changed or not: the head of its cached record.
    return StoreRecords(m_SynchModes, [this](const _KVX_USB_DEVICE_SYNCH_MODE_INFO& record) {
        _KVX_USB_SYNCH_MODE_SELECT select = {record.DeviceId, record.Current.SourceKind,
                                             record.Current.SourceId};
        return SetSynchMode(&select);
    });
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
