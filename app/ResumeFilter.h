// Resumes from sleep, told apart among the system's power events. After a resume the
// devices may be in another state than before, and the driver need not report every
// difference: what the panel shows is read again, once per resume.
#pragma once

#include <windows.h>

class CResumeFilter {
public:
    // Whether this power event (the wParam of WM_POWERBROADCAST) begins a resume that has
    // not been acted on. A resume always brings PBT_APMRESUMEAUTOMATIC, and when a user woke
    // the machine PBT_APMRESUMESUSPEND after it: that second one is the same resume.
    bool IsNewResume(WPARAM event);

private:
    // An automatic resume was seen, and the user's resume that may follow it is the same one.
    bool m_bUserResumeMayFollow = false;
};
