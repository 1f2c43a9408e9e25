// The "Synchronisation" page: the sampling-rate selection mode, the sampling rate, the clock
// source and the clock master. This page reads the mode, the clock master and the rate list
// from the driver; the clock-source list and applying a change come with the page's own
// work, so the source list and the Apply buttons stay disabled.
#pragma once

#include "DialogPage.h"

class DlgPgSync : public CDialogPage {
public:
    explicit DlgPgSync(CWnd* pParentWnd = nullptr);
    ~DlgPgSync() override;

    CButton m_RateApplyButton;
    CButton m_MasterApplyButton;
    CComboBox m_RateList;
    CComboBox m_SourceList;
    CButton m_MasterPcRadio;
    CButton m_MasterDeviceRadio;
    int m_nMasterChoice = -1; // -1 none, 0 the PC, 1 the device is clock master
    CButton m_ModeApplyButton;
    CButton m_AutomaticRadio;
    CButton m_ManualRadio;
    int m_nModeChoice = -1; // -1 none, 0 automatic, 1 manual
    CButton m_SourceApplyButton;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnRefresh() override;

    DECLARE_MESSAGE_MAP()

private:
    void ReadSelectionMode();
    void ReadClockMaster();
    void FillSampleRates();
    // Stores the choice, shows it, and enables the group's radios only for a known choice.
    void SetChoice(int& choice, int value, CButton& first, CButton& second);
};
