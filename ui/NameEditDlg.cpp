#include "NameEditDlg.h"

#include "KvxUsbText.h"
#include "resource.h"

CNameEditDlg::CNameEditDlg(UINT nIDTemplate, NameField& nameField, CWnd* pParentWnd)
    : CDialog(nIDTemplate, pParentWnd), m_NameField(nameField)
{
}

void CNameEditDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_NAME_EDIT, m_strName);
}

BOOL CNameEditDlg::OnInitDialog()
{
    // Never past the field, also when the driver left it without a terminator.
    m_strName = RecordText(m_NameField);
    return CDialog::OnInitDialog();
}

void CNameEditDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    SetRecordText(m_NameField, m_strName.c_str());
    EndDialog(IDOK);
}
