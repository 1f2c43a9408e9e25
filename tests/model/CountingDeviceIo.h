// Counts the opens and the requests that pass the device-I/O boundary, per control code, and
// hands each one on to the device I/O it replaced (the system's, reaching a real or stand-in
// driver).
#pragma once

#include <map>

#include "DeviceIo.h"

class CountingDeviceIo final : public IDeviceIo {
public:
    CountingDeviceIo() : m_inner(ReplaceDeviceIo(this)) {}
    ~CountingDeviceIo() { ReplaceDeviceIo(m_inner); }
    CountingDeviceIo(const CountingDeviceIo&) = delete;
    CountingDeviceIo& operator=(const CountingDeviceIo&) = delete;

    HANDLE Open(const char* path) override
    {
        ++opens;
        return m_inner->Open(path);
    }
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) override
    {
        ++total;
        ++perCode[code];
        return m_inner->Control(device, code, in, inSize, out, outSize, bytesReturned);
    }
    void Close(HANDLE device) override { m_inner->Close(device); }
    BOOL Begin(HANDLE device, KvxDeviceRequest& request) override
    {
        ++total;
        ++perCode[request.code];
        return m_inner->Begin(device, request);
    }
    BOOL Finish(HANDLE device, KvxDeviceRequest& request, DWORD* bytesReturned) override
    {
        return m_inner->Finish(device, request, bytesReturned);
    }
    void Cancel(HANDLE device, KvxDeviceRequest& request, bool closing) override
    {
        m_inner->Cancel(device, request, closing);
    }

    void Reset()
    {
        total = 0;
        perCode.clear();
    }

    unsigned total = 0;
    unsigned opens = 0;
    std::map<DWORD, unsigned> perCode;

private:
    IDeviceIo* m_inner;
};
