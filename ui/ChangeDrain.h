// Takes the driver's change records on the user-interface thread and decides when the pages
// refresh: once for all the records of a storm, not once for each. A batch takes a bounded
// number of records for a bounded time; the rest follow on a timer, which comes only once
// input and painting are done, so that a storm, or a queue that never empties, cannot hold
// the window. Between two refreshes of a storm the window is left free at least as long as
// the last refresh took.
#pragma once

#include <windows.h>

#include "KvxUsbRecords.h"

// What taking the next change record gave.
enum class CChangeTake {
    Record, // one record, whole
    Empty,  // the driver's queue is empty, or the driver cannot be asked now
    Missed, // the driver failed to hand a record over whole: it may have been taken off its
            // queue unread, so anything may have changed
};

// What the drain needs of the window that owns it.
class IChangeDrainHost {
public:
    virtual CChangeTake TakeChangeRecord(_KVX_USB_NOTIFICATION* record) = 0;
    virtual void RefreshForChanges() = 0;
    // Calls the drain's Drain() back after about ms; false when no timer could be set.
    virtual bool ScheduleDrain(UINT ms) = 0;
    virtual void CancelDrain() = 0;
    // Calls OnNotice() back from the message queue, as a notice of the driver would.
    virtual void PostNotice() = 0;

protected:
    ~IChangeDrainHost() = default;
};

class CChangeDrain {
public:
    static constexpr int RECORDS_PER_BATCH = 256;
    static constexpr DWORD BATCH_MS = 40;
    // A storm refreshes at least every this many batches while it lasts.
    static constexpr int BATCHES_PER_REFRESH = 8;
    static constexpr DWORD MINIMUM_REFRESH_GAP_MS = 100;

    explicit CChangeDrain(IChangeDrainHost& host) : m_Host(host) {}

    // A notice that records are queued. During a storm the timer takes them: notices that
    // would jump ahead of the user's input are left to it.
    void OnNotice();
    // Takes one batch, refreshes when due, and schedules what is left.
    void Drain();
    // Forgets a scheduled drain and the refresh it waits for (the window is going, or
    // everything is read again).
    void Cancel();
    // The last batch found the queue empty, and no refresh or batch waits.
    bool IsSettled() const;
    // Nothing waits for the timer: a notice now would be drained at once.
    bool IsIdle() const { return !m_bDrainScheduled && !m_bRefreshPending; }

private:
    // Takes records until the batch's count or time is spent; true when the queue emptied.
    bool TakeBatch();
    void Schedule(UINT wait, bool queueEmpty);
    void Refresh();

    IChangeDrainHost& m_Host;
    bool m_bQueueEmpty = true;      // as the last batch found it
    bool m_bRefreshPending = false; // change records taken, pages not refreshed yet
    bool m_bDrainScheduled = false; // the rest of a storm waits for the timer
    int m_nBatchesSinceRefresh = 0; // batches taken while the queue did not empty
    DWORD m_dwLastRefreshEnd = 0;   // tick count at the end of the last refresh
    DWORD m_dwRefreshGap = 0;       // how long the window is left free after it
};
