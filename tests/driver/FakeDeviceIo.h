// A control device behind the device-I/O boundary, for tests of the channel itself.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "DeviceIo.h"
#include "KvxUsbCatalogue.h"

class FakeDeviceIo final : public IDeviceIo {
public:
    struct Request {
        DWORD code;
        std::vector<unsigned char> in;
        DWORD outSize;
    };

    FakeDeviceIo() : m_previous(ReplaceDeviceIo(this))
    {
        driverInfo.InterfaceVersionMajor = 2;
        driverInfo.InterfaceVersionMinor = 1;
    }
    ~FakeDeviceIo() { ReplaceDeviceIo(m_previous); }

    HANDLE Open(const char* path) override
    {
        paths.push_back(path);
        if (!present) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        ++openHandles;
        return HANDLE(UINT_PTR(0x1000 + paths.size()));
    }

    BOOL Control(HANDLE, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) override
    {
        const unsigned char* bytes = static_cast<const unsigned char*>(in);
        requests.push_back({code, std::vector<unsigned char>(bytes, bytes + inSize), outSize});
        DWORD status = 0;
        std::vector<unsigned char> answer;
        if (respond && respond(requests.back(), status, answer))
            return Reply(status, answer, out, outSize, bytesReturned);
        auto failure = failures.find(code);
        if (failure != failures.end())
            return Reply(failure->second, {}, out, outSize, bytesReturned);
        return Reply(0, AnswerFor(code, outSize), out, outSize, bytesReturned);
    }

    void Close(HANDLE) override { --openHandles; }

    // A record not set up is answered whole, all zero.
    std::vector<unsigned char> AnswerFor(DWORD code, DWORD outSize) const
    {
        auto answer = answers.find(code);
        if (answer != answers.end())
            return answer->second;
        if (code == IOCTL_KVX_USB_GET_DRIVER_INFO)
            return Bytes(driverInfo);
        return std::vector<unsigned char>(outSize, 0);
    }

    template <class Record> static std::vector<unsigned char> Bytes(const Record& record)
    {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
        return std::vector<unsigned char>(bytes, bytes + sizeof record);
    }

    template <class Record> void Answer(DWORD code, const Record& record)
    {
        answers[code] = Bytes(record);
    }

    // When set, sees every request first: it returns true after setting the status and,
    // for success, the answer, or false to let the fake answer as below.
    std::function<bool(const Request& request, DWORD& status, std::vector<unsigned char>& answer)>
        respond;
    bool present = true;
    _KVX_USB_DRIVER_INFO driverInfo = {};
    std::map<DWORD, DWORD> failures; // code -> status the device fails it with
    std::map<DWORD, std::vector<unsigned char>> answers;
    std::vector<std::string> paths;
    std::vector<Request> requests;
    int openHandles = 0;

private:
    static BOOL Reply(DWORD status, const std::vector<unsigned char>& answer, void* out,
                      DWORD outSize, DWORD* bytesReturned)
    {
        if (status != 0) {
            *bytesReturned = 0;
            SetLastError(status);
            return FALSE;
        }
        DWORD written = DWORD(answer.size()) < outSize ? DWORD(answer.size()) : outSize;
        if (written)
            std::memcpy(out, answer.data(), written);
        *bytesReturned = written;
        return TRUE;
    }

    IDeviceIo* m_previous;
};
