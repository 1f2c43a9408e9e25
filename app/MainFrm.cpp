#include "MainFrm.h"

#include "AppMessages.h"
#include "Drv.h"
#include "KVX_USB_CPL.h"
#include "KVX_USB_CPLView.h"
#include "ScopedHandle.h"
#include "TrayTip.h"
#include "resource.h"

namespace {

// Broadcast by a shell that (re)starts its notification area: every icon must be added anew.
const UINT kTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");

} // namespace

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SYSCOMMAND()
ON_MESSAGE(WM_WINDOWPOSCHANGED, OnWindowPosChanged)
ON_MESSAGE(WM_SHOW_ASIO_SETTINGS, OnShowAsioSettings)
ON_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
ON_MESSAGE(WM_ADD_TRAY_ICON, OnAddTrayIcon)
ON_MESSAGE(WM_SYSCOLORCHANGE, OnSystemChange)
ON_MESSAGE(WM_SETTINGCHANGE, OnSystemChange)
ON_REGISTERED_MESSAGE(kTaskbarCreated, OnTaskbarCreated)
ON_MESSAGE(WM_POWERBROADCAST, OnPowerBroadcast)
ON_MESSAGE(WM_ENDSESSION, OnEndSession)
ON_COMMAND(ID_APP_OPEN, OnAppOpen)
ON_COMMAND(ID_APP_QUIT, OnAppQuit)
ON_COMMAND(ID_APP_HIDE, OnAppHide)
ON_COMMAND(ID_APP_WATCH_DROPOUTS, OnWatchDropOuts)
ON_COMMAND(ID_FILE_SAVE_SETTINGS, OnSaveSettings)
ON_COMMAND(ID_FILE_LOAD_SETTINGS, OnLoadSettings)
ON_COMMAND_RANGE(ID_PROFILE_RECENT_FIRST, ID_PROFILE_RECENT_LAST, OnRecentProfile)
END_MESSAGE_MAP()

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CFrameWnd::PreCreateWindow(cs))
        return FALSE;
    // A class of its own, by which another start tells it from the panel's boxes.
    cs.lpszClass = AfxRegisterWndClassNamed(KVX_MAIN_FRAME_CLASS);
    if (!cs.lpszClass)
        return FALSE;
    // Fixed size, no maximise box, and a title that stays as set (no document name in it).
    cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
    const DWORD removed = WS_THICKFRAME | WS_MAXIMIZEBOX | FWS_ADDTOTITLE | FWS_PREFIXTITLE;
    static_assert(~removed == 0xFFFA3FFF, "the frame's style mask");
    cs.style &= ~removed;
    return TRUE;
}

int CMainFrame::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CFrameWnd::OnCreate(lpcs) == -1)
        return -1;
    if (!CreateStatusBar())
        return -1;
    m_Profiles = std::make_unique<CProfileCommands>(m_hWnd, theDrv);
    // The view exists now, its pages not yet: -asio makes the settings page the first shown.
    if (theApp.m_bAsioPage)
        if (CKVX_USB_CPLView* view = SettingsView())
            view->ShowPage(PAGE_SETTINGS);
    m_strPanelName = AfxLoadString(IDS_MAIN_TITLE);
    SetWindowText(m_strPanelName.c_str());
    // The tip tells the driver's state once the view has read it.
    m_strTrayTip = m_strPanelName;
    m_trayIcon.Init(m_hWnd, TRAY_ICON_ID);
    // Loading the shell for the icon would hold up the window; -hide still gets it at once.
    PostMessage(WM_ADD_TRAY_ICON);
    // An elevated panel hears a restarted shell too, which runs with less privilege.
    if (kTaskbarCreated)
        ::ChangeWindowMessageFilterEx(m_hWnd, kTaskbarCreated, MSGFLT_ALLOW, nullptr);
    // Shown only when the application first activates the frame with its show command.
    ShowWindow(SW_HIDE);
    return 0;
}

bool CMainFrame::CreateStatusBar()
{
    static const UINT indicators[] = {ID_SEPARATOR, ID_SEPARATOR};
    if (!m_wndStatusBar.Create(this) || !m_wndStatusBar.SetIndicators(indicators, 2))
        return false;
    LayOutPanes(AfxGetWindowDpi(m_hWnd));
    return true;
}

