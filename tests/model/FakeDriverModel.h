// A small device model behind FakeDeviceIo: devices and channels by id, per-id failures,
// a notification queue that signals the registered event, and a log of what was set.
#pragma once

#include <deque>
#include <map>
#include <vector>

#include "FakeDeviceIo.h"
#include "KvxUsbRecords.h"

class FakeDriverModel {
public:
    explicit FakeDriverModel(FakeDeviceIo& device)
    {
        device.respond = [this](const FakeDeviceIo::Request& request, DWORD& status,
                                std::vector<unsigned char>& answer) {
            return Respond(request, status, answer);
        };
    }

    // Records as the driver hands them over: every byte set, so a lost byte shows.
    static _KVX_USB_DEVICE_PROPERTIES Device(uint32_t id)
    {
        _KVX_USB_DEVICE_PROPERTIES record;
        Fill(record, id);
        record.DeviceId = id;
        return record;
    }
    static _KVX_USB_DEVICE_SYNCH_MODE_INFO SynchMode(uint32_t id)
    {
        _KVX_USB_DEVICE_SYNCH_MODE_INFO record;
        Fill(record, id);
        record.DeviceId = id;
        record.SourceCount = 4; // a list within its capacity, or the read fails
        return record;
    }
    static _KVX_USB_CHANNEL_PROPERTIES Channel(uint32_t id)
    {
        _KVX_USB_CHANNEL_PROPERTIES record;
        Fill(record, id);
        record.ChannelId = id;
        return record;
    }

    void QueueNotification(int32_t kind)
    {
        notifications.push_back({kind, uint32_t(notifications.size()), 0});
        if (registeredEvent)
            SetEvent(registeredEvent);
    }

    std::vector<uint32_t> deviceIds;
    std::vector<uint32_t> inputIds;
    std::vector<uint32_t> outputIds;
    uint32_t deviceCount = UINT32_MAX;       // the Count to report; UINT32_MAX: deviceIds.size()
    bool idListsAnswerNothing = false;       // a driver that writes no bytes into the id lists
    std::map<uint32_t, DWORD> readFailures;  // id -> status of its properties or synch read
    std::map<uint32_t, DWORD> storeFailures; // id -> status of its set request
    std::deque<_KVX_USB_NOTIFICATION> notifications;
    HANDLE registeredEvent = nullptr;
    DWORD registrationFailure = 0;

private:
    template <class Record> static void Fill(Record& record, uint32_t seed)
    {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(&record);
        for (size_t i = 0; i < sizeof record; ++i)
            bytes[i] = static_cast<unsigned char>(seed * 31 + i * 7 + 1);
    }

    static uint32_t IdOf(const FakeDeviceIo::Request& request)
    {
        uint32_t id = 0;
        if (request.in.size() >= sizeof id)
            std::memcpy(&id, request.in.data(), sizeof id);
        return id;
    }

    template <class Record>
    static bool Read(DWORD failure, const Record& record, DWORD& status,
                     std::vector<unsigned char>& answer)
    {
        status = failure;
        if (status == 0)
            answer = FakeDeviceIo::Bytes(record);
        return true;
    }

    static void FillIdList(_KVX_USB_CHANNEL_ID_LIST& list, const std::vector<uint32_t>& ids)
    {
        list.Count = uint32_t(ids.size());
        for (size_t i = 0; i < ids.size() && i < KVX_USB_MAX_CHANNELS; ++i)
            list.ChannelIds[i] = ids[i];
    }

    DWORD FailureOf(const std::map<uint32_t, DWORD>& failures, uint32_t id) const
    {
        auto failure = failures.find(id);
        return failure == failures.end() ? 0 : failure->second;
    }

    bool Respond(const FakeDeviceIo::Request& request, DWORD& status,
                 std::vector<unsigned char>& answer)
    {
        const uint32_t id = IdOf(request);
        switch (request.code) {
        case IOCTL_KVX_USB_GET_DEVICE_ID_LIST: {
            if (idListsAnswerNothing)
                return true;
            _KVX_USB_DEVICE_ID_LIST list = {};
            list.Count = deviceCount == UINT32_MAX ? uint32_t(deviceIds.size()) : deviceCount;
            for (size_t i = 0; i < deviceIds.size() && i < KVX_USB_MAX_DEVICES; ++i)
                list.DeviceIds[i] = deviceIds[i];
            answer = FakeDeviceIo::Bytes(list);
            return true;
        }
        case IOCTL_KVX_USB_GET_CHANNEL_ID_LISTS: {
            if (idListsAnswerNothing)
                return true;
            _KVX_USB_CHANNEL_ID_LISTS lists = {};
            FillIdList(lists.Input, inputIds);
            FillIdList(lists.Output, outputIds);
            answer = FakeDeviceIo::Bytes(lists);
            return true;
        }
        case IOCTL_KVX_USB_GET_DEVICE_PROPERTIES:
            return Read(FailureOf(readFailures, id), Device(id), status, answer);
        case IOCTL_KVX_USB_GET_SYNCH_MODE_INFO:
            return Read(FailureOf(readFailures, id), SynchMode(id), status, answer);
        case IOCTL_KVX_USB_GET_CHANNEL_PROPERTIES:
            return Read(FailureOf(readFailures, id), Channel(id), status, answer);
        case IOCTL_KVX_USB_SET_DEVICE_PROPERTIES:
        case IOCTL_KVX_USB_SET_SYNCH_MODE:
            status = FailureOf(storeFailures, id);
            return true;
        case IOCTL_KVX_USB_REGISTER_NOTIFICATION_EVENT:
            status = registrationFailure;
            if (status == 0)
                registeredEvent = HANDLE(UINT_PTR(id));
            return true;
        case IOCTL_KVX_USB_GET_NOTIFICATION:
            if (notifications.empty()) {
                status = ERROR_NO_MORE_ITEMS;
                return true;
            }
            answer = FakeDeviceIo::Bytes(notifications.front());
            notifications.pop_front();
            return true;
        default:
            return false;
        }
    }
};
