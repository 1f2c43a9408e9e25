// Document, views, the frame window and the single-document template.
//
// The application registers one template and creates the document through it:
//     AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CMyDoc),
//                                           RUNTIME_CLASS(CMainFrame), RUNTIME_CLASS(CMyView)));
//     CCommandLineInfo cmdInfo;
//     if (!ProcessShellCommand(cmdInfo)) return FALSE;   // creates document, frame, view
//
// Order: the document is constructed; the frame is constructed and created (LoadFrame:
// PreCreateWindow, then WM_CREATE); the frame's CFrameWnd::OnCreate constructs the view and
// creates its window (child id AFX_IDW_PANE_FIRST). Then the document's OnNewDocument runs,
// the application's m_pMainWnd becomes the frame, the view becomes the frame's active view,
// the view's OnInitialUpdate runs, and the frame is shown with the application's m_nCmdShow
// (used up: set to -1). The frame and view objects delete themselves once their windows are
// destroyed; the document lives as long as the template (the application).
//
// A frame derived from CFrameWnd handles WM_CREATE by calling CFrameWnd::OnCreate(lpcs) first.
// A status bar created as a child with id AFX_IDW_STATUS_BAR is laid out at the bottom by
// RecalcLayout, the view fills the rest; pane 0 of that bar shows menu prompts (the string
// with the command's id, up to its line break) and, once a menu closes and the message loop
// is idle, "Ready" (string AFX_IDS_IDLEMESSAGE).
//
// Commands (menu, tray menu with the frame as owner) are offered to the active
// view, then the document, then the frame's own map, then the application.
//
// The frame keeps the keyboard focus as a dialog box does: the control inside it that had the
// focus when it was deactivated (by another window, a modal dialog or a message box) gets it
// back when the frame is activated again; the first time, and when that control can no longer
// take it, the active view does.
//
// A form view is a child dialog on a template:
//     class CMyView : public CFormView {
//     public:
//         CMyView() : CFormView(IDD_FORM) {}
//         void OnInitialUpdate() override { CFormView::OnInitialUpdate(); ... }
//     };
// CFormView::OnInitialUpdate exchanges data (UpdateData(FALSE), binding DDX_Control members).
#pragma once

#include "AfxWnd.h"
#include "Dpi.h"

#include <memory>
#include <vector>

class CView;
class CFrameWnd;
class CSingleDocTemplate;

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    ~CDocument() override;

    virtual BOOL OnNewDocument() { return TRUE; }

    void AddView(CView* pView);
    void RemoveView(CView* pView);
    const std::vector<CView*>& GetViews() const { return m_views; }
    CSingleDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& title) { m_strTitle = title; }

private:
    friend class CSingleDocTemplate;
    std::vector<CView*> m_views;
    CSingleDocTemplate* m_pDocTemplate = nullptr;
    std::string m_strTitle;
};

struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
    CSingleDocTemplate* m_pNewDocTemplate = nullptr;
};

class CView : public CWnd {
public:
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrame() const;

    // Creates the view's window as a child of the frame. Generic views get a plain child
    // window; CFormView creates its dialog template.
    virtual bool Create(CWnd* pParentWnd, UINT nID);
    virtual void OnInitialUpdate() {}

    // Commands: the view's map, then the document's.
    bool OnCmdMsg(UINT nID, int nCode) override;

    void OnDestroy(); // leaves the frame without an active view if it was this one

protected:
    CView() = default;

private:
    friend class CFrameWnd;
    friend class CDocument;
    CDocument* m_pDocument = nullptr;

    DECLARE_MESSAGE_MAP()
};

class CFormView : public CView {
public:
    bool Create(CWnd* pParentWnd, UINT nID) override;
    void OnInitialUpdate() override; // UpdateData(FALSE)

