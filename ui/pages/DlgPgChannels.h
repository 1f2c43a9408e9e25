// The "Input Channels" and "Output Channels" pages (one class, two directions): every
// channel with its device, its name and its ASIO display name, the hardware name of the
// selected channel, renaming through the channel-name dialog, and the option that puts the
// device name in front of ASIO display names, which both pages always show alike.
#pragma once

#include "DialogPage.h"
#include "Drv.h"
#include "ListCtrlEx.h"

class CDlgPgChannels : public CDialogPage {
public:
    explicit CDlgPgChannels(KvxUsbDirection direction, CWnd* pParentWnd = nullptr);
    ~CDlgPgChannels() override;

    void FillChannelList();
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

    void OnAsioNamesClicked();
    void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDoubleClick(NMHDR* pNMHDR, LRESULT* pResult);
    void OnEditName();

    DECLARE_MESSAGE_MAP()

private:
    CChannelArray& Channels() const;
    void UpdateAsioDisplayNames();
    void UpdateHardwareName();
    // Renames the channel at this index of the page's channel array through the name dialog.
    void EditChannelName(size_t index);

    CButton m_EditNameButton;
    int m_nAsioNames = 0; // 1: display names start with the device name
    std::string m_strHardwareName;
    const KvxUsbDirection m_Direction;
};
