// What every page stands on, tested once: a refresh only once the window exists, the refill
// guard, reselection by row after a refill, Apply buttons that follow their group, and the
// name dialog's bounded copy. Probe pages on the real templates stand in for the pages.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "DialogPage.h"
#include "KVX_USB_CPLView.h"
#include "ListCtrlEx.h"
#include "SubDlgNameEdit.h"
#include "resource.h"

namespace {

std::string ItemText(HWND dialog, int id)
{
    char text[256] = "";
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// The window the probes live in, as the pages live in the view.
class PageBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.CreateEx(WS_EX_CONTROLPARENT, nullptr, "page host", WS_OVERLAPPEDWINDOW,
                                    0, 0, 700, 500, nullptr, 0));
    }
    CWnd* Host() { return &m_host; }
    CWnd m_host;
};

// A list page whose refresh shows the rows it is given.
class CProbeListPage : public CDialogPage {
public:
    CProbeListPage() : CDialogPage(IDD_PAGE_DEVICES, nullptr) {}

    std::vector<std::string> rows;
    int refreshes = 0;
    int changes = 0; // item-changed notifications that reached the page
    CListCtrlEx m_List;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialogPage::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_DEVICE_LIST, m_List);
    }
    BOOL OnInitDialog() override
    {
        CDialogPage::OnInitDialog();
        m_List.SetUpColumns({{IDS_COLUMN_DEVICE_NAME, 100}, {IDS_COLUMN_SERIAL_NUMBER, 100}});
        return TRUE;
    }
    void OnRefresh() override
    {
        ++refreshes;
        const int selected = m_List.GetSelectedItem();
        CRefillGuard refill(*this, m_List);
        m_List.DeleteAllItems();
        for (size_t i = 0; i < rows.size(); ++i)
            m_List.InsertRow(int(i), {rows[i], "serial " + rows[i]}, 100 + i);
        m_List.SelectRow(selected);
    }
    void OnItemChanged(NMHDR*, LRESULT*) { ++changes; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeListPage, CDialogPage)
ON_NOTIFY(LVN_ITEMCHANGED, IDC_DEVICE_LIST, OnItemChanged)
END_MESSAGE_MAP()

// A page with two Apply groups on the synchronisation template.
class CProbeApplyPage : public CDialogPage {
public:
    CProbeApplyPage() : CDialogPage(IDD_PAGE_SYNC, nullptr) {}

    bool Enabled(int id) const { return ::IsWindowEnabled(GetDlgItem(id)) != FALSE; }
    void Command(int id, UINT code)
    {
        SendMessage(WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(id));
    }
    using CDialogPage::GroupChanged;

protected:
    BOOL OnInitDialog() override
    {
        CDialogPage::OnInitDialog();
        AddApplyGroup(IDC_RATE_APPLY, IDS_APPLY_RATE, {IDC_RATE_LIST});
        AddApplyGroup(IDC_SOURCE_APPLY, IDS_APPLY_SOURCE, {IDC_SOURCE_LIST});
        AddApplyGroup(IDC_MODE_APPLY, IDS_APPLY_MODE, {IDC_MODE_AUTOMATIC, IDC_MODE_MANUAL});
        Refresh();
        return TRUE;
    }
    void OnRefresh() override { DisableApplyButtons(); }
};

} // namespace

TEST_F(PageBase, RefreshWaitsForTheWindowAndKeepsTheRowAcrossARefill)
{
    CProbeListPage page;
    page.rows = {"A", "B", "C"};
    page.Refresh();
    EXPECT_EQ(0, page.refreshes) << "no window yet";
    ASSERT_TRUE(page.Create(Host()));
    page.Refresh();
    EXPECT_EQ(1, page.refreshes);
    ASSERT_EQ(3, page.m_List.GetItemCount());
    EXPECT_EQ("serial B", page.m_List.GetItemText(1, 1));
    EXPECT_EQ(101u, page.m_List.GetItemData(1));
    EXPECT_EQ(0, page.changes) << "filling is not the user's change";
    const DWORD styles = page.m_List.GetExtendedStyle();
    EXPECT_EQ(DWORD(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP),
              styles & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP));

    page.m_List.SelectRow(2);
    EXPECT_GT(page.changes, 0) << "a selection outside a refill reaches the page";
    DWORD_PTR data = 0;
    ASSERT_TRUE(page.m_List.GetSelectedItemData(&data));
    EXPECT_EQ(102u, data);

    // The same row index is selected again, though it now holds another record.
    page.changes = 0;
    page.rows = {"X", "Y", "Z", "W"};
    page.Refresh();
    EXPECT_EQ(2, page.m_List.GetSelectedItem());
    EXPECT_EQ("Z", page.m_List.GetItemText(2, 0));
    EXPECT_EQ(0, page.changes);
    EXPECT_EQ(LVIS_FOCUSED, page.m_List.GetItemState(2, LVIS_FOCUSED));

    // A list that got shorter has no row to select.
    page.rows = {"X"};
    page.Refresh();
    EXPECT_EQ(-1, page.m_List.GetSelectedItem());
    EXPECT_FALSE(page.m_List.GetSelectedItemData(&data));
    page.DestroyWindow();
}

