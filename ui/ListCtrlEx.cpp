#include "ListCtrlEx.h"

bool CListCtrlEx::GetSelectedItemData(DWORD_PTR* data) const
{
    const int row = GetSelectedItem();
    if (row < 0)
        return false;
    *data = GetItemData(row);
    return true;
}

void CListCtrlEx::SetUpColumns(std::initializer_list<CListColumn> columns)
{
    const UINT dpi = AfxGetWindowDpi(m_hWnd);
    m_columnWidths.clear();
    for (const CListColumn& column : columns) {
        InsertColumn(int(m_columnWidths.size()), AfxLoadString(column.heading).c_str(), LVCFMT_LEFT,
                     AfxScaleForDpi(column.width, dpi));
        m_columnWidths.push_back(column.width);
    }
    SetExtendedStyle(GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT |
                     LVS_EX_HEADERDRAGDROP);
}

void CListCtrlEx::RescaleColumns(UINT oldDpi, UINT newDpi)
{
    for (size_t i = 0; i < m_columnWidths.size(); ++i) {
        const int column = int(i), width = GetColumnWidth(column);
        // A width as given is scaled from its 96-DPI value, so that rounding never drifts.
        const bool asGiven = width == AfxScaleForDpi(m_columnWidths[i], oldDpi);
        SetColumnWidth(column, asGiven ? AfxScaleForDpi(m_columnWidths[i], newDpi)
                                       : AfxScaleBetweenDpis(width, oldDpi, newDpi));
    }
}

int CListCtrlEx::InsertRow(int index, std::initializer_list<std::string> texts, DWORD_PTR data)
{
    // Text and item data in one insert, and only the cells that are not empty: a new row's
    // cells start empty. Every message costs a round through the window manager, and a
    // separate LVM_SETITEM for the data would also report a change to the page twice.
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<LPSTR>(texts.size() ? texts.begin()->c_str() : "");
    item.lParam = LPARAM(data);
    const int row = int(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return row;
    int column = 0;
    for (const std::string& text : texts) {
        if (column > 0 && !text.empty())
            SetItemText(row, column, text.c_str());
        ++column;
    }
    return row;
}

void CListCtrlEx::SelectRow(int row)
{
    if (row >= 0 && row < GetItemCount())
        SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
