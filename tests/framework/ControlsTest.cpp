// Control wrappers where a plain wrapper could go wrong: ranges past 16 bits, long texts,
// item data, tooltip registration.
#include "TestSupport.h"

namespace {

class CControlsDialog : public CDialog {
public:
    CControlsDialog() : CDialog(IDD_DDX) {}
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_SLIDER, m_Slider);
        DDX_Control(pDX, IDC_LIST, m_List);
        DDX_Control(pDX, IDC_TREE, m_Tree);
        DDX_Control(pDX, IDC_COMBO, m_Combo);
        DDX_Control(pDX, IDOK, m_OK);
    }
    CSliderCtrl m_Slider;
    CListCtrl m_List;
    CTreeCtrl m_Tree;
    CComboBox m_Combo;
    CButton m_OK;
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dlg.Create(IDD_DDX)); }
    TestApp m_app;
    CControlsDialog m_dlg;
};

TEST_F(ControlsTest, SliderRangeBeyondSixteenBits)
{
    m_dlg.m_Slider.SetRange(1000, 100000, TRUE);
    EXPECT_EQ(m_dlg.m_Slider.GetRangeMin(), 1000);
    EXPECT_EQ(m_dlg.m_Slider.GetRangeMax(), 100000);
    m_dlg.m_Slider.SetPos(70000);
    EXPECT_EQ(m_dlg.m_Slider.GetPos(), 70000);
    m_dlg.m_Slider.SetPos(200000); // clamped by the trackbar
    EXPECT_EQ(m_dlg.m_Slider.GetPos(), 100000);
}

TEST_F(ControlsTest, ListRowsKeepTextsAndData)
{
    CListCtrl& list = m_dlg.m_List;
    EXPECT_EQ(list.InsertColumn(0, "Device", LVCFMT_LEFT, 120), 0);
    EXPECT_EQ(list.InsertColumn(1, "Name", LVCFMT_LEFT, 120), 1);
    list.SetExtendedStyle(list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    EXPECT_TRUE(list.GetExtendedStyle() & LVS_EX_FULLROWSELECT);

    std::string longName(700, 'n');
    for (int i = 0; i < 3; ++i) {
        int row = list.InsertItem(i, ("row " + std::to_string(i)).c_str());
        ASSERT_EQ(row, i);
        list.SetItemText(row, 1, i == 1 ? longName.c_str() : "short");
        list.SetItemData(row, (DWORD_PTR)(100 + i));
    }
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetItemText(1, 1), longName);
    EXPECT_EQ(list.GetItemText(2, 0), "row 2");
    char buffer[8];
    list.GetItemText(1, 1, buffer, sizeof buffer); // a caller's small buffer: cut, terminated
    EXPECT_STREQ(buffer, "nnnnnnn");
    EXPECT_EQ(list.GetItemData(2), 102u);

    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), -1);
    list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
    list.DeleteItem(0);
    EXPECT_EQ(list.GetItemData(0), 101u);
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(ControlsTest, TreeItemsWithImagesDataAndSelection)
{
    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR, 6, 1));
    HICON hIcon = ::LoadIcon(nullptr, IDI_APPLICATION);
    EXPECT_EQ(images.Add(hIcon), 0);
    EXPECT_EQ(images.Add(hIcon), 1);
    EXPECT_EQ(images.GetImageCount(), 2);
    m_dlg.m_Tree.SetImageList(&images, TVSIL_NORMAL);
    EXPECT_EQ((HIMAGELIST)m_dlg.m_Tree.SendMessage(TVM_GETIMAGELIST, TVSIL_NORMAL),
              images.GetSafeHandle());

    HTREEITEM first = m_dlg.m_Tree.InsertItem("Devices", 0, 0);
    HTREEITEM second = m_dlg.m_Tree.InsertItem("Settings", 1, 1);
    m_dlg.m_Tree.SetItemData(first, 0x01000000);
    m_dlg.m_Tree.SetItemData(second, 0x05000000);
    EXPECT_EQ(m_dlg.m_Tree.GetCount(), 2u);
    EXPECT_EQ(m_dlg.m_Tree.GetRootItem(), first);
    EXPECT_EQ(m_dlg.m_Tree.GetNextSiblingItem(first), second);
    EXPECT_EQ(m_dlg.m_Tree.GetItemText(second), "Settings");
    EXPECT_TRUE(m_dlg.m_Tree.SelectItem(second));
    EXPECT_EQ(m_dlg.m_Tree.GetSelectedItem(), second);
    EXPECT_EQ(m_dlg.m_Tree.GetItemData(m_dlg.m_Tree.GetSelectedItem()), 0x05000000u);
    m_dlg.m_Tree.SetImageList(nullptr, TVSIL_NORMAL);
}

