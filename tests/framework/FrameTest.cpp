// Document template, frame, form view, command routing, status bar and the message loop.
#include "TestSupport.h"

namespace {

std::vector<std::string> g_events;

class CTestDoc : public CDocument {
public:
    CTestDoc() { g_events.push_back("document constructed"); }
    ~CTestDoc() override { g_events.push_back("document destroyed"); }
    BOOL OnNewDocument() override
    {
        g_events.push_back("document new");
        return TRUE;
    }
    void OnDocCommand() { g_events.push_back("document command"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDoc, CDocument)
ON_COMMAND(ID_TEST_DOC, OnDocCommand)
END_MESSAGE_MAP()

class CTestFrame;

class CTestView : public CFormView {
public:
    CTestView() : CFormView(IDD_FORM) { g_events.push_back("view constructed"); }
    ~CTestView() override { g_events.push_back("view destroyed"); }
    bool Create(CWnd* pParentWnd, UINT nID) override
    {
        bool created = CFormView::Create(pParentWnd, nID);
        g_events.push_back(created ? "view created" : "view not created");
        return created;
    }
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_FORM_TREE, m_Tree); }
    void OnInitialUpdate() override
    {
        CFormView::OnInitialUpdate();
        CFrameWnd* pFrame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
        bool ready = pFrame && pFrame->GetActiveView() == this && m_Tree.m_hWnd && GetDocument() &&
                     !pFrame->IsWindowVisible();
        g_events.push_back(ready ? "view initial update" : "view initial update too early");
    }
    void OnCommandOfAll() { g_events.push_back("view command"); }

    CTreeCtrl m_Tree;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestView, CFormView)
ON_COMMAND(ID_TEST_VIEW_FRAME_APP, OnCommandOfAll)
END_MESSAGE_MAP()

class CTestFrame : public CFrameWnd {
public:
    CTestFrame() { g_events.push_back("frame constructed"); }
    ~CTestFrame() override { g_events.push_back("frame destroyed"); }
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override
    {
        g_events.push_back("frame pre-create");
        if (!CFrameWnd::PreCreateWindow(cs))
            return FALSE;
        cs.style &= ~(WS_THICKFRAME | WS_MAXIMIZEBOX | FWS_ADDTOTITLE);
        cs.dwExStyle &= ~WS_EX_CLIENTEDGE;
        return TRUE;
    }
    int OnCreate(LPCREATESTRUCT lpcs)
    {
        g_events.push_back("frame create");
        if (CFrameWnd::OnCreate(lpcs) == -1)
            return -1;
        if (s_failAfterView)
            return -1;
        static const UINT indicators[] = {ID_SEPARATOR, ID_SEPARATOR};
        if (!m_wndStatusBar.Create(this) || !m_wndStatusBar.SetIndicators(indicators, 2))
            return -1;
        m_wndStatusBar.SetPaneInfo(0, 0, SBPS_STRETCH, 200);
        m_wndStatusBar.SetPaneInfo(1, 1, SBPS_NORMAL, 150);
        g_events.push_back(GetActiveView() ? "frame created, view active too early"
                                           : "frame created");
        return 0;
    }
    void OnCommandOfAll() { g_events.push_back("frame command"); }
    void OnCommandOfFrameAndApp() { g_events.push_back("frame command"); }

