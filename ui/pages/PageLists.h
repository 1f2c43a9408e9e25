// What the list pages share: the look of their report lists and keeping the selected row
// across a refill.
#pragma once

#include "ListCtrlEx.h"

// Grid lines, full-row selection and movable column headings, added to the list's own.
inline void AddPageListStyles(CListCtrlEx& list)
{
    list.SetExtendedStyle(list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT |
                          LVS_EX_HEADERDRAGDROP);
}

// Selects and focuses the row again after a refill; nothing when the list got shorter.
inline void SelectPageListRow(CListCtrlEx& list, int row)
{
    if (row >= 0 && row < list.GetItemCount())
        list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
