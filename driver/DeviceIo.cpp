#include "DeviceIo.h"

#include "KvxUsbCatalogue.h"

#include <cstring>
#include <mutex>
#include <set>
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
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
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

// One status, ERROR_BROKEN_PIPE, for "the stand-in went away".
bool IsPipeGone(DWORD error)
{
    return error == ERROR_BROKEN_PIPE || error == ERROR_BAD_PIPE ||
           error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NO_DATA;
}

// The largest answer the protocol has room for in the caller's buffer.
DWORD AnswerRoom(const KvxDeviceRequest& request)
{
    const DWORD outSize = DWORD(request.out.size());
    return outSize < KVX_USB_MAX_RECORD_SIZE ? outSize : KVX_USB_MAX_RECORD_SIZE;
}

// One request as one message each way, started on an overlapped pipe handle.
BOOL BeginPipeRequest(HANDLE pipe, KvxDeviceRequest& request)
{
    const DWORD inSize = DWORD(request.in.size());
    // No request or answer of the protocol is larger than its largest record.
    if (inSize > KVX_USB_MAX_RECORD_SIZE) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    KvxPipeRequest head = {request.code, inSize, DWORD(request.out.size())};
    request.sentFrame.resize(sizeof head + inSize);
    std::memcpy(request.sentFrame.data(), &head, sizeof head);
    if (inSize)
        std::memcpy(request.sentFrame.data() + sizeof head, request.in.data(), inSize);
    request.replyFrame.resize(sizeof(KvxPipeReply) + AnswerRoom(request));
    DWORD received = 0;
    if (TransactNamedPipe(pipe, request.sentFrame.data(), DWORD(request.sentFrame.size()),
                          request.replyFrame.data(), DWORD(request.replyFrame.size()), &received,
                          &request.overlapped))
        return TRUE;
    const DWORD error = GetLastError();
    // A longer answer than asked for completes the request too, and Finish says so.
    if (error == ERROR_MORE_DATA)
        return TRUE;
    SetLastError(IsPipeGone(error) ? ERROR_BROKEN_PIPE : error);
    return FALSE;
}

// Reads the rest of an answer larger than asked for, so that the next request starts clean.
void SkipRestOfMessage(HANDLE pipe, OVERLAPPED& overlapped)
{
    char rest[512];
    DWORD n = 0;
    for (;;) {
        BOOL read = ReadFile(pipe, rest, sizeof rest, &n, &overlapped);
        if (!read && GetLastError() == ERROR_IO_PENDING)
            read = GetOverlappedResult(pipe, &overlapped, &n, TRUE);
        if (read || GetLastError() != ERROR_MORE_DATA)
            return;
    }
}

