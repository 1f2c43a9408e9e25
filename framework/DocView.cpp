// Document, views, frame window and the single-document template.
#include "AfxDocView.h"
#include "AfxAccessible.h"
#include "AfxApp.h"

#include <algorithm>
#include <cstring>
#include <vector>

// ---- CDocument ------------------------------------------------------------------------------

CDocument::~CDocument()
{
    for (CView* pView : m_views)
        pView->m_pDocument = nullptr;
}

void CDocument::AddView(CView* pView)
{
    if (std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
    pView->m_pDocument = this;
}

void CDocument::RemoveView(CView* pView)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), pView), m_views.end());
    if (pView->m_pDocument == this)
        pView->m_pDocument = nullptr;
}

// ---- CView ----------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CView, CWnd)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

CFrameWnd* CView::GetParentFrame() const
{
    for (HWND hWnd = ::GetParent(m_hWnd); hWnd; hWnd = ::GetParent(hWnd)) {
        if (CFrameWnd* pFrame = dynamic_cast<CFrameWnd*>(FromHandlePermanent(hWnd)))
            return pFrame;
    }
    return nullptr;
}

bool CView::Create(CWnd* pParentWnd, UINT nID)
{
    RECT rect = {0, 0, 0, 0};
    return CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE, rect,
                    pParentWnd ? pParentWnd->m_hWnd : nullptr, nID);
}

bool CView::OnCmdMsg(UINT nID, int nCode)
{
    if (CCmdTarget::OnCmdMsg(nID, nCode))
        return true;
    return m_pDocument && m_pDocument->OnCmdMsg(nID, nCode);
}

void CView::OnDestroy()
{
    CFrameWnd* pFrame = GetParentFrame();
    if (pFrame && pFrame->GetActiveView() == this)
        pFrame->SetActiveView(nullptr);
    Default();
}

// ---- CFormView ------------------------------------------------------------------------------

namespace {

// A copy of a dialog template with its style made that of a child of the frame. Both template
// forms are handled: DLGTEMPLATE (style first) and DLGTEMPLATEEX (version 1, 0xFFFF, help id,
// extended style, style).
std::vector<BYTE> LoadChildTemplate(UINT nIDTemplate)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hRes = ::FindResourceA(hInst, MAKEINTRESOURCEA(nIDTemplate), (LPCSTR)RT_DIALOG);
    HGLOBAL hGlobal = hRes ? ::LoadResource(hInst, hRes) : nullptr;
    const BYTE* data = hGlobal ? static_cast<const BYTE*>(::LockResource(hGlobal)) : nullptr;
    DWORD size = hRes ? ::SizeofResource(hInst, hRes) : 0;
    if (!data || size < sizeof(DLGTEMPLATE))
        return {};
    std::vector<BYTE> copy(data, data + size);
    WORD version = 0, signature = 0;
    std::memcpy(&version, &copy[0], sizeof version);
    std::memcpy(&signature, &copy[2], sizeof signature);
    size_t styleOffset = (version == 1 && signature == 0xFFFF) ? 12 : 0;
    if (copy.size() < styleOffset + sizeof(DWORD))
        return {};
    DWORD style = 0;
    std::memcpy(&style, &copy[styleOffset], sizeof style);
    style &=
        ~(DWORD)(WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE);
    style |= WS_CHILD | DS_CONTROL;
    std::memcpy(&copy[styleOffset], &style, sizeof style);
    return copy;
}

} // namespace

bool CFormView::Create(CWnd* pParentWnd, UINT nID)
{
    if (m_hWnd || !pParentWnd)
        return false;
    AfxEnsureCommonControls();
    std::vector<BYTE> dialogTemplate = LoadChildTemplate(m_nIDTemplate);
    if (dialogTemplate.empty())
        return false;
    HWND hWnd = ::CreateDialogIndirectParamA(
        AfxGetResourceHandle(), reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()),
        pParentWnd->m_hWnd, DlgProc, (LPARAM) static_cast<CWnd*>(this));
    if (!hWnd || m_hWnd != hWnd)
        return false;
    ::SetWindowLongPtrA(hWnd, GWLP_ID, (LONG_PTR)nID);
    ModifyStyleEx(0, WS_EX_CONTROLPARENT);
    ShowWindow(SW_SHOW);
    return true;
}

