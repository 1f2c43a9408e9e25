#include "BoundedChannel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "KvxuUsbDriver.h"

// The channel and the one request in hand, shared by the caller and the thread that asks
// the driver: a thread held by a stalled driver keeps them alive after its caller has gone.
struct CBoundedChannel::CWorker {
    // Asks the driver for each request handed over, until told to quit.
    void Serve()
    {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            changed.wait(guard, [this] { return pending || quit; });
            if (quit)
                return;
            guard.unlock();
            DWORD count = 0;
            DWORD result = driver.IoControl(code, in.data(), DWORD(in.size()), out.data(),
                                            DWORD(out.size()), &count);
            guard.lock();
            status = result;
            returned = count;
            pending = false;
            changed.notify_all();
        }
    }

    CKvxuUsbDriver driver;
    std::mutex lock;
    std::condition_variable changed;
    bool pending = false; // a request is handed over and not yet answered
    bool quit = false;
    DWORD code = 0;
    std::vector<char> in;
    std::vector<char> out;
    DWORD status = 0;
    DWORD returned = 0;
};

CBoundedChannel::CBoundedChannel(DWORD timeoutMs)
    : m_worker(std::make_shared<CWorker>()), m_timeoutMs(timeoutMs)
{
}

CBoundedChannel::~CBoundedChannel()
{
    {
        std::lock_guard<std::mutex> guard(m_worker->lock);
        m_worker->quit = true;
        m_worker->changed.notify_all();
    }
    if (!m_thread.joinable())
        return;
    // A thread held by a stalled driver ends when the driver answers, or with the process.
    if (m_timedOut)
        m_thread.detach();
    else
        m_thread.join();
}

DWORD CBoundedChannel::Open(const char* deviceName)
{
    DWORD status = m_worker->driver.OpenWithoutVersionCheck(deviceName);
    if (status != 0)
        return status;
    try {
        std::shared_ptr<CWorker> worker = m_worker;
        m_thread = std::thread([worker] { worker->Serve(); });
    } catch (const std::system_error&) {
        m_worker->driver.Close();
        return KVX_USB_E_THREAD;
    }
    return 0;
}

DWORD CBoundedChannel::Request(const KvxUsbOperation& operation, const void* in, void* out,
                               DWORD* returned)
{
    *returned = 0;
    if (m_timedOut)
        return ERROR_TIMEOUT;
    if (!m_thread.joinable())
        return KVX_USB_E_NOT_OPEN;
    CWorker& worker = *m_worker;
    std::unique_lock<std::mutex> guard(worker.lock);
    const char* input = static_cast<const char*>(in);
    worker.code = operation.code;
    worker.in.assign(input, input + (in ? operation.inSize : 0));
    worker.out.assign(operation.outSize, 0);
    worker.pending = true;
    worker.changed.notify_all();
    if (!worker.changed.wait_for(guard, std::chrono::milliseconds(m_timeoutMs),
                                 [&worker] { return !worker.pending; })) {
        m_timedOut = true;
        return ERROR_TIMEOUT;
    }
    *returned = std::min<DWORD>(worker.returned, DWORD(worker.out.size()));
    if (*returned)
        std::memcpy(out, worker.out.data(), *returned);
    return worker.status;
}
