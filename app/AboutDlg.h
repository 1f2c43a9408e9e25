// The about box: the title and version of the program and, when the driver answers, the
// versions of its control interface and of the driver, read afresh at every opening.
#pragma once

#include <string>

#include "Afx.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    std::string m_strAboutText;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    // Under high contrast the application icon in the dialog's text colour.
    BOOL OnInitDialog() override;

private:
    CIconHandle m_oneColourIcon; // shown by the icon control, which does not own it
};
