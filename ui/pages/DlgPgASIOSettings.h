// The "Settings" page: the isochronous stream, ASIO and WDM buffer depths, each on a slider
// with its own Apply button, shown in milliseconds (and in samples at the current rate for
// ASIO and WDM), and the ASIO drop-out count, read once a second while the page is visible.
#pragma once

#include "DialogPage.h"
#include "KvxUsbRecords.h"
#include "SettingCatalogue.h"

#include <string>

class CDlgPgASIOSettings : public CDialogPage {
public:
    explicit CDlgPgASIOSettings(CWnd* pParentWnd = nullptr);
    ~CDlgPgASIOSettings() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The drop-out count is read only while the page can be seen on the screen.
    void FollowScreenVisibility() override;
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;

    CButton m_AsioApplyButton;
    CSliderCtrl m_WdmSlider;
    CSliderCtrl m_AsioSlider;
    CButton m_StreamApplyButton;
    CSliderCtrl m_StreamSlider;
    std::string m_strStream;
    std::string m_strAsio;
    CToolTipCtrl m_ToolTip;
    UINT_PTR m_nStatisticsTimer = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Re-reads the three depths; a depth that cannot be read or shown disables its slider.
    void OnRefresh() override;

    void OnTimer(UINT_PTR nIDEvent);
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    void OnApplyStream();
    void OnApplyAsio();
    void OnApplyWdm();

    DECLARE_MESSAGE_MAP()

private:
    // The once-a-second timer of the drop-out count.
    static constexpr UINT_PTR STATISTICS_TIMER_ID = 27;

    // Tips wrap at 180 pixels, at 96 DPI.
    void SetToolTipWidth(UINT dpi);
    // Shown itself (or about to be), and the window it sits in shown and not minimised.
    bool IsSeenOnScreen(bool pageShown) const;
    void PollStatistics(bool poll);
    bool SetupStreamSlider();
    void SetupBufferSlider(CSliderCtrl& slider, uint32_t step, uint32_t minimum, uint32_t maximum,
                           uint32_t depth);
    // The texts of the slider positions; an Apply button whose value changed is enabled.
    void UpdateLabels();
    void UpdateBufferLabel(CSliderCtrl& slider, uint32_t step, _KVX_USB_BUFFER_DEPTH& depth,
                           std::string& text, int applyId);
    // "5.0 ms" over "240 samples" at the current rate.
    std::string DepthText(const _KVX_USB_BUFFER_DEPTH& depth) const;

    // Texts shown on lines beside a slider are spoken as one line: "5.0 ms, 240 samples".
    static std::string SpokenText(const std::string& shown);
    // The texts to their statics, and the sliders' values to a screen reader.
    void ShowTexts();
    // The driver's answer to an Apply shows only on the page (a refused depth springs back):
    // it is also given as the status text, where a screen reader looks for it.
    void ReportDepth(const CSliderCtrl& slider, const std::string& text);
    // After a depth's Apply: the streams restart when asked and the driver took the depth,
    // the page shows what the driver holds, and the user hears how it ended.
    void Applied(const CWriteResult& result, bool restartStreams, const CSliderCtrl& slider,
                 const std::string& text, UINT subjectId);

    // What a screen reader hears of each slider: its label and the text shown beside it.
    CAccessibleControl m_StreamSliderAccessible;
    CAccessibleControl m_AsioSliderAccessible;
    CAccessibleControl m_WdmSliderAccessible;
    std::string m_strDropOuts;
    std::string m_strWdm;
    _KVX_USB_BUFFER_DEPTH m_AsioDepth = {};
    _KVX_USB_BUFFER_DEPTH m_WdmDepth = {};
    _KVX_USB_STREAM_BUFFER_DEPTH m_StreamDepth = {};
    // The rate the sample counts are shown at, read with the depths; 0 when unread.
    uint32_t m_nSampleRate = 0;
    // The ASIO and WDM sliders have one position per millisecond, whatever the driver says:
    // the domain a profile and kvxuctl take too.
    const CSettingDomain& m_AsioDomain = Describe(CSettingId::AsioDepth).domain;
    const CSettingDomain& m_WdmDomain = Describe(CSettingId::WdmDepth).domain;
    const uint32_t m_AsioStep = m_AsioDomain.step, m_AsioMinimum = m_AsioDomain.minimum,
                   m_AsioMaximum = m_AsioDomain.maximum;
    const uint32_t m_WdmStep = m_WdmDomain.step, m_WdmMinimum = m_WdmDomain.minimum,
                   m_WdmMaximum = m_WdmDomain.maximum;
};