    CStatusBar m_wndStatusBar;
    static inline bool s_failAfterView = false;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
ON_WM_CREATE()
ON_COMMAND(ID_TEST_VIEW_FRAME_APP, OnCommandOfAll)
ON_COMMAND(ID_TEST_FRAME_APP, OnCommandOfFrameAndApp)
END_MESSAGE_MAP()

class CRoutingApp : public TestApp {
public:
    void OnCommandOfAll() { g_events.push_back("app command"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingApp, TestApp)
ON_COMMAND(ID_TEST_VIEW_FRAME_APP, OnCommandOfAll)
ON_COMMAND(ID_TEST_FRAME_APP, OnCommandOfAll)
ON_COMMAND(ID_TEST_APP, OnCommandOfAll)
END_MESSAGE_MAP()

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_events.clear();
        CTestFrame::s_failAfterView = false;
    }
    bool OpenDocument(int nCmdShow)
    {
        m_app.m_nCmdShow = nCmdShow;
        m_app.AddDocTemplate(new CSingleDocTemplate(IDR_TESTFRAME, RUNTIME_CLASS(CTestDoc),
                                                    RUNTIME_CLASS(CTestFrame),
                                                    RUNTIME_CLASS(CTestView)));
        CCommandLineInfo cmdInfo;
        if (!m_app.ProcessShellCommand(cmdInfo))
            return false;
        m_pFrame = dynamic_cast<CTestFrame*>(m_app.m_pMainWnd);
        return m_pFrame != nullptr;
    }
    std::vector<std::string> Routed(WPARAM wParam)
    {
        g_events.clear();
        m_pFrame->SendMessage(WM_COMMAND, wParam, 0);
        return g_events;
    }
    CRoutingApp m_app;
    CTestFrame* m_pFrame = nullptr;
};

TEST_F(FrameTest, TemplateCreatesDocumentFrameAndViewInOrder)
{
    ASSERT_TRUE(OpenDocument(SW_HIDE));
    EXPECT_EQ(g_events, (std::vector<std::string>{
                            "document constructed", "frame constructed", "frame pre-create",
                            "frame create", "view constructed", "view created", "frame created",
                            "document new", "view initial update"}));
    EXPECT_FALSE(m_pFrame->IsWindowVisible()); // SW_HIDE
    EXPECT_EQ(m_app.m_nCmdShow, -1);           // used up by the first activation
    EXPECT_EQ(m_pFrame->GetStyle() & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(m_pFrame->GetWindowText(), "Test Frame");
}

TEST_F(FrameTest, NewDocumentAgainReusesFrameAndView)
{
    ASSERT_TRUE(OpenDocument(SW_HIDE));
    CView* pView = m_pFrame->GetActiveView();
    g_events.clear();
    m_app.OnFileNew();
    EXPECT_EQ(g_events, (std::vector<std::string>{"document new", "view initial update"}));
    EXPECT_EQ(m_app.m_pMainWnd, m_pFrame);
    EXPECT_EQ(m_pFrame->GetActiveView(), pView);
}

TEST_F(FrameTest, FrameShownWithTheShowCommandAndLaidOut)
{
    ASSERT_TRUE(OpenDocument(SW_SHOW));
    EXPECT_TRUE(m_pFrame->IsWindowVisible());

    CFormView* pView = dynamic_cast<CFormView*>(m_pFrame->GetActiveView());
    ASSERT_NE(pView, nullptr);
    EXPECT_TRUE(pView->GetExStyle() & WS_EX_CONTROLPARENT);
    RECT form = {0, 0, 300, 150}; // the template's size in dialog units
    ::MapDialogRect(pView->m_hWnd, &form);
    SIZE formSize = {form.right, form.bottom};

    // The view fills the client area above the status bar.
    m_pFrame->SetWindowPos(nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
    RECT client, view, bar;
    m_pFrame->GetClientRect(&client);
    ::GetWindowRect(pView->m_hWnd, &view);
    ::GetWindowRect(m_pFrame->m_wndStatusBar.m_hWnd, &bar);
    EXPECT_EQ(view.right - view.left, client.right);
    EXPECT_EQ(view.bottom - view.top + (bar.bottom - bar.top), client.bottom);
    EXPECT_EQ(view.bottom, bar.top);

    // Pane 0 stretches, pane 1 keeps 150 pixels.
    int edges[2] = {0, 0};
    ASSERT_EQ(m_pFrame->m_wndStatusBar.SendMessage(SB_GETPARTS, 2, (LPARAM)edges), 2);
    RECT barClient;
    m_pFrame->m_wndStatusBar.GetClientRect(&barClient);
    EXPECT_EQ(edges[0], barClient.right - 150);
    EXPECT_EQ(edges[1] - edges[0], 150);

    // Shrinking to the form: the view gets exactly the form's size.
    pView->ResizeParentToFit();
    ::GetWindowRect(pView->m_hWnd, &view);
    EXPECT_EQ(view.right - view.left, formSize.cx);
    EXPECT_EQ(view.bottom - view.top, formSize.cy);

    // A narrow bar: pane 0 keeps its 200 pixels.
    m_pFrame->SetWindowPos(nullptr, 0, 0, 250, 300, SWP_NOMOVE | SWP_NOZORDER);
    m_pFrame->m_wndStatusBar.SendMessage(SB_GETPARTS, 2, (LPARAM)edges);
    EXPECT_EQ(edges[0], 200);
    EXPECT_EQ(edges[1], 350);
}

TEST_F(FrameTest, HiddenFrameFitsTheWholeFormAboveItsStatusBar)
{
    // Started hidden (-hide): the status bar is not on screen yet, but it takes its room.
    ASSERT_TRUE(OpenDocument(SW_HIDE));
    ASSERT_FALSE(m_pFrame->IsWindowVisible());
    CFormView* pView = dynamic_cast<CFormView*>(m_pFrame->GetActiveView());
    ASSERT_NE(pView, nullptr);
    RECT form = {0, 0, 300, 150};
    ::MapDialogRect(pView->m_hWnd, &form);

    pView->ResizeParentToFit();
    RECT client, view, bar;
    m_pFrame->GetClientRect(&client);
    ::GetWindowRect(pView->m_hWnd, &view);
    ::GetWindowRect(m_pFrame->m_wndStatusBar.m_hWnd, &bar);
    EXPECT_EQ(view.bottom - view.top, form.bottom);
    EXPECT_EQ(client.bottom, form.bottom + (bar.bottom - bar.top));
}

TEST_F(FrameTest, CommandsGoToTheViewThenDocumentThenFrameThenApplication)
{
    ASSERT_TRUE(OpenDocument(SW_HIDE));
    EXPECT_EQ(Routed(ID_TEST_VIEW_FRAME_APP), std::vector<std::string>{"view command"});
    EXPECT_EQ(Routed(ID_TEST_DOC), std::vector<std::string>{"document command"});
    EXPECT_EQ(Routed(ID_TEST_FRAME_APP), std::vector<std::string>{"frame command"});
    EXPECT_EQ(Routed(ID_TEST_APP), std::vector<std::string>{"app command"});
    EXPECT_TRUE(Routed(ID_TEST_NOBODY).empty());
    // Accelerators (code 1) route like menu commands.
    EXPECT_EQ(Routed(MAKEWPARAM(ID_TEST_FRAME_APP, 1)), std::vector<std::string>{"frame command"});
    // Without an active view the frame is next.
    m_pFrame->SetActiveView(nullptr);
    EXPECT_EQ(Routed(ID_TEST_VIEW_FRAME_APP), std::vector<std::string>{"frame command"});
}

TEST_F(FrameTest, ExitClosesTheFrameAndFreesFrameAndViewInsideTheLoop)
{
    ASSERT_TRUE(OpenDocument(SW_SHOW));
    g_events.clear();
    m_pFrame->PostMessage(WM_COMMAND, ID_APP_EXIT, 0); // the File menu's Exit
    EXPECT_EQ(m_app.Run(), 0);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(g_events, (std::vector<std::string>{"view destroyed", "frame destroyed"}));
}

TEST_F(FrameTest, FailedFrameCreationIsReportedAndLeavesNothingBehind)
{
    CTestFrame::s_failAfterView = true;
    MessageBoxCloser closer;
    EXPECT_FALSE(OpenDocument(SW_SHOW));
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    EXPECT_EQ(closer.m_texts, std::vector<std::string>{"Failed to create empty document."});
    // The view went with its window, the frame object with the failure, the new document too.
    std::vector<std::string> expectedTail = {"view destroyed", "frame destroyed",
                                             "document destroyed"};
    ASSERT_GE(g_events.size(), expectedTail.size());
    EXPECT_EQ(std::vector<std::string>(g_events.end() - 3, g_events.end()), expectedTail);
}

TEST_F(FrameTest, StatusBarShowsMenuPromptsAndReadyWhenIdle)
{
    ASSERT_TRUE(OpenDocument(SW_SHOW));
    HWND hWndFrame = m_pFrame->m_hWnd;
    m_pFrame->m_wndStatusBar.SetWindowText("Page caption"); // written while starting up
    EXPECT_EQ(StatusText(hWndFrame), "Page caption");
    m_app.OnIdle(0);
    EXPECT_EQ(StatusText(hWndFrame), "Ready");

    m_pFrame->m_wndStatusBar.SetWindowText("Page caption"); // a later page switch stays
    m_app.OnIdle(0);
    EXPECT_EQ(StatusText(hWndFrame), "Page caption");

    HMENU hMenu = m_pFrame->GetMenu();
    m_pFrame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_TEST_CLOSE, MF_STRING), (LPARAM)hMenu);
    EXPECT_EQ(StatusText(hWndFrame), "Hide the window.");
    m_pFrame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP), (LPARAM)hMenu);
    EXPECT_EQ(StatusText(hWndFrame), "");
    m_pFrame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0); // closed
    m_app.OnIdle(0);
    EXPECT_EQ(StatusText(hWndFrame), "Ready");

    // Pane 1 is the program's own.
    m_pFrame->m_wndStatusBar.SetPaneText(1, "2 Device(s) connected.");
    EXPECT_EQ(StatusText(hWndFrame, 1), "2 Device(s) connected.");
    EXPECT_EQ(StatusText(hWndFrame, 0), "Ready");
    EXPECT_EQ(m_pFrame->m_wndStatusBar.GetPaneText(1), "2 Device(s) connected.");
    EXPECT_EQ(m_pFrame->m_wndStatusBar.GetWindowText(), "Ready"); // the pane with id 0

    // The window text follows the pane whose id is 0, wherever it is.
    m_pFrame->m_wndStatusBar.SetPaneInfo(0, 7, SBPS_STRETCH, 200);
    m_pFrame->m_wndStatusBar.SetPaneInfo(1, 0, SBPS_NORMAL, 150);
    m_pFrame->m_wndStatusBar.SetWindowText("Zweite \xC4nderung"); // 8-bit text stays intact
    EXPECT_EQ(StatusText(hWndFrame, 1), "Zweite \xC4nderung");
    EXPECT_EQ(StatusText(hWndFrame, 0), "Ready");
    EXPECT_EQ(m_pFrame->m_wndStatusBar.GetWindowText(), "Zweite \xC4nderung");
}