bool CFormView::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (m_dpiLayout.OnMessage(m_hWnd, message, lResult))
        return true;
    if (message == WM_INITDIALOG) {
        CAccessibleControl::NameByLabels(m_hWnd);
        lResult = FALSE; // the form does not take the focus while the frame is being made
        return true;
    }
    return CView::OnWndMsg(message, wParam, lParam, lResult);
}

void CFormView::OnDpiLayout(UINT, UINT newDpi)
{
    m_dpiLayout.LayOutAt(m_hWnd, newDpi);
}

void CFormView::OnInitialUpdate()
{
    UpdateData(FALSE);
}

void CFormView::ResizeParentToFit(BOOL bShrinkOnly)
{
    CFrameWnd* pFrame = GetParentFrame();
    if (!pFrame || !m_hWnd)
        return;
    RECT client;
    GetClientRect(&client);
    LONG wantCx = GetFormSize().cx, wantCy = GetFormSize().cy;
    if (bShrinkOnly) {
        wantCx = std::min<LONG>(wantCx, client.right);
        wantCy = std::min<LONG>(wantCy, client.bottom);
    }
    RECT frame;
    pFrame->GetWindowRect(&frame);
    int cx = frame.right - frame.left + (wantCx - client.right);
    int cy = frame.bottom - frame.top + (wantCy - client.bottom);
    pFrame->SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- CFrameWnd ------------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
ON_MESSAGE(WM_MENUSELECT, OnMenuSelect)
ON_MESSAGE(WM_EXITMENULOOP, OnExitMenuLoop)
ON_MESSAGE(WM_ACTIVATE, OnActivateMsg)
ON_MESSAGE(WM_SETFOCUS, OnSetFocusMsg)
ON_MESSAGE(WM_NCDESTROY, OnNcDestroyMsg)
ON_MESSAGE(WM_SYSCOLORCHANGE, OnSystemChangeMsg)
ON_MESSAGE(WM_SETTINGCHANGE, OnSystemChangeMsg)
ON_MESSAGE(WM_GETDPISCALEDSIZE, OnGetDpiScaledSizeMsg)
ON_MESSAGE(WM_DPICHANGED, OnDpiChangedMsg)
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd()
{
    if (AfxGetApp() && AfxGetApp()->m_pMainWnd == this)
        AfxGetApp()->m_pMainWnd = nullptr;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CWnd::PreCreateWindow(cs))
        return FALSE;
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return TRUE;
}

bool CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd,
                          CCreateContext* pContext)
{
    if (m_hWnd)
        return false;
    HINSTANCE hInst = AfxGetResourceHandle();
    std::string title = AfxLoadString(nIDResource);
    m_strTitle = title.substr(0, title.find('\n'));
    HMENU hMenu = ::LoadMenuA(hInst, MAKEINTRESOURCEA(nIDResource));

    m_pCreateContext = pContext;
    bool created = CreateEx(0, nullptr, m_strTitle.c_str(), dwDefaultStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            pParentWnd ? pParentWnd->m_hWnd : nullptr, (UINT_PTR)hMenu);
    m_pCreateContext = nullptr;
    if (!created) {
        // A window that failed in WM_CREATE has destroyed its menu with it.
        if (hMenu && ::IsMenu(hMenu))
            ::DestroyMenu(hMenu);
        return false;
    }
    HICON hIcon = (HICON)::LoadImageA(hInst, MAKEINTRESOURCEA(nIDResource), IMAGE_ICON, 0, 0,
                                      LR_DEFAULTCOLOR);
    if (hIcon) {
        SendMessage(WM_SETICON, ICON_BIG, (LPARAM)hIcon);
        SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)hIcon);
    }
    return true;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT lpcs)
{
    if (!OnCreateClient(lpcs, m_pCreateContext))
        return -1;
    return 0;
}

bool CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext)
{
    if (!pContext || !pContext->m_pNewViewClass)
        return true;
    return CreateView(pContext) != nullptr;
}

