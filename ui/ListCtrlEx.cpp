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
    int index = 0;
    for (const CListColumn& column : columns)
        InsertColumn(index++, AfxLoadString(column.heading).c_str(), LVCFMT_LEFT, column.width);
    SetExtendedStyle(GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT |
                     LVS_EX_HEADERDRAGDROP);
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