bool s_menuClosed = false;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD)
{
    if (!s_menuClosed) {
        s_menuClosed = true;
        ::EndMenu();
    }
}

// A real pop-up menu, tracked by the system and dismissed: "Ready" comes back.
TEST_F(FrameTest, ReadyReturnsAfterATrackedMenuCloses)
{
    ASSERT_TRUE(OpenDocument(SW_SHOW));
    m_pFrame->m_wndStatusBar.SetWindowText("Page caption");
    m_app.OnIdle(0);
    m_pFrame->m_wndStatusBar.SetWindowText("Page caption");

    s_menuClosed = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, CloseMenu);
    HMENU hPopup = ::GetSubMenu(m_pFrame->GetMenu(), 0);
    // A program started beside this one may take the foreground, which ends a menu before the
    // timer does: tracked again until the timer has closed one, within a bound.
    const DWORD began = ::GetTickCount();
    do {
        m_pFrame->SetForegroundWindow();
        ::TrackPopupMenu(hPopup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, 100, 100, 0,
                         m_pFrame->m_hWnd, nullptr);
    } while (!s_menuClosed && ::GetTickCount() - began < 5000);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(s_menuClosed);
    m_app.OnIdle(0);
    EXPECT_EQ(StatusText(m_pFrame->m_hWnd), "Ready");
}

