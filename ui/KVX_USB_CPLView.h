// The settings view on the form template: the page tree on the left and, from client
// x = 140, the selected page. It owns the five pages and keeps them in step with the
// driver: it opens the shared driver channel, runs the change notification, follows the
// driver's arrival and removal broadcasts, and has every page re-read the driver when the
// driver reports a change.
#pragma once

#include "Afx.h"
#include "KvxuUsbNotificator.h"

#include <dbt.h>

#include "TreeCtrlEx.h"
#include "pages/DlgPgASIOSettings.h"
#include "pages/DlgPgChannels.h"
#include "pages/DlgPgDevices.h"
#include "pages/DlgPgSync.h"

#include <array>
#include <string>

class CKVX_USB_CPLView : public CFormView {
public:
    CKVX_USB_CPLView();
    ~CKVX_USB_CPLView() override;

    void OnInitialUpdate() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // Both channel pages refill their lists (after a device was renamed or re-ranked).
    void ReloadChannelPages();
    void HideAllPages();
    // Every page re-reads the driver: devices, input, output, buffer settings, sync.
    void RefreshAllPages();
    // Closes and reopens the shared driver channel, starts the change notification if it
    // does not run, and refreshes every page, whether the driver is there or not.
    void ReconnectDriver();
    // Registers the view for the driver's arrival and removal broadcasts.
    bool RegisterDeviceInterfaceNotification();

    CTreeCtrlEx m_PageTree;
    HTREEITEM m_hOutputChannelsItem = nullptr;
    HTREEITEM m_hInputChannelsItem = nullptr;
    HTREEITEM m_hDevicesItem = nullptr;
    HTREEITEM m_hSettingsItem = nullptr;
    HTREEITEM m_hSynchronisationItem = nullptr;
    CImageList m_ImageList;
    CDlgPgChannels m_InputChannelsPage{0};
    CDlgPgChannels m_OutputChannelsPage{1};
    CDlgPgDevices m_DevicesPage;
    CDlgPgASIOSettings m_SettingsPage;
    DlgPgSync m_SyncPage;

protected:
    void OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDestroy();
    LRESULT OnDriverNotify(WPARAM wParam, LPARAM lParam);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);

    DECLARE_MESSAGE_MAP()

private:
    // Buffer settings, devices, input, output, synchronisation: creation and hiding order.
    std::array<CDialogPage*, 5> Pages();
    void CreatePages();
    void BuildTree();
    void StartNotification();

    const char* const m_pszDeviceName;
    bool m_bFirstUpdate = true;
    CKvxuUsbNotificator m_Notificator;
    HDEVNOTIFY m_hDeviceNotify = nullptr;
};

// The settings view of the application's main window, or null when there is none.
CKVX_USB_CPLView* GetActiveSettingsView();

// The device-interface name that follows the header of an arrival or removal broadcast
// record, read no further than the record's own size says; empty without a record or name.
std::string BroadcastInterfaceName(const DEV_BROADCAST_HDR* record);
