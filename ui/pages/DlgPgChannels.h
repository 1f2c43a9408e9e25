// The "Input Channels" and "Output Channels" pages (one class, two directions): every
// channel with its device, its name and its ASIO display name, the hardware name of the
// selected channel, renaming through the channel-name dialog, and the option that puts the
// device name in front of ASIO display names, which both pages always show alike.
#pragma once

#include "DialogPage.h"
#include "Drv.h"
#include "ListCtrlEx.h"

// One row of the list as given: the device's and the channel's name, and the channel's place
// in the page's channel array (the row's item data).
struct CChannelRow {
    std::string device, channel;
    size_t index;
    bool operator==(const CChannelRow& other) const
    {
        return index == other.index && device == other.device && channel == other.channel;
    }
    bool operator!=(const CChannelRow& other) const { return !(*this == other); }
};

class CDlgPgChannels : public CDialogPage {
public:
    explicit CDlgPgChannels(KvxUsbDirection direction, CWnd* pParentWnd = nullptr);
    ~CDlgPgChannels() override;

    void FillChannelList();
    // A refresh in slices is under way: the list shows the read before it.
    bool IsReading() const { return m_Read != nullptr; }
    // Shows the display-name option as checked (1) or not (0) and recomposes column 2;
    // the driver is not asked.
    // Checked (1) or not (0); -1: not read, unchecked and disabled, and no ASIO names shown.
    void ShowAsioNameOption(int checked);

    CButton m_AsioNamesCheck;
    CListCtrlEx m_ChannelList;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // The list is only attached (no messages of its own pass through the page's code):
    // its columns follow here.
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override
    {
        CDialogPage::OnDpiLayout(oldDpi, newDpi);
        m_ChannelList.RescaleColumns(oldDpi, newDpi);
    }
    void OnRefresh() override { FillChannelList(); }
    // Reads a slice of at most kReadSliceMs per timer message, then shows the whole read.
    void OnRefreshInSlices() override;
    void OnTimer(UINT_PTR nIDEvent);

    void OnAsioNamesClicked();
    void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDoubleClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnEditName();

    DECLARE_MESSAGE_MAP()

private:
    struct CChannelRead;
    static const UINT_PTR kReadTimerId = 1;
    static const DWORD kReadSliceMs = 50;

    CChannelArray& Channels() const;
    void ShowRead(CChannelRead& read);
    void StopReading();
    void UpdateAsioDisplayNames();
    void UpdateHardwareName();
    // Renames the channel at this index of the page's channel array through the name dialog.
    void EditChannelName(size_t index);

    CButton m_EditNameButton;
    int m_nAsioNames = 0; // 1: display names start with the device name
    std::string m_strHardwareName;
    const KvxUsbDirection m_Direction;
    std::unique_ptr<CChannelRead> m_Read;
    std::vector<CChannelRow> m_ShownRows;      // what the list holds, row by row
    std::vector<std::string> m_ShownAsioNames; // and in its third column
    bool m_bReadAgain = false;
};
