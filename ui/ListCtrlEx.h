// The list control of the channels and devices pages: a single-selection report list whose
// rows carry the index of their record as item data.
#pragma once

#include "Afx.h"

#include <initializer_list>
#include <string>
#include <vector>

// A column of a page list: the string id of its heading and its width in pixels at 96 DPI.
struct CListColumn {
    UINT heading;
    int width;
};

class CListCtrlEx : public CListCtrl {
public:
    // The first selected row (the page lists allow one), or -1 when none is selected.
    int GetSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
    // The item data of the selected row; false when no row is selected.
    bool GetSelectedItemData(DWORD_PTR* data) const;

    // Left-aligned columns in this order, their widths scaled to the list's DPI, with grid
    // lines, full-row selection and movable headings added to the list's own extended styles.
    void SetUpColumns(std::initializer_list<CListColumn> columns);

    // Every column's width, laid out for oldDpi, at newDpi: widths the user dragged keep
    // their share.
    void RescaleColumns(UINT oldDpi, UINT newDpi);

    // Inserts a row at index with one text per column, from the first, and its item data;
    // returns the row, or -1 when the list refused it.
    int InsertRow(int index, std::initializer_list<std::string> texts, DWORD_PTR data);

    // Selects and focuses the row; nothing when the list has no such row (it got shorter).
    void SelectRow(int row);

private:
    std::vector<int> m_columnWidths; // as given, at 96 DPI
};
