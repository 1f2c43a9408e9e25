// Base of the settings pages: a modeless child dialog on its own template that the settings
// view creates inside itself and shows or hides. A page never closes itself: Enter and
// Escape leave it open and unchanged.
#pragma once

#include "Afx.h"

class CDialogPage : public CDialog {
public:
    CDialogPage(UINT nIDTemplate, CWnd* pParentWnd)
        : CDialog(nIDTemplate, pParentWnd), m_nIDPage(nIDTemplate)
    {
    }

    // Creates the page window, hidden, as a child of pParentWnd; false when it could not.
    bool Create(CWnd* pParentWnd) { return CDialog::Create(m_nIDPage, pParentWnd); }

    void OnOK() override {}
    void OnCancel() override {}

private:
    UINT m_nIDPage;
};
