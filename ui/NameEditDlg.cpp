#include "NameEditDlg.h"

#include <algorithm>

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
    // The names a profile and the command line take: a pasted tab or Ctrl+Backspace's 0x7F
    // would leave the device out of every later save.
    if (std::any_of(m_strName.begin(), m_strName.end(), IsControlByte)) {
        ::MessageBoxA(m_hWnd, AfxLoadString(IDS_NAME_CONTROL_BYTE).c_str(),
                      AfxLoadString(IDS_NAME_CONTROL_BYTE_CAPTION).c_str(), MB_OK | MB_ICONWARNING);
        ::SetFocus(::GetDlgItem(m_hWnd, IDC_NAME_EDIT));
        return;
    }
    SetRecordText(m_NameField, m_strName.c_str());
    EndDialog(IDOK);
}
