// Counts the requests that pass the device-I/O boundary, per control code, and hands each
// one on to the device I/O it replaced (the system's, reaching a real or stand-in driver).
#pragma once

#include <map>

#include "DeviceIo.h"

class CountingDeviceIo final : public IDeviceIo {
public:
    CountingDeviceIo() : m_inner(ReplaceDeviceIo(this)) {}
    ~CountingDeviceIo() { ReplaceDeviceIo(m_inner); }
    CountingDeviceIo(const CountingDeviceIo&) = delete;
    CountingDeviceIo& operator=(const CountingDeviceIo&) = delete;

    HANDLE Open(const char* path) override { return m_inner->Open(path); }
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) override
    {
        ++total;
        ++perCode[code];
        return m_inner->Control(device, code, in, inSize, out, outSize, bytesReturned);
    }
    void Close(HANDLE device) override { m_inner->Close(device); }

    void Reset()
    {
        total = 0;
        perCode.clear();
    }

    unsigned total = 0;
    std::map<DWORD, unsigned> perCode;

private:
    IDeviceIo* m_inner;
};
