// The one place where the driver channel meets the operating system's device I/O.
// Everything above it speaks in handles, control codes and statuses and does not know
// which driver answers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// One request on its way to the driver, with buffers of its own. The driver may write into
// out, and the device I/O into the OVERLAPPED and its frames, until the request completes, so
// its owner keeps it whole until the event is set, however long the driver takes.
struct KvxDeviceRequest {
    KvxDeviceRequest();
    ~KvxDeviceRequest();
    KvxDeviceRequest(const KvxDeviceRequest&) = delete;
    KvxDeviceRequest& operator=(const KvxDeviceRequest&) = delete;

    OVERLAPPED overlapped = {}; // hEvent: a manual-reset event of its own
    DWORD code = 0;
    std::vector<char> in;
    std::vector<char> out; // as large as the caller's output buffer
    // The device I/O's own, while the request is on its way: the stand-in's framing.
    std::vector<char> sentFrame;
    std::vector<char> replyFrame;
};

class IDeviceIo {
public:
    // A handle to the control device at path, or INVALID_HANDLE_VALUE with the reason in
    // GetLastError(), as CreateFileA gives it. The system's is opened for overlapped requests.
    virtual HANDLE Open(const char* path) = 0;
    // One synchronous request; FALSE with the reason in GetLastError(), as DeviceIoControl.
    virtual BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                         DWORD outSize, DWORD* bytesReturned) = 0;
    virtual void Close(HANDLE device) = 0;

    // Starts a request without waiting for it, as DeviceIoControl does with an OVERLAPPED:
    // TRUE when it completed at once; FALSE with ERROR_IO_PENDING while it goes on, its event
    // set when it completes; FALSE with any other reason when it failed. Once it completed,
    // Finish gives its outcome. The default carries Control out on a thread of the system's
    // pool, so that a device I/O which answers, or holds a request, inside Control is bounded
    // like the system's.
    virtual BOOL Begin(HANDLE device, KvxDeviceRequest& request);
    // The outcome of a request Begin started, once it completed: as Control, with
    // *bytesReturned bytes of the answer in request.out.
    virtual BOOL Finish(HANDLE device, KvxDeviceRequest& request, DWORD* bytesReturned);
    // Asks the driver to end a started request early (closing: its handle is about to close;
    // otherwise it ran out of time), where that is safe and the driver honours it. The
    // request still completes through its event. The default asks nothing.
    virtual void Cancel(HANDLE device, KvxDeviceRequest& request, bool closing);

protected:
    ~IDeviceIo() = default;
};

// The process's device I/O: the system's, unless a test has put another in its place.
IDeviceIo& DeviceIo();

// Puts io in place of the current device I/O (nullptr: the system's again) and returns
// the one it replaced. For tests only; call it while no channel is in use.
IDeviceIo* ReplaceDeviceIo(IDeviceIo* io);

// The stand-in driver (kvxusim.exe) serves the control protocol on a named pipe for
// development and tests. The system's device I/O falls back to it only when opening the
// device fails with "not found" AND the process asked for it: the environment variable
// KVX_SIMDRIVER_PIPE is set and not empty. Otherwise no pipe is ever opened, so that no other
// local process can pose as the driver of an installed panel.
//
// Pipe name: "\\.\pipe\" followed by the variable's value, e.g.
// \\.\pipe\{5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0} (the device name, the scripts' choice) or a
// name of a test program's own. Without the variable the stand-in serves under the device
// path without its "\\.\" prefix; both sides read it.
constexpr const char* KVX_SIMDRIVER_PIPE_VARIABLE = "KVX_SIMDRIVER_PIPE";
std::string StandInPipeName(const char* devicePath);
// Whether this process asked for the stand-in (the variable is set and not empty).
bool StandInRequested();

// Framing on the pipe (message mode): one request message, one reply message.
//   request: KvxPipeRequest, then InSize input bytes
//   reply:   KvxPipeReply, then BytesReturned output bytes (never more than OutSize)
// The status becomes the caller's last error, as with a real device. Once the stand-in has
// gone, every request on its handle fails with ERROR_BROKEN_PIPE.
struct KvxPipeRequest {
    uint32_t Code;
    uint32_t InSize;
    uint32_t OutSize;
};
struct KvxPipeReply {
    uint32_t Status;
    uint32_t BytesReturned;
};
