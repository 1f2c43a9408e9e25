// Binding of windows to objects and the lifetime of both.
#include "TestSupport.h"

#include <stdexcept>

namespace {

const UINT WM_DESTROY_SELF = WM_APP + 10;
const UINT WM_NESTED_DESTROY = WM_APP + 11;
const UINT WM_THROW = WM_APP + 12;
const UINT WM_PING = WM_APP + 13;

std::vector<std::string> g_log;

class CLoggedWnd : public CWnd {
public:
    ~CLoggedWnd() override { g_log.push_back("destructor"); }
    void OnFinalMessage(HWND hWnd) override
    {
        g_log.push_back("final");
        CWnd::OnFinalMessage(hWnd);
    }
    bool Create()
    {
        return CreateEx(0, nullptr, "lifetime", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, 0);
    }
    bool m_throwInCreate = false;

    int OnCreate(LPCREATESTRUCT lpcs)
    {
        if (m_throwInCreate)
            throw std::runtime_error("creation refused");
        return CWnd::OnCreate(lpcs);
    }
    LRESULT OnDestroySelf(WPARAM, LPARAM)
    {
        DestroyWindow();
        g_log.push_back(m_hWnd ? "handler resumed, still bound" : "handler resumed");
        return 7;
    }
    LRESULT OnNestedDestroy(WPARAM, LPARAM)
    {
        LRESULT inner = SendMessage(WM_DESTROY_SELF);
        g_log.push_back("outer resumed");
        return inner + 1;
    }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error("handler failed"); }
    LRESULT OnPing(WPARAM, LPARAM) { return 5; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLoggedWnd, CWnd)
ON_WM_CREATE()
ON_MESSAGE(WM_DESTROY_SELF, OnDestroySelf)
ON_MESSAGE(WM_NESTED_DESTROY, OnNestedDestroy)
ON_MESSAGE(WM_THROW, OnThrow)
ON_MESSAGE(WM_PING, OnPing)
END_MESSAGE_MAP()

// Records the first message its map sees.
class CFirstMessageWnd : public CLoggedWnd {
public:
    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override
    {
        if (!m_firstMessage)
            m_firstMessage = message;
        return CLoggedWnd::ProcessWindowMessage(message, wParam, lParam, lResult);
    }
    UINT m_firstMessage = 0;
};

class LifetimeTest : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }
    TestApp m_app;
};

TEST_F(LifetimeTest, ObjectOutlivesItsWindowAndBindsAgain)
{
    CFirstMessageWnd wnd;
    ASSERT_TRUE(wnd.Create());
    HWND hWnd = wnd.m_hWnd;
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) went to the default procedure.
    EXPECT_EQ(wnd.m_firstMessage, (UINT)WM_NCCREATE);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), &wnd);

    ::DestroyWindow(hWnd);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_EQ(g_log, std::vector<std::string>{"final"});

    ASSERT_TRUE(wnd.Create());
    EXPECT_NE(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.SendMessage(WM_PING), 5);
}

TEST_F(LifetimeTest, WindowDestroyedInsideItsOwnHandlerIsFinalOnlyAfterTheHandler)
{
    CLoggedWnd* pWnd = new CLoggedWnd;
    pWnd->m_bAutoDelete = true;
    ASSERT_TRUE(pWnd->Create());
    HWND hWnd = pWnd->m_hWnd;

    ::PostMessageA(hWnd, WM_PING, 0, 0); // still queued when the object is gone
    EXPECT_EQ(::SendMessageA(hWnd, WM_DESTROY_SELF, 0, 0), 7);
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(g_log, (std::vector<std::string>{"handler resumed", "final", "destructor"}));
    PumpPending(); // reaches nobody
}