void CMainFrame::LayOutPanes(UINT dpi)
{
    m_wndStatusBar.SetPaneInfo(0, 0, SBPS_STRETCH, AfxScaleForDpi(200, dpi));
    m_wndStatusBar.SetPaneInfo(1, 1, SBPS_NORMAL, AfxScaleForDpi(150, dpi));
}

CKVX_USB_CPLView* CMainFrame::SettingsView() const
{
    // The view's window, also before the frame has made it its active view.
    return dynamic_cast<CKVX_USB_CPLView*>(FromHandlePermanent(GetDlgItem(AFX_IDW_PANE_FIRST)));
}

void CMainFrame::SetStatusText(LPCSTR text)
{
    m_wndStatusBar.SetWindowText(text);
}

void CMainFrame::SetDeviceCount(size_t devices)
{
    m_nDevices = devices;
    ShowConnection();
}

void CMainFrame::SetConnectionState(CConnectionState state)
{
    m_ConnectionState = state;
    ShowConnection();
}

// The status bar's second pane and the tray icon's tip: the device count, or that the
// driver does not respond, when the pages show no more than with the driver closed.
void CMainFrame::ShowConnection()
{
    const std::string text =
        m_ConnectionState == CConnectionState::NotResponding
            ? AfxLoadString(IDS_DRIVER_NOT_RESPONDING)
            : std::to_string(m_nDevices) + " " + AfxLoadString(IDS_DEVICES_CONNECTED);
    m_wndStatusBar.SetPaneText(1, text.c_str(), TRUE);
    m_wndStatusBar.UpdateWindow();
    UpdateTrayTip();
}

void CMainFrame::AddTrayIcon()
{
    // Without a tray the program still runs and can be quit from its File menu.
    m_trayIcon.Add(theApp.m_hTrayIcon.Get(), m_strTrayTip.c_str());
}

LRESULT CMainFrame::OnAddTrayIcon(WPARAM, LPARAM)
{
    AddTrayIcon();
    return 0;
}

void CMainFrame::UpdateTrayTip()
{
    const std::string tip =
        TrayTipText(m_strPanelName, m_nDevices, m_ConnectionState, m_strDropOutTip);
    if (tip == m_strTrayTip)
        return; // each change is a round trip to the shell
    m_strTrayTip = tip;
    m_trayIcon.SetTip(tip.c_str());
}

void CMainFrame::SetDropOutTip(const std::string& text)
{
    m_strDropOutTip = text;
    UpdateTrayTip();
}

void CMainFrame::ShowDropOutBalloon(const std::string& text)
{
    m_trayIcon.ShowBalloon(AfxLoadString(IDS_DROPOUT_BALLOON_TITLE).c_str(), text.c_str());
}

void CMainFrame::OnWatchDropOuts()
{
    if (CKVX_USB_CPLView* view = SettingsView())
        view->m_DropOuts.SetWatching(!view->m_DropOuts.IsWatching());
}

void CMainFrame::OpenOnSettingsPage()
{
    OnAppOpen();
    OnShowAsioSettings(0, 0);
}

LRESULT CMainFrame::OnTaskbarCreated(WPARAM, LPARAM)
{
    // The shell restarted and knows no icon any more; without this one a panel started with
    // -hide could not be reached at all.
    AddTrayIcon();
    return 0;
}

LRESULT CMainFrame::OnPowerBroadcast(WPARAM wParam, LPARAM)
{
    // Devices may come back from sleep in another state, without a change record for each
    // difference: read again as after a reconnect, once per resume.
    if (m_ResumeFilter.IsNewResume(wParam))
        RefreshPages();
    return TRUE;
}

LRESULT CMainFrame::OnEndSession(WPARAM wParam, LPARAM)
{
    // Restart Manager ends the panel this way before an update replaces its files, and a
    // logoff too: it quits as with Quit, its tray icon removed.
    if (wParam)
        OnAppQuit();
    return 0;
}

