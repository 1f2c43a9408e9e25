// The application object: start-up with the command line, the single-instance rule, and
// the hand-over to an instance that already runs.
#pragma once

#include "Afx.h"
#include "ScopedHandle.h"

class CKVX_USB_CPLApp : public CWinApp {
public:
    CKVX_USB_CPLApp();

    BOOL InitInstance() override;

    bool m_bAsioPage = false; // -asio: the view starts on the buffer settings page
    // The single-instance mutex, held for the life of the process. Closing the handle is
    // enough: the mutex is never waited on, only its existence counts.
    CKernelHandle m_hMutex;
    // Tells an -exit that this start has reached the mutex (StartsInFlight.h).
    CKernelHandle m_hMutexReached;
    CIconHandle m_hTrayIcon; // the application icon for the notification area
    // m_hTrayIcon at the notification area's size, in the user's colours.
    void LoadTrayIcon();

protected:
    void OnAppAbout();

    DECLARE_MESSAGE_MAP()
};

// Defined, together with theDrv and in that order, by the program's own source file.
extern CKVX_USB_CPLApp theApp;

// The per-logon single-instance mutex: the driver's interface id without braces.
extern const char kInstanceMutexName[];
