// A channel to the driver's control device whose every request ends within a bound. A thread
// of the channel's own carries the requests out, one at a time and in call order, with the
// same synchronous device call for a real driver and for the stand-in's pipe; the caller
// waits for it no longer than the request's bound.
//
// A request the driver leaves unanswered past its bound ends for its caller with
// KVX_USB_E_NOT_RESPONDING. The thread, the handle and the request's own copies of its
// buffers stay with the driver until it really completes the request, and the caller's
// buffers are never written after the caller has gone on. Until the driver has answered, every
// further request fails at once with the same status: it would only queue behind the one held.
#pragma once

#include <windows.h>

#include <memory>

#include "KvxUsbCatalogue.h"
#include "ScopedHandle.h"

// How long a caller waits for the driver: reads and most writes answer at once; a change of
// the sampling rate, its selection mode, the clock source or the clock master may retune the
// hardware first, and a stop or start of the streams waits for them.
constexpr DWORD KVX_USB_REQUEST_BOUND_MS = 1000;
constexpr DWORD KVX_USB_CLOCK_CHANGE_BOUND_MS = 5000;
DWORD RequestBoundMs(DWORD code);

class CBoundedChannel {
public:
    // boundMs 0: each request waits as long as RequestBoundMs gives for its code; any other
    // value is the bound of every request (the self-test's, which checks the driver alone).
    explicit CBoundedChannel(DWORD boundMs = 0);
    // Closes the channel.
    ~CBoundedChannel();
    CBoundedChannel(const CBoundedChannel&) = delete;
    CBoundedChannel& operator=(const CBoundedChannel&) = delete;

    // Opens the control device "\\.\deviceName" and starts the channel's thread; 0 when it
    // was open already. No request is made.
    DWORD Open(const char* deviceName);
    // Ends the thread and closes the handle. A thread the driver still holds is left to end,
    // and to close the handle, when the driver answers.
    void Close();
    bool IsOpen() const { return bool(m_Worker); }
    // False from a request's timeout until the driver has completed that request.
    bool IsResponding() const;

    // One request; *returned (when given) is how many bytes the driver filled in out.
    DWORD Request(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                  DWORD* returned);
    // One request of the operation with its catalogue sizes.
    DWORD Request(const KvxUsbOperation& operation, const void* in, void* out, DWORD* returned);

    // Whether a request ran out of time since the channel was opened.
    bool TimedOut() const { return m_bTimedOut; }
    // The bound given to the constructor (0: each operation's own).
    DWORD TimeoutMs() const { return m_nBoundMs; }

private:
    struct CWorker;

    // Shared with the thread, which outlives the channel while the driver holds it.
    std::shared_ptr<CWorker> m_Worker;
    CKernelHandle m_hThread;
    const DWORD m_nBoundMs;
    bool m_bTimedOut = false;
};
