// Dialogs from templates, modal and modeless, with dialog data exchange.
//
// Modal:
//     CAboutDlg dlg;                       // CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
//     INT_PTR result = dlg.DoModal();      // IDOK, IDCANCEL, or -1 when it could not be made
// The owner is the parent given to the constructor, else the application's main window.
//
// Modeless child page inside another window (a form view):
//     class CMyPage : public CDialog {
//     public:
//         CMyPage() : CDialog(IDD_MYPAGE) {}
//         void DoDataExchange(CDataExchange* pDX) override
//         {
//             CDialog::DoDataExchange(pDX);
//             DDX_Control(pDX, IDC_LIST, m_List);   // binds the wrapper to the control
//             DDX_Text(pDX, IDC_VALUE, m_strValue); // std::string or an integer
//             DDX_Check(pDX, IDC_CHECK, m_nCheck);
//             DDX_Radio(pDX, IDC_RADIO1, m_nChoice);  // first radio of the group; -1 = none
//         }
//         BOOL OnInitDialog() override { CDialog::OnInitDialog(); ...; return TRUE; }
//         void OnOK() override {}      // a page never ends itself on Enter or Escape
//         void OnCancel() override {}
//         ...
//         DECLARE_MESSAGE_MAP()
//     };
//     page.Create(IDD_MYPAGE, &view);  // template style WS_CHILD (DS_CONTROL recommended)
//
// A modeless dialog registers itself as a message filter while it exists, so its
// PreTranslateMessage sees the thread's messages (override it to relay to a tooltip, then
// call CDialog::PreTranslateMessage). For a child dialog, keyboard navigation
// (IsDialogMessage) runs on its top-level window, so Tab walks across the whole frame: from a
// control of the form into the page and back. Enter on a focused push button presses it;
// otherwise Enter and Escape reach the top-level window as IDOK / IDCANCEL commands (which
// nothing there handles), never the page. Answers to WM_NOTIFY go to DWLP_MSGRESULT.
#pragma once

#include "AfxWnd.h"
#include "Dpi.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate = 0, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    INT_PTR DoModal();
    bool Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult); // modal: ends DoModal; modeless: destroys the window

    virtual BOOL OnInitDialog(); // default: UpdateData(FALSE), returns TRUE
    virtual void OnOK();         // default: UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();     // default: EndDialog(IDCANCEL)

    BOOL PreTranslateMessage(MSG* pMsg) override;

    UINT m_nIDHelp = 0;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    // A child dialog lays out its template's font and controls again. A top-level one is left
    // to the system, which rescales dialogs itself; its controls bound to objects still follow
    // (WM_DPICHANGED starts the route).
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bModal = false;

private:
    CDialogDpiLayout m_dpiLayout;

    DECLARE_MESSAGE_MAP()
};

// Data exchange context: which window, which direction, and whether a check failed.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate != FALSE), m_pDlgWnd(pDlgWnd)
    {
    }

    bool m_bSaveAndValidate; // true: controls -> members
    CWnd* m_pDlgWnd;
    bool m_bFailed = false; // a check failed: later exchanges are skipped

    // The control with this id, or nullptr (which fails the exchange).
    HWND PrepareCtrl(int nIDC);
    // Tells the user (when text is given), puts the focus on the control, fails the exchange.
    void Fail(HWND hWndCtrl, const char* lpszText);
};

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
// Integers: the text must be a whole number in the type's range, else the user is told.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, unsigned int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, long& value);
void DDX_Text(CDataExchange* pDX, int nIDC, unsigned long& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value); // BST_UNCHECKED/CHECKED/INDETERMINATE
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value); // index in the group, -1 = none
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Handle only, no subclassing, for a control whose messages the wrapper never handles (its
// notifications go to the dialog): nothing sits between the wrapper's calls and the control.
// Taken again on every exchange, so it follows a dialog that was created anew.
void DDX_ControlHandle(CDataExchange* pDX, int nIDC, CWnd& rControl);
