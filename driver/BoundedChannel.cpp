#include "BoundedChannel.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <process.h>
#include <vector>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"

namespace {

// An idle thread told to end does so at once; this only keeps Close bounded if it does not.
const DWORD kIdleThreadEndMs = 1000;

} // namespace

DWORD RequestBoundMs(DWORD code)
{
    switch (code) {
    case IOCTL_KVX_USB_SET_SAMPLE_RATE:
    case IOCTL_KVX_USB_SET_SAMPLE_RATE_MODE:
    case IOCTL_KVX_USB_SET_SYNCH_MODE:
    case IOCTL_KVX_USB_SET_CLOCK_MASTER:
    // A restart of the streams waits for them to drain; a stop that ran out of time would
    // leave the start refused and the streams stopped.
    case IOCTL_KVX_USB_STOP_STREAMS:
    case IOCTL_KVX_USB_START_STREAMS:
        return KVX_USB_CLOCK_CHANGE_BOUND_MS;
    default:
        return KVX_USB_REQUEST_BOUND_MS;
    }
}

// The handle and the one request in hand, shared by the channel and its thread. The last of
// the two to let go closes the handle: the thread, when the driver held it past a Close.
struct CBoundedChannel::CWorker {
    CWorker(IDeviceIo& io, HANDLE device) : io(io), device(device) {}
    ~CWorker() { io.Close(device); }
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    // Carries out each request handed over, until told to end while none is in hand.
    void Serve()
    {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            changed.wait(guard, [this] { return pending || quit; });
            if (!pending)
                return;
            guard.unlock();
            DWORD count = 0;
            const BOOL done =
                io.Control(device, code, in.empty() ? nullptr : in.data(), DWORD(in.size()),
                           out.empty() ? nullptr : out.data(), DWORD(out.size()), &count);
            const DWORD result = done ? 0 : GetLastError();
            guard.lock();
            status = result;
            returned = count < out.size() ? count : DWORD(out.size());
            pending = false;
            changed.notify_all();
        }
    }

    static unsigned __stdcall Run(void* reference)
    {
        std::unique_ptr<std::shared_ptr<CWorker>> worker(
            static_cast<std::shared_ptr<CWorker>*>(reference));
        (*worker)->Serve();
        return 0;
    }

    IDeviceIo& io;
    const HANDLE device;
    std::mutex lock;
    std::condition_variable changed;
    bool pending = false; // handed over and not yet answered by the driver
    bool quit = false;
    // The request's own copies: the driver writes into these, never into the caller's.
    DWORD code = 0;
    std::vector<char> in;
    std::vector<char> out;
    DWORD status = 0;
    DWORD returned = 0;
};

CBoundedChannel::CBoundedChannel(DWORD boundMs) : m_nBoundMs(boundMs) {}

CBoundedChannel::~CBoundedChannel()
{
    Close();
}

DWORD CBoundedChannel::Open(const char* deviceName)
{
    if (m_Worker)
        return 0;
    // A longer name would not fit the path; it is refused before any device call.
    if (!deviceName || std::strlen(deviceName) > CKvxuUsbDriver::MAX_DEVICE_NAME)
        return ERROR_FILENAME_EXCED_RANGE;
    char path[300];
    std::snprintf(path, sizeof path, "\\\\.\\%s", deviceName);
    IDeviceIo& io = DeviceIo();
    HANDLE device = io.Open(path);
    if (device == INVALID_HANDLE_VALUE)
        return GetLastError();

    auto worker = std::make_shared<CWorker>(io, device);
    // The thread holds its own reference and lets it go when it ends.
    auto* threadReference = new std::shared_ptr<CWorker>(worker);
    uintptr_t thread = _beginthreadex(nullptr, 0, &CWorker::Run, threadReference, 0, nullptr);
    if (!thread) {
        delete threadReference;
        return KVX_USB_E_THREAD; // the handle closes with the worker
    }
    m_hThread.Reset(reinterpret_cast<HANDLE>(thread));
    m_Worker = std::move(worker);
    m_bTimedOut = false;
    return 0;
}

void CBoundedChannel::Close()
{
    if (!m_Worker)
        return;
    bool idle;
    {
        std::lock_guard<std::mutex> guard(m_Worker->lock);
        m_Worker->quit = true;
        idle = !m_Worker->pending;
        m_Worker->changed.notify_all();
    }
    if (idle)
        WaitForSingleObject(m_hThread.Get(), kIdleThreadEndMs);
    m_hThread.Reset();
    m_Worker.reset();
}

bool CBoundedChannel::IsResponding() const
{
    if (!m_Worker)
        return true;
    std::lock_guard<std::mutex> guard(m_Worker->lock);
    return !m_Worker->pending;
}

DWORD CBoundedChannel::Request(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                               DWORD* returned)
{
    // A closed channel makes no request and leaves the count alone.
    if (!m_Worker)
        return KVX_USB_E_NOT_OPEN;
    DWORD ignored = 0;
    if (!returned)
        returned = &ignored;
    *returned = 0;
    if ((inSize && !in) || (outSize && !out))
        return ERROR_INVALID_PARAMETER;
    CWorker& worker = *m_Worker;
    std::unique_lock<std::mutex> guard(worker.lock);
    if (worker.pending)
        return KVX_USB_E_NOT_RESPONDING;
    const char* input = static_cast<const char*>(in);
    worker.code = code;
    worker.in.assign(input, input + inSize);
    worker.out.assign(outSize, 0);
    worker.pending = true;
    worker.changed.notify_all();
    const DWORD bound = m_nBoundMs ? m_nBoundMs : RequestBoundMs(code);
    if (!worker.changed.wait_for(guard, std::chrono::milliseconds(bound),
                                 [&worker] { return !worker.pending; })) {
        m_bTimedOut = true;
        return KVX_USB_E_NOT_RESPONDING;
    }
    *returned = worker.returned;
    if (*returned)
        std::memcpy(out, worker.out.data(), *returned);
    return worker.status;
}

DWORD CBoundedChannel::Request(const KvxUsbOperation& operation, const void* in, void* out,
                               DWORD* returned)
{
    return Request(operation.code, in, in ? operation.inSize : 0, out, out ? operation.outSize : 0,
                   returned);
}
