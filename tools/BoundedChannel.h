// A channel to the driver whose every request ends within a time bound. Requests are asked
// on a thread of the channel's own; one that the driver leaves unanswered ends with
// ERROR_TIMEOUT instead of holding its caller, and every later request ends so at once,
// since the stalled one still holds the channel.
#pragma once

#include <windows.h>

#include <memory>
#include <thread>

#include "KvxUsbCatalogue.h"

class CBoundedChannel {
public:
    explicit CBoundedChannel(DWORD timeoutMs);
    ~CBoundedChannel();
    CBoundedChannel(const CBoundedChannel&) = delete;
    CBoundedChannel& operator=(const CBoundedChannel&) = delete;

    // Opens the control device, without a request (the version is for the caller to check),
    // and starts the channel's thread.
    DWORD Open(const char* deviceName);
    // One request of the operation with its catalogue sizes: in holds its inSize bytes, out
    // has room for its outSize bytes; *returned is how many the driver filled.
    DWORD Request(const KvxUsbOperation& operation, const void* in, void* out, DWORD* returned);

    bool TimedOut() const { return m_timedOut; }
    DWORD TimeoutMs() const { return m_timeoutMs; }

private:
    struct CWorker;

    // Shared with the thread, which may outlive this object when the driver stalls.
    std::shared_ptr<CWorker> m_worker;
    std::thread m_thread;
    DWORD m_timeoutMs;
    bool m_timedOut = false;
};