// The answer of a completed pipe request. Every count in the reply is bounded by what
// arrived and by the caller's buffer.
BOOL FinishPipeRequest(HANDLE pipe, KvxDeviceRequest& request, DWORD* bytesReturned)
{
    DWORD received = 0;
    if (!GetOverlappedResult(pipe, &request.overlapped, &received, FALSE)) {
        const DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA) {
            SetLastError(IsPipeGone(error) ? ERROR_BROKEN_PIPE : error);
            return FALSE;
        }
        SkipRestOfMessage(pipe, request.overlapped);
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (received < sizeof(KvxPipeReply)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    KvxPipeReply answer;
    std::memcpy(&answer, request.replyFrame.data(), sizeof answer);
    DWORD count = answer.BytesReturned;
    if (count > received - sizeof answer)
        count = received - DWORD(sizeof answer);
    if (count > AnswerRoom(request))
        count = AnswerRoom(request);
    if (count)
        std::memcpy(request.out.data(), request.replyFrame.data() + sizeof answer, count);
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
                        nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        DWORD error = GetLastError();
        if (!IsNoSuchDevice(error) || !StandInRequested()) {
            SetLastError(error);
            return h;
        }
        h = OpenStandInPipe(path);
        if (h != INVALID_HANDLE_VALUE) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_pipes.insert(h);
        }
        // Neither a device nor a stand-in: the device's own "not found".
        if (h == INVALID_HANDLE_VALUE && IsNoSuchDevice(GetLastError()))
            SetLastError(error);
        return h;
    }

    // A request started and waited for to its end.
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* bytesReturned) override
    {
        DWORD ignored = 0;
        if (!bytesReturned)
            bytesReturned = &ignored;
        *bytesReturned = 0;
        if ((inSize && !in) || (outSize && !out)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        KvxDeviceRequest request;
        const char* input = static_cast<const char*>(in);
        request.code = code;
        request.in.assign(input, input + inSize);
        request.out.resize(outSize);
        if (!Begin(device, request)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return FALSE;
            WaitForSingleObject(request.overlapped.hEvent, INFINITE);
        }
        const BOOL done = Finish(device, request, bytesReturned);
        const DWORD error = GetLastError();
        if (*bytesReturned)
            std::memcpy(out, request.out.data(), *bytesReturned);
        SetLastError(error);
        return done;
    }

    BOOL Begin(HANDLE device, KvxDeviceRequest& request) override
    {
        // Windows marks the request pending itself; Wine's TransactNamedPipe does not, and
        // GetOverlappedResult would then take the request for complete before its answer came.
        request.overlapped.Internal = STATUS_PENDING;
        request.overlapped.InternalHigh = 0;
        if (IsPipe(device))
            return BeginPipeRequest(device, request);
        return DeviceIoControl(
            device, request.code, request.in.empty() ? nullptr : request.in.data(),
            DWORD(request.in.size()), request.out.empty() ? nullptr : request.out.data(),
            DWORD(request.out.size()), nullptr, &request.overlapped);
    }

    BOOL Finish(HANDLE device, KvxDeviceRequest& request, DWORD* bytesReturned) override
    {
        *bytesReturned = 0;
        if (IsPipe(device))
            return FinishPipeRequest(device, request, bytesReturned);
        DWORD count = 0;
        const BOOL done = GetOverlappedResult(device, &request.overlapped, &count, FALSE);
        *bytesReturned = count < request.out.size() ? count : DWORD(request.out.size());
        return done;
    }

    // The stand-in's pipe carries a request and its answer as one exchange: cancelled half
    // way, the answer would be left for the next request, so it is cancelled only as its
    // handle closes. A driver completes a cancelled request at once, or when it can.
    void Cancel(HANDLE device, KvxDeviceRequest& request, bool closing) override
    {
        if (closing || !IsPipe(device))
            CancelIoEx(device, &request.overlapped);
    }

    void Close(HANDLE device) override
    {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_pipes.erase(device);
        }
        CloseHandle(device);
    }

private:
    // Asked of every request: kept here, since asking the system takes a call into it.
    bool IsPipe(HANDLE device)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_pipes.count(device) != 0;
    }

    std::mutex m_lock;
    std::set<HANDLE> m_pipes; // the stand-in's, of those Open gave
};

// The default Begin's hand-off to the pool: Control on a thread of its own, the outcome kept
// in the OVERLAPPED's status and count, the event set last.
struct CPooledRequest {
    IDeviceIo* io;
    HANDLE device;
    KvxDeviceRequest* request;

    static DWORD WINAPI Run(void* context)
    {
        const CPooledRequest job = *static_cast<CPooledRequest*>(context);
        delete static_cast<CPooledRequest*>(context);
        KvxDeviceRequest& r = *job.request;
        DWORD count = 0;
        const BOOL done = job.io->Control(
            job.device, r.code, r.in.empty() ? nullptr : r.in.data(), DWORD(r.in.size()),
            r.out.empty() ? nullptr : r.out.data(), DWORD(r.out.size()), &count);
        r.overlapped.Internal = done ? 0 : GetLastError();
        r.overlapped.InternalHigh = count;
        SetEvent(r.overlapped.hEvent); // the request may be gone from here on
        return 0;
    }
};

SystemDeviceIo g_systemIo;
IDeviceIo* g_io = &g_systemIo;

} // namespace

KvxDeviceRequest::KvxDeviceRequest()
{
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

KvxDeviceRequest::~KvxDeviceRequest()
{
    if (overlapped.hEvent)
        CloseHandle(overlapped.hEvent);
}

BOOL IDeviceIo::Begin(HANDLE device, KvxDeviceRequest& request)
{
    ResetEvent(request.overlapped.hEvent);
    auto* job = new CPooledRequest{this, device, &request};
    if (!QueueUserWorkItem(&CPooledRequest::Run, job, WT_EXECUTELONGFUNCTION)) {
        delete job;
        return FALSE;
    }
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL IDeviceIo::Finish(HANDLE, KvxDeviceRequest& request, DWORD* bytesReturned)
{
    *bytesReturned = DWORD(request.overlapped.InternalHigh);
    if (request.overlapped.Internal != 0) {
        SetLastError(DWORD(request.overlapped.Internal));
        return FALSE;
    }
    return TRUE;
}

void IDeviceIo::Cancel(HANDLE, KvxDeviceRequest&, bool) {}

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
