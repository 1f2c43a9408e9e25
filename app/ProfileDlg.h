// The list of a settings profile's settings with their current and new values: first as
// the plan of a load ("Load" or "Cancel"), then with each setting's result ("Close"). What
// changes comes first; the unchanged settings can be hidden; the selected setting's whole
// reason is shown under the list, and the dialog can be resized.
#pragma once

#include <string>
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
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void InsertColumns();
    void ShowResultsMode();
    // Lists the rows as ordered, the unchanged ones unless the check box hides them, and
    // keeps the selected setting selected when it is still listed.
    void FillList();
    void ShowSelectedReason();
    void OnSize(UINT nType, int cx, int cy);
    void Layout(int cx, int cy);
    // The last column takes what the others leave, so nothing scrolls sideways.
    void FitLastColumn();
    void OnHideUnchanged();
    void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam);

    const std::vector<CSettingResult>& m_Results;
    Mode m_Mode;
    SIZE m_MinSize = {}; // the window's size as it opened: it may only grow
    UINT m_nDpi = 0;     // the DPI the column widths are scaled for

    DECLARE_MESSAGE_MAP()
};

// A long list of notes, to read whole and copy: the settings a save could not read.
class CProfileNotesDlg : public CDialog {
public:
    explicit CProfileNotesDlg(const std::vector<std::string>& notes, CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;

private:
    const std::vector<std::string>& m_Notes;
};
