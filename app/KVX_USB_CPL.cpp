#include "KVX_USB_CPL.h"

#include "AboutDlg.h"
#include "CmdLine.h"
#include "KVX_USB_CPLDoc.h"
#include "KVX_USB_CPLView.h"
#include "MainFrm.h"
#include "RestartAfterUpdate.h"
#include "AppMessages.h"
#include "StartsInFlight.h"
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
const DWORD kPollMs = 20;
// How long -exit waits for the running instance to show its window and end, and how often it
// asks again when a request to quit did not take.
const DWORD kExitWaitMs = 10000;
const DWORD kQuitAgainMs = 1000;
// How long -exit keeps the mutex, once no instance holds it, for starts that began before it
// but have not reached the mutex yet: they find it taken meanwhile and end.
const DWORD kStartsInFlightWaitMs = 3000;

// Calls done until it is true or the time is up; false when the time ran out. A start has
// no window of its own to serve while it waits.
template <typename Done> bool PollUntil(DWORD timeoutMs, Done done)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(kPollMs);
    }
    return true;
}

bool InstanceMutexExists()
{
    CKernelHandle mutex(::OpenMutexA(SYNCHRONIZE, FALSE, kInstanceMutexName));
    return bool(mutex);
}

// The main window of a running instance, by its class and its title: never one of its boxes,
// whatever their caption.
HWND FindMainWindow(const std::string& title)
{
    return ::FindWindowA(KVX_MAIN_FRAME_CLASS, title.c_str());
}

// The running instance's main window. An instance that holds the mutex but has not made its
// window yet gets a few seconds; without an instance there is nothing to wait for.
HWND FindRunningInstance(const std::string& title)
{
    HWND running = nullptr;
    PollUntil(kRunningWindowWaitMs, [&] {
        running = FindMainWindow(title);
        return running || !InstanceMutexExists();
    });
    return running;
}

void AskToQuit(HWND running)
{
    ::PostMessageA(running, WM_COMMAND, ID_APP_QUIT, 0);
}

// Asks another account's instance, whose mutex is not ours to wait on, and waits for its window
// to go. True when there was none, or it went.
bool EndVisibleInstance(const std::string& title)
{
    HWND running = FindMainWindow(title);
    if (!running)
        return true;
    AskToQuit(running);
    return PollUntil(kExitWaitMs, [&] { return !::IsWindow(running); });
}

// The running instance owns the mutex from its first moment to its end, so this thread gets
// it only when no instance holds it (any more).
bool TakeOverMutex(HANDLE mutex)
{
    const DWORD result = ::WaitForSingleObject(mutex, 0);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

// Asks the running instance to quit, once its window exists, and again each second while it
// runs on, and waits until it has ended. Meanwhile this start holds a handle to the mutex, so
// that no other start can become the instance: one that had begun before this -exit, even
// one that reaches the mutex only later, finds it taken, hands over to nobody and ends.
// False when an instance runs on.
bool EndRunningInstance(const std::string& title)
{
    CKernelHandle mutex(::CreateMutexA(nullptr, FALSE, kInstanceMutexName));
    CKernelHandle mark(MarkMutexReached(kInstanceMutexName));
    if (!mutex)
        return EndVisibleInstance(title);
    HWND asked = nullptr;
    DWORD askedAt = 0;
    const bool ended = PollUntil(kExitWaitMs, [&] {
        if (TakeOverMutex(mutex.Get()))
            return true;
        HWND running = FindMainWindow(title);
        if (running && (running != asked || ::GetTickCount() - askedAt >= kQuitAgainMs)) {
            AskToQuit(running);
            asked = running;
            askedAt = ::GetTickCount();
        }
        return false;
    });
    if (!ended)
        return false; // an instance that does not end is left as it is
    PollUntil(kStartsInFlightWaitMs, [] { return !EarlierStartInFlight(kInstanceMutexName); });
    ::ReleaseMutex(mutex.Get());
    return true;
}

// Brings the running instance (or its open pop-up, such as the about box) to the front, its
// main window restored, and with -asio on its buffer settings page. The asynchronous forms
// post to the other process, so a hung instance cannot hold this start.
void HandOverToRunningInstance(const std::string& title, bool asioPage)
{
    HWND frame = FindRunningInstance(title);
    if (!frame)
        return;
    HWND popup = ::GetLastActivePopup(frame);
    if (::IsIconic(frame))
        ::ShowWindowAsync(frame, SW_RESTORE);
    if (asioPage)
        ::PostMessageA(frame, WM_SHOW_ASIO_SETTINGS, 0, 0);
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
        // The exit status tells an installer whether the panel's files are free.
        m_nExitCode = EndRunningInstance(title) ? 0 : 1;
        return FALSE;
    }
    // Taken first, before the windows and the driver: -exit and other starts see this start
    // as an instance only once it holds the mutex.
    m_hMutex.Reset(::CreateMutexA(nullptr, TRUE, kInstanceMutexName));
    const bool secondInstance = !m_hMutex || ::GetLastError() == ERROR_ALREADY_EXISTS;
    m_hMutexReached.Reset(MarkMutexReached(kInstanceMutexName));
    if (HasSwitch(cmdLine, "-asio"))
        m_bAsioPage = true;
    const bool hide = HasSwitch(cmdLine, "-hide");

    if (secondInstance) {
        // Only the running instance's handle may keep the mutex alive while this one waits.
        m_hMutex.Reset();
        if (!hide)
            HandOverToRunningInstance(title, m_bAsioPage);
        return FALSE;
    }

    LoadTrayIcon();
    // The show state the process was started with is ignored on purpose: only -hide hides.
    m_nCmdShow = hide ? SW_HIDE : SW_SHOW;

    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CKVX_USB_CPLDoc),
                                          RUNTIME_CLASS(CMainFrame),
                                          RUNTIME_CLASS(CKVX_USB_CPLView)));
    CCommandLineInfo cmdInfo;
    if (!ProcessShellCommand(cmdInfo))
        return FALSE;
    RegisterRestartAfterUpdate();
    m_pMainWnd->UpdateWindow();
    return TRUE;
}

void CKVX_USB_CPLApp::LoadTrayIcon()
{
    // The notification area shows small icons: the one drawn for that size, not a shrunk one.
    // Under high contrast it is drawn in the task bar's text colour (the button colours).
    m_hTrayIcon.Reset(AfxLoadIconForColours(IDR_MAINFRAME, IDI_MAINFRAME_HC,
                                            ::GetSystemMetrics(SM_CXSMICON), COLOR_BTNTEXT));
}

void CKVX_USB_CPLApp::OnAppAbout()
{
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
