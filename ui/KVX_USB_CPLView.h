// The settings view on the form template: the page tree on the left and, from client
// x = 140, the selected page. It owns the five pages and keeps what is seen in step with the
// driver: when its driver connection reports that the driver's state may have changed, the
// page shown re-reads the driver at once, with the device count of the status bar, and every
// other page re-reads when it is next shown. While the window is hidden only the device count
// is read, which the tray icon's tip tells.
#pragma once

#include "Afx.h"
#include "DriverConnection.h"
#include "DropOutMonitor.h"
#include "PageHost.h"

#include "TreeCtrlEx.h"
#include "pages/DlgPgASIOSettings.h"
#include "pages/DlgPgChannels.h"
#include "pages/DlgPgDevices.h"
#include "pages/DlgPgSync.h"

#include <array>
#include <string>

// Posted by the notification thread to the settings view: drain the driver's change records.
#define WM_DRIVER_NOTIFY (WM_APP + 2)
// Posted to itself: the pages not shown at start are made one per message once it is shown.
#define WM_CREATE_NEXT_PAGE (WM_APP + 5)

// The pages of the tree, by the code each tree item carries as its item data. Only the top
// byte names the page (the view masks the rest away); the low bytes are free for the items'
// own use and are zero today.
enum CPageCode : DWORD_PTR {
    PAGE_SETTINGS = 0x11000000,
    PAGE_DEVICES = 0x12000000,
    PAGE_INPUT_CHANNELS = 0x13000000,
    PAGE_OUTPUT_CHANNELS = 0x14000000,
    PAGE_SYNCHRONISATION = 0x18000000,
};

class CKVX_USB_CPLView : public CFormView,
                         public IPageHost,
                         private IDriverConnectionHost,
                         private IDropOutMonitorHost {
public:
    CKVX_USB_CPLView();
    ~CKVX_USB_CPLView() override;

    void OnInitialUpdate() override;
    void DoDataExchange(CDataExchange* pDX) override;

    void ReloadChannelPages() override;
    void ShowAsioNameOption(int checked) override;
    // Both channel pages show the driver's display-name option alike: it is read once for
    // both. One that cannot be read shows as not read, and is tried again with the next page.
    void ShowDriversAsioNameOption() override;
    void HideAllPages();
    // Every page re-reads the driver at once, seen or not: devices, input, output, buffer
    // settings, sync.
    void RefreshAllPages();
    // Anything the driver reports may have changed (the panel itself changed many settings):
    // the page shown re-reads now, the others when they are shown.
    // inSlices: a long page read gives way to the window's messages between its slices.
    void RefreshFromDriver(bool inSlices = false);
    // Closes and reopens the shared driver channel, starts the change notification anew with
    // it, and refreshes what is seen, whether the driver is there or not. Returns the status
    // of the reopen, or of the notification's start when the reopen succeeded.
    DWORD ReconnectDriver() { return m_Connection.Reconnect(); }
    // Takes the change records queued now, as a notice would, and says whether what is seen
    // shows every change the driver reported: the queue found empty and no refresh or batch
    // waiting for its timer. For those who must wait until the panel is up to date.
    bool SettleChanges()
    {
        return m_Connection.Settle() && (m_nPagesMade == Pages().size() || !IsSeenOnScreen()) &&
               !m_InputChannelsPage.IsReading() && !m_OutputChannelsPage.IsReading();
    }
    // Open, closed, or not responding: for the status bar and the tray.
    CConnectionState DriverState() const { return m_Connection.State(); }
    // The window it sits in was shown, hidden, minimised or restored: pages that poll the
    // driver do so only while they can be seen, and a page shown again re-reads what it
    // missed.
    void FollowScreenVisibility();
    // Selects the page's tree item, as a click would. Asked before the tree exists (by the
    // frame, for -asio), the page becomes the one the first update starts with.
    void ShowPage(CPageCode page);

    CTreeCtrlEx m_PageTree;
    HTREEITEM m_hOutputChannelsItem = nullptr;
    HTREEITEM m_hInputChannelsItem = nullptr;
    HTREEITEM m_hDevicesItem = nullptr;
    HTREEITEM m_hSettingsItem = nullptr;
    HTREEITEM m_hSynchronisationItem = nullptr;
    CImageList m_ImageList;
    CDlgPgChannels m_InputChannelsPage{KvxUsbDirection::Input};
    CDlgPgChannels m_OutputChannelsPage{KvxUsbDirection::Output};
    CDlgPgDevices m_DevicesPage;
    CDlgPgASIOSettings m_SettingsPage;
    DlgPgSync m_SyncPage;
    // Reads the drop-out count for the buffer settings page and, when on, for the watch.
    CDropOutMonitor m_DropOuts{*this};

protected:
    void OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDestroy();
    LRESULT OnDriverNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnCreateNextPage(WPARAM wParam, LPARAM lParam);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    void OnTimer(UINT_PTR nIDEvent);
    // The user's colours changed (high contrast on or off): the tree's icons follow.
    LRESULT OnSystemChange(WPARAM wParam, LPARAM lParam);
    // The form at the new DPI, then the pages' origin, the tree's width and its icons; the
    // pages lay themselves out after it.
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;

    DECLARE_MESSAGE_MAP()

private:
    // Buffer settings, devices, input, output, synchronisation: creation and hiding order.
    std::array<CDialogPage*, 5> Pages();
    // Devices, input, output, buffer settings, synchronisation: refresh order.
    std::array<CDialogPage*, 5> PagesInRefreshOrder();
    // The page shown in the view, or null before the first update.
    CDialogPage* ShownPage();
    // The view shown and its window neither hidden nor minimised.
    bool IsSeenOnScreen() const;
    // The page shown re-reads the driver if it missed a change, and the device count follows,
    // seen in the tray when the window is not.
    void RefreshWhatIsSeen(bool inSlices = false);
    void RefreshPage(CDialogPage& page, bool inSlices = false);
    void CreatePages();
    void CreatePage(CDialogPage& page);
    // Every page at the page origin, scaled to the view's DPI.
    void PlacePages(UINT flags);
    // The tree and the separator line end left of the pages, with the room they have at
    // 96 DPI, whatever the template's font makes of them (at most the template's own width:
    // each layout of the form starts from the template).
    void KeepTreeLeftOfPages();
    bool GetChildRect(HWND child, RECT* rect) const;
    void BuildTree();
    // The tree's icons at the size for this DPI and in the user's colours, replacing those it
    // had.
    void LoadTreeImages(UINT dpi);
    bool IsChannelPage(const CDialogPage& page) const;

    void DriverStateChanged() override;
    void ChangesReported() override;
    bool IsDriverAnswering() const override;
    void DropOutsChanged() override;
    void ShowDropOutBalloon(const std::string& text) override;
    // The window around the view tells the driver's state (the tray icon's tip).
    void ReportConnectionState();

    bool m_bFirstUpdate = true;
    CPageCode m_StartPage = PAGE_DEVICES;
    size_t m_nPagesMade = 0; // of Pages(), in order, once the window is seen
    // What the driver reports that no page shows yet: the display-name option of both
    // channel pages, and the device count of the status bar and the tray (none read yet).
    bool m_bAsioNameOptionStale = false;
    bool m_bDeviceCountStale = true;
    CDriverConnection m_Connection{*this, KVX_USB_DEVICE_NAME};
};

// The settings view of the application's main window, or null when there is none.
CKVX_USB_CPLView* GetActiveSettingsView();
