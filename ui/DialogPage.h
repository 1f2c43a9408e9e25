// Base of the settings pages: a modeless child dialog on its own template that the settings
// view creates inside itself and shows or hides. A page never closes itself: Enter and
// Escape leave it open and unchanged.
//
// What every page shares lives here: refreshing only once the window exists, enabling
// controls by id, Apply buttons that follow their group, and refilling a list or combo box
// without its notifications looking like the user's changes. A control disabled while it has
// the keyboard focus hands it on first (an Apply button to its group's control, any other to
// the next in tab order), so that the keyboard always has a control to drive.
#pragma once

#include "Afx.h"
#include "Drv.h"

#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

class CDialogPage : public CDialog {
public:
    CDialogPage(UINT nIDTemplate, CWnd* pParentWnd);

    // Creates the page window, hidden, as a child of pParentWnd; false when it could not.
    bool Create(CWnd* pParentWnd) { return CDialog::Create(m_nIDPage, pParentWnd); }

    // Re-reads the page's values from the driver and shows them. Before the page window
    // exists there is nothing to show, and nothing is read.
    // inSlices: the page may read in slices between messages and show the read when it is
    // complete (a page that reads little does it at once).
    void Refresh(bool inSlices = false);
    // The driver may hold what the page does not show: it re-reads when next refreshed.
    void MarkStale() { m_bStale = true; }
    bool IsStale() const { return m_bStale; }

    // The page, or the window it sits in, was shown, hidden, minimised or restored. Pages
    // that poll the driver do so only while they can be seen.
    virtual void FollowScreenVisibility() {}

    void OnOK() override {}
    void OnCancel() override {}

    // Enter on a row of a list of the page reaches the list, which tells the page with
    // NM_RETURN, instead of the dialog manager taking it for a default button.
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // The page's own reading and filling, called by Refresh once the window exists.
    virtual void OnRefresh() = 0;
    virtual void OnRefreshInSlices() { OnRefresh(); }

    // Tells the user how a change of the subject (a string: "The clock source") ended, unless
    // the driver took it or held it already: not sent, refused, or left unanswered. True when
    // it was taken or held.
    bool TellWriteOutcome(const CWriteResult& result, UINT subjectId);
    // Tells a stream restart after an applied change that failed or went unanswered.
    void TellRestartFailure(DWORD status, UINT subjectId);

    // Enables or disables every control with one of these ids.
    void EnableControls(std::initializer_list<int> ids, bool enable);
    // Gives each control its state, the enabled ones first: a control that loses the focus by
    // being disabled can then hand it to one the same change enables.
    void SetControlStates(std::initializer_list<std::pair<int, bool>> states);

    // An Apply button and the controls whose changes it applies. A click on a member button
    // or radio, or a new selection in a member combo box, enables the Apply button; typing
    // into a combo box's edit field does not. Nothing else enables one but GroupChanged.
    // A screen reader names the button by the string nameId ("Apply sampling rate").
    void AddApplyGroup(int applyId, UINT nameId, std::initializer_list<int> memberIds);
    // Says that a value of the group of this Apply button changed: the button is enabled.
    void GroupChanged(int applyId);
    // Disables the Apply buttons of every group (after a refresh).
    void DisableApplyButtons();

    // An Apply button hands the focus to the first member of its group that can take it.
    HWND GetFocusSuccessor(HWND hWndChild) override;

    // While it lives, the control reports no changes (no WM_COMMAND or WM_NOTIFY reaches the
    // page from it) and does not redraw; at its end the control is redrawn once.
    class CRefillGuard {
    public:
        CRefillGuard(CDialogPage& page, CWnd& control);
        ~CRefillGuard();
        CRefillGuard(const CRefillGuard&) = delete;
        CRefillGuard& operator=(const CRefillGuard&) = delete;

    private:
        CDialogPage& m_page;
        HWND m_hWndControl;
    };

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    struct CApplyGroup {
        int applyId;
        std::vector<int> memberIds;
        std::unique_ptr<CAccessibleControl> accessible; // its name, for a screen reader
    };

    bool IsRefilling(HWND hWndControl) const;
    void NoteUserChange(int controlId, UINT notifyCode);

    UINT m_nIDPage;
    bool m_bStale = false;
    std::vector<CApplyGroup> m_ApplyGroups;
    std::vector<HWND> m_Refilling;
};
