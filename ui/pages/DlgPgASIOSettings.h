// The "Settings" page: the isochronous stream, ASIO and WDM buffer depths, each on its
// slider, and the ASIO drop-out count. This page reads the three depths into their sliders
// (a slider whose depth cannot be read is disabled); the value texts, applying a depth and
// the drop-out count come with the page's own work, so its Apply buttons stay disabled.
#pragma once

#include "DialogPage.h"
#include "KvxUsbRecords.h"

class CDlgPgASIOSettings : public CDialogPage {
public:
    explicit CDlgPgASIOSettings(CWnd* pParentWnd = nullptr);
    ~CDlgPgASIOSettings() override;

    CButton m_AsioApplyButton;
    CButton m_WdmApplyButton;
    CSliderCtrl m_WdmSlider;
    CSliderCtrl m_AsioSlider;
    CButton m_StreamApplyButton;
    CSliderCtrl m_StreamSlider;

    _KVX_USB_BUFFER_DEPTH m_AsioDepth = {};
    _KVX_USB_BUFFER_DEPTH m_WdmDepth = {};
    _KVX_USB_STREAM_BUFFER_DEPTH m_StreamDepth = {};
    // The ASIO and WDM sliders have one position per millisecond, whatever the driver says.
    const uint32_t m_BufferStep = 1000, m_BufferMinimum = 1000, m_BufferMaximum = 80000;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnRefresh() override;

    DECLARE_MESSAGE_MAP()

private:
    bool SetupStreamSlider();
    void SetupBufferSlider(CSliderCtrl& slider, uint32_t depth);
};
