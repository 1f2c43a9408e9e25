#include "DeviceIo.h"

#include "KvxUsbCatalogue.h"

#include <cstring>
#include <vector>

namespace {

const char DEVICE_PREFIX[] = "\\\\.\\";
const char PIPE_PREFIX[] = "\\\\.\\pipe\\";
// How long Open waits for a free pipe instance while the stand-in accepts another client.
const DWORD PIPE_BUSY_WAIT_MS = 2000;

bool IsNoSuchDevice(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

HANDLE OpenStandInPipe(const char* devicePath)
{
    std::string pipe = StandInPipeName(devicePath);
    for (int attempt = 0; attempt < 3; ++attempt) {
        HANDLE h = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            if (SetNamedPipeHandleState(h, &mode, nullptr, nullptr))
                return h;
            DWORD error = GetLastError();
            CloseHandle(h);
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeA(pipe.c_str(), PIPE_BUSY_WAIT_MS))
            break;
    }
    return INVALID_HANDLE_VALUE;
}

bool IsPipeGone(DWORD error)
{
    return error == ERROR_BROKEN_PIPE || error == ERROR_BAD_PIPE ||
           error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NO_DATA;
}

bool IsPipe(HANDLE h)
{
    return GetFileType(h) == FILE_TYPE_PIPE;
}

// One request as one message each way. Every count in the reply is bounded by what
// arrived and by the caller's buffer.
BOOL PipeControl(HANDLE pipe, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned)
{
    *bytesReturned = 0;
    if ((inSize && !in) || (outSize && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // No request or answer of the protocol is larger than its largest record.
    if (inSize > KVX_USB_MAX_RECORD_SIZE) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    DWORD answerSize = outSize < KVX_USB_MAX_RECORD_SIZE ? outSize : KVX_USB_MAX_RECORD_SIZE;
    std::vector<char> request(sizeof(KvxPipeRequest) + inSize);
    KvxPipeRequest head = {code, inSize, outSize};
    std::memcpy(request.data(), &head, sizeof head);
    if (inSize)
        std::memcpy(request.data() + sizeof head, in, inSize);

    std::vector<char> reply(sizeof(KvxPipeReply) + answerSize);
    DWORD received = 0;
    if (!TransactNamedPipe(pipe, request.data(), DWORD(request.size()), reply.data(),
                           DWORD(reply.size()), &received, nullptr)) {
        DWORD error = GetLastError();
        if (IsPipeGone(error)) {
            SetLastError(ERROR_BROKEN_PIPE); // one status for "the stand-in went away"
            return FALSE;
        }
        if (error != ERROR_MORE_DATA)
            return FALSE;
        // An answer larger than asked for: read the rest so the next request starts clean.
        char rest[512];
        DWORD n = 0;
        while (!ReadFile(pipe, rest, sizeof rest, &n, nullptr) &&
               GetLastError() == ERROR_MORE_DATA) {
        }
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (received < sizeof(KvxPipeReply)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    KvxPipeReply answer;
    std::memcpy(&answer, reply.data(), sizeof answer);
    DWORD count = answer.BytesReturned;
    if (count > received - sizeof answer)
        count = received - DWORD(sizeof answer);
    if (count > answerSize)
        count = answerSize;
    if (count)
        std::memcpy(out, reply.data() + sizeof answer, count);
    *bytesReturned = count;
    if (answer.Status != 0) {
        SetLastError(answer.Status);
        return FALSE;
    }
    return TRUE;
}

class SystemDeviceIo final : public IDeviceIo {
public:
    HANDLE Open(const char* path) override
    {
        HANDLE h =
            CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        DWORD error = GetLastError();
        if (!IsNoSuchDevice(error) || !StandInRequested()) {
            SetLastError(error);
            return h;
        }
        h = OpenStandInPipe(path);
        // Neither a device nor a stand-in: the device's own "not found".
        if (h == INVALID_HANDLE_VALUE && IsNoSuchDevice(GetLastError()))
            SetLastError(error);
        return h;
    }

    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) override
    {
        DWORD ignored = 0;
        if (!bytesReturned)
            bytesReturned = &ignored;
        if (IsPipe(device))
            return PipeControl(device, code, in, inSize, out, outSize, bytesReturned);
        return DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize,
                               bytesReturned, nullptr);
    }

    void Close(HANDLE device) override { CloseHandle(device); }
};

SystemDeviceIo g_systemIo;
IDeviceIo* g_io = &g_systemIo;

} // namespace

IDeviceIo& DeviceIo()
{
    return *g_io;
}

IDeviceIo* ReplaceDeviceIo(IDeviceIo* io)
{
    IDeviceIo* previous = g_io;
    g_io = io ? io : &g_systemIo;
    return previous;
}

bool StandInRequested()
{
    char value[2];
    // Length with terminator when too small for the buffer, 0 when unset or empty.
    return GetEnvironmentVariableA(KVX_SIMDRIVER_PIPE_VARIABLE, value, sizeof value) > 0;
}

std::string StandInPipeName(const char* devicePath)
{
    // The process environment, not the C runtime's copy: tests set it at run time.
    char overrideName[256];
    DWORD length =
        GetEnvironmentVariableA(KVX_SIMDRIVER_PIPE_VARIABLE, overrideName, sizeof overrideName);
    if (length > 0 && length < sizeof overrideName)
        return std::string(PIPE_PREFIX) + overrideName;
    const size_t prefix = sizeof DEVICE_PREFIX - 1;
    if (std::strncmp(devicePath, DEVICE_PREFIX, prefix) == 0)
        devicePath += prefix;
    return std::string(PIPE_PREFIX) + devicePath;
}