TEST_F(LifetimeTest, NestedMessagesKeepTheObjectAliveUntilTheOutermostReturns)
{
    CLoggedWnd* pWnd = new CLoggedWnd;
    pWnd->m_bAutoDelete = true;
    ASSERT_TRUE(pWnd->Create());
    HWND hWnd = pWnd->m_hWnd;

    EXPECT_EQ(::SendMessageA(hWnd, WM_NESTED_DESTROY, 0, 0), 8);
    EXPECT_EQ(g_log, (std::vector<std::string>{"handler resumed", "outer resumed", "final",
                                               "destructor"}));
    // A message for the dead window reaches nobody.
    EXPECT_EQ(::SendMessageA(hWnd, WM_PING, 0, 0), 0);
}

TEST_F(LifetimeTest, DestroyingTheObjectDestroysItsWindowButNotABoundControl)
{
    HWND hWndOwn = nullptr;
    {
        CLoggedWnd wnd;
        ASSERT_TRUE(wnd.Create());
        hWndOwn = wnd.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hWndOwn));

    CLoggedWnd parent;
    ASSERT_TRUE(parent.Create());
    HWND hWndButton = ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 50, 20,
                                        parent.m_hWnd, (HMENU)5, nullptr, nullptr);
    {
        CButton button;
        ASSERT_TRUE(button.SubclassWindow(hWndButton));
        EXPECT_EQ(CWnd::FromHandlePermanent(hWndButton), &button);
        CButton second;
        EXPECT_FALSE(second.SubclassWindow(hWndButton)); // one object per window
        button.SetCheck(BST_CHECKED);
    }
    ASSERT_TRUE(::IsWindow(hWndButton));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWndButton), nullptr);
    // The control still works without the wrapper's procedure in its chain.
    EXPECT_EQ(::SendMessageA(hWndButton, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(LifetimeTest, ExceptionsInHandlersDoNotCrossIntoTheSystem)
{
    CLoggedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(wnd.SendMessage(WM_THROW), 0);
    EXPECT_EQ(wnd.SendMessage(WM_PING), 5);

    CLoggedWnd refused;
    refused.m_throwInCreate = true;
    EXPECT_FALSE(refused.Create());
    EXPECT_EQ(refused.m_hWnd, nullptr);
}

// A dialog that reports what reached it.
class CProbeDialog : public CDialog {
public:
    CProbeDialog() : CDialog(IDD_DDX) {}
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_LIST, m_List);
        DDX_Control(pDX, IDC_SLIDER, m_Slider);
    }
    void OnCancel() override { ++m_cancels; }
    void OnClose()
    {
        ++m_closes;
        Default(); // the dialog manager turns WM_CLOSE into IDCANCEL
    }
    void OnDoubleClick(NMHDR*, LRESULT* pResult) { *pResult = 42; }
    void OnHScroll(UINT, UINT, CWnd* pScrollBar) { m_pScrolled = pScrollBar; }

    CListCtrl m_List;
    CSliderCtrl m_Slider;
    int m_cancels = 0;
    int m_closes = 0;
    CWnd* m_pScrolled = nullptr;

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeDialog, CDialog)
ON_WM_CLOSE()
ON_WM_HSCROLL()
ON_NOTIFY(NM_DBLCLK, IDC_LIST, OnDoubleClick)
END_MESSAGE_MAP()

TEST_F(LifetimeTest, DialogDefaultProcessingRunsTheDialogManager)
{
    CProbeDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_DDX));
    dlg.SendMessage(WM_CLOSE);
    EXPECT_TRUE(PumpUntil([&] { return dlg.m_cancels == 1; }));
    EXPECT_EQ(dlg.m_closes, 1);
    EXPECT_NE(dlg.m_hWnd, nullptr);
}

TEST_F(LifetimeTest, DialogNotificationAnswerGoesThroughDwlpMsgResult)
{
    CProbeDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_DDX));
    NMHDR nm = {dlg.m_List.m_hWnd, IDC_LIST, (UINT)NM_DBLCLK};
    EXPECT_EQ(dlg.SendMessage(WM_NOTIFY, IDC_LIST, (LPARAM)&nm), 42);
    nm.idFrom = IDC_TREE; // another control: not this handler
    EXPECT_EQ(dlg.SendMessage(WM_NOTIFY, IDC_TREE, (LPARAM)&nm), 0);
}