std::string s_seen;
HWND s_hWndFrame = nullptr;
DWORD s_lookUntil = 0;
// Looks at every tick until "Ready" shows or the time is up: on a busy machine the first
// tick may come before the queue was ever empty.
void CALLBACK LookAndClose(HWND, UINT, UINT_PTR, DWORD)
{
    if (!s_seen.empty())
        return;
    const std::string text = StatusText(s_hWndFrame);
    if (text == "Ready" || GetTickCount() - s_lookUntil < 0x80000000u) {
        s_seen = text;
        ::PostMessageA(s_hWndFrame, WM_CLOSE, 0, 0);
    }
}

// The real loop: its idle processing replaces the start-up caption.
TEST_F(FrameTest, MessageLoopWritesReadyWhenIdle)
{
    ASSERT_TRUE(OpenDocument(SW_SHOW));
    m_pFrame->m_wndStatusBar.SetWindowText("Page caption");
    s_seen.clear();
    s_hWndFrame = m_pFrame->m_hWnd;
    s_lookUntil = GetTickCount() + 5000;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 30, LookAndClose);
    EXPECT_EQ(m_app.Run(), 0);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(s_seen, "Ready");
}

TEST(LoadStringTest, LongAndMissingStrings)
{
    TestApp app;
    std::string text = AfxLoadString(IDS_LONG);
    EXPECT_EQ(text.size(), 364u);
    EXPECT_EQ(text.substr(text.size() - 4), "|end");
    EXPECT_EQ(AfxLoadString(12345), "");
    EXPECT_EQ(AfxLoadString(AFX_IDS_IDLEMESSAGE), "Ready");
}

} // namespace
