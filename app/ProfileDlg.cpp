#include "ProfileDlg.h"

#include <algorithm>

#include "KvxUsbStatus.h"
#include "resource.h"

namespace {

// Columns at 96 DPI; the last one fills the rest of the list.
struct Column {
    UINT heading;
    int width;
};
const Column kColumns[] = {{IDS_PROFILE_COLUMN_SETTING, 220},
                           {IDS_PROFILE_COLUMN_CURRENT, 110},
                           {IDS_PROFILE_COLUMN_NEW, 110},
                           {IDS_PROFILE_COLUMN_RESULT, 140}};
const int kColumnCount = int(sizeof kColumns / sizeof kColumns[0]);

// What the user came to see comes first: what went wrong, then what changes.
int Rank(CSettingOutcome outcome)
{
    switch (outcome) {
    case CSettingOutcome::Refused:
    case CSettingOutcome::NoAnswer:
        return 0;
    case CSettingOutcome::Skipped:
        return 1;
    case CSettingOutcome::Unchanged:
        return 3;
    default:
        return 2;
    }
}

// The result column's words: the outcome, and why ("refused: audio is streaming; stop
// playback and try again: KVX_USB_E_STREAMING_ACTIVE (0xE0000047)").
std::string ResultText(const CSettingResult& result)
{
    const std::string reason = ResultReason(result);
    const std::string outcome = OutcomeName(result.outcome);
    return reason.empty() ? outcome : outcome + ": " + reason;
}

// The indexes of the results in the order listed, each group in the order of the load.
std::vector<size_t> RowOrder(const std::vector<CSettingResult>& results, bool hideUnchanged)
{
    std::vector<size_t> order;
    for (size_t i = 0; i < results.size(); ++i)
        if (!hideUnchanged || results[i].outcome != CSettingOutcome::Unchanged)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&results](size_t a, size_t b) {
        return Rank(results[a].outcome) < Rank(results[b].outcome);
    });
    return order;
}

// The setting, its values and its result, on lines of their own for the reason field.
std::string ReasonFieldText(const CSettingResult& result)
{
    const std::string values =
        result.current.empty() ? result.wanted : result.current + " -> " + result.wanted;
    return result.setting + ": " + values + "\r\n" + ResultText(result);
}

} // namespace

BEGIN_MESSAGE_MAP(CProfileDlg, CDialog)
ON_WM_SIZE()
ON_BN_CLICKED(IDC_PROFILE_HIDE_UNCHANGED, OnHideUnchanged)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_PROFILE_LIST, OnItemChanged)
ON_MESSAGE(WM_GETMINMAXINFO, OnGetMinMaxInfo)
END_MESSAGE_MAP()

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
    RECT window = {};
    GetWindowRect(&window);
    m_MinSize = {window.right - window.left, window.bottom - window.top};
    InsertColumns();
    m_List.SetExtendedStyle(m_List.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    ::SetDlgItemTextA(m_hWnd, IDC_PROFILE_SUMMARY, OutcomeSummary(m_Results).c_str());
    if (m_Mode == RESULTS)
        ShowResultsMode();
    RECT client = {};
    GetClientRect(&client);
    Layout(client.right, client.bottom);
    FillList();
    // The list first, so the keyboard scrolls it at once; Tab reaches the reason and the
    // buttons.
    ::SetFocus(m_List.m_hWnd);
    return FALSE;
}

void CProfileDlg::InsertColumns()
{
    m_nDpi = AfxGetWindowDpi(m_hWnd);
    for (int i = 0; i < kColumnCount; ++i)
        m_List.InsertColumn(i, AfxLoadString(kColumns[i].heading).c_str(), LVCFMT_LEFT,
                            AfxScaleForDpi(kColumns[i].width, m_nDpi));
}

void CProfileDlg::ShowResultsMode()
{
    // Nothing is left to do but read it: Close alone, the default for Enter and Esc.
    SetWindowText(AfxLoadString(IDS_PROFILE_RESULT_CAPTION).c_str());
    ::ShowWindow(::GetDlgItem(m_hWnd, IDOK), SW_HIDE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), FALSE);
    ::SetDlgItemTextA(m_hWnd, IDCANCEL, AfxLoadString(IDS_PROFILE_CLOSE).c_str());
    SendMessage(DM_SETDEFID, IDCANCEL);
}

