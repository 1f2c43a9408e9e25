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
    const BOOL result = CDialog::OnInitDialog();
    // Typing stops where the field ends, rather than the name being cut on OK.
    ::SendDlgItemMessageA(m_hWnd, IDC_NAME_EDIT, EM_LIMITTEXT, sizeof m_NameField - 1, 0);
    return result;
}

void CNameEditDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    SetRecordText(m_NameField, m_strName.c_str());
    EndDialog(IDOK);
}
