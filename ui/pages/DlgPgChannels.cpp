#include "DlgPgChannels.h"

#include "KvxUsbText.h"
#include "resource.h"

namespace {

enum { COLUMN_DEVICE, COLUMN_CHANNEL, COLUMN_ASIO_NAME };

// ASIO hosts show at most this many characters of a channel's name.
const size_t kAsioNameLength = 32;

} // namespace

BEGIN_MESSAGE_MAP(CDlgPgChannels, CDialogPage)
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
    DDX_Control(pDX, IDC_CHANNEL_HW_NAME, m_HardwareNameEdit);
    DDX_Control(pDX, IDC_CHANNEL_HW_LABEL, m_HardwareNameLabel);
    DDX_Control(pDX, IDC_CHANNEL_EDIT_NAME, m_EditNameButton);
    DDX_Control(pDX, IDC_CHANNEL_LIST, m_ChannelList);
    DDX_Check(pDX, IDC_CHANNEL_ASIO_NAMES, m_nAsioNames);
    DDX_Text(pDX, IDC_CHANNEL_HW_NAME, m_strHardwareName);
}

BOOL CDlgPgChannels::OnInitDialog()
{
    CDialogPage::OnInitDialog();
    m_ChannelList.SetUpColumns({{IDS_COLUMN_DEVICE_NAME, 160},
                                {IDS_COLUMN_CHANNEL_NAME, 160},
                                {IDS_COLUMN_ASIO_NAME, 180}});
    // Renaming, the hardware name and changing the option are not built yet.
    EnableControls(
        {IDC_CHANNEL_EDIT_NAME, IDC_CHANNEL_HW_LABEL, IDC_CHANNEL_HW_NAME, IDC_CHANNEL_ASIO_NAMES},
        false);
    uint32_t option = 0;
    if (theDrv.GetAsioNameOption(&option) == 0) {
        theDrv.m_AsioNameOption = option;
        m_nAsioNames = option != 0 ? 1 : 0;
    }
    FillChannelList();
    UpdateData(FALSE);
    return TRUE;
}

void CDlgPgChannels::FillChannelList()
{
    if (!m_hWnd)
        return;
    const int selected = m_ChannelList.GetSelectedItem();
    CRefillGuard refill(*this, m_ChannelList);
    m_ChannelList.DeleteAllItems();
    CChannelArray& channels = Channels();
    if (theDrv.LoadChannels(channels, m_Direction) == 0) {
        for (size_t i = 0; i < channels.size(); ++i) {
            // The device's name straight from the driver: the cached device list may be old.
            // Zeroed, so that a short answer shows an empty name rather than garbage.
            const uint32_t deviceId = channels[i]->DeviceId;
            _KVX_USB_DEVICE_PROPERTIES device = {};
            if (theDrv.GetDeviceProperties(&deviceId, &device) != 0)
                continue;
            m_ChannelList.InsertRow(
                int(i), {RecordText(device.DeviceName), RecordText(channels[i]->ChannelName), ""},
                i);
        }
    }
    UpdateAsioDisplayNames();
    m_ChannelList.SelectRow(selected);
}

void CDlgPgChannels::UpdateAsioDisplayNames()
{
    const int rows = m_ChannelList.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        std::string name;
        if (m_nAsioNames != 0)
            name = m_ChannelList.GetItemText(row, COLUMN_DEVICE) + " - ";
        name += m_ChannelList.GetItemText(row, COLUMN_CHANNEL);
        m_ChannelList.SetItemText(row, COLUMN_ASIO_NAME, name.substr(0, kAsioNameLength).c_str());
    }
}
