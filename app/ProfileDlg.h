// The list of a settings profile's settings with their current and new values: first as
// the plan of a load ("Load" or "Cancel"), then with each setting's result ("Close").
#pragma once

#include <vector>

#include "Afx.h"
#include "ProfileApply.h"

class CProfileDlg : public CDialog {
public:
    enum Mode { PLAN, RESULTS };

    CProfileDlg(const std::vector<CSettingResult>& results, Mode mode, CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;

    CListCtrl m_List;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void FillList();

    const std::vector<CSettingResult>& m_Results;
    Mode m_Mode;
};
