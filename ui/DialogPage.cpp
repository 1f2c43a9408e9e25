#include "DialogPage.h"

#include <algorithm>

CDialogPage::CDialogPage(UINT nIDTemplate, CWnd* pParentWnd)
    : CDialog(nIDTemplate, pParentWnd), m_nIDPage(nIDTemplate)
{
}

void CDialogPage::Refresh(bool inSlices)
{
    if (!m_hWnd)
        return;
    m_bStale = false;
    if (inSlices)
        OnRefreshInSlices();
    else
        OnRefresh();
}

void CDialogPage::EnableControls(std::initializer_list<int> ids, bool enable)
{
    for (int id : ids)
        AfxEnableWindow(GetDlgItem(id), enable);
}

void CDialogPage::SetControlStates(std::initializer_list<std::pair<int, bool>> states)
{
    for (bool enable : {true, false})
        for (const auto& state : states)
            if (state.second == enable)
                AfxEnableWindow(GetDlgItem(state.first), enable);
}

void CDialogPage::AddApplyGroup(int applyId, UINT nameId, std::initializer_list<int> memberIds)
{
    auto accessible = std::make_unique<CAccessibleControl>();
    accessible->Attach(GetDlgItem(applyId), AfxLoadString(nameId));
    m_ApplyGroups.push_back({applyId, memberIds, std::move(accessible)});
}

void CDialogPage::GroupChanged(int applyId)
{
    AfxEnableWindow(GetDlgItem(applyId), TRUE);
}

void CDialogPage::DisableApplyButtons()
{
    for (const CApplyGroup& group : m_ApplyGroups)
        AfxEnableWindow(GetDlgItem(group.applyId), FALSE);
}

HWND CDialogPage::GetFocusSuccessor(HWND hWndChild)
{
    const int id = ::GetDlgCtrlID(hWndChild);
    for (const CApplyGroup& group : m_ApplyGroups) {
        if (group.applyId != id)
            continue;
        for (int memberId : group.memberIds) {
            HWND hWndMember = GetDlgItem(memberId);
            if (::IsWindowVisible(hWndMember) && ::IsWindowEnabled(hWndMember))
                return hWndMember;
        }
    }
    return nullptr;
}

BOOL CDialogPage::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN && m_hWnd &&
        ::GetParent(pMsg->hwnd) == m_hWnd) {
        char className[32] = "";
        ::GetClassNameA(pMsg->hwnd, className, sizeof className);
        if (lstrcmpiA(className, WC_LISTVIEWA) == 0) {
            ::TranslateMessage(pMsg);
            ::DispatchMessageA(pMsg);
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(pMsg);
}

bool CDialogPage::IsRefilling(HWND hWndControl) const
{
    return hWndControl &&
           std::find(m_Refilling.begin(), m_Refilling.end(), hWndControl) != m_Refilling.end();
}

void CDialogPage::NoteUserChange(int controlId, UINT notifyCode)
{
    if (notifyCode != BN_CLICKED && notifyCode != CBN_SELCHANGE)
        return;
    for (const CApplyGroup& group : m_ApplyGroups) {
        const auto& members = group.memberIds;
        if (std::find(members.begin(), members.end(), controlId) != members.end())
            GroupChanged(group.applyId);
    }
}

bool CDialogPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (message == WM_COMMAND && lParam) {
        if (IsRefilling(reinterpret_cast<HWND>(lParam))) {
            lResult = 0;
            return true;
        }
        // BN_CLICKED shares its code with a menu's 0, so only a control's counts.
        NoteUserChange(LOWORD(wParam), HIWORD(wParam));
    } else if (message == WM_NOTIFY && IsRefilling(reinterpret_cast<NMHDR*>(lParam)->hwndFrom)) {
        lResult = 0;
        return true;
    }
    return CDialog::OnWndMsg(message, wParam, lParam, lResult);
}

CDialogPage::CRefillGuard::CRefillGuard(CDialogPage& page, CWnd& control)
    : m_page(page), m_hWndControl(control.m_hWnd)
{
    m_page.m_Refilling.push_back(m_hWndControl);
    ::SendMessageA(m_hWndControl, WM_SETREDRAW, FALSE, 0);
}

CDialogPage::CRefillGuard::~CRefillGuard()
{
    auto& refilling = m_page.m_Refilling;
    refilling.erase(std::find(refilling.begin(), refilling.end(), m_hWndControl));
    if (!m_page.IsRefilling(m_hWndControl)) {
        ::SendMessageA(m_hWndControl, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(m_hWndControl, nullptr, TRUE);
    }
}
