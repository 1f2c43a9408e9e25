#include "DialogPage.h"

#include <algorithm>
#include <cstdio>

#include "KvxUsbStatus.h"
#include "resource.h"

namespace {

std::string Format(UINT formatId, const std::string& subject, const std::string& why = "",
                   const std::string& status = "")
{
    char text[512];
    std::snprintf(text, sizeof text, AfxLoadString(formatId).c_str(), subject.c_str(), why.c_str(),
                  status.c_str());
    return text;
}

// What the user is told of a write, or nothing when the driver took it or held it already.
std::string WriteOutcomeText(const CWriteResult& result, const std::string& subject)
{
    switch (result.outcome) {
    case CWriteOutcome::NotSent:
        return Format(IDS_WRITE_NOT_SENT, subject, StatusText(result.status));
    case CWriteOutcome::Refused:
        return Format(IDS_WRITE_REFUSED, subject, StatusSentence(result.status),
                      StatusText(result.status));
    case CWriteOutcome::NoAnswer:
        return Format(IDS_WRITE_NO_ANSWER, subject);
    default:
        return "";
    }
}

} // namespace

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

bool CDialogPage::TellWriteOutcome(const CWriteResult& result, UINT subjectId)
{
    const std::string text = WriteOutcomeText(result, AfxLoadString(subjectId));
    if (text.empty())
        return true;
    MessageBox(text.c_str(), AfxLoadString(IDS_ERROR_CAPTION).c_str(), MB_OK);
    return false;
}

void CDialogPage::TellRestartFailure(DWORD status, UINT subjectId)
{
    const std::string text = Format(IDS_RESTART_FAILED, AfxLoadString(subjectId),
                                    StatusSentence(status), StatusText(status));
    MessageBox(text.c_str(), AfxLoadString(IDS_ERROR_CAPTION).c_str(), MB_OK);
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
