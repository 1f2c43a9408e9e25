// The driver self-test: whether the driver on this machine keeps the control protocol.
// Every read of the catalogue is made once and its answer checked the way the panel relies
// on it (statuses, sizes, counts within their arrays, unique ids, terminated names, values
// the panel knows); the notification is registered and its queue read empty. With write,
// the settings that are safe to rewrite are written back exactly as read, each write
// checked for success, a change record and the same bytes read again.
#pragma once

#include <windows.h>

#include <string>

#include "CheckList.h"

struct SelfTestOptions {
    bool write = false;
    // The longest wait for one request's answer, and after a write for its change record.
    DWORD timeoutMs = 5000;
    // The program started as "EXE watch" to hear change records from another process.
    std::string watcherExe;
};

// Returns the status of opening the control device; when it is not 0, no check was made.
// unanswered (when given) says whether a request ran out of time, so that the checks after
// it were not made.
DWORD RunSelfTest(const char* deviceName, const SelfTestOptions& options, CCheckList& checks,
                  bool* unanswered = nullptr);

// The exit status of a run (ExitStatus.h): 3 without a driver or when a request went
// unanswered, 1 when a check failed, else 0.
int SelfTestExitStatus(DWORD openStatus, bool unanswered, const CCheckList& checks);
