// The list control of the channels and devices pages.
#pragma once

#include "Afx.h"

class CListCtrlEx : public CListCtrl {
public:
    // The first selected row (the page lists allow one), or -1 when none is selected.
    int GetSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
};
