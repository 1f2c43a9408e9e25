// Dialog data exchange: members to controls and back, and refused input.
#include "TestSupport.h"

#include <climits>

namespace {

class CExchangeDialog : public CDialog {
public:
    CExchangeDialog() : CDialog(IDD_DDX) {}
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, IDC_TEXT, m_strText);
        if (m_bUnsigned)
            DDX_Text(pDX, IDC_NUMBER, m_nUnsigned);
        else
            DDX_Text(pDX, IDC_NUMBER, m_nNumber);
        DDX_Check(pDX, IDC_CHECK, m_nCheck);
        DDX_Radio(pDX, IDC_RADIO1, m_nRadio);
        DDX_Control(pDX, IDC_COMBO, m_Combo);
    }
    std::string Text(int nID) const
    {
        char text[2048] = "";
        ::GetDlgItemTextA(m_hWnd, nID, text, sizeof text);
        return text;
    }
    int Checked(int nID) const { return (int)::IsDlgButtonChecked(m_hWnd, nID); }

    std::string m_strText;
    int m_nNumber = 0;
    unsigned long m_nUnsigned = 0;
    bool m_bUnsigned = false;
    int m_nCheck = BST_UNCHECKED;
    int m_nRadio = -1;
    CComboBox m_Combo;
};

class DataExchangeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dlg.Create(IDD_DDX)); }
    TestApp m_app;
    CExchangeDialog m_dlg;
};

TEST_F(DataExchangeTest, MembersReachTheControlsAndComeBack)
{
    m_dlg.m_strText = std::string(1000, 'x') + " & more";
    m_dlg.m_nNumber = -42;
    m_dlg.m_nCheck = BST_INDETERMINATE;
    m_dlg.m_nRadio = 2;
    ::CheckDlgButton(m_dlg.m_hWnd, IDC_OTHER_RADIO, BST_CHECKED); // the next group
    ASSERT_TRUE(m_dlg.UpdateData(FALSE));

    EXPECT_EQ(m_dlg.Text(IDC_TEXT), m_dlg.m_strText);
    EXPECT_EQ(m_dlg.Text(IDC_NUMBER), "-42");
    EXPECT_EQ(m_dlg.Checked(IDC_CHECK), BST_INDETERMINATE);
    EXPECT_EQ(m_dlg.Checked(IDC_RADIO1), BST_UNCHECKED);
    EXPECT_EQ(m_dlg.Checked(IDC_RADIO2), BST_UNCHECKED);
    EXPECT_EQ(m_dlg.Checked(IDC_RADIO3), BST_CHECKED);
    EXPECT_EQ(m_dlg.Checked(IDC_OTHER_RADIO), BST_CHECKED); // the group ends before it
    EXPECT_EQ(m_dlg.m_Combo.m_hWnd, m_dlg.GetDlgItem(IDC_COMBO));

    ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_TEXT, "");
    ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_NUMBER, " 17 ");
    ::CheckDlgButton(m_dlg.m_hWnd, IDC_CHECK, BST_UNCHECKED);
    ::CheckRadioButton(m_dlg.m_hWnd, IDC_RADIO1, IDC_RADIO3, IDC_RADIO1);
    ASSERT_TRUE(m_dlg.UpdateData(TRUE));
    EXPECT_EQ(m_dlg.m_strText, "");
    EXPECT_EQ(m_dlg.m_nNumber, 17);
    EXPECT_EQ(m_dlg.m_nCheck, BST_UNCHECKED);
    EXPECT_EQ(m_dlg.m_nRadio, 0);
}

TEST_F(DataExchangeTest, NoRadioStandsForMinusOneBothWays)
{
    m_dlg.m_nRadio = 1;
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(m_dlg.Checked(IDC_RADIO2), BST_CHECKED);
    m_dlg.m_nRadio = -1;
    m_dlg.UpdateData(FALSE);
    EXPECT_EQ(m_dlg.Checked(IDC_RADIO1) + m_dlg.Checked(IDC_RADIO2) + m_dlg.Checked(IDC_RADIO3), 0);
    m_dlg.m_nRadio = 2;
    ASSERT_TRUE(m_dlg.UpdateData(TRUE));
    EXPECT_EQ(m_dlg.m_nRadio, -1);
}

TEST_F(DataExchangeTest, NumbersOutsideTheTypeAreRefusedAndTold)
{
    MessageBoxCloser closer;
    const char* refusedForInt[] = {"12abc", "", "2147483648", "-2147483649", "1.5", "0x10"};
    for (const char* text : refusedForInt) {
        m_dlg.m_nNumber = 5;
        m_dlg.m_nCheck = BST_UNCHECKED;
        ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_NUMBER, text);
        ::CheckDlgButton(m_dlg.m_hWnd, IDC_CHECK, BST_CHECKED);
        EXPECT_FALSE(m_dlg.UpdateData(TRUE)) << text;
        EXPECT_EQ(m_dlg.m_nNumber, 5) << text;
        EXPECT_EQ(m_dlg.m_nCheck, BST_UNCHECKED) << text; // later exchanges skipped
        EXPECT_EQ(::GetFocus(), m_dlg.GetDlgItem(IDC_NUMBER)) << text;
    }
    ASSERT_EQ(closer.m_texts.size(), 6u);
    EXPECT_EQ(closer.m_texts[0], "Please enter a whole number from -2147483648 to 2147483647.");

    ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_NUMBER, "-2147483648");
    EXPECT_TRUE(m_dlg.UpdateData(TRUE));
    EXPECT_EQ(m_dlg.m_nNumber, INT_MIN);

    m_dlg.m_bUnsigned = true;
    ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_NUMBER, "-1");
    EXPECT_FALSE(m_dlg.UpdateData(TRUE));
    ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_NUMBER, "4294967296");
    EXPECT_FALSE(m_dlg.UpdateData(TRUE));
    ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_NUMBER, "4294967295");
    EXPECT_TRUE(m_dlg.UpdateData(TRUE));
    EXPECT_EQ(m_dlg.m_nUnsigned, 4294967295ul);
    EXPECT_EQ(closer.m_texts.size(), 8u);
}

} // namespace
