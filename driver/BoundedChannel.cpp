#include "BoundedChannel.h"

#include <cstdio>
#include <cstring>

#include "DeviceIo.h"
#include "KvxuUsbDriver.h"

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

// The control device's handle, closed once the channel and a request the driver still holds
// have both let it go.
struct CBoundedChannel::CDevice {
    CDevice(IDeviceIo& io, HANDLE handle) : io(io), handle(handle) {}
    ~CDevice() { io.Close(handle); }
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    IDeviceIo& io;
    const HANDLE handle;
};

struct CBoundedChannel::CRequest : KvxDeviceRequest {
    bool Completed() const { return WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0; }

    // Takes the outcome of a request whose caller has gone on, so that the device I/O reads
    // the whole of a late answer and the next request starts clean.
    void Discard()
    {
        DWORD ignored = 0;
        device->io.Finish(device->handle, *this, &ignored);
        device.reset();
    }

    // A request left with the driver when its channel closed: freed with the handle it keeps
    // once the driver completes it, on a thread of the system's pool.
    static void Abandon(std::unique_ptr<CRequest> request)
    {
        request->device->io.Cancel(request->device->handle, *request, true);
        // Not queued, it is never freed: the driver may still write into it.
        QueueUserWorkItem(&FreeWhenCompleted, request.release(), WT_EXECUTELONGFUNCTION);
    }
    static DWORD WINAPI FreeWhenCompleted(void* held)
    {
        std::unique_ptr<CRequest> request(static_cast<CRequest*>(held));
        WaitForSingleObject(request->overlapped.hEvent, INFINITE);
        return 0;
    }

    std::shared_ptr<CDevice> device; // while the driver holds the request
};

CBoundedChannel::CBoundedChannel(DWORD boundMs) : m_nBoundMs(boundMs) {}

CBoundedChannel::~CBoundedChannel()
{
    Close();
}

DWORD CBoundedChannel::Open(const char* deviceName)
{
    if (m_Device)
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
    m_Device = std::make_shared<CDevice>(io, device);
    m_bTimedOut = false;
    return 0;
}

void CBoundedChannel::Close()
{
    if (m_Held && !m_Held->Completed())
        CRequest::Abandon(std::move(m_Held));
    m_Held.reset();
    m_Device.reset();
}

bool CBoundedChannel::IsResponding() const
{
    if (!m_Held)
        return true;
    if (!m_Held->Completed())
        return false;
    m_Held->Discard();
    if (!m_Request)
        m_Request = std::move(m_Held);
    m_Held.reset();
    return true;
}

DWORD CBoundedChannel::Request(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                               DWORD* returned)
{
    // A closed channel makes no request and leaves the count alone.
    if (!m_Device)
        return KVX_USB_E_NOT_OPEN;
    DWORD ignored = 0;
    if (!returned)
        returned = &ignored;
    *returned = 0;
    if ((inSize && !in) || (outSize && !out))
        return ERROR_INVALID_PARAMETER;
    if (!IsResponding())
        return KVX_USB_E_NOT_RESPONDING;
    if (!m_Request)
        m_Request = std::make_unique<CRequest>();
    CRequest& request = *m_Request;
    if (!request.overlapped.hEvent)
        return ERROR_NO_SYSTEM_RESOURCES;
    const char* input = static_cast<const char*>(in);
    request.code = code;
    request.in.assign(input, input + inSize);
    request.out.resize(outSize);

    IDeviceIo& io = m_Device->io;
    const HANDLE device = m_Device->handle;
    if (!io.Begin(device, request)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return error;
        const DWORD bound = m_nBoundMs ? m_nBoundMs : RequestBoundMs(code);
        if (WaitForSingleObject(request.overlapped.hEvent, bound) != WAIT_OBJECT_0) {
            m_bTimedOut = true;
            io.Cancel(device, request, false);
            request.device = m_Device;
            m_Held = std::move(m_Request);
            return KVX_USB_E_NOT_RESPONDING;
        }
    }
    DWORD count = 0;
    const DWORD status = io.Finish(device, request, &count) ? 0 : GetLastError();
    *returned = count < outSize ? count : outSize;
    if (*returned)
        std::memcpy(out, request.out.data(), *returned);
    return status;
}

DWORD CBoundedChannel::Request(const KvxUsbOperation& operation, const void* in, void* out,
                               DWORD* returned)
{
    return Request(operation.code, in, in ? operation.inSize : 0, out, out ? operation.outSize : 0,
                   returned);
}
