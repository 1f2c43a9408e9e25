// A channel to the driver's control device whose every request ends within a bound. The
// caller's own thread starts each request as overlapped I/O and waits for its completion no
// longer than the request's bound: one at a time, in call order, with no hand-off to another
// thread on the way, for a real driver and for the stand-in's pipe alike.
//
// A request the driver leaves unanswered past its bound ends for its caller with
// KVX_USB_E_NOT_RESPONDING. The request's own copies of its buffers, its OVERLAPPED and the
// handle stay with the driver until it really completes the request (a driver that honours
// cancellation is asked to end it), and the caller's buffers are never written after the
// caller has gone on. Until the driver has completed it, every further request fails at once
// with the same status: it would only queue behind the one held.
#pragma once

#include <windows.h>

#include <memory>

#include "KvxUsbCatalogue.h"

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

    // Opens the control device "\\.\deviceName"; 0 when it was open already. No request is
    // made.
    DWORD Open(const char* deviceName);
    // Closes the handle. A request the driver still holds is asked to end and keeps the
    // handle and its buffers until the driver completes it.
    void Close();
    bool IsOpen() const { return bool(m_Device); }
    // The one answer to "is the driver answering" for this channel: false from a request's
    // timeout until the driver has completed that request.
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
    struct CDevice;
    struct CRequest;

    std::shared_ptr<CDevice> m_Device;
    mutable std::unique_ptr<CRequest> m_Request; // reused by every request answered in time
    mutable std::unique_ptr<CRequest> m_Held;    // the one the driver holds past its bound
    const DWORD m_nBoundMs;
    bool m_bTimedOut = false;
};