CView* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID)
{
    CCmdTarget* pObject = pContext->m_pNewViewClass->CreateObject();
    CView* pView = dynamic_cast<CView*>(pObject);
    if (!pView) {
        delete pObject;
        return nullptr;
    }
    if (pContext->m_pCurrentDoc)
        pContext->m_pCurrentDoc->AddView(pView);
    if (!pView->Create(this, nID)) {
        delete pView;
        return nullptr;
    }
    // From here on the view belongs to its window: deleted after the window is destroyed.
    pView->m_bAutoDelete = true;
    return pView;
}

void CFrameWnd::SetActiveView(CView* pViewNew)
{
    m_pViewActive = pViewNew;
}

void CFrameWnd::RecalcLayout(BOOL)
{
    if (!m_hWnd)
        return;
    RECT client;
    GetClientRect(&client);
    client.bottom = std::max<LONG>(client.top, client.bottom - StatusBarHeight());
    HWND hWndView = GetDlgItem(AFX_IDW_PANE_FIRST);
    if (hWndView)
        ::MoveWindow(hWndView, client.left, client.top, client.right - client.left,
                     client.bottom - client.top, TRUE);
}

int CFrameWnd::StatusBarHeight()
{
    HWND hWndStatus = GetDlgItem(AFX_IDW_STATUS_BAR);
    // The bar's own style, not IsWindowVisible: while the frame is still hidden during its
    // creation the bar must already count, or the view would be laid out under it.
    if (!hWndStatus || !(::GetWindowLongA(hWndStatus, GWL_STYLE) & WS_VISIBLE))
        return 0;
    // The status bar places itself along the bottom, as high as its font makes it, when told
    // of a size change.
    ::SendMessageA(hWndStatus, WM_SIZE, 0, 0);
    RECT bar;
    ::GetWindowRect(hWndStatus, &bar);
    return bar.bottom - bar.top;
}

bool CFrameWnd::GetContentClientSize(SIZE* size)
{
    const CFormView* form =
        dynamic_cast<const CFormView*>(FromHandlePermanent(GetDlgItem(AFX_IDW_PANE_FIRST)));
    if ((GetStyle() & WS_THICKFRAME) || !form)
        return false;
    *size = form->GetFormSize();
    size->cy += StatusBarHeight();
    return true;
}

void CFrameWnd::OnSize(UINT, int, int)
{
    Default();
    if (!IsIconic())
        RecalcLayout();
}

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible)
{
    if (!m_pViewActive)
        m_pViewActive = dynamic_cast<CView*>(FromHandlePermanent(GetDlgItem(AFX_IDW_PANE_FIRST)));
    RecalcLayout();
    if (pDoc) {
        // Copy: a view may go away during its own initial update.
        std::vector<CView*> views = pDoc->GetViews();
        for (CView* pView : views)
            pView->OnInitialUpdate();
    } else if (m_pViewActive) {
        m_pViewActive->OnInitialUpdate();
    }
    if (!m_hWnd)
        return;
    if ((GetStyle() & FWS_ADDTOTITLE) && pDoc) {
        std::string docTitle = pDoc->GetTitle().empty() ? "Untitled" : pDoc->GetTitle();
        std::string title = (GetStyle() & FWS_PREFIXTITLE) ? docTitle + " - " + m_strTitle
                                                           : m_strTitle + " - " + docTitle;
        SetWindowText(title.c_str());
    }
    if (bMakeVisible) {
        int nCmdShow = -1;
        CWinApp* pApp = AfxGetApp();
        if (pApp && pApp->m_pMainWnd == this) {
            nCmdShow = pApp->m_nCmdShow;
            pApp->m_nCmdShow = -1; // used up by the first activation
        }
        ActivateFrame(nCmdShow);
    }
}

void CFrameWnd::ActivateFrame(int nCmdShow)
{
    if (nCmdShow == -1)
        nCmdShow = IsIconic() ? SW_RESTORE : SW_SHOWNORMAL;
    ShowWindow(nCmdShow);
    if (nCmdShow != SW_HIDE && IsWindowVisible())
        ::BringWindowToTop(m_hWnd);
}

void CFrameWnd::SetMessageText(LPCSTR lpszText)
{
    HWND hWndStatus = GetDlgItem(AFX_IDW_STATUS_BAR);
    if (hWndStatus)
        ::SetWindowTextA(hWndStatus, lpszText);
    m_nIDLastMessage = 0;
}