void CMainFrame::OnDestroy()
{
    // Explicitly: a shell may keep the icon of a destroyed window until the mouse passes.
    m_trayIcon.Remove();
    CFrameWnd::OnDestroy();
}

void CMainFrame::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == SC_CLOSE) {
        OnAppHide();
        return;
    }
    CFrameWnd::OnSysCommand(nID, lParam);
}

LRESULT CMainFrame::OnWindowPosChanged(WPARAM, LPARAM)
{
    const LRESULT result = Default();
    // Shown, hidden, minimised or restored: the children hear of it from nobody else.
    if (CKVX_USB_CPLView* view = SettingsView())
        view->FollowScreenVisibility();
    return result;
}

LRESULT CMainFrame::OnShowAsioSettings(WPARAM, LPARAM)
{
    // Selected as a click would: the view's page switch shows the page and its caption.
    if (CKVX_USB_CPLView* view = SettingsView())
        view->ShowPage(PAGE_SETTINGS);
    return 0;
}

void CMainFrame::OnDpiLayout(UINT, UINT newDpi)
{
    LayOutPanes(newDpi);
}

LRESULT CMainFrame::OnSystemChange(WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CFrameWnd::OnSystemChangeMsg(wParam, lParam);
    if (AfxIsColourChange(GetCurrentMessage()->message, wParam)) {
        theApp.LoadTrayIcon();
        m_trayIcon.SetIcon(theApp.m_hTrayIcon.Get());
    }
    return result;
}

LRESULT CMainFrame::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    if (wParam != TRAY_ICON_ID)
        return 0;
    switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnAppOpen();
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        ShowTrayMenu();
        break;
    case NIN_BALLOONUSERCLICK: // only the drop-out watch shows balloons
        OpenOnSettingsPage();
        break;
    default: // moves, releases and the middle button
        break;
    }
    return 0;
}

void CMainFrame::ShowTrayMenu()
{
    POINT cursor;
    if (!::GetCursorPos(&cursor))
        return;
    const CMenuHandle menu(::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_TRAYMENU)));
    if (!menu)
        return;
    if (HMENU popup = ::GetSubMenu(menu.Get(), 0)) {
        // The profiles' submenu between Open and Quit; destroyed with the menu.
        if (HMENU profiles = m_Profiles ? m_Profiles->CreateTrayMenu() : nullptr)
            if (!::InsertMenuA(popup, 1, MF_BYPOSITION | MF_POPUP | MF_STRING,
                               reinterpret_cast<UINT_PTR>(profiles),
                               AfxLoadString(IDS_PROFILE_SUBMENU).c_str()))
                ::DestroyMenu(profiles);
        if (CKVX_USB_CPLView* view = SettingsView())
            ::CheckMenuItem(popup, ID_APP_WATCH_DROPOUTS,
                            view->m_DropOuts.IsWatching() ? MF_CHECKED : MF_UNCHECKED);
        // Foreground first, or the menu would not close when the user clicks elsewhere.
        SetForegroundWindow();
        ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y,
                         0, m_hWnd, nullptr);
        PostMessage(WM_NULL);
    }
}

void CMainFrame::OnAppOpen()
{
    ShowWindow(SW_SHOW);
    SetForegroundWindow();
}

void CMainFrame::OnAppQuit()
{
    // Posted, so the program ends after the tray menu has closed.
    PostMessage(WM_COMMAND, ID_APP_EXIT, 0);
}

void CMainFrame::OnAppHide()
{
    ShowWindow(SW_HIDE);
}

void CMainFrame::OnSaveSettings()
{
    if (m_Profiles)
        m_Profiles->SaveSettings();
}

void CMainFrame::OnLoadSettings()
{
    if (m_Profiles && m_Profiles->LoadSettings())
        RefreshPages();
}

void CMainFrame::OnRecentProfile(UINT nID)
{
    if (!m_Profiles)
        return;
    m_Profiles->LoadRecent(nID - ID_PROFILE_RECENT_FIRST);
    RefreshPages();
}

void CMainFrame::RefreshPages()
{
    // The driver need not report a change its own client made: the pages read it again.
    if (CKVX_USB_CPLView* view = SettingsView())
        view->RefreshFromDriver();
}
