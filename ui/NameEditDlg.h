// A modal dialog that edits the name field of a copy of a driver record. The field is
// changed only when the dialog ends with OK: at most 39 bytes of the typed text and a zero
// byte after them, and a zero in the field's last byte; the rest of the record, and the
// field's bytes after the new name, stay as the driver gave them.
#pragma once

#include "Afx.h"
#include "KvxUsbRecords.h"

#include <string>

class CNameEditDlg : public CDialog {
public:
    typedef char NameField[KVX_USB_NAME_SIZE];

    CNameEditDlg(UINT nIDTemplate, NameField& nameField, CWnd* pParentWnd = nullptr);

    std::string m_strName; // the text in the edit field

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    NameField& m_NameField;
};
