#include "ChangeDrain.h"

#include <algorithm>

void CChangeDrain::OnNotice()
{
    if (!m_bDrainScheduled)
        Drain();
}

bool CChangeDrain::TakeBatch()
{
    const DWORD start = ::GetTickCount();
    for (int taken = 0; taken < RECORDS_PER_BATCH && ::GetTickCount() - start < BATCH_MS; ++taken) {
        // Zeroed each time: a short answer must not repeat the kind of the record before.
        _KVX_USB_NOTIFICATION record = {};
        const CChangeTake take = m_Host.TakeChangeRecord(&record);
        if (take != CChangeTake::Record) {
            // A record lost on the way may have told of any change: all is read again.
            if (take == CChangeTake::Missed)
                m_bRefreshPending = true;
            return true;
        }
        if (record.Kind == KVX_USB_NOTIFY_DEVICE_CHANGE ||
            record.Kind == KVX_USB_NOTIFY_SETTING_CHANGE)
            m_bRefreshPending = true;
    }
    return false;
}

void CChangeDrain::Drain()
{
    m_Host.CancelDrain();
    m_bDrainScheduled = false;
    const bool queueEmpty = TakeBatch();
    m_bQueueEmpty = queueEmpty;
    if (!queueEmpty)
        ++m_nBatchesSinceRefresh;
    const DWORD sinceRefresh = ::GetTickCount() - m_dwLastRefreshEnd;
    const bool due =
        m_bRefreshPending && (queueEmpty || m_nBatchesSinceRefresh >= BATCHES_PER_REFRESH);
    if (due && sinceRefresh >= m_dwRefreshGap)
        Refresh();
    // More records to take, or a refresh waiting for its gap: back on the timer.
    UINT wait = 0;
    if (!queueEmpty)
        wait = USER_TIMER_MINIMUM;
    else if (m_bRefreshPending)
        wait = std::max<UINT>(USER_TIMER_MINIMUM, m_dwRefreshGap - sinceRefresh);
    if (wait)
        Schedule(wait, queueEmpty);
}

void CChangeDrain::Schedule(UINT wait, bool queueEmpty)
{
    m_bDrainScheduled = m_Host.ScheduleDrain(wait);
    if (m_bDrainScheduled)
        return;
    // No timer to be had: nothing may wait for a notice that need not come. Records left
    // are taken through the message queue; a refresh that waits for its gap is made now.
    if (!queueEmpty)
        m_Host.PostNotice();
    else
        Refresh();
}

void CChangeDrain::Refresh()
{
    m_bRefreshPending = false;
    m_nBatchesSinceRefresh = 0;
    const DWORD start = ::GetTickCount();
    m_Host.RefreshForChanges();
    m_dwLastRefreshEnd = ::GetTickCount();
    m_dwRefreshGap = std::max(MINIMUM_REFRESH_GAP_MS, m_dwLastRefreshEnd - start);
}

void CChangeDrain::Cancel()
{
    m_Host.CancelDrain();
    m_bDrainScheduled = false;
    m_bRefreshPending = false;
}

bool CChangeDrain::IsSettled() const
{
    return m_bQueueEmpty && IsIdle();
}
