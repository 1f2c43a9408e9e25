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
ON_WM_TIMER()
END_MESSAGE_MAP()

CDlgPgChannels::CDlgPgChannels(KvxUsbDirection direction, CWnd* pParentWnd)
    : CDialogPage(IDD_PAGE_CHANNELS, pParentWnd), m_Direction(direction)
{
}

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

// What one refresh reads, in the order of a whole refresh: the channels of the page's
// direction, then each channel's device, straight from the driver (the cached device list may
// be old). Read in steps, so that a long read can give way to the window's messages; the page
// shows none of it before it is complete.
struct CDlgPgChannels::CChannelRead {
    explicit CChannelRead(KvxUsbDirection direction) : direction(direction) {}
    // Reads on until the read is complete or budgetMs has passed; true when complete.
    bool ReadFor(DWORD budgetMs);

    const KvxUsbDirection direction;
    bool idsRead = false;
    DWORD status = 0; // of the channels' load: any failure leaves the list empty
    std::vector<uint32_t> ids;
    size_t nextId = 0, nextDevice = 0;
    CChannelArray channels;
    std::vector<CChannelRow> rows; // the channels whose device was read whole
};

bool CDlgPgChannels::CChannelRead::ReadFor(DWORD budgetMs)
{
    const DWORD start = ::GetTickCount();
    const auto inBudget = [&] { return ::GetTickCount() - start < budgetMs; };
    if (!idsRead) {
        idsRead = true;
        status = theDrv.ReadChannelIds(direction, ids);
        if (status != 0)
            return true;
    }
    for (; nextId < ids.size() && inBudget(); ++nextId) {
        const DWORD read = theDrv.AddChannels(channels, {ids[nextId]});
        if (status == 0)
            status = read;
    }
    if (nextId < ids.size())
        return false;
    for (; status == 0 && nextDevice < channels.size() && inBudget(); ++nextDevice) {
        // Zeroed, so that a short answer shows an empty name rather than garbage.
        const uint32_t deviceId = channels[nextDevice]->DeviceId;
        _KVX_USB_DEVICE_PROPERTIES device = {};
        if (theDrv.GetDeviceProperties(&deviceId, &device) == 0)
            rows.push_back({RecordText(device.DeviceName),
                            RecordText(channels[nextDevice]->ChannelName), nextDevice});
    }
    return status != 0 || nextDevice == channels.size();
}

CDlgPgChannels::~CDlgPgChannels() = default;

void CDlgPgChannels::FillChannelList()
{
    if (!m_hWnd)
        return;
    StopReading(); // overtaken by this read
    CChannelRead read(m_Direction);
    read.ReadFor(INFINITE);
    ShowRead(read);
}

void CDlgPgChannels::ShowRead(CChannelRead& read)
{
    CDrv::FreeChannels(Channels());
    Channels().swap(read.channels);
    // Rows as shown stay: hundreds of rows refilled cost far more than their reads, and a
    // storm of change records mostly changes nothing the list shows.
    if (read.rows != m_ShownRows) {
        const int selected = m_ChannelList.GetSelectedItem();
        CRefillGuard refill(*this, m_ChannelList);
        m_ChannelList.DeleteAllItems();
        for (const CChannelRow& row : read.rows)
            m_ChannelList.InsertRow(int(row.index), {row.device, row.channel, ""}, row.index);
        m_ShownRows = std::move(read.rows);
        m_ShownAsioNames.assign(m_ShownRows.size(), "");
        UpdateAsioDisplayNames();
        m_ChannelList.SelectRow(selected);
    }
    UpdateHardwareName();
}

void CDlgPgChannels::OnRefreshInSlices()
{
    // Changes reported during a read may postdate what it has read already: one more follows.
    if (m_Read) {
        m_bReadAgain = true;
        return;
    }
    m_Read = std::make_unique<CChannelRead>(m_Direction);
    // On a timer, which comes after input and painting: posted messages would come first.
    if (!SetTimer(kReadTimerId, USER_TIMER_MINIMUM))
        FillChannelList();
}

void CDlgPgChannels::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent != kReadTimerId || !m_Read) {
        CDialogPage::OnTimer(nIDEvent);
        return;
    }
    if (!m_Read->ReadFor(kReadSliceMs))
        return; // the timer comes again
    const std::unique_ptr<CChannelRead> read = std::move(m_Read);
    KillTimer(kReadTimerId);
    ShowRead(*read);
    if (m_bReadAgain) {
        m_bReadAgain = false;
        OnRefreshInSlices();
    }
}

void CDlgPgChannels::StopReading()
{
    m_Read.reset();
    m_bReadAgain = false;
    KillTimer(kReadTimerId);
}

void CDlgPgChannels::UpdateAsioDisplayNames()
{
    // From the texts the rows were given, and only the names that change: each cell read or
    // set is a message to the list.
    for (size_t row = 0; row < m_ShownRows.size(); ++row) {
        // Without the option the names an ASIO host shows are not known.
        const std::string name =
            m_nAsioNames < 0 ? std::string()
                             : AsioDisplayName(uint32_t(m_nAsioNames), m_ShownRows[row].device,
                                               m_ShownRows[row].channel);
        if (name == m_ShownAsioNames[row])
            continue;
        m_ChannelList.SetItemText(int(row), COLUMN_ASIO_NAME, name.c_str());
        m_ShownAsioNames[row] = name;
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
