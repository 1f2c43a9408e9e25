#include "KvxuUsbNotificator.h"

#include <mutex>
#include <process.h>

// What the wait thread touches. The object and its running thread each hold a reference;
// the last one to let go closes the events.
struct CKvxuUsbNotificator::CWaitState {
    CWaitState() { InitializeCriticalSection(&m_Lock); }
    ~CWaitState() { DeleteCriticalSection(&m_Lock); }
    CWaitState(const CWaitState&) = delete;
    CWaitState& operator=(const CWaitState&) = delete;

    // The target is read and written only under this recursive lock.
    void lock() { EnterCriticalSection(&m_Lock); }
    void unlock() { LeaveCriticalSection(&m_Lock); }

    void PostToTarget()
    {
        std::lock_guard<CWaitState> guard(*this);
        if (target.window)
            PostMessageA(target.window, target.message, target.wParam, target.lParam);
    }

    struct CTarget {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } target = {};
    // Unnamed auto-reset events, not signalled; the stop event is created first and, being
    // declared first, closed last.
    CKernelHandle stopEvent{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    CKernelHandle notifyEvent{CreateEventA(nullptr, FALSE, FALSE, nullptr)};

private:
    CRITICAL_SECTION m_Lock;
};

CKvxuUsbNotificator::CKvxuUsbNotificator() : m_State(std::make_shared<CWaitState>()) {}

CKvxuUsbNotificator::~CKvxuUsbNotificator()
{
    if (m_hThread) {
        SetEvent(m_State->stopEvent.Get());
        SetTarget(nullptr, 0, 0, 0);
    }
}

void CKvxuUsbNotificator::SetTarget(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<CWaitState> guard(*m_State);
    m_State->target = {window, message, wParam, lParam};
}

DWORD CKvxuUsbNotificator::Start(const char* deviceName)
{
    CWaitState& state = *m_State;
    std::lock_guard<CWaitState> guard(state);
    // A second thread could never be stopped; the one running already serves.
    if (m_hThread)
        return 0;
    if (!state.stopEvent || !state.notifyEvent)
        return KVX_USB_E_THREAD;
    // A stop signal left over from before must not end the new thread at once.
    ResetEvent(state.stopEvent.Get());
    ResetEvent(state.notifyEvent.Get());

    DWORD status = Open(deviceName);
    if (status != 0)
        return status;
    status = RegisterNotificationEvent(state.notifyEvent.Get());
    if (status != 0) {
        Close();
        return status;
    }

    // The thread gets its own reference to the state and releases it when it ends.
    auto* threadReference = new std::shared_ptr<CWaitState>(m_State);
    uintptr_t thread = _beginthreadex(nullptr, 0, &WaitThread, threadReference, 0, nullptr);
    if (!thread) {
        delete threadReference;
        Close();
        return KVX_USB_E_THREAD;
    }
    m_hThread.Reset(reinterpret_cast<HANDLE>(thread));
    return 0;
}

DWORD CKvxuUsbNotificator::Stop()
{
    CKernelHandle thread;
    {
        std::lock_guard<CWaitState> guard(*m_State);
        thread = std::move(m_hThread);
    }
    // Not under the lock: the thread takes it to post, and must be able to finish.
    DWORD status = 0;
    if (thread) {
        SetEvent(m_State->stopEvent.Get());
        if (WaitForSingleObject(thread.Get(), STOP_TIMEOUT_MS) != WAIT_OBJECT_0) {
            status = KVX_USB_E_THREAD;
            AbandonWaitState();
        }
    }
    Close();
    return status;
}

// Leaves a thread that did not end with the state it holds: no target, and its stop event
// still set, so it ends as soon as it runs. This object goes on with fresh events and the
// same target, so a later Start cannot reset the old thread's stop signal.
void CKvxuUsbNotificator::AbandonWaitState()
{
    std::shared_ptr<CWaitState> abandoned = m_State;
    auto fresh = std::make_shared<CWaitState>();
    {
        std::lock_guard<CWaitState> guard(*abandoned);
        fresh->target = abandoned->target;
        abandoned->target = {};
    }
    m_State = fresh;
}

unsigned __stdcall CKvxuUsbNotificator::WaitThread(void* state)
{
    std::unique_ptr<std::shared_ptr<CWaitState>> reference(
        static_cast<std::shared_ptr<CWaitState>*>(state));
    CWaitState& waitState = **reference;
    const HANDLE events[2] = {waitState.stopEvent.Get(), waitState.notifyEvent.Get()};
    for (;;) {
        DWORD result = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0)
            return 0;
        if (result == WAIT_OBJECT_0 + 1)
            waitState.PostToTarget();
        else
            Sleep(20); // a failed wait: do not spin
    }
}
