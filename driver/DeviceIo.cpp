#include "DeviceIo.h"

namespace {

class SystemDeviceIo final : public IDeviceIo {
public:
    HANDLE Open(const char* path) override
    {
        return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    }

    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                 DWORD outSize, DWORD* bytesReturned) override
    {
        return DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize,
                               bytesReturned, nullptr);
    }

    void Close(HANDLE device) override { CloseHandle(device); }
};

SystemDeviceIo g_systemIo;
IDeviceIo* g_io = &g_systemIo;

}  // namespace

IDeviceIo& DeviceIo() { return *g_io; }

IDeviceIo* ReplaceDeviceIo(IDeviceIo* io)
{
    IDeviceIo* previous = g_io;
    g_io = io ? io : &g_systemIo;
    return previous;
}
