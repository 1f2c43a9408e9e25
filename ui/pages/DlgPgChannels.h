// The "Input Channels" and "Output Channels" pages (one class, two directions): every
// channel with its device, its name and its ASIO display name. Renaming, the hardware name
// of the selected channel and changing the display-name option come with the page's own
// work; until then those controls stay disabled.
#pragma once

#include "DialogPage.h"
#include "Drv.h"
#include "ListCtrlEx.h"

class CDlgPgChannels : public CDialogPage {
public:
    explicit CDlgPgChannels(KvxUsbDirection direction, CWnd* pParentWnd = nullptr);
    ~CDlgPgChannels() override;

    void FillChannelList();
    void UpdateAsioDisplayNames();

    CButton m_AsioNamesCheck;
    CWnd m_HardwareNameEdit;
    CStatic m_HardwareNameLabel;
    CButton m_EditNameButton;
    CListCtrlEx m_ChannelList;
    int m_nAsioNames = 0; // 1: display names start with the device name
    std::string m_strHardwareName;
    const KvxUsbDirection m_Direction;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnRefresh() override { FillChannelList(); }

    DECLARE_MESSAGE_MAP()

private:
    CChannelArray& Channels() const;
};