TEST_F(LifetimeTest, ControlWrappersFollowTheirDialogsWindow)
{
    CProbeDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_DDX));
    HWND hWndList = dlg.GetDlgItem(IDC_LIST);
    EXPECT_EQ(dlg.m_List.m_hWnd, hWndList);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWndList), &dlg.m_List);

    // The slider's scroll message names the wrapper bound to it.
    dlg.SendMessage(WM_HSCROLL, TB_LINEDOWN, (LPARAM)dlg.m_Slider.m_hWnd);
    EXPECT_EQ(dlg.m_pScrolled, &dlg.m_Slider);

    dlg.DestroyWindow();
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_List.m_hWnd, nullptr);

    // The same objects get a new window: the wrappers bind to the new controls.
    ASSERT_TRUE(dlg.Create(IDD_DDX));
    EXPECT_EQ(dlg.m_List.m_hWnd, dlg.GetDlgItem(IDC_LIST));
    EXPECT_NE(dlg.m_List.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_List.InsertItem(0, "row"), 0);
    EXPECT_EQ(dlg.m_List.GetItemCount(), 1);
}

// The list taken by handle only, as the pages' lists are.
class CHandleDialog : public CDialog {
public:
    CHandleDialog() : CDialog(IDD_DDX) {}
    void DoDataExchange(CDataExchange* pDX) override { DDX_ControlHandle(pDX, IDC_LIST, m_List); }
    CListCtrl m_List;
};

TEST_F(LifetimeTest, ControlsTakenByHandleAreNotBoundAndFollowANewWindow)
{
    CHandleDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_DDX));
    HWND hWndList = dlg.GetDlgItem(IDC_LIST);
    EXPECT_EQ(dlg.m_List.m_hWnd, hWndList);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWndList), nullptr);
    EXPECT_EQ(dlg.m_List.InsertItem(0, "row"), 0);

    dlg.DestroyWindow();
    ASSERT_TRUE(dlg.Create(IDD_DDX));
    EXPECT_EQ(dlg.m_List.m_hWnd, dlg.GetDlgItem(IDC_LIST));
    EXPECT_EQ(dlg.m_List.GetItemCount(), 0);
}

} // namespace

// A class of its own name (a main window that other programs look for by its class) binds
// its windows at creation, as the framework's own class does, and a registered message
// reaches its map; one that failed to register (0) matches nothing, not even WM_NULL.
TEST_F(LifetimeTest, AWindowOfANamedClassIsBoundFromItsCreation)
{
    const char* name = AfxRegisterWndClassNamed("KvxLifetimeTestNamedClass");
    ASSERT_STREQ("KvxLifetimeTestNamedClass", name);
    EXPECT_EQ(name, AfxRegisterWndClassNamed(name)) << "a second registration is no failure";
    CFirstMessageWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, name, "named", WS_POPUP, 0, 0, 50, 50, nullptr, 0));
    EXPECT_EQ(wnd.m_firstMessage, (UINT)WM_NCCREATE) << "subclassed after creation";
    char className[64] = "";
    GetClassNameA(wnd.m_hWnd, className, sizeof className);
    EXPECT_STREQ(name, className);
    EXPECT_EQ(wnd.SendMessage(WM_PING), 5);
}

namespace {

UINT g_registered = 0;

class CRegisteredMessageWnd : public CLoggedWnd {
public:
    LRESULT OnRegistered(WPARAM, LPARAM) { return 9; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRegisteredMessageWnd, CLoggedWnd)
ON_REGISTERED_MESSAGE(g_registered, OnRegistered)
END_MESSAGE_MAP()

} // namespace

TEST_F(LifetimeTest, ARegisteredMessageReachesItsHandlerAndAFailedOneNothing)
{
    CRegisteredMessageWnd wnd;
    ASSERT_TRUE(wnd.Create());
    g_registered = RegisterWindowMessageA("KvxLifetimeTestMessage");
    ASSERT_NE(0u, g_registered);
    EXPECT_EQ(9, wnd.SendMessage(g_registered));
    g_registered = 0;
    EXPECT_EQ(0, wnd.SendMessage(WM_NULL));
}
