// The main window: a fixed-size frame around the settings view, with the menu, a two-pane
// status bar and the tray icon. The close box only hides it; only Quit ends the program.
#pragma once

#include <memory>

#include "Afx.h"
#include "ProfileCommands.h"
#include "StatusHost.h"
#include "TrayIcon.h"

class CKVX_USB_CPLView;

class CMainFrame : public CFrameWnd, public IStatusHost {
public:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

    // Pane 0: the caption of the page shown (menu prompts and "Ready" also go there).
    void SetStatusText(LPCSTR text) override;
    // Pane 1: the device count, written by the devices page.
    void SetDeviceCountText(LPCSTR text) override;

    CStatusBar m_wndStatusBar; // pane 1 shows the device count, written by the devices page

protected:
    int OnCreate(LPCREATESTRUCT lpcs);
    void OnDestroy();
    void OnSysCommand(UINT nID, LPARAM lParam);
    LRESULT OnWindowPosChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnShowAsioSettings(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // Every window inside hears of it; the tray icon follows a change of the user's colours.
    LRESULT OnSystemChange(WPARAM wParam, LPARAM lParam);
    // The status bar's panes, given in pixels, at the new DPI.
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;
    void OnAppOpen();
    void OnAppQuit();
    void OnAppHide();
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

    void RefreshPages();

    CTrayIcon m_trayIcon;

public:
    // Settings profiles of the File and the tray menu; made with the window.
    std::unique_ptr<CProfileCommands> m_Profiles;
};
