// The "Synchronisation" page: the sampling-rate selection mode, the sampling rate, the clock
// source and the clock master, each group with its own Apply button. What the user sees is
// "Manual Mode", the rate list and the clock-source list; the selection-mode and clock-master
// controls stay hidden, yet keep their values and enabled states.
#pragma once

#include "DialogPage.h"

class DlgPgSync : public CDialogPage {
public:
    explicit DlgPgSync(CWnd* pParentWnd = nullptr);
    ~DlgPgSync() override;

    CButton m_RateApplyButton;
    CComboBox m_RateList;
    CComboBox m_SourceList;
    CButton m_MasterPcRadio;
    CButton m_AutomaticRadio;
    CButton m_ManualRadio;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // The mode, the clock master, the rates and the clock sources, as the driver has them.
    void OnRefresh() override;

    void OnApplyRate();
    void OnApplySource();
    void OnApplyMaster();
    void OnApplyMode();

    DECLARE_MESSAGE_MAP()

private:
    void ReadSelectionMode();
    void ReadClockMaster();
    void FillSampleRates();
    void FillClockSources();
    void SetSelectionModeChoice(int choice);
    void SetClockMasterChoice(int choice);
    // An applied change disables its Apply button; a refusal is told with streamingText while
    // audio streams, else refusedText; a change not sent or left unanswered is told as such.
    void TellOutcome(const CWriteResult& result, CButton& applyButton, UINT subjectId,
                     UINT streamingText, UINT refusedText);

    CButton m_MasterApplyButton;
    int m_nMasterChoice = -1; // -1 none, 0 the PC, 1 the device is clock master
    CButton m_ModeApplyButton;
    int m_nModeChoice = -1; // -1 none, 0 automatic, 1 manual
    CButton m_SourceApplyButton;
};
