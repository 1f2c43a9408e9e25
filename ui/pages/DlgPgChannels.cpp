#include "DlgPgChannels.h"

#include "KvxUsbText.h"
#include "PageHost.h"
#include "SubDlgNameEdit.h"
#include "resource.h"

namespace {

enum { COLUMN_DEVICE, COLUMN_CHANNEL, COLUMN_ASIO_NAME };

} // namespace

BEGIN_MESSAGE_MAP(CDlgPgChannels, CDialogPage)
ON_BN_CLICKED(IDC_CHANNEL_ASIO_NAMES, OnAsioNamesClicked)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_CHANNEL_LIST, OnItemChanged)
ON_NOTIFY(NM_DBLCLK, IDC_CHANNEL_LIST, OnDoubleClick)
ON_NOTIFY(NM_RETURN, IDC_CHANNEL_LIST, OnDoubleClick) // Enter on a row, as a double click
ON_BN_CLICKED(IDC_CHANNEL_EDIT_NAME, OnEditName)
END_MESSAGE_MAP()

CDlgPgChannels::CDlgPgChannels(KvxUsbDirection direction, CWnd* pParentWnd)
    : CDialogPage(IDD_PAGE_CHANNELS, pParentWnd), m_Direction(direction)
{
}

CDlgPgChannels::~CDlgPgChannels() = default;

CChannelArray& CDlgPgChannels::Channels() const
{
    return m_Direction == KvxUsbDirection::Input ? theDrv.m_InputChannels : theDrv.m_OutputChannels;
}

void CDlgPgChannels::DoDataExchange(CDataExchange* pDX)
{
    CDialogPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CHANNEL_ASIO_NAMES, m_AsioNamesCheck);
    DDX_Control(pDX, IDC_CHANNEL_EDIT_NAME, m_EditNameButton);
    // The lists are refilled row by row: their messages go straight to them.
    DDX_ControlHandle(pDX, IDC_CHANNEL_LIST, m_ChannelList);
    DDX_Check(pDX, IDC_CHANNEL_ASIO_NAMES, m_nAsioNames);
    DDX_Text(pDX, IDC_CHANNEL_HW_NAME, m_strHardwareName);
}

BOOL CDlgPgChannels::OnInitDialog()
{
    CDialogPage::OnInitDialog();
    // The list's label names it for a screen reader, so it says which channels it holds.
    ::SetDlgItemTextA(m_hWnd, IDC_CHANNEL_LIST_LABEL,
                      AfxLoadString(m_Direction == KvxUsbDirection::Input
                                        ? IDS_INPUT_CHANNELS_LABEL
                                        : IDS_OUTPUT_CHANNELS_LABEL)
                          .c_str());
    m_ChannelList.SetUpColumns({{IDS_COLUMN_DEVICE_NAME, 160},
                                {IDS_COLUMN_CHANNEL_NAME, 160},
                                {IDS_COLUMN_ASIO_NAME, 180}});
    m_EditNameButton.EnableWindow(FALSE);
    // The display-name option comes from the view, read once for both channel pages.
    FillChannelList();
    UpdateAsioDisplayNames();
    UpdateData(FALSE);
    return TRUE;
}

void CDlgPgChannels::FillChannelList()
{
    if (!m_hWnd)
        return;
    const int selected = m_ChannelList.GetSelectedItem();
    {
        CRefillGuard refill(*this, m_ChannelList);
        m_ChannelList.DeleteAllItems();
        CChannelArray& channels = Channels();
        if (theDrv.LoadChannels(channels, m_Direction) == 0) {
            for (size_t i = 0; i < channels.size(); ++i) {
                // The device's name straight from the driver: the cached device list may be
                // old. Zeroed, so that a short answer shows an empty name rather than garbage.
                const uint32_t deviceId = channels[i]->DeviceId;
                _KVX_USB_DEVICE_PROPERTIES device = {};
                if (theDrv.GetDeviceProperties(&deviceId, &device) != 0)
                    continue;
                m_ChannelList.InsertRow(
                    int(i),
                    {RecordText(device.DeviceName), RecordText(channels[i]->ChannelName), ""}, i);
            }
        }
        UpdateAsioDisplayNames();
        m_ChannelList.SelectRow(selected);
    }
    UpdateHardwareName();
}

