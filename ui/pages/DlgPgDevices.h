// The "Devices" page: the connected interfaces with name and serial number, and their count
// in the main frame's status bar. Up and Down move the selected device in the list, Apply
// stores the list order as the driver's device ranking; a device is renamed through the
// device-name dialog.
#pragma once

#include "DialogPage.h"
#include "ListCtrlEx.h"

class CDlgPgDevices : public CDialogPage {
public:
    explicit CDlgPgDevices(CWnd* pParentWnd = nullptr);
    ~CDlgPgDevices() override;

    // Shows the count of connected devices from one read of the device list, leaving the
    // list as it is.
    void RefreshDeviceCount();

    CListCtrlEx m_DeviceList;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // The list is only attached (no messages of its own pass through the page's code):
    // its columns follow here.
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override
    {
        CDialogPage::OnDpiLayout(oldDpi, newDpi);
        m_DeviceList.RescaleColumns(oldDpi, newDpi);
    }
    void OnRefresh() override { FillDeviceList(); }

    void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDoubleClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnUp();
    void OnDown();
    void OnApply();
    void OnEditName();

    DECLARE_MESSAGE_MAP()

private:
    void FillDeviceList();
    void UpdateButtons();
    // Moves the row one up (or down) in the list only; the driver learns of it on Apply.
    void MoveDevice(int row, bool up);
    // Renames the device at this index of the cached devices through the name dialog.
    void EditDeviceName(size_t index);
    void ShowDeviceCount(size_t count);

    CStatic m_HelpText;
    std::string m_strHelp;
};
