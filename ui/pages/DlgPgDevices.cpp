#include "DlgPgDevices.h"

#include <cstdio>

#include "Drv.h"
#include "KvxUsbText.h"
#include "StatusHost.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CDlgPgDevices, CDialogPage)
END_MESSAGE_MAP()

CDlgPgDevices::CDlgPgDevices(CWnd* pParentWnd) : CDialogPage(IDD_PAGE_DEVICES, pParentWnd) {}

CDlgPgDevices::~CDlgPgDevices() = default;

void CDlgPgDevices::DoDataExchange(CDataExchange* pDX)
{
    CDialogPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEVICE_HELP, m_HelpText);
    DDX_Control(pDX, IDC_DEVICE_UP, m_UpButton);
    DDX_Control(pDX, IDC_DEVICE_DOWN, m_DownButton);
    DDX_Control(pDX, IDC_DEVICE_APPLY, m_ApplyButton);
    DDX_Control(pDX, IDC_DEVICE_EDIT_NAME, m_EditNameButton);
    DDX_Control(pDX, IDC_DEVICE_LIST, m_DeviceList);
    DDX_Text(pDX, IDC_DEVICE_HELP, m_strHelp);
}

BOOL CDlgPgDevices::OnInitDialog()
{
    CDialogPage::OnInitDialog();
    m_DeviceList.SetUpColumns({{IDS_COLUMN_DEVICE_NAME, 235}, {IDS_COLUMN_SERIAL_NUMBER, 220}});
    m_strHelp = "Use Up and Down buttons to change device ranking and press Apply to store "
                "settings.\nDevice ranking defines the order of channels shown in ASIO hosts.";
    // Renaming and ranking are not built yet: their buttons stay off and the help text that
    // explains them stays hidden.
    for (CButton* button : {&m_UpButton, &m_DownButton, &m_ApplyButton, &m_EditNameButton})
        button->EnableWindow(FALSE);
    m_HelpText.ShowWindow(SW_HIDE);
    FillDeviceList();
    UpdateData(FALSE);
    return TRUE;
}

void CDlgPgDevices::FillDeviceList()
{
    if (!m_hWnd)
        return;
    const int selected = m_DeviceList.GetSelectedItem();
    {
        CRefillGuard refill(*this, m_DeviceList);
        m_DeviceList.DeleteAllItems();
        // A partial load shows nothing rather than a list with holes in the ranking.
        if (theDrv.LoadDevices() == 0) {
            for (size_t i = 0; i < theDrv.m_Devices.size(); ++i) {
                const _KVX_USB_DEVICE_PROPERTIES& device = *theDrv.m_Devices[i];
                m_DeviceList.InsertRow(
                    int(i), {RecordText(device.DeviceName), RecordText(device.SerialNumber)}, i);
            }
        }
        m_DeviceList.SelectRow(selected);
    }
    ShowDeviceCount();
}

void CDlgPgDevices::ShowDeviceCount()
{
    IStatusHost* host = GetStatusHost();
    if (!host)
        return;
    char count[16];
    std::snprintf(count, sizeof count, "%i ", int(theDrv.m_Devices.size()));
    host->SetDeviceCountText((count + AfxLoadString(IDS_DEVICES_CONNECTED)).c_str());
}