TEST_F(PageBase, ApplyButtonsFollowOnlyTheirOwnGroup)
{
    CProbeApplyPage page;
    ASSERT_TRUE(page.Create(Host()));
    for (int apply : {IDC_RATE_APPLY, IDC_SOURCE_APPLY, IDC_MODE_APPLY})
        EXPECT_FALSE(page.Enabled(apply));

    page.Command(IDC_SOURCE_LIST, CBN_EDITCHANGE); // typing is no choice
    EXPECT_FALSE(page.Enabled(IDC_SOURCE_APPLY));
    page.Command(IDC_RATE_LIST, CBN_SELCHANGE);
    EXPECT_TRUE(page.Enabled(IDC_RATE_APPLY));
    EXPECT_FALSE(page.Enabled(IDC_SOURCE_APPLY));
    EXPECT_FALSE(page.Enabled(IDC_MODE_APPLY));
    ::SendMessageA(page.GetDlgItem(IDC_MODE_MANUAL), BM_CLICK, 0, 0);
    EXPECT_TRUE(page.Enabled(IDC_MODE_APPLY));
    page.GroupChanged(IDC_SOURCE_APPLY);
    EXPECT_TRUE(page.Enabled(IDC_SOURCE_APPLY));

    page.Refresh();
    for (int apply : {IDC_RATE_APPLY, IDC_SOURCE_APPLY, IDC_MODE_APPLY})
        EXPECT_FALSE(page.Enabled(apply));
    page.DestroyWindow();
}

// The dialog shows a name without its zero byte cut at the end of its field, and OK stores
// at most 39 bytes and a zero, leaving every other byte of the record as it was.
TEST_F(PageBase, NameDialogCopiesBoundedIntoItsRecordOnlyOnOk)
{
    _KVX_USB_DEVICE_PROPERTIES record;
    std::memset(&record, 0xA5, sizeof record);
    std::memset(record.DeviceName, 'N', sizeof record.DeviceName);
    const _KVX_USB_DEVICE_PROPERTIES before = record;

    CSubDlgDeviceNameEdit cancelled(&record);
    ASSERT_TRUE(cancelled.Create(IDD_DEVICE_NAME_EDIT, Host()));
    EXPECT_EQ(std::string(40, 'N'), ItemText(cancelled.m_hWnd, IDC_NAME_EDIT));
    EXPECT_EQ("Edit Device Name", cancelled.GetWindowText());
    EXPECT_FALSE(cancelled.GetStyle() & WS_SYSMENU);
    ::SetDlgItemTextA(cancelled.m_hWnd, IDC_NAME_EDIT, "Desk");
    cancelled.SendMessage(WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0, std::memcmp(&before, &record, sizeof record)) << "Cancel changes nothing";

    CSubDlgDeviceNameEdit dialog(&record);
    ASSERT_TRUE(dialog.Create(IDD_DEVICE_NAME_EDIT, Host()));
    const std::string typed(50, 'x');
    ::SetDlgItemTextA(dialog.m_hWnd, IDC_NAME_EDIT, typed.c_str());
    dialog.SendMessage(WM_COMMAND, IDOK, 0);
    EXPECT_EQ(std::string(39, 'x'), std::string(record.DeviceName));
    EXPECT_EQ('\0', record.DeviceName[39]);
    EXPECT_EQ(0, std::memcmp(&before, &record, offsetof(_KVX_USB_DEVICE_PROPERTIES, DeviceName)));
    EXPECT_EQ(0, std::memcmp(before.SerialNumber, record.SerialNumber, sizeof record.SerialNumber));

    // A short name keeps the bytes after its terminator as the driver left them.
    CSubDlgDeviceNameEdit shorter(&record);
    ASSERT_TRUE(shorter.Create(IDD_DEVICE_NAME_EDIT, Host()));
    ::SetDlgItemTextA(shorter.m_hWnd, IDC_NAME_EDIT, "Desk");
    shorter.SendMessage(WM_COMMAND, IDOK, 0);
    EXPECT_EQ(std::string("Desk"), record.DeviceName);
    EXPECT_EQ(std::string(34, 'x'), std::string(record.DeviceName + 5));

    // The channel dialog has a system menu, the device dialog none.
    _KVX_USB_CHANNEL_PROPERTIES channel = {};
    CSubDlgChannelNameEdit channelDialog(&channel);
    ASSERT_TRUE(channelDialog.Create(IDD_CHANNEL_NAME_EDIT, Host()));
    EXPECT_EQ("Edit Channel Name", channelDialog.GetWindowText());
    EXPECT_TRUE(channelDialog.GetStyle() & WS_SYSMENU);
    channelDialog.DestroyWindow();
}
