// Modal dialogs run from handlers while other messages keep arriving.
#include "TestSupport.h"

namespace {

const UINT_PTR kTickTimer = 7;
const UINT ID_OPEN_MODAL = 32790;

std::vector<std::string> g_events;

// A dialog that ends itself once its owner has seen three timer ticks.
class CTickDialog : public CDialog {
public:
    explicit CTickDialog(const int* pOwnerTicks) : CDialog(IDD_DDX), m_pOwnerTicks(pOwnerTicks) {}
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_TEXT, m_strText); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        ::SetDlgItemTextA(m_hWnd, IDC_TEXT, "typed in the box");
        SetTimer(1, 10);
        return TRUE;
    }
    void OnTimer(UINT_PTR)
    {
        if (*m_pOwnerTicks >= 3) {
            KillTimer(1);
            PostMessage(WM_COMMAND, IDOK, 0);
        }
    }
    std::string m_strText;
    const int* m_pOwnerTicks;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTickDialog, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

// A dialog whose opening makes the application quit (as a second start with -exit would).
class CQuitDialog : public CDialog {
public:
    CQuitDialog() : CDialog(IDD_DDX) {}
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        AfxGetMainWnd()->PostMessage(WM_COMMAND, ID_APP_EXIT, 0);
        return TRUE;
    }
};

// A page, owned by its view, whose button runs the quitting dialog.
class CModalPage : public CDialog {
public:
    void OnPress()
    {
        CQuitDialog dlg;
        dlg.DoModal();
        // The page's window went with the frame; the page object must still be here.
        m_strAfter = "written after the dialog";
        g_events.push_back(m_hWnd ? "page handler resumed, still bound" : "page handler resumed");
    }
    std::string m_strAfter;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CModalPage, CDialog)
ON_BN_CLICKED(IDC_PAGE_BUTTON, OnPress)
END_MESSAGE_MAP()

class CModalView : public CFormView {
public:
    CModalView() : CFormView(IDD_FORM) {}
    ~CModalView() override { g_events.push_back("view destroyed"); }
    void OnInitialUpdate() override
    {
        CFormView::OnInitialUpdate();
        m_Page.Create(IDD_PAGE, this);
    }
    CModalPage m_Page;
};

class CModalFrame : public CFrameWnd {
public:
    ~CModalFrame() override { g_events.push_back("frame destroyed"); }
    void OnTimer(UINT_PTR nIDEvent)
    {
        if (nIDEvent == kTickTimer)
            ++m_ticks;
    }
    void OnOpenModal()
    {
        CQuitDialog dlg;
        INT_PTR result = dlg.DoModal();
        g_events.push_back(result == IDOK ? "modal ended with OK" : "modal ended");
        // The frame's window is gone, its object is still here.
        g_events.push_back(m_hWnd ? "handler resumed, still bound" : "handler resumed");
    }
    int m_ticks = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CModalFrame, CFrameWnd)
ON_WM_TIMER()
ON_COMMAND(ID_OPEN_MODAL, OnOpenModal)
END_MESSAGE_MAP()

class ModalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_events.clear();
        m_app.m_nCmdShow = SW_SHOW;
        m_app.AddDocTemplate(new CSingleDocTemplate(IDR_TESTFRAME, RUNTIME_CLASS(CDocument),
                                                    RUNTIME_CLASS(CModalFrame),
                                                    RUNTIME_CLASS(CModalView)));
        CCommandLineInfo cmdInfo;
        ASSERT_TRUE(m_app.ProcessShellCommand(cmdInfo));
        m_pFrame = dynamic_cast<CModalFrame*>(m_app.m_pMainWnd);
        ASSERT_NE(m_pFrame, nullptr);
    }
    TestApp m_app;
    CModalFrame* m_pFrame = nullptr;
};

TEST_F(ModalTest, OwnerKeepsGettingMessagesAndTheDialogReturnsItsData)
{
    m_pFrame->SetTimer(kTickTimer, 10);
    CTickDialog dlg(&m_pFrame->m_ticks);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_GE(m_pFrame->m_ticks, 3);
    EXPECT_EQ(dlg.m_strText, "typed in the box"); // OnOK exchanged the data
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_TRUE(m_pFrame->IsWindowEnabled()); // the owner is enabled again

    // The same object runs again.
    int ticksBefore = m_pFrame->m_ticks;
    m_pFrame->m_ticks = 0;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_GE(m_pFrame->m_ticks, 3);
    (void)ticksBefore;
}

TEST_F(ModalTest, MissingTemplateFailsWithoutAWindow)
{
    CDialog dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_FALSE(dlg.Create(4242));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

// The frame is destroyed by a message that the modal loop dispatches while the frame's own
// command handler waits in DoModal: the handler returns safely, the frame object goes only
// afterwards, and the application's loop ends.
TEST_F(ModalTest, FrameDestroyedWhileItsHandlerRunsAModalDialog)
{
    m_pFrame->PostMessage(WM_COMMAND, ID_OPEN_MODAL, 0);
    EXPECT_EQ(m_app.Run(), 0);
    EXPECT_EQ(m_app.m_pMainWnd, nullptr);
    ASSERT_EQ(g_events.size(), 4u);
    EXPECT_EQ(g_events[1], "handler resumed");
    EXPECT_EQ(g_events[2], "view destroyed");
    EXPECT_EQ(g_events[3], "frame destroyed");
}

// The same from a page inside the view: the view, which owns the page, goes only after the
// page's handler has returned.
TEST_F(ModalTest, ViewOwningAPageWaitsForThePagesModalHandler)
{
    CModalView* pView = dynamic_cast<CModalView*>(m_pFrame->GetActiveView());
    ASSERT_NE(pView, nullptr);
    ASSERT_NE(pView->m_Page.m_hWnd, nullptr);
    HWND hWndButton = pView->m_Page.GetDlgItem(IDC_PAGE_BUTTON);
    pView->m_Page.PostMessage(WM_COMMAND, MAKEWPARAM(IDC_PAGE_BUTTON, BN_CLICKED),
                              (LPARAM)hWndButton);
    EXPECT_EQ(m_app.Run(), 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"page handler resumed", "view destroyed",
                                                  "frame destroyed"}));
}

} // namespace
