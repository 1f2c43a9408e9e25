// The one place where the driver channel meets the operating system's device I/O.
// Everything above it speaks in handles, control codes and statuses and does not know
// which driver answers.
#pragma once

#include <windows.h>

class IDeviceIo {
public:
    // A handle to the control device at path, or INVALID_HANDLE_VALUE with the reason in
    // GetLastError(), as CreateFileA gives it.
    virtual HANDLE Open(const char* path) = 0;
    // One synchronous request; FALSE with the reason in GetLastError(), as DeviceIoControl.
    virtual BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                         DWORD outSize, DWORD* bytesReturned) = 0;
    virtual void Close(HANDLE device) = 0;

protected:
    ~IDeviceIo() = default;
};

// The process's device I/O: the system's, unless a test has put another in its place.
IDeviceIo& DeviceIo();

// Puts io in place of the current device I/O (nullptr: the system's again) and returns
// the one it replaced. For tests only; call it while no channel is in use.
IDeviceIo* ReplaceDeviceIo(IDeviceIo* io);
