// The application object, its message loop, and global helpers.
#include "AfxApp.h"

#include <algorithm>

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWnd* AfxGetMainWnd()
{
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetResourceHandle()
{
    if (g_pApp && g_pApp->m_hInstance)
        return g_pApp->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

std::string AfxLoadString(UINT nID)
{
    // LoadStringA cannot tell the length beforehand: grow until the text fits with room.
    std::string text(256, '\0');
    for (;;) {
        int length = ::LoadStringA(AfxGetResourceHandle(), nID, &text[0], (int)text.size());
        if (length <= 0)
            return std::string();
        if ((size_t)length < text.size() - 1) {
            text.resize((size_t)length);
            return text;
        }
        text.resize(text.size() * 2);
    }
}

int AfxMessageBox(LPCSTR lpszText, UINT nType)
{
    CWnd* pMain = AfxGetMainWnd();
    HWND hWndOwner = pMain && pMain->m_hWnd && pMain->IsWindowVisible() ? pMain->m_hWnd : nullptr;
    LPCSTR caption = g_pApp && g_pApp->m_pszAppName ? g_pApp->m_pszAppName : "";
    return ::MessageBoxA(hWndOwner, lpszText, caption, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType)
{
    std::string text = AfxLoadString(nIDPrompt);
    if (text.empty() && nIDPrompt == AFX_IDP_FAILED_TO_CREATE_DOC)
        text = "Failed to create empty document.";
    return AfxMessageBox(text.c_str(), nType);
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
ON_COMMAND(ID_APP_EXIT, OnAppExit)
ON_COMMAND(ID_FILE_NEW, OnFileNew)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    if (lpszAppName) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.c_str();
    }
    if (!g_pApp)
        g_pApp = this;
}

CWinApp::~CWinApp()
{
    m_pDocTemplate.reset();
    if (g_pApp == this)
        g_pApp = nullptr;
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* pTemplate)
{
    m_pDocTemplate.reset(pTemplate);
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo)
{
    if (rCmdInfo.m_nShellCommand != CCommandLineInfo::FileNew)
        return TRUE;
    OnFileNew();
    return m_pMainWnd != nullptr && m_pMainWnd->m_hWnd != nullptr;
}

void CWinApp::OnFileNew()
{
    if (m_pDocTemplate)
        m_pDocTemplate->OpenDocumentFile(nullptr);
}

void CWinApp::OnAppExit()
{
    if (m_pMainWnd && m_pMainWnd->m_hWnd)
        m_pMainWnd->SendMessage(WM_CLOSE);
}

void CWinApp::AddMessageFilter(CWnd* pFilter)
{
    if (std::find(m_filters.begin(), m_filters.end(), pFilter) == m_filters.end())
        m_filters.push_back(pFilter);
}

void CWinApp::RemoveMessageFilter(CWnd* pFilter)
{
    m_filters.erase(std::remove(m_filters.begin(), m_filters.end(), pFilter), m_filters.end());
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg)
{
    // Newest filter first. A filter may remove itself or others while it runs: the index is
    // checked against the current list at every step.
    for (size_t i = m_filters.size(); i-- > 0;) {
        if (i >= m_filters.size())
            continue;
        if (m_filters[i]->PreTranslateMessage(pMsg))
            return TRUE;
    }
    return m_pMainWnd && m_pMainWnd->PreTranslateMessage(pMsg);
}

bool CWinApp::PumpMessage()
{
    BOOL got = ::GetMessageA(&m_msgCur, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        m_nExitCode = got == 0 ? (int)m_msgCur.wParam : -1;
        return false;
    }
    if (!PreTranslateMessage(&m_msgCur)) {
        ::TranslateMessage(&m_msgCur);
        ::DispatchMessageA(&m_msgCur);
    }
    return true;
}

namespace {

// Messages that do not end an idle period: paints and the system's own timer (caret blink)
// come by themselves when the queue is otherwise empty.
bool IsIdleMessage(const MSG& msg)
{
    return msg.message != WM_PAINT && msg.message != 0x0118 /* WM_SYSTIMER */;
}

} // namespace

int CWinApp::Run()
{
    bool idle = true;
    LONG idleCount = 0;
    MSG peeked;
    for (;;) {
        while (idle && !::PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++))
                idle = false;
        }
        do {
            if (!PumpMessage())
                return ExitInstance();
            if (IsIdleMessage(m_msgCur)) {
                idle = true;
                idleCount = 0;
            }
        } while (::PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE));
    }
}

BOOL CWinApp::OnIdle(LONG lCount)
{
    if (lCount == 0) {
        if (CFrameWnd* pFrame = dynamic_cast<CFrameWnd*>(m_pMainWnd))
            pFrame->OnIdleUpdate();
    }
    return FALSE;
}

int CWinApp::ExitInstance()
{
    return m_nExitCode;
}

bool AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return false;
    AfxEnsureCommonControls();
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;
    if (!pApp->m_pszAppName) {
        pApp->m_strAppName = AfxLoadString(AFX_IDS_APP_TITLE);
        pApp->m_pszAppName = pApp->m_strAppName.c_str();
    }
    return true;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (!AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow))
        return -1;
    if (!pApp->InitInstance()) {
        if (pApp->m_pMainWnd && pApp->m_pMainWnd->m_hWnd)
            pApp->m_pMainWnd->DestroyWindow();
        return pApp->ExitInstance();
    }
    return pApp->Run();
}
