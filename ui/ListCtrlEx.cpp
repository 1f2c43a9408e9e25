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
    const int row = InsertItem(index, texts.size() ? texts.begin()->c_str() : "");
    if (row < 0)
        return row;
    int column = 0;
    for (const std::string& text : texts) {
        if (column > 0)
            SetItemText(row, column, text.c_str());
        ++column;
    }
    SetItemData(row, data);
    return row;
}

void CListCtrlEx::SelectRow(int row)
{
    if (row >= 0 && row < GetItemCount())
        SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
