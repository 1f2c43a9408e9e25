// The control panel's change notification: a second channel to the driver that hands the
// driver an event and runs one thread which, each time the event is signalled, posts a
// stored message to a target window. The owner then drains the driver's queue with
// GetNotification on the user-interface thread.
#pragma once

#include <memory>

#include "KvxuUsbDriver.h"
#include "ScopedHandle.h"

class CKvxuUsbNotificator : private CKvxuUsbDriver {
public:
    // The longest Stop waits for the wait thread to end.
    static constexpr DWORD STOP_TIMEOUT_MS = 10000;

    CKvxuUsbNotificator();
    // Does not wait for the thread: the owner calls Stop first. A thread still running is
    // told to end and keeps what it uses alive by itself.
    ~CKvxuUsbNotificator() override;

    // Takes effect for the next notice; a null window drops notices, the thread runs on.
    void SetTarget(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Opens the channel, registers the notify event and starts the wait thread.
    // Callers start only while IsRunning() is false.
    DWORD Start(const char* deviceName);
    // Ends the thread, waiting at most STOP_TIMEOUT_MS, and closes the channel in any case.
    DWORD Stop();
    // Takes the next queued change record; fails once the driver's queue is empty.
    using CKvxuUsbDriver::GetNotification;
    // False while a request of its channel waits for a driver that does not respond.
    using CKvxuUsbDriver::IsResponding;
    bool IsRunning() const { return bool(m_hThread); }

private:
    struct CWaitState;

    static unsigned __stdcall WaitThread(void* state);
    void AbandonWaitState();

    // Target, lock and both events. Shared with the wait thread, so that a thread which
    // outlives a timed-out Stop, or this object, never touches freed memory or handles.
    std::shared_ptr<CWaitState> m_State;
    CKernelHandle m_hThread; // used by the user-interface thread only
};
