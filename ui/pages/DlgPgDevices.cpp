#include "DlgPgDevices.h"

#include <vector>

#include "Drv.h"
#include "PageHost.h"
#include "KvxUsbText.h"
#include "StatusHost.h"
#include "SubDlgNameEdit.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CDlgPgDevices, CDialogPage)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_DEVICE_LIST, OnItemChanged)
ON_NOTIFY(NM_DBLCLK, IDC_DEVICE_LIST, OnDoubleClick)
ON_NOTIFY(NM_RETURN, IDC_DEVICE_LIST, OnDoubleClick) // Enter on a row, as a double click
ON_BN_CLICKED(IDC_DEVICE_UP, OnUp)
ON_BN_CLICKED(IDC_DEVICE_DOWN, OnDown)
ON_BN_CLICKED(IDC_DEVICE_APPLY, OnApply)
ON_BN_CLICKED(IDC_DEVICE_EDIT_NAME, OnEditName)
END_MESSAGE_MAP()

CDlgPgDevices::CDlgPgDevices(CWnd* pParentWnd) : CDialogPage(IDD_PAGE_DEVICES, pParentWnd) {}

CDlgPgDevices::~CDlgPgDevices() = default;

void CDlgPgDevices::DoDataExchange(CDataExchange* pDX)
{
    CDialogPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEVICE_HELP, m_HelpText);
    // The lists are refilled row by row: their messages go straight to them.
    DDX_ControlHandle(pDX, IDC_DEVICE_LIST, m_DeviceList);
    DDX_Text(pDX, IDC_DEVICE_HELP, m_strHelp);
}

BOOL CDlgPgDevices::OnInitDialog()
{
    CDialogPage::OnInitDialog();
    m_DeviceList.SetUpColumns({{IDS_COLUMN_DEVICE_NAME, 235}, {IDS_COLUMN_SERIAL_NUMBER, 220}});
    m_strHelp = AfxLoadString(IDS_DEVICE_RANKING_HELP);
    // Apply stores the list's order. Only moves enable it (a list's selection is no change);
    // a refill leaves it as it was.
    AddApplyGroup(IDC_DEVICE_APPLY, IDS_APPLY_RANKING, {IDC_DEVICE_LIST});
    DisableApplyButtons();
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
    UpdateButtons();
    // The devices the driver lists, also when one of them could not be read; none when the
    // list itself could not be.
    ShowDeviceCount(theDrv.m_DeviceIds.size());
}

void CDlgPgDevices::RefreshDeviceCount()
{
    // As the list: no devices shown when they cannot be read.
    std::vector<uint32_t> ids;
    ShowDeviceCount(theDrv.ReadDeviceIds(ids) == 0 ? ids.size() : 0);
}

void CDlgPgDevices::UpdateButtons()
{
    const int row = m_DeviceList.GetSelectedItem();
    const int rows = m_DeviceList.GetItemCount();
    const bool selected = row >= 0;
    const bool up = selected && rows > 1 && row != 0;
    const bool down = selected && rows > 1 && row != rows - 1;
    // Up at the top row hands the focus to Down, Down at the bottom row to Apply.
    SetControlStates(
        {{IDC_DEVICE_EDIT_NAME, selected}, {IDC_DEVICE_UP, up}, {IDC_DEVICE_DOWN, down}});
    // The help explains ranking, so it is there only while a move is possible.
    m_HelpText.ShowWindow(up || down ? SW_SHOW : SW_HIDE);
}

void CDlgPgDevices::MoveDevice(int row, bool up)
{
    const int rows = m_DeviceList.GetItemCount();
    if (row < 0 || row >= rows)
        return;
    const DWORD_PTR index = m_DeviceList.GetItemData(row);
    if (index >= theDrv.m_Devices.size())
        return;
    const _KVX_USB_DEVICE_PROPERTIES& device = *theDrv.m_Devices[index];
    int target = row;
    if (up && row > 0)
        target = row - 1;
    else if (!up && row < rows - 1)
        target = row + 1;
    {
        CRefillGuard refill(*this, m_DeviceList);
        m_DeviceList.DeleteItem(row);
        m_DeviceList.InsertRow(
            target, {RecordText(device.DeviceName), RecordText(device.SerialNumber)}, index);
    }
    // Apply first, so that a move button the new row disables can hand the focus to it.
    GroupChanged(IDC_DEVICE_APPLY);
    // Selecting reports the change, which updates the buttons.
    m_DeviceList.SelectRow(target);
    m_DeviceList.EnsureVisible(target, FALSE);
}

void CDlgPgDevices::EditDeviceName(size_t index)
{
    if (index >= theDrv.m_Devices.size())
        return;
    // The dialog edits a copy; the name typed goes into the driver's record as it is then.
    _KVX_USB_DEVICE_PROPERTIES copy = *theDrv.m_Devices[index];
    CSubDlgDeviceNameEdit dialog(&copy);
    if (dialog.DoModal() != IDOK)
        return;
    const CWriteResult result = theDrv.StoreDeviceName(copy.DeviceId, dialog.m_strName);
    FillDeviceList();
    TellWriteOutcome(result, IDS_SUBJECT_DEVICE_NAME);
    // The channel pages show device names too.
    if (IPageHost* host = GetPageHost())
        host->ReloadChannelPages();
}

void CDlgPgDevices::OnItemChanged(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    UpdateButtons();
}

void CDlgPgDevices::OnDoubleClick(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    OnEditName();
}

void CDlgPgDevices::OnUp()
{
    const int row = m_DeviceList.GetSelectedItem();
    if (row >= 0)
        MoveDevice(row, true);
}

void CDlgPgDevices::OnDown()
{
    const int row = m_DeviceList.GetSelectedItem();
    if (row >= 0)
        MoveDevice(row, false);
}

void CDlgPgDevices::OnApply()
{
    // Each device takes its row as its ranking, in its record as the driver has it now; a
    // device whose ranking is its row already is not written. The first that fails is told.
    CWriteResult told = {CWriteOutcome::Applied, 0};
    const int rows = m_DeviceList.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        const DWORD_PTR index = m_DeviceList.GetItemData(row);
        if (index >= theDrv.m_Devices.size())
            continue;
        const CWriteResult result =
            theDrv.StoreDeviceRanking(theDrv.m_Devices[index]->DeviceId, uint32_t(row));
        if (told.outcome == CWriteOutcome::Applied && result.outcome != CWriteOutcome::Unchanged)
            told = result;
    }
    // The refill shows what the driver kept.
    FillDeviceList();
    if (IPageHost* host = GetPageHost())
        host->ReloadChannelPages();
    DisableApplyButtons();
    TellWriteOutcome(told, IDS_SUBJECT_RANKING);
}

void CDlgPgDevices::OnEditName()
{
    DWORD_PTR index = 0;
    if (m_DeviceList.GetSelectedItemData(&index))
        EditDeviceName(index);
}

void CDlgPgDevices::ShowDeviceCount(size_t devices)
{
    if (IStatusHost* host = GetStatusHost())
        host->SetDeviceCount(devices);
}
