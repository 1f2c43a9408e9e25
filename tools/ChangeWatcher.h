// Hearing the driver's change records from a second process. A driver need not report a
// client's own changes back to the process that made them (the panel has no use for such
// news), so a program that checks the records of its own writes listens from another one:
// "kvxuctl watch", which prints each record as a line.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "ScopedHandle.h"

// The watching side, "kvxuctl watch": registers an event on a channel of its own, prints
// "watching", then "change KIND DATA1 DATA2" for each record, until its output is closed or
// the process exitWith (0: none) ends. Returns the exit code of ExitStatus.h: 0, 1 when the
// event could not be registered, 3 without a driver, once the driver goes away (noticed
// within about a second) or once a request for a record went unanswered, when a change may
// have been missed; each failure prints "error" and the status.
// Options print the drop-out lines too (DropOutLines.h), leave the records out, or write
// every line as one JSON object.
struct CWatchOptions {
    bool changes = true;
    bool dropOuts = false;
    bool json = false;
};
int WatchChanges(const char* deviceName, DWORD exitWith,
                 const CWatchOptions& options = CWatchOptions());

// The listening side: starts "EXE watch" and reads its lines on a thread of its own.
class CChangeWatcher {
public:
    CChangeWatcher() = default;
    // Ends the watcher process.
    ~CChangeWatcher();
    CChangeWatcher(const CChangeWatcher&) = delete;
    CChangeWatcher& operator=(const CChangeWatcher&) = delete;

    // Starts exePath as the watcher and waits at most timeoutMs until it is watching.
    // Returns 0, the watcher's own failure status, or ERROR_TIMEOUT.
    DWORD Start(const std::string& exePath, DWORD timeoutMs);
    // Waits at most timeoutMs for the next record of this kind, passing over others; seen
    // is that record's line, or what ended the wait.
    bool WaitForRecord(int kind, DWORD timeoutMs, std::string* seen);
    // Waits at most timeoutMs for the watcher to end: its exit code (STILL_ACTIVE if it
    // did not) and its last line.
    DWORD WaitForEnd(DWORD timeoutMs, std::string* lastLine);

private:
    // The next line within the deadline, false when none came or the watcher ended.
    bool NextLine(std::chrono::steady_clock::time_point deadline, std::string* line);
    void ReadLines(HANDLE output);

    CKernelHandle m_process;
    std::thread m_reader;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<std::string> m_lines;
    bool m_ended = false;
};