void CDlgPgChannels::UpdateAsioDisplayNames()
{
    const int rows = m_ChannelList.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        // Without the option the names an ASIO host shows are not known.
        const std::string name =
            m_nAsioNames < 0 ? std::string()
                             : AsioDisplayName(uint32_t(m_nAsioNames),
                                               m_ChannelList.GetItemText(row, COLUMN_DEVICE),
                                               m_ChannelList.GetItemText(row, COLUMN_CHANNEL));
        m_ChannelList.SetItemText(row, COLUMN_ASIO_NAME, name.c_str());
    }
}

void CDlgPgChannels::UpdateHardwareName()
{
    std::string text;
    DWORD_PTR index = 0;
    const bool selected = m_ChannelList.GetSelectedItemData(&index);
    const CChannelArray& channels = Channels();
    if (selected && index < channels.size())
        text = " " + RecordText(channels[index]->HardwareName);
    EnableControls({IDC_CHANNEL_EDIT_NAME, IDC_CHANNEL_HW_LABEL, IDC_CHANNEL_HW_NAME}, selected);
    m_strHardwareName = text;
    UpdateData(FALSE);
}

void CDlgPgChannels::EditChannelName(size_t index)
{
    const CChannelArray& channels = Channels();
    if (index >= channels.size())
        return;
    // The dialog edits a copy; the name typed goes into the driver's record as it is then, and
    // the refill shows what the driver kept, so a refused name shows the old one again.
    _KVX_USB_CHANNEL_PROPERTIES copy = *channels[index];
    CSubDlgChannelNameEdit dialog(&copy);
    if (dialog.DoModal() != IDOK)
        return;
    const CWriteResult result = theDrv.StoreChannelName(copy.ChannelId, dialog.m_strName);
    FillChannelList();
    TellWriteOutcome(result, IDS_SUBJECT_CHANNEL_NAME);
}

void CDlgPgChannels::ShowAsioNameOption(int checked)
{
    m_nAsioNames = checked;
    if (!m_hWnd)
        return;
    // Not read: unchecked, and not to be changed from a value nobody knows.
    const int shown = m_nAsioNames;
    if (m_nAsioNames < 0)
        m_nAsioNames = 0;
    UpdateData(FALSE);
    m_nAsioNames = shown;
    m_AsioNamesCheck.EnableWindow(shown >= 0);
    UpdateAsioDisplayNames();
}

void CDlgPgChannels::OnAsioNamesClicked()
{
    UpdateData(TRUE);
    const uint32_t option = uint32_t(m_nAsioNames);
    const CWriteResult result = SentWriteResult(theDrv.SetAsioNameOption(&option));
    IPageHost* host = GetPageHost();
    if (result.outcome == CWriteOutcome::Applied) {
        theDrv.m_AsioNameOption = option;
        if (host)
            host->ShowAsioNameOption(m_nAsioNames);
        return;
    }
    // Not taken: both pages show the driver's value again, as it is now.
    if (host)
        host->ShowDriversAsioNameOption();
    TellWriteOutcome(result, IDS_SUBJECT_NAME_OPTION);
}

void CDlgPgChannels::OnItemChanged(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    UpdateHardwareName();
}

void CDlgPgChannels::OnDoubleClick(NMHDR*, LRESULT* pResult)
{
    *pResult = 0;
    OnEditName();
}

void CDlgPgChannels::OnEditName()
{
    DWORD_PTR index = 0;
    if (m_ChannelList.GetSelectedItemData(&index))
        EditChannelName(index);
}
