// The main window: a fixed-size frame around the settings view, with the menu, a two-pane
// status bar and the tray icon. The close box only hides it; only Quit ends the program.
// It keeps its tray icon when the shell restarts, and has the pages read the driver again
// when the machine resumes from sleep.
#pragma once

#include <memory>
#include <string>

#include "Afx.h"
#include "ProfileCommands.h"
#include "ResumeFilter.h"
#include "StatusHost.h"
#include "TrayIcon.h"

class CKVX_USB_CPLView;

class CMainFrame : public CFrameWnd, public IStatusHost {
public:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

    // Pane 0: the caption of the page shown (menu prompts and "Ready" also go there).
    void SetStatusText(LPCSTR text) override;
    // Pane 1 and the tray icon's tip: the device count, written by the devices page.
    void SetDeviceCount(size_t devices) override;
    // The tray icon's tip tells the driver's state, written by the view.
    void SetConnectionState(CConnectionState state) override;
    // The drop-out watch's part of the tray icon's tip, and its balloons.
    void SetDropOutTip(const std::string& text) override;
    void ShowDropOutBalloon(const std::string& text) override;
    // What the tray icon's tip says now.
    const std::string& TrayTip() const { return m_strTrayTip; }

    CStatusBar m_wndStatusBar; // pane 1 shows the device count, written by the devices page

protected:
    int OnCreate(LPCREATESTRUCT lpcs);
    void OnDestroy();
    void OnSysCommand(UINT nID, LPARAM lParam);
    LRESULT OnWindowPosChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnShowAsioSettings(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnAddTrayIcon(WPARAM wParam, LPARAM lParam);
    // Every window inside hears of it; the tray icon follows a change of the user's colours.
    LRESULT OnSystemChange(WPARAM wParam, LPARAM lParam);
    // The status bar's panes, given in pixels, at the new DPI.
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);
    LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);
    void OnAppOpen();
    void OnAppQuit();
    void OnAppHide();
    void OnWatchDropOuts();
    // Shown with the buffer settings page, as the drop-out balloon's click asks.
    void OpenOnSettingsPage();
    void OnSaveSettings();
    void OnLoadSettings();
    void OnRecentProfile(UINT nID);

    DECLARE_MESSAGE_MAP()

private:
    bool CreateStatusBar();
    // Pane 0 stretches from 200 pixels, pane 1 is 150 wide, both at 96 DPI.
    void LayOutPanes(UINT dpi);
    CKVX_USB_CPLView* SettingsView() const;
    void ShowTrayMenu();
    // Adds the tray icon with the tip it has now: at creation, and again for a new shell.
    void AddTrayIcon();
    void ShowConnection();
    void UpdateTrayTip();

    void RefreshPages();

    CTrayIcon m_trayIcon;
    std::string m_strPanelName; // the title, which the tray tip begins with
    std::string m_strTrayTip;
    std::string m_strDropOutTip;
    size_t m_nDevices = 0;
    CConnectionState m_ConnectionState = CConnectionState::Connected;
    CResumeFilter m_ResumeFilter;

public:
    // Settings profiles of the File and the tray menu; made with the window.
    std::unique_ptr<CProfileCommands> m_Profiles;
};
