// Windows bound to C++ objects, and message maps.
//
// A class that handles messages declares a map and writes it in its .cpp; entries are tried
// in order, then the base class's map (END_MESSAGE_MAP chains to it):
//
//     class CMainFrame : public CFrameWnd {
//         ...
//         int OnCreate(LPCREATESTRUCT lpcs);
//         void OnAppOpen();
//         LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
//         void OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
//         DECLARE_MESSAGE_MAP()
//     };
//
//     BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
//         ON_WM_CREATE()
//         ON_COMMAND(ID_APP_OPEN, OnAppOpen)
//         ON_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
//         ON_NOTIFY(TVN_SELCHANGED, IDC_TREE, OnSelChanged)
//     END_MESSAGE_MAP()
//
// Handler names are written plainly (OnAppOpen, not &CMainFrame::OnAppOpen). A handler that
// wants the default processing calls the base handler (CFrameWnd::OnCreate(lpcs),
// CDialog::OnShowWindow(bShow, nStatus)) or Default(). Unmatched messages get the default
// processing of the window's kind (DefWindowProc, DefDlgProc, or the subclassed control's own
// procedure).
//
// Binding: a window made by the framework is bound to its object at WM_NCCREATE (windows) or
// WM_INITDIALOG (dialogs, form views); earlier messages get the default processing. Native
// controls are bound with SubclassWindow / SubclassDlgItem / DDX_Control (SetWindowSubclass).
// At WM_NCDESTROY the binding is released and m_hWnd becomes null, so an object may outlive
// its window (a page object, a control wrapper). OnFinalMessage runs once the outermost
// message being handled on the thread has returned (not only that window's: a page's handler
// may wait in DoModal while the frame and the view that owns the page are destroyed); only
// objects that own themselves (m_bAutoDelete: the frame and view made by the document
// template) delete themselves there. Destroying an
// object destroys the window it created (or unsubclasses a control it only bound). No C++
// exception ever leaves a handler into USER32.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "AfxRes.h"

#include <string>

class CWnd;
class CDataExchange;

// Base of everything that takes commands: windows, the document, the application.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // The class's message map (DECLARE_MESSAGE_MAP declares it, BEGIN_MESSAGE_MAP writes it).
    // Returns true when an entry handled the message; lResult is its answer.
    virtual bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    // Offers a menu or accelerator command (nCode 0) to this target's map. Frames and views
    // override it to route commands: view, then document, then frame, then application.
    virtual bool OnCmdMsg(UINT nID, int nCode);
};

// Run-time class for dynamic creation by the document template:
// RUNTIME_CLASS(CMyView) needs only a default constructor.
struct CRuntimeClass {
    const char* m_lpszClassName;
    CCmdTarget* (*m_pfnCreateObject)();

    CCmdTarget* CreateObject() const { return m_pfnCreateObject(); }

    template <class T> static const CRuntimeClass* Of(const char* name)
    {
        static const CRuntimeClass rc = {name, []() -> CCmdTarget* { return new T; }};
        return &rc;
    }
};
#define RUNTIME_CLASS(class_name) (CRuntimeClass::Of<class_name>(#class_name))

// ---- message maps ---------------------------------------------------------------------------

#define DECLARE_MESSAGE_MAP()                                                                      \
public:                                                                                            \
    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult)        \
        override;                                                                                  \
                                                                                                   \
protected:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    bool theClass::ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,                \
                                        LRESULT& lResult)                                          \
    {                                                                                              \
        typedef baseClass TheBaseClass;                                                            \
        (void)message;                                                                             \
        (void)wParam;                                                                              \
        (void)lParam;                                                                              \
        (void)lResult;

#define END_MESSAGE_MAP()                                                                          \
    return TheBaseClass::ProcessWindowMessage(message, wParam, lParam, lResult);                   \
    }

// Any message: LRESULT memberFxn(WPARAM, LPARAM).
#define ON_MESSAGE(msg, memberFxn)                                                                 \
    if (message == (UINT)(msg)) {                                                                  \
        lResult = memberFxn(wParam, lParam);                                                       \
        return true;                                                                               \
    }

// A message registered at run time (RegisterWindowMessage), kept in a variable: LRESULT
// memberFxn(WPARAM, LPARAM). A registration that failed (0) matches nothing.
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                         \
    if ((nMessageVariable) != 0 && message == (UINT)(nMessageVariable)) {                          \
        lResult = memberFxn(wParam, lParam);                                                       \
        return true;                                                                               \
    }

// Menu item, accelerator or button click with this id: void memberFxn().
#define ON_COMMAND(id, memberFxn)                                                                  \
    if (AfxIsCommand(message, wParam, lParam, (UINT)(id))) {                                       \
        memberFxn();                                                                               \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }

