// The "Devices" page: the connected interfaces with name and serial number, and their count
// in the main frame's status bar. Renaming and ranking come with the page's own work; until
// then their buttons stay disabled.
#pragma once

#include "DialogPage.h"
#include "ListCtrlEx.h"

class CDlgPgDevices : public CDialogPage {
public:
    explicit CDlgPgDevices(CWnd* pParentWnd = nullptr);
    ~CDlgPgDevices() override;

    void FillDeviceList();

    CStatic m_HelpText;
    CButton m_UpButton;
    CButton m_DownButton;
    CButton m_ApplyButton;
    CButton m_EditNameButton;
    CListCtrlEx m_DeviceList;
    std::string m_strHelp;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnRefresh() override { FillDeviceList(); }

    DECLARE_MESSAGE_MAP()

private:
    void ShowDeviceCount();
};