    // Sizes the parent frame so that its view area is the form's designed size; with
    // bShrinkOnly the frame only gets smaller.
    void ResizeParentToFit(BOOL bShrinkOnly = TRUE);
    // The template's size in pixels at the DPI the form is laid out for.
    SIZE GetFormSize() const { return m_dpiLayout.GetSize(); }

protected:
    explicit CFormView(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    // Lays out the template's font and controls again, and the form's designed size with them.
    void OnDpiLayout(UINT oldDpi, UINT newDpi) override;

    UINT m_nIDTemplate;

private:
    CDialogDpiLayout m_dpiLayout;
};

// Frame-only style bits (meaningful to the framework's own window class only).
#define FWS_ADDTOTITLE 0x00008000L  // title is "document - application"
#define FWS_PREFIXTITLE 0x00004000L // (with FWS_ADDTOTITLE) document name first

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the frame: menu and icon nIDResource (when present), title from string
    // nIDResource (up to its first line break). Accelerator tables are not used: none of
    // their commands has a handler here, and translating them would take editing keys
    // (Ctrl+C, Ctrl+V) away from edit fields.
    bool LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
    // Default: the framework's window class, WS_EX_CLIENTEDGE added.
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* pViewNew);
    // Status bar (child AFX_IDW_STATUS_BAR) at the bottom, the view (AFX_IDW_PANE_FIRST) in
    // the rest of the client area.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
    // Shows the frame: nCmdShow -1 means shown normally (restored when minimised).
    virtual void ActivateFrame(int nCmdShow = -1);

    // Pane 0 of the status bar.
    void SetMessageText(LPCSTR lpszText);
    void SetMessageText(UINT nID); // the string's text up to its line break
    // Idle processing of the message loop: puts "Ready" back after a menu has closed.
    virtual void OnIdleUpdate();

    // Commands: active view (and its document), this frame's map, then the application.
    bool OnCmdMsg(UINT nID, int nCode) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    int OnCreate(LPCREATESTRUCT lpcs); // creates the view of the creation context
    void OnSize(UINT nType, int cx, int cy);

protected:
    virtual bool OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext);
    CView* CreateView(CCreateContext* pContext, UINT nID = AFX_IDW_PANE_FIRST);
    bool OnCommand(WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    LRESULT OnMenuSelect(WPARAM wParam, LPARAM lParam);
    LRESULT OnExitMenuLoop(WPARAM wParam, LPARAM lParam);
    LRESULT OnActivateMsg(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetFocusMsg(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcDestroyMsg(WPARAM wParam, LPARAM lParam);
    // Windows asks for the frame's size at the DPI it is about to take (per-monitor v2, Windows
    // 10 1703 on). A frame the user cannot resize is as large as its bars and its form view,
    // which are known only once laid out at that DPI: they are laid out now (LayOutForDpi), and
    // the size around them is the answer. A frame the user sizes keeps the system's.
    LRESULT OnGetDpiScaledSizeMsg(WPARAM wParam, LPARAM lParam);
    // Moved to a screen of another DPI: the frame and its children lay themselves out for it,
    // unless the question above did already, and the frame takes the system's rectangle, sized
    // once: with the size answered above, or, where nothing was asked (before Windows 10 1703,
    // per-monitor v1), around its content with the frame's borders as they are.
    LRESULT OnDpiChangedMsg(WPARAM wParam, LPARAM lParam);
    // WM_SYSCOLORCHANGE and WM_SETTINGCHANGE reach top-level windows only: every window in the
    // frame hears them too, as the common controls must (they keep the colours they draw in).
    LRESULT OnSystemChangeMsg(WPARAM wParam, LPARAM lParam);

    std::string m_strTitle;
    UINT m_nIDTracking = AFX_IDS_IDLEMESSAGE; // the text pane 0 should show (string id)
    UINT m_nIDLastMessage = 0;                // the text it shows (0: a text the program set)

private:
    bool RestoreFocusControl();
    // The status bar's height as it lays itself out now; 0 without a visible one.
    int StatusBarHeight();
    // The client size that holds the bars and the form view as they are laid out; false for
    // a frame the user sizes, or without a form view.
    bool GetContentClientSize(SIZE* size);

    CView* m_pViewActive = nullptr;
    UINT m_nDpiSizeAnswered = 0; // the DPI whose WM_GETDPISCALEDSIZE the frame answered
    CCreateContext* m_pCreateContext = nullptr;
    HWND m_hWndFocus = nullptr; // the control with the focus when the frame was deactivated

    DECLARE_MESSAGE_MAP()
};

class CSingleDocTemplate : public CCmdTarget {
public:
    CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                       const CRuntimeClass* pFrameClass, const CRuntimeClass* pViewClass);
    ~CSingleDocTemplate() override;

    // Creates the document (or reuses the one it has), the frame and the view; on failure
    // tells the user (AFX_IDP_FAILED_TO_CREATE_DOC) and returns nullptr.
    CDocument* OpenDocumentFile(LPCSTR lpszPathName, BOOL bMakeVisible = TRUE);

    CDocument* GetDocument() const { return m_pOnlyDoc.get(); }
    UINT GetResourceId() const { return m_nIDResource; }

private:
    UINT m_nIDResource;
    const CRuntimeClass* m_pDocClass;
    const CRuntimeClass* m_pFrameClass;
    const CRuntimeClass* m_pViewClass;
    std::unique_ptr<CDocument> m_pOnlyDoc;
};