TEST_F(ControlsTest, ComboItemsWithDataAndSelection)
{
    CComboBox& combo = m_dlg.m_Combo;
    EXPECT_EQ(combo.GetCurSel(), CB_ERR);
    combo.SetItemData(combo.AddString("44100 Hz"), 44100);
    combo.SetItemData(combo.AddString("48000 Hz"), 48000);
    EXPECT_EQ(combo.GetCount(), 2);
    EXPECT_EQ(combo.GetLBText(1), "48000 Hz");
    EXPECT_EQ(combo.GetLBText(5), "");
    EXPECT_EQ(combo.SetCurSel(1), 1);
    EXPECT_EQ(combo.GetItemData(combo.GetCurSel()), 48000u);
    combo.ResetContent();
    EXPECT_EQ(combo.GetCount(), 0);
}

TEST_F(ControlsTest, ToolTipTakesToolsForControls)
{
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&m_dlg, TTS_ALWAYSTIP));
    tip.SetMaxTipWidth(180);
    EXPECT_TRUE(tip.AddTool(&m_dlg.m_Slider, "Note: a long text that wraps at the width."));
    EXPECT_TRUE(tip.AddTool(&m_dlg.m_OK, "Note: a long text that wraps at the width."));
    EXPECT_EQ(tip.GetToolCount(), 2);
    tip.Activate(TRUE);
    MSG msg = {m_dlg.m_Slider.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2), 0, {0, 0}};
    tip.RelayEvent(&msg); // must not disturb anything
    EXPECT_TRUE(::IsWindow(tip.m_hWnd));
    // The tooltip is owned by the dialog: it goes with it.
    HWND hWndTip = tip.m_hWnd;
    m_dlg.DestroyWindow();
    EXPECT_FALSE(::IsWindow(hWndTip));
    EXPECT_EQ(tip.m_hWnd, nullptr);
}

// Timers, slider scrolls, show/hide and the notifications of bound controls reach a dialog's
// map with their arguments.
class CMessagesDialog : public CDialog {
public:
    CMessagesDialog() : CDialog(IDD_DDX) {}
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_SLIDER, m_Slider);
        DDX_Control(pDX, IDC_COMBO, m_Combo);
    }
    CSliderCtrl m_Slider;
    CComboBox m_Combo;
    int comboChanges = 0;
    std::vector<UINT_PTR> timers;
    std::vector<UINT> scrollCodes;
    CWnd* scrolled = nullptr;
    std::vector<BOOL> shows;

protected:
    void OnTimer(UINT_PTR nIDEvent)
    {
        timers.push_back(nIDEvent);
        KillTimer(nIDEvent);
    }
    void OnHScroll(UINT nSBCode, UINT, CWnd* pScrollBar)
    {
        scrollCodes.push_back(nSBCode);
        scrolled = pScrollBar;
    }
    void OnShowWindow(BOOL bShow, UINT nStatus)
    {
        CDialog::OnShowWindow(bShow, nStatus);
        shows.push_back(bShow);
    }
    void OnComboChanged() { ++comboChanges; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMessagesDialog, CDialog)
ON_WM_TIMER()
ON_WM_HSCROLL()
ON_WM_SHOWWINDOW()
ON_CBN_SELCHANGE(IDC_COMBO, OnComboChanged)
END_MESSAGE_MAP()

TEST(MessageMapTest, TimerScrollAndShowReachTheirHandlers)
{
    TestApp app;
    CMessagesDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_DDX));
    ASSERT_EQ(27u, dlg.SetTimer(27, 10));
    EXPECT_TRUE(PumpUntil([&] { return !dlg.timers.empty(); }));
    EXPECT_EQ(std::vector<UINT_PTR>{27}, dlg.timers);

    dlg.m_Slider.SetRange(1, 80);
    dlg.m_Slider.SetPos(5);
    dlg.m_Slider.SendMessage(WM_KEYDOWN, VK_RIGHT, 0); // as the user moves it
    ASSERT_FALSE(dlg.scrollCodes.empty());
    EXPECT_EQ(UINT(TB_LINEDOWN), dlg.scrollCodes.front());
    EXPECT_EQ(&dlg.m_Slider, dlg.scrolled);
    EXPECT_EQ(6, dlg.m_Slider.GetPos());

    dlg.ShowWindow(SW_SHOW);
    dlg.ShowWindow(SW_HIDE);
    EXPECT_EQ((std::vector<BOOL>{TRUE, FALSE}), dlg.shows);

    // A bound combo box's list tells the combo box, and the combo box tells the dialog.
    dlg.m_Combo.AddString("44.1 kHz");
    dlg.m_Combo.AddString("48.0 kHz");
    dlg.m_Combo.SetCurSel(0);
    dlg.m_Combo.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(1, dlg.m_Combo.GetCurSel());
    EXPECT_EQ(1, dlg.comboChanges);
    dlg.DestroyWindow();
}

} // namespace