// Menu items with ids from first to last: void memberFxn(UINT nID).
#define ON_COMMAND_RANGE(first, last, memberFxn)                                                   \
    if (message == WM_COMMAND && LOWORD(wParam) >= (first) && LOWORD(wParam) <= (last) &&          \
        AfxIsCommand(message, wParam, lParam, LOWORD(wParam))) {                                   \
        memberFxn(LOWORD(wParam));                                                                 \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }

// WM_COMMAND notification nCode from the control with this id: void memberFxn().
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                     \
    if (message == WM_COMMAND && LOWORD(wParam) == (WORD)(id) &&                                   \
        HIWORD(wParam) == (WORD)(wNotifyCode)) {                                                   \
        memberFxn();                                                                               \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)

// WM_NOTIFY code from the control with this id: void memberFxn(NMHDR*, LRESULT* pResult).
// *pResult starts at 0 and is the message's answer (DWLP_MSGRESULT in dialogs).
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                                      \
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == (UINT)(wNotifyCode) &&   \
        reinterpret_cast<NMHDR*>(lParam)->idFrom == (UINT_PTR)(id)) {                              \
        lResult = 0;                                                                               \
        memberFxn(reinterpret_cast<NMHDR*>(lParam), &lResult);                                     \
        return true;                                                                               \
    }

// Window messages with cracked arguments (handler names and signatures as in CWnd below).
#define ON_WM_CREATE()                                                                             \
    if (message == WM_CREATE) {                                                                    \
        lResult = OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));                              \
        return true;                                                                               \
    }