void CFrameWnd::SetMessageText(UINT nID)
{
    std::string text = AfxLoadString(nID);
    if (text.empty() && nID == AFX_IDS_IDLEMESSAGE)
        text = "Ready";
    SetMessageText(text.substr(0, text.find('\n')).c_str());
    m_nIDLastMessage = nID;
}

void CFrameWnd::OnIdleUpdate()
{
    if (m_hWnd && m_nIDTracking != m_nIDLastMessage)
        SetMessageText(m_nIDTracking);
}

LRESULT CFrameWnd::OnMenuSelect(WPARAM wParam, LPARAM lParam)
{
    UINT nItemID = LOWORD(wParam), nFlags = HIWORD(wParam);
    if (nFlags == 0xFFFF && lParam == 0) {
        m_nIDTracking = AFX_IDS_IDLEMESSAGE; // the menu closed
    } else if (nItemID == 0 || (nFlags & (MF_SEPARATOR | MF_POPUP))) {
        m_nIDTracking = 0; // no prompt for pop-ups and separators
    } else {
        m_nIDTracking = nItemID;
    }
    if (m_nIDTracking == 0)
        SetMessageText("");
    else
        SetMessageText(m_nIDTracking);
    return 0;
}

LRESULT CFrameWnd::OnExitMenuLoop(WPARAM, LPARAM)
{
    m_nIDTracking = AFX_IDS_IDLEMESSAGE;
    return 0;
}

LRESULT CFrameWnd::OnActivateMsg(WPARAM wParam, LPARAM)
{
    // The focus is still where it was while the frame hears of its deactivation: a modal
    // dialog disables its owner first, which takes the focus from the owner itself only.
    HWND hWndFocus = ::GetFocus();
    if (LOWORD(wParam) == WA_INACTIVE && hWndFocus && ::IsChild(m_hWnd, hWndFocus))
        m_hWndFocus = hWndFocus;
    // On activation the default procedure gives the frame the focus, which passes it on.
    return Default();
}

LRESULT CFrameWnd::OnSetFocusMsg(WPARAM, LPARAM)
{
    if (!RestoreFocusControl() && m_pViewActive && m_pViewActive->m_hWnd)
        m_pViewActive->SetFocus();
    return 0;
}

bool CFrameWnd::RestoreFocusControl()
{
    HWND hWndFocus = m_hWndFocus;
    m_hWndFocus = nullptr;
    // Gone, hidden (its page no longer shown) or disabled meanwhile: the view decides.
    if (!hWndFocus || !::IsChild(m_hWnd, hWndFocus) || !::IsWindowVisible(hWndFocus) ||
        !::IsWindowEnabled(hWndFocus))
        return false;
    ::SetFocus(hWndFocus);
    return true;
}

LRESULT CFrameWnd::OnNcDestroyMsg(WPARAM, LPARAM)
{
    // The main window is gone: end the message loop. Posted, so that whatever handler
    // destroyed the frame finishes first.
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_pMainWnd == this) {
        pApp->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    m_pViewActive = nullptr;
    return Default();
}

LRESULT CFrameWnd::OnGetDpiScaledSizeMsg(WPARAM wParam, LPARAM lParam)
{
    SIZE* size = reinterpret_cast<SIZE*>(lParam);
    const UINT dpi = LOWORD(wParam);
    if (!size || !dpi)
        return FALSE;
    LayOutForDpi(dpi);
    SIZE client;
    if (!GetContentClientSize(&client))
        return FALSE;
    // The borders, caption and menu bar at that DPI around it.
    RECT rect = {0, 0, client.cx, client.cy};
    if (!AfxAdjustWindowRectForDpi(&rect, GetStyle(), GetMenu() != nullptr, GetExStyle(), dpi))
        return FALSE;
    *size = {rect.right - rect.left, rect.bottom - rect.top};
    m_nDpiSizeAnswered = dpi;
    return TRUE;
}