void CProfileDlg::FillList()
{
    const int selectedRow = m_List.GetNextItem(-1, LVNI_SELECTED);
    const size_t selected = selectedRow < 0 ? m_Results.size() : m_List.GetItemData(selectedRow);
    const bool hide = ::IsDlgButtonChecked(m_hWnd, IDC_PROFILE_HIDE_UNCHANGED) == BST_CHECKED;
    m_List.DeleteAllItems();
    int select = 0;
    for (size_t index : RowOrder(m_Results, hide)) {
        const CSettingResult& result = m_Results[index];
        const int row = m_List.InsertItem(m_List.GetItemCount(), result.setting.c_str());
        m_List.SetItemData(row, index);
        m_List.SetItemText(row, 1, result.current.c_str());
        m_List.SetItemText(row, 2, result.wanted.c_str());
        m_List.SetItemText(row, 3, ResultText(result).c_str());
        if (index == selected)
            select = row;
    }
    if (m_List.GetItemCount() > 0) {
        m_List.SetItemState(select, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
        m_List.EnsureVisible(select, FALSE);
    }
    FitLastColumn(); // a vertical scroll bar may have come or gone
    ShowSelectedReason();
}

void CProfileDlg::ShowSelectedReason()
{
    const int row = m_List.GetNextItem(-1, LVNI_SELECTED);
    const std::string text = row < 0 ? "" : ReasonFieldText(m_Results[m_List.GetItemData(row)]);
    ::SetDlgItemTextA(m_hWnd, IDC_PROFILE_REASON, text.c_str());
}

void CProfileDlg::OnSize(UINT nType, int cx, int cy)
{
    if (nType != SIZE_MINIMIZED)
        Layout(cx, cy);
}

void CProfileDlg::Layout(int cx, int cy)
{
    if (!m_List.m_hWnd)
        return;
    // Dialog units, as the template has them: the margin, the gap between controls, a
    // button, the reason field, a line of text and the check box.
    RECT u = {7, 4, 50, 14};
    ::MapDialogRect(m_hWnd, &u);
    const int margin = u.left, gap = u.top, buttonWidth = u.right, buttonHeight = u.bottom;
    RECT h = {36, 10, 10, 0};
    ::MapDialogRect(m_hWnd, &h);
    const int reasonHeight = h.left, lineHeight = h.top, checkHeight = h.right;

    const int buttonsTop = cy - margin - buttonHeight;
    const int cancelLeft = cx - margin - buttonWidth;
    const int loadLeft = cancelLeft - margin - buttonWidth;
    const int summaryTop = buttonsTop - gap - lineHeight;
    const int reasonTop = summaryTop - gap - reasonHeight;
    // Each field's label just above it, which is where a screen reader takes its name from.
    const int reasonLabelTop = reasonTop - lineHeight;
    const int listTop = margin + lineHeight;
    const int listBottom = reasonLabelTop - gap;
    struct Place {
        int id, x, y, width, height;
    } const places[] = {
        {IDC_PROFILE_LIST_LABEL, margin, margin, cx - 2 * margin, lineHeight},
        {IDC_PROFILE_LIST, margin, listTop, cx - 2 * margin, listBottom - listTop},
        {IDC_PROFILE_REASON_LABEL, margin, reasonLabelTop, cx - 2 * margin, lineHeight},
        {IDC_PROFILE_REASON, margin, reasonTop, cx - 2 * margin, reasonHeight},
        {IDC_PROFILE_SUMMARY, margin, summaryTop, cx - 2 * margin, lineHeight},
        {IDC_PROFILE_HIDE_UNCHANGED, margin, buttonsTop + (buttonHeight - checkHeight) / 2,
         loadLeft - 2 * margin, checkHeight},
        {IDOK, loadLeft, buttonsTop, buttonWidth, buttonHeight},
        {IDCANCEL, cancelLeft, buttonsTop, buttonWidth, buttonHeight},
    };
    for (const Place& p : places)
        ::SetWindowPos(::GetDlgItem(m_hWnd, p.id), nullptr, p.x, p.y, std::max(p.width, 0),
                       std::max(p.height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
    FitLastColumn();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CProfileDlg::FitLastColumn()
{
    RECT client = {};
    ::GetClientRect(m_List.m_hWnd, &client);
    int rest = client.right;
    for (int i = 0; i + 1 < kColumnCount; ++i)
        rest -= m_List.GetColumnWidth(i);
    const int least = AfxScaleForDpi(kColumns[kColumnCount - 1].width, m_nDpi);
    m_List.SetColumnWidth(kColumnCount - 1, std::max(rest, least));
}

void CProfileDlg::OnHideUnchanged()
{
    FillList();
}

void CProfileDlg::OnItemChanged(NMHDR* pNMHDR, LRESULT*)
{
    const NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(pNMHDR);
    if (change->uChanged & LVIF_STATE)
        ShowSelectedReason();
}

LRESULT CProfileDlg::OnGetMinMaxInfo(WPARAM, LPARAM lParam)
{
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMinTrackSize = {m_MinSize.cx, m_MinSize.cy};
    return 0;
}

void CProfileDlg::OnDpiLayout(UINT oldDpi, UINT newDpi)
{
    // The system lays the template out again at the new DPI; the lengths given in pixels
    // follow here, and the last column fills what the list has once it is sized anew.
    CDialog::OnDpiLayout(oldDpi, newDpi);
    for (int i = 0; i + 1 < kColumnCount; ++i)
        m_List.SetColumnWidth(i, AfxScaleBetweenDpis(m_List.GetColumnWidth(i), oldDpi, newDpi));
    m_MinSize = {AfxScaleBetweenDpis(m_MinSize.cx, oldDpi, newDpi),
                 AfxScaleBetweenDpis(m_MinSize.cy, oldDpi, newDpi)};
    m_nDpi = newDpi;
    FitLastColumn();
}

CProfileNotesDlg::CProfileNotesDlg(const std::vector<std::string>& notes, CWnd* pParent)
    : CDialog(IDD_PROFILE_NOTES, pParent), m_Notes(notes)
{
}

BOOL CProfileNotesDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    std::string text;
    for (const std::string& note : m_Notes)
        text += note + "\r\n";
    HWND field = ::GetDlgItem(m_hWnd, IDC_PROFILE_NOTES);
    ::SetWindowTextA(field, text.c_str());
    // Read from the top, nothing selected, the keyboard in the list at once.
    ::SetFocus(field);
    ::SendMessageA(field, EM_SETSEL, 0, 0);
    ::SendMessageA(field, EM_SCROLLCARET, 0, 0);
    return FALSE;
}
