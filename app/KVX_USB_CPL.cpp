#include "KVX_USB_CPL.h"

#include "AboutDlg.h"
#include "CmdLine.h"
#include "KVX_USB_CPLDoc.h"
#include "KVX_USB_CPLView.h"
#include "MainFrm.h"
#include "AppMessages.h"
#include "resource.h"

const char kInstanceMutexName[] = "5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0";

namespace {

bool HasSwitch(const char* cmdLine, const char* switchText)
{
    return FindCmdLineSwitch(cmdLine, switchText, nullptr, true);
}

// How long a start waits for the window of an instance that holds the mutex but is itself
// still starting, and how often it looks.
const DWORD kRunningWindowWaitMs = 5000;
const DWORD kRunningWindowPollMs = 50;

bool InstanceMutexExists()
{
    CKernelHandle mutex(::OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutexName));
    return bool(mutex);
}

// The running instance's main window. An instance that holds the mutex but has not made its
// window yet gets a few seconds; without an instance there is nothing to wait for.
HWND FindRunningInstance(const std::string& title)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND running = ::FindWindowA(nullptr, title.c_str()))
            return running;
        if (!InstanceMutexExists() || ::GetTickCount() - start >= kRunningWindowWaitMs)
            return nullptr;
        ::Sleep(kRunningWindowPollMs); // this start has no window of its own to serve
    }
}

// Asks the running instance to quit; nothing when none runs.
void PassOnExitRequest(const std::string& title)
{
    if (HWND running = FindRunningInstance(title))
        ::PostMessageA(running, WM_COMMAND, ID_APP_QUIT, 0);
}

// Brings the running instance (or its open pop-up, such as the about box) to the front,
// restored, and with -asio on its buffer settings page. The asynchronous forms post to the
// other process, so a hung instance cannot hold this start.
void HandOverToRunningInstance(const std::string& title, bool asioPage)
{
    HWND running = FindRunningInstance(title);
    if (!running)
        return;
    HWND popup = ::GetLastActivePopup(running);
    if (::IsIconic(running))
        ::ShowWindowAsync(running, SW_RESTORE);
    if (asioPage)
        ::PostMessageA(running, WM_SHOW_ASIO_SETTINGS, 0, 0);
    ::ShowWindowAsync(popup, SW_SHOW);
    ::SetForegroundWindow(popup);
}

} // namespace

BEGIN_MESSAGE_MAP(CKVX_USB_CPLApp, CWinApp)
ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
END_MESSAGE_MAP()

CKVX_USB_CPLApp::CKVX_USB_CPLApp() = default;

BOOL CKVX_USB_CPLApp::InitInstance()
{
    const char* cmdLine = m_lpCmdLine ? m_lpCmdLine : "";
    const std::string title = AfxLoadString(IDS_MAIN_TITLE);

    if (HasSwitch(cmdLine, "-exit")) {
        PassOnExitRequest(title);
        return FALSE;
    }
    if (HasSwitch(cmdLine, "-asio"))
        m_bAsioPage = true;
    const bool hide = HasSwitch(cmdLine, "-hide");

    m_hMutex.Reset(::CreateMutexA(nullptr, TRUE, kInstanceMutexName));
    if (!m_hMutex || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        // Only the running instance's handle may keep the mutex alive while this one waits.
        m_hMutex.Reset();
        if (!hide)
            HandOverToRunningInstance(title, m_bAsioPage);
        return FALSE;
    }

    m_hTrayIcon.Reset(static_cast<HICON>(::LoadImageA(m_hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME),
                                                      IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR)));
    // The show state the process was started with is ignored on purpose: only -hide hides.
    m_nCmdShow = hide ? SW_HIDE : SW_SHOW;

    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CKVX_USB_CPLDoc),
                                          RUNTIME_CLASS(CMainFrame),
                                          RUNTIME_CLASS(CKVX_USB_CPLView)));
    CCommandLineInfo cmdInfo;
    if (!ProcessShellCommand(cmdInfo))
        return FALSE;
    m_pMainWnd->UpdateWindow();
    return TRUE;
}

void CKVX_USB_CPLApp::OnAppAbout()
{
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