LRESULT CFrameWnd::OnDpiChangedMsg(WPARAM wParam, LPARAM lParam)
{
    const UINT dpi = LOWORD(wParam);
    // Fonts first: the status bar's height follows its font, the view's room follows the bar.
    LayOutForDpi(dpi);
    const bool sizeAnswered = m_nDpiSizeAnswered == dpi;
    m_nDpiSizeAnswered = 0;
    // The system's rectangle keeps the window where the user put it.
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (!suggested)
        return 0;
    RECT rect = *suggested;
    SIZE client;
    if (!sizeAnswered && GetContentClientSize(&client)) {
        RECT window, now;
        GetWindowRect(&window);
        GetClientRect(&now);
        rect.right = rect.left + client.cx + (window.right - window.left) - now.right;
        rect.bottom = rect.top + client.cy + (window.bottom - window.top) - now.bottom;
    }
    SetWindowPos(nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RecalcLayout();
    return 0;
}

namespace {

struct PassedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

BOOL CALLBACK PassMessage(HWND window, LPARAM context)
{
    const PassedMessage* passed = reinterpret_cast<const PassedMessage*>(context);
    ::SendMessageA(window, passed->message, passed->wParam, passed->lParam);
    return TRUE;
}

} // namespace

LRESULT CFrameWnd::OnSystemChangeMsg(WPARAM wParam, LPARAM lParam)
{
    // Every window inside, however deep: the pages' controls sit in the view.
    PassedMessage passed = {GetCurrentMessage()->message, wParam, lParam};
    ::EnumChildWindows(m_hWnd, PassMessage, reinterpret_cast<LPARAM>(&passed));
    return Default();
}

bool CFrameWnd::OnCommand(WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    lResult = 0;
    if (lParam != 0) // a control's notification
        return CWnd::OnCommand(wParam, lParam, lResult);
    // Menu and accelerator commands: accelerators arrive with code 1, both count as 0.
    OnCmdMsg(LOWORD(wParam), 0);
    return true;
}

bool CFrameWnd::OnCmdMsg(UINT nID, int nCode)
{
    if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode))
        return true;
    if (CCmdTarget::OnCmdMsg(nID, nCode))
        return true;
    CWinApp* pApp = AfxGetApp();
    return pApp && pApp->OnCmdMsg(nID, nCode);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg)
{
    if (!m_hWnd || (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)))
        return FALSE;
    // Keyboard navigation among the controls of the view and its child pages.
    if (pMsg->hwnd != m_hWnd && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST)
        return AfxIsDialogMessage(m_hWnd, pMsg);
    return FALSE;
}

// ---- CSingleDocTemplate ---------------------------------------------------------------------

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                                       const CRuntimeClass* pFrameClass,
                                       const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass),
      m_pViewClass(pViewClass)
{
}

CSingleDocTemplate::~CSingleDocTemplate() = default;

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCSTR, BOOL bMakeVisible)
{
    CWinApp* pApp = AfxGetApp();
    bool created = false;
    if (!m_pOnlyDoc) {
        CCmdTarget* pObject = m_pDocClass->CreateObject();
        m_pOnlyDoc.reset(dynamic_cast<CDocument*>(pObject));
        if (!m_pOnlyDoc) {
            delete pObject;
            AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC, MB_OK | MB_ICONEXCLAMATION);
            return nullptr;
        }
        m_pOnlyDoc->m_pDocTemplate = this;
        created = true;
    }
    CDocument* pDoc = m_pOnlyDoc.get();
    CFrameWnd* pFrame = nullptr;
    if (created || !pApp || !pApp->m_pMainWnd) {
        CCmdTarget* pObject = m_pFrameClass->CreateObject();
        pFrame = dynamic_cast<CFrameWnd*>(pObject);
        CCreateContext context;
        context.m_pNewViewClass = m_pViewClass;
        context.m_pCurrentDoc = pDoc;
        context.m_pNewDocTemplate = this;
        if (!pFrame || !pFrame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                                          nullptr, &context)) {
            delete pObject; // never had a window, or its window is already gone
            if (created)
                m_pOnlyDoc.reset();
            AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC, MB_OK | MB_ICONEXCLAMATION);
            return nullptr;
        }
        pFrame->m_bAutoDelete = true;
    } else {
        pFrame = dynamic_cast<CFrameWnd*>(pApp->m_pMainWnd);
    }
    if (!pDoc->OnNewDocument()) {
        if (created && pFrame)
            pFrame->DestroyWindow();
        if (created)
            m_pOnlyDoc.reset();
        return nullptr;
    }
    if (pApp && !pApp->m_pMainWnd)
        pApp->m_pMainWnd = pFrame;
    if (pFrame)
        pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
    return pDoc;
}