#define ON_WM_DESTROY()                                                                            \
    if (message == WM_DESTROY) {                                                                   \
        OnDestroy();                                                                               \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_WM_CLOSE()                                                                              \
    if (message == WM_CLOSE) {                                                                     \
        OnClose();                                                                                 \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_WM_SIZE()                                                                               \
    if (message == WM_SIZE) {                                                                      \
        OnSize((UINT)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam));                        \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_WM_TIMER()                                                                              \
    if (message == WM_TIMER) {                                                                     \
        OnTimer((UINT_PTR)wParam);                                                                 \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_WM_HSCROLL()                                                                            \
    if (message == WM_HSCROLL) {                                                                   \
        OnHScroll(LOWORD(wParam), HIWORD(wParam), CWnd::FromHandlePermanent((HWND)lParam));        \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_WM_SHOWWINDOW()                                                                         \
    if (message == WM_SHOWWINDOW) {                                                                \
        OnShowWindow((BOOL)wParam, (UINT)lParam);                                                  \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_WM_SYSCOMMAND()                                                                         \
    if (message == WM_SYSCOMMAND) {                                                                \
        OnSysCommand((UINT)wParam, lParam);                                                        \
        lResult = 0;                                                                               \
        return true;                                                                               \
    }
#define ON_WM_DEVICECHANGE()                                                                       \
    if (message == WM_DEVICECHANGE) {                                                              \
        lResult = OnDeviceChange((UINT)wParam, (DWORD_PTR)lParam);                                 \
        return true;                                                                               \
    }

// Hands the message to another class's map (for example a member's), continuing if unhandled.
#define CHAIN_MSG_MAP(theChainClass)                                                               \
    if (theChainClass::ProcessWindowMessage(message, wParam, lParam, lResult))                     \
        return true;

// True for WM_COMMAND from a menu or accelerator (lParam 0) or a BN_CLICKED, with this id.
inline bool AfxIsCommand(UINT message, WPARAM wParam, LPARAM lParam, UINT nID)
{
    if (message != WM_COMMAND || LOWORD(wParam) != nID)
        return false;
    return HIWORD(wParam) == 0 || (lParam == 0 && HIWORD(wParam) == 1);
}

// Registers a window class of this name whose windows are bound like those of the
// framework's own class: for a top-level window that other programs find by its class, as
// a second start finds the main frame. Returns the name, or null when it cannot be registered.
LPCSTR AfxRegisterWndClassNamed(LPCSTR lpszClassName);

// Registers the common control classes once (templates and wrappers need them).
void AfxEnsureCommonControls();

// Keyboard navigation of the controls inside hWndNav (IsDialogMessage), and Enter on a focused
// push button presses it. Used by the modeless dialogs' and the frame's PreTranslateMessage.
BOOL AfxIsDialogMessage(HWND hWndNav, MSG* pMsg);

// Enables or disables a window. A disabled control keeps no keyboard focus, and the keyboard
// would be left with nothing to drive: a child window that has the focus (itself or inside
// it, as a combo box's edit field) first hands it on, to the control its parent's object
// names (CWnd::GetFocusSuccessor), else to the next one in the tab order of its top-level
// window, as Tab would.
BOOL AfxEnableWindow(HWND hWnd, BOOL bEnable);

// ---- CWnd -----------------------------------------------------------------------------------

class CWnd : public CCmdTarget {
public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object bound to a window by this framework, or nullptr.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Creates a window. lpszClassName null: the framework's own window class (bound at
    // WM_NCCREATE), as is a class of AfxRegisterWndClassNamed; a system or control class:
    // created, then subclassed and bound.
    bool CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, UINT_PTR nIDorHMenu);
    bool CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, HWND hWndParent, UINT_PTR nIDorHMenu)
    {
        return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, hWndParent, nIDorHMenu);
    }
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    BOOL DestroyWindow();

    // Binds this object to an existing control (SetWindowSubclass); its map then sees the
    // control's messages first. Fails when the window is already bound to an object.
    // Note: a subclassed control's map gets text messages (WM_SETTEXT...) in wide form.
    bool SubclassWindow(HWND hWnd);
    bool SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();
    // Non-owning handle only: no messages, no binding (for wrappers used as plain helpers).
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach()
    {
        HWND h = m_hWnd;
        m_hWnd = nullptr;
        return h;
    }

    // Message pre-translation: a registered filter (modeless dialogs register themselves)
    // or the main window sees every message of the thread before it is dispatched.
    // Return TRUE when the message has been handled.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // The control that takes the keyboard focus from a child of this window about to be
    // disabled; null for the next one in tab order.
    virtual HWND GetFocusSuccessor(HWND /*hWndChild*/) { return nullptr; }

    // The one route of a change of scale: this window and every window below it bound to an
    // object lay themselves out for this DPI, parents before children, each once per DPI
    // however often it is told (OnDpiLayout). Top-level windows start it on WM_DPICHANGED; a
    // frame already when Windows asks for its size at the new DPI.
    void LayOutForDpi(UINT dpi);
    // The DPI the window is laid out for: its own when it was bound, then each one it followed.
    UINT GetLayoutDpi() const { return m_nLayoutDpi; }

    // Dialog data exchange (dialogs and form views): UpdateData(FALSE) fills the controls
    // from the members, UpdateData(TRUE) reads and validates them; false on a failed check.
    bool UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Called after WM_NCDESTROY once the thread's outermost message has returned; with
    // m_bAutoDelete (set by the document template on its frame and view) it deletes the object.
    virtual void OnFinalMessage(HWND hWnd);
    bool m_bAutoDelete = false;

    // The default processing of the message being handled.
    LRESULT Default();
    const MSG* GetCurrentMessage() const { return m_pCurrentMsg; }

    // Thin wrappers over USER32.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return AfxEnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
    std::string GetWindowText() const;
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void GetClientRect(RECT* lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void GetWindowRect(RECT* lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
    }
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
    }
    DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_STYLE); }
    DWORD GetExStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE); }
    void ModifyStyle(DWORD dwRemove, DWORD dwAdd);
    void ModifyStyleEx(DWORD dwRemove, DWORD dwAdd);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
    HMENU GetMenu() const { return ::GetMenu(m_hWnd); }
    BOOL SetMenu(HMENU hMenu) { return ::SetMenu(m_hWnd, hMenu); }

    // Default handlers, for derived handlers that want the default processing.
    int OnCreate(LPCREATESTRUCT lpcs);
    void OnDestroy() { Default(); }
    void OnClose() { Default(); }
    void OnSize(UINT, int, int) { Default(); }
    void OnTimer(UINT_PTR) { Default(); }
    void OnHScroll(UINT, UINT, CWnd*) { Default(); }
    void OnShowWindow(BOOL, UINT) { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    BOOL OnDeviceChange(UINT, DWORD_PTR) { return (BOOL)Default(); }

    // Framework internals shared by the window, dialog and subclass procedures.
    enum class Kind { None, Window, Dialog, Subclass };
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    static INT_PTR CALLBACK DlgProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static const char* WndClassName(); // the framework's window class, registered on first use

protected:
    // What the window made for oldDpi, made again for newDpi: fonts, lengths given in pixels,
    // images. A window or page joins the route by overriding this, calling its base first
    // (the framework's dialogs, form views and status bar lay out their own parts there).
    // Its children follow after it returns.
    virtual void OnDpiLayout(UINT oldDpi, UINT newDpi) { (void)oldDpi, (void)newDpi; }

    // Routes one message: WM_COMMAND through OnCommand, everything else through the map.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    // WM_COMMAND: a notification from a control that is not this window's child (Enter on a
    // page's button reaches the dialog manager's target) goes to the control's own parent;
    // the rest goes to the map.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    Kind m_kind = Kind::None;

private:
    friend class CDialog;
    void Bind(HWND hWnd, Kind kind, bool bOwnsWindow);
    void Unbind();
    LRESULT Dispatch(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, bool& bHandled);
    LRESULT DefaultProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    bool m_bOwnsWindow = false;
    UINT m_nLayoutDpi = 0;
    const MSG* m_pCurrentMsg = nullptr;
    UINT m_nDefaultPendingMsg = 0; // dialogs: Default() re-enters DefDlgProc for this message
    bool m_bDefaultPending = false;
};
