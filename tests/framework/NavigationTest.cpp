// Keyboard navigation across a frame, its form view and a modeless child page inside the form.
#include "TestSupport.h"

namespace {

// A page with the dialog class's default Enter and Escape handling: the framework alone must
// keep it from ending.
class CNavPage : public CDialog {
public:
    void OnPress() { ++m_presses; }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_MOUSEMOVE && pMsg->hwnd == GetDlgItem(IDC_PAGE_BUTTON))
            ++m_mouseMovesSeen; // what a tooltip relay would get
        return CDialog::PreTranslateMessage(pMsg);
    }
    int m_presses = 0;
    int m_mouseMovesSeen = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNavPage, CDialog)
ON_BN_CLICKED(IDC_PAGE_BUTTON, OnPress)
END_MESSAGE_MAP()

class CNavView : public CFormView {
public:
    CNavView() : CFormView(IDD_FORM) {}
    void OnInitialUpdate() override
    {
        CFormView::OnInitialUpdate();
        if (m_Page.Create(IDD_PAGE, this))
            m_Page.SetWindowPos(nullptr, 140, 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    }
    CNavPage m_Page;
};

class CNavFrame : public CFrameWnd {
public:
    void OnClose()
    {
        ++m_closes;
        Default();
    }
    void OnSysCommand(UINT nID, LPARAM lParam)
    {
        if ((nID & 0xFFF0) == SC_CLOSE)
            ++m_closes;
        CFrameWnd::OnSysCommand(nID, lParam);
    }
    int m_closes = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNavFrame, CFrameWnd)
ON_WM_CLOSE()
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_app.m_nCmdShow = SW_SHOW;
        m_app.AddDocTemplate(new CSingleDocTemplate(IDR_TESTFRAME, RUNTIME_CLASS(CDocument),
                                                    RUNTIME_CLASS(CNavFrame),
                                                    RUNTIME_CLASS(CNavView)));
        CCommandLineInfo cmdInfo;
        ASSERT_TRUE(m_app.ProcessShellCommand(cmdInfo));
        m_pFrame = dynamic_cast<CNavFrame*>(m_app.m_pMainWnd);
        m_pView = dynamic_cast<CNavView*>(m_pFrame->GetActiveView());
        ASSERT_NE(m_pView, nullptr);
        ASSERT_NE(m_pView->m_Page.m_hWnd, nullptr);
    }
    HWND FormItem(int nID) { return m_pView->GetDlgItem(nID); }
    HWND PageItem(int nID) { return m_pView->m_Page.GetDlgItem(nID); }

    TestApp m_app;
    CNavFrame* m_pFrame = nullptr;
    CNavView* m_pView = nullptr;
};

TEST_F(NavigationTest, TabWalksFromTheFormIntoThePageAndBack)
{
    EXPECT_EQ(PressKeyOn(FormItem(IDC_FORM_EDIT), VK_TAB), PageItem(IDC_PAGE_EDIT));
    EXPECT_EQ(PressKeyOn(PageItem(IDC_PAGE_EDIT), VK_TAB), PageItem(IDC_PAGE_BUTTON));
    EXPECT_EQ(PressKeyOn(PageItem(IDC_PAGE_BUTTON), VK_TAB), FormItem(IDC_FORM_TREE));
    EXPECT_EQ(PressKeyOn(FormItem(IDC_FORM_TREE), VK_TAB), FormItem(IDC_FORM_EDIT));

    // A hidden page is skipped.
    m_pView->m_Page.ShowWindow(SW_HIDE);
    EXPECT_EQ(PressKeyOn(FormItem(IDC_FORM_EDIT), VK_TAB), FormItem(IDC_FORM_TREE));
}

TEST_F(NavigationTest, EnterAndEscapeInAPageNeitherEndItNorCloseTheFrame)
{
    HWND hWndPage = m_pView->m_Page.m_hWnd;
    ::SetWindowTextA(PageItem(IDC_PAGE_EDIT), "typed");
    EXPECT_EQ(PressKeyOn(PageItem(IDC_PAGE_EDIT), VK_RETURN), PageItem(IDC_PAGE_EDIT));
    EXPECT_EQ(PressKeyOn(PageItem(IDC_PAGE_EDIT), VK_ESCAPE), PageItem(IDC_PAGE_EDIT));
    EXPECT_EQ(PressKeyOn(FormItem(IDC_FORM_TREE), VK_ESCAPE), FormItem(IDC_FORM_TREE));

    EXPECT_TRUE(::IsWindow(hWndPage));
    EXPECT_EQ(m_pView->m_Page.m_hWnd, hWndPage);
    EXPECT_TRUE(::IsWindowVisible(hWndPage));
    EXPECT_TRUE(m_pFrame->IsWindowVisible());
    EXPECT_EQ(m_pFrame->m_closes, 0);
    char text[32] = "";
    ::GetWindowTextA(PageItem(IDC_PAGE_EDIT), text, sizeof text);
    EXPECT_STREQ(text, "typed");
    EXPECT_EQ(m_pView->m_Page.m_presses, 0);
}

TEST_F(NavigationTest, EnterOnAPagesFocusedButtonPressesIt)
{
    PressKeyOn(PageItem(IDC_PAGE_BUTTON), VK_RETURN);
    EXPECT_GE(m_pView->m_Page.m_presses, 1); // once per undisturbed press
    EXPECT_TRUE(::IsWindow(m_pView->m_Page.m_hWnd));
}

TEST_F(NavigationTest, PagesSeeTheirMessagesBeforeDispatchWhileTheyExist)
{
    HWND hWndButton = PageItem(IDC_PAGE_BUTTON);
    ::PostMessageA(hWndButton, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    PumpPending();
    EXPECT_EQ(m_pView->m_Page.m_mouseMovesSeen, 1);

    // Destroyed page: no longer a filter, though its object lives on.
    m_pView->m_Page.DestroyWindow();
    ::PostMessageA(FormItem(IDC_FORM_EDIT), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    PumpPending();
    EXPECT_EQ(m_pView->m_Page.m_mouseMovesSeen, 1);
    // And it can be made again.
    ASSERT_TRUE(m_pView->m_Page.Create(IDD_PAGE, m_pView));
    m_pView->m_Page.ShowWindow(SW_SHOW);
    ::PostMessageA(m_pView->m_Page.GetDlgItem(IDC_PAGE_BUTTON), WM_MOUSEMOVE, 0, 0);
    PumpPending();
    EXPECT_EQ(m_pView->m_Page.m_mouseMovesSeen, 2);
}

} // namespace
