// Modal and modeless dialogs.
#include "AfxDialog.h"
#include "AfxAccessible.h"
#include "AfxApp.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

CDialog::~CDialog()
{
    if (AfxGetApp())
        AfxGetApp()->RemoveMessageFilter(this);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

namespace {

bool HoldsFocus(HWND hWnd)
{
    HWND hWndFocus = ::GetFocus();
    return hWndFocus && (hWndFocus == hWnd || ::IsChild(hWnd, hWndFocus));
}

HWND OwnerFor(CWnd* pParentWnd)
{
    if (pParentWnd && pParentWnd->m_hWnd)
        return pParentWnd->m_hWnd;
    CWnd* pMain = AfxGetMainWnd();
    return pMain ? pMain->m_hWnd : nullptr;
}

} // namespace

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    AfxEnsureCommonControls();
    m_bModal = true;
    INT_PTR result =
        ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                          OwnerFor(m_pParentWnd), DlgProc, (LPARAM) static_cast<CWnd*>(this));
    m_bModal = false;
    return result;
}

bool CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    if (m_hWnd)
        return false;
    AfxEnsureCommonControls();
    m_nIDTemplate = nIDTemplate;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    m_bModal = false;
    HWND hWnd =
        ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDTemplate),
                             OwnerFor(m_pParentWnd), DlgProc, (LPARAM) static_cast<CWnd*>(this));
    if (!hWnd || m_hWnd != hWnd)
        return false;
    // A child dialog is a host of controls: keyboard navigation descends into it.
    if (GetStyle() & WS_CHILD)
        ModifyStyleEx(0, WS_EX_CONTROLPARENT);
    return true;
}

void CDialog::EndDialog(int nResult)
{
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, nResult);
    else
        ::DestroyWindow(m_hWnd);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (m_dpiLayout.OnMessage(m_hWnd, message, lResult))
        return true;
    switch (message) {
    case WM_INITDIALOG:
        if (!m_bModal && AfxGetApp())
            AfxGetApp()->AddMessageFilter(this);
        CAccessibleControl::NameByLabels(m_hWnd);
        lResult = OnInitDialog();
        return true;
    case WM_DPICHANGED:
        if (!(GetStyle() & WS_CHILD))
            LayOutForDpi(LOWORD(wParam));
        break; // the system's own rescaling of the dialog follows
    case WM_DESTROY:
        if (AfxGetApp())
            AfxGetApp()->RemoveMessageFilter(this);
        break;
    case WM_SHOWWINDOW:
        // A child dialog hidden with the focus inside would leave the keys to a control no one
        // sees: its parent takes the focus (a dialog passes it to its first control).
        if (!wParam && (GetStyle() & WS_CHILD) && HoldsFocus(m_hWnd))
            ::SetFocus(GetParent());
        break;
    default:
        break;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, lResult);
}

void CDialog::OnDpiLayout(UINT, UINT newDpi)
{
    m_dpiLayout.LayOutAt(m_hWnd, newDpi);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (!m_hWnd || (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)))
        return FALSE;
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    // Child dialogs navigate as part of their top-level window.
    HWND hWndNav = (GetStyle() & WS_CHILD) ? ::GetAncestor(m_hWnd, GA_ROOT) : m_hWnd;
    return AfxIsDialogMessage(hWndNav, pMsg);
}

BOOL AfxIsDialogMessage(HWND hWndNav, MSG* pMsg)
{
    // Enter on a focused push button presses it. The dialog manager only does so for the
    // default button of hWndNav itself, which a button inside a child page never is.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) {
        HWND hWndFocus = ::GetFocus();
        LRESULT code = hWndFocus ? ::SendMessageA(hWndFocus, WM_GETDLGCODE, 0, 0) : 0;
        if (hWndFocus && ::IsChild(hWndNav, hWndFocus) &&
            (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
            ::SendMessageA(hWndFocus, BM_CLICK, 0, 0);
            return TRUE;
        }
    }
    return ::IsDialogMessageA(hWndNav, pMsg);
}

namespace {

void HandFocusOn(HWND hWndLeaving)
{
    HWND hWndNext = nullptr;
    if (CWnd* pParent = CWnd::FromHandlePermanent(::GetParent(hWndLeaving)))
        hWndNext = pParent->GetFocusSuccessor(hWndLeaving);
    if (!hWndNext)
        hWndNext = ::GetNextDlgTabItem(::GetAncestor(hWndLeaving, GA_ROOT), hWndLeaving, FALSE);
    if (!hWndNext || hWndNext == hWndLeaving)
        return;
    // Through the dialog that holds it, as Tab would: an edit field gets its text selected.
    ::SendMessageA(::GetParent(hWndNext), WM_NEXTDLGCTL, (WPARAM)hWndNext, TRUE);
    if (!HoldsFocus(hWndNext))
        ::SetFocus(hWndNext);
}

} // namespace

BOOL AfxEnableWindow(HWND hWnd, BOOL bEnable)
{
    if (!bEnable && (::GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD) && HoldsFocus(hWnd))
        HandFocusOn(hWnd);
    return ::EnableWindow(hWnd, bEnable);
}
