// The application object: start-up with the command line, the single-instance rule, and
// the hand-over to an instance that already runs.
#pragma once

#include "Afx.h"

class CKVX_USB_CPLApp : public CWinApp {
public:
    CKVX_USB_CPLApp();
    ~CKVX_USB_CPLApp() override;

    BOOL InitInstance() override;

    bool m_bAsioPage;  // -asio: the view starts on the buffer settings page
    HANDLE m_hMutex;   // the single-instance mutex, held for the life of the process
    HICON m_hTrayIcon; // the application icon for the notification area (first instance)

protected:
    void OnAppAbout();

    DECLARE_MESSAGE_MAP()
};

// Defined, together with theDrv and in that order, by the program's own source file.
extern CKVX_USB_CPLApp theApp;

// The per-logon single-instance mutex: the driver's interface id without braces.
extern const char kInstanceMutexName[];
