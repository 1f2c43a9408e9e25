#include "ProfileDlg.h"

#include <algorithm>

#include "resource.h"

namespace {

// The result column: the outcome, and for a refusal or a skip why.
std::string ResultText(const CSettingResult& result)
{
    std::string text = OutcomeName(result.outcome);
    const std::string reason = ResultReason(result);
    return reason.empty() ? text : text + ": " + reason;
}

} // namespace

CProfileDlg::CProfileDlg(const std::vector<CSettingResult>& results, Mode mode, CWnd* pParent)
    : CDialog(IDD_PROFILE_RESULTS, pParent), m_Results(results), m_Mode(mode)
{
}

void CProfileDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROFILE_LIST, m_List);
}

BOOL CProfileDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    struct Column {
        UINT heading;
        int width;
    } const columns[] = {{IDS_PROFILE_COLUMN_SETTING, 220},
                         {IDS_PROFILE_COLUMN_CURRENT, 110},
                         {IDS_PROFILE_COLUMN_NEW, 110},
                         {IDS_PROFILE_COLUMN_RESULT, 140}};
    for (int i = 0; i < 4; ++i)
        m_List.InsertColumn(i, AfxLoadString(columns[i].heading).c_str(), LVCFMT_LEFT,
                            columns[i].width);
    m_List.SetExtendedStyle(m_List.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    FillList();
    // A refusal's reason is read whole, with the list scrolled sideways if need be.
    const int resultColumn = 3;
    m_List.SendMessage(LVM_SETCOLUMNWIDTH, resultColumn, LVSCW_AUTOSIZE);
    if (m_List.SendMessage(LVM_GETCOLUMNWIDTH, resultColumn) < columns[resultColumn].width)
        m_List.SendMessage(LVM_SETCOLUMNWIDTH, resultColumn, columns[resultColumn].width);
    ::SetDlgItemTextA(m_hWnd, IDC_PROFILE_SUMMARY, OutcomeSummary(m_Results).c_str());
    if (m_Mode == RESULTS) {
        // Nothing is left to do but read it: Close alone, the default for Enter and Esc.
        SetWindowText(AfxLoadString(IDS_PROFILE_RESULT_CAPTION).c_str());
        ::ShowWindow(::GetDlgItem(m_hWnd, IDOK), SW_HIDE);
        ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), FALSE);
        ::SetDlgItemTextA(m_hWnd, IDCANCEL, AfxLoadString(IDS_PROFILE_CLOSE).c_str());
        SendMessage(DM_SETDEFID, IDCANCEL);
    }
    // The list first, so the keyboard scrolls it at once; Tab reaches the buttons.
    ::SetFocus(m_List.m_hWnd);
    // What the user came to see: the first setting refused or skipped, else the first
    // that changes.
    auto find = [this](bool (*wanted)(CSettingOutcome)) {
        return std::find_if(m_Results.begin(), m_Results.end(),
                            [wanted](const CSettingResult& r) { return wanted(r.outcome); });
    };
    auto first = find([](CSettingOutcome o) {
        return o == CSettingOutcome::Refused || o == CSettingOutcome::Skipped;
    });
    if (first == m_Results.end())
        first = find([](CSettingOutcome o) { return o != CSettingOutcome::Unchanged; });
    const int row = first == m_Results.end() ? 0 : int(first - m_Results.begin());
    if (m_List.GetItemCount() > 0) {
        m_List.SetItemState(row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
        m_List.EnsureVisible(row, FALSE);
    }
    return FALSE;
}

void CProfileDlg::FillList()
{
    for (size_t i = 0; i < m_Results.size(); ++i) {
        const CSettingResult& result = m_Results[i];
        const int row = m_List.InsertItem(int(i), result.setting.c_str());
        m_List.SetItemText(row, 1, result.current.c_str());
        m_List.SetItemText(row, 2, result.wanted.c_str());
        m_List.SetItemText(row, 3, ResultText(result).c_str());
    }
}
